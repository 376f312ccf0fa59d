#include "Wire.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace boardsim {

Header ReadHeader(const std::uint8_t* p)
{
    Header h;
    h.opcode = p[0];
    h.status = p[1];
    h.length = static_cast<std::uint16_t>(p[2] | (p[3] << 8));
    h.sequence = static_cast<std::uint32_t>(p[4]) | (static_cast<std::uint32_t>(p[5]) << 8) |
                 (static_cast<std::uint32_t>(p[6]) << 16) | (static_cast<std::uint32_t>(p[7]) << 24);
    return h;
}

void WriteHeader(std::uint8_t* p, const Header& h)
{
    p[0] = h.opcode;
    p[1] = h.status;
    p[2] = static_cast<std::uint8_t>(h.length);
    p[3] = static_cast<std::uint8_t>(h.length >> 8);
    for (int i = 0; i < 4; ++i)
        p[4 + i] = static_cast<std::uint8_t>(h.sequence >> (8 * i));
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        text.assign(buffer.data(), static_cast<std::size_t>(needed));
    }
    va_end(args);
    return text;
}

std::string OpName(std::uint8_t opcode)
{
    switch (opcode) {
    case kOpDiscover: return "DISCOVER";
    case kOpFileName: return "FILENAME";
    case kOpData: return "DATA";
    case kOpReboot: return "REBOOT";
    default: return "OPCODE " + std::to_string(opcode);
    }
}

std::string IpText(std::uint32_t addr)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", addr >> 24, (addr >> 16) & 255, (addr >> 8) & 255,
                  addr & 255);
    return text;
}

std::string EndpointText(const Endpoint& e)
{
    return IpText(e.addr) + ":" + std::to_string(e.port);
}

bool ParseIp(const std::string& text, std::uint32_t& addr)
{
    std::uint32_t result = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return false;
        result = (result << 8) | value;
    }
    if (pos != text.size())
        return false;
    addr = result;
    return true;
}

}  // namespace boardsim
