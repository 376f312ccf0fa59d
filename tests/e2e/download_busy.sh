#!/usr/bin/env bash
# While a download runs: Search, Download and Exit do nothing; Ping Specific,
# Ping List, the File button and the About box still open, and even a Ping that
# empties the unit list does not disturb the download.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 2 \
  --board "name=FW VEX 1,ip=192.168.1.1,late=data:2:4500,late=data:4:4500,late=data:6:4500" \
  --board "name=FW VEX 2,ip=192.168.1.2"

start_program
ui menu search -- wait-units 2 10000 >/dev/null || fail "two boards should be listed"
path=$(make_image vex_arm_fw.bin 4000)
choose_file "$path"
ui select 0 -- select 1 -- menu download -- wait-progress 25+ 5000 >/dev/null || fail "the download should start"

# Block 2 waits 4.5 s: the gated commands do nothing meanwhile.
ui menu search -- menu download -- menu exit -- key escape main -- close -- altf4 -- sleep 300 >/dev/null
expect_eq "no dialog or message box opened" "Quellmoor" "$(ui dialogs | cut -f1 | tr '\n' ' ' | sed 's/ $//')"
expect_contains "Search did not restart the log" "Downloading" "$(ui read status)"
expect_eq "units kept" 2 "$(ui read count)"

# The About box and the Ping dialogs open; Ping Specific with OK empties the units.
ui sysmenu 16 -- wait-dialog "About Tarnwell" -- key escape "About Tarnwell" -- wait-gone "About Tarnwell" >/dev/null ||
  fail "the About box should open during a download"
ui menu ping-list -- wait-dialog "Enter IP Address List" -- click "Enter IP Address List" cancel \
   -- wait-gone "Enter IP Address List" >/dev/null || fail "Ping List should open during a download"
ui wait-progress 50+ 10000 >/dev/null
ui menu ping-specific -- wait-dialog "Ping Specific IP" -- ip-set "Ping Specific IP" ip-address 192.168.1.2 \
   -- click "Ping Specific IP" ok -- wait-gone "Ping Specific IP" >/dev/null || fail "Ping Specific should run"
ui click main file-button -- wait-dialog Open 5000 -- file-dialog-cancel >/dev/null || fail "the File button should open its dialog"

wait_download_end "Unit at IP 192.168.1.2 is rebooting." 60000
expect_image 192.168.1.1 "$E2E_DIR/fw/vex_arm_fw.bin"
expect_image 192.168.1.2 "$E2E_DIR/fw/vex_arm_fw.bin"
when_ready menu exit -- wait-gone main 1000 || fail "Exit should end the program after the download"
sim_snapshot
expect_eq "flags" "" "$(simq flags)"
e2e_end
