# Shared by the benchmark's inside parts (they run in the test bed's workstation
# namespace): the programs, the UI driver, simulators and helpers started in the
# boards namespace, and the results file.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sim=$root/build/native/tools/boardsim/boardsim
cli=$root/build/native/cli/tarnwell-cli
cli_exe=$root/build/win/cli/tarnwell-cli.exe
runs=${BENCH_RUNS:-7}

# Starting and stopping the window and the UI driver are the tests' own.
HARNESS_NAME=bench
HARNESS_UI_ERR=$BENCH_DIR/ui.err
HARNESS_APP_DIR=$BENCH_DIR/app
# Wine's first program in a namespace starts its services too: on a busy machine that takes long.
HARNESS_START_TIMEOUT_MS=120000
source "$root/tests/lib/harness.sh"
# Debian's own Python, the one python3-matplotlib is for (not one earlier on PATH).
py=/usr/bin/python3
[ -x "$py" ] || py=python3

# Closes a dialog a failed step left open over the window.
ui_recover() { ui file-dialog-cancel >/dev/null 2>&1; ui msgbox-ok >/dev/null 2>&1; ui wait-enabled main 2000 >/dev/null; }
record() { echo "$*" >>"$BENCH_DIR/results.txt"; }
note() { echo "bench: $*" >&2; }

# The window, started once per part; its settings file lands in $BENCH_DIR/app.
start_window() {
  start_program || return 1
  wine_here || note "this prefix's Wine server runs outside this namespace: its sockets are not ours"
}
# The prefix's Wine server (which owns every socket of its programs) runs in this network namespace.
wine_here() {
  local p
  for p in $(pgrep wineserver); do
    case $(readlink "/proc/$p/cwd") in
      */"$BENCH_WINE_SERVER") [ "$(readlink "/proc/$p/ns/net")" = "$(readlink /proc/self/ns/net)" ]; return ;;
    esac
  done
  return 1
}
# choose_file FILE: the window's File button and dialog, tried again if a step fails under load.
choose_file() {
  local _
  for _ in 1 2 3; do
    pick_file "$(winpath "$1")" &&
      ui read file | grep -qF "$(basename "$1")" && return 0
    ui_recover
  done
  note "the window did not take $1"
  return 1
}
# Resident size of this run's window (matched by its own path, never another Tarnwell.exe).
program_rss_kib() {
  local pid
  pid=$(pgrep -f "$BENCH_DIR/app/Tarnwell.exe" | head -1)
  [ -n "$pid" ] && awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null
}

# Processes this part started in the boards namespace; each is ended by its own id
# (started as "ip netns exec ... &", the id is the program's: ip execs it).
bd_pids=()
end_pid() {
  local pid=$1 _
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
end_boards_helpers() { local p; for p in "${bd_pids[@]}"; do end_pid "$p"; done; bd_pids=(); }
trap end_boards_helpers EXIT

# start_sim NAME BOARD...: a simulator of its own for one run, its images in
# $BENCH_DIR/sim/NAME/out and its summary in $BENCH_DIR/sim/NAME/summary.json;
# sim_extra holds further options for it.
sim_extra=()
start_sim() {
  local name=$1 dir=$BENCH_DIR/sim/$1 args=() b _
  shift
  rm -rf "$dir"
  mkdir -p "$dir/out"
  for b in "$@"; do args+=(--board "$b"); done
  ip netns exec "$TW_BOARDS_NS" "$sim" --quiet --out "$dir/out" --summary "$dir/summary.json" --ready-file "$dir/ready" \
    --log "$dir/sim.log" "${sim_extra[@]}" "${args[@]}" >"$dir/verdict.txt" 2>&1 &
  sim_pid=$!
  for _ in $(seq 200); do [ -e "$dir/ready" ] && return 0; sleep 0.02; done
  note "simulator $name did not start"; return 1
}
# Ends the run's simulator, which then writes its summary.
stop_sim() { end_pid "$sim_pid"; }

# Keeps a failed run's simulator files (log, verdict, summary) in $BENCH_OUT/failed.
keep_failure() {
  local to=${BENCH_OUT:-$BENCH_DIR}/failed/$1-$(date +%H%M%S)-$RANDOM
  mkdir -p "$to" && cp "$BENCH_DIR/sim/$1"/{sim.log,verdict.txt,summary.json} "$to/" 2>/dev/null
  cp "$BENCH_DIR/sim/$1/cli.out" "$to/" 2>/dev/null
  return 0
}

# An image the simulator assembled, against the file: "ok" or why not.
check_image() {  # check_image FILE GOT
  if [ ! -f "$2" ]; then echo "no-image"
  elif cmp -s "$1" "$2"; then echo ok
  else echo "differs"
  fi
}
