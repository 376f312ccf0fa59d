#pragma once

#include <cstdint>

// A monotonic clock for deadlines and the wall clock for log stamps.
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::uint64_t NowMs() = 0;
    virtual std::uint64_t WallMs() = 0; // milliseconds since 1970-01-01 00:00 UTC
};
