#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, makes the release
# packages (scripts/package.sh), runs every test, the packages' own among them.
# Native tests run directly; Windows tests run under Wine with an X display, in a
# network namespace of their own (tests that need boards make further namespaces).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-env.sh
scripts/package.sh || exit 1
# The packages were just made: a package test that finds none fails instead of skipping.
export TARNWELL_REQUIRE_PACKAGES=1
status=0
echo "== native tests =="
# The long runs (label long, such as 200 random acknowledgement cases) are left to: ctest -L long
ctest --test-dir build/native --output-on-failure -LE long || status=1
echo "== Windows tests (Wine) =="
scripts/with-display.sh scripts/in-loopback-ns.sh ctest --test-dir build/win --output-on-failure || status=1
WINEPREFIX=$root/build/wineprefix wineserver -k 2>/dev/null || true
exit $status
