#!/usr/bin/env bash
# Ping Specific: one request to the typed address, stored as a signed integer,
# preset from the setting next time.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 3 --board "name=FW GUR %d,ip=192.168.1.1,count=3"

D="Ping Specific IP"
start_program
ui menu ping-specific -- wait-dialog "$D" >/dev/null || fail "the dialog did not open"
expect_eq "first preset" "0.0.0.0" "$(ui ip-get "$D" ip-address)"
ui ip-set "$D" ip-address 192.168.1.1 -- click "$D" ok -- wait-gone "$D" >/dev/null
ui wait-units 1 10000 >/dev/null || fail "the board should answer"
expect_eq "unit line" $'0\tFW GUR 1\tIP=192.168.1.1\tMAC=02:00:c0:a8:01:01' "$(ui read units)"
expect_eq "status" "Searching for board at specific IP address..." "$(ui read status)"
expect_setting "setting" "Ping Specific=-1062731519"

ui menu ping-specific -- wait-dialog "$D" >/dev/null
expect_eq "preset from the setting" "192.168.1.1" "$(ui ip-get "$D" ip-address)"
ui key escape "$D" -- wait-gone "$D" >/dev/null
expect_eq "cancel keeps the unit" 1 "$(ui read count)"

sim_snapshot
expect_eq "requests" "192.168.1.1 " "$(simq requests --op DISCOVER | awk '{print $1}' | tr '\n' ' ')"
e2e_end
