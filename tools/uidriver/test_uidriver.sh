#!/bin/bash
# Exercises every verb of uidriver.exe against the stand-in main window (uidriver_testapp.exe) under Wine.
#
# Usage: tools/uidriver/test_uidriver.sh [BUILD_DIR]
#   BUILD_DIR holds uidriver.exe and uidriver_testapp.exe (searched recursively). Without it both are built
#   here with x86_64-w64-mingw32-g++-posix into a temporary directory.
#   Uses $WINEPREFIX if set, else a private prefix build/uidriver-test-wineprefix of this checkout (created on
#   first use, kept for speed), and sets Wine's X11 "Managed" to N in it (see below). Scratch files and Wine's
#   server directory go under build/ too (scripts/wine-env.sh), so nothing is left in /tmp. Starts its own Xvfb unless
#   UIDRIVER_USE_DISPLAY=1 and DISPLAY is set.
# Nothing here sends a datagram. Exit status 0 when every check passed.
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/scripts/wine-env.sh"
WORK=$(mktemp -d -t uidriver-test.XXXXXX)
XVFB_PID=""
APP_PID=""
OWN_PREFIX=0
FAILURES=0
CHECKS=0

cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null
        wait "$APP_PID" 2>/dev/null
    fi
    # Wine's helper processes hold the display open; let them end before the display goes.
    if [ "$OWN_PREFIX" = 1 ]; then
        wineserver -k 2>/dev/null
    else
        timeout 15 wineserver -w 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

# expect_out <description> <expected output> <uidriver words...>
expect_out() {
    local what=$1 expected=$2
    shift 2
    CHECKS=$((CHECKS + 1))
    local actual
    actual=$(ud "$@" 2>"$WORK/stderr")
    local rc=$?
    if [ $rc -ne 0 ]; then
        fail "$what: uidriver $* exited $rc: $(cat "$WORK/stderr")"
    elif [ "$actual" != "$expected" ]; then
        fail "$what: expected [$expected], got [$actual]"
    fi
}

# expect_rc <description> <exit code> <uidriver words...>
expect_rc() {
    local what=$1 expected=$2
    shift 2
    CHECKS=$((CHECKS + 1))
    ud "$@" >"$WORK/stdout" 2>"$WORK/stderr"
    local rc=$?
    if [ $rc -ne "$expected" ]; then
        fail "$what: uidriver $* exited $rc, expected $expected: $(cat "$WORK/stderr")"
    fi
}

# expect_ok <description> <uidriver words...>
expect_ok() {
    local what=$1
    shift
    expect_rc "$what" 0 "$@"
}

# expect_match <description> <extended regex> <uidriver words...>: the whole output matches
expect_match() {
    local what=$1 pattern=$2
    shift 2
    CHECKS=$((CHECKS + 1))
    local actual
    actual=$(ud "$@" 2>"$WORK/stderr")
    local rc=$?
    if [ $rc -ne 0 ] || ! [[ "$actual" =~ $pattern ]]; then
        fail "$what: output [$actual] (exit $rc) does not match /$pattern/: $(cat "$WORK/stderr")"
    fi
}

ud() {
    wine "$UIDRIVER" "$@"
}

start_app() {
    wine "$TESTAPP" "$@" >"$WORK/app.log" 2>&1 &
    APP_PID=$!
    if ! ud wait-main 30000; then
        echo "the test target did not open its window" >&2
        exit 1
    fi
}

stop_app() {
    wait "$APP_PID" 2>/dev/null
    APP_PID=""
}

# --- set-up -----------------------------------------------------------------------------------------------

