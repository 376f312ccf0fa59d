#include "Board.h"

#include "TestPackets.h"

#include <gtest/gtest.h>

namespace boardsim {
namespace {

using namespace test;

constexpr Micros kMs = 1000;

std::vector<BoardConfig> Parse(const std::string& text)
{
    std::vector<BoardConfig> configs;
    std::string error;
    EXPECT_TRUE(ParseBoardConfig(text, configs, error)) << "board description refused: " << error;
    return configs;
}

class PresenceTest : public ::testing::Test {
protected:
    std::vector<Outgoing> Send(Board& board, const std::vector<std::uint8_t>& bytes, Micros now)
    {
        Datagram d;
        d.data = bytes.data();
        d.captured = d.size = bytes.size();
        d.from = {0xc0a8010a, 50000};
        d.dst = 0xc0a80101;
        d.now = now;
        std::vector<Outgoing> out;
        board.Receive(d, out);
        return out;
    }

    // The name in a discovery reply, "" when there is none.
    std::string Discover(Board& board, Micros now)
    {
        const auto replies = Send(board, Discovery(), now);
        if (replies.empty())
            return "";
        const auto& b = replies[0].bytes;
        return std::string(reinterpret_cast<const char*>(b.data() + kHeaderSize));
    }

    // A whole download acknowledged, the reboot request at `at`.
    void Download(Board& board, Micros at)
    {
        const auto file = TestFile(1000);
        std::vector<std::vector<std::uint8_t>> requests = {FileName("vex_arm_fw.bin")};
        for (std::uint32_t k = 0; k < BlockCount(file.size()); ++k)
            requests.push_back(Block(file, k));
        Micros now = at - requests.size() * kMs;
        for (const auto& request : requests)
            ASSERT_EQ(Send(board, request, now += kMs).size(), 1u) << "download request unanswered";
        ASSERT_EQ(Send(board, Reboot(), at).size(), 1u) << "reboot request unanswered";
    }

    ImageStore m_store;
};

TEST_F(PresenceTest, BoardAnswersFromItsAppearanceOn)
{
    auto configs = Parse("name=FW VEX %d,ip=192.168.1.1 192.168.1.2 192.168.1.3,appear=1000:500");
    const Micros appear[] = {1000 * kMs, 1500 * kMs, 2000 * kMs};
    for (std::size_t i = 0; i < configs.size(); ++i) {
        Board board(i, configs[i], m_store);
        EXPECT_EQ(Discover(board, appear[i] - 1), "") << "board " << i + 1 << " answered before it appeared";
        EXPECT_EQ(Send(board, FileName("vex_arm_fw.bin"), appear[i] - 1).size(), 0u)
            << "board " << i + 1 << " took a download before it appeared";
        EXPECT_EQ(Discover(board, appear[i]), "FW VEX " + std::to_string(i + 1))
            << "board " << i + 1 << " silent once it appeared";
        EXPECT_TRUE(board.Flags().empty()) << "requests to an absent board were flagged";
        EXPECT_STREQ(board.Requests()[0].note, "not yet plugged in") << "the log does not say why";
    }
}

TEST_F(PresenceTest, BoardAwayAfterItsRebootComesBackUnderTheConfiguredName)
{
    struct Case {
        const char* items;
        Micros silentUntil; // after the reboot ack; kNever: never back
        const char* nameAfter;
    } cases[] = {
        {"", 0, "FW VEX 1"},
        {"back=1500", 1500 * kMs, "FW VEX 1"},
        {"back=1500,renamed=FW VEX 1 v2", 1500 * kMs, "FW VEX 1 v2"},
        {"renamed=FW VEX %d new", 0, "FW VEX 1 new"},
        {"back=never", kNever, ""},
        {"back=300,late=reboot:200", 500 * kMs, "FW VEX 1"}, // away from the acknowledgement on
    };
    const Micros reboot = 10000 * kMs;
    for (const Case& c : cases) {
        Board board(0, Parse(std::string("name=FW VEX %d,mac=00:11:22:33:44:01,ip=192.168.1.1,") + c.items)[0],
                    m_store);
        Download(board, reboot);
        EXPECT_EQ(Discover(board, reboot - kMs), "FW VEX 1") << c.items << ": renamed before the reboot";
        if (c.silentUntil != 0) {
            EXPECT_EQ(Discover(board, reboot + (c.silentUntil == kNever ? 3600000 * kMs : c.silentUntil - kMs)), "")
                << c.items << ": answered while away";
        }
        if (c.silentUntil != kNever)
            EXPECT_EQ(Discover(board, reboot + c.silentUntil), c.nameAfter) << c.items << ": not back in time";
        EXPECT_EQ(board.Images().size(), 1u) << c.items << ": image not stored at the reboot request";
        EXPECT_TRUE(board.Flags().empty()) << c.items << ": " << board.Flags()[0].text;
    }
}

TEST_F(PresenceTest, BoardBackFromItsRebootTakesANewDownloadWithoutFlags)
{
    Board board(0, Parse("name=FW VEX 1,ip=192.168.1.1,back=1000")[0], m_store);
    Download(board, 5000 * kMs);
    Download(board, 9000 * kMs);
    EXPECT_EQ(board.Images().size(), 2u) << "second download after the return not stored";
    EXPECT_TRUE(board.Flags().empty()) << board.Flags()[0].text;
}

TEST_F(PresenceTest, BadValuesAreRefused)
{
    for (const char* item : {"appear", "appear=x", "appear=5:", "back=soon", "back=-1", "renamed"}) {
        std::vector<BoardConfig> configs;
        std::string error;
        EXPECT_FALSE(ParseBoardConfig(std::string("ip=192.168.1.1,") + item, configs, error)) << item << " taken";
        EXPECT_FALSE(error.empty()) << item << ": no message";
    }
}

}  // namespace
}  // namespace boardsim
