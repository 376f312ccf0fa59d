#include "download/Progress.h"

int ProgressPercent(std::uint64_t position, std::uint64_t length)
{
    if (position >= length)
        return 100;
    // The quotient passes through single precision before scaling, so 504 of
    // 600 bytes shows 83, not 84: the bar keeps the steps it has always shown.
    const float fraction = static_cast<float>(static_cast<double>(position) / static_cast<double>(length));
    return static_cast<int>(static_cast<double>(fraction) * 100.0);
}
