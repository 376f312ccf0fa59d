#include "Simulator.h"

#include "TestPackets.h"

#include <gtest/gtest.h>

#include <set>

namespace boardsim {
namespace {

using namespace test;

class SimulatorTest : public ::testing::Test {
protected:
    // Interface 2 holds 192.168.1.0/24, interface 3 holds 10.0.0.0/8, like the two-adapter test bed.
    Simulator Make(const std::vector<std::string>& boards)
    {
        std::vector<BoardConfig> configs;
        std::string error;
        for (const auto& b : boards)
            EXPECT_TRUE(ParseBoardConfig(b, configs, error)) << error;
        Simulator sim(configs, m_store);
        sim.SetInterfaces({{1, "lo", 0x7f000001, 0xff000000},
                           {2, "bd0", 0xc0a80101, 0xffffff00},
                           {2, "bd0", 0xc0a80102, 0xffffff00},
                           {3, "bd1", 0x0a010203, 0xff000000}});
        return sim;
    }

    static Datagram Broadcast(const std::vector<std::uint8_t>& bytes, std::uint32_t dst = 0xffffffffu)
    {
        Datagram d;
        d.data = bytes.data();
        d.captured = d.size = bytes.size();
        d.from = {0xc0a8010a, 40000};
        d.dst = dst;
        d.broadcast = true;
        return d;
    }

    static std::set<std::size_t> Senders(const std::vector<Outgoing>& out)
    {
        std::set<std::size_t> boards;
        for (const auto& o : out)
            boards.insert(o.board);
        return boards;
    }

    ImageStore m_store;
};

TEST_F(SimulatorTest, BroadcastIsAnsweredByTheBoardsOfItsInterface)
{
    Simulator sim = Make({"ip=192.168.1.1", "ip=192.168.1.2", "ip=10.1.2.3"});
    const auto request = Discovery();
    std::vector<Outgoing> out;
    sim.FromListener(Broadcast(request), 2, out);
    EXPECT_EQ(Senders(out), (std::set<std::size_t>{0, 1})) << "boards answering a broadcast on 192.168.1.0/24";
    out.clear();
    sim.FromListener(Broadcast(request), 3, out);
    EXPECT_EQ(Senders(out), (std::set<std::size_t>{2})) << "boards answering a broadcast on 10.0.0.0/8";
    out.clear();
    sim.SetBroadcastToAll(true);
    sim.FromListener(Broadcast(request), 3, out);
    EXPECT_EQ(Senders(out), (std::set<std::size_t>{0, 1, 2})) << "boards answering with --broadcast-all";
    EXPECT_TRUE(sim.BoardAt(2).Requests().at(0).broadcast) << "broadcast not recorded as such";
}

TEST_F(SimulatorTest, BroadcastOnAnInterfaceWithoutBoardsIsAStray)
{
    Simulator sim = Make({"ip=192.168.1.1"});
    const auto request = Discovery();
    std::vector<Outgoing> out;
    sim.FromListener(Broadcast(request), 3, out);
    EXPECT_TRUE(out.empty()) << "a board answered a broadcast from another segment";
    ASSERT_EQ(sim.Strays().size(), 1u) << "stray not recorded";
    EXPECT_EQ(sim.Strays()[0].ifindex, 3) << "stray interface";
}

TEST_F(SimulatorTest, RecognisesBroadcastAddresses)
{
    Simulator sim = Make({"ip=192.168.1.1"});
    EXPECT_TRUE(sim.IsBroadcast(0xffffffffu)) << "limited broadcast";
    EXPECT_TRUE(sim.IsBroadcast(0xc0a801ffu)) << "192.168.1.255";
    EXPECT_TRUE(sim.IsBroadcast(0x0affffffu)) << "10.255.255.255";
    EXPECT_TRUE(sim.IsBroadcast(0x7fffffffu)) << "127.255.255.255";
    EXPECT_FALSE(sim.IsBroadcast(0xc0a80101u)) << "a board address";
}

TEST_F(SimulatorTest, SpreadStaggersTheRepliesToOneBroadcast)
{
    Simulator sim = Make({"ip=192.168.1.1,count=4"});
    sim.SetBroadcastSpread(1000000);
    const auto request = Discovery();
    std::vector<Outgoing> out;
    sim.FromListener(Broadcast(request), 2, out);
    ASSERT_EQ(out.size(), 4u) << "replies";
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(out[i].due, 250000u * i) << "due time of reply " << i;
}

TEST_F(SimulatorTest, UnicastToAnAddressNobodyPlaysIsAStray)
{
    Simulator sim = Make({"ip=192.168.1.1"});
    const auto request = Discovery();
    Datagram d = Broadcast(request, 0xc0a80109);
    d.broadcast = false;
    std::vector<Outgoing> out;
    sim.FromListener(d, 2, out);
    EXPECT_TRUE(out.empty()) << "answered for an address nobody plays";
    EXPECT_EQ(sim.Strays().size(), 1u) << "stray not recorded";
}

}  // namespace
}  // namespace boardsim
