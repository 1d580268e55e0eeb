#!/usr/bin/env bash
# The command line at scale, against one zero-delay WHOIS server on 127.0.0.1:
#   1. `zandrel --batch` of 3,000 prefixes x 3,000 suffixes x 3 TLDs (27 million names): the time from
#      the start to the first query, the names a second, and the peak memory after SECONDS of it (the
#      whole run takes hours), with the memory a name adds, to reckon the whole run's;
#   2. `zandrel --check -` of 100,000 names on standard input: names a second and peak memory;
#   3. a whole `zandrel --batch` of WHOLE_WORDS x WHOLE_WORDS x 3 TLDs: the memory while it asks
#      (sampled each second: it should stay flat) and the peak with the report written at the end.
#   bench/scale.sh [SECONDS] [WORDS] [CHECK_NAMES] [WHOLE_WORDS]   (defaults 60, 3000, 100000, 300)
#   ZANDREL=path/to/zandrel bench/scale.sh             (default: build/release, else build/dev)
set -euo pipefail
export LC_ALL=C

seconds=${1:-60}
words=${2:-3000}
check_names=${3:-100000}
whole_words=${4:-300}
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=find_zandrel.sh
. "$root/bench/find_zandrel.sh"
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3) || { echo "python3 is needed" >&2; exit 1; }

# The journal goes to the working folder's disk, since /tmp may be in memory.
work=$(mktemp -d "$PWD/bench-scale-XXXXXX")
server_pid=
run_pid=
cleanup() {
  for pid in $run_pid $server_pid; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache

# One connection at a time, answering at once as the .com registry would: a name whose digits make
# an even number is registered. It prints its port, and the wall time of the first query into FIRST.
cat >"$work/server.py" <<'PY'
import socket, sys, time
first = sys.argv[1]
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(128)
print(listener.getsockname()[1], flush=True)
seen = False
while True:
    conn, _ = listener.accept()
    data = b""
    while b"\n" not in data and len(data) < 4096:
        piece = conn.recv(4096)
        if not piece:
            break
        data += piece
    if not seen:
        with open(first, "w") as f:
            f.write("%.3f\n" % time.time())
        seen = True
    name = data.split(b"\n")[0].strip().upper()
    if name.startswith(b"DO "):
        name = name[3:]
    digits = b"".join(bytes([b]) for b in name if 48 <= b <= 57)
    if digits and int(digits) % 2 == 0:
        reply = b"   Domain Name: " + name + b"\r\n   Registrar: Example Registrar, Inc.\r\n"
    else:
        reply = b'No match for "' + name + b'".\r\n>>> Last update of whois database <<<\r\n'
    try:
        conn.sendall(reply)
    except OSError:
        pass
    conn.close()
PY
"$python" "$work/server.py" "$work/first" >"$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

rss() { awk -v key="$1:" '$1 == key { print $2 }' "/proc/$run_pid/status"; }

seq -f "p%04g" 1 "$words" >"$work/p.txt"
seq -f "s%04g" 1 "$words" >"$work/s.txt"
mkdir -p "$work/out"
start=$(date +%s.%N)
"$zandrel" --batch --delay 0 --server "127.0.0.1:$port" --tld com,net,org --prefix "$work/p.txt" \
  --suffix "$work/s.txt" --out "$work/out" >"$work/batch.out" 2>"$work/batch.err" &
run_pid=$!
for _ in $(seq 600); do [ -s "$work/first" ] && break; sleep 0.05; done
first=$(cat "$work/first")
sleep 10
lines10=$(wc -l <"$work/batch.out")
rss10=$(rss VmRSS)
sleep $((seconds > 10 ? seconds - 10 : 1))
lines=$(wc -l <"$work/batch.out")
rss_end=$(rss VmRSS)
peak=$(rss VmHWM)
end=$(date +%s.%N)
kill "$run_pid"
wait "$run_pid" 2>/dev/null || true
run_pid=
total=$((words * words * 3))
awk -v s="$start" -v f="$first" -v e="$end" -v n="$lines" -v n10="$lines10" -v r10="$rss10" \
  -v r="$rss_end" -v p="$peak" -v t="$total" 'BEGIN {
  rate = n / (e - f)
  per = (n > n10) ? (r - r10) * 1024 / (n - n10) : 0
  printf "--batch %d names: first query after %.2f s; %d names in %.0f s, %.0f names/s\n", t, f - s, n, e - f, rate
  printf "  peak memory %.1f MB; %.0f bytes a name after the first 10 s; the whole run: about %.0f MB, %.1f h\n",
    p / 1024, per, (r + per * (t - n) / 1024) / 1024, t / rate / 3600 }'

seq -f "c%g.com" 1 "$check_names" >"$work/names.txt"
/usr/bin/time -f "%e %M" -o "$work/time" "$zandrel" --check --delay 0 --server "127.0.0.1:$port" - \
  <"$work/names.txt" >"$work/check.out"
read -r elapsed peak_kb <"$work/time"
awk -v n="$(wc -l <"$work/check.out")" -v e="$elapsed" -v p="$peak_kb" \
  'BEGIN { printf "--check - %d names: %.1f s, %.0f names/s, peak memory %.1f MB\n", n, e, n / e, p / 1024 }'

seq -f "p%04g" 1 "$whole_words" >"$work/wp.txt"
seq -f "s%04g" 1 "$whole_words" >"$work/ws.txt"
mkdir -p "$work/whole"
/usr/bin/time -f "%e %M" -o "$work/whole-time" "$zandrel" --batch --delay 0 --server "127.0.0.1:$port" \
  --tld com,net,org --prefix "$work/wp.txt" --suffix "$work/ws.txt" --out "$work/whole" \
  >"$work/whole.out" 2>"$work/whole.err" &
time_pid=$!
sleep 0.2
run_pid=$(pgrep -P "$time_pid" || true)
asking_low=
asking_high=0
while [ -n "$run_pid" ] && kill -0 "$run_pid" 2>/dev/null; do
  done_names=$(wc -l <"$work/whole.out")
  now=$(rss VmRSS 2>/dev/null || true)
  # Samples while names are still being asked; the report comes after the last one.
  if [ -n "$now" ] && [ "$done_names" -gt 1000 ] && [ "$done_names" -lt $((whole_words * whole_words * 3)) ]; then
    [ -z "$asking_low" ] && asking_low=$now
    [ "$now" -gt "$asking_high" ] && asking_high=$now
  fi
  sleep 1
done
wait "$time_pid" || true
run_pid=
# time(1) puts a line before its figures when the run's status is not 0 (3: some not answered).
read -r elapsed peak_kb < <(tail -n 1 "$work/whole-time")
awk -v n="$(wc -l <"$work/whole.out")" -v e="$elapsed" -v p="$peak_kb" -v lo="${asking_low:-0}" \
  -v hi="$asking_high" -v files="$(ls "$work/whole" | wc -l)" 'BEGIN {
  printf "--batch whole %d names: %.1f s; memory while asking %.1f to %.1f MB; peak with the report %.1f MB; %d report files\n",
    n, e, lo / 1024, hi / 1024, p / 1024, files }'
