@echo off
rem A production-line station: the fixture holds six boards at 192.168.1.1 to 192.168.1.6 on the
rem station's own network port. One command flashes all six at once and logs every step to
rem station.log; the exit status says whether every board took the image and acknowledged its
rem reboot.
rem
rem   station-example.cmd FIRMWARE.bin        e.g. station-example.cmd C:\Firmware\vex_arm_fw_2.4.bin
rem
rem TARNWELL_CLI names the program (default: tarnwell-cli.exe beside this file), STATION_LOG the
rem log file (default: station.log, appended to).
setlocal
if "%~1"=="" (
  echo usage: station-example.cmd FIRMWARE.bin
  exit /b 2
)
set "cli=%TARNWELL_CLI%"
if not defined cli set "cli=%~dp0tarnwell-cli.exe"
set "log=%STATION_LOG%"
if not defined log set "log=station.log"

"%cli%" flash "%~1" 192.168.1.1 192.168.1.2 192.168.1.3 192.168.1.4 192.168.1.5 192.168.1.6 --parallel 6 --log "%log%"
set status=%errorlevel%
if %status%==0 echo PASS: all six boards flashed
if %status%==1 echo FAIL: some boards were not flashed; the lines above say which and why
if %status%==2 echo STOP: the command was refused (bad file, name or address); see the message above
if %status%==3 echo FAIL: no board on the fixture answered, or none is of this firmware's kind
if %status%==4 echo STOP: the station has no network adapter to reach the fixture
exit /b %status%
