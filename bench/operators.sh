#!/usr/bin/env bash
# Times `zandrel --check` with its default pace over four registry operators on 127.0.0.1
# (bench/operator_registries.py), against the floor their limits allow:
#   .org     5 a second and 50 in a rolling minute, declared in an operators file (60 names)
#   .de      2 a second, published nowhere: the pace must find it (40 names)
#   .io .me .xyz  three TLDs of one operator sharing 3 a second, declared (40 names)
#   .yy      an RDAP service allowing one a second, answering 429 with Retry-After (40 names)
#   bench/operators.sh                          (takes a little over a minute)
#   ZANDREL=path/to/zandrel bench/operators.sh  (default: build/release, else build/dev)
# Prints, per operator and for the run, the time against the floor (goal: the run within 1.3x),
# the queries refused, and the names ended by a throttle (goal: none); exit status 1 when a name
# is missing, out of order or ended by a throttle.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=find_zandrel.sh
. "$root/bench/find_zandrel.sh"
[ -n "$zandrel" ] && python=/usr/bin/python3

work=$(mktemp -d)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

exec 3< <(exec "$python" -u "$root/bench/operator_registries.py" "$work/queries.log")
server_pid=$!
read -r org de io me xyz rdap <&3

export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
export XDG_STATE_HOME="$work/state"
mkdir -p "$XDG_CONFIG_HOME"
cat >"$XDG_CONFIG_HOME/Zandrel.ini" <<INI
[Servers]
org=127.0.0.1:$org
de=127.0.0.1:$de
io=127.0.0.1:$io
me=127.0.0.1:$me
xyz=127.0.0.1:$xyz
yy=rdap:http://127.0.0.1:$rdap/
iana=127.0.0.1:9
rdap-bootstrap=http://127.0.0.1:9/
INI
printf 'Bench Org\t127.0.0.1:%s\t5/s 50/min\nBench Shared\t127.0.0.1:%s,127.0.0.1:%s,127.0.0.1:%s\t3/s\n' \
  "$org" "$io" "$me" "$xyz" >"$work/operators.tsv"

shared=(io me xyz)
for i in $(seq 0 59); do
  echo "org$i.org"
  if [ "$i" -lt 40 ]; then
    echo "de$i.de"
    echo "shared$i.${shared[$((i % 3))]}"
    echo "rdap$i.yy"
  fi
done >"$work/names"

"$zandrel" --check --plan --operators "$work/operators.tsv" $(cat "$work/names") >"$work/plan" || true
start=$EPOCHREALTIME
status=0
"$zandrel" --check - --operators "$work/operators.tsv" <"$work/names" >"$work/out" 2>"$work/err" || status=$?
end=$EPOCHREALTIME
if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
  echo "zandrel --check ended with status $status:" >&2
  cat "$work/err" >&2
  exit 1
fi
echo "--plan said:"
sed 's/^/  /' "$work/plan"

"$python" - "$work/names" "$work/out" "$work/queries.log" "$start" "$end" <<'PY'
import sys
names_file, out_file, log_file, start, end = sys.argv[1:]
wall = float(end) - float(start)
names = open(names_file).read().split()
lines = [line.rstrip("\n").split("\t") for line in open(out_file) if line.strip()]
queries = [line.rstrip("\n").split("\t") for line in open(log_file)]
# The least time each operator's limits allow for its names, first query to last.
floors = {"ORG": 60 + (60 - 50 - 1) * 0.2, "DE": 39 * 0.5, "SHARED": (40 - 3) / 3, "RDAP": 39 * 1.0}
print("%d names, default options (--delay auto)" % len(names))
for op, floor in floors.items():
    mine = [q for q in queries if q[0] == op]
    arrivals = [float(q[1]) for q in mine]
    took = max(arrivals) - min(arrivals) if arrivals else 0
    refused = sum(1 for q in mine if q[3] == "refused")
    print("  %-7s %3d queries, %2d refused, first to last %6.2f s, floor %6.2f s, ratio %.3f"
          % (op, len(mine), refused, took, floor, took / floor))
floor = max(floors.values())
throttled = [f[0] for f in lines if len(f) > 3 and f[1] == "unknown" and f[3] == "rate-limited"]
in_order = [f[0].lower() for f in lines] == [n.lower() for n in names]
print("  run     wall %.2f s, floor %.2f s, ratio %.3f (goal: at most 1.3)" % (wall, floor, wall / floor))
print("  names ended by a throttle: %d (goal: 0); output in the order given: %s"
      % (len(throttled), "yes" if in_order else "NO"))
print("  verdicts: " + ", ".join("%s %d" % (v, sum(1 for f in lines if f[1] == v))
                                 for v in sorted({f[1] for f in lines})))
if throttled or not in_order or len(lines) != len(names):
    sys.exit(1)
PY
