#include "FaultPlan.h"

#include "Wire.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace boardsim {

namespace {

bool ParseNumber(std::string_view text, std::uint32_t& value)
{
    if (text.empty())
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// Decimal, or hexadecimal after "0x".
bool ParseValue(std::string_view text, std::uint32_t& value)
{
    if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        const auto digits = text.substr(2);
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        return result.ec == std::errc() && result.ptr == digits.data() + digits.size();
    }
    return ParseNumber(text, value);
}

// Splits "data:3:6000" into the request match and what follows it ("6000").
bool ParseMatch(std::string_view text, RequestMatch& match, std::string_view& rest, std::string& error)
{
    const auto colon = text.find(':');
    const std::string_view word = text.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    if (word == "discover") {
        match.opcode = kOpDiscover;
    } else if (word == "filename") {
        match.opcode = kOpFileName;
    } else if (word == "reboot") {
        match.opcode = kOpReboot;
    } else if (word == "data") {
        match.opcode = kOpData;
        const auto next = rest.find(':');
        const std::string_view block = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        if (block == "*") {
            match.anyBlock = true;
        } else if (!ParseNumber(block, match.block)) {
            error = "expected data:K or data:* (K a block number) in '" + std::string(text) + "'";
            return false;
        }
    } else {
        error = "unknown request '" + std::string(word) + "' (use discover, filename, data:K, data:* or reboot)";
        return false;
    }
    return true;
}

bool ParseHex(std::string_view text, std::vector<std::uint8_t>& bytes)
{
    std::string digits;
    for (const char c : text) {
        if (c == ':' || c == '-' || c == '.' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        digits += c;
    }
    if (digits.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return true;
}

}  // namespace

bool RequestMatch::Matches(std::uint8_t op, std::uint32_t sequence) const
{
    if (op != opcode)
        return false;
    return op != kOpData || anyBlock || sequence == block;
}

std::string RequestMatch::Text() const
{
    switch (opcode) {
    case kOpDiscover: return "discover";
    case kOpFileName: return "filename";
    case kOpReboot: return "reboot";
    default: return anyBlock ? "data:*" : "data:" + std::to_string(block);
    }
}

bool FaultPlan::IsFaultKey(std::string_view key)
{
    return key == "silent" || key == "mute" || key == "ack" || key == "nak" || key == "drop" || key == "late" ||
           key == "twice" || key == "disc-reply" || key == "ack-seq" || key == "ack-len" || key == "reply-port" ||
           key == "latency" || key == "lost-ack";
}

bool FaultPlan::Add(std::string_view key, std::optional<std::string_view> value, std::string& error)
{
    const std::string item = std::string(key) + (value ? "=" + std::string(*value) : "");
    const auto needValue = [&]() {
        if (!value || value->empty()) {
            error = "'" + std::string(key) + "' needs a value";
            return false;
        }
        return true;
    };
    if (key == "silent" || key == "mute") {
        if (value && *value == "all")
            m_mute = true;
        else if (value) {
            error = "'" + std::string(key) + "' takes no value but 'all'";
            return false;
        } else if (key == "mute")
            m_mute = true;
        else
            m_silent = true;
    } else if (key == "ack") {
        if (!needValue())
            return false;
        if (*value == "echo")
            m_ack = AckForm::Echo;
        else if (*value == "short")
            m_ack = AckForm::Short;
        else if (*value == "zero")
            m_ack = AckForm::Zero;
        else {
            error = "ack must be echo, short or zero";
            return false;
        }
    } else if (key == "ack-seq" || key == "ack-len" || key == "reply-port") {
        std::uint32_t number = 0;
        const std::uint32_t max = key == "ack-seq" ? 0xFFFFFFFFu : 0xFFFFu;
        if (!value || !ParseValue(*value, number) || number > max || (key == "reply-port" && number == 0)) {
            const char* range = key == "ack-seq" ? "0..0xFFFFFFFF" : key == "ack-len" ? "0..65535" : "1..65535";
            error = "'" + std::string(key) + "' needs a number " + range + ", in '" + item + "'";
            return false;
        }
        if (key == "ack-seq")
            m_ackSequence = number;
        else if (key == "ack-len")
            m_ackLength = static_cast<std::uint16_t>(number);
        else
            m_replyPort = static_cast<std::uint16_t>(number);
    } else if (key == "disc-reply") {
        std::vector<std::uint8_t> bytes;
        if (!value || !ParseHex(*value, bytes)) {
            error = "disc-reply needs hex bytes, e.g. disc-reply=0105000000000000";
            return false;
        }
        m_discoveryReply = bytes;
    } else if (key == "latency") {
        if (!value || !ParseNumber(*value, m_latencyMs)) {
            error = "latency needs milliseconds, e.g. latency=5";
            return false;
        }
    } else if (key == "twice" && !value) {
        m_twiceAll = true;
    } else if (key == "nak" || key == "drop" || key == "lost-ack" || key == "late" || key == "twice") {
        if (!needValue())
            return false;
        RequestMatch match;
        std::string_view rest;
        if (!ParseMatch(*value, match, rest, error))
            return false;
        std::uint32_t number = 0;
        if (key == "nak") {
            if (!rest.empty() && (!ParseNumber(rest, number) || number > 255 || number == kStatusAck)) {
                error = "nak status must be 0..255 and not 5, in '" + item + "'";
                return false;
            }
            m_naks.push_back({match, static_cast<std::uint8_t>(rest.empty() ? 1 : number)});
        } else if (key == "drop" || key == "lost-ack") {
            if (!rest.empty() && !ParseNumber(rest, number)) {
                error = std::string(key) + " count must be a number, in '" + item + "'";
                return false;
            }
            (key == "drop" ? m_drops : m_lostAcks).push_back({match, rest.empty() ? 1u : number});
        } else if (key == "late") {
            if (!ParseNumber(rest, number)) {
                error = "late needs a delay in milliseconds, e.g. late=data:3:6000";
                return false;
            }
            m_lates.push_back({match, number});
        } else {
            if (!rest.empty() && !ParseNumber(rest, number)) {
                error = "twice gap must be milliseconds, in '" + item + "'";
                return false;
            }
            m_twices.push_back({match, number});
        }
    } else {
        error = "unknown board item '" + std::string(key) + "'";
        return false;
    }
    m_items.push_back(item);
    return true;
}

Decision FaultPlan::Decide(std::uint8_t opcode, std::uint32_t sequence, std::uint32_t transmission) const
{
    Decision d;
    if (m_mute || (m_silent && opcode != kOpDiscover)) {
        d.answer = false;
        return d;
    }
    for (const auto& rule : m_drops) {
        if (rule.match.Matches(opcode, sequence) && transmission <= rule.value) {
            d.answer = false;
            d.dropped = true;
            return d;
        }
    }
    for (const auto& rule : m_naks)
        if (rule.match.Matches(opcode, sequence))
            d.status = rule.value;
    // The request arrived and the board acted on it; only its answer never reaches the sender.
    for (const auto& rule : m_lostAcks) {
        if (rule.match.Matches(opcode, sequence) && transmission <= rule.value) {
            d.answer = false;
            d.ackLost = true;
            return d;
        }
    }
    // Lateness hits the first transmission only, so that the retransmission is what gets through in time.
    for (const auto& rule : m_lates)
        if (rule.match.Matches(opcode, sequence) && transmission == 1)
            d.delayMs = rule.value;
    // A board that writes flash as it goes answers each block once it is written, retransmission or not.
    if (opcode == kOpData)
        d.delayMs = std::max(d.delayMs, m_latencyMs);
    if (m_twiceAll && opcode != kOpDiscover)
        d.copies = 2;
    for (const auto& rule : m_twices) {
        if (rule.match.Matches(opcode, sequence)) {
            d.copies = 2;
            d.gapMs = rule.value;
        }
    }
    return d;
}

std::string FaultPlan::Describe() const
{
    std::string text;
    for (const auto& item : m_items)
        text += (text.empty() ? "" : ",") + item;
    return text;
}

}  // namespace boardsim
