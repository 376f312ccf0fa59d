#include <gtest/gtest.h>

#include "net/IPv4.h"

namespace {

TEST(IPv4, ParsesAsTheFourNumberFormatDoes)
{
    const struct {
        const wchar_t* text;
        std::uint32_t value;
    } cases[] = {
        {L"192.168.1.10", 0xC0A8010Au},
        {L"1.2.3.256", 0x01020400u},
        {L"1.2.3.4 and more", 0x01020304u},
        {L"1.2.3.4.5", 0x01020304u},
        {L" 1. 2.\t3. 4", 0x01020304u},
        {L"0.0.0.0", 0u},
        {L"255.255.255.255", 0xFFFFFFFFu},
        {L"1.2.3", 0u},
        {L"", 0u},
        {L"1 .2.3.4", 0u},
        {L"1..2.3", 0u},
        {L"a.b.c.d", 0u},
        {L"1.2.3.x", 0u},
        {L"0.0.1.65536", 0x00010100u},
        {L"4294967296.0.0.1", 1u},
        {L"+1.2.3.4", 0x01020304u},
        {L"-1.0.0.0", 0xFF000000u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIPv4(c.text), c.value) << "ParseIPv4(\"" << testing::PrintToString(std::wstring(c.text)) << "\")";
}

TEST(IPv4, RoutesThroughTheFirstAdapterWhoseSubnetHoldsTheTarget)
{
    const std::vector<AdapterAddress> two = {{L"192.168.1.10", L"255.255.255.0"}, {L"10.0.0.5", L"255.0.0.0"}};
    const std::vector<AdapterAddress> sameSubnet = {{L"192.168.1.10", L"255.255.255.0"}, {L"192.168.1.11", L"255.255.255.0"}};
    const std::vector<AdapterAddress> zeroFirst = {{L"0.0.0.0", L"0.0.0.0"}, {L"192.168.1.10", L"255.255.255.0"}};
    const struct {
        const char* what;
        const std::vector<AdapterAddress>& adapters;
        const wchar_t* target;
        int chosen;
    } cases[] = {
        {"10.1.2.3 via the second", two, L"10.1.2.3", 1},
        {"192.168.1.77 via the first", two, L"192.168.1.77", 0},
        {"172.16.0.1 nowhere", two, L"172.16.0.1", -1},
        {"subnet broadcast matches its subnet", two, L"192.168.1.255", 0},
        {"malformed target", two, L"not an address", -1},
        {"shared subnet: the first listed", sameSubnet, L"192.168.1.50", 0},
        {"all-zero adapter listed first takes everything", zeroFirst, L"192.168.1.50", 0},
        {"no adapters", {}, L"192.168.1.1", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseAdapter(c.adapters, c.target), c.chosen) << c.what;
}

TEST(IPv4, TypedDottedAddressesAreDecimalAndTrimmed)
{
    const struct {
        const wchar_t* text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {L"192.168.1.010", 0xC0A8010Au},
        {L"192.168.1.011", 0xC0A8010Bu},
        {L"192.168.1.08", 0xC0A80108u},
        {L"192.168.001.003", 0xC0A80103u},
        {L"192.168.1.06", 0xC0A80106u},
        {L" 192.168.1.4", 0xC0A80104u},
        {L"\t192.168.1.4  ", 0xC0A80104u},
        {L"0.0.0.0", 0u},
        {L"255.255.255.255", 0xFFFFFFFFu},
        {L"192.168.1.0004", 0xC0A80104u},
        // Not dotted addresses: handed on unchanged by the caller.
        {L"1.2.3.256", std::nullopt},
        {L"1.2.3", std::nullopt},
        {L"1.2.3.4.5", std::nullopt},
        {L"1. 2.3.4", std::nullopt},
        {L"1.2.3.4 x", std::nullopt},
        {L"+1.2.3.4", std::nullopt},
        {L"0x1.2.3.4", std::nullopt},
        {L"1..2.3", std::nullopt},
        {L"board.local", std::nullopt},
        {L"   ", std::nullopt},
        {L"", std::nullopt},
        {L"99999999999.1.1.1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseDottedAddress(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
}

} // namespace
