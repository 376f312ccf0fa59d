#!/usr/bin/env bash
# Two programs on one board: two windows started on it at once, a window and
# then tarnwell-cli.exe, tarnwell-cli.exe and then a window. Each time exactly
# one serves the board; the other says that another program is updating it
# (the window in its log, the command line as the board's failure), and the
# board's image is identical. Once the first is done, the board can be served
# again. The board answers each block 20 ms late, so that a turn lasts seconds.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 1 --board "name=FW GUR 1,ip=192.168.1.1,late=data:*:20"

IP=192.168.1.1
HELD="Unit at IP $IP is being updated by another program."
SERVED="Unit at IP $IP is rebooting."
# Each program its own file: the window opens its file for itself alone.
path=$(make_image gur_arm_fw.bin 100000)
path2=$(make_image gur_arm_fw_2.bin 100000)
pathcli=$(make_image gur_arm_fw_cli.bin 100000)

# Windows process ids of the running Tarnwell.exe, one a line (the debugger lists them in hex).
program_pids() {
  local hex
  wine winedbg --command "info proc" 2>/dev/null | tr -d '\r=' | awk "/'Tarnwell.exe'/ {print \$1}" |
    while read -r hex; do echo $((16#$hex)); done
}

filename_requests() {
  sim_snapshot
  simq requests --board "$IP" --op FILENAME | wc -l
}

# prepare PID FILE: lists the board and chooses the file in that window.
prepare() {
  ui --pid "$1" menu search -- wait-units 1 10000 -- select 0 -- click main file-button -- file-dialog "$2" \
    >/dev/null || fail "window $1 could not be prepared"
}

cli() {
  wine "$E2E_WIN/cli/tarnwell-cli.exe" flash "$pathcli" "$IP" --quiet 2>>"$E2E_DIR/cli.err" | tr -d '\r'
}

# --- two windows at once ---
start_program
first=$(ui pid)
( cd "$E2E_DIR/app" && exec wine "$E2E_DIR/app/Tarnwell.exe" ) >/dev/null 2>&1 &
second=""
for _ in $(seq 100); do
  second=$(program_pids | grep -vx "$first" | head -1)
  [ -n "$second" ] && ui --pid "$second" wait-main 10000 >/dev/null && break
  sleep 0.2
done
[ -n "$second" ] || fail "the second window did not open"
prepare "$first" "$path"
prepare "$second" "$path2"
ui --pid "$first" menu download >/dev/null &
click=$!
ui --pid "$second" menu download >/dev/null
wait "$click"
served=0 held=0
for pid in $first $second; do
  ui --pid "$pid" wait-status "Unit at IP $IP" 30000 >/dev/null
  status=$(ui --pid "$pid" read status)
  grep -qF "$SERVED" <<<"$status" && served=$((served + 1))
  grep -qF "$HELD" <<<"$status" && held=$((held + 1))
done
expect_eq "two windows: windows that served the board" 1 "$served"
expect_eq "two windows: windows told another program is updating it" 1 "$held"
ui --pid "$first" wait-status "$SERVED" 30000 >/dev/null
ui --pid "$second" wait-status "$SERVED" 30000 >/dev/null
expect_eq "two windows: downloads the board saw" 1 "$(filename_requests)"
if [ -e "$E2E_DIR/images/$IP/gur_arm_fw.bin" ]; then
  expect_image "$IP" "$E2E_DIR/fw/gur_arm_fw.bin"
  [ -e "$E2E_DIR/images/$IP/gur_arm_fw_2.bin" ] && fail "two windows: both files reached the board"
else
  expect_image "$IP" "$E2E_DIR/fw/gur_arm_fw_2.bin"
fi
ui --pid "$second" close >/dev/null
ui --pid "$second" wait-gone main 5000 >/dev/null

# --- a window, then the command line ---
# A Search that acts shows the window ready for the next download.
search_when_ready && ui wait-units 1 10000 -- select 0 >/dev/null || fail "the window did not list the board again"
ui menu download >/dev/null
ui wait-progress 1+ 10000 >/dev/null || fail "the window's download did not start"
out=$(cli)
expect_eq "window then cli: the cli's result" $'192.168.1.1\tbeing updated by another program\tFW GUR 1' "$(head -1 <<<"$out")"
wait_download_end "$SERVED" 30000
expect_eq "window then cli: downloads the board saw" 2 "$(filename_requests)"
expect_image "$IP" "$E2E_DIR/fw/gur_arm_fw.bin"

# --- the command line, then a window ---
cli >"$E2E_DIR/cli.out" &
clipid=$!
for _ in $(seq 100); do
  [ "$(filename_requests)" = 3 ] && break
  sleep 0.1
done
search_when_ready && ui wait-units 1 10000 -- select 0 >/dev/null || fail "the window did not list the board again"
ui menu download -- wait-status "$HELD" 30000 >/dev/null || fail "cli then window: the window did not find the board held"
expect_eq "cli then window: the window served the board too" "" "$(ui read status | grep -F "$SERVED")"
wait "$clipid"
expect_eq "cli then window: the cli's result" $'192.168.1.1\tok\tFW GUR 1' "$(head -1 "$E2E_DIR/cli.out")"
expect_eq "cli then window: downloads the board saw" 3 "$(filename_requests)"
expect_image "$IP" "$E2E_DIR/fw/gur_arm_fw_cli.bin"

# Each lock ended with its turn: the window serves the board now.
search_when_ready && ui wait-units 1 10000 -- select 0 >/dev/null || fail "the window did not list the board again"
ui menu download -- wait-status "$SERVED" 30000 >/dev/null || fail "the board stayed locked"
expect_eq "served again: downloads the board saw" 4 "$(filename_requests)"
expect_eq "flags" "" "$(simq flags)"
e2e_end
