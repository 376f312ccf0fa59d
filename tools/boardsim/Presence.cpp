#include "Presence.h"

#include <charconv>

namespace boardsim {

namespace {

bool ParseMillis(std::string_view text, Micros& value)
{
    std::uint64_t ms = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || ms > 86400000)
        return false;
    value = ms * 1000;
    return true;
}

}  // namespace

bool Presence::IsPresenceKey(std::string_view key)
{
    return key == "appear" || key == "back" || key == "renamed";
}

bool Presence::Add(std::string_view key, std::optional<std::string_view> value, std::string& error)
{
    if (!value) {
        error = "'" + std::string(key) + "' needs a value";
        return false;
    }
    if (key == "appear") {
        const auto colon = value->find(':');
        if (!ParseMillis(value->substr(0, colon), m_appear) ||
            (colon != std::string_view::npos && !ParseMillis(value->substr(colon + 1), m_appearStep))) {
            error = "appear=MS[:STEP] takes milliseconds since the start (at most a day), not '" +
                    std::string(*value) + "'";
            return false;
        }
    } else if (key == "back") {
        Micros away = 0;
        if (*value == "never") {
            away = kNever;
        } else if (!ParseMillis(*value, away)) {
            error = "back=MS takes milliseconds after the reboot acknowledgement, or never, not '" +
                    std::string(*value) + "'";
            return false;
        }
        m_away = away;
    } else {
        m_renamed = std::string(*value);
    }
    return true;
}

void Presence::Rebooted(Micros at)
{
    // A retransmitted reboot request answered before the first, late acknowledgement left is the same reboot:
    // the board goes away at the earlier of the two. A reboot after the board came back is a new one.
    if (m_rebooted && m_away && at >= m_rebootAt && (*m_away == kNever || at - m_rebootAt < *m_away))
        return;
    m_rebooted = true;
    m_rebootAt = at;
}

const char* Presence::Absence(Micros now) const
{
    if (now < m_appear)
        return "not yet plugged in";
    if (m_rebooted && m_away && now >= m_rebootAt && (*m_away == kNever || now - m_rebootAt < *m_away))
        return "rebooting";
    return "";
}

bool Presence::Answers(Micros now) const
{
    return *Absence(now) == '\0';
}

const std::string& Presence::Name(const std::string& configured, Micros now) const
{
    return m_rebooted && m_renamed && now >= m_rebootAt ? *m_renamed : configured;
}

void Presence::Number(std::uint32_t n)
{
    m_appear += m_appearStep * (n - 1);
    m_appearStep = 0;
    if (!m_renamed)
        return;
    const auto at = m_renamed->find("%d");
    if (at != std::string::npos)
        m_renamed->replace(at, 2, std::to_string(n));
}

std::string Presence::Describe() const
{
    std::string text;
    const auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ",") + item; };
    if (m_appear != 0 || m_appearStep != 0)
        add("appear=" + std::to_string(m_appear / 1000) +
            (m_appearStep != 0 ? ":" + std::to_string(m_appearStep / 1000) : std::string()));
    if (m_away)
        add("back=" + (*m_away == kNever ? std::string("never") : std::to_string(*m_away / 1000)));
    if (m_renamed)
        add("renamed=" + *m_renamed);
    return text;
}

}  // namespace boardsim
