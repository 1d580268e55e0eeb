#!/usr/bin/env bash
# Times N WHOIS lookups against one scripted server on 127.0.0.1, four ways: a raw socket client
# (the floor), a shell loop of the distribution's `whois`, `zandrel --check --delay 0`, and the same
# names as a journaled `zandrel --batch --delay 0` (N prefixes, one suffix). Each is
# timed as a whole program, from its start to its exit, as a user running it would see; the floor
# and zandrel are also timed without their start-up (the lookups alone). Then the cost per lookup
# of the first and the last 50 of a longer zandrel run.
#   bench/compare.sh [N] [LONG_N]        (defaults 500 and 5000)
#   ZANDREL=path/to/zandrel bench/compare.sh   (default: build/release, else build/dev)
set -euo pipefail
export LC_ALL=C # a decimal point in the clock readings

n=${1:-500}
long_n=${2:-5000}
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=find_zandrel.sh
. "$root/bench/find_zandrel.sh"
# The distribution's interpreter: a version manager's wrapper in front of it would add its own
# start-up to the floor's.
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3) || { echo "python3 is needed (apt-get install python3)" >&2; exit 1; }

work=$(mktemp -d)
# The --batch journals go to the working folder's disk, since /tmp may be in memory, where syncing
# costs nothing.
journals=$(mktemp -d "$PWD/bench-compare-XXXXXX")
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work" "$journals"
}
trap cleanup EXIT

# The server: one connection at a time, as the clients ask one at a time. It answers each query
# line ("DO name", "domain name" or the bare name) the way the .com registry does, about 2 KB for
# a registered name; names whose number is even are registered. It prints its port, then serves.
cat >"$work/server.py" <<'PY'
import socket, sys
notice = (b"\r\n>>> Last update of whois database: 2026-12-06T22:00:00Z <<<\r\n\r\n"
          + b"NOTICE: The expiration date displayed in this record is the date the\r\n" * 8
          + b"TERMS OF USE: You are not authorized to access or query our Whois\r\n" * 12)
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(128)
print(listener.getsockname()[1], flush=True)
while True:
    conn, _ = listener.accept()
    data = b""
    while b"\n" not in data and len(data) < 4096:
        piece = conn.recv(4096)
        if not piece:
            break
        data += piece
    query = data.split(b"\n")[0].strip()
    for keyword in (b"DO ", b"domain "):
        if query.startswith(keyword):
            query = query[len(keyword):]
    name = query.upper()
    digits = b"".join(c for c in (bytes([b]) for b in name) if c.isdigit())
    if digits and int(digits) % 2 == 0:
        reply = (b"   Domain Name: " + name + b"\r\n   Registry Domain ID: 1234_DOMAIN_COM-VRSN\r\n"
                 b"   Registrar: Example Registrar, Inc.\r\n   Name Server: NS1.EXAMPLE.TEST\r\n" + notice)
    else:
        reply = b'No match for "' + name + b'".' + notice
    try:
        conn.sendall(reply)
    except OSError:
        pass
    conn.close()
PY

# The floor: the same language as the server, a bare socket per lookup, reading to the close.
cat >"$work/floor.py" <<'PY'
import socket, sys, time
port, n = int(sys.argv[1]), int(sys.argv[2])
start = time.perf_counter()
for i in range(n):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"DO w%d.com\r\n" % i)
    while s.recv(65536):
        pass
    s.close()
print("%.6f" % (time.perf_counter() - start))
PY

