# Sourced by the benchmark scripts: sets `zandrel` to $ZANDREL, else the release build, else the
# debug build, or stops with a line saying how to get one. Needs `root`, the source folder.
zandrel=${ZANDREL:-}
if [ -z "$zandrel" ]; then
  for candidate in "$root/build/release/src/zandrel" "$root/build/dev/src/zandrel"; do
    if [ -x "$candidate" ]; then zandrel=$candidate; break; fi
  done
fi
if [ -z "$zandrel" ] || [ ! -x "$zandrel" ]; then
  echo "No zandrel executable: build it (cmake --preset release && cmake --build --preset release)" >&2
  echo "or name it with ZANDREL=path." >&2
  exit 1
fi
