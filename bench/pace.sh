#!/usr/bin/env bash
# Times `zandrel --check --delay PAUSE` over names of several registries that each allow one query
# a second, against the least time that pace allows. Three scripted registries on 127.0.0.1
# (bench/scripted_registry.py): Verisign for .com and .net, PIR for .org, DENIC for .de. The names
# (60 by default, the TLDs in turn, so .com and .net together make half) are routed there by the
# settings file's [Servers] section, in a settings folder of its own.
#   bench/pace.sh [NAMES] [PAUSE]             (defaults 60 and 1)
#   ZANDREL=path/to/zandrel bench/pace.sh     (default: build/release, else build/dev)
# Prints the wall time, the floor (the busiest registry's names x the pause), their ratio (goal: at
# most 1.15), the refused queries (goal: none), the most queries a registry had open at once (goal:
# 1), the least gap between two queries' arrivals at one registry, and whether the output lines
# come in the order the names were given, each with the verdict its registry gave (exit status 1
# when not).
# Takes about NAMES / 2 x PAUSE seconds.
set -euo pipefail
export LC_ALL=C # a decimal point in the clock readings

count=${1:-60}
pause=${2:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=find_zandrel.sh
. "$root/bench/find_zandrel.sh"
python=/usr/bin/python3
[ -x "$python" ] || { echo "/usr/bin/python3 is needed (apt-get install python3)" >&2; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

exec 3< <(exec "$python" -u "$root/bench/scripted_registry.py" "$work/queries.log" "$pause")
server_pid=$!
read -r verisign pir denic <&3

# Everything the program keeps goes to the work folder; every server it could reach is local
# (port 9 of 127.0.0.1 answers nothing, for the fallbacks no name here needs).
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
export XDG_STATE_HOME="$work/state"
mkdir -p "$XDG_CONFIG_HOME"
cat >"$XDG_CONFIG_HOME/Zandrel.ini" <<INI
[Servers]
com=127.0.0.1:$verisign
net=127.0.0.1:$verisign
org=127.0.0.1:$pir
de=127.0.0.1:$denic
iana=127.0.0.1:9
rdap-bootstrap=http://127.0.0.1:9/
INI

tlds=(com net org de)
for i in $(seq 0 $((count - 1))); do
  tld=${tlds[$((i % 4))]}
  # Every other name of each TLD is registered.
  if [ $(((i / 4) % 2)) -eq 0 ]; then echo "pace${i}taken.$tld"; else echo "pace${i}free.$tld"; fi
done >"$work/names"

start=$EPOCHREALTIME
status=0
"$zandrel" --check - --delay "$pause" <"$work/names" >"$work/out" 2>"$work/err" || status=$?
end=$EPOCHREALTIME
if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
  echo "zandrel --check ended with status $status:" >&2
  cat "$work/err" >&2
  exit 1
fi

"$python" - "$work/names" "$work/out" "$work/queries.log" "$start" "$end" "$pause" <<'PY'
import sys
names_file, out_file, log_file, start, end, pause = sys.argv[1:]
wall, pause = float(end) - float(start), float(pause)
names = open(names_file).read().split()
lines = [line.rstrip("\n").split("\t") for line in open(out_file) if line.strip()]
per_registry = {}
for name in names:
    registry = {"com": "VERISIGN", "net": "VERISIGN", "org": "PIR", "de": "DENIC"}[name.rsplit(".", 1)[1]]
    per_registry[registry] = per_registry.get(registry, 0) + 1
busiest = max(per_registry, key=per_registry.get)
floor = per_registry[busiest] * pause

queries = [line.rstrip("\n").split("\t") for line in open(log_file)]
refused = sum(1 for q in queries if q[3] == "refused")
most_open = max((int(q[4]) for q in queries), default=0)
gaps = {}
for registry in per_registry:
    arrivals = sorted(float(q[1]) for q in queries if q[0] == registry)
    if len(arrivals) > 1:
        gaps[registry] = min(b - a for a, b in zip(arrivals, arrivals[1:]))

in_order = [fields[0].lower() for fields in lines] == [name.lower() for name in names]
wrong = [fields[0] for fields in lines
         if len(fields) < 2 or fields[1] != ("taken" if "taken" in fields[0] else "free")]

print("%d names, pause %g s: %s" % (len(names), pause,
      ", ".join("%s %d" % (r, n) for r, n in sorted(per_registry.items()))))
print("  wall time        %.2f s" % wall)
print("  floor            %.2f s (%s: %d names x %g s)" % (floor, busiest, per_registry[busiest], pause))
print("  ratio            %.3f (goal: at most 1.15)" % (wall / floor if floor else float("nan")))
print("  queries          %d, refused %d (goal: 0)" % (len(queries), refused))
print("  most open at once at one registry: %d (goal: 1)" % most_open)
print("  least gap between arrivals: " + ", ".join("%s %.3f s" % (r, g) for r, g in sorted(gaps.items())))
print("  output lines     %d, in the order given: %s" % (len(lines), "yes" if in_order else "NO"))
print("  verdicts         %d of %d as the registries answered%s"
      % (len(lines) - len(wrong), len(names), "" if not wrong else "; not: " + " ".join(wrong[:5])))
# A line missing, out of place or wrongly judged is a fault, not a figure.
if not in_order or wrong or len(lines) != len(names):
    sys.exit(1)
PY
