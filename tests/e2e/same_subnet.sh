#!/usr/bin/env bash
# Two adapters on one subnet: a broadcast leaves through both, so a board is
# listed twice; unicasts leave through the adapter listed first.
source "$(dirname "$0")/lib.sh"

e2e_begin same-subnet 1 --broadcast-all --board "name=FW GUR 1,mac=00:00:00:00:00:01,ip=192.168.1.1"

start_program
ui menu search >/dev/null
ui wait-units 2 10000 >/dev/null || fail "the board should be listed twice"
lines=$(ui read units | sort -u | wc -l)
expect_eq "two identical lines" 1 "$lines"
ui menu ping-specific -- wait-dialog "Ping Specific IP" -- ip-set "Ping Specific IP" ip-address 192.168.1.1 \
   -- click "Ping Specific IP" ok >/dev/null || fail "Ping Specific did not run"
ui wait-units 1 10000 >/dev/null || fail "the board should answer the unicast"
sim_snapshot
senders=$(simq requests --op DISCOVER | awk '$5 != "broadcast" {print $6}' | tr '\n' ' ')
first=$(echo "$TW_WS_ADDRS" | cut -d' ' -f1)
expect_eq "unicast sender" "$first " "$senders"
e2e_end