if [ $# -ge 1 ]; then
    UIDRIVER=$(find "$1" -name uidriver.exe -print -quit)
    TESTAPP=$(find "$1" -name uidriver_testapp.exe -print -quit)
else
    CXX=x86_64-w64-mingw32-g++-posix
    FLAGS=(-std=c++20 -municode -static -O2 -Wall -Wextra -DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0601 "-I$ROOT")
    UIDRIVER=$WORK/uidriver.exe
    TESTAPP=$WORK/uidriver_testapp.exe
    $CXX "${FLAGS[@]}" "$HERE"/*.cpp -o "$UIDRIVER" -lcomctl32 -lgdi32 || exit 1
    $CXX "${FLAGS[@]}" -mwindows "$HERE"/testapp/*.cpp -o "$TESTAPP" -lcomctl32 -lcomdlg32 -lole32 -luuid || exit 1
fi
if [ -z "$UIDRIVER" ] || [ -z "$TESTAPP" ]; then
    echo "uidriver.exe or uidriver_testapp.exe not found under $1" >&2
    exit 1
fi

export WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX=$ROOT/build/uidriver-test-wineprefix
    OWN_PREFIX=1
fi

if [ "${UIDRIVER_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
fi

if [ ! -d "$WINEPREFIX" ]; then
    wineboot -i >/dev/null 2>&1
fi
# Without a window manager on the display, Wine waits up to 2 s for one each time a managed window hides
# (every dialog that closes). Unmanaged windows need no window manager.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

FIRMWARE=$WORK/fw_vex.bin
head -c 1000 /dev/zero >"$FIRMWARE"
TAB=$'\t'
ABOUT="About Tarnwell"
SPECIFIC="Ping Specific IP"
LIST="Enter IP Address List"

# --- the main window and the unit list ---------------------------------------------------------------------

start_app
expect_out "dialogs lists the main window" "Quellmoor${TAB}#32770${TAB}enabled" dialogs
expect_match "rect is a crop geometry" '^[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+$' rect main
expect_match "pid is a number" '^[0-9]+$' pid
expect_match "tree shows the unit list" "1001${TAB}ListBox" tree
expect_out "the unit list has the focus at start" "Quellmoor${TAB}1001${TAB}ListBox" read focus
expect_out "the unit list starts empty" "0" read count
expect_out "the progress bar starts at 0" "0" read progress

expect_match "dialogs --all adds hidden windows" "^Quellmoor${TAB}#32770${TAB}enabled"$'\n'".*${TAB}hidden" \
    dialogs --all
expect_ok "menu by command id" menu 32775 -- wait-units 4 3000
expect_out "read units after Search" \
    "0${TAB}FW VEX unit A${TAB}IP=10.0.0.2${TAB}MAC=00:11:22:33:44:02
0${TAB}FW GUR unit B${TAB}IP=10.0.0.3${TAB}MAC=00:11:22:33:44:03
0${TAB}FW VEX unit C${TAB}IP=10.0.0.4${TAB}MAC=00:11:22:33:44:04
0${TAB}Prüfstand Ω${TAB}IP=10.0.0.5${TAB}MAC=00:11:22:33:44:05" read units
expect_out "read status after Search" "Searching for boards..." read status
expect_out "read text of a main-window control" "Searching for boards..." read text main status
expect_out "wait-units with at least" "4" wait-units 2+ 1000 -- read count

expect_out "select by index and by text" $'1\n2' select 1 "unit C" -- read selected
CHECKS=$((CHECKS + 1))
flags=$(ud read units | cut -f1 | tr -d '\n')
[ "$flags" = "0110" ] || fail "read units flags: expected 0110, got $flags"
expect_out "deselect" "2" deselect 1 -- read selected
expect_out "select-all" $'0\n1\n2\n3' select-all -- read selected
expect_out "select-none" "" select-none -- read selected
expect_out "select-only with non-ASCII text" $'0\n3' select-only 0 "Prüfstand" -- read selected
expect_rc "select of a missing line" 2 select 9
expect_ok "select-none again" select-none

# --- message boxes and a disabled main window -------------------------------------------------------------

expect_ok "Download with nothing selected opens a message box" menu download -- wait-msgbox 3000
expect_out "msgbox shows caption and text" $'Tarnwell\nNo boards selected.' msgbox
expect_out "dialogs shows the box over the disabled main window" \
    "Tarnwell${TAB}#32770${TAB}enabled
Quellmoor${TAB}#32770${TAB}disabled" dialogs
expect_rc "a menu choice on the disabled main window is refused" 3 --timeout 300 menu search
expect_out "--force acts on the disabled window" "0" --force select 0 -- read selected
expect_ok "msgbox-ok closes it" msgbox-ok -- wait-enabled main 3000 -- wait-status "message box closed" 3000
expect_ok "a second message box" select-none -- menu download -- wait-msgbox 3000
expect_ok "msgbox-click by text closes it" msgbox-click OK -- wait-enabled main 3000

# --- keys in the main window --------------------------------------------------------------------------------

expect_ok "Enter reaches the main window as IDOK" key enter -- wait-status "command 1" 3000

# --- the About box: system menu and every way of closing it -----------------------------------------------

about_closes() {
    local how=$1
    shift
    expect_ok "sysmenu 16 opens the About box (then $how)" sysmenu 16 -- wait-dialog "$ABOUT" 3000
    expect_ok "the About box closes with $how" "$@" -- wait-gone "$ABOUT" 3000
}
about_closes Enter key enter
about_closes Escape key escape
about_closes "Escape by SendInput" --input key escape
about_closes "the close box" close "$ABOUT"
about_closes Alt+F4 altf4
about_closes "its OK button" click "$ABOUT" OK
expect_ok "sysmenu 16 once more" sysmenu 16 -- wait-dialog "$ABOUT" 3000
expect_rc "the About box is not a message box" 2 --timeout 300 msgbox
expect_ok "click by control name" click "$ABOUT" ok -- wait-gone "$ABOUT" 3000
expect_ok "sysmenu 31 opens the About box" sysmenu 31 -- wait-dialog "$ABOUT" 3000 -- key escape -- \
    wait-gone "$ABOUT" 3000
expect_out "sysmenu 15 and 32 open nothing" "Quellmoor${TAB}#32770${TAB}enabled" \
    sysmenu 15 -- sysmenu 32 -- sleep 100 -- dialogs

# --- Ping Specific: the IP address control -----------------------------------------------------------------

expect_ok "menu ping-specific" menu ping-specific -- wait-dialog "$SPECIFIC" 3000
expect_out "focus starts on OK" "$SPECIFIC${TAB}1${TAB}Button" read focus
expect_out "ip-get of a fresh control" "0.0.0.0" ip-get "$SPECIFIC" ip-address
expect_out "ip-set and ip-get" "192.168.1.5" ip-set "$SPECIFIC" ip-address 192.168.1.5 -- ip-get "$SPECIFIC" 1021
expect_out "ip-fields" "192.168.1.5" ip-fields "$SPECIFIC" ip-address
expect_out "blank fields read back as 0" $'10.0.3.0\n10..3.' \
    ip-set "$SPECIFIC" ip-address 10..3. -- ip-get "$SPECIFIC" ip-address -- ip-fields "$SPECIFIC" ip-address
expect_out "ip-clear blanks every field" $'...\n0.0.0.0' \
    ip-clear "$SPECIFIC" ip-address -- ip-fields "$SPECIFIC" ip-address -- ip-get "$SPECIFIC" ip-address
expect_rc "ip-set refuses a bad address" 1 ip-set "$SPECIFIC" ip-address 1.2.3.256
expect_ok "OK returns the address" ip-set "$SPECIFIC" ip-address 192.168.1.5 -- click "$SPECIFIC" OK -- \
    wait-gone "$SPECIFIC" 3000 -- wait-status "specific 192.168.1.5" 3000
expect_out "reopened with the stored address" "192.168.1.5" \
    menu ping-specific -- wait-dialog "$SPECIFIC" 3000 -- ip-get "$SPECIFIC" ip-address
expect_ok "Cancel button" click "$SPECIFIC" cancel -- wait-status "specific cancelled" 3000

# --- Ping List: typing, Ctrl+Enter, Enter, Escape; the keyboard route through the menu bar ----------------

expect_ok "menu --keys ping-list" menu --keys ping-list -- wait-dialog "$LIST" 3000
expect_out "Tab moves the focus to Cancel" "$LIST${TAB}2${TAB}Button" key tab -- read focus
expect_out "Shift+Tab twice wraps round to the edit" "$LIST${TAB}1013${TAB}Edit" key shift+tab,shift+tab -- read focus
expect_out "type, Ctrl+Enter, type" $'10.0.0.5\n10.0.0.6' type "$LIST" ip-list 10.0.0.5 -- key ctrl+enter -- \
    type "$LIST" ip-list 10.0.0.6 -- read text "$LIST" ip-list
expect_out "focus follows typing" "$LIST${TAB}1013${TAB}Edit" read focus
expect_ok "Enter in the edit presses OK" key enter -- wait-gone "$LIST" 3000 -- \
    wait-status "list 10.0.0.5|10.0.0.6" 3000
expect_out "reopened with the stored list" $'10.0.0.5\n10.0.0.6' \
    menu ping-list -- wait-dialog "$LIST" 3000 -- read text "$LIST" ip-list
expect_ok "Escape inside the edit cancels" focus "$LIST" ip-list -- key escape -- wait-gone "$LIST" 3000 -- \
    wait-status "list cancelled" 3000
expect_out "type with a line break in the text" $'1.1.1.1\n2.2.2.2' menu ping-list -- wait-dialog "$LIST" 3000 -- \
    type "$LIST" ip-list $'1.1.1.1\n2.2.2.2' -- read text "$LIST" ip-list
expect_out "settext" $'a\nb' settext "$LIST" ip-list $'a\nb' -- read text "$LIST" ip-list
expect_ok "a posted Ctrl+Enter carries no Ctrl state and presses OK" --post key ctrl+enter "$LIST" -- \
    wait-gone "$LIST" 3000 -- wait-status "list a|b" 3000

# --- the file dialog ---------------------------------------------------------------------------------------

expect_ok "File button and file-dialog with a Unix path" click main file-button -- file-dialog "$FIRMWARE" -- \
    wait-enabled main 5000
expect_match "read file shows the chosen file" '^[A-Z]:\\.*\\fw_vex\.bin$' read file
expect_ok "file-dialog-cancel" click main File -- file-dialog-cancel -- wait-enabled main 5000 -- \
    wait-status "file cancelled" 3000

# --- a running download: progress, and the inputs it drops ------------------------------------------------

expect_ok "download starts" select-all -- menu download -- wait-status "Downloading to 4 units" 3000
expect_ok "inputs during the download" menu search -- key escape -- close -- altf4 -- menu --keys search
expect_ok "wait-progress reaches 100" wait-progress 50+ 15000 -- wait-progress 100 15000 -- \
    wait-status "Download finished." 15000
CHECKS=$((CHECKS + 1))
status=$(ud read status)
searches=$(grep -c '^dropped 32775$' <<<"$status")
exits=$(grep -c '^dropped 2$' <<<"$status")
[ "$searches:$exits" = "2:3" ] || fail "dropped inputs: expected 2 searches and 3 exits, status was [$status]"
expect_out "read progress" "100" read progress
expect_ok "menu --keys search acts again" menu --keys search -- wait-status "Searching for boards..." 3000 -- \
    wait-units 4

# --- failures -----------------------------------------------------------------------------------------------

expect_rc "unknown verb" 1 frobnicate
expect_rc "wrong number of words" 1 click main
expect_rc "wait-dialog times out" 2 wait-dialog "No such dialog" 200
expect_rc "missing button" 2 --timeout 200 click main Nope
expect_rc "missing control" 2 --timeout 200 read text main 4242
expect_rc "wait-status times out" 2 wait-status "never shown" 200
expect_rc "bad key name" 1 key ctrl+nothing
expect_rc "no message box" 2 --timeout 200 msgbox-ok

# --- ways of ending the program ----------------------------------------------------------------------------

expect_ok "Escape ends the idle program" key escape -- wait-gone main 5000
stop_app
expect_rc "nothing to find after the end" 2 --timeout 200 read count

start_app vista
expect_ok "Vista-style file dialog" click main file-button -- file-dialog "$FIRMWARE" -- wait-enabled main 5000
expect_match "read file after the Vista-style dialog" '\\fw_vex\.bin$' read file
expect_ok "menu exit ends the program" menu exit -- wait-gone main 5000
stop_app

start_app
expect_ok "the close box ends the program" close -- wait-gone main 5000
stop_app

echo "$CHECKS checks, $FAILURES failed"
[ "$FAILURES" -eq 0 ]
