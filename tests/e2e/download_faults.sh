#!/usr/bin/env bash
# Several selected boards, served in list order whatever order they were selected
# in: a silent one, one that refuses a data block, one that loses a block, one
# whose late acknowledgement crosses a lost block (it echoes headers), and a
# healthy one. Every board but the first two ends with the identical image.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 5 \
  --board "name=FW GUR silent,ip=192.168.1.1,silent" \
  --board "name=FW GUR nak,ip=192.168.1.2,nak=data:1" \
  --board "name=FW GUR drop,ip=192.168.1.3,drop=data:3" \
  --board "name=FW GUR echo,ip=192.168.1.4,late=data:3:6000,drop=data:4" \
  --board "name=FW GUR healthy,ip=192.168.1.5"

start_program
ui menu search -- wait-units 5 10000 >/dev/null || fail "five boards should be listed"
path=$(make_image gur_arm_fw.bin 3000)
choose_file "$path"
# Select from the last line to the first.
for i in 4 3 2 1 0; do ui select "$i" >/dev/null; done
order=$(unit_ips)
ui menu download >/dev/null
wait_download_end "Unit at IP 192.168.1.5 is rebooting." 120000
status=$(ui read status)
expect_contains "silent board, first retry" "Retrying send file name IP 192.168.1.1" "$status"
expect_eq "silent board, two retry lines" 2 "$(grep -c 'Retrying send file name IP 192.168.1.1' <<<"$status")"
expect_contains "silent board fails" "Unit at IP 192.168.1.1 failed to download." "$status"
expect_contains "refusing board" "Data negative acknowledgement failure IP 192.168.1.2" "$status"
expect_eq "no retry for a refusal" 0 "$(grep -c 'Retrying send data IP 192.168.1.2' <<<"$status")"
expect_contains "lost block is sent again" "Retrying send data IP 192.168.1.3" "$status"
for ip in 192.168.1.3 192.168.1.4 192.168.1.5; do
  expect_contains "board $ip reboots" "Unit at IP $ip is rebooting." "$status"
  expect_image "$ip" "$E2E_DIR/fw/gur_arm_fw.bin"
done
# The silent board's retry line comes 5 s after its request, the failure 10 s after.
sim_snapshot
served=$(simq requests --op FILENAME | awk '!seen[$1]++ {print $1}' | tr '\n' ' ')
expect_eq "boards served in list order" "$order" "$served"
block3=$(simq requests --board 192.168.1.3 --op DATA | awk '$3 == 3 {print $4}' | sort -u | wc -l)
expect_eq "block 3 sent again unchanged" 1 "$block3"
expect_eq "flags" "" "$(simq flags | grep -v '^192.168.1.1 \|^192.168.1.2 ')"
e2e_end
