#!/usr/bin/env bash
# Late and duplicated acknowledgements from boards that echo the request header:
# block 0 acknowledged twice and block 1 refused late; block 0 acknowledged 7 s
# late with block 1 lost once; block 3 acknowledged 6 s late with block 4 lost
# once. None of them may count for another block: each board ends with the
# identical image or is reported failed, never with a damaged image reported
# as served.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 3 \
  --board "name=FW GUR twice,ip=192.168.1.1,twice=data:0:500,late=data:1:2000,nak=data:1" \
  --board "name=FW GUR late0,ip=192.168.1.2,late=data:0:7000,drop=data:1" \
  --board "name=FW GUR late3,ip=192.168.1.3,late=data:3:6000,drop=data:4"

start_program
ui menu search -- wait-units 3 10000 >/dev/null || fail "three boards should be listed"
path=$(make_image gur_arm_fw.bin 3000)
choose_file "$path"
ui select-all -- menu download >/dev/null
wait_download_end "Unit at IP 192.168.1.3 is rebooting." 60000
status=$(ui read status)
expect_contains "the refusal ends the first board" "Data negative acknowledgement failure IP 192.168.1.1" "$status"
for ip in 192.168.1.2 192.168.1.3; do
  expect_contains "board $ip is served" "Unit at IP $ip is rebooting." "$status"
done
# Served means identical; anything else must be reported as a failure.
for ip in 192.168.1.1 192.168.1.2 192.168.1.3; do
  if grep -qF "Unit at IP $ip is rebooting." <<<"$status"; then
    expect_image "$ip" "$E2E_DIR/fw/gur_arm_fw.bin"
  elif [ -e "$E2E_DIR/images/$ip/gur_arm_fw.bin" ]; then
    fail "board $ip was not served yet holds a complete image"
  fi
done
sim_snapshot
expect_eq "nothing sent after the refused block" "0 1" \
  "$(simq requests --board 192.168.1.1 --op DATA | awk '{print $3}' | sort -u | tr '\n' ' ' | sed 's/ $//')"
expect_eq "block 1 of the 7 s board sent twice, nothing else repeated" "0 0 1 1 2 3 4 5" \
  "$(simq requests --board 192.168.1.2 --op DATA | awk '{print $3}' | tr '\n' ' ' | sed 's/ $//')"
expect_eq "flags" "" "$(simq flags)"
e2e_end
