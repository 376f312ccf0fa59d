#!/usr/bin/env bash
# Runs tests again and again to find the ones that fail now and then.
#
#   bash tests/soak.sh [N] [--load] [--tree DIR] [--jobs J] [PATTERN]
#
# N rounds (default 10) of the CTest tests whose names match PATTERN (a CTest
# regular expression; default the window's end-to-end tests, ^e2e\.) in DIR
# (default build/win), one round after another, as scripts/test.sh runs them:
# with an X display, in a network namespace of their own, J at once (default 4,
# as the suite). With --load, two busy processes (stress-ng --cpu 2) run beside
# them the whole time, so that the tests meet a machine that is slow to answer.
#
# Prints each round's failures as they come and, at the end, runs and failures
# per test; every round's output is kept under build/soak/. Exit status 0 when
# nothing failed, 1 otherwise, 77 when it cannot run here.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

rounds=10
load=0
tree=build/win
jobs=4
pattern='^e2e\.'
while [ $# -gt 0 ]; do
  case "$1" in
    --load) load=1; shift ;;
    --tree) tree=${2:?--tree needs a build folder}; shift 2 ;;
    --jobs) jobs=${2:?--jobs needs a number}; shift 2 ;;
    -h | --help) sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    -*) echo "soak.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    *)
      if [[ "$1" =~ ^[0-9]+$ ]]; then rounds=$1; else pattern=$1; fi
      shift ;;
  esac
done
[ "$rounds" -ge 1 ] || { echo "soak.sh: N must be 1 or more" >&2; exit 2; }
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "soak.sh: --jobs needs a number" >&2; exit 2; }
if [ ! -f "$tree/CTestTestfile.cmake" ]; then
  echo "soak.sh: no tests in $tree; build first (bash scripts/build.sh)"
  exit 77
fi
names=$(ctest --test-dir "$tree" -N -R "$pattern" | sed -n 's/^ *Test *#[0-9]*: //p')
if [ -z "$names" ]; then
  echo "soak.sh: no test in $tree matches $pattern" >&2
  exit 2
fi
if [ "$load" = 1 ] && ! command -v stress-ng >/dev/null; then
  echo "soak.sh: --load needs stress-ng (bash scripts/setup.sh installs it)"
  exit 77
fi

out=$root/build/soak/$(date +%Y%m%d-%H%M%S)
mkdir -p "$out"
stress=
stop_stress() {
  [ -n "$stress" ] || return 0
  kill "$stress" 2>/dev/null
  wait "$stress" 2>/dev/null
  stress=
}
trap 'stop_stress' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if [ "$load" = 1 ]; then
  stress-ng --cpu 2 --quiet >"$out/stress-ng.log" 2>&1 &
  stress=$!
fi

source scripts/wine-env.sh
declare -A runs=() fails=() skips=()
for name in $names; do runs[$name]=0; fails[$name]=0; skips[$name]=0; done
echo "soak: $rounds round(s) of $(wc -w <<<"$names") test(s) matching $pattern in $tree, $jobs at once$([ "$load" = 1 ] && echo ', beside stress-ng --cpu 2'); output in $out"
started=$(date +%s)
for round in $(seq "$rounds"); do
  log=$out/round-$round.log
  scripts/with-display.sh scripts/in-loopback-ns.sh \
    ctest --test-dir "$tree" -R "$pattern" -j "$jobs" --output-on-failure >"$log" 2>&1
  failed=()
  # Result lines read "1/2 Test  #7: e2e.download_basic ....   Passed   15.74 sec".
  while read -r name result; do
    [ -n "${runs[$name]+set}" ] || continue
    case "$result" in
      Passed) runs[$name]=$((runs[$name] + 1)) ;;
      *Skipped* | *Disabled*) skips[$name]=$((skips[$name] + 1)) ;;
      *) runs[$name]=$((runs[$name] + 1)); fails[$name]=$((fails[$name] + 1)); failed+=("$name ($result)") ;;
    esac
  done < <(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) \.*[ *]*\([A-Za-z][A-Za-z :]*[A-Za-z]\) *[0-9.]* sec.*$/\1 \2/p' "$log")
  if [ ${#failed[@]} -eq 0 ]; then
    echo "round $round: ok ($(($(date +%s) - started)) s so far)"
  else
    echo "round $round: FAILED ${failed[*]} (output: $log)"
  fi
done
stop_stress
WINEPREFIX=$root/build/wineprefix wineserver -k 2>/dev/null

total=0
printf '\n%-36s %6s %6s %6s\n' test runs failed skipped
for name in $names; do
  printf '%-36s %6d %6d %6d\n' "$name" "${runs[$name]}" "${fails[$name]}" "${skips[$name]}"
  total=$((total + fails[$name]))
done
echo "soak: $total failure(s) in $rounds round(s), $(($(date +%s) - started)) s$([ "$load" = 1 ] && echo ', under load')"
[ "$total" -eq 0 ]
