#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs every test: once under the
# address and undefined-behaviour sanitizers, then in the ordinary build, ending with CTest's summary.
# Each fuzz target also runs for a few seconds from its seed corpus, and packaging/check.sh builds
# the Debian package from the release build and validates it and the desktop and AppStream entries.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
export QT_QPA_PLATFORM=offscreen

files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp' 'fuzz/*.h' 2>/dev/null || true)
if [ -n "$files" ]; then
  echo "Checking formatting"
  # shellcheck disable=SC2086
  clang-format --dry-run -Werror $files
fi

./fuzz.sh 5

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

packaging/check.sh

cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2
