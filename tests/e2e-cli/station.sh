#!/usr/bin/env bash
# End-to-end tests of tarnwell-cli's station mode against the board simulator in the namespace test bed:
# watch serving twelve boards of two kinds that are plugged in one after another, Ctrl-C and its summary,
# --verify-return with boards that come back (under a new name) and one that never does, the record and
# --once-per-mac (by the last line of a board, with and without --require-confirmed), two stations
# appending to one record, Ctrl-C while boards are mid-download, and boards that share a MAC or move
# to a new address.
# Needs root; exits 77 (skipped) without it.
#
# Usage: station.sh CLI BOARDSIM TESTBED
#        station.sh inside PART      (run by the test bed in the workstation namespace)

set -u
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/bed.sh"

bed_setup station "$@"

export HARNESS_FAIL_FILE=$WORK/failures

# Every line of the record FILE is one JSON object; prints how many there are, or fails.
record_lines() { # WHAT FILE
    python3 - "$2" <<'EOF' || fail "$1: the record holds a line that is no JSON object"
import json, sys
n = 0
for number, line in enumerate(open(sys.argv[1], encoding="ascii"), 1):
    if not isinstance(json.loads(line), dict):
        sys.exit("line %d is no object" % number)
    n += 1
print(n)
EOF
}

# Python over the record's objects, as the list r.
record_query() { # FILE EXPRESSION
    python3 -c "import json,sys; r=[json.loads(l) for l in open(sys.argv[1])]; print($2)" "$1"
}

# Starts watch in the background with its output in $WORK/NAME.out and .err; $WATCH is its process.
start_watch() { # NAME ARGS...
    local name=$1
    shift
    "$CLI" watch "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    WATCH=$!
}

