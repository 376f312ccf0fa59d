#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, makes the release
# packages (scripts/package.sh), runs every test, the packages' own among them.
#
# The parts, and the time each took, printed at the end:
#   build       both trees and the Wine prefix (scripts/build.sh)
#   packages    the zip and the deb (scripts/package.sh, which finds the trees built)
#   native      build/native's tests, two at once
#   windows     the Windows tests under Wine with an X display, in a network namespace
#               of their own, WINDOWS_JOBS at once (default 4: they mostly wait for
#               the boards and for Wine; each has a Wine prefix and a display of its own)
#   sanitizers  the native unit tests built again with AddressSanitizer and
#               UndefinedBehaviorSanitizer (scripts/sanitize.sh)
# The native tests, then the sanitizers' build and run, go on beside the Windows tests,
# which mostly wait; their output follows the Windows tests' output.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-env.sh
export JOBS=${JOBS:-2}
windows_jobs=${WINDOWS_JOBS:-4}
logs=$root/build/test-logs
declare -A took=()
status=0

started=$(date +%s)
scripts/setup.sh || exit 1
scripts/build.sh || exit 1
took[build]=$(($(date +%s) - started))

mark=$(date +%s)
scripts/package.sh || exit 1
# The packages were just made: a package test that finds none fails instead of skipping.
export TARNWELL_REQUIRE_PACKAGES=1
took[packages]=$(($(date +%s) - mark))

rm -rf "$logs"
mkdir -p "$logs"
# The parts beside the Windows tests, one after the other so that the machine is not
# crowded more than the tests' own time-outs allow; each writes its log and its time.
(
  mark=$(date +%s)
  # The long runs (label long, such as 200 random acknowledgement cases) are left to: ctest -L long
  ctest --test-dir build/native -j"$JOBS" -LE long --output-on-failure >"$logs/native.log" 2>&1
  echo "$? $(($(date +%s) - mark))" >"$logs/native.result"
  mark=$(date +%s)
  scripts/sanitize.sh >"$logs/sanitizers.log" 2>&1
  echo "$? $(($(date +%s) - mark))" >"$logs/sanitizers.result"
) &
beside=$!

echo "== Windows tests (Wine), $windows_jobs at once; the native tests and the sanitizers run beside them =="
mark=$(date +%s)
scripts/with-display.sh scripts/in-loopback-ns.sh ctest --test-dir build/win -j"$windows_jobs" --output-on-failure ||
  status=1
took[windows]=$(($(date +%s) - mark))

wait "$beside"
for part in native sanitizers; do
  echo
  echo "== $part tests =="
  cat "$logs/$part.log"
  read -r rc seconds <"$logs/$part.result" 2>/dev/null || { rc=1; seconds=0; }
  [ "$rc" = 0 ] || status=1
  took[$part]=$seconds
done

WINEPREFIX=$root/build/wineprefix wineserver -k 2>/dev/null || true
echo
printf '== time: build %d s, packages %d s, windows %d s; beside them native %d s, sanitizers %d s; in all %d s\n' \
  "${took[build]}" "${took[packages]}" "${took[windows]}" "${took[native]}" "${took[sanitizers]}" \
  $(($(date +%s) - started))
exit $status
