#!/usr/bin/env bash
# Search lists every board that answers the broadcast, one line each, in reply order.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 3 \
  --board "name=FW VEX 1,mac=00:11:22:33:44:01,ip=192.168.1.1" \
  --board "name=FW GUR 2,mac=00:11:22:33:44:02,ip=192.168.1.2" \
  --board "name=FW DAL1+1 3,mac=00:11:22:33:44:03,ip=192.168.1.3"

start_program
ui menu search >/dev/null
ui wait-units 3 10000 >/dev/null || fail "three boards were not listed"
sleep 1
units=$(ui read units | sort)
expected=$(printf '0\tFW VEX 1\tIP=192.168.1.1\tMAC=00:11:22:33:44:01\n0\tFW GUR 2\tIP=192.168.1.2\tMAC=00:11:22:33:44:02\n0\tFW DAL1+1 3\tIP=192.168.1.3\tMAC=00:11:22:33:44:03' | sort)
expect_eq "unit lines" "$expected" "$units"
expect_eq "status" "Searching for boards..." "$(ui read status)"

sim_snapshot
broadcasts=$(simq requests --op DISCOVER | awk '$5 == "broadcast"' | wc -l)
expect_eq "boards that heard the broadcast" 3 "$broadcasts"
expect_eq "flags" "" "$(simq flags)"
e2e_end
