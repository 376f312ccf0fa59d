#!/usr/bin/env bash
# Randomised property test of tarnwell-cli against the board simulator: seeded cases of boards with
# every acknowledgement form and random faults, served by `tarnwell-cli flash`; see acks_property.py
# for what is asserted. Prints one line per case, the seed of every failing one and, at the end, per
# acknowledgement form the share of boards that ended confirmed, unconfirmed, out of step or failed.
# Needs root; exits 77 (skipped) without it.
#
# Usage: acks.sh CLI BOARDSIM TESTBED COUNT [START]
#   SEED=S    runs the one case S (as printed by a failing run)
#   START     the first seed (default 1); "random" draws one, and it is printed

set -u
source "$(dirname "$0")/../lib/harness.sh"

CLI=$(realpath "$1")
BOARDSIM=$(realpath "$2")
TESTBED=$3
COUNT=$4
START=${5:-1}
skip_unless_netns
WORK=$(mktemp -d /tmp/cli-acks.XXXXXX)
[ -n "${KEEP_WORK:-}" ] || trap 'rm -rf -- "$WORK"' EXIT
if [ -n "${SEED:-}" ]; then
    selection=(--seed "$SEED")
else
    [ "$START" != random ] || START=$((RANDOM * 32768 + RANDOM))
    echo "seeds $START to $((START + COUNT - 1)); SEED=N runs one again"
    selection=(--count "$COUNT" --start "$START")
fi
# Four cases at a time, each with its own simulator and addresses; the boards are asked by address,
# so the simulators need no broadcast listener and do not meet.
"$TESTBED" --quiet --layout one-subnet --count 45 --wait-udp none -- \
    python3 "$(dirname "$0")/acks_property.py" "$CLI" "$BOARDSIM" "$WORK" "${selection[@]}" --workers 4
