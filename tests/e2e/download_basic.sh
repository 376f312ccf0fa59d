#!/usr/bin/env bash
# One healthy board: the file name, the data blocks with their progress, the
# reboot request, and the identical image, for files of 1000, 600, 504 and 0 bytes.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 1 --board "name=FW VEX 1,ip=192.168.1.1,late=data:1:1500"

start_program
ui menu search -- wait-units 1 10000 >/dev/null || fail "the board should be listed"

# size, bar while block 1 waits (empty for files with one block), expected data requests "seq:size ..."
cases=("1000 50 0:512 1:504" "600 83 0:512 1:104" "504 - 0:512" "0 - 0:8")
n=0
for c in "${cases[@]}"; do
  read -r size bar blocks <<<"$c"
  n=$((n + 1))
  name="vex_arm_fw_$size.bin"
  path=$(make_image "$name" "$size")
  choose_file "$path"
  expect_eq "[$size] file edit" "$path" "$(ui read file)"
  ui select 0 -- menu download >/dev/null
  if [ "$bar" != "-" ]; then
    ui wait-progress "$bar" 3000 >/dev/null || fail "[$size] the bar should stand at $bar while block 1 waits"
  fi
  wait_download_end "Unit at IP 192.168.1.1 is rebooting."
  status=$(ui read status)
  expect_eq "[$size] status" "Unit at IP 192.168.1.1 is rebooting.
Downloading $path to all valid selected boards." "$status"
  expect_eq "[$size] bar at the end" 100 "$(ui read progress)"
  expect_image 192.168.1.1 "$E2E_DIR/fw/$name"
  sim_snapshot
  got=$(simq requests --board 192.168.1.1 | awk -v n=$n '$2 == "FILENAME" {k++} k == n && $2 == "DATA" {printf "%s:%s ", $3, $4}')
  expect_eq "[$size] data requests" "$blocks " "$got"
  got=$(simq requests --board 192.168.1.1 | awk -v n=$n '$2 == "FILENAME" {k++; if (k == n) print $4}')
  expect_eq "[$size] file name request size" $((8 + ${#name} + 1)) "$got"
  # The commands act again once the download is over.
  search_when_ready && ui wait-units 1 5000 >/dev/null || fail "[$size] Search should act after the download"
done
expect_eq "flags" "" "$(simq flags)"
e2e_end