# A long zandrel run, its result lines stamped as they arrive.
cat >"$work/long.py" <<'PY'
import subprocess, sys, time
zandrel, port, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
names = "".join("w%d.com\n" % i for i in range(n))
proc = subprocess.Popen([zandrel, "--check", "-", "--delay", "0", "--server", "127.0.0.1:" + port],
                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
proc.stdin.write(names)
proc.stdin.close()
stamps = []
for line in proc.stdout:
    stamps.append(time.perf_counter())
proc.wait()
if len(stamps) < 101:
    sys.exit("only %d result lines" % len(stamps))
first = (stamps[50] - stamps[0]) / 50 * 1000
last = (stamps[-1] - stamps[-51]) / 50 * 1000
print("%.3f %.3f %d" % (first, last, len(stamps)))
PY

exec 3< <(exec "$python" -u "$work/server.py")
server_pid=$!
read -r port <&3

repeat=${REPEAT:-3}
calc() { "$python" -c "print($1)"; }
# The least wall time of $repeat runs of a command: the machine's other work only ever adds.
best_of() {
  local best= start end took
  for _ in $(seq "$repeat"); do
    # Read straight from the shell, so no process is started between the two readings.
    start=$EPOCHREALTIME
    "$@"
    end=$EPOCHREALTIME
    took=$(calc "$end - $start")
    if [ -z "$best" ] || [ "$(calc "$took < $best")" = True ]; then best=$took; fi
  done
  echo "$best"
}

for i in $(seq 0 $((n - 1))); do echo "w$i.com"; done >"$work/names"
head -1 "$work/names" >"$work/one"

whois_run() { while read -r name; do whois -h 127.0.0.1 -p "$port" "$name" >/dev/null; done <"$work/names"; }
zandrel_run() {
  "$zandrel" --check - --delay 0 --server "127.0.0.1:$port" <"$1" >"$work/check.out" || [ $? -eq 3 ]
}

for i in $(seq 0 $((n - 1))); do echo "w$i"; done >"$work/prefixes"
echo x >"$work/suffixes"
batch_run() {
  rm -rf "$journals/data" "$work/report" && mkdir "$work/report"
  XDG_DATA_HOME="$journals/data" "$zandrel" --batch --prefix "$work/prefixes" --suffix "$work/suffixes" \
    --delay 0 --server "127.0.0.1:$port" --out "$work/report" >"$work/batch.out" 2>"$work/batch.err" \
    || [ $? -eq 3 ]
}

floor_run() { "$python" "$work/floor.py" "$port" "$n" >/dev/null; }
"$python" "$work/floor.py" "$port" 20 >/dev/null # warm up
floor=$(best_of floor_run)
# The floor also times its own loop, without the interpreter's start.
floor_loop=$(for _ in $(seq "$repeat"); do "$python" "$work/floor.py" "$port" "$n"; done | sort -g | head -1)
whois_time=
if command -v whois >/dev/null; then whois_time=$(best_of whois_run); fi
start_up=$(best_of zandrel_run "$work/one")
zandrel_time=$(best_of zandrel_run "$work/names")
zandrel_loop=$(calc "$zandrel_time - $start_up")
lines=$(wc -l <"$work/check.out")
if [ "$lines" -ne "$n" ]; then
  echo "zandrel printed $lines lines for $n names" >&2
  exit 1
fi
batch_time=$(best_of batch_run)
lines=$(wc -l <"$work/batch.out")
if [ "$lines" -ne "$n" ]; then
  echo "zandrel --batch printed $lines lines for $n names" >&2
  exit 1
fi

row() { printf '  %-36s %7.0f lookups/s  %7.3f ms each\n' "$1" "$(calc "$n / $2")" "$(calc "$2 * 1000 / $n")"; }
echo "$n lookups of one scripted server on 127.0.0.1, best of $repeat ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
echo "whole programs, start to exit:"
row "floor (python socket client)" "$floor"
if [ -n "$whois_time" ]; then
  row "whois -h 127.0.0.1 -p PORT (loop)" "$whois_time"
else
  echo "  whois loop: skipped, the distribution's whois client is missing (apt-get install whois)"
fi
row "zandrel --check --delay 0" "$zandrel_time"
row "zandrel --batch --delay 0 (journaled)" "$batch_time"
echo "the lookups alone, without start-up:"
row "floor (its own timing of its loop)" "$floor_loop"
row "zandrel (less a one-name run)" "$zandrel_loop"
row "zandrel --batch (less a one-name run)" "$(calc "$batch_time - $start_up")"
printf '  start-up: python %.0f ms, zandrel %.0f ms (a one-name run)\n' \
  "$(calc "($floor - $floor_loop) * 1000")" "$(calc "$start_up * 1000")"
printf 'zandrel / floor, time per lookup (goal: at most 1.5x):\n'
printf '  whole programs %.2fx, lookups alone %.2fx, zandrel whole against the floor alone %.2fx\n' \
  "$(calc "$zandrel_time / $floor")" "$(calc "$zandrel_loop / $floor_loop")" "$(calc "$zandrel_time / $floor_loop")"
if [ -n "$whois_time" ]; then
  printf 'whois loop / zandrel: %.2fx\n' "$(calc "$whois_time / $zandrel_time")"
fi

read -r first last count < <("$python" "$work/long.py" "$zandrel" "$port" "$long_n")
echo "zandrel --check, $count names: first 50 $first ms each, last 50 $last ms each"
if [ "$count" -ne "$long_n" ]; then
  echo "zandrel printed $count lines for $long_n names" >&2
  exit 1
fi
