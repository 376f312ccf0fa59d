#include <gtest/gtest.h>

#include "net/TextCodec.h"

namespace {

TEST(TextCodec, Latin1BothWaysWithQuestionMarkForTheRest)
{
    EXPECT_EQ(WideToAnsi(L"dal_arm_fw \u00E9.bin"), "dal_arm_fw \xE9.bin") << "Latin-1 must map byte for byte";
    EXPECT_EQ(WideToAnsi(L"a\u20ACb"), "a?b") << "a character outside Latin-1 must become '?'";
    EXPECT_EQ(AnsiToWide("B\xFF"), L"B\u00FF") << "high bytes must widen unsigned";
}

} // namespace
