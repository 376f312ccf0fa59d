#!/usr/bin/env bash
# shellcheck disable=SC2317  # the clean-up functions run from traps, which the checker cannot follow
# testbed.sh: a private network for end-to-end tests and demonstrations, built from two network namespaces.
#
# A workstation namespace and a boards namespace are joined by veth pairs in a named layout. The boards
# namespace holds the board addresses; a command given with --boards-cmd (the board simulator, say) runs there
# in the background. The main command runs in the workstation namespace. Afterwards everything is deleted:
# processes left in either namespace, the namespaces and with them the veth pairs, also when the command fails,
# on Ctrl-C and on SIGTERM. Nothing is sent on the host's own network. Needs root (ip netns).
#
# Usage: tools/testbed.sh [options] [--] [command [args...]]
#   --layout NAME       one-subnet (default), two-adapters, same-subnet or big; --list-layouts describes them
#   --count N           board addresses per boards subnet (default 6; big: 1000)
#   --boards-cmd CMD    shell command to run in the boards namespace in the background, started before the
#                       command and stopped with SIGTERM (then SIGKILL after 10 s) once it ends
#   --boards-log FILE   send the boards command's output to FILE instead of this terminal
#   --wait-udp PORT     after starting the boards command, wait until a UDP socket is bound to 0.0.0.0:PORT in
#                       the boards namespace (default 2016; "none" not to wait). The board simulator binds that
#                       listener after every board, so then all boards are ready.
#   --quiet             do not describe the test bed on standard error
#   --list-layouts      describe the layouts and exit
#   -h, --help          this text
# Without a command an interactive shell runs in the workstation namespace.
#
# TW_NS_PREFIX (default tw) starts the namespaces' names, so that test beds of several people or runs on one
# machine can be told apart (and cleaned up) by name.
#
# Environment given to both commands:
#   TW_LAYOUT           the layout's name
#   TW_WS_NS            workstation namespace (e.g. tw-ws-1234)
#   TW_BOARDS_NS        boards namespace (e.g. tw-bd-1234)
# The namespaces' names begin with $TW_NS_PREFIX (default "tw"): checkouts that run
# their test beds on one machine at once can tell theirs apart.
#   TW_WS_IFS           workstation interfaces, space-separated (ws0 ws1)
#   TW_WS_ADDRS         workstation addresses, same order (192.168.1.10 10.0.0.5)
#   TW_WS_CIDRS         the same with prefix lengths (192.168.1.10/24 10.0.0.5/8)
#   TW_BOARD_IPS        every board address, space-separated
#   TW_BOARD_IPS_0, TW_BOARD_IPS_1   the board addresses behind ws0, ws1
#   TW_BOARDS_FILE      file with every board address, one a line
#   TW_RUN_DIR          scratch directory of this run, deleted afterwards
# and to the command only:
#   TW_BOARDS_PID       process id of the boards command (e.g. kill -USR1 for a simulator summary)
#
# Exit status: the command's; 1 when the test bed could not be built; 130 on Ctrl-C, 143 on SIGTERM.
#
# Examples (the boards command sees the variables above; single quotes keep them for it):
#   tools/testbed.sh --layout one-subnet \
#     --boards-cmd 'build/tools/boardsim/boardsim --board "name=FW VEX 1,ip=192.168.1.1" --out /tmp/out' \
#     -- build/tools/boardsim/boardprobe discover --from 192.168.1.10
#   tools/testbed.sh --layout big --count 1000 \
#     --boards-cmd 'build/tools/boardsim/boardsim --quiet --board "name=FW VEX %d,ip=$TW_BOARD_IPS"' -- ...

set -u

LAYOUT=one-subnet
COUNT=
BOARDS_CMD=
BOARDS_LOG=
WAIT_UDP=2016
QUIET=0

WS_NS=
BD_NS=
RUN_DIR=
BOARDS_PID=
COMMAND_PID=

