// The misbehaviour one simulated board shows on demand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace boardsim {

enum class AckForm { Echo, Short, Zero };

// Which request a fault applies to: "discover", "filename", "reboot", "data:K" or "data:*".
struct RequestMatch {
    std::uint8_t opcode = 0;
    bool anyBlock = false;
    std::uint32_t block = 0;
    bool Matches(std::uint8_t op, std::uint32_t sequence) const;
    std::string Text() const;
};

// What the board does with one transmission of one request.
struct Decision {
    bool answer = true;
    bool dropped = false;
    bool ackLost = false;  // stored, but its answer is lost on the way back
    std::uint8_t status = 5;
    std::uint32_t delayMs = 0;
    std::uint8_t copies = 1;
    std::uint32_t gapMs = 0;
};

class FaultPlan {
public:
    // Applies one "key" or "key=value" item of a board description; false with a message when it is not one.
    bool Add(std::string_view key, std::optional<std::string_view> value, std::string& error);
    static bool IsFaultKey(std::string_view key);

    // transmission counts from 1 for each request.
    Decision Decide(std::uint8_t opcode, std::uint32_t sequence, std::uint32_t transmission) const;

    AckForm Ack() const { return m_ack; }
    // Values every 8-byte acknowledgement carries instead of the request's, when set.
    const std::optional<std::uint32_t>& AckSequence() const { return m_ackSequence; }
    const std::optional<std::uint16_t>& AckLength() const { return m_ackLength; }
    // The port replies leave from; 0: the port requests come to.
    std::uint16_t ReplyPort() const { return m_replyPort; }
    const std::optional<std::vector<std::uint8_t>>& DiscoveryReply() const { return m_discoveryReply; }
    std::string Describe() const;

private:
    template <typename T>
    struct Rule {
        RequestMatch match;
        T value;
    };
    bool m_silent = false;
    bool m_mute = false;
    AckForm m_ack = AckForm::Echo;
    std::optional<std::uint32_t> m_ackSequence;
    std::optional<std::uint16_t> m_ackLength;
    std::uint16_t m_replyPort = 0;
    std::vector<Rule<std::uint8_t>> m_naks;
    std::vector<Rule<std::uint32_t>> m_drops;
    std::vector<Rule<std::uint32_t>> m_lostAcks;
    std::vector<Rule<std::uint32_t>> m_lates;
    std::vector<Rule<std::uint32_t>> m_twices;
    bool m_twiceAll = false;
    std::uint32_t m_latencyMs = 0;
    std::optional<std::vector<std::uint8_t>> m_discoveryReply;
    std::vector<std::string> m_items;
};

}  // namespace boardsim
