#include "Board.h"

#include "TestPackets.h"

#include <gtest/gtest.h>

namespace boardsim {
namespace {

using namespace test;

constexpr Micros kSecond = 1000000;

class BoardTest : public ::testing::Test {
protected:
    Board Make(const std::string& extra = "")
    {
        std::vector<BoardConfig> configs;
        std::string error;
        const std::string text = "name=FW VEX 1,mac=00:11:22:33:44:01,ip=192.168.1.1" + (extra.empty() ? "" : "," + extra);
        EXPECT_TRUE(ParseBoardConfig(text, configs, error)) << "board description refused: " << error;
        return Board(0, configs.at(0), m_store);
    }

    std::vector<Outgoing> Send(Board& board, const std::vector<std::uint8_t>& bytes, Micros now, bool broadcast = false)
    {
        Datagram d;
        d.data = bytes.data();
        d.captured = d.size = bytes.size();
        d.from = {0xc0a8010a, 50000};
        d.dst = broadcast ? 0xffffffffu : 0xc0a80101;
        d.broadcast = broadcast;
        d.now = now;
        std::vector<Outgoing> out;
        board.Receive(d, out);
        return out;
    }

    // Sends the whole download the way a workstation does, one request per millisecond, and expects an
    // immediate positive acknowledgement of each.
    void Download(Board& board, const std::vector<std::uint8_t>& file, const std::string& name, Micros& now)
    {
        std::vector<std::vector<std::uint8_t>> requests = {FileName(name)};
        for (std::uint32_t k = 0; k < BlockCount(file.size()); ++k)
            requests.push_back(Block(file, k));
        requests.push_back(Reboot());
        for (const auto& request : requests) {
            const auto replies = Send(board, request, now += 1000);
            ASSERT_EQ(replies.size(), 1u) << "request with opcode " << int(request[0]) << " got no single reply";
            ASSERT_EQ(replies[0].bytes.size(), kHeaderSize) << "acknowledgement is not the 8-byte echo";
            std::vector<std::uint8_t> expected(request.begin(), request.begin() + kHeaderSize);
            expected[1] = kStatusAck;
            EXPECT_EQ(replies[0].bytes, expected) << "acknowledgement does not echo the header with status 5";
            EXPECT_EQ(replies[0].due, now) << "acknowledgement held back";
        }
    }

    static std::string Flags(const Board& board)
    {
        std::string text;
        for (const auto& flag : board.Flags())
            text += flag.text + "; ";
        return text;
    }