say() { [ "$QUIET" = 1 ] || echo "testbed: $*" >&2; }
die() { echo "testbed: $*" >&2; exit 1; }

usage() {
    sed -n '3,/^$/{s/^# \{0,1\}//;p}' "$0"
}

list_layouts() {
    cat <<'EOF'
one-subnet     ws0 192.168.1.10/24  <->  bd0 boards 192.168.1.1 to .N (default 6, at most 253; .10 skipped)
two-adapters   ws0 192.168.1.10/24  <->  bd0 boards 192.168.1.1 to .N (.10 skipped)
               ws1 10.0.0.5/8       <->  bd1 boards 10.1.2.1 to 10.1.2.N
same-subnet    ws0 192.168.1.10/24  <->  bd0 boards 192.168.1.1 to .N (.10, .11 and .254 skipped)
               ws1 192.168.1.11/24  <->  bd1 (bd0 and bd1 share a bridge that holds the boards and .254: one segment)
big            ws0 10.20.0.1/16     <->  bd0 boards from 10.20.1.1 on, N of them (default 1000),
                                         host octets .0 and .255 skipped (as boardsim's count= does)
EOF
}

ip_to_int() {
    local IFS=.
    # shellcheck disable=SC2086
    set -- $1
    echo $((($1 << 24) | ($2 << 16) | ($3 << 8) | $4))
}

int_to_ip() {
    echo "$((($1 >> 24) & 255)).$((($1 >> 16) & 255)).$((($1 >> 8) & 255)).$(($1 & 255))"
}

# board_range FIRST COUNT [SKIP...]: COUNT addresses from FIRST on, host octets 0 and 255 and SKIP left out.
board_range() {
    local n
    n=$(ip_to_int "$1")
    local count=$2
    shift 2
    local skip=" $* " out=() ip
    while [ "${#out[@]}" -lt "$count" ]; do
        ip=$(int_to_ip "$n")
        if [ $((n & 255)) -ne 0 ] && [ $((n & 255)) -ne 255 ] && [[ "$skip" != *" $ip "* ]]; then
            out+=("$ip")
        fi
        n=$((n + 1))
    done
    echo "${out[*]}"
}

# Per link i: the workstation end's address, the boards end's board addresses and prefix, and an address for the
# boards end when it carries no board.
LINK_WS_CIDR=()
LINK_BOARDS=()
LINK_PREFIX=()
LINK_EXTRA=()

plan_layout() {
    case "$LAYOUT" in
    one-subnet)
        local n=${COUNT:-6}
        if [ "$n" -lt 1 ] || [ "$n" -gt 253 ]; then die "one-subnet holds 1 to 253 boards"; fi
        LINK_WS_CIDR=(192.168.1.10/24)
        LINK_BOARDS=("$(board_range 192.168.1.1 "$n" 192.168.1.10)")
        LINK_PREFIX=(24)
        LINK_EXTRA=("")
        ;;
    two-adapters)
        local n=${COUNT:-6}
        if [ "$n" -lt 1 ] || [ "$n" -gt 253 ]; then die "two-adapters holds 1 to 253 boards per subnet"; fi
        LINK_WS_CIDR=(192.168.1.10/24 10.0.0.5/8)
        LINK_BOARDS=("$(board_range 192.168.1.1 "$n" 192.168.1.10)" "$(board_range 10.1.2.1 "$n")")
        LINK_PREFIX=(24 8)
        LINK_EXTRA=("" "")
        ;;
    same-subnet)
        local n=${COUNT:-6}
        if [ "$n" -lt 1 ] || [ "$n" -gt 251 ]; then die "same-subnet holds 1 to 251 boards"; fi
        LINK_WS_CIDR=(192.168.1.10/24 192.168.1.11/24)
        LINK_BOARDS=("$(board_range 192.168.1.1 "$n" 192.168.1.10 192.168.1.11 192.168.1.254)" "")
        LINK_PREFIX=(24 24)
        LINK_EXTRA=("" 192.168.1.254/24)
        # One network segment: both veths hang on a bridge that holds the boards, so a
        # reply to either workstation address comes back in on that address's own link.
        BRIDGE=1
        ;;
    big)
        local n=${COUNT:-1000}
        if [ "$n" -lt 1 ] || [ "$n" -gt 60000 ]; then die "big holds 1 to 60000 boards"; fi
        LINK_WS_CIDR=(10.20.0.1/16)
        LINK_BOARDS=("$(board_range 10.20.1.1 "$n")")
        LINK_PREFIX=(16)
        LINK_EXTRA=("")
        ;;
    *)
        die "unknown layout '$LAYOUT' (see --list-layouts)"
        ;;
    esac
}

