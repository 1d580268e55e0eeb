#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (a build of their own, build/fuzz) and runs each for
# SECONDS (default 60) from its seed corpus in fuzz/corpus/<target>/, which is left unchanged.
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-60}
CXX=clang++ cmake -S fuzz -B build/fuzz -G Ninja >/dev/null
cmake --build build/fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in scan_available scan_links replaceit wordlist report; do
  echo "Fuzzing $target for ${seconds}s"
  mkdir -p "$work/$target"
  if ! ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
      "build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
      -artifact_prefix="$work/" "$work/$target" "fuzz/corpus/$target" >"$work/log" 2>&1; then
    tail -n 40 "$work/log"
    for crash in "$work"/crash-* "$work"/timeout-* "$work"/oom-*; do
      [ -e "$crash" ] && cp "$crash" "build/fuzz/" && echo "input kept in build/fuzz/$(basename "$crash")"
    done
    echo "fuzz_$target failed"
    exit 1
  fi
  grep -E "^Done [0-9]+ runs" "$work/log" || true
done
