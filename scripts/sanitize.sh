#!/usr/bin/env bash
# Builds the native unit tests (the core, the command line, the board simulator,
# SHA-256) a second time, in build/asan, with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them. Any finding ends its test with a
# report and fails it; nothing is let through.
#
#   scripts/sanitize.sh [--build-only | --test-only]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
mode=${1:-all}
targets=(tarnwell_core_tests tarnwell_cli_tests boardsim_tests tarnwell_sha256_tests)
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

if [ "$mode" != --test-only ]; then
  echo "== build/asan (clang, AddressSanitizer and UndefinedBehaviorSanitizer): ${targets[*]}"
  cmake --no-warn-unused-cli -S . -B build/asan -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null || exit 1
  cmake --build build/asan -j"$jobs" --target "${targets[@]}" || exit 1
fi
[ "$mode" = --build-only ] && exit 0

echo "== sanitized native unit tests (build/asan)"
# Leaks count as findings; a report names the stack of the fault and of the allocation.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Only the unit tests are built here: the fuzzer, the packages and the test-bed
# runs (label netns) belong to build/native.
ctest --test-dir build/asan -j"$jobs" --output-on-failure -LE "netns|long" -E '^(ReplyFuzz|package)\.'
