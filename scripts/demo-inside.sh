#!/usr/bin/env bash
# The part of scripts/main.sh that runs inside the workstation namespace.
set -uo pipefail
source "$(dirname "$0")/../tests/lib/harness.sh"
HARNESS_APP_DIR=$DEMO_DIR/app
HARNESS_UI_ERR=$DEMO_DIR/ui.err
trap stop_program EXIT INT TERM
start_program || exit 1

if [ "$DEMO_HEADLESS" != 1 ]; then
  echo "Tarnwell is running with five simulated boards (192.168.1.1 to .5)."
  echo "Sample image: $(winpath "$DEMO_DIR/fw/vex_arm_fw_demo.bin")"
  echo "Try Search, select the boards, File, Download. Close the window to end."
  wait "$HARNESS_PROGRAM"
  exit 0
fi

shot() {  # shot NAME: the main window as a PNG
  local rect
  rect=$(ui rect main)
  import -window root ${rect:+-crop "$rect"} "$DEMO_DIR/$1.png" 2>/dev/null
  echo "  $1.png"
}
fail() { echo "main.sh: $*" >&2; exit 1; }

echo "Steps:"
ui menu search -- wait-units 5 10000 >/dev/null || fail "the five boards did not answer"
sleep 0.5
shot 1-search
ui select-all >/dev/null
pick_file "$(winpath "$DEMO_DIR/fw/vex_arm_fw_demo.bin")" || fail "could not choose the sample image"
shot 2-selected
# The first board's bar a third of the way: the download is under way.
ui menu download -- wait-progress 33+ 20000 >/dev/null || fail "the download did not start"
shot 3-downloading
ui wait-status "Unit at IP 192.168.1.3 is rebooting." 120000 -- wait-progress 100 5000 >/dev/null ||
  fail "the download did not reach the third board's reboot"
shot 4-done
echo
echo "Status log (newest line first):"
ui read status | sed 's/^/  /'
echo
echo "Unit list (1 = selected):"
ui read units | sed 's/^/  /'
ui menu exit -- wait-gone main 5000 >/dev/null
exit 0
