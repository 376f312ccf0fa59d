#!/usr/bin/env bash
# Tests of the Windows zip as a user receives it.
#
#   zip.sh contents ZIP VERSION   what the zip holds: the five files, README.txt and LICENSE with
#                                 Windows line ends, both programs stripped, the window under 1.5 MB,
#                                 no DLL imported but those Windows ships, and both programs marked
#                                 for ASLR (with relocations to move by, high-entropy) and DEP
#   zip.sh run ZIP VERSION        the zip unpacked into a folder of a fresh Wine prefix (under the
#                                 build tree, removed afterwards); from there, against six simulated
#                                 boards in the namespace test bed: tarnwell-cli.exe answers
#                                 --version, the window lists the boards, downloads an image that
#                                 arrives identical and writes its settings file in that folder, and
#                                 station-example.cmd flashes all six. Needs root; exits 77 without.
#
# E2E_WIN is the Windows build tree (the UI driver comes from it), E2E_BOARDSIM the simulator.
mode=$1 ZIP=$2 VERSION=$3
source "$(dirname "$0")/../e2e/lib.sh"
OBJDUMP=${OBJDUMP:-x86_64-w64-mingw32-objdump}
FOLDER=Tarnwell

# The DLLs a 64-bit Windows installation holds; anything else would have to be shipped.
SYSTEM_DLLS="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll iphlpapi.dll kernel32.dll msvcrt.dll
ole32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll"

source "$(dirname "$0")/current.sh"
check_zip_is_current() {
  require_package "$ZIP" "$E2E_WIN/Tarnwell.exe" "$E2E_WIN/cli/tarnwell-cli.exe"
}

