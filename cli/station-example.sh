#!/usr/bin/env bash
# A production-line station: the fixture holds six boards at 192.168.1.1 to 192.168.1.6 on the
# station's own network port. One command flashes all six at once, waits for each to come back after
# its reboot, logs every step and appends one line per board to the station's record; the exit status
# says whether every board took the image and came back.
#
#   cli/station-example.sh FIRMWARE.bin        e.g. cli/station-example.sh /srv/fw/vex_arm_fw_2.4.bin
#
# TARNWELL_CLI names the program (default: tarnwell-cli on the PATH), STATION_LOG the log file
# (default: station.log), STATION_RECORD the record (default: station-record.jsonl; both appended to),
# STATION_RETURN the seconds a board may take to come back (default 60).
set -u
firmware=${1:?usage: station-example.sh FIRMWARE.bin}
cli=${TARNWELL_CLI:-tarnwell-cli}
log=${STATION_LOG:-station.log}
record=${STATION_RECORD:-station-record.jsonl}
back=${STATION_RETURN:-60}

"$cli" flash "$firmware" 192.168.1.{1..6} --parallel 6 --verify-return "$back" --log "$log" --record "$record"
status=$?
case $status in
0) echo "PASS: all six boards flashed and back" ;;
1) echo "FAIL: some boards were not flashed or did not come back; the lines above say which and why" ;;
2) echo "STOP: the command was refused (bad file, name, address or record); see the message above" ;;
3) echo "FAIL: no board on the fixture answered, or none is of this firmware's kind" ;;
4) echo "STOP: the station has no network adapter to reach the fixture" ;;
5) echo "CHECK: the boards were served, but the report, the log or the record could not be written in full" ;;
129 | 130 | 143) echo "STOPPED: interrupted; the lines above say which boards were left unfinished" ;;
esac
exit $status
