# The command line's end-to-end tests run each part in a test bed of its own.
# Sourced after tests/lib/harness.sh; needs TESTBED, BOARDSIM and WORK.

# bed NAME "testbed options" "simulator boards": runs part NAME of this script
# inside the workstation namespace. The simulator's account is left in
# $WORK/NAME.sim.json, and as key=value lines in $WORK/NAME.verdict; a request
# it flagged or a datagram that reached no board fails the part.
bed() {
    local name=$1 options=$2 boards=$3
    # shellcheck disable=SC2086
    "$TESTBED" --quiet $options --boards-log "$WORK/$name.sim" \
        --boards-cmd "exec $BOARDSIM $boards --quiet --out $WORK/out-$name --summary $WORK/$name.sim.json --verdict $WORK/$name.verdict" \
        -- bash "$0" inside "$name" || fail "$name: the test bed failed"
    python3 - "$WORK/$name.sim.json" <<'PY' || fail "$name: the simulator flagged requests or heard strays: $(grep -h flag "$WORK/$name.sim" | head -5)"
import json, sys
d = json.load(open(sys.argv[1]))
sys.exit(d["flag_total"] != 0 or len(d["strays"]) != 0)
PY
}

# Run inside the workstation namespace, the script only runs its part; call
# this once the parts are defined.
run_part_if_inside() {
    [ "${1:-}" = inside ] || return 0
    "inside_$PART"
    exit 0
}
