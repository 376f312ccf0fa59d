#include <gtest/gtest.h>

#include "discovery/DiscoveryText.h"
#include "net/BoardPacket.h"
#include "net/IPv4.h"

namespace {

TEST(DiscoveryText, PingListRoundTripsThroughTheDialog)
{
    const struct {
        const wchar_t* stored;
        const wchar_t* dialog;
    } cases[] = {
        {L"10.0.0.5,10.0.0.6", L"10.0.0.5\r\n10.0.0.6"},
        {L",10.0.0.5", L"\r\n10.0.0.5"},
        {L"10.0.0.5,,10.0.0.6,", L"10.0.0.5\r\n\r\n10.0.0.6\r\n"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PingListToDialogForm(c.stored), c.dialog) << "dialog form of " << testing::PrintToString(std::wstring(c.stored));
        EXPECT_EQ(PingListToStoredForm(c.dialog), c.stored) << "stored form of " << testing::PrintToString(std::wstring(c.dialog));
    }
}

TEST(DiscoveryText, StoredFormTakesTheCharacterAfterEachCarriageReturn)
{
    EXPECT_EQ(PingListToStoredForm(L"a,b\r\nc"), L"a,b,c") << "a typed ',' stays a separator";
    EXPECT_EQ(PingListToStoredForm(L"a\r\r\nb"), L"a,\nb") << "a CR swallows the CR after it";
    EXPECT_EQ(PingListToStoredForm(L"a\rb"), L"a,") << "a lone CR swallows the next character";
    EXPECT_EQ(PingListToStoredForm(L"a\r"), L"a,") << "a CR at the end becomes a trailing ','";
}

TEST(DiscoveryText, PingTargetsAreTheNonEmptyPiecesInOrder)
{
    using List = std::vector<std::wstring>;
    EXPECT_EQ(PingListTargets(L"10.0.0.5,10.0.0.6"), (List{L"10.0.0.5", L"10.0.0.6"})) << "two addresses";
    EXPECT_EQ(PingListTargets(L"10.0.0.5,,10.0.0.6,"), (List{L"10.0.0.5", L"10.0.0.6"})) << "blank lines send nothing";
    EXPECT_EQ(PingListTargets(L", a ,b"), (List{L" a ", L"b"})) << "pieces are passed untrimmed";
    EXPECT_TRUE(PingListTargets(L"").empty()) << "an empty list sends nothing";
    EXPECT_TRUE(PingListTargets(L",,").empty()) << "separators alone send nothing";
}

TEST(DiscoveryText, AddressesAndUnitLines)
{
    EXPECT_EQ(FormatAddress(0x0A010203u), L"10.1.2.3") << "most significant byte first";
    EXPECT_EQ(FormatAddress(0xC0A80101u), L"192.168.1.1") << "bytes print unsigned";

    const std::uint8_t datagram[] = {1, 7, 0, 0, 0, 0, 0, 0, 'F', 'W', ' ', 'G', 'U', 'R', 0xE9, 0, '0', '1', 0};
    BoardReply reply;
    ASSERT_TRUE(ReadBoardReply(datagram, sizeof datagram, reply));
    const BoardList board = MakeBoardList(reply, L"192.168.1.3");
    EXPECT_EQ(FormatUnitLine(board), L"FW GUR\u00E9\tIP=192.168.1.3\tMAC=01") << "unit line of a discovery reply";
}

TEST(DiscoveryText, ProbeRunsOnlyWhenTheCommandLineBeginsWithATE)
{
    const struct {
        const wchar_t* line;
        bool probe;
    } cases[] = {{L"ATE", true}, {L"ATE 5", true}, {L"ATEX", true}, {L"ATEST", true},
        {L"ate", false}, {L"xATE", false}, {L"-ATE", false}, {L" ATE", false}, {L"", false}, {L"AT", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsProbeCommandLine(c.line), c.probe) << testing::PrintToString(std::wstring(c.line));
    EXPECT_EQ(std::wstring(PROBE_ADDRESSES[5]), L"192.168.1.6") << "the probe ends at .6";
}

} // namespace
