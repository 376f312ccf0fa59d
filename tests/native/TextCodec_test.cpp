#include <gtest/gtest.h>

#include "net/TextCodec.h"

namespace {

TEST(TextCodec, Latin1BothWaysWithQuestionMarkForTheRest)
{
    EXPECT_EQ(WideToAnsi(L"dal_arm_fw \u00E9.bin"), "dal_arm_fw \xE9.bin") << "Latin-1 must map byte for byte";
    EXPECT_EQ(WideToAnsi(L"a\u20ACb"), "a?b") << "a character outside Latin-1 must become '?'";
    EXPECT_EQ(AnsiToWide("B\xFF"), L"B\u00FF") << "high bytes must widen unsigned";
}

TEST(TextCodec, OnlyTextThatComesBackWholeFitsTheWire)
{
    const struct {
        const wchar_t* text;
        bool fits;
    } cases[] = {
        {L"vex_arm_fw_2.4.bin", true},
        {L"dal_arm_fw \u00E9.bin", true},
        {L"", true},
        {L"vex_arm_fw_\u0416.bin", false},
        {L"vex_arm_fw_\u0416\u20AC.bin", false},
        {L"gur_arm_fw_\U0001F600.bin", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitsAnsi(c.text), c.fits) << testing::PrintToString(std::wstring(c.text));
}

} // namespace
