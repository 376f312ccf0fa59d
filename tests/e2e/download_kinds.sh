#!/usr/bin/env bash
# The firmware kind rules: files refused at choice, the Download command's
# message boxes, deselection of other kinds, and a file that cannot be opened.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 3 \
  --board "name=FW DAL1+1 a,ip=192.168.1.1" \
  --board "name=FW PIM SOT2+1 b,ip=192.168.1.2" \
  --board "name=fw dal1+1 c,ip=192.168.1.3"

msgbox_text() { ui wait-msgbox 5000 -- msgbox | tail -n +2 | tr -d '\n'; ui msgbox-ok >/dev/null; }

start_program
ui menu search -- wait-units 3 10000 >/dev/null || fail "three boards should be listed"

# Nothing selected comes first, even with no file chosen.
ui menu download >/dev/null
expect_eq "no selection" "No boards selected." "$(msgbox_text)"
ui select-all -- menu download >/dev/null
expect_eq "no file chosen" "The Download File: does not match the selected units." "$(msgbox_text)"
expect_eq "nothing deselected" "0 1 2 " "$(ui read selected | tr '\n' ' ')"

# Refused at choice: a token in other letter case, a token only in the directory.
stored=$(make_image dal_arm_fw.bin 700)
choose_file "$stored"
mkdir -p "$E2E_DIR/fw/vex_arm_fw"
for bad in "$(make_image DAL_ARM_FW.bin 10)" "$(make_image vex_arm_fw/plain.bin 10)"; do
  pick_file "$bad"
  expect_eq "refused $bad" "This is the wrong file for upgrading firmware." "$(msgbox_text)"
  expect_eq "path kept after refusing $bad" "$stored" "$(ui read file)"
done
expect_setting "setting kept" "Firmware File=$stored"

# Tokens of rows 2 and 4: kind 2, so only the DAL board stays selected and is served;
# the label in other letter case does not match.
both=$(make_image dal_arm_fw+pim_sot1_2_fw.bin 1500)
choose_file "$both"
ui select-all -- menu download >/dev/null
wait_download_end "Unit at IP 192.168.1.1 is rebooting."
dal=$(ui read units | awk -F'\t' '$2 ~ /^FW DAL1\+1/ {print $1}')
others=$(ui read units | awk -F'\t' '$2 !~ /^FW DAL1\+1/ {print $1}' | tr '\n' ' ')
expect_eq "the DAL line stays selected" 1 "$dal"
expect_eq "the other lines stay deselected" "0 0 " "$others"
expect_image 192.168.1.1 "$E2E_DIR/fw/dal_arm_fw+pim_sot1_2_fw.bin"

# No selected unit of the file's kind.
vex=$(make_image vex_arm_fw.bin 100)
choose_file "$vex"
ui select-all -- menu download >/dev/null
expect_eq "no unit of this kind" "None of the selected units match this firmware." "$(msgbox_text)"
expect_eq "every line deselected" "" "$(ui read selected)"

# A file another program holds open cannot be opened.
choose_file "$both"
wine "$E2E_WIN/tools/holdfile/holdfile.exe" "$both" 20 >"$E2E_DIR/hold.out" 2>&1 &
for _ in $(seq 50); do grep -q held "$E2E_DIR/hold.out" && break; sleep 0.1; done
ui select-all -- menu download >/dev/null
wait_download_end "Aborting download." 10000
expect_eq "open failure" "Unable to open $both
Aborting download.
Downloading $both to all valid selected boards." "$(ui read status)"
ui menu search -- wait-status "Searching for boards..." 5000 >/dev/null || fail "Search should act after an open failure"
kill %1 2>/dev/null
e2e_end
