# Sourced by the package tests: is the package there, and made from the build it is tested with?
#
# require_package PACKAGE BUILT...
#   Returns when PACKAGE exists and is newer than every BUILT file (the programs it ships). Otherwise
#   the test cannot say anything about this build: it is skipped (exit 77) with a message, as after a
#   plain build that made no packages. scripts/test.sh makes the packages first and sets
#   TARNWELL_REQUIRE_PACKAGES=1; then a missing or stale package is a failure (exit 1).
require_package() {
  local package=$1 built problem=
  shift
  if [ ! -f "$package" ]; then
    problem="$package is missing"
  else
    for built in "$@"; do
      if [ -e "$built" ] && [ "$built" -nt "$package" ]; then
        problem="$package is older than the build ($built)"
        break
      fi
    done
  fi
  [ -z "$problem" ] && return 0
  if [ "${TARNWELL_REQUIRE_PACKAGES:-0}" = 1 ]; then
    echo "FAIL: $problem; scripts/package.sh makes the packages"
    exit 1
  fi
  echo "skipped: $problem; scripts/package.sh makes the packages"
  exit 77
}
