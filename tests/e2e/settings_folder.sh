#!/usr/bin/env bash
# A program in a folder named fw.v2 keeps its settings beside itself across a
# restart; settings an older version kept at the old place (the path cut at the
# folder's '.') are taken over, and nothing is written there any more.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 2 --board "name=FW VEX %d,ip=192.168.1.1,count=2"

L="Enter IP Address List"
list_text() { ui menu ping-list -- wait-dialog "$L" -- read text "$L" ip-list | tr '\n' '|'; ui click "$L" cancel -- wait-gone "$L" >/dev/null; }

# start_in FOLDER: the program copied into $E2E_DIR/FOLDER and started there.
start_in() {
  mkdir -p "$E2E_DIR/$1"
  cp "$E2E_WIN/Tarnwell.exe" "$E2E_DIR/$1/Tarnwell.exe"
  ( cd "$E2E_DIR/$1" && exec wine "$E2E_DIR/$1/Tarnwell.exe" ) >/dev/null 2>&1 &
  HARNESS_PROGRAM=$!
  ui --timeout 30000 wait-main 30000 >/dev/null || fail "the main window did not open in $1"
}

start_in fw.v2
ui menu ping-list -- wait-dialog "$L" -- settext "$L" ip-list "192.168.1.1" -- click "$L" ok -- wait-gone "$L" >/dev/null
stop_program
expect_contains "settings beside the program" "Ping List=192.168.1.1" "$(tr -d '\r' <"$E2E_DIR/fw.v2/Tarnwell.ini" 2>/dev/null)"
[ ! -e "$E2E_DIR/fw.ini" ] || fail "nothing may be written to the old place $E2E_DIR/fw.ini"
start_in fw.v2
expect_eq "list after a restart" "192.168.1.1|" "$(list_text)"
stop_program

# An older version in old.v1 kept its settings in old.ini: they are read, and
# from then on kept beside the program.
printf '[Settings]\r\nPing List=192.168.1.2\r\nPing Specific=-1062731519\r\n' >"$E2E_DIR/old.ini"
start_in old.v1
expect_eq "old list taken over" "192.168.1.2|" "$(list_text)"
ui menu ping-list -- wait-dialog "$L" -- settext "$L" ip-list "192.168.1.1" -- click "$L" ok -- wait-gone "$L" >/dev/null
stop_program
new=$(tr -d '\r' <"$E2E_DIR/old.v1/Tarnwell.ini" 2>/dev/null)
expect_contains "new list beside the program" "Ping List=192.168.1.1" "$new"
expect_contains "other settings carried over" "Ping Specific=-1062731519" "$new"
expect_contains "old file left as it was" "Ping List=192.168.1.2" "$(tr -d '\r' <"$E2E_DIR/old.ini")"
start_in old.v1
expect_eq "list after a restart" "192.168.1.1|" "$(list_text)"

# No '.' in a folder name: the file is where it always was.
stop_program
start_program
ui menu ping-list -- wait-dialog "$L" -- settext "$L" ip-list "192.168.1.2" -- click "$L" ok -- wait-gone "$L" >/dev/null
stop_program
expect_setting "plain folder" "Ping List=192.168.1.2"
e2e_end
