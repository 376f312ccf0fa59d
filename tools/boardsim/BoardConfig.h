// One simulated board as the command line describes it.
#pragma once

#include "FaultPlan.h"
#include "Presence.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace boardsim {

struct BoardConfig {
    std::string name;
    std::string mac;
    std::uint32_t ip = 0;
    FaultPlan faults;
    Presence presence;
};

// Parses "name=FW VEX 1,mac=00:11:22:33:44:01,ip=192.168.1.1[,count=N][,fault...]" and appends the board(s).
// With count=N the boards take consecutive addresses (host octets 0 and 255 skipped), "%d" in the name
// becomes 1..N and the MAC counts up. ip= may also list addresses separated by spaces, one board each, numbered
// the same way. "\," keeps a comma inside a value.
bool ParseBoardConfig(std::string_view text, std::vector<BoardConfig>& boards, std::string& error);

// The next address a board range uses after addr.
std::uint32_t NextBoardAddress(std::uint32_t addr);

}  // namespace boardsim
