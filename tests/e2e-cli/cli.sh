#!/usr/bin/env bash
# End-to-end tests of tarnwell-cli (native) against the board simulator in the namespace test bed:
# discovery, results and exit status of a download to a silent, a refusing and a healthy board, the kind
# rule with --all (on one and on two adapters), bad input, and --parallel 6 against one board's time.
# Needs root; exits 77 (skipped) without it.
#
# Usage: cli.sh CLI BOARDSIM TESTBED
#        cli.sh inside PART          (run by the test bed in the workstation namespace)

set -u

if [ "${1:-}" = inside ]; then
    PART=$2
else
    CLI=$1
    BOARDSIM=$2
    TESTBED=$3
    [ "$(id -u)" = 0 ] || { echo "needs root for ip netns; skipped"; exit 77; }
    ip netns list >/dev/null 2>&1 || { echo "ip netns unavailable; skipped"; exit 77; }
    WORK=$(mktemp -d /tmp/cli-e2e.XXXXXX)
    [ -n "${KEEP_WORK:-}" ] || trap 'rm -rf -- "$WORK"' EXIT
    STATION=$(cd "$(dirname "$0")/../../cli" && pwd)/station-example.sh
    export CLI WORK STATION
fi

fail() {
    echo "FAIL: $*" | tee -a "$WORK/failures"
}

expect_eq() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

expect_line() { # WHAT LINE TEXT: TEXT holds LINE as a whole line
    grep -qxF -- "$2" <<<"$3" || fail "$1: no line [$2] in [$3]"
}

json_field() { # FILE PYTHON-EXPRESSION over the document d
    python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"
}

# ---- parts run inside the workstation namespace ----------------------------------------------------

