#include <gtest/gtest.h>

#include "cli/link/BoardLink.h"
#include "net/TextCodec.h"
#include "tests/cli/FakeNetwork.h"

namespace {

TEST(BoardLink, BroadcastLeavesFromEveryAdapterButLoopback)
{
    FakeNetwork net;
    net.m_adapters = {{L"127.0.0.1", L"255.0.0.0"}, {L"192.168.1.10", L"255.255.255.0"}, {L"10.0.0.5", L"255.0.0.0"}};
    BoardLink link(net);
    EXPECT_EQ(link.BroadcastDiscovery(), 2) << "adapters the broadcast left from";
    ASSERT_EQ(net.m_sent.size(), 2u) << "one broadcast per non-loopback adapter";
    EXPECT_TRUE(net.m_sent[0].adapter == 1 && net.m_sent[1].adapter == 2 && net.m_sent[0].target.empty())
        << "the broadcasts must leave from adapters 1 and 2 as broadcasts";
    EXPECT_EQ(net.m_sent[0].bytes, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0})) << "discovery request bytes";
    EXPECT_EQ(link.BroadcastAdapterCount(), 2) << "adapters a broadcast can use";
}

TEST(BoardLink, UnicastLeavesFromTheAdapterWhoseSubnetHoldsTheBoard)
{
    const struct {
        const wchar_t* target;
        int adapter; // -1: not sent
    } cases[] = {
        {L"10.1.2.3", 2},
        {L"192.168.1.77", 1},
        {L"127.0.0.2", 0},
        {L"172.16.0.1", -1},
    };
    for (const auto& c : cases) {
        FakeNetwork net;
        net.m_adapters = {{L"127.0.0.1", L"255.0.0.0"}, {L"192.168.1.10", L"255.255.255.0"}, {L"10.0.0.5", L"255.0.0.0"}};
        BoardLink link(net);
        const bool sent = link.SendDiscovery(c.target);
        EXPECT_EQ(sent, c.adapter >= 0) << "send result for " << WideToAnsi(c.target);
        if (c.adapter < 0) {
            EXPECT_TRUE(net.m_sent.empty()) << "a target in no local subnet must not be sent to";
        } else {
            ASSERT_EQ(net.m_sent.size(), 1u) << "one datagram";
            EXPECT_EQ(net.m_sent[0].adapter, static_cast<std::size_t>(c.adapter))
                << "adapter chosen for " << WideToAnsi(c.target);
        }
    }
}

} // namespace
