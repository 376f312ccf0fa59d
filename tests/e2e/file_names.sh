#!/usr/bin/env bash
# Odd paths at the File button: a path too long for the file dialog is refused
# with a message and the program lives on; a file name the boards' code page
# cannot hold is refused and nothing is sent; a folder outside that code page
# survives a restart and its file downloads whole.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 1 --board "name=FW VEX 1,ip=192.168.1.1"

TOO_LONG="The path of this file is too long for the file dialog.Move the file to a shorter path and choose it again."
NOT_ANSI="The firmware file name holds characters that cannot be sent to the boards.Rename the file and choose it again."
msgbox_text() { ui wait-msgbox 5000 -- msgbox | tail -n +2 | tr -d '\n'; }
shot() {  # shot NAME: the screen as a PNG beside the test's log, when a display is there
  [ -n "${E2E_SHOTS:-}" ] && import -window root "$E2E_SHOTS/$1.png" 2>/dev/null
  return 0
}
# Arguments reach the UI driver through the locale; the program keeps its own code page.
uiu() { LC_ALL=C.UTF-8 ui "$@"; }

start_program
ui menu search -- wait-units 1 10000 >/dev/null || fail "the board should be listed"

# A 300-character path typed into the dialog.
long="Z:$(printf '\\%s' "$(printf 'd%.0s' $(seq 60))" "$(printf 'e%.0s' $(seq 60))" "$(printf 'f%.0s' $(seq 60))" \
  "$(printf 'g%.0s' $(seq 60))")\\$(printf 'h%.0s' $(seq 39))vex_arm_fw.bin"
expect_eq "length of the typed path" 300 "${#long}"
ui click main file-button -- file-dialog "$long" >/dev/null
expect_eq "too long" "$TOO_LONG" "$(msgbox_text)"
shot file-path-too-long
ui msgbox-ok >/dev/null
ui file-dialog-cancel >/dev/null || fail "the file dialog should still be open after the message"
ui --timeout 3000 wait-enabled main 5000 >/dev/null || fail "the program should live on"
expect_eq "no path taken" "" "$(ui read file)"

# A name outside the code page: refused, nothing stored, nothing sent.
mkdir -p "$E2E_DIR/fw"
head -c 1500 /dev/urandom >"$E2E_DIR/fw/vex_arm_fw_Ж€.bin"
uiu click main file-button -- file-dialog "$(winpath "$E2E_DIR/fw/vex_arm_fw_Ж€.bin")" >/dev/null
expect_eq "name outside the code page" "$NOT_ANSI" "$(msgbox_text)"
shot file-name-not-ansi
ui msgbox-ok >/dev/null
expect_eq "no path taken" "" "$(ui read file)"
ui select 0 -- menu download >/dev/null
expect_eq "download has no file" "The Download File: does not match the selected units." "$(msgbox_text)"
ui msgbox-ok >/dev/null
sim_snapshot
expect_eq "nothing sent" "" "$(simq requests --op FILENAME)"

# A folder outside the code page: chosen, kept across a restart, downloaded whole.
mkdir -p "$E2E_DIR/fw/Папка €"
good="$E2E_DIR/fw/Папка €/vex_arm_fw_2.bin"
head -c 1500 /dev/urandom >"$good"
uiu click main file-button -- file-dialog "$(winpath "$good")" >/dev/null
expect_eq "folder taken" "$(winpath "$good")" "$(uiu read file)"
stop_program
expect_contains "stored whole" "Firmware File=$(winpath "$good")" "$(iconv -f UTF-16 -t UTF-8 "$E2E_DIR/app/Tarnwell.ini" | tr -d '\r')"
start_program
expect_eq "read back whole" "$(winpath "$good")" "$(uiu read file)"
ui menu search -- wait-units 1 10000 -- select 0 -- menu download >/dev/null
wait_download_end "Unit at IP 192.168.1.1 is rebooting."
expect_image 192.168.1.1 "$good"
e2e_end
