#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job on the simulated
# network: quorsim plays nodes 5 and 6, with another identity node 7, and a
# CANopen Manager as node 16 on the virtual bus (quorbus starts on its own). With a display, quorvane opens on that bus (accept the hardware
# dialog's default, the dongle row, which maps to the virtual bus). Without
# one, the library demonstration reads, writes and commands the nodes, then a
# scripted quorcmd session does the same from the console.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BIN=${BUILD_DIR:-build}/bin
PORT=${QUORVANE_DEMO_PORT:-29536}
export MORVELLCANOPEN_CHANNEL="virtual:demo@$PORT"
SIM_OUT=$(mktemp)
coproc SIM {
  exec "$BIN/quorsim" --node 5 --node 6 --node 7:sim/quorsim/examples/network_identity2.eds \
    --manager 16 --heartbeat 1000 2>&1
}
trap 'echo quit >&"${SIM[1]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -f "$SIM_OUT"' EXIT
# Wait for the simulator to report that its nodes are on the bus.
while IFS= read -r -t 20 line <&"${SIM[0]}"; do
  echo "[quorsim] $line"
  case "$line" in *"quorsim ready"*) break ;; esac
done
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QUORVANE_CONSOLE_DEMO:-}" ]; then
  echo "Opening quorvane on $MORVELLCANOPEN_CHANNEL (nodes 5, 6 and 7, heartbeat 1 s; manager 16)"
  "$BIN/quorvane"
  exit 0
fi
"$BIN/morvell_demo" 5 6
echo
"$BIN/quorcmd" "NMT(0,PREOPERATIONAL)" "SDOUPLOAD(5,0x1008,0,SCREEN)" \
  "SDODOWNLOAD(6,0x2000,1,0x11223344)" "ODREAD(6,0x2000,1,SCREEN)" "ODREAD(6,0x1018,4,SCREEN)"
