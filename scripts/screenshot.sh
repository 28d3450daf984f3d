#!/usr/bin/env bash
# Takes a screenshot of quorvane's main window on a simulated network: quorsim
# plays nodes 5 and 6 on a private virtual bus, quorvane runs on a virtual X
# display (Xvfb), its hardware configuration is accepted with Return, and the
# screen is saved as a PNG.
#
#   scripts/screenshot.sh [OUTPUT.png]     (default docs/screenshot.png)
#
# Needs a build in ${BUILD_DIR:-build}; installs xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
OUTPUT=${1:-docs/screenshot.png}
BIN=${BUILD_DIR:-build}/bin
WAIT_S=${QUORVANE_SHOT_WAIT_S:-30}

for program in quorvane quorsim; do
  if [ ! -x "$BIN/$program" ]; then
    echo "screenshot: $BIN/$program is missing; build first (scripts/build.sh)" >&2
    exit 1
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in xvfb xdotool imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

WORK=$(mktemp -d)
XVFB_PID=""
QUORVANE_PID=""
SIM_PID=""
cleanup() {
  if [ -n "$QUORVANE_PID" ]; then kill "$QUORVANE_PID" 2>/dev/null || true; fi
  if [ -n "$SIM_PID" ]; then
    { echo quit >&"${SIM[1]}"; } 2>/dev/null || true
  fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# A virtual display: Xvfb picks a free display number and writes it to the fifo.
mkfifo "$WORK/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$WORK/display" \
  >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
if ! read -r -t "$WAIT_S" DISPLAY_NUMBER <"$WORK/display"; then
  echo "screenshot: Xvfb did not start" >&2
  cat "$WORK/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$DISPLAY_NUMBER"

# A private virtual bus on a free port, so no other bus is disturbed.
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export MORVELLCANOPEN_CHANNEL="virtual:shot@$PORT"
coproc SIM { exec "$BIN/quorsim" --node 5 --node 6 --heartbeat 1000 2>&1; }
# Wait for the simulator to report that its nodes are on the bus.
ready=0
while IFS= read -r -t "$WAIT_S" line <&"${SIM[0]}"; do
  echo "[quorsim] $line"
  case "$line" in *"quorsim ready"*) ready=1; break ;; esac
done
if [ "$ready" -ne 1 ]; then
  echo "screenshot: quorsim did not become ready" >&2
  exit 1
fi

# Private settings: the shot shows the defaults, not the user's choices.
export XDG_CONFIG_HOME="$WORK/config"
"$BIN/quorvane" >"$WORK/quorvane.log" 2>&1 &
QUORVANE_PID=$!

# There is no window manager under Xvfb: focus the dialog before typing.
if ! DIALOG=$(timeout "$WAIT_S" xdotool search --sync --onlyvisible --name '^Hardware Configuration$' | head -n 1); then
  echo "screenshot: no \"Hardware Configuration\" window" >&2
  cat "$WORK/quorvane.log" >&2
  exit 1
fi
xdotool windowfocus --sync "$DIALOG"
xdotool key Return

if ! timeout "$WAIT_S" xdotool search --sync --onlyvisible --name '^Quorvane$' >/dev/null; then
  echo "screenshot: no \"Quorvane\" main window" >&2
  cat "$WORK/quorvane.log" >&2
  exit 1
fi
# Let the heartbeats of nodes 5 and 6 (one a second) reach the window and the
# splash window go.
sleep 3

mkdir -p "$(dirname "$OUTPUT")"
import -window root "$OUTPUT"
echo "screenshot: wrote $OUTPUT"
