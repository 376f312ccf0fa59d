#!/usr/bin/env bash
# Tests of the Debian package as a user receives it.
#
#   deb.sh contents DEB VERSION   control fields, the exact file list with owners and modes, lintian
#                                 without errors and without hardening tags (-I), both programs
#                                 hardened (PIE, read-only relocations bound at start, stack
#                                 protector), the unpacked programs' --version, manual pages that
#                                 hold every option --help names, the bash completions, and the
#                                 copyright and changelog files
#   deb.sh flash DEB VERSION BOARDSIM TESTBED
#                                 the program unpacked from the package flashes a simulated board in
#                                 the namespace test bed; needs root, exits 77 without
# The package is unpacked under WORK (default: a scratch folder in the build tree), never installed.
set -u
mode=$1 DEB=$2 VERSION=$3
WORK=${WORK:-$(dirname "$0")/../../build/native/package-deb-test}
source "$(dirname "$0")/../lib/harness.sh"
finish() {
  rm -rf "$WORK"
  [ "$HARNESS_FAILS" -ne 0 ] || echo "all checks passed"
  harness_verdict
}

# PACKAGE_INPUTS: the built programs the package ships, separated by ':'.
source "$(dirname "$0")/current.sh"
IFS=: read -r -a inputs <<<"${PACKAGE_INPUTS:-}"
require_package "$DEB" "${inputs[@]}"
rm -rf "$WORK"
mkdir -p "$WORK"
dpkg-deb -x "$DEB" "$WORK/root" || { echo "FAIL: dpkg-deb cannot unpack $DEB"; exit 1; }
cli=$WORK/root/usr/bin/tarnwell-cli
boardsim=$WORK/root/usr/bin/tarnwell-boardsim

