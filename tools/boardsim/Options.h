// The simulator's command line.
#pragma once

#include "BoardConfig.h"
#include "Wire.h"

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct Options {
    std::vector<BoardConfig> boards;
    std::string outDir;
    std::string expectPath;
    std::string logPath;
    std::string summaryPath;
    std::string verdictPath;
    std::string readyPath;
    std::uint16_t port = kBoardPort;
    std::string listen;  // empty: chosen from the boards' addresses; "none": no listener
    bool quiet = false;
    bool broadcastToAll = false;
    Micros spread = 0;
    Micros exitAfter = kNever;
    bool help = false;
    bool version = false;

    // false with a message on a mistake; help or version set when --help or --version was asked for.
    static bool Parse(int argc, const char* const* argv, Options& options, std::string& error);
    // The help text, naming the program `program` ("boardsim", or "tarnwell-boardsim" as packaged).
    static std::string Usage(const std::string& program);
    // The listener address to bind, "" for none.
    std::string ListenAddress() const;
};

}  // namespace boardsim
