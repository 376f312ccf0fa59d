#!/usr/bin/env bash
# Builds both trees: build/native (portable core, its tests, the board simulator)
# and build/win (Tarnwell.exe, the UI driver and the Windows tests). Ninja shows
# the progress ([done/total] and the step).
#
#   scripts/build.sh            everything
#   scripts/build.sh --demo     only what scripts/main.sh runs: the board simulator,
#                               Tarnwell.exe and the UI driver (the test bed is a script)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
native_targets=()
win_targets=()
if [ "${1:-}" = --demo ]; then
  native_targets=(--target boardsim)
  win_targets=(--target Tarnwell uidriver)
fi
echo "== build/native (clang): ${native_targets[*]:+the board simulator}${native_targets[*]:-the core and its tests, tarnwell-cli, the board simulator}"
cmake --no-warn-unused-cli -S . -B build/native -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j"$jobs" "${native_targets[@]}"
echo "== build/win (mingw-w64): ${win_targets[*]:+Tarnwell.exe, the UI driver}${win_targets[*]:-Tarnwell.exe, tarnwell-cli.exe, the UI driver, the Windows tests}"
cmake --no-warn-unused-cli -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j"$jobs" "${win_targets[@]}"
# Make the Wine prefix once, before anything runs in it in parallel.
[ -d build/wineprefix ] || echo "== Wine prefix build/wineprefix (made once, about a minute)"
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
# Its server ends a few seconds after the last program; until then it would be the
# server of any program started with the prefix, outside the tests' namespaces.
WINEPREFIX=$root/build/wineprefix timeout 60 wineserver -w 2>/dev/null || true
