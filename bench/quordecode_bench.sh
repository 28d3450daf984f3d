#!/usr/bin/env bash
# quordecode on a generated 1,000,000-line candump log of mixed CANopen
# traffic (NMT, SYNC, TIME, heartbeats, PDOs, SDO expedited, segmented and
# abort, emergencies), in log order and reversed; beside it tshark decoding
# the same log with the CANopen dissector. Wall time and peak memory from
# /usr/bin/time -v, min / median / max of RUNS.
# Usage: bench/quordecode_bench.sh [BUILD_DIR] [RUNS] [LINES]
#        (default build-interp-release, 3, 1000000)
# Installs the time and tshark packages when they are missing (needs root).
set -euo pipefail

build_dir=${1:-build-interp-release}
runs=${2:-3}
lines=${3:-1000000}
quordecode=$(cd "$build_dir/bin" && pwd)/quordecode
[[ -x $quordecode ]] || { echo "missing $quordecode (build it first)" >&2; exit 1; }

install_package() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$1" >/dev/null ||
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends "$1" >/dev/null; }
}
[[ -x /usr/bin/time ]] || install_package time
command -v tshark >/dev/null || install_package tshark || echo "tshark could not be installed" >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/quordecode_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/traffic.log

# Deterministic traffic: 4 nodes, every line a candump log line.
python3 - "$lines" >"$log" <<'PY'
import sys
lines = int(sys.argv[1])
pattern = []
def add(frame): pattern.append(frame)
add("000#0100")
add("100#952CB302E64F")
for node in range(1, 5):
    add("%03X#05" % (0x700 + node))
add("080#")
for node in range(1, 5):
    add("%03X#0010203040506070" % (0x180 + node))
    add("%03X#E803" % (0x200 + node))
add("605#4018100100000000")
add("585#4318100178563412")
add("605#2300200011223344")
add("585#6000200000000000")
add("605#2101210040000000")
add("585#6001210000000000")
add("605#0071756F7276616E")
add("585#2000000000000000")
add("605#1B65210000000000")
add("585#3000000000000000")
add("605#4000300000000000")
add("585#8000300000000206")
add("085#1023010000000000")
add("705#R")
add("00000605#4000100000000000")
add("7E5#04")
out = sys.stdout
seconds, micros = 1436509052, 0
for i in range(lines):
    micros += 250
    if micros >= 1000000:
        seconds += 1
        micros -= 1000000
    out.write("(%d.%06d) can0 %s\n" % (seconds, micros, pattern[i % len(pattern)]))
PY
echo "log: $lines lines, $(du -h "$log" | cut -f1)"

# Prints min / median / max of wall time and of CPU time (user + system)
# over $runs runs, and the largest peak memory. On a busy machine compare CPU
# times: wall time then includes waiting for a core.
measure() {
    local walls=() cpus=() peak_kb=0
    for _ in $(seq "$runs"); do
        /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.csv" 2>"$work/err.txt" || {
            local rc=$?
            # quordecode exits 1 when it skipped lines; anything else fails.
            [[ $rc -eq 1 && $1 == "$quordecode" ]] || { cat "$work/err.txt" >&2; return "$rc"; }
        }
        walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0;
            for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$work/time.txt")")
        cpus+=("$(awk -F': ' '/User time|System time/ {s += $2} END {print s}' "$work/time.txt")")
        local kb
        kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
        ((kb > peak_kb)) && peak_kb=$kb
    done
    spread() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {
        printf "%.2f / %.2f / %.2f", v[1], v[int((NR + 1) / 2)], v[NR]}'; }
    printf '  wall %s s  cpu %s s (min / median / max)  peak %d MB  (%s rows out)\n' \
        "$(spread "${walls[@]}")" "$(spread "${cpus[@]}")" "$((peak_kb / 1024))" \
        "$(wc -l <"$work/out.csv")"
}

echo "== quordecode, log order: $quordecode $log"
measure "$quordecode" "$log"
echo "== quordecode --descending: $quordecode --descending $log"
measure "$quordecode" --descending "$log"
if command -v tshark >/dev/null; then
    tshark_fields=(-T fields -e frame.number -e can.id -e canopen.function_code -e canopen.node_id
        -e canopen.sdo.main_idx)
    echo "== tshark -r $log -d can.subdissector,canopen ${tshark_fields[*]}"
    if tshark -r "$log" -c 1 >/dev/null 2>&1; then
        measure tshark -r "$log" -d "can.subdissector,canopen" "${tshark_fields[@]}"
        echo "== tshark -r $log -d can.subdissector,canopen (one summary line a frame)"
        measure tshark -r "$log" -d "can.subdissector,canopen"
    else
        echo "  tshark cannot read this candump log here:"
        tshark -r "$log" -c 1 2>&1 | head -3 | sed 's/^/  /'
    fi
fi
