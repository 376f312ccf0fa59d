#!/usr/bin/env bash
# End-to-end test of tarnwell-cli's record on a file system that fills up: a small tmpfs in a mount
# namespace of its own. Twelve boards are served whatever becomes of their lines; the lines that did
# not go in are said on standard error and the exit status is 5; a line cut short leaves the next one,
# written once there is room again, on a line of its own; and a station reading the record back passes
# over the broken line and serves again exactly the boards whose lines were lost.
# Needs root and a private mount namespace (unshare -m); exits 77 (skipped) without them.
#
# Usage: record.sh CLI BOARDSIM TESTBED
#        record.sh inside PART          (run by the test bed in the workstation namespace)

set -u
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/bed.sh"

bed_setup record "$@"
if [ "${1:-}" != inside ]; then
    mkdir -p "$WORK/small"
    if ! unshare -m --propagation private mount -t tmpfs -o size=16k tmpfs "$WORK/small" 2>/dev/null; then
        echo "skipped: no private mount namespace with a tmpfs here"
        exit 77
    fi
fi

export HARNESS_FAIL_FILE=$WORK/failures

# Whole lines of the record FILE that are JSON objects, as "ADDRESS RESULT" lines; a reader passes over
# the rest. Fails when the file holds more than one broken line.
readable() { # FILE
    python3 - "$1" <<'PY' || fail "the record holds more than one broken line: $(cat "$1")"
import json, sys
broken = 0
for line in open(sys.argv[1], encoding="ascii", errors="replace").read().split("\n"):
    try:
        r = json.loads(line)
        print(r["address"], r["result"])
    except (ValueError, KeyError):
        broken += line != ""
sys.exit(broken > 1)
PY
}

# ---- parts run inside the workstation namespace ----------------------------------------------------

inside_full() {
    # The rest of the part runs with the tmpfs mounted, in a mount namespace that ends with it.
    unshare -m --propagation private bash "$0" inside full_mounted
}

inside_full_mounted() {
    local out rc ips record=$WORK/small/record.jsonl
    mount -t tmpfs -o size=16k tmpfs "$WORK/small" || { fail "full: cannot mount the tmpfs"; return; }
    # Three of its four pages taken: room for some seven lines.
    head -c 12288 /dev/zero >"$WORK/small/filler"
    ips=$(seq -f '192.168.1.%g' 1 9; seq -f '192.168.1.%g' 11 13)
    # shellcheck disable=SC2086
    out=$("$CLI" flash "$WORK/fw/vex_arm_fw.bin" $ips --parallel 12 --quiet --record "$record" 2>"$WORK/full.err")
    rc=$?
    expect_eq "full: exit status" 5 "$rc"
    expect_eq "full: every board served" 12 "$(grep -c $'\tok\tFW VEX ' <<<"$out")"
    grep -q '^12 boards: 12 ok, 0 failed, 0 skipped in ' <<<"$out" || fail "full: summary [$out]"
    local whole lost
    whole=$(readable "$record" | grep -c ' ok$')
    lost=$(grep -c "^tarnwell-cli: cannot write the record $record: .*; the line of 192\.168\.1\.[0-9]* is lost\$" "$WORK/full.err")
    [ "$whole" -ge 1 ] && [ "$whole" -lt 12 ] || fail "full: $whole whole lines of 12; the tmpfs did not fill up as meant"
    expect_eq "full: every line is in the record or said lost" 12 "$((whole + lost))"
    expect_eq "full: one line cut short" 1 "$(grep -c ': only [0-9]* of [0-9]* bytes were written; the line of ' "$WORK/full.err")"
    expect_eq "full: the rest found no room" "$((lost - 1))" "$(grep -c ': No space left on device; the line of ' "$WORK/full.err")"
    [ "$(tail -c 1 "$record")" != "" ] || fail "full: the cut line unexpectedly ended with a line break (no room for one)"

    # Room again: the next station's line starts on a line of its own, after the cut one.
    rm "$WORK/small/filler"
    "$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.14 --quiet --record "$record" >/dev/null 2>"$WORK/room.err"
    expect_eq "room again: exit status" 0 $?
    expect_eq "room again: the new line whole and last" "192.168.1.14 ok" "$(readable "$record" | tail -1)"
    expect_eq "room again: whole lines" "$((whole + 1))" "$(readable "$record" | wc -l)"

    # A station reading the record back: the boards whose lines went in are left alone, the others served.
    "$CLI" watch "$WORK/fw/vex_arm_fw.bin" --interval 0.5 --parallel 12 --quiet --record "$record" --once-per-mac \
        >"$WORK/again.out" 2>"$WORK/again.err" &
    local watch=$! i
    for i in $(seq 100); do
        [ "$(grep -c $'^192' "$WORK/again.out")" -ge 13 ] && break
        sleep 0.2
    done
    kill -INT "$watch"
    wait "$watch"
    expect_eq "read back: left alone" "$((whole + 1))" \
        "$(grep -c $'\tskipped: already served with this image (in the record)\t' "$WORK/again.out")"
    expect_eq "read back: served again" "$lost" "$(grep -c $'\tok\tFW VEX ' "$WORK/again.out")"
}

run_part_if_inside "$@"

# ---- outside: build the bed ---------------------------------------------------------------------

mkdir -p "$WORK/fw"
head -c 3000 /dev/urandom >"$WORK/fw/vex_arm_fw.bin"
bed full "--layout one-subnet --count 13" \
    "--board \"name=FW VEX %d,mac=00:11:22:33:44:01,ip=\$TW_BOARD_IPS\""
for ip in $(seq -f '192.168.1.%g' 1 9; seq -f '192.168.1.%g' 11 14); do
    cmp -s "$WORK/fw/vex_arm_fw.bin" "$WORK/out-full/$ip/vex_arm_fw.bin" || fail "full: the image of $ip"
done

[ "$(harness_failures)" -ne 0 ] || echo "tarnwell-cli record on a full file system: all fine"
harness_verdict
