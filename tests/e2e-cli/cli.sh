#!/usr/bin/env bash
# End-to-end tests of tarnwell-cli (native) against the board simulator in the namespace test bed:
# discovery, results and exit status of a download to a silent, a refusing and a healthy board, the kind
# rule with --all (on one and on two adapters), bad input, acknowledgement forms and what each proves,
# --require-confirmed, a late or repeated acknowledgement without block numbers, a board another
# program holds, and --parallel 6 against one board's time;
# interrupts (the report finished, the exit status 128 + the signal), lost output, refused targets and
# files that send nothing, and board names that cannot break a line.
# Needs root; exits 77 (skipped) without it.
#
# Usage: cli.sh CLI BOARDSIM TESTBED
#        cli.sh inside PART          (run by the test bed in the workstation namespace)

set -u
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/bed.sh"

bed_setup e2e "$@"

export HARNESS_FAIL_FILE=$WORK/failures

# ---- parts run inside the workstation namespace ----------------------------------------------------

inside_acks_zero() {
    local out
    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" 192.168.1.1 192.168.1.2 --parallel 2 --quiet)
    expect_eq "zero acks: exit status" 0 $?
    expect_eq "zero acks: results" \
        $'192.168.1.1\tok, unconfirmed (the board\'s acknowledgements carry no block numbers)\tFW GUR zero
192.168.1.2\tok, unconfirmed (the board\'s acknowledgements carry no block numbers)\tFW GUR seq0' "$(head -2 <<<"$out")"
}

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
    # The station example of docs/cli.md: the first six boards are 192.168.1.1 to .6.
    local out
    out=$(TARNWELL_CLI=$CLI STATION_LOG=$WORK/station.log STATION_RECORD=$WORK/station.jsonl \
        bash "$STATION" "$WORK/fw/vex_arm_fw.bin" 2>/dev/null)
    expect_eq "station example: exit status" 0 $?
    expect_eq "station example: verdict" "PASS: all six boards flashed and back" "$(tail -1 <<<"$out")"
    expect_eq "station example: boards in the log" 6 "$(grep -c $'Z 192\\.168\\.1\\.[1-6]\tok, back after ' "$WORK/station.log")"
    expect_eq "station example: boards in the record" 6 "$(grep -c '"ok": true' "$WORK/station.jsonl")"
}

inside_acks() {
    # Every acknowledgement form gets the whole image at once; what its acknowledgements can prove
    # decides between "ok" and "ok, unconfirmed": echoed headers (also from another port, also with
    # length 0) prove it, 2 bytes or a fixed sequence cannot.
    local out rc ips
    ips=$(seq -f '192.168.1.%g' 1 8)
    # shellcheck disable=SC2086
    "$CLI" flash "$WORK/fw/gur_arm_fw.bin" $ips --parallel 8 --quiet --json >"$WORK/forms.json"
    expect_eq "ack forms: exit status" 0 $?
    expect_eq "ack forms: ok and confirmed" \
        "seq1 ok False|seq2 ok False|seq5 ok False|seqmax ok False|len0 ok True|short ok False|seq7 ok False|port ok True" \
        "$(json_field "$WORK/forms.json" "'|'.join('%s %s %s' % (b['name'][7:], b['result'], b['confirmed']) for b in d['boards'])")"
    expect_eq "ack forms: the texts" \
        "ok|ok, unconfirmed (the board's acknowledgements carry no block numbers)" \
        "$(json_field "$WORK/forms.json" "'|'.join(sorted(set(b['text'] for b in d['boards'])))")"
    # shellcheck disable=SC2086
    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" $ips --parallel 8 --quiet --require-confirmed)
    expect_eq "ack forms, --require-confirmed: exit status" 1 $?
    expect_eq "ack forms, --require-confirmed: failed" 6 "$(grep -c $'\trebooted but not confirmed (the board\'s acknowledgements carry no block numbers; --require-confirmed)\t' <<<"$out")"
    grep -q '^8 boards: 2 ok, 6 failed, 0 skipped in ' <<<"$out" || fail "ack forms, --require-confirmed: summary in [$out]"
    # 2-byte acks and a block answered late: ok, and no more than that.
    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" 192.168.1.9 --quiet)
    expect_eq "late ack without block numbers: exit status" 0 $?
    expect_line "late ack without block numbers" $'192.168.1.9\tok, unconfirmed (the board\'s acknowledgements carry no block numbers)\tFW GUR late' "$out"
    # Block 1 answered twice: the copy is read once block 2 has gone out, and taken for it; each
    # block did arrive, but a board without block numbers cannot show that, so it stays unconfirmed.
    # An echoing board's copy names block 1 and is passed over.
    "$CLI" flash "$WORK/fw/gur_arm_fw.bin" 192.168.1.12 192.168.1.13 --parallel 2 --json --quiet >"$WORK/twice.json"
    expect_eq "acks twice: exit status" 0 $?
    expect_eq "acks twice: results" "ok False 6 1|ok True 6 1" \
        "$(json_field "$WORK/twice.json" "'|'.join('%s %s %s %s' % (b['result'], b['confirmed'], b['blocks'], b['passes']) for b in d['boards'])")"
    # Another program holds board 11: it is not served and fails; board 1 still is.
    local dir=/run/lock
    [ -w /run/lock ] || dir=/tmp
    local lock
    lock="$dir/tarnwell-net$(stat -L -c %i /proc/self/ns/net)-192.168.1.11.lock"
    exec 9>>"$lock"
    flock -n 9 || fail "could not take $lock"
    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" 192.168.1.11 192.168.1.1 --quiet 9>&-)
    rc=$?
    exec 9>&-
    expect_eq "held board: exit status" 1 "$rc"
    expect_line "held board" $'192.168.1.11\tbeing updated by another program\tFW GUR held' "$out"
    expect_line "board after the held one" $'192.168.1.1\tok, unconfirmed (the board\'s acknowledgements carry no block numbers)\tFW GUR seq1' "$out"
    rm -f "$lock"
    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" 192.168.1.11 --quiet)
    expect_eq "released board: exit status" 0 $?
}