# Waits up to SECONDS for COUNT lines matching PATTERN in FILE.
wait_lines() { # FILE PATTERN COUNT SECONDS
    local i
    for i in $(seq $(($4 * 10))); do
        [ "$(grep -c -- "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0
        sleep 0.1
    done
    return 1
}

# Ctrl-C to watch; its exit status in $RC.
interrupt_watch() {
    kill -INT "$WATCH"
    wait "$WATCH"
    RC=$?
}

# ---- parts run inside the workstation namespace ----------------------------------------------------

inside_line() {
    # Twelve boards plugged in one after another over 20 s: six VEX, six GUR between them.
    start_watch line "$WORK/fw/vex_arm_fw.bin" --interval 0.5 --parallel 3 --verify-return 2 --record "$WORK/line.jsonl"
    wait_lines "$WORK/line.out" "ok, back after" 6 40 || fail "line: not all six VEX boards served: $(cat "$WORK/line.out")"
    wait_lines "$WORK/line.out" "skipped: another kind" 6 10 || fail "line: not all GUR boards reported"
    sleep 1 # a few more rounds of discovery, with every board back
    interrupt_watch
    expect_eq "line: exit status after Ctrl-C" 0 "$RC"
    expect_eq "line: summary" "12 boards: 6 served, 0 failed, 6 skipped, 0 still running (interrupted)" \
        "$(tail -1 "$WORK/line.out" | sed 's/ in [0-9.]* s$//')"
    expect_eq "line: result lines, one per board" 12 "$(grep -c $'^192\.168\.1\.[0-9]*\t' "$WORK/line.out")"
    expect_eq "line: boards reported more than once" "" \
        "$(cut -f1 "$WORK/line.out" | grep '^192' | sort | uniq -d)"
    expect_eq "line: GUR boards reported as another kind" 6 \
        "$(grep -c $'\tskipped: another kind (no "FW VEX" in its name)\tFW GUR ' "$WORK/line.out")"
    expect_eq "line: record lines" 12 "$(record_lines line "$WORK/line.jsonl")"
    expect_eq "line: record, every VEX board ok with this image" \
        "6 $(sha256sum <"$WORK/fw/vex_arm_fw.bin" | cut -d' ' -f1)" \
        "$(record_query "$WORK/line.jsonl" "len([x for x in r if x['ok'] and x['returned'] and x['blocks'] == 40]), \
            ' '.join(sorted(set(x['sha256'] for x in r if x['ok'])))")"
    expect_eq "line: record, the start of each board" 12 \
        "$(record_query "$WORK/line.jsonl" "len([x for x in r if x['start'] <= x['end'] and x['size'] == 20000])")"

    # Again with the record: every VEX board was served with this image and is left alone.
    start_watch again "$WORK/fw/vex_arm_fw.bin" --interval 0.5 --record "$WORK/line.jsonl" --once-per-mac
    wait_lines "$WORK/again.out" $'^192' 12 10 || fail "once-per-mac: not every board reported: $(cat "$WORK/again.out")"
    interrupt_watch
    expect_eq "once-per-mac, same image: skipped as served" 6 \
        "$(grep -c $'\tskipped: already served with this image (in the record)\tFW VEX ' "$WORK/again.out")"
    expect_eq "once-per-mac, same image: exit status (nothing served)" 3 "$RC"

    # Another image: the same boards are served again.
    start_watch other "$WORK/fw/v2_vex_arm_fw.bin" --interval 0.5 --record "$WORK/line.jsonl" --once-per-mac \
        --parallel 6
    wait_lines "$WORK/other.out" $'\tok\t' 6 20 || fail "once-per-mac, other image: not served again: $(cat "$WORK/other.out")"
    interrupt_watch
    expect_eq "once-per-mac, other image: exit status" 0 "$RC"
    expect_eq "once-per-mac, other image: served" 6 "$(grep -c $'\tok\tFW VEX ' "$WORK/other.out")"
}

inside_return() {
    local out rc
    # .1 back after 0.5 s as a new name, .2 never back, .3 back at once.
    out=$("$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.1 192.168.1.2 192.168.1.3 --parallel 3 --verify-return 1.5 \
        --record "$WORK/return.jsonl" --quiet)
    rc=$?
    expect_eq "return: exit status (a board did not come back)" 1 "$rc"
    grep -qE $'^192\.168\.1\.1\tok, back after (0\.[5-9]|1\.[0-4]) s as "FW VEX 1 v2"\tFW VEX 1$' <<<"$out" \
        || fail "return: renamed board: [$out]"
    grep -qxF $'192.168.1.2\trebooted, did not come back within 1.5 s\tFW VEX 2' <<<"$out" \
        || fail "return: board that never came back: [$out]"
    grep -qE $'^192\.168\.1\.3\tok, back after (0\.[0-9]|1\.[0-4]) s\tFW VEX [0-9]+$' <<<"$out" \
        || fail "return: board back at once: [$out]"
    grep -q '^3 boards: 2 ok, 1 failed, 0 skipped in ' <<<"$out" || fail "return: summary in [$out]"
    expect_eq "return: record lines" 3 "$(record_lines return "$WORK/return.jsonl")"
    expect_eq "return: record of the renamed board" "FW VEX 1|FW VEX 1 v2|True" \
        "$(record_query "$WORK/return.jsonl" "'|'.join(str(v) for x in r if x['address'] == '192.168.1.1' \
            for v in (x['name'], x['name_after'], x['ok']))")"
    expect_eq "return: record of the board that never came back" \
        "not-back|False|None|rebooted, did not come back within 1.5 s" \
        "$(record_query "$WORK/return.jsonl" "'|'.join(str(v) for x in r if x['address'] == '192.168.1.2' \
            for v in (x['result'], x['returned'], x['name_after'], x['text']))")"
    expect_eq "return: sha256 in the record" "$(sha256sum <"$WORK/fw/vex_arm_fw.bin" | cut -d' ' -f1)" \
        "$(record_query "$WORK/return.jsonl" "r[0]['sha256']")"

    # Two stations appending to one record at the same time, many lines each.
    local run
    for run in 1 2 3; do
        "$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.4 192.168.1.5 192.168.1.6 --parallel 3 --quiet \
            --record "$WORK/shared.jsonl" >/dev/null &
        "$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.7 192.168.1.8 192.168.1.9 --parallel 3 --quiet \
            --record "$WORK/shared.jsonl" >/dev/null &
        wait
    done
    expect_eq "two stations, one record: whole lines" 18 "$(record_lines shared "$WORK/shared.jsonl")"

    # Refused before anything is sent.
    "$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.4 --record "$WORK/no-such-dir/r.jsonl" >/dev/null 2>"$WORK/err"
    expect_eq "unwritable record: exit status" 2 $?
    grep -qF "cannot write the record $WORK/no-such-dir/r.jsonl: No such file or directory" "$WORK/err" \
        || fail "unwritable record: message [$(cat "$WORK/err")]"
    "$CLI" watch "$WORK/fw/vex_arm_fw.bin" --record "$WORK/no-such-dir/r.jsonl" >/dev/null 2>&1
    expect_eq "unwritable record, watch: exit status" 2 $?

    # The station example of docs/cli.md.
    out=$(cd "$WORK" && TARNWELL_CLI=$CLI STATION_LOG=$WORK/station.log STATION_RECORD=$WORK/station.jsonl STATION_RETURN=2 \
        bash "$STATION" "$WORK/fw/vex_arm_fw.bin" 2>/dev/null)
    expect_eq "station example: exit status (192.168.1.2 stays away)" 1 $?
    expect_eq "station example: verdict" "FAIL: some boards were not flashed or did not come back; the lines above say which and why" \
        "$(tail -1 <<<"$out")"
    expect_eq "station example: record lines" 6 "$(record_lines station "$WORK/station.jsonl")"
}

inside_interrupt() {
    # Three slow boards, two lanes: two mid-download, one waiting, when Ctrl-C comes.
    start_watch cut "$WORK/fw/big_vex_arm_fw.bin" --interval 0.5 --parallel 2 --record "$WORK/cut.jsonl"
    wait_lines "$WORK/cut.err" ': 10%$' 2 20 || fail "interrupt: downloads did not get going: $(cat "$WORK/cut.err")"
    interrupt_watch
    expect_eq "interrupt: exit status" 1 "$RC"
    expect_eq "interrupt: boards named at the block they reached" 2 \
        "$(grep -cE $'\tinterrupted at data block [0-9]+\tFW VEX ' "$WORK/cut.out")"
    expect_eq "interrupt: the board still waiting" 1 \
        "$(grep -c $'\tinterrupted before its download started\tFW VEX ' "$WORK/cut.out")"
    expect_eq "interrupt: summary" "3 boards: 0 served, 0 failed, 0 skipped, 3 still running (interrupted)" \
        "$(tail -1 "$WORK/cut.out" | sed 's/ in [0-9.]* s$//')"
    expect_eq "interrupt: record" "3 3" \
        "$(record_lines interrupt "$WORK/cut.jsonl") $(record_query "$WORK/cut.jsonl" "len([x for x in r if x['result'] == 'interrupted'])")"
}

inside_macs() {
    # .1 and .2 answer with one MAC from the start: two boards. .3 goes away for good after its
    # reboot, and .4 answers with its MAC from 4 s on: the same board under a new address.
    start_watch macs "$WORK/fw/vex_arm_fw.bin" --interval 0.5 --parallel 2
    wait_lines "$WORK/macs.out" $'\tok\t' 3 20 || fail "macs: not served: $(cat "$WORK/macs.out")"
    sleep 3 # .4 answers meanwhile
    interrupt_watch
    expect_eq "macs: exit status" 0 "$RC"
    expect_eq "macs: served" "192.168.1.1 192.168.1.2 192.168.1.3" \
        "$(grep $'\tok\t' "$WORK/macs.out" | cut -f1 | sort | tr '\n' ' ' | sed 's/ $//')"
    expect_eq "macs: summary" "3 boards: 3 served, 0 failed, 0 skipped, 0 still running (interrupted)" \
        "$(tail -1 "$WORK/macs.out" | sed 's/ in [0-9.]* s$//')"
    grep -qE '^tarnwell-cli: 2 boards answer with MAC 00:11:22:33:99:01: (192\.168\.1\.1, 192\.168\.1\.2|192\.168\.1\.2, 192\.168\.1\.1)$' \
        "$WORK/macs.err" || fail "macs: the warning: $(cat "$WORK/macs.err")"
    expect_eq "macs: warned once, and of nothing else" 1 "$(grep -c 'answer with MAC' "$WORK/macs.err")"
}

inside_proof() {
    # .1 and .3 echo their acks (confirmed), .2 answers with 2 bytes (unconfirmed).
    local record=$WORK/proof.jsonl
    "$CLI" flash "$WORK/fw/vex_arm_fw.bin" 192.168.1.1 192.168.1.2 192.168.1.3 --parallel 3 --quiet --record "$record" \
        >"$WORK/proof.out"
    expect_eq "proof: exit status" 0 $?
    expect_eq "proof: record" "192.168.1.1 ok True True|192.168.1.2 ok True False|192.168.1.3 ok True True" \
        "$(record_query "$record" "'|'.join('%s %s %s %s' % (x['address'], x['result'], x['ok'], x['confirmed']) for x in r)")"
    # Another station failed .3 since: its last line counts. A later line for .1 that says nothing of
    # its image (left alone) does not hide its last download.
    python3 - "$record" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
with open(sys.argv[1], "a") as f:
    for x, result in ((lines[2], "no-reply"), (lines[0], "skipped")):
        f.write(json.dumps(dict(x, result=result, ok=False, confirmed=False)) + "\n")
PY
    start_watch proof1 "$WORK/fw/vex_arm_fw.bin" --interval 0.5 --record "$record" --once-per-mac
    wait_lines "$WORK/proof1.out" $'^192' 3 20 || fail "proof: once-per-mac: $(cat "$WORK/proof1.out")"
    interrupt_watch
    expect_eq "proof: once-per-mac" "192.168.1.1 skipped|192.168.1.2 skipped|192.168.1.3 ok" \
        "$(grep '^192' "$WORK/proof1.out" | sort | awk -F'\t' '{split($2, w, /[:,]/); printf "%s%s %s", n++ ? "|" : "", $1, w[1]}')"
    # With --require-confirmed only a confirmed line leaves a board alone: .2 is served again, and is
    # now a failure.
    start_watch proof2 "$WORK/fw/vex_arm_fw.bin" --interval 0.5 --record "$record" --once-per-mac --require-confirmed
    wait_lines "$WORK/proof2.out" $'^192' 3 20 || fail "proof: --require-confirmed: $(cat "$WORK/proof2.out")"
    interrupt_watch
    expect_eq "proof: --require-confirmed, exit status" 1 "$RC"
    expect_eq "proof: --require-confirmed" "192.168.1.1 skipped|192.168.1.2 rebooted but not confirmed |192.168.1.3 skipped" \
        "$(grep '^192' "$WORK/proof2.out" | sort | awk -F'\t' '{split($2, w, /[:(]/); printf "%s%s %s", n++ ? "|" : "", $1, w[1]}')"
    expect_eq "proof: --require-confirmed, the record" "ok False False" \
        "$(record_query "$record" "' '.join(str(v) for v in (r[-1]['result'], r[-1]['ok'], r[-1]['confirmed']))")"
}

run_part_if_inside "$@"

# ---- outside: build the beds --------------------------------------------------------------------

mkdir -p "$WORK/fw"
head -c 20000 /dev/urandom >"$WORK/fw/vex_arm_fw.bin"
head -c 20000 /dev/urandom >"$WORK/fw/v2_vex_arm_fw.bin"
head -c 1000000 /dev/urandom >"$WORK/fw/big_vex_arm_fw.bin"

# Twelve boards over 20 s: a VEX board every 3.2 s from 1 s on, a GUR board every 3.2 s from 2.6 s on.
bed line "--layout one-subnet --count 12" \
    "--board \"name=FW VEX %d,mac=00:11:22:33:44:01,ip=\${TW_BOARD_IPS% * * * * * *},appear=1000:3200,back=300\" \
     --board \"name=FW GUR %d,mac=00:11:22:33:55:01,ip=\${TW_BOARD_IPS#* * * * * * },appear=2600:3200\""
python3 - "$WORK/line.sim.json" "$WORK/fw" <<'EOF' || fail "line: the simulator's account differs"
import hashlib, json, sys
d = json.load(open(sys.argv[1]))
sha = {f: hashlib.sha256(open(sys.argv[2] + "/" + f, "rb").read()).hexdigest() for f in ("vex_arm_fw.bin", "v2_vex_arm_fw.bin")}
for b in d["boards"]:
    names = [r for r in b["requests"] if r["op"] == "FILENAME"]
    if b["name"].startswith("FW GUR"):
        if names or b["images"]:
            sys.exit("%s (GUR) was sent a file name" % b["ip"])
        continue
    # First the line's image, then once more the second image; never the first image twice.
    got = [(i["file"], i["sha256"], i["complete"]) for i in b["images"]]
    want = [("vex_arm_fw.bin", sha["vex_arm_fw.bin"], True), ("v2_vex_arm_fw.bin", sha["v2_vex_arm_fw.bin"], True)]
    if len(names) != 2 or got != want:
        sys.exit("%s: %d file-name requests, images %s" % (b["ip"], len(names), got))
EOF

bed return "--layout one-subnet --count 9" \
    "--board \"name=FW VEX 1,mac=00:11:22:33:44:01,ip=192.168.1.1,back=500,renamed=FW VEX 1 v2\" \
     --board \"name=FW VEX 2,mac=00:11:22:33:44:02,ip=192.168.1.2,back=never\" \
     --board \"name=FW VEX %d,mac=00:11:22:33:44:03,ip=192.168.1.3 192.168.1.4 192.168.1.5 192.168.1.6 192.168.1.7 192.168.1.8 192.168.1.9\""

# 1 MB in 1985 blocks, each answered 2 ms late: several seconds per board.
bed interrupt "--layout one-subnet --count 3" "--board \"name=FW VEX %d,ip=\$TW_BOARD_IPS,late=data:*:2\""

bed macs "--layout one-subnet --count 4" \
    "--board \"name=FW VEX 1,mac=00:11:22:33:99:01,ip=192.168.1.1\" --board \"name=FW VEX 2,mac=00:11:22:33:99:01,ip=192.168.1.2\" \
     --board \"name=FW VEX 3,mac=00:11:22:33:99:03,ip=192.168.1.3,back=never\" \
     --board \"name=FW VEX 4,mac=00:11:22:33:99:03,ip=192.168.1.4,appear=4000\""
python3 - "$WORK/macs.sim.json" <<'EOF' || fail "macs: the simulator's account differs"
import json, sys
names = {b["ip"]: sum(r["op"] == "FILENAME" for r in b["requests"]) for b in json.load(open(sys.argv[1]))["boards"]}
if names != {"192.168.1.1": 1, "192.168.1.2": 1, "192.168.1.3": 1, "192.168.1.4": 0}:
    sys.exit("file-name requests per board: %s" % names)
EOF

bed proof "--layout one-subnet --count 3" \
    "--board \"name=FW VEX 1,mac=00:11:22:33:77:01,ip=192.168.1.1\" \
     --board \"name=FW VEX 2,mac=00:11:22:33:77:02,ip=192.168.1.2,ack=short\" \
     --board \"name=FW VEX 3,mac=00:11:22:33:77:03,ip=192.168.1.3\""

[ "$(harness_failures)" -ne 0 ] || echo "tarnwell-cli station mode end to end: all fine"
harness_verdict
