#include <gtest/gtest.h>

#include "download/Progress.h"

namespace {

TEST(Progress, QuotientPassesThroughSinglePrecision)
{
    const struct {
        std::uint64_t position, length;
        int percent;
    } cases[] = {
        {504, 600, 83}, {504, 560, 89}, {504, 1000, 50}, {1000, 1000, 100}, {0, 1000, 0},
        {0, 0, 100}, {1200, 1000, 100}, {1u << 20, 3u << 20, 33},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressPercent(c.position, c.length), c.percent) << c.position << " of " << c.length;
}

} // namespace
