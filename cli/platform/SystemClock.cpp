#include "cli/platform/SystemClock.h"

#include <chrono>

namespace {

template <class Clock>
std::uint64_t MillisecondsOf()
{
    const auto since = Clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace

std::uint64_t SystemClock::NowMs()
{
    return MillisecondsOf<std::chrono::steady_clock>();
}

std::uint64_t SystemClock::WallMs()
{
    return MillisecondsOf<std::chrono::system_clock>();
}
