// When a simulated board is there to answer: boards plugged into a fixture one after another appear some time
// after the start, and a board that reboots into new firmware is away for a while and may come back under a new
// name.
#pragma once

#include "Wire.h"

#include <optional>
#include <string>
#include <string_view>

namespace boardsim {

class Presence {
public:
    // Applies "appear=MS[:STEP]", "back=MS|never" or "renamed=TEXT"; false with a message when the value is bad.
    bool Add(std::string_view key, std::optional<std::string_view> value, std::string& error);
    static bool IsPresenceKey(std::string_view key);

    // The reboot acknowledgement leaves at this time; from then the board is away for the configured time.
    void Rebooted(Micros at);
    // Whether the board hears anything at this time (since the simulator started).
    bool Answers(Micros now) const;
    // Why it does not: "not yet plugged in" or "rebooting"; "" when it answers.
    const char* Absence(Micros now) const;
    // The name its discovery reply carries: after a reboot, the new one when configured.
    const std::string& Name(const std::string& configured, Micros now) const;
    // The items as given, e.g. "appear=3000,back=2000,renamed=FW VEX 1 v2".
    std::string Describe() const;
    // The n-th board (from 1) of a range or list: "%d" in the new name becomes n, and it appears (n - 1) STEPs
    // after the first.
    void Number(std::uint32_t n);

private:
    Micros m_appear = 0;
    Micros m_appearStep = 0;
    std::optional<Micros> m_away;  // after a reboot; kNever when the board never comes back
    std::optional<std::string> m_renamed;
    Micros m_rebootAt = kNever;
    bool m_rebooted = false;
};

}  // namespace boardsim
