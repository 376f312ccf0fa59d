#!/usr/bin/env bash
# Fleet figures: every board of a fleet flashed with one image, each board
# answering every data block 5 ms late (a board writing flash). The command line
# with several lanes, and the window one board after another. Every image is
# checked against the file by the simulator (--expect), and a run with any image
# missing or different, or any request flagged, is reported as failed.
source "$(dirname "$0")/lib.sh"
fw=$BENCH_DIR/fw/gur_arm_fw_256k.bin
sim_extra=(--expect "$fw")
board_set() { echo "name=FW GUR %d,ip=10.20.1.1,count=$1,latency=5"; }

run_cli_fleet() {  # BOARDS LANES
  local dir=$BENCH_DIR/sim/fleet list=$BENCH_DIR/fleet-$1.txt rc stats span
  head -n "$1" "$TW_BOARDS_FILE" >"$list"
  start_sim fleet "$(board_set "$1")" || { echo "failed simulator"; return; }
  /usr/bin/time -f "%e %U %S %M" -o "$dir/time.txt" \
    "$cli" flash "$fw" --list "$list" --parallel "$2" --quiet >"$dir/cli.out" 2>&1
  rc=$?
  stop_sim
  [ $rc = 0 ] || { keep_failure fleet; echo "failed exit-$rc"; return; }
  span=$("$py" "$root/bench/simq.py" fleet "$dir/summary.json" "$1")
  case "$span" in failed*) keep_failure fleet; echo "$span"; return ;; esac
  # wall s, CPU s (user + system), peak resident KiB; then the boards' span and one board's time.
  stats=$(awk '{printf "%s %.2f %s", $1, $2 + $3, $4}' "$dir/time.txt")
  echo "ok $stats ${span% *}"
}

for fleet in ${BENCH_FLEET:-8:1,8,32,64 64:8,32,64 254:8,32,64}; do
  boards=${fleet%%:*}
  for lanes in ${fleet#*:}; do
    [ "$lanes" = "${lanes//,/}" ] || { lanes=${lanes//,/ }; }
    for p in $lanes; do
      r=$(run_cli_fleet "$boards" "$p")
      record "fleet cli $boards $p $r"
      note "fleet $boards boards, $p lanes: $r"
    done
  done
done

# The window, one board after another, for the smallest fleet (BENCH_WINDOW_FLEET=0: not at all).
boards=${BENCH_WINDOW_FLEET:-8}
[ "$boards" != 0 ] || exit 0
dir=$BENCH_DIR/sim/fleet
start_window
start_sim fleet "$(board_set "$boards")"
ui menu search -- wait-units "$boards" 10000 >/dev/null
t_start=$SECONDS
choose_file "$fw"
ui select-all -- menu download >/dev/null
# The simulator writes each image at its reboot request; the window's last reboot
# request is answered at once, so a moment after the last image the run is over.
images() { find "$dir/out" -name "$(basename "$fw")" | wc -l; }
while [ "$(images)" -lt "$boards" ] && [ $((SECONDS - t_start)) -lt $((boards * 20 + 30)) ]; do
  sleep 0.1
done
sleep 0.5
stop_sim
span=$("$py" "$root/bench/simq.py" fleet "$dir/summary.json" "$boards")
case "$span" in failed*) r=$span ;; *) r="ok - - $(program_rss_kib) ${span% *}" ;; esac
record "fleet window $boards 1 $r"
note "fleet $boards boards, window: $r"
stop_program
