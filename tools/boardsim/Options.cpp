#include "Options.h"

#include <charconv>
#include <fstream>
#include <set>

namespace boardsim {

namespace {

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && value <= max;
}

bool ReadBoardFile(const std::string& path, std::vector<BoardConfig>& boards, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!ParseBoardConfig(line.substr(first), boards, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace

std::string Options::Usage(const std::string& program)
{
    return "Usage: " + program + R"( --board BOARD [--board BOARD ...] [options]

Plays networked boards that speak the board protocol on UDP port 2016: answers discovery and the file-name,
data and reboot requests of a download, assembles and writes every image it receives, logs every request,
and flags every request that breaks the protocol. Stops on SIGINT or SIGTERM and prints a verdict per board.

BOARD: comma-separated items ("\," for a comma inside a value)
  ip=A.B.C.D            the board's address; it must be configured on an interface here (required);
                        a space-separated list makes one board per address (e.g. ip=$TW_BOARD_IPS)
  name=TEXT             name in the discovery reply (default "Board %d")
  mac=TEXT              MAC text in the discovery reply (default derived from the address)
  count=N               N boards on consecutive addresses (host octets .0 and .255 skipped)
                        with a range or a list, "%d" in the name becomes 1..N and a MAC written as six
                        hex octets counts up
  appear=MS[:STEP]      answers nothing until MS ms after the start, as a board plugged in later; with
                        STEP, each further board of a range or list STEP ms after the one before
  back=MS|never         after acknowledging a reboot request, answers nothing for MS ms (or never again),
                        then answers discovery (and a new download) again
  renamed=TEXT          after its reboot, the name in the discovery reply ("%d" numbered as in name=)
 faults (REQ is discover, filename, reboot, data:K for block K, or data:* for every block):
  silent                never answer a download request (discovery is still answered)
  silent=all, mute      never answer anything
  nak=REQ[:STATUS]      answer REQ with a negative acknowledgement, status STATUS (default 1)
  drop=REQ[:N]          ignore the first N transmissions of REQ (default 1), as if lost on the wire
  lost-ack=REQ[:N]      act on the first N transmissions of REQ (default 1) but lose their answers on the
                        way back: the board stores the request, the sender hears nothing
  late=REQ:MS           answer the first transmission of REQ MS milliseconds late; later ones at once
  twice                 answer every download request twice
  twice=REQ[:MS]        answer REQ twice, the second copy MS milliseconds after the first (default 0)
  disc-reply=HEX        send these bytes as the discovery reply (e.g. 01050000000000004100)
  latency=MS            answer every data block MS milliseconds after it arrives (a board that writes
                        flash as it goes)
  ack=echo|short|zero   acknowledgement form: echo (default) = 8 bytes, the request's header with status 5
                        (opcode, 5, length, sequence); short = 2 bytes (opcode, status);
                        zero = 8 bytes, opcode and status, then zeros
  ack-seq=N             every 8-byte acknowledgement carries sequence N (decimal or 0x hex)
  ack-len=N             every 8-byte acknowledgement carries length N
  reply-port=N          every reply leaves from port N of the board's address, not from the board port
 e.g. --board "name=FW VEX 1,ip=192.168.1.1,late=data:3:6000,drop=data:4"

Options:
  --board BOARD          a board (repeatable)
  --board-file FILE     one BOARD per line; blank lines and lines starting with '#' skipped
  --out DIR             write each image to DIR/<board ip>/<file name> (".partial" appended when the
                        download did not end with a reboot request)
  --expect FILE         compare every image with FILE; the verdict says identical or DIFFERS
  --log FILE            write the request log to FILE instead of standard output
  --quiet               log flags only, not every request
  --summary FILE        JSON summary of every board's requests, flags and images (at exit and on SIGUSR1)
  --verdict FILE        the same verdict as key=value lines (at exit and on SIGUSR1)
  --ready-file FILE     create FILE once every socket is bound
  --port N              UDP port of the boards (default 2016)
  --listen ADDR|none    address of the listener that hears broadcasts (default 0.0.0.0, or
                        127.255.255.255 when every board is on 127/8); "none" for no listener
  --broadcast-all       every board answers every broadcast; by default a broadcast is answered by the
                        boards whose address lies in a subnet of the interface it came in on
  --spread MS           spread the replies to one broadcast evenly over MS milliseconds
  --exit-after SECONDS  stop by itself after this time
  --help                this text
  --version             the program's name and version

Exit status: 0 clean (no flag, no image that differs from --expect), 1 flagged, 2 usage or socket error.
)";
}

bool Options::Parse(int argc, const char* const* argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& target) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            target = argv[++i];
            return true;
        };
        std::string text;
        unsigned long long number = 0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        } else if (arg == "--version") {
            options.version = true;
            return true;
        } else if (arg == "--board") {
            if (!value(text))
                return false;
            if (!ParseBoardConfig(text, options.boards, error)) {
                error = "--board \"" + text + "\": " + error;
                return false;
            }
        } else if (arg == "--board-file") {
            if (!value(text) || !ReadBoardFile(text, options.boards, error))
                return false;
        } else if (arg == "--out") {
            if (!value(options.outDir))
                return false;
        } else if (arg == "--expect") {
            if (!value(options.expectPath))
                return false;
        } else if (arg == "--log") {
            if (!value(options.logPath))
                return false;
        } else if (arg == "--summary") {
            if (!value(options.summaryPath))
                return false;
        } else if (arg == "--verdict") {
            if (!value(options.verdictPath))
                return false;
        } else if (arg == "--ready-file") {
            if (!value(options.readyPath))
                return false;
        } else if (arg == "--listen") {
            if (!value(options.listen))
                return false;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--broadcast-all") {
            options.broadcastToAll = true;
        } else if (arg == "--port" || arg == "--spread" || arg == "--exit-after") {
            if (!value(text))
                return false;
            const unsigned long long max = arg == "--port" ? 65535 : 100000000;
            if (!ParseUnsigned(text, max, number) || (arg == "--port" && number == 0)) {
                error = arg + " needs a number, not '" + text + "'";
                return false;
            }
            if (arg == "--port")
                options.port = static_cast<std::uint16_t>(number);
            else if (arg == "--spread")
                options.spread = number * 1000;
            else
                options.exitAfter = number * 1000000;
        } else {
            error = "unknown argument '" + arg + "' (see --help)";
            return false;
        }
    }
    if (options.boards.empty()) {
        error = "no board given (--board \"name=...,mac=...,ip=...\"; see --help)";
        return false;
    }
    std::set<std::uint32_t> seen;
    for (const auto& board : options.boards) {
        if (!seen.insert(board.ip).second) {
            error = "two boards have the address " + IpText(board.ip);
            return false;
        }
    }
    return true;
}

std::string Options::ListenAddress() const
{
    if (listen == "none")
        return "";
    if (!listen.empty())
        return listen;
    // Boards on loopback only: keep the listener off every other interface of the machine.
    for (const auto& board : boards)
        if ((board.ip >> 24) != 127)
            return "0.0.0.0";
    return "127.255.255.255";
}

}  // namespace boardsim
