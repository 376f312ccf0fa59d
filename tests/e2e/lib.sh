# Shared by the end-to-end tests: the real Tarnwell.exe under Wine inside the
# namespace test bed, the board simulator as the boards, the UI driver as the user.
#
# A test script calls e2e_begin LAYOUT BOARDSIM-ARGS... once; that re-runs the
# script inside the test bed's workstation namespace (with the simulator in the
# boards namespace) and the rest of the script runs there.
set -uo pipefail

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_WIN=${E2E_WIN:-$E2E_ROOT/build/win}
E2E_BOARDSIM=${E2E_BOARDSIM:-$E2E_ROOT/build/native/tools/boardsim/boardsim}
export WINEPREFIX=${WINEPREFIX:-$E2E_ROOT/build/wineprefix}
source "$E2E_ROOT/scripts/wine-env.sh"
export WINEDEBUG=-all
source "$E2E_ROOT/tests/lib/harness.sh"
HARNESS_UIDRIVER=${E2E_UIDRIVER:-$E2E_WIN/tools/uidriver/uidriver.exe}

# e2e_begin LAYOUT COUNT BOARDSIM-ARGS...: outside, builds the test bed and re-runs
# this script inside it; inside, returns at once.
e2e_begin() {
  local layout=$1 count=$2
  shift 2
  if [ -n "${E2E_INSIDE:-}" ]; then
    return 0
  fi
  skip_unless_netns
  export E2E_DIR
  E2E_DIR=$(mktemp -d /tmp/twe2e-XXXXXX)
  mkdir -p "$E2E_DIR/app" "$E2E_DIR/images"
  cp "$E2E_WIN/Tarnwell.exe" "$E2E_DIR/app/Tarnwell.exe"
  # A Wine prefix and an X display of the test's own: tests run side by side,
  # each with its own Wine server, and no window of one test takes the focus
  # from another's.
  WINEPREFIX=$("$E2E_ROOT/scripts/wine-prefix.sh" "e2e.$(basename "$0" .sh)") || exit 1
  export WINEPREFIX
  # Every Wine process of the test starts inside the namespace, so that the Wine
  # services answering adapter queries see this namespace's adapters.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  local simcmd
  simcmd=$(printf '%q ' "$E2E_BOARDSIM" --out "$E2E_DIR/images" --summary "$E2E_DIR/summary.json" \
           --log "$E2E_DIR/sim.log" "$@")
  E2E_INSIDE=1 TARNWELL_XVFB=1 "$E2E_ROOT/scripts/with-display.sh" \
    "$E2E_ROOT/tools/testbed.sh" --quiet --layout "$layout" --count "$count" \
    --boards-log "$E2E_DIR/sim.out" --boards-cmd "$simcmd" -- bash "$0"
  local status=$?
  wineserver -k 2>/dev/null
  if [ $status -ne 0 ]; then
    HARNESS_UI_ERR=$E2E_DIR/ui.err show_ui_err
    h_log "simulator log tail:"
    tail -n 30 "$E2E_DIR/sim.log" "$E2E_DIR/sim.out" >&2 2>/dev/null
  fi
  if [ -f "$E2E_DIR/summary.json" ] && [ $status -eq 0 ]; then
    e2e_after "$E2E_DIR/summary.json" || status=1
  fi
  rm -rf "$E2E_DIR"
  exit $status
}

# Checks made on the simulator's final summary, outside the namespaces; a test
# may define its own e2e_after.
if ! declare -F e2e_after >/dev/null; then
  e2e_after() { return 0; }
fi

# The program runs from $E2E_DIR/app, where its settings file lands; the UI
# driver's complaints are kept beside it.
HARNESS_APP_DIR=${E2E_DIR:-}/app
HARNESS_UI_ERR=${E2E_DIR:+$E2E_DIR/ui.err}

# A snapshot of the simulator's summary, written on SIGUSR1.
sim_snapshot() {
  rm -f "$E2E_DIR/summary.json"
  kill -USR1 "$TW_BOARDS_PID"
  for _ in $(seq 100); do
    [ -s "$E2E_DIR/summary.json" ] && break
    sleep 0.05
  done
}

simq() {
  python3 "$E2E_ROOT/tests/e2e/simq.py" "$E2E_DIR/summary.json" "$@"
}

settings_file() {
  cat "$E2E_DIR/app/Tarnwell.ini" 2>/dev/null | tr -d '\r'
}

# expect_setting WHAT TEXT: the settings file comes to hold TEXT. The window
# writes a setting once the dialog that chose it has gone, so a test that saw
# the dialog go waits for the write, up to 5 s.
expect_setting() {
  local i
  for i in $(seq 100); do
    case "$(settings_file)"$'\n' in *"$2"*) return 0 ;; esac
    sleep 0.05
  done
  fail "$1: [$2] not found in [$(settings_file)]"
}

# Ends the inside run with the test's verdict.
e2e_end() {
  stop_program
  harness_verdict
}

# make_image NAME SIZE: a firmware image of SIZE bytes; prints its Windows path.
make_image() {
  mkdir -p "$E2E_DIR/fw"
  head -c "$2" /dev/urandom >"$E2E_DIR/fw/$1"
  winpath "$E2E_DIR/fw/$1"
}

# choose_file WINDOWS-PATH: the File button, then the file dialog.
choose_file() {
  pick_file "$1" || fail "could not choose $1"
}

# wait_ready: the download is over once Search acts again; the status shows it.
wait_download_end() {  # wait_download_end TEXT [ms]: waits for TEXT in the status log
  ui wait-status "$1" "${2:-60000}" >/dev/null || fail "the status log never showed [$1]"
}

# The image the simulator assembled for a board must equal the file. The status
# says "is rebooting" once the reboot request is sent; the simulator may still be
# taking it, so the image is given a few seconds to appear.
expect_image() {  # expect_image BOARD-IP FILE
  local got="$E2E_DIR/images/$1/$(basename "$2")" _
  for _ in $(seq 100); do
    cmp -s "$got" "$2" && return 0
    sleep 0.05
  done
  fail "image at $1 differs from $(basename "$2") ($(stat -c %s "$got" 2>/dev/null || echo none) bytes)"
}

# when_ready VERB...: the driver's words, given again until they succeed (15 s at
# most); they end with a wait for what the command shows. Nothing on screen shows
# the end of a download: the window takes the commands it holds back during a
# download (Search, Download, Exit) again once it has handled the last board's
# answer, a moment after the status shows the board's last line. Until then such
# a command is dropped without a trace.
when_ready() {
  local deadline=$((SECONDS + 15))
  until ui "$@" >/dev/null; do
    [ $SECONDS -lt $deadline ] || return 1
  done
}

# search_when_ready: Search, as soon as the window takes it again.
search_when_ready() {
  when_ready menu search -- wait-status "Searching for boards..." 1000
}
