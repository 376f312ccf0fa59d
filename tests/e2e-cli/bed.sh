# The command line's end-to-end tests run each part in a test bed of its own.
# Sourced after tests/lib/harness.sh; needs TESTBED, BOARDSIM and WORK.

# bed_setup TAG CLI BOARDSIM TESTBED | inside PART: the start of every script
# here. Inside the workstation namespace it only names the part; outside it
# takes the programs, skips without namespaces, and makes WORK (kept with
# KEEP_WORK). STATION is the station example the manual shows.
bed_setup() {
    local tag=$1
    shift
    if [ "${1:-}" = inside ]; then
        PART=$2
        return 0
    fi
    CLI=$(realpath "$1")
    BOARDSIM=$2
    TESTBED=$3
    skip_unless_netns
    WORK=$(mktemp -d "/tmp/cli-$tag.XXXXXX")
    [ -n "${KEEP_WORK:-}" ] || trap 'rm -rf -- "$WORK"' EXIT
    STATION=$(cd "$(dirname "$0")/../../cli" && pwd)/station-example.sh
    export CLI WORK STATION
}

# bed NAME "testbed options" "simulator boards" [ACCEPTED]: runs part NAME of this
# script inside the workstation namespace. The simulator's account is left in
# $WORK/NAME.sim.json, and as key=value lines in $WORK/NAME.verdict; a request
# it flagged or a datagram that reached no board fails the part, but for flags
# whose text matches the Python regular expression ACCEPTED.
bed() {
    local name=$1 options=$2 boards=$3 accepted=${4:-}
    # shellcheck disable=SC2086
    "$TESTBED" --quiet $options --boards-log "$WORK/$name.sim" \
        --boards-cmd "exec $BOARDSIM $boards --quiet --out $WORK/out-$name --summary $WORK/$name.sim.json --verdict $WORK/$name.verdict" \
        -- bash "$0" inside "$name" || fail "$name: the test bed failed"
    python3 - "$WORK/$name.sim.json" "$accepted" <<'PY' || fail "$name: the simulator flagged requests or heard strays: $(grep -h flag "$WORK/$name.sim" | head -5)"
import json, re, sys
d = json.load(open(sys.argv[1]))
flags = [f["text"] for b in d["boards"] for f in b["flags"]]
sys.exit(any(not (sys.argv[2] and re.fullmatch(sys.argv[2], f)) for f in flags) or len(d["strays"]) != 0)
PY
}

# Run inside the workstation namespace, the script only runs its part; call
# this once the parts are defined.
run_part_if_inside() {
    [ "${1:-}" = inside ] || return 0
    "inside_$PART"
    exit 0
}
