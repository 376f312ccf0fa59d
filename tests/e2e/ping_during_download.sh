#!/usr/bin/env bash
# A Ping during a three-board download puts its line on top of the status log
# and keeps the download's report: the lines saying which boards failed. The
# unit list is emptied and refilled as at any other time.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 3 \
  --board "name=FW VEX nak,ip=192.168.1.1,nak=data:1" \
  --board "name=FW VEX silent,ip=192.168.1.2,silent" \
  --board "name=FW VEX slow,ip=192.168.1.3,late=data:2:4500,late=data:4:4500,late=data:6:4500"

L="Enter IP Address List"; S="Ping Specific IP"
NAK="Data negative acknowledgement failure IP 192.168.1.1"
SILENT="Unit at IP 192.168.1.2 failed to download."

start_program
# Asked one by one, the boards are listed, and so served, in this order.
ui menu ping-list -- wait-dialog "$L" -- settext "$L" ip-list $'192.168.1.1\n192.168.1.2\n192.168.1.3' \
   -- click "$L" ok -- wait-gone "$L" -- wait-units 3 10000 >/dev/null || fail "three boards should be listed"
expect_eq "list order" "192.168.1.1 192.168.1.2 192.168.1.3 " "$(unit_ips)"
path=$(make_image vex_arm_fw.bin 4000)
choose_file "$path"
ui select-all -- menu download >/dev/null
wait_download_end "$SILENT" 30000

# Blocks 2, 4 and 6 of the last board are answered 4.5 s late: the Pings run meanwhile.
ui menu ping-list -- wait-dialog "$L" -- settext "$L" ip-list "192.168.1.3" \
   -- click "$L" ok -- wait-gone "$L" >/dev/null || fail "Ping List should run during the download"
status=$(ui read status)
expect_eq "Ping List's line on top" "Searching for boards in the ping list..." "$(head -n 1 <<<"$status")"
expect_contains "refusing board still reported" "$NAK" "$status"
expect_contains "silent board still reported" "$SILENT" "$status"
expect_contains "download line kept" "Downloading $path to all valid selected boards." "$status"
ui wait-units 1 10000 >/dev/null || fail "the unit list should be emptied and list the one board that answered"

ui menu ping-specific -- wait-dialog "$S" -- ip-set "$S" ip-address 192.168.1.2 \
   -- click "$S" ok -- wait-gone "$S" >/dev/null || fail "Ping Specific should run during the download"
status=$(ui read status)
expect_eq "Ping Specific's line on top" "Searching for board at specific IP address..." "$(head -n 1 <<<"$status")"
expect_contains "refusing board still reported" "$NAK" "$status"
expect_contains "silent board still reported" "$SILENT" "$status"
wait_download_end "Unit at IP 192.168.1.3 is rebooting." 30000
status=$(ui read status)
expect_eq "newest line on top" "Unit at IP 192.168.1.3 is rebooting." "$(head -n 1 <<<"$status")"
for line in "Searching for board at specific IP address..." "Searching for boards in the ping list..." "$NAK" "$SILENT"; do
  expect_contains "kept to the end" "$line" "$status"
done
expect_image 192.168.1.3 "$E2E_DIR/fw/vex_arm_fw.bin"

# Once the download is over a Ping starts the log afresh, as before.
ui menu ping-list -- wait-dialog "$L" -- click "$L" ok -- wait-gone "$L" >/dev/null
expect_eq "after the download" "Searching for boards in the ping list..." "$(ui read status)"
e2e_end
