#!/usr/bin/env bash
# The window's system menu and the three small dialogs, driven as a person does.
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 1 --board "name=FW VEX 1,ip=192.168.1.1"

A="About Tarnwell"; S="Ping Specific IP"; L="Enter IP Address List"
printf '[Settings]\r\nPing Specific=-1062731515\r\nPing List=192.168.1.9\r\n' >"$E2E_DIR/app/Tarnwell.ini"
start_program

# System commands 16 to 31 open the About box; it closes every way.
about_closes() {  # about_closes SYSCOMMAND-ID WAY VERB...
  local id=$1 way=$2
  shift 2
  ui sysmenu "$id" -- wait-dialog "$A" 3000 >/dev/null || fail "system command $id should open the About box"
  expect_contains "About text" "Tarnwell, Version 1.0" "$(ui tree "$A")"
  ui "$@" >/dev/null
  ui wait-gone "$A" 3000 >/dev/null || fail "the About box should close with $way"
}
about_closes 16 "OK" click "$A" ok
about_closes 31 "Enter" key enter "$A"
about_closes 16 "Escape" key escape "$A"
about_closes 24 "the close box" close "$A"
for id in 15 32; do
  ui sysmenu "$id" -- sleep 300 >/dev/null
  expect_eq "system command $id opens nothing" "Quellmoor" "$(ui dialogs | cut -f1 | tr '\n' ' ' | sed 's/ $//')"
done

# Ping Specific presets the stored 192.168.1.5 and returns it on OK; a blank control gives 0.
ui menu ping-specific -- wait-dialog "$S" >/dev/null
expect_eq "preset" "192.168.1.5" "$(ui ip-get "$S" ip-address)"
ui click "$S" ok -- wait-gone "$S" >/dev/null
expect_setting "same value stored" "Ping Specific=-1062731515"
ui menu ping-specific -- wait-dialog "$S" -- ip-set "$S" ip-address 10..3.4 -- click "$S" ok -- wait-gone "$S" >/dev/null
expect_setting "a blank field reads 0" "Ping Specific=167772932"
ui menu ping-specific -- wait-dialog "$S" -- ip-clear "$S" ip-address -- click "$S" ok -- wait-gone "$S" >/dev/null
expect_setting "a blank control gives 0" "Ping Specific=0"

# Ping List: Escape inside the edit cancels; Ctrl+Enter starts a line; Enter is OK.
ui menu ping-list -- wait-dialog "$L" -- type "$L" ip-list "192.168.1.7" -- key escape "$L" -- wait-gone "$L" >/dev/null
expect_setting "cancel keeps the stored list" "Ping List=192.168.1.9"
ui menu ping-list -- wait-dialog "$L" -- settext "$L" ip-list "" -- type "$L" ip-list "192.168.1.1" \
   -- key ctrl+enter "$L" -- type "$L" ip-list "192.168.1.2" -- key enter "$L" -- wait-gone "$L" >/dev/null ||
  fail "Enter in the list should close it with OK"
expect_setting "Ctrl+Enter made two lines" "Ping List=192.168.1.1,192.168.1.2"

# Alt+F4 ends the program while idle.
ui altf4 -- wait-gone main 5000 >/dev/null || fail "Alt+F4 should end the program while idle"
e2e_end
