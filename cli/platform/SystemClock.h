#pragma once

#include <chrono>

#include "cli/IClock.h"

class SystemClock : public IClock {
public:
    std::uint64_t NowMs() override { return MillisecondsOf<std::chrono::steady_clock>(); }
    std::uint64_t WallMs() override { return MillisecondsOf<std::chrono::system_clock>(); }

private:
    template <class Clock>
    static std::uint64_t MillisecondsOf()
    {
        const auto since = Clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
};
