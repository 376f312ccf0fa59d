#!/usr/bin/env bash
# Discovery figures with $BENCH_BOARDS boards answering, from timestamps only: from
# the moment the first discovery request leaves the workstation (the kernel's
# timestamp of the datagram on ws0) to the moment the last unit line exists (the
# window: the UI driver's clock the moment the unit list holds them all; the
# command line: its own log's stamp of the last unit line).
source "$(dirname "$0")/lib.sh"
n=$BENCH_BOARDS
wait_ms=$((5000 + n * 5))

# Starts the watcher of the first request; "first_out" prints its timestamp.
watch_first() {
  rm -f "$BENCH_DIR/first.ready" "$BENCH_DIR/first.out"
  "$py" "$root/bench/firstout.py" ws0 "$BENCH_DIR/first.ready" 60 >"$BENCH_DIR/first.out" &
  watcher=$!
  for _ in $(seq 200); do [ -e "$BENCH_DIR/first.ready" ] && return; sleep 0.02; done
}
first_out() { wait "$watcher" 2>/dev/null; cat "$BENCH_DIR/first.out"; }
ms_between() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", (b - a) * 1000}'; }

# The window: Search, then the driver's clock once the list holds every board.
start_window
for run in $(seq "$runs"); do
  watch_first
  t1=$(ui --poll 1 menu search -- wait-units "$n+" "$wait_ms" -- clock)
  t0=$(first_out)
  sleep 0.3
  count=$(ui read count)
  if [ -n "$t0" ] && [ -n "$t1" ]; then r="ok $(ms_between "$t0" "$t1") $count"
  else r="failed listed $count"; fi
  record "disc window $n $r"
  note "discovery $n window run $run: $r"
done
record "rss window after_$n $(program_rss_kib)"
stop_program

# The command line asks every board by address (a Ping List) and ends once all
# have answered; its log stamps each unit line (to the millisecond).
for exe in cli cli_exe; do
  for run in $(seq "$runs"); do
    log=$BENCH_DIR/disc.log
    rm -f "$log"
    watch_first
    if [ $exe = cli_exe ]; then
      wine "$cli_exe" discover --list "$(winpath "$TW_BOARDS_FILE")" --wait 30 --quiet --log "$(winpath "$log")" \
        >"$BENCH_DIR/disc.out" 2>/dev/null
    else
      "$cli" discover --list "$TW_BOARDS_FILE" --wait 30 --quiet --log "$log" >"$BENCH_DIR/disc.out" 2>/dev/null
    fi
    rc=$?
    t0=$(first_out)
    count=$(tr -d '\r' <"$BENCH_DIR/disc.out" | grep -c .)
    t1=$(tr -d '\r' <"$log" 2>/dev/null | tail -1 | "$py" -c '
import datetime, sys
stamp = sys.stdin.read().split(" ", 1)[0]
try:
    print(datetime.datetime.strptime(stamp, "%Y-%m-%dT%H:%M:%S.%fZ").replace(tzinfo=datetime.timezone.utc).timestamp())
except ValueError:
    pass')
    if [ $rc = 0 ] && [ -n "$t0" ] && [ -n "$t1" ]; then r="ok $(ms_between "$t0" "$t1") $count"
    else r="failed listed $count"; fi
    record "disc $exe $n $r"
    note "discovery $n $exe run $run: $r"
  done
  # A broadcast has no end but the wait: only the count it lists.
  if [ $exe = cli_exe ]; then
    wine "$cli_exe" discover --wait 2 --quiet >"$BENCH_DIR/disc.out" 2>/dev/null
  else
    "$cli" discover --wait 2 --quiet >"$BENCH_DIR/disc.out" 2>/dev/null
  fi
  record "disccount $exe $n $(tr -d '\r' <"$BENCH_DIR/disc.out" | grep -c .)"
done
wineserver -k 2>/dev/null
