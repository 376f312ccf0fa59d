#!/usr/bin/env bash
# The README's main command: Tarnwell against simulated boards.
#
#   bash scripts/main.sh [--headless]
#
# Builds what it runs, makes a private network (a workstation namespace and a
# boards namespace joined by a veth pair), starts the board simulator with five
# boards of two kinds in one and Tarnwell.exe under Wine in the other. With a
# display you drive the window yourself; headless (no DISPLAY, or --headless)
# it drives itself: Search, select all, choose the sample image, Download; it
# saves screenshots at each step and prints the status log and the simulator's
# verdict. Everything it started is stopped and the namespaces are deleted,
# also when interrupted.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

headless=0
[ "${1:-}" = --headless ] && headless=1
[ -z "${DISPLAY:-}" ] && headless=1
if [ "$(id -u)" != 0 ]; then
  echo "main.sh: run as root (it installs packages and makes network namespaces)" >&2
  exit 1
fi

scripts/setup.sh || exit 1
# The demo needs network namespaces; say so before a long build rather than after it.
probe=${TW_NS_PREFIX:-tw}-probe-$$
if ! err=$(ip netns add "$probe" 2>&1); then
  echo "main.sh: cannot make a network namespace: 'ip netns add' failed: $err" >&2
  echo "  The program and the simulated boards run in network namespaces of their own, which needs" >&2
  echo "  root with CAP_SYS_ADMIN and CAP_NET_ADMIN (in a container: --privileged, or" >&2
  echo "  --cap-add SYS_ADMIN --cap-add NET_ADMIN) and a writable /run/netns." >&2
  exit 1
fi
ip netns del "$probe"
echo "Building what the demo runs (a first build takes a few minutes)..."
scripts/build.sh --demo || { echo "main.sh: the build failed (see above)" >&2; exit 1; }

export DEMO_DIR=$root/out/demo-$(date +%Y%m%d-%H%M%S)
mkdir -p "$DEMO_DIR/app" "$DEMO_DIR/fw" "$DEMO_DIR/images"
cp build/win/Tarnwell.exe "$DEMO_DIR/app/"
# A sample image for the "FW VEX" boards: 48 KiB of a fixed pattern.
python3 -c "import sys; sys.stdout.buffer.write(bytes((i * 7 + i // 251) & 255 for i in range(48 * 1024)))" \
  >"$DEMO_DIR/fw/vex_arm_fw_demo.bin"
# The settings file beside the program remembers the sample image, as after an earlier run.
printf '[Settings]\r\nFirmware File=%s\r\n' "$(echo "Z:$DEMO_DIR/fw/vex_arm_fw_demo.bin" | tr / '\\')" \
  >"$DEMO_DIR/app/Tarnwell.ini"
export DEMO_HEADLESS=$headless
# The boards answer each block a little late, as boards on a real network do: a
# download then takes a few seconds a board, and its bar can be seen filling.
DEMO_LATENCY_MS=${DEMO_LATENCY_MS:-40}
export WINEPREFIX=$root/build/wineprefix WINEDEBUG=-all
source scripts/wine-env.sh
wineserver -k 2>/dev/null

sim=(build/native/tools/boardsim/boardsim --out "$DEMO_DIR/images" --expect "$DEMO_DIR/fw/vex_arm_fw_demo.bin"
     --summary "$DEMO_DIR/simulator.json" --verdict "$DEMO_DIR/verdict.txt" --log "$DEMO_DIR/simulator.log"
     --board "name=FW VEX %d,mac=00:50:c2:00:10:01,ip=192.168.1.1,count=3,latency=$DEMO_LATENCY_MS"
     --board "name=FW GUR %d,mac=00:50:c2:00:20:01,ip=192.168.1.4,count=2")
simcmd=$(printf '%q ' "${sim[@]}")

run_inside() {
  tools/testbed.sh --quiet --layout one-subnet --count 5 --boards-log "$DEMO_DIR/simulator.out" \
    --boards-cmd "$simcmd" -- bash scripts/demo-inside.sh
}
if [ "$headless" = 1 ]; then
  TARNWELL_XVFB=1 scripts/with-display.sh bash -c "$(declare -f run_inside); simcmd=$(printf '%q' "$simcmd"); run_inside"
else
  run_inside
fi
status=$?
wineserver -k 2>/dev/null

echo
if [ -f "$DEMO_DIR/simulator.out" ]; then
  echo "Simulator's verdict:"
  grep '^verdict' "$DEMO_DIR/simulator.out" | sed 's/^/  /'
else
  echo "main.sh: the test bed could not be built (see tools/testbed.sh's message above); nothing ran" >&2
fi
echo
echo "Everything of this run is in $DEMO_DIR"
[ "$headless" = 1 ] && ls "$DEMO_DIR"/*.png 2>/dev/null | sed 's/^/  screenshot: /'
exit $status
