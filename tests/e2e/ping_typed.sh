#!/usr/bin/env bash
# Ping List reads each typed address once, in decimal: leading zeros do not make
# it octal, spaces around a line do not hide it, and what is no dotted address
# is still handed on as it is (and reaches nobody).
source "$(dirname "$0")/lib.sh"

e2e_begin one-subnet 11 \
  --board "name=FW VEX %d,ip=192.168.1.3 192.168.1.4 192.168.1.6 192.168.1.8 192.168.1.9 192.168.1.11"

L="Enter IP Address List"
requests_to() { sim_snapshot; simq requests --op DISCOVER | awk '{print $1}' | tr '\n' ' '; }

start_program
ui menu ping-list -- wait-dialog "$L" \
   -- settext "$L" ip-list $'192.168.001.003\n192.168.1.06\n192.168.1.011\n 192.168.1.4\t\n192.168.1.08 \nboard-9\n1.2.3.256' \
   -- click "$L" ok -- wait-gone "$L" >/dev/null || fail "the dialog should take the list"
ui wait-units 5 10000 >/dev/null || fail "five boards should answer"
sleep 0.5
expect_eq "boards asked, in order" "192.168.1.3 192.168.1.6 192.168.1.11 192.168.1.4 192.168.1.8 " "$(requests_to)"
expect_eq "units listed" "192.168.1.3 192.168.1.6 192.168.1.11 192.168.1.4 192.168.1.8 " \
  "$(unit_ips)"
# The list is stored as it was typed.
expect_setting "stored as typed" $'Ping List=192.168.001.003,192.168.1.06,192.168.1.011, 192.168.1.4\t,192.168.1.08 ,board-9,1.2.3.256'
e2e_end