ms_now() { date +%s%3N; }

inside_interrupts() {
    # Six boards, three lanes, each block answered 10 ms late: a board takes about two seconds, so one
    # second in the first three are being served and the other three wait.
    local six=(192.168.1.{1..6}) sig rc t0 t1 out pid
    for sig in INT TERM HUP; do
        "$CLI" flash "$WORK/fw/slow_vex_arm_fw.bin" "${six[@]}" --parallel 3 --json --log "$WORK/int-$sig.log" \
            >"$WORK/int-$sig.json" 2>"$WORK/int-$sig.err" &
        pid=$!
        sleep 1
        t0=$(ms_now)
        kill -"$sig" "$pid"
        wait "$pid"
        rc=$?
        t1=$(ms_now)
        expect_eq "SIG$sig: exit status" "$((128 + $(kill -l "$sig")))" "$rc"
        [ $((t1 - t0)) -le 1000 ] || fail "SIG$sig: the program took $((t1 - t0)) ms to end"
        json_field "$WORK/int-$sig.json" "d['signal'], len(d['boards']), d['summary']" >"$WORK/int-$sig.fields" 2>&1 \
            || fail "SIG$sig: no valid JSON: $(cat "$WORK/int-$sig.json")"
        expect_eq "SIG$sig: JSON" \
            "SIG$sig 6 {'boards': 6, 'ok': 0, 'failed': 0, 'skipped': 0, 'interrupted': 3, 'not_started': 3}" \
            "$(cat "$WORK/int-$sig.fields")"
        expect_eq "SIG$sig: boards in progress" 3 "$(json_field "$WORK/int-$sig.json" \
            "sum(1 for b in d['boards'][:3] if b['text'] == 'interrupted at block %d of 199' % b['block'])")"
        expect_eq "SIG$sig: log: results and summary" 7 "$(grep -cE \
            $'Z 192\\.168\\.1\\.[1-3]\tinterrupted at block [0-9]+ of 199\tFW VEX [1-3]$|Z 192\\.168\\.1\\.[4-6]\tnot started\tFW VEX [4-6]$|Z 6 boards: 0 ok, 0 failed, 0 skipped, 3 interrupted, 3 not started in ' \
            "$WORK/int-$sig.log")"
        grep -q "Z interrupted by SIG$sig: sending stopped\$" "$WORK/int-$sig.log" || fail "SIG$sig: the log does not say so"
        grep -qx "tarnwell-cli: interrupted by SIG$sig: sending stopped" "$WORK/int-$sig.err" \
            || fail "SIG$sig: no message on standard error: $(tail -3 "$WORK/int-$sig.err")"
    done

    # The text report: six lines and the summary.
    "$CLI" flash "$WORK/fw/slow_vex_arm_fw.bin" "${six[@]}" --parallel 3 --quiet >"$WORK/int-text.out" 2>/dev/null &
    pid=$!
    sleep 1
    kill -INT "$pid"
    wait "$pid"
    expect_eq "text report after SIGINT: exit status" 130 $?
    expect_eq "text report after SIGINT: lines" 7 "$(grep -cE \
        $'^192\\.168\\.1\\.[1-6]\t(interrupted at block [0-9]+ of 199|not started)\tFW VEX [1-6]$|^6 boards: 0 ok, 0 failed, 0 skipped, 3 interrupted, 3 not started in ' \
        "$WORK/int-text.out")"

    # A second Ctrl-C does not wait for the report: with standard output a full pipe, the report after
    # the first one cannot be written, and the second ends the program all the same.
    out=$(python3 - "$CLI" "$WORK/fw/slow_vex_arm_fw.bin" "${six[@]}" <<'PY'
import os, signal, subprocess, sys, time
r, w = os.pipe()
os.set_blocking(w, False)
try:
    while True:
        os.write(w, b"x" * 4096)
except BlockingIOError:
    pass
os.set_blocking(w, True)
p = subprocess.Popen([sys.argv[1], "flash", sys.argv[2], *sys.argv[3:], "--parallel", "3", "--quiet"],
                     stdout=w, stderr=subprocess.DEVNULL)
os.close(w)
time.sleep(1)
p.send_signal(signal.SIGINT)
time.sleep(0.5)
first = p.poll()
p.send_signal(signal.SIGINT)
try:
    print(first, p.wait(timeout=1))
except subprocess.TimeoutExpired:
    p.kill()
    print(first, "still running")
PY
)
    expect_eq "second SIGINT: still writing the report after the first, killed by the second" "None -2" "$out"
}

