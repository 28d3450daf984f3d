#!/usr/bin/env bash
# quorcmd from start to exit against quorsim node 5 on a private quorbus:
#   (a) a command file of 100 SDOUPLOAD(5,0x2000,1,SCREEN) (4-byte entry)
#   (b) one 160000-byte upload of domain 0x2101 to a file
# Usage: bench/quorcmd_bench.sh [BUILD_DIR] [RUNS]   (default build-release, 10)
# Uses hyperfine when installed, otherwise a timing loop. Every run includes
# quorcmd's 200 ms pause before it closes the interface.
set -euo pipefail

build_dir=${1:-build-release}
runs=${2:-10}
bin=$(cd "$build_dir/bin" && pwd)
for program in quorcmd quorbus quorsim; do
    [[ -x $bin/$program ]] || { echo "missing $bin/$program (build it first)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorcmd_bench.XXXXXX")
bus_pid=""
sim_pid=""
cleanup() {
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null || true
    [[ -n $bus_pid ]] && kill "$bus_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

# Waits up to 10 s for text to appear in a file.
wait_for() {
    local file=$1 text=$2
    for _ in $(seq 1000); do
        grep -q "$text" "$file" 2>/dev/null && return 0
        sleep 0.01
    done
    echo "timed out waiting for '$text' in $file" >&2
    cat "$file" >&2
    return 1
}

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export MORVELLCANOPEN_CHANNEL="virtual:bench@$port"

"$bin/quorbus" --port "$port" >bus.log 2>&1 &
bus_pid=$!
wait_for bus.log listening
"$bin/quorsim" --channel "$MORVELLCANOPEN_CHANNEL" --node 5 </dev/null >sim.log 2>&1 &
sim_pid=$!
wait_for sim.log "quorsim ready"

for _ in $(seq 100); do echo "SDOUPLOAD(5,0x2000,1,SCREEN)"; done >uploads.cmd
# The domain holds 200000 bytes; make it 160000 so one upload fills the buffer.
head -c 160000 /dev/urandom >domain.bin
"$bin/quorcmd" "SDODOWNLOAD(5,0x2101,0,domain.bin)" >setup.log || { cat setup.log >&2; exit 1; }
"$bin/quorcmd" "SDOUPLOAD(5,0x2101,0,check.bin)" >check.log || { cat check.log >&2; exit 1; }
cmp -s domain.bin check.bin || { echo "domain round trip differs" >&2; exit 1; }
echo "SDOUPLOAD(5,0x2101,0,up.bin)" >big.cmd

declare -A commands=(
    ["(a) 100 x SDOUPLOAD 4 bytes to SCREEN"]="$bin/quorcmd @uploads.cmd"
    ["(b) 1 x SDOUPLOAD 160000 bytes to file"]="$bin/quorcmd @big.cmd"
)

for name in "(a) 100 x SDOUPLOAD 4 bytes to SCREEN" "(b) 1 x SDOUPLOAD 160000 bytes to file"; do
    command=${commands[$name]}
    # A failing run must not pass for a fast one.
    $command >last.out || { echo "$name failed:" >&2; cat last.out >&2; exit 1; }
    echo "== $name: $command"
    echo "   $(grep -c complete last.out) result lines reported complete"
    if command -v hyperfine >/dev/null; then
        hyperfine --style basic --warmup 3 --runs "$runs" --output=null "$command" |
            grep -E "Time|Range"
    else
        times=()
        for _ in $(seq "$runs"); do
            start=$(date +%s.%N)
            $command >/dev/null
            end=$(date +%s.%N)
            times+=("$(echo "$end - $start" | bc)")
        done
        printf '%s\n' "${times[@]}" | sort -n |
            awk '{t[NR]=$1} END {printf "  min %.3f s  median %.3f s  max %.3f s (%d runs)\n", t[1], t[int((NR+1)/2)], t[NR], NR}'
    fi
done
