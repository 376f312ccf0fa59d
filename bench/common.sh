# Shared by the benchmark's inside parts: the program and the UI driver.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ui() { wine "$root/build/win/tools/uidriver/uidriver.exe" "$@" 2>>"$BENCH_DIR/ui.err" | tr -d '\r'; }
start_program() {
  ( cd "$BENCH_DIR/app" && exec wine "$BENCH_DIR/app/Tarnwell.exe" ) >/dev/null 2>&1 &
  ui --timeout 30000 wait-main 30000 >/dev/null
}
stop_program() { ui menu exit -- wait-gone main 5000 >/dev/null; wineserver -k 2>/dev/null; }
rss_kib() { awk '/VmRSS/ {print $2}' "/proc/$(pgrep -f 'app/Tarnwell.exe' | head -1)/status" 2>/dev/null; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
record() { echo "$*" >>"$BENCH_DIR/results.txt"; }
