#!/usr/bin/env bash
# Builds both trees: build/native (portable core, its tests, the board simulator)
# and build/win (Tarnwell.exe, the UI driver and the Windows tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
cmake --no-warn-unused-cli -S . -B build/native -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j"$jobs"
cmake --no-warn-unused-cli -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j"$jobs"
# Make the Wine prefix once, before anything runs in it in parallel.
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
