#!/usr/bin/env bash
# Two adapters: a broadcast leaves through each, a unicast through the adapter
# whose subnet holds the target, and a target in no subnet is not sent at all.
source "$(dirname "$0")/lib.sh"

# Two more boards answer with replies the program must drop whole: one of 601
# bytes, one whose MAC text has no terminating zero inside the datagram.
long_reply=01000000000000004c4f4e4700$(printf '41%.0s' $(seq 587))00
e2e_begin two-adapters 3 \
  --board "name=FW VEX A,mac=aa:00:00:00:00:01,ip=192.168.1.1" \
  --board "name=FW VEX B,mac=bb:00:00:00:00:01,ip=10.1.2.3" \
  --board "ip=192.168.1.2,disc-reply=$long_reply" \
  --board "ip=192.168.1.3,disc-reply=0100000000000000410042"

start_program
ui menu search >/dev/null
ui wait-units 2 10000 >/dev/null || fail "both boards should be listed"
sleep 1
units=$(ui read units | cut -f3 | sort | tr '\n' ' ')
expect_eq "addresses listed" "IP=10.1.2.3 IP=192.168.1.1 " "$units"

ui menu ping-specific -- wait-dialog "Ping Specific IP" -- ip-set "Ping Specific IP" ip-address 10.1.2.3 \
   -- click "Ping Specific IP" ok >/dev/null || fail "Ping Specific did not run"
ui wait-units 1 10000 >/dev/null || fail "the specific board should answer"
ui menu ping-specific -- wait-dialog "Ping Specific IP" -- ip-set "Ping Specific IP" ip-address 172.16.0.1 \
   -- click "Ping Specific IP" ok >/dev/null || fail "Ping Specific did not run"
sleep 1
expect_eq "units after a target in no subnet" 0 "$(ui read count)"

sim_snapshot
broadcasts=$(simq requests --op DISCOVER | awk '$5 == "broadcast" {print $1, $6}' | sort | tr '\n' ' ')
expect_eq "one broadcast per adapter, each from its own adapter" \
  "10.1.2.3 10.0.0.5 192.168.1.1 192.168.1.10 192.168.1.2 192.168.1.10 192.168.1.3 192.168.1.10 " "$broadcasts"
unicasts=$(simq requests --op DISCOVER | awk '$5 != "broadcast" {print $1, $6}' | tr '\n' ' ')
expect_eq "the unicast left through the 10.0.0.5 adapter" "10.1.2.3 10.0.0.5 " "$unicasts"
expect_eq "strays (nothing may reach 172.16.0.1)" "" "$(simq strays)"
e2e_end