# Ends what runs in the namespace: SIGTERM, then SIGKILL to whatever is still there after a few seconds.
empty_namespace() {
    local ns=$1 pids i
    pids=$(ip netns pids "$ns" 2>/dev/null)
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null
    for i in $(seq 30); do
        pids=$(ip netns pids "$ns" 2>/dev/null)
        [ -n "$pids" ] || return 0
        sleep 0.1
    done
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null
    sleep 0.1
}

stop_boards() {
    [ -n "$BOARDS_PID" ] || return 0
    local i status
    kill -TERM -- "-$BOARDS_PID" 2>/dev/null
    for i in $(seq 100); do
        kill -0 "$BOARDS_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$BOARDS_PID" 2>/dev/null; then
        say "boards command ignored SIGTERM for 10 s; killing it"
        kill -KILL -- "-$BOARDS_PID" 2>/dev/null
    fi
    wait "$BOARDS_PID" 2>/dev/null
    status=$?
    say "boards command ended with status $status"
    BOARDS_PID=
}

cleanup() {
    local rc=$?
    trap - EXIT INT TERM HUP PIPE
    trap '' INT TERM HUP PIPE
    if [ -n "$COMMAND_PID" ]; then
        kill -TERM "$COMMAND_PID" 2>/dev/null
    fi
    stop_boards
    for ns in "$WS_NS" "$BD_NS"; do
        [ -n "$ns" ] || continue
        if ip netns list | grep -qw -- "$ns"; then
            empty_namespace "$ns"
            ip netns del "$ns" 2>/dev/null || echo "testbed: could not delete namespace $ns" >&2
        fi
    done
    [ -n "$RUN_DIR" ] && rm -rf -- "$RUN_DIR"
    exit "$rc"
}

