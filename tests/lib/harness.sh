# One library for every shell test, the benchmarks and the demo: messages and
# checks, skipping what cannot run here, the UI driver, and Tarnwell.exe started
# and stopped under Wine. Source it; it defines functions and a few variables.
#
# A script whose parts run in other processes (inside the test bed) sets
# HARNESS_FAIL_FILE, so that failures found there count where the verdict is made.

HARNESS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
HARNESS_NAME=${HARNESS_NAME:-$(basename "$0")}
HARNESS_FAILS=0
HARNESS_UIDRIVER=${HARNESS_UIDRIVER:-$HARNESS_ROOT/build/win/tools/uidriver/uidriver.exe}

h_log() { printf '[%s] %s\n' "$HARNESS_NAME" "$*" >&2; }

fail() {
  h_log "FAIL: $*"
  HARNESS_FAILS=$((HARNESS_FAILS + 1))
  [ -z "${HARNESS_FAIL_FILE:-}" ] || echo "$*" >>"$HARNESS_FAIL_FILE"
}

expect_eq() {  # expect_eq WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

expect_contains() {  # expect_contains WHAT NEEDLE HAYSTACK
  case "$3" in *"$2"*) ;; *) fail "$1: [$2] not found in [$3]" ;; esac
}

expect_line() {  # expect_line WHAT LINE TEXT: TEXT holds LINE as a whole line
  grep -qxF -- "$2" <<<"$3" || fail "$1: no line [$2] in [$3]"
}

json_field() {  # json_field FILE PYTHON-EXPRESSION over the document d
  python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"
}

# The number of failures so far, this process's and those its parts wrote.
harness_failures() {
  local written=0
  [ -z "${HARNESS_FAIL_FILE:-}" ] || [ ! -s "$HARNESS_FAIL_FILE" ] || written=$(wc -l <"$HARNESS_FAIL_FILE")
  [ -n "${HARNESS_FAIL_FILE:-}" ] && echo "$written" || echo "$HARNESS_FAILS"
}

# Ends the script with its verdict: 0 when nothing failed.
harness_verdict() {
  local n
  n=$(harness_failures)
  if [ "$n" -ne 0 ]; then
    h_log "$n check(s) failed"
    exit 1
  fi
  exit 0
}

# A test that cannot run here exits 77, which CTest reports as skipped.
skip_unless_netns() {
  if [ "$(id -u)" != 0 ] || ! ip netns list >/dev/null 2>&1; then
    echo "skipped: needs root for network namespaces"
    exit 77
  fi
}

# ui VERB...: the UI driver. Its complaints go to $HARNESS_UI_ERR, each after a
# line with the time, the words it was given and its exit status, so that a
# failed test can show which step gave up and what it saw (show_ui_err).
ui() {
  if [ -z "${HARNESS_UI_ERR:-}" ]; then
    wine "$HARNESS_UIDRIVER" "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
  fi
  local rc err=$HARNESS_UI_ERR.$BASHPID
  wine "$HARNESS_UIDRIVER" "$@" 2>"$err" | tr -d '\r'
  rc=${PIPESTATUS[0]}
  if [ "$rc" != 0 ] || [ -s "$err" ]; then
    { printf '%s ui %s: exit %s\n' "$(date +%T.%3N)" "$*" "$rc"; cat "$err"; } >>"$HARNESS_UI_ERR"
  fi
  rm -f "$err"
  return "$rc"
}

# show_ui_err: the driver's complaints so far, on standard error.
show_ui_err() {
  [ -s "${HARNESS_UI_ERR:-}" ] || return 0
  h_log "the UI driver's complaints ($HARNESS_UI_ERR):"
  sed 's/^/  /' "$HARNESS_UI_ERR" >&2
}

# start_program [ARGS...]: Tarnwell.exe from $HARNESS_APP_DIR, where its settings
# file lands; waits for the main window (HARNESS_START_TIMEOUT_MS, 30 s unless
# set), and fails when it does not open.
start_program() {
  ( cd "$HARNESS_APP_DIR" && exec wine "$HARNESS_APP_DIR/Tarnwell.exe" "$@" ) >/dev/null 2>&1 &
  HARNESS_PROGRAM=$!
  local wait=${HARNESS_START_TIMEOUT_MS:-30000}
  ui --timeout "$wait" wait-main "$wait" >/dev/null || { fail "the main window did not open"; return 1; }
}

# Closes the window as a user would, then makes sure nothing of Wine is left.
stop_program() {
  ui close >/dev/null 2>&1
  ui wait-gone main 5000 >/dev/null 2>&1
  [ -z "${HARNESS_PROGRAM:-}" ] || kill "$HARNESS_PROGRAM" 2>/dev/null
  # The next start must find no server of this prefix still going down.
  wineserver -k 2>/dev/null
  timeout 10 wineserver -w 2>/dev/null
}

# winpath PATH: the path as a program under Wine sees it, on drive Z:.
winpath() {
  echo "Z:$1" | tr '/' '\\'
}

# pick_file WINDOWS-PATH: the window's File button, then its file dialog, until
# the dialog has closed; the status says whether the driver got through both. A
# busy machine takes seconds to open a file dialog: it is given 30.
pick_file() {
  ui click main file-button -- file-dialog "$1" 30000 >/dev/null
}

# The addresses of the listed units, in list order, each followed by a space:
# the third field of a unit line, "IP=address".
unit_ips() {
  ui read units | cut -f3 | sed 's/^IP=//' | tr '\n' ' '
}
