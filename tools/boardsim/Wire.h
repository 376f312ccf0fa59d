// The board protocol as the simulated boards read and write it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace boardsim {

using Micros = std::uint64_t;
constexpr Micros kNever = ~Micros{0};

constexpr std::uint16_t kBoardPort = 2016;
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kBlockSize = 504;
constexpr std::size_t kMaxRequestSize = kHeaderSize + kBlockSize;

constexpr std::uint8_t kOpDiscover = 1;
constexpr std::uint8_t kOpFileName = 2;
constexpr std::uint8_t kOpData = 3;
constexpr std::uint8_t kOpReboot = 4;
constexpr std::uint8_t kStatusAck = 5;

struct Header {
    std::uint8_t opcode = 0;
    std::uint8_t status = 0;
    std::uint16_t length = 0;
    std::uint32_t sequence = 0;
};

// Reads the little-endian header from the first 8 bytes of p.
Header ReadHeader(const std::uint8_t* p);
void WriteHeader(std::uint8_t* p, const Header& h);

// printf into a std::string.
std::string Format(const char* format, ...);

// "DISCOVER", "FILENAME", "DATA", "REBOOT", or "OPCODE n".
std::string OpName(std::uint8_t opcode);

// An IPv4 endpoint, address in host order (first octet most significant).
struct Endpoint {
    std::uint32_t addr = 0;
    std::uint16_t port = 0;
};

std::string IpText(std::uint32_t addr);
std::string EndpointText(const Endpoint& e);
// Strict dotted-quad parse: four numbers 0..255 and nothing else.
bool ParseIp(const std::string& text, std::uint32_t& addr);

}  // namespace boardsim
