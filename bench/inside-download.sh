#!/usr/bin/env bash
# Download figures, µs per data block on one veth link, every run checked byte for byte:
# the window and the command line under Wine, the bare floor under Wine, the command
# line natively, tftp-hpa and the bare floor natively. The rows take turns within
# each round, so that a change in the machine's load reaches all of them alike.
source "$(dirname "$0")/lib.sh"

sizes=${BENCH_SIZES:-1m 16m}
latency_sizes=${BENCH_LATENCY_SIZES:-1m}
stopwait=$root/build/native/bench/stopwait
stopwait_exe=$root/build/win/bench/stopwait.exe
board_plain="name=FW GUR 1,ip=192.168.1.1"
board_slow="name=FW GUR 2,ip=192.168.1.2,latency=1"

# Board address (and helper addresses in the boards namespace) by latency in ms.
board_ip() { [ "$1" = 0 ] && echo 192.168.1.1 || echo 192.168.1.2; }
floor_ip() { [ "$1" = 0 ] && echo 192.168.1.4 || echo 192.168.1.3; }
tftp_ip() { [ "$1" = 0 ] && echo 192.168.1.6 || echo 192.168.1.5; }
firmware() { echo "$BENCH_DIR/fw/gur_arm_fw_$1.bin"; }
tftp_blocks() { echo $(( $(stat -c %s "$1") / 512 + 1 )); }

# Prints "ok <us per block>" or "failed <why>" for one run of one row.
run_window() {  # SIZE LATENCY
  local fw ip line dir got deadline r box
  fw=$(firmware "$1"); ip=$(board_ip "$2"); line=${window_line[$ip]}
  start_sim window "$board_plain" "$board_slow" || { echo "failed simulator"; return; }
  dir=$BENCH_DIR/sim/window
  got=$dir/out/$ip/$(basename "$fw")
  ui select-only "$line" -- menu download >/dev/null || { ui_recover; ui select-only "$line" -- menu download >/dev/null; }
  # The simulator writes the image at the reboot request; then the status says the board reboots.
  deadline=$(( SECONDS + 30 + $(stat -c %s "$fw") / 504 * (2 + $2 * 2) / 1000 ))
  while [ ! -e "$got" ] && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  ui wait-status "Unit at IP $ip is rebooting." 10000 >/dev/null
  stop_sim
  r=$(result "$fw" "$got" "$("$py" "$root/bench/simq.py" image "$dir/summary.json" "$ip")")
  case "$r" in
    failed*)
      # A message box the window opened says why; closing it lets the next run go on.
      box=$(ui msgbox 2>/dev/null | tr '\n' ' ' | tr -s ' ' - | cut -c1-80)
      [ -z "$box" ] || { ui msgbox-ok >/dev/null 2>&1; r="$r:$box"; }
      keep_failure window ;;
  esac
  echo "$r"
}

run_cli() {  # SIZE LATENCY [exe]
  local fw ip dir got rc
  fw=$(firmware "$1"); ip=$(board_ip "$2")
  start_sim cli "$board_plain" "$board_slow" || { echo "failed simulator"; return; }
  dir=$BENCH_DIR/sim/cli
  got=$dir/out/$ip/$(basename "$fw")
  if [ "${3:-}" = exe ]; then
    wine "$cli_exe" flash "$(winpath "$fw")" "$ip" --quiet >"$dir/cli.out" 2>&1
  else
    "$cli" flash "$fw" "$ip" --quiet >"$dir/cli.out" 2>&1
  fi
  rc=$?
  stop_sim
  [ $rc = 0 ] || { keep_failure cli; echo "failed exit-$rc"; return; }
  result "$fw" "$got" "$("$py" "$root/bench/simq.py" image "$dir/summary.json" "$ip")"
}

# result FILE IMAGE "<us> <blocks>"|"failed ...": the figure only when the bytes arrived intact.
result() {
  local check
  case "$3" in failed*) echo "$3"; return ;; esac
  check=$(check_image "$1" "$2")
  [ "$check" = ok ] && echo "ok ${3%% *}" || echo "failed $check"
}

run_floor() {  # SIZE LATENCY [exe]
  local fw out line reason
  fw=$(firmware "$1")
  out=$BENCH_DIR/floor/$2.bin
  rm -f "$out"
  if [ "${3:-}" = exe ]; then
    line=$(wine "$stopwait_exe" send 192.168.1.10 "$(floor_ip "$2")" 2017 "$(winpath "$fw")" 2>"$BENCH_DIR/floor.err" |
      tr -d '\r')
  else
    line=$("$stopwait" send 192.168.1.10 "$(floor_ip "$2")" 2017 "$fw" 2>"$BENCH_DIR/floor.err")
  fi
  if [ -z "$line" ]; then
    reason=$(grep -v '^it looks like\|^multiarch\|^execute\|^apt-get\|err:' "$BENCH_DIR/floor.err" | tail -1 | tr ' ' -)
    echo "failed ${reason:-no-output}"
    return
  fi
  result "$fw" "$out" "$(echo "$line" | awk '{print $3, $1}')"
}

