#!/usr/bin/env bash
# Cancel in either Ping dialog empties nothing, and a reply that arrives while a
# dialog is open is listed as usual.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 3 \
  --board "name=FW VEX 1,ip=192.168.1.1" --board "name=FW VEX 2,ip=192.168.1.2" \
  --board "name=FW VEX 3,ip=192.168.1.3,late=discover:4000"

start_program
ui menu search -- wait-units 2 10000 -- select 1 >/dev/null || fail "two boards should answer at once"
ui menu ping-list -- wait-dialog "Enter IP Address List" >/dev/null || fail "Ping List did not open"
ui wait-units 3 10000 >/dev/null || fail "the late reply should be listed while the dialog is open"
ui key escape "Enter IP Address List" -- wait-gone "Enter IP Address List" >/dev/null
expect_eq "lines after cancelling Ping List" 3 "$(ui read count)"
expect_eq "selection after cancelling Ping List" 1 "$(ui read selected)"
ui menu ping-specific -- wait-dialog "Ping Specific IP" -- click "Ping Specific IP" cancel \
   -- wait-gone "Ping Specific IP" >/dev/null
expect_eq "lines after cancelling Ping Specific" 3 "$(ui read count)"
expect_eq "selection after cancelling Ping Specific" 1 "$(ui read selected)"
expect_eq "status untouched" "Searching for boards..." "$(ui read status)"
e2e_end
