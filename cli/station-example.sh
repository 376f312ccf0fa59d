#!/usr/bin/env bash
# A production-line station: the fixture holds six boards at 192.168.1.1 to 192.168.1.6 on the
# station's own network port. One command flashes all six at once and logs every step; the exit
# status says whether every board took the image and acknowledged its reboot.
#
#   cli/station-example.sh FIRMWARE.bin        e.g. cli/station-example.sh /srv/fw/vex_arm_fw_2.4.bin
#
# TARNWELL_CLI names the program (default: tarnwell-cli on the PATH), STATION_LOG the log file
# (default: station.log, appended to).
set -u
firmware=${1:?usage: station-example.sh FIRMWARE.bin}
cli=${TARNWELL_CLI:-tarnwell-cli}
log=${STATION_LOG:-station.log}

"$cli" flash "$firmware" 192.168.1.{1..6} --parallel 6 --log "$log"
status=$?
case $status in
0) echo "PASS: all six boards flashed" ;;
1) echo "FAIL: some boards were not flashed; the lines above say which and why" ;;
2) echo "STOP: the command was refused (bad file, name or address); see the message above" ;;
3) echo "FAIL: no board on the fixture answered, or none is of this firmware's kind" ;;
4) echo "STOP: the station has no network adapter to reach the fixture" ;;
5) echo "CHECK: the boards were served, but the report or the log could not be written in full" ;;
129 | 130 | 143) echo "STOPPED: interrupted; the lines above say which boards were left unfinished" ;;
esac
exit $status