inside_refusals() {
    # Nothing here may reach a board: the simulator's verdict counts every request.
    local rc t0 t1 args message
    mkfifo "$WORK/fw/fifo_vex_arm_fw.bin"
    ln -s /dev/zero "$WORK/fw/zero_vex_arm_fw.bin"
    truncate -s 1T "$WORK/fw/huge_vex_arm_fw.bin"
    while IFS='|' read -r args message; do
        t0=$(ms_now)
        eval "timeout 10 \"\$CLI\" $args" >/dev/null 2>"$WORK/err"
        rc=$?
        t1=$(ms_now)
        expect_eq "'$args': exit status" 2 "$rc"
        [ $((t1 - t0)) -le 1000 ] || fail "'$args': took $((t1 - t0)) ms"
        grep -qF -- "$message" "$WORK/err" || fail "'$args': message [$message] not in [$(cat "$WORK/err")]"
    done <<EOF
discover --to ''|--to takes addresses separated by commas, not ''
discover --to ,|--to takes addresses separated by commas, not ','
discover ''|'' is not an IPv4 address
discover --log ''|--log takes a file name, not an empty one
discover --list /dev/zero|cannot read the address list /dev/zero: it holds more than 1048576 bytes
flash $WORK/fw/fifo_vex_arm_fw.bin 192.168.1.1|cannot read $WORK/fw/fifo_vex_arm_fw.bin: it is a FIFO; only a regular file can be flashed
flash $WORK/fw/zero_vex_arm_fw.bin 192.168.1.1|cannot read $WORK/fw/zero_vex_arm_fw.bin: it is a link to a character device; only a regular file can be flashed
flash $WORK/fw/huge_vex_arm_fw.bin 192.168.1.1|more than this command holds in memory here
flash $WORK/fw/vex_arm_fw.bin 192.168.1.1 --log /dev/full|cannot write the log /dev/full: No space left on device
flash $WORK/fw/vex_arm_fw.bin 192.168.1.1 --record ''|--record takes a file name, not an empty one
flash $WORK/fw/vex_arm_fw.bin 192.168.1.1 --record $WORK/missing/r.jsonl|cannot write the record $WORK/missing/r.jsonl: No such file or directory
flash $WORK/fw/vex_arm_fw.bin 192.168.1.1 --record $WORK/fw|cannot write the record $WORK/fw: Is a directory
EOF
}

