// What passes between the network side of the simulator and its boards, and what a board remembers of it.
#pragma once

#include "Wire.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct Datagram {
    const std::uint8_t* data = nullptr;
    std::size_t captured = 0;  // bytes available at data
    std::size_t size = 0;      // bytes on the wire; more than captured when the datagram was cut
    Endpoint from;
    std::uint32_t dst = 0;     // destination address in the IP header
    bool broadcast = false;
    Micros now = 0;
};

struct Outgoing {
    std::size_t board = 0;
    Endpoint to;
    std::vector<std::uint8_t> bytes;
    Micros due = 0;
};

enum class ReplyKind : std::uint8_t { Answered, Dropped, Silent, Ignored, Lost };  // Lost: sent, never arrived

struct RequestRecord {
    Micros t = 0;
    std::uint8_t opcode = 0;
    std::uint8_t status = 0;
    std::uint16_t length = 0;
    std::uint32_t sequence = 0;
    std::uint32_t size = 0;
    Endpoint from;
    std::uint32_t dst = 0;
    bool broadcast = false;
    ReplyKind reply = ReplyKind::Ignored;
    std::uint8_t replyStatus = 0;
    std::uint8_t copies = 0;
    std::uint32_t delayMs = 0;
    std::uint32_t transmission = 0;
    const char* note = "";  // "retransmission", "new download", ...
    std::uint32_t firstFlag = 0;
    std::uint32_t flagCount = 0;
};

struct Flag {
    Micros t = 0;
    std::size_t request = 0;
    std::string text;
};

// A datagram that reached the shared listener but no board: unicast to an address nobody plays, or a broadcast
// that came in on an interface with no board on it.
struct StrayRecord {
    Micros t = 0;
    std::uint8_t opcode = 0;
    std::uint32_t size = 0;
    Endpoint from;
    std::uint32_t dst = 0;
    bool broadcast = false;
    int ifindex = 0;
};

}  // namespace boardsim
