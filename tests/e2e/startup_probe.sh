#!/usr/bin/env bash
# A command line that begins with "ATE" asks 192.168.1.1 to .6 at start-up, in
# order and only inside a local subnet; anything else asks nobody.
source "$(dirname "$0")/lib.sh"

e2e_begin two-adapters 6 --board "name=FW VEX %d,ip=192.168.1.1,count=6"

probed() {  # the discovery requests since the last call, in order
  sim_snapshot
  local seen
  seen=$(cat "$E2E_DIR/seen" 2>/dev/null || echo 0)
  simq requests --op DISCOVER | awk -v seen="$seen" 'NR > seen {print $1}' | tr '\n' ' '
  simq requests --op DISCOVER | wc -l >"$E2E_DIR/seen"
}

for cmdline in "ATE" "ATE 5" "ATEX"; do
  # shellcheck disable=SC2086
  start_program $cmdline
  ui wait-units 6 10000 >/dev/null || fail "[$cmdline] the six boards should answer the probe"
  expect_eq "[$cmdline] probe" "192.168.1.1 192.168.1.2 192.168.1.3 192.168.1.4 192.168.1.5 192.168.1.6 " "$(probed)"
  stop_program
done
for cmdline in "ate" "xATE" ""; do
  # shellcheck disable=SC2086
  start_program $cmdline
  sleep 1
  expect_eq "[$cmdline] nothing asked" "" "$(probed)"
  expect_eq "[$cmdline] no units" 0 "$(ui read count)"
  stop_program
done
e2e_end