inside_names() {
    local out rc
    out=$("$CLI" discover --wait 1)
    expect_eq "names: discover, exit status" 0 $?
    expect_eq "names: one line a board" 3 "$(wc -l <<<"$out")"
    expect_line "names: tab and line feed escaped, 0x80 as the euro sign" \
        'A\tB\nC € FW VEX'$'\t''192.168.1.1'$'\t''00:11:22:33:66:01' "$out"
    expect_line "names: undefined byte and backslash escaped" \
        'FW VEX \x81 back\\slash'$'\t''192.168.1.2'$'\t''00:11:22:33:66:02' "$out"
    "$CLI" discover --json --to 192.168.1.1 >"$WORK/names.json"
    expect_eq "names: JSON" "['A', 'B', 'C € FW VEX']" \
        "$(json_field "$WORK/names.json" "[part for line in d['boards'][0]['name'].split(chr(10)) for part in line.split(chr(9))]")"

    out=$("$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.1 --quiet)
    expect_eq "names: flash, exit status" 0 $?
    expect_eq "names: flash result" '192.168.1.1'$'\t''ok'$'\t''A\tB\nC € FW VEX' "$(head -1 <<<"$out")"

    # Lost output: standard output on a full device, after the board was served.
    "$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.1 --quiet >/dev/full 2>"$WORK/err"
    expect_eq "> /dev/full: exit status" 5 $?
    grep -qx "tarnwell-cli: cannot write to standard output: No space left on device; the report is incomplete" "$WORK/err" \
        || fail "> /dev/full: message [$(cat "$WORK/err")]"
    "$CLI" discover --wait 0.5 >/dev/full 2>/dev/null
    expect_eq "discover > /dev/full: exit status" 5 $?
    # The record is output too: on a full device the board is served, the line said lost.
    out=$("$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.1 --quiet --record /dev/full 2>"$WORK/err")
    expect_eq "--record /dev/full: exit status" 5 $?
    expect_eq "--record /dev/full: result" $'192.168.1.1\tok\tA\\tB\\nC € FW VEX' "$(head -1 <<<"$out")"
    expect_eq "--record /dev/full: message" \
        "tarnwell-cli: cannot write the record /dev/full: No space left on device; the line of 192.168.1.1 is lost" \
        "$(cat "$WORK/err")"

    # File names as the text they are: UTF-8 shown as such, a line feed escaped in the log.
    cp "$WORK/fw/vex_arm_fw.bin" "$WORK/fw/café_vex_arm_fw.bin"
    cp "$WORK/fw/vex_arm_fw.bin" "$WORK/fw/a"$'\n'"b_vex_arm_fw.bin"
    "$CLI" flash "$WORK/fw/café_vex_arm_fw.bin" 192.168.1.1 --quiet --json --record "$WORK/names.jsonl" \
        --log "$WORK/names.log" >"$WORK/cafe.json"
    expect_eq "UTF-8 file name: exit status" 0 $?
    expect_eq "UTF-8 file name: JSON and record" "$WORK/fw/café_vex_arm_fw.bin café_vex_arm_fw.bin" \
        "$(json_field "$WORK/cafe.json" "d['file']") $(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline())["file"])' "$WORK/names.jsonl")"
    grep -qF "Z Downloading $WORK/fw/café_vex_arm_fw.bin to all valid selected boards." "$WORK/names.log" \
        || fail "UTF-8 file name: the log: $(cat "$WORK/names.log")"
    "$CLI" flash "$WORK/fw/a"$'\n'"b_vex_arm_fw.bin" 192.168.1.1 --quiet --log "$WORK/names.log" >/dev/null
    expect_eq "file name with a line feed: exit status" 0 $?
    grep -qxE "[0-9TZ:.-]+ Downloading $WORK/fw/a\\\\nb_vex_arm_fw.bin to all valid selected boards." "$WORK/names.log" \
        || fail "file name with a line feed: the log line: $(grep -A1 'Downloading.*a' "$WORK/names.log")"

    # Messages: named addresses that do not answer are listed and counted; nobody at all is said so.
    "$CLI" discover 192.168.1.1 192.168.1.5 192.168.1.6 --wait 0.5 >/dev/null 2>"$WORK/err"
    expect_eq "silent addresses: discover, exit status" 0 $?
    grep -qx "tarnwell-cli: 2 of 3 named addresses did not answer: 192.168.1.5, 192.168.1.6" "$WORK/err" \
        || fail "silent addresses: discover message [$(cat "$WORK/err")]"
    out=$("$CLI" flash "$WORK/fw/gur_arm_fw.bin" 192.168.1.5 192.168.1.6 --wait 0.5 --quiet 2>"$WORK/err")
    rc=$?
    expect_eq "nobody answers: exit status" 3 "$rc"
    expect_eq "nobody answers: message" "tarnwell-cli: no board answered" "$(cat "$WORK/err")"
    grep -q '^2 boards: 0 ok, 2 failed (2 did not answer), 0 skipped in ' <<<"$out" || fail "nobody answers: summary [$out]"
}

run_part_if_inside "$@"

# ---- outside: build the beds --------------------------------------------------------------------

mkdir -p "$WORK/fw"
head -c 20000 /dev/urandom >"$WORK/fw/vex_arm_fw.bin"
head -c 3000 /dev/urandom >"$WORK/fw/gur_arm_fw.bin"
head -c 1000 /dev/urandom >"$WORK/fw/pim_dal1_2_fw.bin"

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

boards=""
for board in "seq1|1|ack-seq=1" "seq2|2|ack-seq=2" "seq5|3|ack-seq=5" "seqmax|4|ack-seq=0xFFFFFFFF" "len0|5|ack-len=0" \
    "short|6|ack=short" "seq7|7|ack-seq=7" "port|8|reply-port=2017" "late|9|ack=short,late=data:3:6000" "held|11|" \
    "step|12|ack=short,twice=data:1" "twice|13|twice=data:*"; do
    IFS='|' read -r name n fault <<<"$board"
    boards+=" --board 'name=FW GUR $name,ip=192.168.1.$n${fault:+,$fault}'"
done
bed acks "--layout one-subnet --count 13" "$boards"
for n in 1 2 3 4 5 6 7 8 9 11 12 13; do image_ok acks 192.168.1.$n gur_arm_fw.bin; done
# Acknowledgements of zeros: unconfirmed, the image whole. The download holds block 1 until its
# retransmission is answered too (a sequence of 0 could be a late echo of block 0), which the
# simulator flags as a repeat of an acknowledged block: that flag, and only that, is accepted here.
bed acks_zero "--layout one-subnet --count 2" \
    "--board 'name=FW GUR zero,ip=192.168.1.1,ack=zero' --board 'name=FW GUR seq0,ip=192.168.1.2,ack-seq=0'" \
    'DATA block 1 sent again [0-9.]+ s after the board acknowledged it'
for n in 1 2; do image_ok acks_zero 192.168.1.$n gur_arm_fw.bin; done
head -c 100000 /dev/urandom >"$WORK/fw/slow_vex_arm_fw.bin" # 199 blocks
bed interrupts "--layout one-subnet --count 6" "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS,late=data:*:10\""
bed refusals "--layout one-subnet --count 6" "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS\""
if ! grep -q '^strays=0$' "$WORK/refusals.verdict" || grep -qE '^board\..*\.requests=[1-9]' "$WORK/refusals.verdict"; then
    fail "refusals: a refused command sent something: $(grep -E 'requests=|strays=' "$WORK/refusals.verdict" | tr '\n' ' ')"
fi
names_boards=$(printf '%q ' \
    --board "name=A"$'\t'"B"$'\n'"C "$'\x80'" FW VEX,mac=00:11:22:33:66:01,ip=192.168.1.1" \
    --board "name=FW VEX "$'\x81'" back\\\\slash,mac=00:11:22:33:66:02,ip=192.168.1.2" \
    --board "name=FW GUR 3,mac=00:11:22:33:66:03,ip=192.168.1.3")
bed names "--layout one-subnet --count 3" "$names_boards"
image_ok names 192.168.1.1 vex_arm_fw.bin
image_ok names 192.168.1.1 café_vex_arm_fw.bin

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

[ "$(harness_failures)" -ne 0 ] || echo "tarnwell-cli end to end: all fine"
harness_verdict
