#!/usr/bin/env bash
# Benchmarks: prints figures, asserts nothing. Run as root from a clone:
#
#   bash bench/run.sh [--quick] [--long]
#
# 1. Download: µs per data block on one veth link for Tarnwell.exe, tarnwell-cli.exe
#    and a bare stop-and-wait sender under Wine, and tarnwell-cli, tftp-hpa and the
#    bare sender natively; 1 MiB and 16 MiB images, and 1 MiB with every block
#    answered 1 ms late (--long: 16 MiB too). Each run's bytes are compared with the
#    file; a failed run is listed as failed and enters no figure.
# 2. Discovery: 254, 1000 and 4000 boards, from the first request on the wire to the
#    last unit line, for the window (Search) and the command line (by address).
# 3. Fleet: 8, 64 and 254 boards, a 256 KiB image, 5 ms per block: the command line
#    with 1, 8, 32 and 64 lanes (--long: one lane for 64 and 254 boards too), and
#    the window for 8 boards; wall time against the ideal, CPU time, resident size.
#
# --quick: 3 runs per figure, 1 MiB (64 KiB with latency), 254 boards, a fleet of 4 (under 3 minutes).
# Writes bench/out/results.md (the table), bench/out/download.png and
# bench/out/fleet.png (python3-matplotlib), and the raw figures, bench/out/results.txt.
# A full run also writes its figures into docs/benchmarks.md and its charts into
# docs/bench/; a quick one leaves them to the last full run.
# Everything runs in network namespaces of its own (tools/testbed.sh); it starts its
# own tftpd-hpa in there, and stops only what it started.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "$(id -u)" != 0 ]; then echo "bench: run as root" >&2; exit 1; fi
quick=0 long=0
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    --long) long=1 ;;
    *) echo "usage: bash bench/run.sh [--quick] [--long]" >&2; exit 1 ;;
  esac
done

# Installing tftpd-hpa would start its packaged service on the host. While the
# packages go in, a policy-rc.d of our own (only where there is none) keeps every
# service from starting; one that was there is left as it is.
policy=/usr/sbin/policy-rc.d
our_policy=0
trap '[ $our_policy = 0 ] || rm -f "$policy"' EXIT
need=()
for p in tftp-hpa tftpd-hpa python3-matplotlib; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# bench/run.sh: no service starts while it installs packages.\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  our_policy=1
fi
scripts/setup.sh tftp-hpa tftpd-hpa python3-matplotlib
setup=$?
[ $our_policy = 0 ] || rm -f "$policy"
our_policy=0
[ $setup = 0 ] || exit 1
[ -n "${BENCH_NO_BUILD:-}" ] || scripts/build.sh >/dev/null || { echo "bench: build failed" >&2; exit 1; }

py=/usr/bin/python3  # Debian's, which python3-matplotlib is for
[ -x "$py" ] || py=python3
export WINEPREFIX=$root/build/wineprefix WINEDEBUG=-all
source scripts/wine-env.sh
# Between parts the bench ends this prefix's wineserver, so that Wine starts again inside each
# part's namespace: it runs only when no program of someone else's uses the prefix.
server=server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
export BENCH_WINE_SERVER=$server
prefix_in_use() {
  local dir
  for dir in /tmp/.wine-"$(id -u)"/"$server" /tmp/wine-*/"$server"; do
    [ -S "$dir/socket" ] && "$py" -c 'import socket, sys
socket.socket(socket.AF_UNIX).connect(sys.argv[1])' "$dir/socket" 2>/dev/null && return 0
  done
  return 1
}
# (A server that lingers a few seconds after its last program, as after the build, is waited for.)
for _ in $(seq 20); do prefix_in_use || break; sleep 0.5; done
if prefix_in_use; then
  echo "bench: programs run in the Wine prefix $WINEPREFIX; end them first" >&2
  exit 1
fi
export BENCH_DIR
BENCH_DIR=$(mktemp -d /tmp/twbench-XXXXXX)
out=${BENCH_OUT:-$root/bench/out}
export BENCH_OUT=$out
rm -rf "$out/failed"
mkdir -p "$out"
[ -e "$out/.gitignore" ] || echo '*' >"$out/.gitignore"
# Our own prefix's wineserver only, so that each part's Wine starts inside its namespace.
cleanup() { WINEPREFIX=$root/build/wineprefix wineserver -k 2>/dev/null; rm -rf "$BENCH_DIR"; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir -p "$BENCH_DIR/app" "$BENCH_DIR/fw"
cp build/win/Tarnwell.exe "$BENCH_DIR/app/"
for size in 64k:64 256k:256 1m:1024 16m:16384; do
  head -c $((${size#*:} * 1024)) /dev/urandom >"$BENCH_DIR/fw/gur_arm_fw_${size%:*}.bin"
done

if [ $quick = 1 ]; then
  export BENCH_RUNS=3 BENCH_SIZES=1m BENCH_LATENCY_SIZES=64k BENCH_FLEET="4:1,4" BENCH_WINDOW_FLEET=4
  discovery_counts="254"
  fleet_count=4
else
  export BENCH_RUNS=7 BENCH_SIZES="1m 16m" BENCH_LATENCY_SIZES=1m BENCH_FLEET="8:1,8,32,64 64:8,32,64 254:8,32,64"
  export BENCH_WINDOW_FLEET=8
  discovery_counts="254 1000 4000"
  fleet_count=254
  if [ $long = 1 ]; then
    BENCH_LATENCY_SIZES="1m 16m"
    BENCH_FLEET="8:1,8,32,64 64:1,8,32,64 254:1,8,32,64"
  fi
fi
{ echo "runs $BENCH_RUNS"; echo "date $(date -u +%Y-%m-%d)"; echo "cores $(nproc)"; } >"$BENCH_DIR/results.txt"

# part LAYOUT COUNT SCRIPT [BOARDS-COMMAND]: one part in a test bed of its own.
part() {
  local layout=$1 count=$2 script=$3 boards=${4:-}
  local args=(--quiet --layout "$layout" --count "$count")
  if [ -n "$boards" ]; then args+=(--boards-log "$BENCH_DIR/boards.log" --boards-cmd "$boards")
  else args+=(--wait-udp none); fi
  wineserver -k 2>/dev/null
  local part_start=$SECONDS
  # (ip netns exec run inside the workstation namespace makes the test bed's clean-up say
  # "Peer netns reference is invalid" for each; nothing is wrong.)
  TARNWELL_XVFB=1 scripts/with-display.sh tools/testbed.sh "${args[@]}" -- bash "bench/$script" \
    2> >(grep --line-buffered -v "Peer netns reference is invalid" >&2)
  local rc=$?
  [ $rc = 0 ] || echo "bench: $script ended with status $rc" >&2
  echo "part $script $((SECONDS - part_start))" >>"$BENCH_DIR/results.txt"
  wineserver -k 2>/dev/null
}

started=$SECONDS
part one-subnet 6 inside-download.sh
for n in $discovery_counts; do
  export BENCH_BOARDS=$n
  part big "$n" inside-discovery.sh \
    "build/native/tools/boardsim/boardsim --quiet --board 'name=FW VEX %d,ip=10.20.1.1,count=$n'"
done
part big "$fleet_count" inside-fleet.sh
echo "elapsed $((SECONDS - started))" >>"$BENCH_DIR/results.txt"

cp "$BENCH_DIR/results.txt" "$out/results.txt"
doc=()
[ $quick = 1 ] || doc=(--doc docs/benchmarks.md)
"$py" bench/report.py "$out/results.txt" "$out" "${doc[@]}"
