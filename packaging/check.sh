#!/usr/bin/env bash
# Checks what a desktop and a Debian system read: the desktop entry, the AppStream entry, and the
# Debian package built from the release build (its file list and lintian's verdict). Fails on an
# error; lintian's and AppStream's warnings are printed. Builds only what the package holds.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "Checking the desktop entry"
desktop-file-validate desktop/zandrel.desktop

# The package needs only the program, the man page and the Debian documents: the install step then
# skips building the whole tree (tests and benchmarks).
cmake --preset release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build --preset release --target zandrel zandrel_man zandrel_changelog

echo "Checking the AppStream entry"
report=$(appstreamcli validate --no-net build/release/packaging/zandrel.metainfo.xml 2>&1 || true)
echo "$report"
if grep -q '^E:' <<<"$report"; then
  exit 1
fi

echo "Building the package"
rm -f build/release/zandrel_*.deb
cpack --preset release >/dev/null
deb=$(ls build/release/zandrel_*.deb)
echo "$deb"

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
missing=0
for path in ./usr/bin/zandrel ./usr/share/applications/zandrel.desktop \
  ./usr/share/icons/hicolor/scalable/apps/zandrel.svg ./usr/share/man/man1/zandrel.1.gz \
  ./usr/share/bash-completion/completions/zandrel ./usr/share/metainfo/zandrel.metainfo.xml \
  ./usr/share/doc/zandrel/copyright ./usr/share/doc/zandrel/changelog.gz; do
  if ! grep -qxF "$path" <<<"$contents"; then
    echo "The package lacks $path"
    missing=1
  fi
done
[ "$missing" -eq 0 ]
dpkg-deb -f "$deb" Package Version Section Depends Recommends

echo "Running lintian"
findings=$(lintian --tag-display-limit 0 --display-info "$deb" 2>&1 | grep -v "^running with root privileges" || true)
[ -z "$findings" ] || echo "$findings"
if grep -q '^E:' <<<"$findings"; then
  exit 1
fi
echo "Package checks passed"
