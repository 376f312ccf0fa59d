#!/usr/bin/env bash
# Discovery figures: Search to the last unit line with $BENCH_BOARDS boards answering.
source "$(dirname "$0")/common.sh"
start_program
# What one driver call costs by itself, taken off the figures below.
t0=$(now_ms); ui read count >/dev/null; t1=$(now_ms)
record "ui_call_ms $((t1 - t0))"
for run in 1 2 3; do
  t0=$(now_ms)
  ui menu search -- wait-units "$BENCH_BOARDS+" 60000 >/dev/null
  t1=$(now_ms)
  sleep 0.5
  record "discovery_${BENCH_BOARDS}_ms $((t1 - t0)) $(ui read count)"
done
record "rss_after_$BENCH_BOARDS $(rss_kib)"
stop_program
