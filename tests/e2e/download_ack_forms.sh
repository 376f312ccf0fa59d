#!/usr/bin/env bash
# Boards whose acknowledgements carry no usable block number (sequence fixed at
# 1, 2, 5 or 0xFFFFFFFF, length 0, 2 bytes, all zeros) or that answer from
# another port are never failed for it: the window and tarnwell-cli.exe give
# each the identical image. All zeros look like an echo of block 0 until
# block 1 is answered the same way twice, so that one block goes out twice.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 8 \
  --board "name=FW GUR seq1,ip=192.168.1.1,ack-seq=1" \
  --board "name=FW GUR seq2,ip=192.168.1.2,ack-seq=2" \
  --board "name=FW GUR seq5,ip=192.168.1.3,ack-seq=5" \
  --board "name=FW GUR seqmax,ip=192.168.1.4,ack-seq=0xFFFFFFFF" \
  --board "name=FW GUR len0,ip=192.168.1.5,ack-len=0" \
  --board "name=FW GUR short,ip=192.168.1.6,ack=short" \
  --board "name=FW GUR zero,ip=192.168.1.7,ack=zero" \
  --board "name=FW GUR port,ip=192.168.1.8,reply-port=2017"

ips=$(seq -f '192.168.1.%g' 1 8)
start_program
ui menu search -- wait-units 8 10000 >/dev/null || fail "eight boards should be listed"
path=$(make_image gur_arm_fw.bin 5000)
choose_file "$path"
ui select-all -- menu download >/dev/null
wait_download_end "Unit at IP 192.168.1.8 is rebooting." 60000
status=$(ui read status)
expect_eq "no failure" "" "$(grep -E 'failed|failure' <<<"$status")"
expect_eq "one retry, for the zero board" "Retrying send data IP 192.168.1.7" "$(grep -E 'Retrying' <<<"$status" | tr -d '\r')"
for ip in $ips; do
  expect_contains "window: board $ip served" "Unit at IP $ip is rebooting." "$status"
  expect_image "$ip" "$E2E_DIR/fw/gur_arm_fw.bin"
done
stop_program

# The same boards through tarnwell-cli.exe, with another file.
make_image gur_arm_fw_cli.bin 5000 >/dev/null
# shellcheck disable=SC2086
out=$(wine "$E2E_WIN/cli/tarnwell-cli.exe" flash "$(winpath "$E2E_DIR/fw/gur_arm_fw_cli.bin")" $ips --parallel 8 \
      --quiet 2>>"$E2E_DIR/cli.err" | tr -d '\r')
# Only acks that echo block numbers (length 0 and the other port here) prove the image.
expect_eq "cli: confirmed boards" "192.168.1.5 192.168.1.8" \
  "$(grep -P '^192\.168\.1\.[1-8]\tok\tFW GUR ' <<<"$out" | cut -f1 | sort | paste -sd ' ')"
expect_eq "cli: unconfirmed boards" 6 \
  "$(grep -cP "^192\\.168\\.1\\.[1-8]\tok, unconfirmed \(the board's acknowledgements carry no block numbers\)\tFW GUR " <<<"$out")"
for ip in $ips; do
  expect_image "$ip" "$E2E_DIR/fw/gur_arm_fw_cli.bin"
done
sim_snapshot
expect_eq "each request sent once, but block 1 to the zero board" \
  "192.168.1.7 DATA 1 2|192.168.1.7 DATA 1 2" \
  "$(simq requests | awk '$2 != "DISCOVER" && $7 != 1 {print $1, $2, $3, $7}' | paste -sd '|')"
expect_eq "flags" "" "$(simq flags)"
e2e_end
