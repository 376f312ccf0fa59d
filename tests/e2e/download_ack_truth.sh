#!/usr/bin/env bash
# What the window reports is what the acknowledgements proved: a board whose
# length-0 acks repeat block 0 while block 1 is lost gets block 1 again; a board
# whose sequence stays 0 is asked for block 1 twice and then served; a 2-byte
# board that answers every request twice is out of step: it starts over once,
# then fails, and is never told to reboot; a 2-byte refusal ends its board at once.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 5 \
  --board "name=FW GUR len0,ip=192.168.1.1,ack-len=0,twice=data:0:200,drop=data:1" \
  --board "name=FW GUR seq0,ip=192.168.1.2,ack-seq=0" \
  --board "name=FW GUR twice,ip=192.168.1.3,ack=short,twice" \
  --board "name=FW GUR refuses,ip=192.168.1.4,ack=short,nak=data:5:0" \
  --board "name=FW GUR echo,ip=192.168.1.5"

start_program
ui menu search -- wait-units 5 10000 >/dev/null || fail "five boards should be listed"
path=$(make_image gur_arm_fw.bin 10180)
choose_file "$path"
ui select-all -- menu download >/dev/null
wait_download_end "Unit at IP 192.168.1.5 is rebooting." 90000
status=$(ui read status | tr -d '\r')

count() { grep -cxF "$1" <<<"$status"; }
expect_eq "length 0: block 1 sent again" 1 "$(count "Retrying send data IP 192.168.1.1")"
expect_eq "sequence 0: block 1 sent again" 1 "$(count "Retrying send data IP 192.168.1.2")"
for ip in 192.168.1.1 192.168.1.2 192.168.1.5; do
  expect_eq "$ip served" 1 "$(count "Unit at IP $ip is rebooting.")"
  expect_image "$ip" "$E2E_DIR/fw/gur_arm_fw.bin"
done
# The newest line is on top.
expect_eq "twice: out of step, restarted, out of step, failed" \
  "Acknowledgements out of step IP 192.168.1.3|Restarting download IP 192.168.1.3|Acknowledgements out of step IP 192.168.1.3|Unit at IP 192.168.1.3 failed to download." \
  "$(grep -F 192.168.1.3 <<<"$status" | grep -vE '^(Sending|Retrying)' | tac | paste -sd '|')"
expect_eq "refusal: no retry" 0 "$(count "Retrying send data IP 192.168.1.4")"
expect_eq "refusal logged" 1 "$(count "Data negative acknowledgement failure IP 192.168.1.4")"
sim_snapshot
expect_eq "twice: two file names, no reboot request" "2 0" \
  "$(simq requests --board 192.168.1.3 --op FILENAME | wc -l) $(simq requests --board 192.168.1.3 --op REBOOT | wc -l)"
expect_eq "refused block sent once" 1 "$(simq requests --board 192.168.1.4 --op DATA | awk '$3 == 5' | wc -l)"
e2e_end
