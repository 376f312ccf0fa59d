#!/usr/bin/env bash
# The station rehearsal of docs/station-rehearsal.md, run as a user runs it, against the Debian
# package.
#
#   rehearsal.sh DEB PAGE   PAGE: the page in the source tree; the package's copy must be the same
#
# The page's `sh` blocks, taken from the copy the package ships, run one after the other in one root
# shell, with the unpacked package's programs first on the PATH (the package is unpacked under WORK,
# never installed). The block that starts `tarnwell-cli watch` runs as a job of its own and is ended
# with Ctrl-C, SIGINT to its process group as a terminal sends it, once every board has its line.
# The whole run has a time limit. Its namespaces are named in a /run/netns of its own (a private
# mount namespace), so a rehearsal elsewhere on this machine is neither seen nor disturbed; whatever
# the page's last block leaves is deleted, and that it left nothing is checked.
#
# Checked: the watch's result lines and summary agree with the output the page shows, its exit
# status is the one the page names, the served boards came back and hold the image, the simulator's
# verdict is CLEAN, and the record counts the served boards. Needs root; exits 77 without.
set -u
DEB=$1 PAGE=$2
WORK=${WORK:-$(dirname "$0")/../../build/native/package-deb-rehearsal}
source "$(dirname "$0")/../lib/harness.sh"
source "$(dirname "$0")/current.sh"
IFS=: read -r -a inputs <<<"${PACKAGE_INPUTS:-}"
require_package "$DEB" "${inputs[@]}"
skip_unless_netns
command -v unshare >/dev/null || { echo "skipped: unshare (util-linux) is missing"; exit 77; }

TIME_LIMIT=${REHEARSAL_TIME_LIMIT:-150}
rm -rf "$WORK"
mkdir -p "$WORK/blocks" "$WORK/run"
WORK=$(cd "$WORK" && pwd)
dpkg-deb -x "$DEB" "$WORK/root" || { echo "FAIL: dpkg-deb cannot unpack $DEB"; exit 1; }
shipped=$WORK/root/usr/share/doc/tarnwell-cli/station-rehearsal.md
[ -f "$shipped" ] || { echo "FAIL: the package holds no station-rehearsal.md"; exit 1; }
cmp -s "$shipped" "$PAGE" || fail "the package's station-rehearsal.md differs from $PAGE"