run_tftp() {  # SIZE LATENCY
  local fw name t0 t1 rc
  fw=$(firmware "$1")
  name=run-$RANDOM$RANDOM.bin
  t0=$(date +%s%N)
  tftp -m binary "$(tftp_ip "$2")" -c put "$fw" "$name" >"$BENCH_DIR/tftp.out" 2>&1
  rc=$?
  t1=$(date +%s%N)
  [ $rc = 0 ] || { echo "failed exit-$rc"; return; }
  # A failed put may still print nothing and leave a short file: the bytes decide.
  result "$fw" "$BENCH_DIR/tftp/$2/$name" "$(awk -v ns=$((t1 - t0)) -v b="$(tftp_blocks "$fw")" \
    'BEGIN {printf "%.2f %d", ns / 1000 / b, b}')"
  rm -f "$BENCH_DIR/tftp/$2/$name"
}

# Helpers in the boards namespace: two tftpd-hpa servers (the second holds each
# acknowledgement 1 ms, through a preloaded shim) and two floor responders.
for lat in 0 1; do
  mkdir -p "$BENCH_DIR/tftp/$lat" "$BENCH_DIR/floor"
  chmod 777 "$BENCH_DIR/tftp/$lat"
  ip netns exec "$TW_BOARDS_NS" env LD_PRELOAD="$root/build/native/bench/libackdelay.so" BENCH_ACK_DELAY_US=$((lat * 1000)) \
    in.tftpd -L -c -s "$BENCH_DIR/tftp/$lat" -a "$(tftp_ip $lat):69" >"$BENCH_DIR/tftpd-$lat.log" 2>&1 &
  bd_pids+=($!)
  ip netns exec "$TW_BOARDS_NS" "$stopwait" respond "$(floor_ip $lat)" 2017 "$BENCH_DIR/floor/$lat.bin" \
    $((lat * 1000)) 2>"$BENCH_DIR/floor-$lat.log" &
  bd_pids+=($!)
done

# BENCH_ROWS picks rows (all by default).
read -r -a rows <<<"${BENCH_ROWS:-window cli_exe floor_exe cli tftp floor}"
declare -A window_line
if [[ " ${rows[*]} " == *" window "* ]]; then
  start_window
  start_sim window "$board_plain" "$board_slow"
  ui menu search -- wait-units 2 10000 >/dev/null
  i=0
  while IFS= read -r text; do
    for ip in 192.168.1.1 192.168.1.2; do
      case "$text" in *"$ip"*) window_line[$ip]=$i ;; esac
    done
    i=$((i + 1))
  done < <(ui read units)
  stop_sim
  record "rss window idle $(program_rss_kib)"
fi

# One round that counts for nothing first: Wine's first runs in a fresh namespace are slow.
for row in "${rows[@]}"; do
  case $row in
    cli_exe) run_cli 64k 0 exe >/dev/null ;;
    floor_exe) run_floor 64k 0 exe >/dev/null ;;
  esac
done

conditions=()
for size in $sizes; do conditions+=("$size 0"); done
for size in $latency_sizes; do conditions+=("$size 1"); done
# The window's file is chosen once for each image: the file dialog is no part of a timed run.
for condition in "${conditions[@]}"; do
  read -r size lat <<<"$condition"
  [ -z "${window_line[*]}" ] || choose_file "$(firmware "$size")"
  for run in $(seq "$runs"); do
    for row in "${rows[@]}"; do
      case $row in
        window) r=$(run_window "$size" "$lat") ;;
        cli_exe) r=$(run_cli "$size" "$lat" exe) ;;
        floor_exe) r=$(run_floor "$size" "$lat" exe) ;;
        cli) r=$(run_cli "$size" "$lat") ;;
        tftp) r=$(run_tftp "$size" "$lat") ;;
        floor) r=$(run_floor "$size" "$lat") ;;
      esac
      record "dl $row $size $lat $r"
      note "download $size latency ${lat}ms run $run $row: $r"
    done
  done
  [ -z "${window_line[*]}" ] || record "rss window after_${size}_$lat $(program_rss_kib)"
done
[ -z "${window_line[*]}" ] || stop_program
