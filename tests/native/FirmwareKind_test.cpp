#include <gtest/gtest.h>

#include "download/FirmwareKind.h"

namespace {

TEST(FirmwareKind, FirstMatchingRowOfTheFileNameWins)
{
    const struct {
        const wchar_t* path;
        int row; // 1-based, 0 for none
    } cases[] = {
        {L"C:\\fw\\vex_arm_fw_3.1.bin", 1},
        {L"C:\\fw\\pim_sot1_2_fw+dal_arm_fw.bin", 2},
        {L"C:\\fw\\pim_dal1_2_fw-vex_arm_fw.bin", 1},
        {L"C:\\fw\\gur_arm_fw.hex", 5},
        {L"C:\\fw\\DAL_ARM_FW.bin", 0},
        {L"C:\\dal_arm_fw\\image.bin", 0},
        {L"D:gur_arm_fw.bin", 5},
        {L"/home/t/pim_sot1_2_fw.bin", 4},
        {L"", 0},
    };
    for (const auto& c : cases) {
        const FirmwareKind* kind = FindFirmwareKind(FileNameOfPath(c.path));
        const int row = kind == nullptr ? 0 : static_cast<int>(kind - g_firmwareKinds) + 1;
        EXPECT_EQ(row, c.row) << "kind of " << testing::PrintToString(std::wstring(c.path));
    }
}

TEST(FirmwareKind, LabelIsMatchedCaseSensitivelyAnywhereInTheLine)
{
    const FirmwareKind& dal = g_firmwareKinds[1];
    EXPECT_TRUE(CarriesLabel(dal, L"Board FW DAL1+1 r2\tIP=10.0.0.1\tMAC=x")) << "label inside the name";
    EXPECT_FALSE(CarriesLabel(dal, L"Board fw dal1+1\tIP=10.0.0.1\tMAC=x")) << "other letter case must not match";
    EXPECT_FALSE(CarriesLabel(dal, L"Board FW PIM DAL2+1\tIP=10.0.0.1\tMAC=x")) << "another kind's label";
}

} // namespace

// The choice both shells make: a file goes to the boards of its kind only; a
// name without a token serves no board at all.
TEST(FirmwareKind, ChoiceServesOnlyBoardsOfTheFilesKind)
{
    // The label may stand anywhere in the unit line, here in the MAC text of the third.
    const std::vector<BoardList> lines{{L"FW PIM DAL2+1", L"10.0.0.1", L"01"}, {L"FW DAL1+1", L"10.0.0.2", L"02"},
        {L"", L"10.0.0.3", L"FW PIM DAL2+1"}, {L"FW PIM DAL2+1 spare", L"10.0.0.4", L"04"}, {}};
    const BoardChoice pim = ChooseBoards(L"pim_dal1_2_fw_v3.bin", lines);
    ASSERT_NE(pim.kind, nullptr);
    EXPECT_EQ(pim.served, (std::vector<bool>{true, false, true, true, false}));
    const BoardChoice none = ChooseBoards(L"firmware.bin", lines);
    EXPECT_EQ(none.kind, nullptr);
    EXPECT_EQ(none.served, std::vector<bool>(5, false));
}
