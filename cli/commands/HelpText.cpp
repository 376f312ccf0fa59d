#include "cli/commands/HelpText.h"

#include "TarnwellVersion.h"

std::string VersionText()
{
    return "tarnwell-cli " TARNWELL_VERSION "\n";
}

std::string HelpText()
{
    return R"HELP(tarnwell-cli: find networked boards and upgrade their firmware from the command line.

Usage:
  tarnwell-cli discover [ADDR...] [--to ADDR[,ADDR...]] [--list FILE] [--wait SECONDS] [--json]
  tarnwell-cli flash FILE ADDR... | --list FILE | --all  [--parallel N] [--wait SECONDS] [--json]
               [--verify-return SECONDS] [--record FILE] [--require-confirmed]
  tarnwell-cli watch FILE [--interval SECONDS] [--parallel N] [--verify-return SECONDS]
               [--record FILE] [--once-per-mac] [--require-confirmed]
  tarnwell-cli --help | --version
Common options: [--log FILE] [--quiet]

Boards answer on UDP port 2016. Every request leaves through the local adapter whose subnet holds the
board; a broadcast leaves from every adapter except loopback.

discover
  Without addresses, broadcasts a discovery request on every adapter and waits --wait seconds
  (default 2) for replies. With addresses (arguments, --to, --list), asks each of them and stops
  early once all have answered; those that did not are named on standard error. Prints one line per
  board: NAME<TAB>ADDRESS<TAB>MAC, in the order the replies came; with --json a document
  {"boards": [{"name", "address", "mac"}]} (and "unanswered": [ADDRESS...] when some did not answer).
  Boards' names and MACs are decoded from Windows-1252 to UTF-8; in lines, tab, line breaks, backslash
  and other control characters are written \t \n \r \\ \xNN, so that a board is always one line.

flash FILE
  Sends FILE to the boards named by address (arguments, --to, --list) or, with --all, to every board
  that answers a discovery broadcast. The file's name must hold a kind token; a board is served only
  when its name carries that kind's board label:
      vex_arm_fw -> "FW VEX"         dal_arm_fw -> "FW DAL1+1"       pim_dal1_2_fw -> "FW PIM DAL2+1"
      pim_sot1_2_fw -> "FW PIM SOT2+1"                               gur_arm_fw -> "FW GUR"
  Boards are first asked for their name (up to --wait seconds); boards of another kind are skipped and
  reported. Each board then gets the file name, the data in blocks of 504 bytes and a reboot request,
  each acknowledged before the next, with a 5-second time-out and one retransmission per request.
  Progress goes to standard error: on a terminal one live line per board (address, bar, state), plain
  lines with the status texts otherwise (the log always gets them). At the end, one result line per
  board on standard output, ADDRESS<TAB>RESULT<TAB>NAME, where RESULT is "ok", "ok, unconfirmed (...)",
  "no reply to ...", "negative acknowledgement of ..." (the request, or "data block N"),
  "acknowledgements out of step at data block N; not rebooted", "file error reading the image" or
  "skipped: another kind ...", in the order the boards were named (by address with --all), then a
  summary line. --json prints a document with the same content instead. FILE must be a regular file
  (not a FIFO or a device) that fits in memory; it is read whole before anything is sent.

Acknowledgements
  What a board's acknowledgements prove decides its result. "ok": its acknowledgements echo the block
  numbers and every one taken named its own block, so the board received the image whole. "ok,
  unconfirmed (the board's acknowledgements carry no block numbers)": acknowledgements of 2 bytes, of
  zeros or with a fixed sequence number cannot say which block they answer; a late or repeated one
  may have stood for a block that never arrived, and the protocol cannot tell. It is still a success
  unless --require-confirmed is given. "acknowledgements out of step": an acknowledgement may have
  been taken for the wrong block; the board is started over from its file name once (its bar starts
  again from 0), and when that happens again it fails and is not sent the reboot request.

Interrupts
  Ctrl-C, SIGTERM or SIGHUP (on Windows Ctrl-C, Ctrl-Break or closing the console) stops sending at
  once and finishes the report: a board being served is "interrupted at block K of N" (blocks
  counted from 0, as "data block N" is; or "... at the file name request", "... at the reboot
  request"), one not yet begun "not started"; the summary, the JSON
  document and the log are complete. The exit status is then 128 + the signal (130 for Ctrl-C).
  A second Ctrl-C ends the program at once, without the report.

watch FILE
  A station: asks for boards on every adapter every --interval seconds (default 2) and flashes each
  newly seen board whose name carries FILE's board label, up to --parallel at once. A board of another
  kind is reported once and left alone; a board (told by its MAC) is flashed at most once per run,
  also when it answers from a new address after its old one went quiet. Two addresses that answer
  with one MAC in the same round are two boards: both are served, and a warning names them.
  One result line per board as it is done. Ctrl-C ends the run: boards still going are reported
  ("interrupted at data block N", ...), then a summary line of served, failed, skipped and still
  running boards; the exit status is that of flash (0 when nothing failed or was cut short).

Options:
  --to ADDR[,ADDR...]  boards by address (repeatable); the same as address arguments; a list
                       without an address is refused
  --list FILE          boards by address from FILE: separated by line ends, commas or blanks,
                       '#' starts a comment (repeatable)
  --all                flash: every board that answers a broadcast
  --parallel N         flash: serve up to N boards at once (1 to 256; default 1, one after another);
                       board i goes to lane i mod N, each lane serves its boards in turn
  --wait SECONDS       how long discovery waits for replies (default 2; fractions such as 0.5 allowed)
  --json               results as JSON on standard output
  --verify-return SECONDS  flash, watch: after a board acknowledged its reboot request, ask it by
                       address until it answers again ("ok, back after 3.2 s") or SECONDS pass
                       ("rebooted, did not come back within SECONDS s", a failure)
  --record FILE        flash, watch: append one JSON line per board to FILE, each in one write: UTC
                       start and end, address, MAC, name (and name after the return), image name,
                       size and SHA-256, result, ok, confirmed, blocks, passes, retransmissions,
                       duration; refused before anything is sent when FILE is empty, its folder is
                       missing or it cannot be opened for appending; a line that cannot be written
                       later is said on standard error (exit status 5)
  --require-confirmed  flash, watch: an unconfirmed result ("ok, unconfirmed") is a failure
  --interval SECONDS   watch: how often to ask for boards (default 2, at least 0.1)
  --once-per-mac       watch, with --record: leave a board alone when the record's last line for its
                       MAC and address is ok with this image (same SHA-256); with
                       --require-confirmed, only when that line is also confirmed
  --log FILE           append every status line, stamped with the UTC time, to FILE
  --quiet              no progress and no status lines on standard error (errors still)
  -h, --help           this text
  --version            the version

Exit status:
  0  flash: every board acknowledged its reboot request (and, with --verify-return, came back);
     discover: at least one board answered; watch: nothing failed or was cut short by Ctrl-C
  1  flash: some boards failed (no reply, negative acknowledgement, acknowledgements out of step,
     file error, did not come back, unconfirmed with --require-confirmed; watch: also a board still
     going at Ctrl-C); when boards are
     named, a named board that did not answer discovery or is of another kind also counts
     (with --all, boards of another kind are only reported)
  2  usage error: unknown option or command, bad value, missing or unreadable file, a file name
     without a kind token or too long for a request, a FIFO or device as FILE, an address in no
     local subnet, an empty --to, --log or --record, an unwritable log (also one that takes no first
     line) or record
  3  no board matched: no board answered, or none carries the file's board label
  4  no network: no IPv4 adapter to send from, or its sockets could not be opened
  5  output lost: a write to standard output, the log or the record failed (said on standard
     error); the boards were still served, but the report, the log or the record is incomplete
  128+N  interrupted by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP); the report is complete

Messages go to standard error, results to standard output.
)HELP";
}
