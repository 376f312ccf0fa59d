#!/usr/bin/env bash
# Download figures: the program, tftp-hpa and the bare floor on one veth link.
source "$(dirname "$0")/common.sh"
start_program
ui menu search -- wait-units 1 10000 >/dev/null
record "rss_idle $(rss_kib)"
runs=3
[ "$BENCH_QUICK" = --quick ] && runs=1

# Each figure is taken twice: with the CPUs idle, and with a spinner of the lowest
# priority on every CPU. A stop-and-wait block wakes a sleeping process at every
# hop, and on a virtual machine waking an idle CPU costs about as much as a hop;
# the spinners take that cost away without taking time from the measured programs.
spin_start() {
  spinners=()
  if [ "$1" = busy ]; then
    for _ in $(seq "$(nproc)"); do nice -n 19 sh -c 'while :; do :; done' & spinners+=($!); done
  fi
}
spin_stop() { [ ${#spinners[@]} -eq 0 ] || kill "${spinners[@]}" 2>/dev/null; }
trap spin_stop EXIT

for mode in idle busy; do
spin_start $mode
for size in 1m 4m; do
  for run in $(seq $runs); do
    path=$(echo "Z:$BENCH_DIR/fw/gur_arm_fw_$size.bin" | tr / '\\')
    ui click main file-button -- file-dialog "$path" -- select 0 -- menu download >/dev/null
    ui wait-status "is rebooting" 900000 >/dev/null
    record "download $mode $size"
    sleep 0.3
    record "rss_after_$size $(rss_kib)"
    cmp -s "$BENCH_DIR/images/192.168.1.1/gur_arm_fw_$size.bin" "$BENCH_DIR/fw/gur_arm_fw_$size.bin" &&
      record "identical_$size yes" || record "identical_$size no"
  done
done
spin_stop
done
stop_program

# tftp-hpa: a server in the boards namespace, the client here, 512-byte blocks.
ip netns exec "$TW_BOARDS_NS" in.tftpd -L -c -s "$BENCH_DIR/tftp" -a 192.168.1.6:69 &
tftpd=$!
sleep 0.5
for mode in idle busy; do
spin_start $mode
for size in 1m 4m; do
  for run in $(seq $runs); do
    t0=$(date +%s%N)
    tftp 192.168.1.6 -m binary -c put "$BENCH_DIR/fw/gur_arm_fw_$size.bin" "t_$size.bin" >/dev/null 2>&1
    t1=$(date +%s%N)
    record "tftp_${mode}_$size $(( (t1 - t0) / 1000 ))"
  done
done
spin_stop
done
kill $tftpd 2>/dev/null

# The floor: a bare stop-and-wait pair, 504-byte blocks.
ip netns exec "$TW_BOARDS_NS" "$root/build/native/bench/stopwait" respond 192.168.1.5 2017 &
responder=$!
sleep 0.3
for mode in idle busy; do
spin_start $mode
for size in 1m 4m; do
  bytes=$((1024 * 1024)); [ $size = 4m ] && bytes=$((4 * 1024 * 1024))
  for run in $(seq $runs); do
    record "floor_${mode}_$size $("$root/build/native/bench/stopwait" send 192.168.1.10 192.168.1.5 2017 $bytes)"
  done
done
spin_stop
done
kill $responder 2>/dev/null
