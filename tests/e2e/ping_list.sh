#!/usr/bin/env bash
# Ping List: stored commas become lines and back, each non-empty piece is sent
# once in order, blank lines send nothing, an empty list sends nothing.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 6 --board "name=FW VEX %d,ip=192.168.1.1,count=6"

D="Enter IP Address List"
dialog_text() { ui read text "$D" ip-list | tr '\n' '|'; }
requests_to() { sim_snapshot; simq requests --op DISCOVER | awk '{print $1}' | tr '\n' ' '; }

printf '[Settings]\r\nPing List=192.168.1.5,192.168.1.6\r\n' >"$E2E_DIR/app/Tarnwell.ini"
start_program

# The stored value opens as two lines; OK writes it back and asks both, in order.
ui menu ping-list -- wait-dialog "$D" >/dev/null || fail "the dialog did not open"
expect_eq "dialog text" "192.168.1.5|192.168.1.6|" "$(dialog_text)"
ui click "$D" ok -- wait-gone "$D" >/dev/null
ui wait-units 2 10000 >/dev/null || fail "both boards should answer"
expect_setting "setting" "Ping List=192.168.1.5,192.168.1.6"
expect_eq "status" "Searching for boards in the ping list..." "$(ui read status)"
expect_eq "requests in order" "192.168.1.5 192.168.1.6 " "$(requests_to)"

# A blank line in the middle and a line break at the end: two commas in a row and
# a trailing one are stored, and exactly two requests go out.
ui menu ping-list -- wait-dialog "$D" -- settext "$D" ip-list $'192.168.1.1\n\n192.168.1.2\n' \
   -- click "$D" ok -- wait-gone "$D" >/dev/null
ui wait-units 2 10000 >/dev/null || fail "the two boards should answer"
expect_setting "setting with blank lines" "Ping List=192.168.1.1,,192.168.1.2,"
expect_eq "requests after the blank lines" "192.168.1.5 192.168.1.6 192.168.1.1 192.168.1.2 " "$(requests_to)"

# A comma typed inside a line separates addresses and shows as a line break next time.
ui menu ping-list -- wait-dialog "$D" -- settext "$D" ip-list "192.168.1.3,192.168.1.4" \
   -- click "$D" ok -- wait-gone "$D" >/dev/null
ui wait-units 2 10000 >/dev/null || fail "the comma-separated boards should answer"
ui menu ping-list -- wait-dialog "$D" >/dev/null
expect_eq "comma shown as a line break" "192.168.1.3|192.168.1.4|" "$(dialog_text)"

# An empty list: the setting is written empty, the units emptied, the status shown, nothing sent.
before=$(requests_to)
ui settext "$D" ip-list "" -- click "$D" ok -- wait-gone "$D" >/dev/null
sleep 1
expect_setting "empty setting" $'Ping List=\n'
expect_eq "units after an empty list" 0 "$(ui read count)"
expect_eq "status after an empty list" "Searching for boards in the ping list..." "$(ui read status)"
expect_eq "nothing sent for an empty list" "$before" "$(requests_to)"
e2e_end
