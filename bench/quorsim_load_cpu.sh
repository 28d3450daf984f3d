#!/usr/bin/env bash
# CPU time of quorsim's traffic generator: quorbus on a free port, a reader
# of every relayed frame, quorsim with `load RATE 181#1122334455667788` for
# SECONDS; prints quorsim's and quorbus's CPU use in % of one core and the
# frames the reader got. Repeats RUNS times.
#   bench/quorsim_load_cpu.sh [BUILD_DIR] [RATE] [SECONDS] [RUNS]
set -euo pipefail
BUILD_DIR=${1:-build-release}
RATE=${2:-21000}
SECONDS_RUN=${3:-20}
RUNS=${4:-3}
BIN=$BUILD_DIR/bin
TICKS=$(getconf CLK_TCK)

cpu_ticks() {  # utime + stime of a process
    awk '{print $14 + $15}' "/proc/$1/stat"
}

for run in $(seq 1 "$RUNS"); do
    PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    "$BIN/quorbus" --port "$PORT" --quiet > /dev/null &
    BUS=$!
    sleep 0.3
    # Reader: joins the bus and counts frame messages until killed.
    /usr/bin/python3 - "$PORT" > /tmp/quorsim_load_reader.$$ <<'PY' &
import signal, socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"< open load >< rawmode >")
count = 0
def done(*_):
    print(count, flush=True)
    sys.exit(0)
signal.signal(signal.SIGTERM, done)
while True:
    data = s.recv(1 << 20)
    if not data:
        done()
    count += data.count(b"< frame ")
PY
    READER=$!
    sleep 0.3
    coproc SIM { exec "$BIN/quorsim" --channel "virtual:load@$PORT" --bitrate 1000; }
    read -r ready <&"${SIM[0]}"
    echo "load $RATE 181#1122334455667788" >&"${SIM[1]}"
    read -r answer <&"${SIM[0]}"
    sleep 1
    s0=$(cpu_ticks "$SIM_PID"); b0=$(cpu_ticks "$BUS"); t0=$(date +%s.%N)
    sleep "$SECONDS_RUN"
    s1=$(cpu_ticks "$SIM_PID"); b1=$(cpu_ticks "$BUS"); t1=$(date +%s.%N)
    echo "quit" >&"${SIM[1]}"
    wait "$SIM_PID" || true
    kill "$READER"; wait "$READER" || true
    kill "$BUS"; wait "$BUS" || true
    awk -v s="$((s1 - s0))" -v b="$((b1 - b0))" -v t0="$t0" -v t1="$t1" -v hz="$TICKS" \
        -v frames="$(cat /tmp/quorsim_load_reader.$$)" -v rate="$RATE" -v run="$run" \
        'BEGIN { w = t1 - t0; printf "run %d: %d frames/s asked, quorsim %.1f %% of a core, quorbus %.1f %%, reader got %d frames\n", run, rate, 100 * s / hz / w, 100 * b / hz / w, frames }'
    rm -f /tmp/quorsim_load_reader.$$
done