build() {
    local i ws_if bd_if sysctl
    local prefix=${TW_NS_PREFIX:-tw}
    WS_NS=$prefix-ws-$$
    BD_NS=$prefix-bd-$$
    if ip netns list | grep -qw -- "$WS_NS\|$BD_NS"; then
        WS_NS=$prefix-ws-$$-$RANDOM
        BD_NS=$prefix-bd-$$-$RANDOM
    fi
    ip netns add "$WS_NS" || die "cannot create namespace $WS_NS"
    ip netns add "$BD_NS" || die "cannot create namespace $BD_NS"
    ip -n "$WS_NS" link set lo up || die "loopback of $WS_NS"
    ip -n "$BD_NS" link set lo up || die "loopback of $BD_NS"
    for sysctl in net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0 \
        net.ipv4.neigh.default.gc_thresh1=4096 net.ipv4.neigh.default.gc_thresh2=32768 \
        net.ipv4.neigh.default.gc_thresh3=65536; do
        ip netns exec "$WS_NS" sysctl -qw "$sysctl" 2>/dev/null
        ip netns exec "$BD_NS" sysctl -qw "$sysctl" 2>/dev/null
    done
    # A workstation with two addresses on one segment answers ARP for each address
    # on that address's own link only, as a well-set-up multi-homed host does.
    ip netns exec "$WS_NS" sysctl -qw net.ipv4.conf.all.arp_ignore=1 2>/dev/null
    ip netns exec "$WS_NS" sysctl -qw net.ipv4.conf.all.arp_announce=2 2>/dev/null
    if [ "${BRIDGE:-0}" = 1 ]; then
        ip -n "$BD_NS" link add br0 type bridge || die "cannot create the boards bridge"
        ip -n "$BD_NS" link set br0 up || die "bridge up"
    fi
    local dev
    for i in "${!LINK_WS_CIDR[@]}"; do
        ws_if=ws$i
        bd_if=bd$i
        dev=$bd_if
        [ "${BRIDGE:-0}" = 1 ] && dev=br0
        # Both ends are made inside their namespaces, so nothing ever appears on the host's own network.
        ip link add "$ws_if" netns "$WS_NS" type veth peer name "$bd_if" netns "$BD_NS" ||
            die "cannot create the veth pair $ws_if/$bd_if"
        ip -n "$WS_NS" addr add "${LINK_WS_CIDR[$i]}" dev "$ws_if" || die "address ${LINK_WS_CIDR[$i]}"
        {
            for ip in ${LINK_BOARDS[$i]}; do
                echo "address add $ip/${LINK_PREFIX[$i]} dev $dev"
            done
            [ -z "${LINK_EXTRA[$i]}" ] || echo "address add ${LINK_EXTRA[$i]} dev $dev"
        } | ip -n "$BD_NS" -batch - || die "board addresses on $bd_if"
        ip -n "$WS_NS" link set "$ws_if" up || die "link $ws_if up"
        if [ "${BRIDGE:-0}" = 1 ]; then
            ip -n "$BD_NS" link set "$bd_if" master br0 || die "$bd_if on the bridge"
        fi
        ip -n "$BD_NS" link set "$bd_if" up || die "link $bd_if up"
        known_neighbours "$ws_if" "$dev" "${LINK_BOARDS[$i]}"
    done
}

# The kernel keeps at most gc_thresh3 (1024 unless raised, and raised only on
# the host, not in a namespace) resolved neighbours for all namespaces together;
# a workstation asking more boards than that by address loses the requests whose
# address resolution could not be queued. On a link with that many boards they
# are entered as permanent neighbours, which that limit does not count.
known_neighbours() {  # WS_IF BOARDS_DEV "IP..."
    local mac ip n
    n=$(wc -w <<<"$3")
    [ "$n" -gt 500 ] || return 0
    mac=$(ip -n "$BD_NS" -o link show "$2" | grep -o 'link/ether [0-9a-f:]*' | cut -d' ' -f2)
    [ -n "$mac" ] || die "no hardware address on $2"
    for ip in $3; do
        echo "neighbour replace $ip lladdr $mac dev $1 nud permanent"
    done | ip -n "$WS_NS" -batch - || die "neighbours of $1"
}

export_environment() {
    local i all=() ifs=() addrs=()
    for i in "${!LINK_WS_CIDR[@]}"; do
        ifs+=("ws$i")
        addrs+=("${LINK_WS_CIDR[$i]%/*}")
        # shellcheck disable=SC2206
        all+=(${LINK_BOARDS[$i]})
        export "TW_BOARD_IPS_$i=${LINK_BOARDS[$i]}"
    done
    export TW_LAYOUT=$LAYOUT TW_WS_NS=$WS_NS TW_BOARDS_NS=$BD_NS TW_RUN_DIR=$RUN_DIR
    export TW_WS_IFS="${ifs[*]}" TW_WS_ADDRS="${addrs[*]}" TW_WS_CIDRS="${LINK_WS_CIDR[*]}"
    export TW_BOARD_IPS="${all[*]}" TW_BOARDS_FILE=$RUN_DIR/boards.txt
    printf '%s\n' "${all[@]}" >"$TW_BOARDS_FILE"
}