contents() {
  local field expected listing help options option page completion
  expect_eq "package file name" "tarnwell-cli_${VERSION}_$(dpkg --print-architecture).deb" "$(basename "$DEB")"
  for field in "Package=tarnwell-cli" "Version=$VERSION" "Architecture=$(dpkg --print-architecture)" \
      "Section=utils" "Priority=optional" "Maintainer=The Tarnwell developers <tarnwell@example.org>"; do
    expect_eq "control field ${field%%=*}" "${field#*=}" "$(dpkg-deb -f "$DEB" "${field%%=*}")"
  done
  expect_eq "description's first line" "find networked boards and upgrade their firmware" \
    "$(dpkg-deb -f "$DEB" Description | head -1)"
  grep -qE '(^|, )libc6 \(>= ' <<<"$(dpkg-deb -f "$DEB" Depends)" ||
    fail "Depends names no libc6 version: $(dpkg-deb -f "$DEB" Depends)"

  # mode owner path, for every entry
  listing=$(dpkg-deb -c "$DEB" | awk '{print $1, $2, $6}' | sort -k3)
  expected=$(sort -k3 <<'LIST'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/tarnwell-boardsim
-rwxr-xr-x root/root ./usr/bin/tarnwell-cli
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/bash-completion/
drwxr-xr-x root/root ./usr/share/bash-completion/completions/
-rw-r--r-- root/root ./usr/share/bash-completion/completions/tarnwell-boardsim
-rw-r--r-- root/root ./usr/share/bash-completion/completions/tarnwell-cli
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/tarnwell-cli/
-rw-r--r-- root/root ./usr/share/doc/tarnwell-cli/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/tarnwell-cli/copyright
-rw-r--r-- root/root ./usr/share/doc/tarnwell-cli/station-rehearsal.md
drwxr-xr-x root/root ./usr/share/lintian/
drwxr-xr-x root/root ./usr/share/lintian/overrides/
-rw-r--r-- root/root ./usr/share/lintian/overrides/tarnwell-cli
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/tarnwell-boardsim.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/tarnwell-cli.1.gz
LIST
)
  expect_eq "files in the package" "$expected" "$listing"

  # lintian leaves scratch files in TMPDIR; they go with WORK. -I: the hardening tags are of the
  # informational kind; an overridden one (packaging/debian/tarnwell-cli.lintian-overrides says
  # why) is not shown.
  mkdir -p "$WORK/tmp"
  if ! TMPDIR=$WORK/tmp lintian -I --fail-on error "$DEB" >"$WORK/lintian.out" 2>&1; then
    fail "lintian reports errors:"
    cat "$WORK/lintian.out"
  else
    grep -v 'running with root privileges' "$WORK/lintian.out" | sed 's/^/lintian: /'
  fi
  grep -q 'hardening-' "$WORK/lintian.out" && fail "lintian names hardening tags: $(grep 'hardening-' "$WORK/lintian.out")"

  # What lintian looks for, looked at directly: position-independent, relocations read-only and
  # bound at start-up, the stack protector.
  local program elf
  for program in "$cli" "$boardsim"; do
    elf="$(readelf -hdlW --dyn-syms "$program")"
    grep -q 'Type:.*DYN' <<<"$elf" || fail "$(basename "$program") is not position-independent"
    grep -q 'GNU_RELRO' <<<"$elf" || fail "$(basename "$program") has no read-only relocations (relro)"
    grep -qE '\(FLAGS\).*BIND_NOW|Flags:.* NOW' <<<"$elf" || fail "$(basename "$program") does not bind at start (bindnow)"
    grep -q '__stack_chk_fail' <<<"$elf" || fail "$(basename "$program") has no stack protector"
    grep -E ' __[a-z]+_chk' <<<"$elf" | grep -qv __stack_chk_fail || fail "$(basename "$program") calls no fortified function"
    file "$program" | grep -q 'not stripped' && fail "$(basename "$program") is not stripped"
  done

  expect_eq "tarnwell-cli --version" "tarnwell-cli $VERSION" "$("$cli" --version)"
  expect_eq "tarnwell-boardsim --version" "tarnwell-boardsim $VERSION" "$("$boardsim" --version)"

  # The manual pages are made from --help: every option (and command) --help names is in them.
  local program summary words_too page_file
  while IFS='|' read -r program summary words_too; do
    help=$("$WORK/root/usr/bin/$program" --help)
    page_file=$WORK/root/usr/share/man/man1/$program.1.gz
    page=$(zcat "$page_file" | sed 's/\\-/-/g')
    grep -q "^\.TH ${program^^} \"1\"" <<<"$page" || fail "$program's manual page header: $(head -3 <<<"$page")"
    grep -qF "$program - $summary" <<<"$page" || fail "$program's manual page: NAME line missing"
    options=$(grep -oE -- '--[a-z][a-z-]+' <<<"$help" | sort -u)
    [ "$(wc -l <<<"$options")" -ge 8 ] || fail "$program --help names too few options: $options"
    for option in $options $words_too "Exit status"; do
      grep -qF -- "$option" <<<"$page" || fail "$program's manual page lacks $option"
    done
    if command -v man >/dev/null; then
      # As lintian looks at it: groff's warnings about the page.
      LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page_file" 2>&1 >/dev/null | grep . &&
        fail "man reports problems with $program's page"
    fi
  done <<'PAGES'
tarnwell-cli|find networked boards and upgrade their firmware|discover flash watch
tarnwell-boardsim|simulated networked boards, to rehearse firmware upgrades without hardware|ip=A.B.C.D nak=REQ
PAGES

  # Completion: sourced as bash-completion does, with the unpacked programs on the PATH.
  mkdir -p "$WORK/files/sub"
  touch "$WORK/files/vex_arm_fw_1.bin" "$WORK/files/notes.txt" "$WORK/files/list.txt"
  complete_words() {  # complete_words PROGRAM WORD...: what completing the last word offers
    (
      cd "$WORK/files" || exit 1
      PATH=$WORK/root/usr/bin:$PATH
      source "$WORK/root/usr/share/bash-completion/completions/$1"
      COMP_WORDS=("$@")
      COMP_CWORD=$(($# - 1))
      "_${1//-/_}" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
      printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
    )
  }
  local words want
  # expected completions | the words typed (the last one being completed)
  while IFS='|' read -r want words; do
    # shellcheck disable=SC2086
    expect_eq "completion of [$words]" "$want" "$(complete_words $words '')"
  done <<'TABLE'
discover flash watch|tarnwell-cli
sub vex_arm_fw_1.bin|tarnwell-cli flash
list.txt notes.txt sub vex_arm_fw_1.bin|tarnwell-cli discover --list
list.txt notes.txt sub vex_arm_fw_1.bin|tarnwell-cli flash x.bin --log
|tarnwell-cli flash x.bin --parallel
|tarnwell-cli discover --wait
discover flash watch|tarnwell-cli --wait 2
sub vex_arm_fw_1.bin|tarnwell-cli --json flash
sub|tarnwell-boardsim --out
list.txt notes.txt sub vex_arm_fw_1.bin|tarnwell-boardsim --board x --expect
|tarnwell-boardsim --port
TABLE
  # Completing a word that has begun:
  expect_eq "completion of [fl]" "flash" "$(complete_words tarnwell-cli fl)"
  expect_eq "completion of [flash x.bin --pa]" "--parallel" "$(complete_words tarnwell-cli flash x.bin --pa)"
  expect_eq "completion of [--vers]" "--version" "$(complete_words tarnwell-cli --vers)"
  expect_eq "completion of [discover --j]" "--json" "$(complete_words tarnwell-cli discover --j)"
  expect_eq "completion of [watch x.bin --req]" "--require-confirmed" "$(complete_words tarnwell-cli watch x.bin --req)"
  expect_eq "completion of [--ver]" "--verdict --version" "$(complete_words tarnwell-boardsim --ver)"
  expect_eq "completion of [--board na]" "nak= name=" "$(complete_words tarnwell-boardsim --board na)"
  expect_eq "completion of [--board ip=192.168.1.1,sil]" "ip=192.168.1.1,silent ip=192.168.1.1,silent=" \
    "$(complete_words tarnwell-boardsim --board ip=192.168.1.1,sil)"

  expect_eq "copyright format" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
    "$(head -1 "$WORK/root/usr/share/doc/tarnwell-cli/copyright")"
  expect_eq "changelog's newest entry" "tarnwell-cli ($VERSION) unstable; urgency=medium" \
    "$(zcat "$WORK/root/usr/share/doc/tarnwell-cli/changelog.gz" | head -1)"
}

flash() {
  local boardsim=$1 testbed=$2 out
  mkdir -p "$WORK/fw" "$WORK/images"
  head -c 70000 /dev/urandom >"$WORK/fw/vex_arm_fw_deb.bin"
  local simcmd
  simcmd=$(printf '%q ' "$boardsim" --out "$WORK/images" --expect "$WORK/fw/vex_arm_fw_deb.bin" \
           --board "name=FW VEX 1,ip=192.168.1.1")
  out=$("$testbed" --quiet --layout one-subnet --count 1 --boards-log "$WORK/sim.out" --boards-cmd "$simcmd" \
        -- "$cli" flash "$WORK/fw/vex_arm_fw_deb.bin" 192.168.1.1 --quiet)
  expect_eq "flash: exit status" 0 $?
  expect_eq "flash: result line" $'192.168.1.1\tok\tFW VEX 1' "$(head -1 <<<"$out")"
  cmp -s "$WORK/fw/vex_arm_fw_deb.bin" "$WORK/images/192.168.1.1/vex_arm_fw_deb.bin" ||
    fail "the image the board assembled differs from the file"
  grep -q 'CLEAN$' "$WORK/sim.out" || fail "simulator's verdict: $(grep verdict "$WORK/sim.out")"
}

case $mode in
  contents) contents ;;
  flash)
    [ "$(id -u)" = 0 ] || rm -rf "$WORK"
    skip_unless_netns
    flash "$4" "$5"
    ;;
  *) echo "usage: deb.sh contents DEB VERSION | flash DEB VERSION BOARDSIM TESTBED" >&2; exit 2 ;;
esac
finish
