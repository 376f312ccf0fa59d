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
E2E_FAILS=0

e2e_log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

fail() {
  e2e_log "FAIL: $*"
  E2E_FAILS=$((E2E_FAILS + 1))
}

expect_eq() {  # expect_eq WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    fail "$1: expected [$2], got [$3]"
  fi
}

expect_contains() {  # expect_contains WHAT NEEDLE HAYSTACK
  case "$3" in *"$2"*) ;; *) fail "$1: [$2] not found in [$3]" ;; esac
}

# e2e_begin LAYOUT COUNT BOARDSIM-ARGS...: outside, builds the test bed and re-runs
# this script inside it; inside, returns at once.
e2e_begin() {
  local layout=$1 count=$2
  shift 2
  if [ -n "${E2E_INSIDE:-}" ]; then
    return 0
  fi
  if [ "$(id -u)" != 0 ]; then
    echo "skipped: needs root for network namespaces"
    exit 0
  fi
  export E2E_DIR
  E2E_DIR=$(mktemp -d /tmp/twe2e-XXXXXX)
  mkdir -p "$E2E_DIR/app" "$E2E_DIR/images"
  cp "$E2E_WIN/Tarnwell.exe" "$E2E_DIR/app/Tarnwell.exe"
  # Every Wine process of the test starts inside the namespace, so that the Wine
  # services answering adapter queries see this namespace's adapters.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  local simcmd
  simcmd=$(printf '%q ' "$E2E_BOARDSIM" --out "$E2E_DIR/images" --summary "$E2E_DIR/summary.json" \
           --log "$E2E_DIR/sim.log" "$@")
  E2E_INSIDE=1 "$E2E_ROOT/tools/testbed.sh" --quiet --layout "$layout" --count "$count" \
    --boards-log "$E2E_DIR/sim.out" --boards-cmd "$simcmd" -- bash "$0"
  local status=$?
  wineserver -k 2>/dev/null
  if [ $status -ne 0 ]; then
    e2e_log "simulator log tail:"
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

# Starts the program with the given command line; the settings file lands in $E2E_DIR/app.
start_program() {
  ( cd "$E2E_DIR/app" && exec wine "$E2E_DIR/app/Tarnwell.exe" "$@" ) >/dev/null 2>&1 &
  E2E_PROGRAM=$!
  ui --timeout 30000 wait-main 30000 >/dev/null || fail "the main window did not open"
}

stop_program() {
  ui close >/dev/null 2>&1
  ui wait-gone main 5000 >/dev/null 2>&1
  kill "${E2E_PROGRAM:-0}" 2>/dev/null
  # The next start must find no server of this prefix still going down.
  wineserver -k 2>/dev/null
  timeout 10 wineserver -w 2>/dev/null
}

# ui VERB...: the UI driver.
ui() {
  wine "$E2E_WIN/tools/uidriver/uidriver.exe" "$@" 2>>"$E2E_DIR/ui.err" | tr -d '\r'
}

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

# Ends the inside run with the test's verdict.
e2e_end() {
  stop_program
  if [ "$E2E_FAILS" -ne 0 ]; then
    e2e_log "$E2E_FAILS check(s) failed"
    exit 1
  fi
  exit 0
}

# make_image NAME SIZE: a firmware image of SIZE bytes; prints its Windows path.
make_image() {
  mkdir -p "$E2E_DIR/fw"
  head -c "$2" /dev/urandom >"$E2E_DIR/fw/$1"
  winpath "$E2E_DIR/fw/$1"
}

winpath() {
  echo "Z:$1" | tr '/' '\\'
}

# choose_file WINDOWS-PATH: the File button, then the file dialog.
choose_file() {
  ui click main file-button -- file-dialog "$1" >/dev/null || fail "could not choose $1"
}

# wait_ready: the download is over once Search acts again; the status shows it.
wait_download_end() {  # wait_download_end TEXT [ms]: waits for TEXT in the status log
  ui wait-status "$1" "${2:-60000}" >/dev/null || fail "the status log never showed [$1]"
}

# The image the simulator assembled for a board must equal the file.
expect_image() {  # expect_image BOARD-IP FILE
  local got="$E2E_DIR/images/$1/$(basename "$2")"
  if ! cmp -s "$got" "$2"; then
    fail "image at $1 differs from $(basename "$2") ($(stat -c %s "$got" 2>/dev/null || echo none) bytes)"
  fi
}
