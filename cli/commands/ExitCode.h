#pragma once

// What tarnwell-cli's exit status means; --help lists the same values.
enum class CliExit : int {
    Ok = 0,             // every board served acknowledged its reboot request; discover: boards answered
    SomeFailed = 1,     // at least one board was not flashed
    Usage = 2,          // bad option, argument, file or address; nothing was sent
    NoBoardMatched = 3, // no board answered, or none carries the file's board label
    NoNetwork = 4,      // no IPv4 adapter to send from, or its sockets could not be opened
    OutputLost = 5,     // a write to standard output or to the log failed; the report is incomplete
    RecordLost = 5,     // a line of the record did not go in whole; the boards were still served
};
// An interrupt (SIGINT, SIGTERM, SIGHUP) ends the command with 128 + the signal's number.
