#!/usr/bin/env bash
# Benchmarks: prints figures, asserts nothing.
#
#   bash bench/run.sh [--quick]
#
# 1. Download: 1 MiB and 4 MiB images to one simulated board through the real
#    program under Wine, as microseconds per data block (first file-name request
#    to the reboot request, as the simulator timed them); on the same veth link
#    in the same run, tftp-hpa's put of the same files to a tftpd-hpa in the
#    boards namespace, and a bare stop-and-wait sender/responder as the floor.
# 2. Discovery: Search to the last unit line with 254 and 1000 boards answering.
# 3. Memory: the program's resident size after 1000 boards and across repeated
#    4 MiB downloads.
# Everything runs in namespaces of the test bed; nothing touches the host network.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "$(id -u)" != 0 ]; then echo "bench: run as root" >&2; exit 1; fi
scripts/setup.sh tftp-hpa tftpd-hpa || exit 1
# The package starts a tftp server of its own on the host; the benchmark needs only the program.
pkill -x in.tftpd 2>/dev/null
[ -n "${BENCH_NO_BUILD:-}" ] || scripts/build.sh >/dev/null || { echo "bench: build failed" >&2; exit 1; }

export BENCH_DIR
BENCH_DIR=$(mktemp -d /tmp/twbench-XXXXXX)
trap 'rm -rf "$BENCH_DIR"' EXIT
mkdir -p "$BENCH_DIR/app" "$BENCH_DIR/fw" "$BENCH_DIR/images" "$BENCH_DIR/tftp"
cp build/win/Tarnwell.exe "$BENCH_DIR/app/"
head -c $((1024 * 1024)) /dev/urandom >"$BENCH_DIR/fw/gur_arm_fw_1m.bin"
head -c $((4 * 1024 * 1024)) /dev/urandom >"$BENCH_DIR/fw/gur_arm_fw_4m.bin"
chmod 777 "$BENCH_DIR/tftp"
export WINEPREFIX=$root/build/wineprefix WINEDEBUG=-all
source scripts/wine-env.sh
export BENCH_QUICK=${1:-} BENCH_BOARDS=0
sim=build/native/tools/boardsim/boardsim

wineserver -k 2>/dev/null
TARNWELL_XVFB=1 scripts/with-display.sh tools/testbed.sh --quiet --layout one-subnet --count 6 \
  --boards-log "$BENCH_DIR/sim1.out" \
  --boards-cmd "$sim --quiet --out $BENCH_DIR/images --summary $BENCH_DIR/download.json --board 'name=FW GUR 1,ip=192.168.1.1'" \
  -- bash bench/inside-download.sh
wineserver -k 2>/dev/null
for n in 254 1000; do
  BENCH_BOARDS=$n TARNWELL_XVFB=1 scripts/with-display.sh tools/testbed.sh --quiet --layout big --count $n \
    --boards-log "$BENCH_DIR/sim-$n.out" \
    --boards-cmd "$sim --quiet --board 'name=FW VEX %d,ip=10.20.1.1,count=$n'" \
    -- bash bench/inside-discovery.sh
  wineserver -k 2>/dev/null
done
python3 bench/report.py "$BENCH_DIR"