describe() {
    local i first last
    say "layout $LAYOUT: namespaces $WS_NS (workstation) and $BD_NS (boards)"
    for i in "${!LINK_WS_CIDR[@]}"; do
        # shellcheck disable=SC2206
        local boards=(${LINK_BOARDS[$i]})
        if [ "${#boards[@]}" -gt 0 ]; then
            first=${boards[0]}
            last=${boards[${#boards[@]} - 1]}
            say "  ws$i ${LINK_WS_CIDR[$i]} <-> bd$i ${#boards[@]} boards $first .. $last /${LINK_PREFIX[$i]}"
        else
            say "  ws$i ${LINK_WS_CIDR[$i]} <-> bd$i ${LINK_EXTRA[$i]} (no boards)"
        fi
    done
}

udp_bound() {
    local port
    port=$(printf '%04X' "$WAIT_UDP")
    ip netns exec "$BD_NS" cat /proc/net/udp 2>/dev/null | awk -v p="00000000:$port" '$2 == p {found=1} END {exit !found}'
}

start_boards() {
    [ -n "$BOARDS_CMD" ] || return 0
    local i
    # Own session and process group, so that stopping it reaches every process the shell command starts.
    if [ -n "$BOARDS_LOG" ]; then
        setsid ip netns exec "$BD_NS" bash -c "$BOARDS_CMD" >"$BOARDS_LOG" 2>&1 </dev/null &
    else
        setsid ip netns exec "$BD_NS" bash -c "$BOARDS_CMD" </dev/null &
    fi
    BOARDS_PID=$!
    [ "$WAIT_UDP" != none ] || return 0
    for i in $(seq 200); do
        kill -0 "$BOARDS_PID" 2>/dev/null || die "boards command ended before it was ready"
        udp_bound && return 0
        sleep 0.1
    done
    die "nothing bound to UDP port $WAIT_UDP in the boards namespace after 20 s"
}

while [ $# -gt 0 ]; do
    case "$1" in
    --layout) LAYOUT=${2:?--layout needs a name}; shift 2 ;;
    --count) COUNT=${2:?--count needs a number}; shift 2 ;;
    --boards-cmd) BOARDS_CMD=${2:?--boards-cmd needs a command}; shift 2 ;;
    --boards-log) BOARDS_LOG=${2:?--boards-log needs a file}; shift 2 ;;
    --wait-udp) WAIT_UDP=${2:?--wait-udp needs a port or none}; shift 2 ;;
    --quiet) QUIET=1; shift ;;
    --list-layouts) list_layouts; exit 0 ;;
    -h | --help) usage; exit 0 ;;
    --) shift; break ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) break ;;
    esac
done

[ -z "$COUNT" ] || [[ "$COUNT" =~ ^[0-9]+$ ]] || die "--count needs a number"
[ "$WAIT_UDP" = none ] || [[ "$WAIT_UDP" =~ ^[0-9]+$ ]] || die "--wait-udp needs a port number or none"
[ "$(id -u)" = 0 ] || die "needs root for ip netns"
command -v ip >/dev/null || die "needs iproute2 (ip)"
plan_layout

trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
# Output piped into a reader that stops early (| head) ends the test bed here,
# not in the middle of a write: the namespaces are still taken down.
trap 'exit 141' PIPE

RUN_DIR=$(mktemp -d /tmp/testbed.XXXXXX) || die "no scratch directory"
build
export_environment
describe
start_boards
export TW_BOARDS_PID=$BOARDS_PID

if [ $# -eq 0 ]; then
    say "interactive shell in $WS_NS; exit it to tear the test bed down"
    ip netns exec "$WS_NS" "${SHELL:-/bin/bash}"
    exit $?
fi
# In the background, so that SIGTERM and Ctrl-C reach the traps at once; the terminal stays its input.
ip netns exec "$WS_NS" "$@" <&0 &
COMMAND_PID=$!
wait "$COMMAND_PID"
rc=$?
COMMAND_PID=
exit "$rc"
