#include "BoardConfig.h"

#include "Wire.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>

namespace boardsim {

namespace {

struct Item {
    std::string key;
    std::optional<std::string> value;
};

std::vector<Item> SplitItems(std::string_view text)
{
    std::vector<Item> items;
    std::string current;
    const auto flush = [&]() {
        const auto eq = current.find('=');
        Item item;
        item.key = current.substr(0, eq);
        if (eq != std::string::npos)
            item.value = current.substr(eq + 1);
        while (!item.key.empty() && item.key.front() == ' ')
            item.key.erase(item.key.begin());
        while (!item.key.empty() && item.key.back() == ' ')
            item.key.pop_back();
        if (!item.key.empty() || item.value)
            items.push_back(item);
        current.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            current += text[++i];
        } else if (text[i] == ',') {
            flush();
        } else {
            current += text[i];
        }
    }
    flush();
    return items;
}

// A MAC written as six hex octets, remembered with its separator and letter case so that a range keeps the look.
struct MacText {
    std::uint64_t value = 0;
    char separator = ':';
    bool upper = false;
};

bool ParseMac(const std::string& text, MacText& mac)
{
    if (text.size() != 17)
        return false;
    mac.separator = text[2];
    if (mac.separator != ':' && mac.separator != '-')
        return false;
    mac.value = 0;
    for (int i = 0; i < 6; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * 3;
        if (i > 0 && text[at - 1] != mac.separator)
            return false;
        unsigned octet = 0;
        const auto result = std::from_chars(text.data() + at, text.data() + at + 2, octet, 16);
        if (result.ec != std::errc() || result.ptr != text.data() + at + 2)
            return false;
        mac.value = (mac.value << 8) | octet;
        for (int k = 0; k < 2; ++k)
            if (std::isupper(static_cast<unsigned char>(text[at + static_cast<std::size_t>(k)])))
                mac.upper = true;
    }
    return true;
}

std::string MacString(const MacText& mac)
{
    std::string text;
    for (int i = 5; i >= 0; --i) {
        char octet[4];
        std::snprintf(octet, sizeof octet, mac.upper ? "%02X" : "%02x",
                      static_cast<unsigned>((mac.value >> (8 * i)) & 0xff));
        if (!text.empty())
            text += mac.separator;
        text += octet;
    }
    return text;
}

std::string Numbered(const std::string& pattern, std::uint32_t n)
{
    std::string text = pattern;
    const auto at = text.find("%d");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(n));
    return text;
}

}  // namespace

std::uint32_t NextBoardAddress(std::uint32_t addr)
{
    do {
        ++addr;
    } while ((addr & 0xff) == 0 || (addr & 0xff) == 0xff);
    return addr;
}

bool ParseBoardConfig(std::string_view text, std::vector<BoardConfig>& boards, std::string& error)
{
    std::string name = "Board %d";
    std::optional<std::string> mac;
    std::vector<std::uint32_t> ips;
    std::uint32_t count = 1;
    bool counted = false;
    FaultPlan faults;
    Presence presence;
    for (const auto& item : SplitItems(text)) {
        if (item.key == "name" || item.key == "mac" || item.key == "ip" || item.key == "count") {
            if (!item.value) {
                error = "'" + item.key + "' needs a value";
                return false;
            }
            if (item.key == "name") {
                name = *item.value;
            } else if (item.key == "mac") {
                mac = *item.value;
            } else if (item.key == "ip") {
                // One address, or a space-separated list of them (one board each), as the test bed exports.
                std::size_t pos = 0;
                const std::string& v = *item.value;
                while ((pos = v.find_first_not_of(' ', pos)) != std::string::npos) {
                    const std::size_t end = std::min(v.find(' ', pos), v.size());
                    std::uint32_t addr = 0;
                    if (!ParseIp(v.substr(pos, end - pos), addr)) {
                        error = "'" + v.substr(pos, end - pos) + "' is not an IPv4 address";
                        return false;
                    }
                    ips.push_back(addr);
                    pos = end;
                }
            } else {
                const auto& v = *item.value;
                const auto result = std::from_chars(v.data(), v.data() + v.size(), count);
                if (result.ec != std::errc() || result.ptr != v.data() + v.size() || count == 0 || count > 65000) {
                    error = "count must be 1..65000";
                    return false;
                }
                counted = true;
            }
        } else if (FaultPlan::IsFaultKey(item.key)) {
            if (!faults.Add(item.key, item.value ? std::optional<std::string_view>(*item.value) : std::nullopt, error))
                return false;
        } else if (Presence::IsPresenceKey(item.key)) {
            if (!presence.Add(item.key, item.value ? std::optional<std::string_view>(*item.value) : std::nullopt,
                              error))
                return false;
        } else {
            error = "unknown board item '" + item.key + "' (expected name, mac, ip, count, appear, back, renamed or a fault)";
            return false;
        }
    }
    if (ips.empty()) {
        error = "a board needs ip=A.B.C.D";
        return false;
    }
    if (ips.size() > 1 && counted) {
        error = "give either a list of addresses or count=N, not both";
        return false;
    }
    if (ips.size() > 1)
        count = static_cast<std::uint32_t>(ips.size());
    MacText macValue;
    const bool macIsNumber = mac && ParseMac(*mac, macValue);
    std::uint32_t addr = ips[0];
    for (std::uint32_t n = 1; n <= count; ++n) {
        if (ips.size() > 1)
            addr = ips[n - 1];
        BoardConfig config;
        config.ip = addr;
        config.name = Numbered(name, n);
        if (macIsNumber) {
            config.mac = MacString(macValue);
            ++macValue.value;
        } else if (mac) {
            config.mac = Numbered(*mac, n);
        } else {
            // Locally administered, derived from the address, so that every board differs.
            MacText derived;
            derived.value = (std::uint64_t{0x0200} << 32) | addr;
            config.mac = MacString(derived);
        }
        config.faults = faults;
        config.presence = presence;
        config.presence.Number(n);
        boards.push_back(config);
        addr = NextBoardAddress(addr);
    }
    return true;
}

}  // namespace boardsim
