#include "BoardConfig.h"

#include <gtest/gtest.h>

namespace boardsim {
namespace {

TEST(BoardConfigTest, ReadsNameMacAndAddress)
{
    std::vector<BoardConfig> boards;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig("name=FW VEX 1,mac=00:11:22:33:44:01,ip=192.168.1.1", boards, error)) << error;
    ASSERT_EQ(boards.size(), 1u) << "one board expected";
    EXPECT_EQ(boards[0].name, "FW VEX 1") << "name";
    EXPECT_EQ(boards[0].mac, "00:11:22:33:44:01") << "mac";
    EXPECT_EQ(boards[0].ip, 0xc0a80101u) << "address";
}

TEST(BoardConfigTest, EscapedCommaStaysInTheName)
{
    std::vector<BoardConfig> boards;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig(R"(name=FW VEX\, rack 2,ip=10.0.0.1)", boards, error)) << error;
    EXPECT_EQ(boards.at(0).name, "FW VEX, rack 2") << "escaped comma";
}

TEST(BoardConfigTest, RangeCountsAddressesNamesAndMacs)
{
    std::vector<BoardConfig> boards;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig("name=FW GUR %d,mac=00-11-22-33-44-FE,ip=10.20.1.253,count=4", boards, error)) << error;
    ASSERT_EQ(boards.size(), 4u) << "range size";
    const std::uint32_t ips[] = {0x0a1401fd, 0x0a1401fe, 0x0a140201, 0x0a140202};
    const char* macs[] = {"00-11-22-33-44-FE", "00-11-22-33-44-FF", "00-11-22-33-45-00", "00-11-22-33-45-01"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(boards[i].ip, ips[i]) << "address of board " << i << " (host octets 0 and 255 skipped)";
        EXPECT_EQ(boards[i].mac, macs[i]) << "MAC of board " << i;
        EXPECT_EQ(boards[i].name, "FW GUR " + std::to_string(i + 1)) << "name of board " << i;
    }
}

TEST(BoardConfigTest, AddressListGivesOneBoardEach)
{
    std::vector<BoardConfig> boards;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig("name=FW VEX %d,mac=00:11:22:33:44:09,ip=192.168.1.9 192.168.1.11", boards, error))
        << error;
    ASSERT_EQ(boards.size(), 2u) << "boards of the list";
    EXPECT_EQ(boards[1].ip, 0xc0a8010bu) << "second address of the list";
    EXPECT_EQ(boards[1].name, "FW VEX 2") << "second name";
    EXPECT_EQ(boards[1].mac, "00:11:22:33:44:0a") << "second MAC";
}

TEST(BoardConfigTest, MissingMacIsDerivedFromTheAddress)
{
    std::vector<BoardConfig> boards;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig("ip=192.168.1.7,count=2", boards, error)) << error;
    EXPECT_EQ(boards.at(0).mac, "02:00:c0:a8:01:07") << "derived MAC";
    EXPECT_NE(boards.at(0).mac, boards.at(1).mac) << "boards of a range share a MAC";
    EXPECT_EQ(boards.at(1).name, "Board 2") << "default name";
}

TEST(BoardConfigTest, FaultsAreTakenPerBoard)
{
    std::vector<BoardConfig> boards;
    std::string error;
    ASSERT_TRUE(ParseBoardConfig("ip=1.2.3.4,late=data:3:6000,drop=data:4,nak=reboot:9,ack=short", boards, error)) << error;
    const FaultPlan& plan = boards.at(0).faults;
    EXPECT_EQ(plan.Decide(3, 3, 1).delayMs, 6000u) << "late first transmission";
    EXPECT_EQ(plan.Decide(3, 3, 2).delayMs, 0u) << "late retransmission";
    EXPECT_TRUE(plan.Decide(3, 4, 1).dropped) << "drop of block 4";
    EXPECT_FALSE(plan.Decide(3, 4, 2).dropped) << "second transmission of block 4 dropped too";
    EXPECT_EQ(plan.Decide(4, 0, 1).status, 9) << "refusal status of reboot";
    EXPECT_EQ(plan.Decide(3, 5, 1).status, 5) << "untouched block refused";
    EXPECT_EQ(plan.Ack(), AckForm::Short) << "ack form";
    EXPECT_EQ(plan.Describe(), "late=data:3:6000,drop=data:4,nak=reboot:9,ack=short") << "description";

    boards.clear();
    ASSERT_TRUE(ParseBoardConfig("ip=1.2.3.4,lost-ack=data:2:2,drop=data:2", boards, error)) << error;
    const FaultPlan& lost = boards.at(0).faults;
    EXPECT_TRUE(lost.Decide(3, 2, 1).dropped) << "a lost request is not an answer lost";
    EXPECT_TRUE(lost.Decide(3, 2, 2).ackLost && !lost.Decide(3, 2, 2).answer) << "second answer of block 2 lost";
    EXPECT_TRUE(lost.Decide(3, 2, 3).answer) << "third transmission answered";
    EXPECT_FALSE(lost.Decide(3, 1, 1).ackLost) << "block 1 untouched";

    boards.clear();
    ASSERT_TRUE(ParseBoardConfig("ip=1.2.3.4,ack-seq=0xffffffff,ack-len=0,reply-port=40000", boards, error)) << error;
    const FaultPlan& forms = boards.at(0).faults;
    EXPECT_TRUE(forms.AckSequence() == 0xFFFFFFFFu && forms.AckLength() == 0) << "fixed acknowledgement fields";
    EXPECT_EQ(forms.ReplyPort(), 40000) << "reply port";
    boards.clear();
    ASSERT_TRUE(ParseBoardConfig("ip=1.2.3.4", boards, error)) << error;
    EXPECT_TRUE(!boards.at(0).faults.AckSequence() && !boards.at(0).faults.AckLength()
                && boards.at(0).faults.ReplyPort() == 0) << "fixed fields by default";
}

TEST(BoardConfigTest, MistakesAreReported)
{
    const char* bad[] = {
        "name=x",                       // no address
        "ip=192.168.1.256",             // bad address
        "ip=1.2.3.4,colour=red",        // unknown item
        "ip=1.2.3.4,nak=data",          // block missing
        "ip=1.2.3.4,nak=data:3:5",      // status 5 is an acknowledgement
        "ip=1.2.3.4,late=data:3",       // no delay
        "ip=1.2.3.4,latency",           // no delay
        "ip=1.2.3.4,latency=1ms",       // not a number
        "ip=1.2.3.4,drop=boot",         // unknown request
        "ip=1.2.3.4,ack=maybe",         // unknown ack form
        "ip=1.2.3.4,disc-reply=0g",     // not hex
        "ip=1.2.3.4,count=0",           // empty range
        "ip=1.2.3.4 1.2.3.5,count=2",   // list and range at once
        "ip=1.2.3.4 1.2.3",             // bad address in a list
        "ip=1.2.3.4,ack-seq=0x100000000", // more than 32 bits
        "ip=1.2.3.4,ack-len=70000",     // more than 16 bits
        "ip=1.2.3.4,reply-port=0",      // no port
        "ip=1.2.3.4,ack-seq",           // no value
    };
    for (const char* text : bad) {
        std::vector<BoardConfig> boards;
        std::string error;
        EXPECT_FALSE(ParseBoardConfig(text, boards, error)) << "accepted: " << text;
        EXPECT_FALSE(error.empty()) << "no message for: " << text;
    }
}

}  // namespace
}  // namespace boardsim
