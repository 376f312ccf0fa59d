#!/usr/bin/env bash
# 254 boards answering one Search at the same moment are all listed.
source "$(dirname "$0")/lib.sh"

e2e_begin big 254 --quiet --board "name=FW GUR %d,ip=10.20.1.1,count=254"

start_program
t0=$(date +%s%N)
ui menu search -- wait-units 254 30000 >/dev/null || fail "all 254 boards should be listed"
t1=$(date +%s%N)
sleep 1
expect_eq "lines" 254 "$(ui read count)"
h_log "Search to the 254th line (including the UI driver's start): $(( (t1 - t0) / 1000000 )) ms"
e2e_end