contents() {
  local work=$1 listing exe imports dll size
  listing=$(unzip -Z1 "$ZIP" | sort)
  expect_eq "files in the zip" "$FOLDER/
$FOLDER/LICENSE
$FOLDER/README.txt
$FOLDER/Tarnwell.exe
$FOLDER/station-example.cmd
$FOLDER/tarnwell-cli.exe" "$listing"
  unzip -q "$ZIP" -d "$work" || fail "unzip failed"
  for text in README.txt LICENSE station-example.cmd; do
    expect_eq "$text: lines without a CR before the LF" 0 "$(grep -c $'[^\r]$\|^$' "$work/$FOLDER/$text")"
  done
  expect_contains "README.txt names the version" "Tarnwell $VERSION" "$(cat "$work/$FOLDER/README.txt")"
  for exe in Tarnwell.exe tarnwell-cli.exe; do
    "$OBJDUMP" -h "$work/$FOLDER/$exe" | grep -q '\.debug_' && fail "$exe is not stripped"
    imports=$("$OBJDUMP" -p "$work/$FOLDER/$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    [ -n "$imports" ] || fail "$exe: objdump found no imports"
    for dll in $imports; do
      [[ " $(echo $SYSTEM_DLLS) " == *" $dll "* ]] || fail "$exe imports $dll, which Windows does not ship"
    done
    h_log "$exe imports: $(echo $imports)"
    # The PE header's DllCharacteristics: DYNAMIC_BASE (0x40, ASLR), HIGH_ENTROPY_VA (0x20, 64-bit
    # ASLR), NX_COMPAT (0x100, DEP); ASLR needs base relocations to move the image by.
    local header flags flag
    header=$("$OBJDUMP" -p "$work/$FOLDER/$exe")
    flags=$(sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' <<<"$header")
    for flag in 40:DYNAMIC_BASE 20:HIGH_ENTROPY_VA 100:NX_COMPAT; do
      (( 0x${flags:-0} & 0x${flag%%:*} )) || fail "$exe: DllCharacteristics 0x$flags lacks ${flag#*:}"
    done
    grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$header" ||
      fail "$exe has no base relocations: $(grep 'Base Relocation' <<<"$header")"
    h_log "$exe: DllCharacteristics 0x$flags"
  done
  size=$(stat -c %s "$work/$FOLDER/Tarnwell.exe")
  h_log "Tarnwell.exe: $size bytes"
  [ "$size" -lt 1500000 ] || fail "Tarnwell.exe is $size bytes, not under 1.5 MB"
}

# ---- run inside the workstation namespace -------------------------------------------------------

inside() {
  local app=$WINEPREFIX/drive_c/Tools/$FOLDER winapp='C:\Tools\Tarnwell' image out status
  out=$(wine "$winapp\\tarnwell-cli.exe" --version 2>&1 | tr -d '\r')
  expect_eq "tarnwell-cli.exe --version" "tarnwell-cli $VERSION" "$out"
  h_log "tarnwell-cli.exe --version: $out"

  # Started as a user does, by its path, from a working folder of another place.
  image=$(make_image vex_arm_fw_zip.bin 30000)
  ( cd "$E2E_DIR" && exec wine "$winapp\\Tarnwell.exe" ) >/dev/null 2>&1 &
  HARNESS_PROGRAM=$!
  ui --timeout 30000 wait-main 30000 >/dev/null || fail "the main window did not open"
  ui menu search -- wait-units 6 10000 >/dev/null || fail "the six boards should be listed"
  expect_eq "boards listed" 6 "$(ui read units | grep -c 'FW VEX')"
  h_log "the window lists $(ui read units | grep -c 'FW VEX') boards"
  ui select-all >/dev/null
  choose_file "$image"
  ui menu download >/dev/null
  for _ in $(seq 300); do
    [ "$(ui read status | grep -c 'is rebooting')" -ge 6 ] && break
    sleep 0.2
  done
  expect_eq "boards that reported their reboot" 6 "$(ui read status | grep -c 'is rebooting')"
  for board in $TW_BOARD_IPS; do
    expect_image "$board" "$E2E_DIR/fw/vex_arm_fw_zip.bin"
  done
  ui menu exit -- wait-gone main 5000 >/dev/null || fail "the window did not close on Exit"
  # The settings reach the file when the program exits.
  for _ in $(seq 100); do kill -0 "$HARNESS_PROGRAM" 2>/dev/null || break; sleep 0.1; done
  expect_eq "settings file in the program's folder" "Firmware File=$image" \
    "$(tr -d '\r' <"$app/Tarnwell.ini" 2>/dev/null | grep '^Firmware File=')"
  h_log "C:\\Tools\\Tarnwell\\Tarnwell.ini: $(tr -d '\r' <"$app/Tarnwell.ini" 2>/dev/null | tr '\n' ' ')"
  expect_eq "files in the program's folder" "LICENSE README.txt Tarnwell.exe Tarnwell.ini station-example.cmd tarnwell-cli.exe" \
    "$(ls "$app" | sort | tr '\n' ' ' | sed 's/ $//')"

  # The station example: all six boards at once, from a command prompt in a folder of its own.
  image=$(make_image vex_arm_fw_station.bin 20000)
  mkdir -p "$E2E_DIR/station"
  out=$(cd "$E2E_DIR/station" && wine cmd /c "$winapp\\station-example.cmd" "$image" 2>"$E2E_DIR/station.err" | tr -d '\r')
  status=$?
  expect_eq "station-example.cmd: exit status" 0 "$status"
  expect_contains "station-example.cmd: verdict" "PASS: all six boards flashed" "$out"
  h_log "station-example.cmd: $(tail -1 <<<"$out")"
  expect_eq "station-example.cmd: boards ok" 6 "$(grep -c $'\tok\t' <<<"$out")"
  [ -s "$E2E_DIR/station/station.log" ] || fail "station-example.cmd wrote no station.log"
  for board in $TW_BOARD_IPS; do
    expect_image "$board" "$E2E_DIR/fw/vex_arm_fw_station.bin"
  done
  e2e_end
}

run() {
  local status
  skip_unless_netns
  # A fresh prefix, as a user's first start would have, set up the way the other tests' one is.
  export E2E_DIR=$E2E_WIN/package-zip-test
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR/images"
  export WINEPREFIX=$E2E_DIR/prefix
  wineserver -k 2>/dev/null
  "$E2E_ROOT/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || fail "the fresh prefix could not be made"
  mkdir -p "$WINEPREFIX/drive_c/Tools"
  unzip -q "$ZIP" -d "$WINEPREFIX/drive_c/Tools" || fail "unzip failed"
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  local simcmd
  simcmd=$(printf '%q ' "$E2E_BOARDSIM" --out "$E2E_DIR/images" --summary "$E2E_DIR/summary.json" \
           --log "$E2E_DIR/sim.log" --board "name=FW VEX %d,mac=00:50:c2:00:30:01,ip=192.168.1.1,count=6")
  # An X display of its own, as the end-to-end tests have: it runs beside them.
  E2E_INSIDE=1 TARNWELL_XVFB=1 "$E2E_ROOT/scripts/with-display.sh" \
    "$E2E_ROOT/tools/testbed.sh" --quiet --layout one-subnet --count 6 \
    --boards-log "$E2E_DIR/sim.out" --boards-cmd "$simcmd" -- bash "$0" inside "$ZIP" "$VERSION"
  status=$?
  wineserver -k 2>/dev/null
  if [ $status -ne 0 ]; then
    HARNESS_UI_ERR=$E2E_DIR/ui.err show_ui_err
    h_log "simulator log tail:"
    tail -n 30 "$E2E_DIR/sim.log" "$E2E_DIR/sim.out" >&2 2>/dev/null
  fi
  # The prefix's server directory goes with it.
  rm -rf "$TMPDIR/$(cat "$WINEPREFIX/wineserver" 2>/dev/null || echo none)" "$E2E_DIR"
  [ $status -eq 0 ] && h_log "all checks passed"
  exit $status
}

case $mode in
  contents)
    check_zip_is_current
    work=$E2E_WIN/package-zip-contents
    rm -rf "$work"
    mkdir -p "$work"
    contents "$work"
    rm -rf "$work"
    [ "$HARNESS_FAILS" -ne 0 ] || h_log "all checks passed"
    harness_verdict
    ;;
  run) check_zip_is_current; run ;;
  inside) inside ;;
  *) echo "usage: zip.sh contents|run ZIP VERSION" >&2; exit 2 ;;
esac