inside_kinds() {
    local out rc
    out=$("$CLI" discover --wait 1)
    expect_eq "discover: exit status" 0 $?
    expect_eq "discover: board lines" 6 "$(grep -c . <<<"$out")"
    expect_line "discover" $'FW VEX 1\t192.168.1.1\t00:11:22:33:44:01' "$out"
    expect_line "discover" $'FW GUR 6\t192.168.1.6\t00:11:22:33:44:06' "$out"

    "$CLI" discover --json --to 192.168.1.3,192.168.1.4 >"$WORK/discover.json"
    expect_eq "discover --json: addresses" "['192.168.1.3', '192.168.1.4']" \
        "$(json_field "$WORK/discover.json" "sorted(b['address'] for b in d['boards'])")"

    out=$("$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.1 192.168.1.2 192.168.1.3 --log "$WORK/flash.log" \
        2>"$WORK/flash.err")
    rc=$?
    expect_eq "flash to three boards: exit status (some failed)" 1 "$rc"
    expect_eq "flash to three boards: results" \
        $'192.168.1.1\tno reply to the file name request\tFW VEX 1
192.168.1.2\tnegative acknowledgement of data block 1\tFW VEX 2
192.168.1.3\tok\tFW VEX 3' "$(head -3 <<<"$out")"
    grep -q '^3 boards: 1 ok, 2 failed, 0 skipped in ' <<<"$out" || fail "flash to three boards: summary in [$out]"
    for line in "Retrying send file name IP 192.168.1.1" "Unit at IP 192.168.1.1 failed to download." \
        "Data negative acknowledgement failure IP 192.168.1.2" "Unit at IP 192.168.1.3 is rebooting."; do
        grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+Z $line\$" "$WORK/flash.log" || fail "log lacks [$line]"
    done
    grep -q '^192.168.1.3: 100%$' "$WORK/flash.err" || fail "no plain progress lines on stderr: $(cat "$WORK/flash.err")"

    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" --all --wait 1 --quiet)
    expect_eq "flash --all (GUR): exit status" 0 $?
    expect_eq "flash --all (GUR): results" \
        $'192.168.1.1\tskipped: another kind (no "FW GUR" in its name)\tFW VEX 1
192.168.1.2\tskipped: another kind (no "FW GUR" in its name)\tFW VEX 2
192.168.1.3\tskipped: another kind (no "FW GUR" in its name)\tFW VEX 3
192.168.1.4\tok\tFW GUR 4
192.168.1.5\tskipped: another kind (no "FW GUR" in its name)\tFW VEX 5
192.168.1.6\tok\tFW GUR 6' "$(head -6 <<<"$out")"

    "$CLI" flash "$WORK/fw/pim_dal1_2_fw.bin" --all --wait 0.5 --quiet >/dev/null 2>"$WORK/err"
    expect_eq "flash --all with no board of the kind: exit status" 3 $?

    # Bad input: status 2, a message, nothing sent (the simulator would count a stray or a request).
    local long
    long=$(printf 'x%.0s' $(seq 500))_vex_arm_fw.bin # longer than a file name may be here: never read
    cp "$WORK/fw/vex_arm_fw.bin" "$WORK/fw/firmware.bin"
    while IFS='|' read -r args message; do
        # shellcheck disable=SC2086
        "$CLI" $args >/dev/null 2>"$WORK/err"
        rc=$?
        expect_eq "'$args': exit status" 2 "$rc"
        grep -qF -- "$message" "$WORK/err" || fail "'$args': message [$message] not in [$(cat "$WORK/err")]"
    done <<EOF
flash $WORK/fw/missing_vex_arm_fw.bin 192.168.1.3|cannot read $WORK/fw/missing_vex_arm_fw.bin: No such file or directory
flash $WORK/fw/firmware.bin 192.168.1.3|holds no firmware kind token
flash $WORK/fw/$long 192.168.1.3|is 515 bytes long; a file-name request carries at most 503
flash $WORK/fw/vex_arm_fw.bin 10.9.9.9|10.9.9.9 lies in no local subnet
flash $WORK/fw/vex_arm_fw.bin 192.168.1.255|192.168.1.255 is the broadcast address of the subnet of 192.168.1.10
discover --color|unknown option '--color'
flash $WORK/fw/vex_arm_fw.bin|flash needs boards
EOF
}

inside_adapters() {
    local out
    out=$("$CLI" discover --wait 1)
    expect_eq "two adapters: boards found" 6 "$(grep -c . <<<"$out")"
    expect_line "two adapters" $'FW GUR 3\t10.1.2.3\t00:11:22:33:55:03' "$out"
    out=$("$CLI" flash "$WORK/fw/vex_arm_fw.bin" --all --wait 1 --parallel 3 --quiet)
    expect_eq "two adapters, flash --all (VEX): exit status" 0 $?
    expect_eq "two adapters, flash --all (VEX): ok lines" 3 "$(grep -c $'^192\.168\.1\.[123]\tok\t' <<<"$out")"
    expect_eq "two adapters, flash --all (VEX): skipped lines" 3 "$(grep -c $'^10\.1\.2\.[123]\tskipped: ' <<<"$out")"
}

inside_same_subnet() {
    local out
    out=$("$CLI" discover --wait 1)
    expect_eq "same subnet: each board listed once though it answers both adapters" 3 "$(grep -c . <<<"$out")"
}

inside_timing() {
    # The first six boards answer at once, the last six take 1 ms over each block, as a board writing
    # its flash does: on bare veth pairs both programs only wait for each other's CPU time.
    local ips=($TW_BOARD_IPS) group run
    for group in fast slow; do
        local six=("${ips[@]:0:6}")
        [ $group = slow ] && six=("${ips[@]:6:6}")
        for run in 1 2 3; do
            "$CLI" flash "$WORK/fw/vex_arm_fw.bin" "${six[0]}" --json --quiet >"$WORK/$group-one-$run.json" \
                || fail "$group: one board, run $run"
            "$CLI" flash "$WORK/fw/vex_arm_fw.bin" "${six[@]}" --parallel 6 --json --quiet >"$WORK/$group-six-$run.json" \
                || fail "$group: six boards --parallel 6, run $run"
        done
        "$CLI" flash "$WORK/fw/vex_arm_fw.bin" "${six[@]}" --json --quiet >"$WORK/$group-serial.json" \
            || fail "$group: six boards one after another"
    done
    # The station example of the README: the first six boards are 192.168.1.1 to .6.
    local out
    out=$(TARNWELL_CLI=$CLI STATION_LOG=$WORK/station.log STATION_RECORD=$WORK/station.jsonl \
        bash "$STATION" "$WORK/fw/vex_arm_fw.bin" 2>/dev/null)
    expect_eq "station example: exit status" 0 $?
    expect_eq "station example: verdict" "PASS: all six boards flashed and back" "$(tail -1 <<<"$out")"
    expect_eq "station example: boards in the log" 6 "$(grep -c $'Z 192\\.168\\.1\\.[1-6]\tok, back after ' "$WORK/station.log")"
    expect_eq "station example: boards in the record" 6 "$(grep -c '"ok": true' "$WORK/station.jsonl")"
}

if [ "${1:-}" = inside ]; then
    "inside_$PART"
    exit 0
fi

# ---- outside: build the beds --------------------------------------------------------------------

mkdir -p "$WORK/fw"
head -c 20000 /dev/urandom >"$WORK/fw/vex_arm_fw.bin"
head -c 3000 /dev/urandom >"$WORK/fw/gur_arm_fw.bin"
head -c 1000 /dev/urandom >"$WORK/fw/pim_dal1_2_fw.bin"

# bed NAME "testbed options" "simulator boards": runs part NAME inside; the simulator's verdict in $WORK/NAME.verdict.
bed() {
    local name=$1 options=$2 boards=$3
    # shellcheck disable=SC2086
    "$TESTBED" --quiet $options --boards-log "$WORK/$name.sim" \
        --boards-cmd "exec $BOARDSIM $boards --quiet --out $WORK/out-$name --verdict $WORK/$name.verdict" \
        -- bash "$0" inside "$name" || fail "$name: the test bed failed"
    grep -q '^flags=0$' "$WORK/$name.verdict" 2>/dev/null \
        || fail "$name: the simulator flagged requests: $(grep -h 'flag' "$WORK/$name.verdict" "$WORK/$name.sim" | head -5)"
    grep -q '^strays=0$' "$WORK/$name.verdict" 2>/dev/null || fail "$name: datagrams reached no board"
}

image_ok() { # NAME IP FILE: the simulator received FILE identically at IP
    cmp -s "$WORK/fw/$3" "$WORK/out-$1/$2/$3" || fail "$1: the image of $2 differs from $3 or is missing"
}

boards=""
for board in "VEX 1|1|silent" "VEX 2|2|nak=data:1" "VEX 3|3|" "GUR 4|4|" "VEX 5|5|" "GUR 6|6|"; do
    IFS='|' read -r name n fault <<<"$board"
    boards+=" --board 'name=FW $name,mac=00:11:22:33:44:0$n,ip=192.168.1.$n${fault:+,$fault}'"
done
bed kinds "--layout one-subnet --count 6" "$boards"
image_ok kinds 192.168.1.3 vex_arm_fw.bin
image_ok kinds 192.168.1.4 gur_arm_fw.bin
image_ok kinds 192.168.1.6 gur_arm_fw.bin
[ -e "$WORK/out-kinds/192.168.1.2/vex_arm_fw.bin" ] && fail "kinds: the refusing board has a complete image"
[ -n "$(ls "$WORK/out-kinds/192.168.1.5" 2>/dev/null)" ] && fail "kinds: a board of another kind got a download"

bed adapters "--layout two-adapters --count 3" \
    "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS_0\" --board \"name=FW GUR %d,mac=00:11:22:33:55:01,ip=\$TW_BOARD_IPS_1\""
for ip in 192.168.1.1 192.168.1.2 192.168.1.3; do image_ok adapters $ip vex_arm_fw.bin; done
[ -n "$(ls "$WORK/out-adapters/10.1.2.1" 2>/dev/null)" ] && fail "adapters: a board of another kind got a download"

bed same_subnet "--layout same-subnet --count 3" "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS\""

# Timing: a 256 KiB image (521 blocks), the best of three runs each.
head -c 262144 /dev/urandom >"$WORK/fw/vex_arm_fw.bin"
bed timing "--layout one-subnet --count 12" \
    "--board \"name=FW VEX %d,ip=\${TW_BOARD_IPS% * * * * * *}\" --board \"name=FW VEX %d,ip=\${TW_BOARD_IPS#* * * * * * },late=data:*:1\""
for ip in $(ls "$WORK/out-timing"); do image_ok timing "$ip" vex_arm_fw.bin; done
[ "$(ls "$WORK/out-timing" | wc -l)" = 12 ] || fail "timing: not every board got an image"
grep -q '^different=0$' "$WORK/timing.verdict" || fail "timing: an image differs"
best() { # PATTERN: the smallest elapsed time of the matching JSON results, all boards ok
    for f in $WORK/$1; do json_field "$f" "d['elapsed'] if d['summary']['ok'] == d['summary']['boards'] else 1e9"; done \
        | sort -g | head -1
}
for group in fast slow; do
    one=$(best "$group-one-*.json")
    six=$(best "$group-six-*.json")
    serial=$(best "$group-serial.json")
    echo "timing, $group boards, 256 KiB: one board ${one} s; six --parallel 6 ${six} s; six one after another ${serial} s"
done
# The check is made where the boards, not the two programs' CPU time, set the pace.
python3 -c "import sys; sys.exit(0 if float(sys.argv[2]) < 2 * float(sys.argv[1]) else 1)" "$one" "$six" \
    || fail "timing: six boards with --parallel 6 took ${six} s, not less than twice one board's ${one} s"

if [ -s "$WORK/failures" ]; then
    echo "$(wc -l <"$WORK/failures") failures"
    exit 1
fi
echo "tarnwell-cli end to end: all fine"