    ImageStore m_store;
};

TEST_F(BoardTest, CorrectDownloadYieldsIdenticalImageAndNoFlag)
{
    for (const std::size_t size : {0u, 1u, 503u, 504u, 505u, 1000u, 1008u, 5000u}) {
        Board board = Make();
        const auto file = TestFile(size);
        Micros now = 0;
        Download(board, file, "fw_vex.bin", now);
        ASSERT_EQ(board.Images().size(), 1u) << "no image after a download of " << size << " bytes";
        const ImageRecord& image = board.Images()[0];
        EXPECT_EQ(image.data, file) << "image of " << size << " bytes differs from the file";
        EXPECT_TRUE(image.complete) << "image of " << size << " bytes not complete after the reboot request";
        EXPECT_EQ(image.fileName, "fw_vex.bin") << "file name lost";
        EXPECT_EQ(image.blocks, BlockCount(size)) << "block count of " << size << " bytes";
        EXPECT_EQ(Flags(board), "") << "a correct download of " << size << " bytes was flagged";
    }
}

TEST_F(BoardTest, DiscoveryReplyCarriesNameAndMacAfterTheHeader)
{
    Board board = Make();
    const auto replies = Send(board, Discovery(), 0, true);
    ASSERT_EQ(replies.size(), 1u) << "discovery not answered";
    std::vector<std::uint8_t> expected = {1, 5, 27, 0, 0, 0, 0, 0};
    const std::string text = std::string("FW VEX 1") + '\0' + "00:11:22:33:44:01" + '\0';
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(replies[0].bytes, expected) << "discovery reply layout";
    EXPECT_EQ(replies[0].to.port, 50000) << "reply not sent to the requester's port";
    EXPECT_EQ(Flags(board), "") << "a correct discovery request was flagged";
}

TEST_F(BoardTest, SeveralDownloadsGiveSeveralImages)
{
    Board board = Make();
    Micros now = 0;
    Download(board, TestFile(1000), "a.bin", now);
    Download(board, TestFile(600), "b.bin", now);
    ASSERT_EQ(board.Images().size(), 2u) << "second download lost";
    EXPECT_EQ(board.Images()[1].data, TestFile(600)) << "second image differs";
    EXPECT_EQ(Flags(board), "") << "two correct downloads were flagged";
}

struct Malformed {
    const char* name;
    std::vector<std::vector<std::uint8_t>> requests;
    const char* flag;  // text the flag raised by the last request holds
    bool broadcast = false;
};

std::vector<Malformed> MalformedCases()
{
    const auto file = TestFile(1200);
    auto differentBlock0 = Block(file, 0);
    differentBlock0[20] ^= 1;
    auto shortName = FileName("a.bin");
    shortName.pop_back();
    auto nameWithZero = FileName("a.bin");
    nameWithZero[10] = 0;
    auto longData = Request(kOpData, 505, 0, std::vector<std::uint8_t>(505, 1));
    return {
        {"discovery with status", {Request(kOpDiscover, 0, 0, {}, 1)}, "status byte 1"},
        {"discovery of 9 bytes", {Request(kOpDiscover, 0, 0, {0})}, "9 bytes, not 8"},
        {"discovery with sequence", {Request(kOpDiscover, 0, 4)}, "sequence 4, not 0"},
        {"file name with status", {Request(kOpFileName, 2, 0, {'a', 0}, 5)}, "status byte 5"},
        {"file name shorter than its length", {shortName}, "its length 6 calls for 14"},
        {"file name without zero byte", {Request(kOpFileName, 5, 0, {'a', '.', 'b', 'i', 'n'})}, "no terminating zero"},
        {"file name with inner zero byte", {nameWithZero}, "zero byte at offset 2"},
        {"file name with sequence", {Request(kOpFileName, 2, 1, {'a', 0})}, "sequence 1, not 0"},
        {"file name of length 0", {Request(kOpFileName, 0, 0)}, "length 0"},
        {"empty file name", {Request(kOpFileName, 1, 0, {0})}, "file name is empty"},
        {"file name with directory", {FileName("fw\\a.bin")}, "path separator"},
        {"broadcast file name", {FileName("a.bin")}, "was broadcast", true},
        {"data length disagrees", {FileName("a.bin"), Request(kOpData, 504, 0, std::vector<std::uint8_t>(500))},
         "its length 504 calls for 512"},
        {"data longer than 504", {FileName("a.bin"), longData}, "more than the 504-byte payload"},
        {"data before file name", {Block(file, 0)}, "without a file-name request"},
        {"data after reboot", {FileName("a.bin"), Block(file, 0), Reboot(), Block(file, 1)}, "without a file-name request"},
        {"block skipped", {FileName("a.bin"), Block(file, 0), Block(file, 2)}, "block 2 out of order: the next block is 1"},
        {"block not starting at 0", {FileName("a.bin"), Block(file, 1)}, "block 1 out of order: the next block is 0"},
        {"acknowledged block repeated", {FileName("a.bin"), Block(file, 0), Block(file, 0)}, "after the board acknowledged"},
        {"acknowledged name repeated", {FileName("a.bin"), FileName("a.bin")}, "after the board acknowledged"},
        {"block resent with other bytes", {FileName("a.bin"), Block(file, 0), differentBlock0}, "different content"},
        {"short block not last",
         {FileName("a.bin"), Request(kOpData, 100, 0, std::vector<std::uint8_t>(100)), Block(file, 1)},
         "held 100 bytes yet was not the last"},
        {"empty block after data", {FileName("a.bin"), Block(file, 0), Request(kOpData, 0, 1)}, "empty DATA block 1"},
        {"reboot before data", {FileName("a.bin"), Reboot()}, "before any data block"},
        {"reboot alone", {Reboot()}, "without a file name and data"},
        {"reboot of 9 bytes", {FileName("a.bin"), Block(file, 0), Request(kOpReboot, 0, 0, {0})}, "9 bytes, not 8"},
        {"reboot with length", {FileName("a.bin"), Block(file, 0), Request(kOpReboot, 1, 0)}, "length 1, not 0"},
        {"unknown opcode", {Request(7, 0, 0)}, "unknown opcode 7"},
        {"opcode zero", {Request(0, 0, 0)}, "unknown opcode 0"},
        {"empty datagram", {std::vector<std::uint8_t>()}, "empty datagram"},
        {"shorter than header", {std::vector<std::uint8_t>{kOpFileName, 0, 0}}, "shorter than the 8-byte header"},
    };
}

TEST_F(BoardTest, EachMalformedRequestIsFlagged)
{
    for (const auto& c : MalformedCases()) {
        Board board = Make();
        Micros now = 0;
        for (std::size_t i = 0; i + 1 < c.requests.size(); ++i)
            Send(board, c.requests[i], now += kSecond);
        const std::size_t before = board.Flags().size();
        Send(board, c.requests.back(), now += kSecond, c.broadcast);
        ASSERT_EQ(before, 0u) << c.name << ": flagged before its faulty request: " << Flags(board);
        EXPECT_NE(Flags(board).find(c.flag), std::string::npos)
            << c.name << ": expected a flag with \"" << c.flag << "\", got: " << Flags(board);
        ASSERT_FALSE(board.Requests().empty()) << c.name << ": request not recorded";
        EXPECT_EQ(board.Requests().back().flagCount, board.Flags().size() - before)
            << c.name << ": flags not tied to their request";
    }
}

TEST_F(BoardTest, RequestBeforeHeldBackAcknowledgementIsFlagged)
{
    Board board = Make("late=data:0:3000");
    const auto file = TestFile(1200);
    Send(board, FileName("a.bin"), 0);
    Send(board, Block(file, 0), kSecond);
    Send(board, Block(file, 1), 2 * kSecond);
    EXPECT_NE(Flags(board).find("DATA block 1 sent before the board acknowledged DATA block 0"), std::string::npos)
        << "stop and wait broken unnoticed: " << Flags(board);
}

TEST_F(BoardTest, DroppedRequestIsLegallyRetransmitted)
{
    Board board = Make("drop=data:3:1");
    const auto file = TestFile(3000);
    Micros now = 0;
    Send(board, FileName("a.bin"), now += 1000);
    for (std::uint32_t k = 0; k < BlockCount(file.size()); ++k) {
        auto replies = Send(board, Block(file, k), now += 1000);
        if (k == 3) {
            EXPECT_TRUE(replies.empty()) << "first transmission of block 3 was answered";
            replies = Send(board, Block(file, k), now += 5 * kSecond);
        }
        ASSERT_EQ(replies.size(), 1u) << "block " << k << " not acknowledged";
    }
    Send(board, Reboot(), now += 1000);
    EXPECT_EQ(board.Requests()[4].reply, ReplyKind::Dropped) << "drop not recorded";
    EXPECT_STREQ(board.Requests()[5].note, "retransmission") << "retransmission not recognised";
    ASSERT_EQ(board.Images().size(), 1u) << "no image";
    EXPECT_EQ(board.Images()[0].data, file) << "image differs after a dropped block";
    EXPECT_EQ(Flags(board), "") << "a legal retransmission was flagged";
}

// A board that stored a request whose answer was lost gets the same datagram again from a sender that
// waited in vain: a legal retransmission, answered this time, and the block is stored once.
TEST_F(BoardTest, LostAcknowledgementLeavesTheRetransmissionLegal)
{
    const struct {
        const char* fault;
        std::size_t request; // index of the transmission whose answer is lost
    } cases[] = {{"lost-ack=filename", 0}, {"lost-ack=data:1", 2}, {"lost-ack=data:*", 1}, {"lost-ack=reboot", 4}};
    for (const auto& c : cases) {
        Board board = Make(c.fault);
        const auto file = TestFile(1500);
        Micros now = 0;
        const auto sendTwiceIfUnanswered = [&](const std::vector<std::uint8_t>& request) {
            if (Send(board, request, now += 1000).empty())
                return Send(board, request, now += 5 * kSecond).size();
            return std::size_t{1};
        };
        EXPECT_EQ(sendTwiceIfUnanswered(FileName("a.bin")), 1u) << c.fault << ": file name";
        for (std::uint32_t k = 0; k < BlockCount(file.size()); ++k)
            EXPECT_EQ(sendTwiceIfUnanswered(Block(file, k)), 1u) << c.fault << ": block " << k;
        EXPECT_EQ(sendTwiceIfUnanswered(Reboot()), 1u) << c.fault << ": reboot";
        ASSERT_GT(board.Requests().size(), c.request) << c.fault;
        EXPECT_EQ(board.Requests()[c.request].reply, ReplyKind::Lost) << c.fault << ": the lost answer not recorded";
        EXPECT_STREQ(board.Requests()[c.request + 1].note, "retransmission") << c.fault << ": not a retransmission";
        EXPECT_EQ(Flags(board), "") << c.fault << ": a legal retransmission was flagged";
        ASSERT_EQ(board.Images().size(), 1u) << c.fault << ": no image";
        EXPECT_EQ(board.Images()[0].data, file) << c.fault << ": image";
        EXPECT_TRUE(board.Images()[0].complete) << c.fault << ": image incomplete";
    }
}

// A refusal still held back has not reached the sender, whose deadline may run out first: the same
// request again is then a retransmission. Once the refusal has left, it is a fault.
TEST_F(BoardTest, RequestAgainBeforeAHeldBackRefusalIsARetransmission)
{
    const struct {
        const char* fault;
        Micros again; // when the request goes out again
        const char* flag;
    } cases[] = {
        {"nak=data:0,late=data:0:6000", 5 * kSecond, ""},
        {"nak=data:0,late=data:0:6000", 7 * kSecond, "DATA block 0 sent again after the board refused it; "},
        {"nak=data:0", 5 * kSecond, "DATA block 0 sent again after the board refused it; "},
        {"nak=reboot,late=reboot:6000", 5 * kSecond, ""},
    };
    for (const auto& c : cases) {
        Board board = Make(c.fault);
        const auto file = TestFile(100);
        Send(board, FileName("a.bin"), 0);
        const bool reboot = std::string(c.fault).find("reboot") != std::string::npos;
        if (reboot)
            Send(board, Block(file, 0), 1000);
        const auto request = reboot ? Reboot() : Block(file, 0);
        Send(board, request, 2000);
        Send(board, request, 2000 + c.again);
        EXPECT_EQ(Flags(board), c.flag) << c.fault << ", again after " << c.again / kSecond << " s";
    }
}

TEST_F(BoardTest, DropCountsTransmissionsAndFlagsAThird)
{
    Board board = Make("drop=filename:2");
    EXPECT_TRUE(Send(board, FileName("a.bin"), 0).empty()) << "first transmission answered";
    EXPECT_TRUE(Send(board, FileName("a.bin"), 5 * kSecond).empty()) << "second transmission answered";
    Send(board, Block(TestFile(10), 0), 10 * kSecond);
    EXPECT_NE(Flags(board).find("sent before the board acknowledged FILENAME"), std::string::npos)
        << "data after an unanswered file name not flagged: " << Flags(board);

    Board again = Make("drop=data:0:5");
    Send(again, FileName("a.bin"), 0);
    for (int i = 0; i < 3; ++i)
        Send(again, Block(TestFile(10), 0), kSecond * (1 + 5 * i));
    EXPECT_NE(Flags(again).find("transmitted 3 times"), std::string::npos)
        << "third transmission not flagged: " << Flags(again);
}

TEST_F(BoardTest, LateAnswerHoldsOnlyTheFirstTransmission)
{
    Board board = Make("late=data:3:6000");
    const auto file = TestFile(3000);
    Micros now = 0;
    Send(board, FileName("a.bin"), now += 1000);
    for (std::uint32_t k = 0; k < 3; ++k)
        Send(board, Block(file, k), now += 1000);
    const Micros first = now += 1000;
    auto replies = Send(board, Block(file, 3), first);
    ASSERT_EQ(replies.size(), 1u) << "late reply missing";
    EXPECT_EQ(replies[0].due, first + 6 * kSecond) << "reply not held back 6 s";
    replies = Send(board, Block(file, 3), first + 5 * kSecond);
    ASSERT_EQ(replies.size(), 1u) << "retransmission not answered";
    EXPECT_EQ(replies[0].due, first + 5 * kSecond) << "retransmission held back too";
    now = first + 5 * kSecond;
    for (std::uint32_t k = 4; k < BlockCount(file.size()); ++k)
        Send(board, Block(file, k), now += 1000);
    Send(board, Reboot(), now += 1000);
    ASSERT_EQ(board.Images().size(), 1u) << "no image";
    EXPECT_EQ(board.Images()[0].data, file) << "image differs after a late answer";
    EXPECT_EQ(Flags(board), "") << "retransmission before the late answer was flagged";
}

TEST_F(BoardTest, LatencyHoldsEveryBlockButNoOtherRequest)
{
    Board board = Make("latency=5");
    const auto file = TestFile(2000);
    Micros now = 0;
    auto replies = Send(board, FileName("a.bin"), now);
    ASSERT_EQ(replies.size(), 1u) << "file name not answered";
    EXPECT_EQ(replies[0].due, now) << "file name held back";
    for (std::uint32_t k = 0; k < BlockCount(file.size()); ++k) {
        replies = Send(board, Block(file, k), now += 1000);
        ASSERT_EQ(replies.size(), 1u) << "block " << k << " not answered";
        EXPECT_EQ(replies[0].due, now + 5000) << "block " << k << " not held back 5 ms";
        now = replies[0].due;
    }
    replies = Send(board, Reboot(), now += 1000);
    ASSERT_EQ(replies.size(), 1u) << "reboot not answered";
    EXPECT_EQ(replies[0].due, now) << "reboot held back";
    ASSERT_EQ(board.Images().size(), 1u) << "no image";
    EXPECT_EQ(board.Images()[0].data, file) << "image differs";
    EXPECT_EQ(Flags(board), "") << "a download at the board's pace was flagged";
}

TEST_F(BoardTest, RepeatAfterLateAnswerLeftIsFlagged)
{
    Board board = Make("late=data:0:2000");
    Send(board, FileName("a.bin"), 0);
    Send(board, Block(TestFile(10), 0), kSecond);
    Send(board, Block(TestFile(10), 0), 4 * kSecond);
    EXPECT_NE(Flags(board).find("after the board acknowledged"), std::string::npos)
        << "repeat after the held-back answer left was not flagged: " << Flags(board);
}

// A block sent again after its ack is a fault of the sender only when that ack
// named the block; otherwise the sender cannot know which block it answered.
TEST_F(BoardTest, RepeatAfterAnAckWithoutTheBlockNumberIsARetransmission)
{
    const struct {
        const char* faults;
        bool flagged;
    } cases[] = {{"ack=echo", true}, {"ack=zero", false}, {"ack=short", false}, {"ack-seq=0", false},
        {"ack-seq=1", true}, {"ack-len=0", true}};
    const auto file = TestFile(1200);
    for (const auto& c : cases) {
        Board board = Make(c.faults);
        Send(board, FileName("a.bin"), kSecond);
        Send(board, Block(file, 0), 2 * kSecond);
        Send(board, Block(file, 1), 3 * kSecond);
        Send(board, Block(file, 1), 8 * kSecond);
        EXPECT_EQ(Flags(board).find("after the board acknowledged") != std::string::npos, c.flagged) << c.faults;
    }
}

TEST_F(BoardTest, NegativeAcknowledgementCarriesStatusAndStopsTheImage)
{
    Board board = Make("nak=data:2:7");
    const auto file = TestFile(3000);
    Send(board, FileName("a.bin"), 0);
    for (std::uint32_t k = 0; k < 2; ++k)
        ASSERT_EQ(Send(board, Block(file, k), kSecond * (k + 1))[0].bytes[1], kStatusAck) << "block " << k << " refused";
    const auto replies = Send(board, Block(file, 2), 3 * kSecond);
    ASSERT_EQ(replies.size(), 1u) << "refusal not sent";
    EXPECT_EQ(replies[0].bytes[0], kOpData) << "refusal opcode";
    EXPECT_EQ(replies[0].bytes[1], 7) << "refusal status";
    EXPECT_EQ(Flags(board), "") << "a refused request was flagged";
    Send(board, Block(file, 3), 4 * kSecond);
    EXPECT_NE(Flags(board).find("after the board refused DATA block 2"), std::string::npos)
        << "data after a refusal not flagged: " << Flags(board);
    board.Finish(5 * kSecond);
    ASSERT_EQ(board.Images().size(), 1u) << "unfinished image not kept";
    EXPECT_FALSE(board.Images()[0].complete) << "refused download counted complete";
    EXPECT_EQ(board.Images()[0].size, 2 * kBlockSize) << "refused block stored";
}

TEST_F(BoardTest, RepeatAfterRefusalIsFlaggedButNewDownloadIsNot)
{
    Board board = Make("nak=filename");
    EXPECT_EQ(Send(board, FileName("a.bin"), 0)[0].bytes[1], 1) << "default refusal status";
    Send(board, FileName("a.bin"), kSecond);
    EXPECT_EQ(Flags(board), "") << "a download started again after a refusal was flagged";
    EXPECT_STREQ(board.Requests().back().note, "new download") << "new download not recognised";

    Board data = Make("nak=data:0");
    Send(data, FileName("a.bin"), 0);
    Send(data, Block(TestFile(10), 0), kSecond);
    Send(data, Block(TestFile(10), 0), 2 * kSecond);
    EXPECT_NE(Flags(data).find("sent again after the board refused it"), std::string::npos)
        << "retransmission of a refused block not flagged: " << Flags(data);
}

TEST_F(BoardTest, SilentBoardAnswersOnlyDiscovery)
{
    Board board = Make("silent");
    EXPECT_EQ(Send(board, Discovery(), 0).size(), 1u) << "silent board must still be found";
    EXPECT_TRUE(Send(board, FileName("a.bin"), 1).empty()) << "silent board answered a file name";
    EXPECT_TRUE(Send(board, FileName("a.bin"), 5 * kSecond).empty()) << "silent board answered a retransmission";
    EXPECT_EQ(Flags(board), "") << "retransmission to a silent board was flagged";

    Board mute = Make("mute");
    EXPECT_TRUE(Send(mute, Discovery(), 0).empty()) << "mute board answered discovery";
}

TEST_F(BoardTest, TwiceSendsTwoCopies)
{
    Board board = Make("twice=data:1:100");
    Send(board, FileName("a.bin"), 0);
    EXPECT_EQ(Send(board, Block(TestFile(1200), 0), 1000).size(), 1u) << "block 0 answered twice";
    const auto replies = Send(board, Block(TestFile(1200), 1), 2000);
    ASSERT_EQ(replies.size(), 2u) << "block 1 not answered twice";
    EXPECT_EQ(replies[1].due - replies[0].due, 100000u) << "gap between the copies";
    EXPECT_EQ(replies[0].bytes, replies[1].bytes) << "copies differ";

    Board all = Make("twice");
    EXPECT_EQ(Send(all, FileName("a.bin"), 0).size(), 2u) << "'twice' did not double the file-name answer";
    EXPECT_EQ(Send(all, Discovery(), 1).size(), 1u) << "'twice' doubled discovery too";
}

TEST_F(BoardTest, AcknowledgementForms)
{
    const auto block = Block(TestFile(1200), 1);
    struct Case {
        const char* faults;
        std::vector<std::uint8_t> reply;
    } cases[] = {
        {"", {3, 5, 0xf8, 1, 1, 0, 0, 0}},
        {"ack=echo", {3, 5, 0xf8, 1, 1, 0, 0, 0}},
        {"ack=zero", {3, 5, 0, 0, 0, 0, 0, 0}},
        {"ack=short", {3, 5}},
        {"ack-seq=2", {3, 5, 0xf8, 1, 2, 0, 0, 0}},
        {"ack-seq=0xFFFFFFFF", {3, 5, 0xf8, 1, 0xff, 0xff, 0xff, 0xff}},
        {"ack-len=0", {3, 5, 0, 0, 1, 0, 0, 0}},
        {"ack=zero,ack-seq=5", {3, 5, 0, 0, 5, 0, 0, 0}},
        {"ack=short,ack-seq=5", {3, 5}},
    };
    for (const auto& c : cases) {
        Board board = Make(c.faults);
        Send(board, FileName("a.bin"), 0);
        Send(board, Block(TestFile(1200), 0), 1);
        const auto replies = Send(board, block, 2);
        ASSERT_EQ(replies.size(), 1u) << c.faults << ": no answer";
        EXPECT_EQ(replies[0].bytes, c.reply) << "acknowledgement form '" << c.faults << "'";
    }
}

TEST_F(BoardTest, MalformedDiscoveryReplyIsSentAsGiven)
{
    Board board = Make("disc-reply=01:05:00:00:00:00:00:00:41:42");
    const auto replies = Send(board, Discovery(), 0);
    ASSERT_EQ(replies.size(), 1u) << "no discovery reply";
    EXPECT_EQ(replies[0].bytes, (std::vector<std::uint8_t>{1, 5, 0, 0, 0, 0, 0, 0, 'A', 'B'})) << "reply bytes";
}

}  // namespace
}  // namespace boardsim