# The page's blocks: sh ones to run, the text one with the output it shows.
awk -v dir="$WORK/blocks" '
  /^```sh$/   { n++; file = sprintf("%s/%d.sh", dir, n); inside = 1; printf "" > file; next }
  /^```text$/ { file = dir "/shown.txt"; inside = 1; printf "" > file; next }
  /^```$/     { inside = 0; next }
  inside      { print > file }' "$shipped"
blocks=$(find "$WORK/blocks" -name '*.sh' | wc -l)
[ "$blocks" -ge 2 ] || { echo "FAIL: the page has $blocks sh blocks"; exit 1; }
watch_block=$(grep -l 'tarnwell-cli watch' "$WORK/blocks"/*.sh)
[ "$(wc -w <<<"$watch_block")" = 1 ] || { echo "FAIL: not one block runs tarnwell-cli watch: $watch_block"; exit 1; }
[ -f "$WORK/blocks/shown.txt" ] || { echo "FAIL: the page shows no output of the watch"; exit 1; }

# Result lines as the page shows them, the time a board took to come back set aside.
result_lines() { grep -E $'^[0-9.]+\t' "$1" | sed -E 's/back after [0-9]+\.[0-9] s/back after T s/' | sort; }
summary_line() { grep -E '^[0-9]+ boards?: ' "$1" | tail -1 | sed -E 's/ in [0-9.]+ s$//'; }
shown_boards=$(result_lines "$WORK/blocks/shown.txt" | wc -l)

# One shell runs the blocks, in a private mount namespace whose /run/netns is its own.
{
  cat <<'EOF'
set -u
mount -t tmpfs -o mode=0755 tarnwell-rehearsal /run/netns || { echo "cannot give the rehearsal a /run/netns" >&2; exit 1; }
# Whatever the blocks leave: processes in the namespaces, then the namespaces.
clean_up() {
  local ns
  for ns in $(ip netns list | cut -d' ' -f1); do
    ip netns pids "$ns" | xargs -r kill -KILL 2>/dev/null
    ip netns del "$ns"
  done
}
trap clean_up EXIT
trap 'exit 143' TERM
export PATH=$WORK/root/usr/bin:$PATH
cd "$WORK/run" || exit 1
for program in tarnwell-cli tarnwell-boardsim; do
  [ "$(command -v $program)" = "$WORK/root/usr/bin/$program" ] || { echo "$program is not the package's" >&2; exit 1; }
done
# The watch block as a job of its own: Ctrl-C once every board has its line, and a round of asking after.
watch_block() {
  local job i
  set -m
  ( eval "$1" ) >"$WORK/watch.out" 2>"$WORK/watch.err" &
  job=$!
  set +m
  for i in $(seq $((TIME_LIMIT * 10))); do
    [ "$(grep -cE $'^[0-9.]+\t' "$WORK/watch.out")" -ge "$SHOWN_BOARDS" ] && break
    kill -0 "$job" 2>/dev/null || break
    sleep 0.1
  done
  sleep 1
  kill -INT -- -"$job"
  wait "$job"
  echo $? >"$WORK/watch.status"
}
EOF
  for block in $(find "$WORK/blocks" -name '*.sh' | sort -V); do
    echo "echo '== block $(basename "$block" .sh)' >&2"
    if [ "$block" = "$watch_block" ]; then
      printf 'watch_block %q\n' "$(cat "$block")"
    else
      cat "$block"
    fi
  done
  cat <<'EOF'
echo "== left behind: [$(ip netns list | cut -d' ' -f1 | tr '\n' ' ')]" >&2
EOF
} >"$WORK/rehearse.sh"

mkdir -p /run/netns
WORK=$WORK TIME_LIMIT=$TIME_LIMIT SHOWN_BOARDS=$shown_boards \
  timeout --kill-after=10 "$TIME_LIMIT" unshare --mount --propagation private bash "$WORK/rehearse.sh" \
  >"$WORK/rehearse.out" 2>"$WORK/rehearse.err"
status=$?
h_log "the page's blocks ran: exit status $status"
[ $status -eq 124 ] && fail "the rehearsal took longer than $TIME_LIMIT s"
expect_eq "exit status of the page's blocks" 0 "$status"
[ $status -eq 0 ] || sed 's/^/  rehearsal: /' "$WORK/rehearse.err"
expect_eq "namespaces the page left behind" "== left behind: []" "$(grep '^== left behind' "$WORK/rehearse.err")"

# The station's output against what the page shows.
expect_eq "the watch's result lines, as the page shows them" "$(result_lines "$WORK/blocks/shown.txt")" \
  "$(result_lines "$WORK/watch.out")"
expect_eq "the watch's summary after Ctrl-C, as the page shows it" "$(summary_line "$WORK/blocks/shown.txt")" \
  "$(summary_line "$WORK/watch.out")"
shown_status=$(grep -oE 'exit status is [0-9]+' "$PAGE" | head -1 | grep -oE '[0-9]+$')
expect_eq "the watch's exit status, as the page names it" "$shown_status" "$(cat "$WORK/watch.status" 2>/dev/null)"
while read -r back; do
  awk -v s="$back" 'BEGIN { exit !(s >= 1.5 && s < 5) }' || fail "a board with back=2000 came back after $back s"
done < <(grep -oE 'back after [0-9.]+ s' "$WORK/watch.out" | cut -d' ' -f3)

# The boards' side: every served board holds the image; the simulator's verdict.
image=$(find "$WORK/run" -maxdepth 2 -name 'vex_arm_fw_*.bin' | head -1)
[ -n "$image" ] || fail "the page made no image in its folder"
for ip in $(grep -E $'\tok, back after ' "$WORK/watch.out" | cut -f1); do
  cmp -s "$image" "$(dirname "$image")/images/$ip/$(basename "$image")" || fail "board $ip does not hold the image"
done
expect_contains "the simulator's verdict" "CLEAN" "$(grep -i verdict "$WORK/rehearse.out" | tail -1)"
expect_eq "served boards in the record (grep -c of the page)" \
  "$(grep -cE $'\tok, back after ' "$WORK/watch.out")" "$(grep -xE '[0-9]+' "$WORK/rehearse.out" | tail -1)"

if [ "$HARNESS_FAILS" -ne 0 ]; then
  for file in watch.out watch.err rehearse.out rehearse.err; do
    sed "s/^/  $file: /" "$WORK/$file" 2>/dev/null
  done
else
  h_log "the watch's lines: $(grep -cE $'^[0-9.]+\t' "$WORK/watch.out"), $(summary_line "$WORK/watch.out")"
  echo "all checks passed"
fi
rm -rf "$WORK"
harness_verdict
