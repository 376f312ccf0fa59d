#!/usr/bin/env bash
# testbed_check.sh: the simulator in the namespace test bed, against the minimal workstation boardprobe.
# Checks every layout: a broadcast from each workstation adapter is answered by exactly the boards of its
# segment, each from its own address; a unicast download ends with the identical image; the command's exit
# status comes through; nothing is left behind. Needs root; exits 77 (skipped) without it.
#
# Usage: testbed_check.sh BOARDSIM BOARDPROBE TESTBED

set -u
BOARDSIM=$1
PROBE=$2
TESTBED=$3

source "$(dirname "$0")/../../tests/lib/harness.sh"
skip_unless_netns

WORK=$(mktemp -d /tmp/testbed-check.XXXXXX)
trap 'rm -rf -- "$WORK"' EXIT

# expect_replies FROM "IP IP ..." [--to ADDR]: the discovery replies to a request from FROM come from exactly IPs.
cat >"$WORK/expect_replies.sh" <<'EOF'
#!/usr/bin/env bash
from=$1
want=$(tr ' ' '\n' <<<"$2" | grep . | sort)
shift 2
got=$("$PROBE" discover --from "$from" --wait 300 "$@" | awk '$1 == "reply" {print $2}' | sort)
if [ "$got" != "$want" ]; then
    echo "replies to a discovery from $from: got [$(echo $got)] want [$(echo $want)]"
    exit 1
fi
EOF
chmod +x "$WORK/expect_replies.sh"
export PROBE
EXPECT="$WORK/expect_replies.sh"

head -c 5000 /dev/urandom >"$WORK/fw_vex.bin"

# check_gone WHEN: the namespaces the last command wrote to ns.txt no longer exist.
check_gone() {
    local ws bd
    read -r ws bd <"$WORK/ns.txt" || { fail "$1: the command did not run"; return; }
    for ns in "$ws" "$bd"; do
        ip netns list | grep -qw -- "$ns" && fail "$1: namespace $ns left behind"
    done
}

# run_layout NAME "testbed options" "board options" "command"
run_layout() {
    local name=$1 options=$2 boards=$3 command=$4
    rm -f "$WORK/verdict.txt" "$WORK/ns.txt"
    # shellcheck disable=SC2086
    if ! "$TESTBED" --quiet $options --boards-log "$WORK/boards-$name.log" \
        --boards-cmd "$BOARDSIM $boards --quiet --out $WORK/out-$name --expect $WORK/fw_vex.bin --verdict $WORK/verdict.txt" \
        -- bash -c "echo \$TW_WS_NS \$TW_BOARDS_NS >$WORK/ns.txt; $command"; then
        fail "$name: the command failed"
        cat "$WORK/boards-$name.log"
    fi
    check_gone "$name"
    grep -q '^flags=0$' "$WORK/verdict.txt" 2>/dev/null || fail "$name: the simulator flagged requests or wrote no verdict"
}

run_layout one-subnet "--layout one-subnet" \
    "--board \"name=FW VEX %d,mac=00:11:22:33:44:01,ip=\$TW_BOARD_IPS\"" \
    "$EXPECT 192.168.1.10 '192.168.1.1 192.168.1.2 192.168.1.3 192.168.1.4 192.168.1.5 192.168.1.6' &&
     $EXPECT 192.168.1.10 '192.168.1.5' --to 192.168.1.5 &&
     $PROBE download --from 192.168.1.10 --to 192.168.1.4 --file $WORK/fw_vex.bin"
grep -q '^board.192.168.1.4.image.0.identical=yes$' "$WORK/verdict.txt" || fail "one-subnet: image not identical"

run_layout two-adapters "--layout two-adapters --count 3" \
    "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS_0\" --board \"name=FW GUR %d,ip=\$TW_BOARD_IPS_1\"" \
    "$EXPECT 192.168.1.10 '192.168.1.1 192.168.1.2 192.168.1.3' &&
     $EXPECT 10.0.0.5 '10.1.2.1 10.1.2.2 10.1.2.3' &&
     $PROBE download --from 10.0.0.5 --to 10.1.2.3 --file $WORK/fw_vex.bin"
grep -q '^board.10.1.2.3.image.0.identical=yes$' "$WORK/verdict.txt" || fail "two-adapters: image not identical"

run_layout same-subnet "--layout same-subnet --count 3" \
    "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS\"" \
    "$EXPECT 192.168.1.10 '192.168.1.1 192.168.1.2 192.168.1.3' &&
     $EXPECT 192.168.1.11 '192.168.1.1 192.168.1.2 192.168.1.3'"

run_layout big "--layout big --count 300" \
    "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS\"" \
    "[ \$($PROBE discover --from 10.20.0.1 --wait 300 | grep -c '^reply') = 300 ]"

# The command's failure comes through, and the test bed is gone afterwards all the same.
rm -f "$WORK/ns.txt"
"$TESTBED" --quiet -- bash -c "echo \$TW_WS_NS \$TW_BOARDS_NS >$WORK/ns.txt; exit 7"
rc=$?
[ "$rc" = 7 ] || fail "exit status of a failing command: got $rc, want 7"
check_gone "failing command"

# SIGTERM to the test bed while its command still runs.
rm -f "$WORK/ns.txt"
"$TESTBED" --quiet -- bash -c "echo \$TW_WS_NS \$TW_BOARDS_NS >$WORK/ns.txt; exec sleep 60" &
bed=$!
for _ in $(seq 100); do [ -s "$WORK/ns.txt" ] && break; sleep 0.1; done
kill -TERM "$bed"
wait "$bed"
rc=$?
[ "$rc" = 143 ] || fail "exit status after SIGTERM: got $rc, want 143"
check_gone "SIGTERM"

[ "$HARNESS_FAILS" -ne 0 ] || echo "test bed and simulator: all layouts fine"
harness_verdict
