#!/usr/bin/env bash
# A 1 MiB image to one board arrives byte for byte; the time it took is printed.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 1 --quiet --board "name=FW GUR 1,ip=192.168.1.1"

start_program
ui menu search -- wait-units 1 10000 >/dev/null || fail "the board should be listed"
path=$(make_image gur_arm_fw_1m.bin 1048576)
choose_file "$path"
t0=$(date +%s%N)
ui select 0 -- menu download -- wait-status "is rebooting" 600000 >/dev/null || fail "the download should end"
t1=$(date +%s%N)
expect_image 192.168.1.1 "$E2E_DIR/fw/gur_arm_fw_1m.bin"
h_log "1 MiB (2081 blocks) in $(( (t1 - t0) / 1000000 )) ms, including the UI driver's start"
e2e_end
