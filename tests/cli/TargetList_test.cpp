#include <gtest/gtest.h>

#include "cli/commands/TargetList.h"
#include "net/TextCodec.h"

namespace {

TEST(TargetList, AddressesAreHeldToFourOctetsAndNormalised)
{
    const struct {
        const wchar_t* text;
        const wchar_t* normalised; // nullptr: refused
    } cases[] = {
        {L"192.168.1.1", L"192.168.1.1"},
        {L"192.168.001.010", L"192.168.1.10"},
        {L"0.0.0.0", L"0.0.0.0"},
        {L"1.2.3.256", nullptr},
        {L"1.2.3", nullptr},
        {L"1.2.3.4.5", nullptr},
        {L"1.2.3.4 ", nullptr},
        {L" 1.2.3.4", nullptr},
        {L"1.2.3.0004", nullptr},
        {L"1..3.4", nullptr},
        {L"board1", nullptr},
        {L"", nullptr},
        {L"-1.2.3.4", nullptr},
    };
    for (const auto& c : cases) {
        std::wstring out;
        const bool ok = NormaliseAddress(c.text, out);
        EXPECT_EQ(ok, c.normalised != nullptr) << "'" << WideToAnsi(c.text) << "' accepted or refused wrongly";
        if (ok && c.normalised)
            EXPECT_EQ(out, c.normalised) << "normal form of '" << WideToAnsi(c.text) << "'";
    }
}

TEST(TargetList, ListFileTakesLinesCommasBlanksAndComments)
{
    const std::wstring text = L"# station 3\r\n192.168.1.1\r\n192.168.1.2, 192.168.1.3\n\n  192.168.1.4 # spare\n192.168.1.5;192.168.1.6";
    EXPECT_EQ(ListFileTargets(text), (std::vector<std::wstring>{L"192.168.1.1", L"192.168.1.2", L"192.168.1.3",
                                          L"192.168.1.4", L"192.168.1.5", L"192.168.1.6"}))
        << "addresses read from a list file";
    EXPECT_TRUE(ListFileTargets(L"# nothing\n\n").empty()) << "a file of comments holds no address";
}

TEST(TargetList, UnreachableAddressesAreNamedWithTheReason)
{
    const std::vector<AdapterAddress> adapters{{L"192.168.1.10", L"255.255.255.0"}, {L"10.0.0.5", L"255.255.255.254"}};
    const struct {
        const wchar_t* ip;
        const wchar_t* reason; // empty: reachable
    } cases[] = {
        {L"192.168.1.1", L""},
        {L"10.0.0.4", L""},
        {L"10.0.0.5", L""},
        {L"172.16.0.1", L"lies in no local subnet"},
        {L"192.168.1.255", L"is the broadcast address of the subnet of 192.168.1.10"},
        {L"0.0.0.0", L"is not a board address"},
        {L"255.255.255.255", L"is not a board address"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WhyUnreachable(adapters, c.ip), c.reason) << "verdict on " << WideToAnsi(c.ip);
}

} // namespace
