#!/usr/bin/env bash
# End-to-end tests of tarnwell-cli.exe under Wine against the board simulator on loopback, in a network
# namespace of its own: Ctrl-C (a SIGINT, which Wine hands to the console's handler) one second into a
# six-board --parallel 3 flash finishes the report and exits 130; names in UTF-8 on one line; a device
# refused as FILE; a file name the code page cannot carry; lost output. Needs root; exits 77 (skipped) without it.
#
# Usage: cli_win.sh CLI.EXE BOARDSIM          cli_win.sh inside CLI.EXE BOARDSIM (in the namespace)

set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${1:-}" != inside ]; then
    source "$ROOT/tests/lib/harness.sh"
    skip_unless_netns
    [ -x "$2" ] || { echo "no board simulator at $2 (build/native first); skipped"; exit 77; }
    exec "$ROOT/scripts/in-loopback-ns.sh" bash "$0" inside "$@"
fi
CLI=$2
BOARDSIM=$3
WORK=$(mktemp -d /tmp/cli-win-e2e.XXXXXX)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/wineprefix}
# Wine's sockets live in the wineserver: one started here sees this namespace.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
SIM=
cleanup() {
    [ -n "$SIM" ] && kill "$SIM" 2>/dev/null && wait "$SIM" 2>/dev/null
    wineserver -k 2>/dev/null
    [ -n "${KEEP_WORK:-}" ] || rm -rf -- "$WORK"
}
trap cleanup EXIT

source "$ROOT/tests/lib/harness.sh"
ms_now() { date +%s%3N; }
cli() { "$ROOT/scripts/wine-run.sh" "$CLI" "$@"; }

head -c 100000 /dev/urandom >"$WORK/slow_vex_arm_fw.bin" # 199 blocks, each answered 10 ms late
head -c 3000 /dev/urandom >"$WORK/vex_arm_fw.bin"
ln -s /dev/zero "$WORK/zero_vex_arm_fw.bin"
"$BOARDSIM" --quiet --out "$WORK/out" --verdict "$WORK/verdict" --ready-file "$WORK/ready" \
    --board "name=FW VEX %d,ip=127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5 127.0.0.6 127.0.0.7,late=data:*:10" \
    --board "name=A"$'\t'"B"$'\n'"C "$'\x80'" FW VEX,mac=00:11:22:33:66:01,ip=127.0.0.9" >"$WORK/sim.log" 2>&1 &
SIM=$!
for _ in $(seq 100); do [ -e "$WORK/ready" ] && break; sleep 0.1; done
cli --version >/dev/null # Wine is up before anything is timed

six=(127.0.0.{2..7})
# Not through cli(): the signal must reach Wine's process, not a subshell.
"$ROOT/scripts/wine-run.sh" "$CLI" flash "$WORK/slow_vex_arm_fw.bin" "${six[@]}" --parallel 3 --json --log "$WORK/int.log" \
    >"$WORK/int.json" 2>"$WORK/int.err" &
pid=$!
# Wine may take a while to start under load: one second into the download itself.
for _ in $(seq 100); do grep -q 'Downloading' "$WORK/int.log" 2>/dev/null && break; sleep 0.1; done
sleep 1
t0=$(ms_now)
kill -INT "$pid"
wait "$pid"
rc=$?
t1=$(ms_now)
expect_eq "Ctrl-C: exit status" 130 "$rc"
[ $((t1 - t0)) -le 1000 ] || fail "Ctrl-C: the program took $((t1 - t0)) ms to end"
expect_eq "Ctrl-C: JSON" "SIGINT 6 3 3" "$(python3 -c "import json,sys; d=json.load(open(sys.argv[1])); s=d['summary']; \
print(d['signal'], s['boards'], s['interrupted'], s['not_started'])" "$WORK/int.json" 2>&1)"
expect_eq "Ctrl-C: log lines of the report" 7 "$(grep -cE \
    $'Z 127\\.0\\.0\\.[2-4]\tinterrupted at block [0-9]+ of 199\t|Z 127\\.0\\.0\\.[5-7]\tnot started\t|Z 6 boards: 0 ok, 0 failed, 0 skipped, 3 interrupted, 3 not started in ' \
    "$WORK/int.log")"
grep -q "tarnwell-cli: interrupted by SIGINT: sending stopped" "$WORK/int.err" \
    || fail "Ctrl-C: no message [$(tail -2 "$WORK/int.err")], log [$(tail -2 "$WORK/int.log" 2>&1)]"

out=$(cli discover --to 127.0.0.9)
expect_eq "name: one line, decoded to UTF-8" 'A\tB\nC € FW VEX'$'\t''127.0.0.9'$'\t''00:11:22:33:66:01' "$(tr -d '\r' <<<"$out")"

cli flash "$WORK/zero_vex_arm_fw.bin" 127.0.0.9 >/dev/null 2>"$WORK/err"
expect_eq "a link to a device: exit status" 2 $?
grep -q "only a regular file can be flashed" "$WORK/err" || fail "a link to a device: message [$(cat "$WORK/err")]"

# A name the code page cannot carry is refused before anything is sent; one it can is served.
cp "$WORK/vex_arm_fw.bin" "$WORK/прошивка_vex_arm_fw.bin"
cp "$WORK/vex_arm_fw.bin" "$WORK/café_vex_arm_fw.bin"
cli flash "$WORK/прошивка_vex_arm_fw.bin" 127.0.0.9 --quiet >/dev/null 2>"$WORK/err"
expect_eq "a name outside the code page: exit status" 2 $?
grep -q "holds characters that the workstation's code page lacks" "$WORK/err" \
    || fail "a name outside the code page: message [$(cat "$WORK/err")]"
[ ! -e "$WORK/out/127.0.0.9/прошивка_vex_arm_fw.bin" ] && [ ! -e "$WORK/out/127.0.0.9/????????_vex_arm_fw.bin" ] \
    || fail "a name outside the code page: the board got a file"
cli flash "$WORK/café_vex_arm_fw.bin" 127.0.0.9 --quiet >/dev/null 2>"$WORK/err"
expect_eq "a name in the code page: exit status" 0 $?

cli flash "$WORK/vex_arm_fw.bin" 127.0.0.9 --quiet >/dev/full 2>"$WORK/err"
expect_eq "> /dev/full: exit status" 5 $?
cli discover --to 127.0.0.9 --log /dev/full >/dev/null 2>"$WORK/err"
expect_eq "--log /dev/full: exit status" 2 $?

[ "$HARNESS_FAILS" -ne 0 ] || echo "tarnwell-cli.exe end to end: all fine"
harness_verdict
