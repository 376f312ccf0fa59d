#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "cli/lanes/FlashBatch.h"
#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "download/BoardLocks.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"
#include "tests/cli/FakeNetwork.h"

namespace {

struct Recorder : IFlashObserver {
    std::vector<std::wstring> lines;
    std::vector<int> started;
    std::map<int, std::vector<int>> progress;
    std::vector<std::pair<int, DownloadEnd>> finished;
    std::vector<std::pair<int, std::uint32_t>> restarted;
    void OnStatusLine(const std::wstring& line) override { lines.push_back(line); }
    void OnBoardRestarted(int board, std::uint32_t block) override { restarted.emplace_back(board, block); }
    void OnBoardStarted(int board) override { started.push_back(board); }
    void OnBoardProgress(int board, int percent) override { progress[board].push_back(percent); }
    void OnBoardFinished(int board, const DownloadEnd& end) override { finished.emplace_back(board, end); }
};

std::wstring Ip(int n)
{
    return L"192.168.1." + std::to_wstring(n);
}

struct BatchBench {
    FakeNetwork net;
    EventLoop loop{net, net};
    BoardLink link{net};
    Recorder seen;
    std::vector<std::uint8_t> image;
    FlashBatch batch{loop, link, seen, image};
    std::uint64_t elapsed = 0;

    explicit BatchBench(int boards, std::size_t size = 5000)
    {
        for (std::size_t i = 0; i < size; ++i)
            image.push_back(static_cast<std::uint8_t>(i * 7 + i / 251));
        for (int n = 1; n <= boards; ++n)
            net.AddBoard(Ip(n), L"FW VEX " + std::to_wstring(n));
    }

    std::vector<DownloadEnd> Run(int parallel)
    {
        FlashJob job{L"/fw/vex_arm_fw.bin", "vex_arm_fw.bin", {}, parallel};
        for (const auto& entry : net.m_boards)
            job.m_addresses.push_back(entry.first);
        const std::uint64_t start = net.m_now;
        std::vector<DownloadEnd> ends = batch.Run(job);
        elapsed = net.m_now - start;
        return ends;
    }

    int FileNameRequestsTo(const std::wstring& ip) const
    {
        int n = 0;
        for (const FakeNetwork::Sent& s : net.m_sent)
            n += s.target == ip && s.bytes[0] == OP_FILENAME ? 1 : 0;
        return n;
    }

    bool AllImagesIdentical() const
    {
        for (const auto& [ip, board] : net.m_boards) {
            if (board.image != image || !board.rebooted || board.fileName != "vex_arm_fw.bin")
                return false;
        }
        return true;
    }
};

std::uint64_t OneBoardTime()
{
    BatchBench one(1);
    one.Run(1);
    return one.elapsed;
}

TEST(FlashBatch, SilentRefusingAndHealthyBoardsEachGetTheirEnd)
{
    BatchBench b(3);
    b.net.m_boards[Ip(1)].fault = FakeNetwork::Fault::Silent;
    FakeNetwork::Board& refusing = b.net.m_boards[Ip(2)];
    refusing.fault = FakeNetwork::Fault::Nak;
    refusing.nakOpcode = OP_DATA;
    refusing.nakBlock = 1;
    const std::vector<DownloadEnd> ends = b.Run(1);

    ASSERT_EQ(ends.size(), 3u) << "one end per board";
    EXPECT_TRUE(ends[0].m_outcome == BoardOutcome::NoReply && ends[0].m_nOpcode == OP_FILENAME) << "silent board";
    EXPECT_TRUE(ends[1].m_outcome == BoardOutcome::NegativeAck && ends[1].m_nOpcode == OP_DATA && ends[1].m_nBlock == 1)
        << "board refusing block 1";
    EXPECT_EQ(ends[2].m_outcome, BoardOutcome::Rebooted) << "healthy board";
    EXPECT_EQ(b.net.m_boards[Ip(3)].image, b.image) << "the healthy board's image differs";
    EXPECT_GE(b.net.m_boards[Ip(2)].firstDownload, 10000u + 1000u) << "one after another: the second board waits for the first";
    const std::vector<std::wstring> expected{L"Downloading /fw/vex_arm_fw.bin to all valid selected boards.\r\n",
        L"Retrying send file name IP 192.168.1.1\r\n", L"Retrying send file name IP 192.168.1.1\r\n",
        L"Unit at IP 192.168.1.1 failed to download.\r\n", L"Data negative acknowledgement failure IP 192.168.1.2\r\n",
        L"Unit at IP 192.168.1.3 is rebooting.\r\n"};
    EXPECT_EQ(b.seen.lines, expected) << "the window's status lines, in order";
}

TEST(FlashBatch, ProgressIsWhereTheWindowsBarSettles)
{
    const struct {
        std::size_t size;
        std::vector<int> progress;
    } cases[] = {
        {1000, {0, 50, 100}},
        {600, {0, 83, 100}},
        {2016, {0, 25, 50, 75, 100}},
        {0, {0, 100}},
    };
    for (const auto& c : cases) {
        BatchBench b(2, c.size);
        b.Run(1);
        EXPECT_EQ(b.seen.progress[0], c.progress) << c.size << "-byte image: progress of the first board";
        EXPECT_EQ(b.seen.progress[1], c.progress) << c.size << "-byte image: the second board starts again from 0";
    }
}

TEST(FlashBatch, SixLanesServeSixBoardsInTheTimeOfOne)
{
    const std::uint64_t one = OneBoardTime();
    BatchBench b(6);
    const std::vector<DownloadEnd> ends = b.Run(6);
    for (const DownloadEnd& end : ends)
        EXPECT_EQ(end.m_outcome, BoardOutcome::Rebooted) << "every board should be flashed";
    EXPECT_TRUE(b.AllImagesIdentical()) << "an image differs";
    EXPECT_EQ(b.net.MostBoardsAtOnce(), 6) << "all six boards should be served at once";
    EXPECT_EQ(b.elapsed, one) << "six boards in parallel should take as long as one";

    BatchBench serial(6);
    serial.Run(1);
    EXPECT_EQ(serial.net.MostBoardsAtOnce(), 1) << "without --parallel, one board at a time";
    EXPECT_EQ(serial.elapsed, 6 * one) << "one after another, six boards take six times as long";
}

TEST(FlashBatch, LanesNeverShareABoardAndNeverExceedN)
{
    const std::uint64_t one = OneBoardTime();
    BatchBench b(5);
    b.Run(2);
    EXPECT_EQ(b.net.MostBoardsAtOnce(), 2) << "at most two boards at once with --parallel 2";
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(b.FileNameRequestsTo(Ip(n)), 1) << "board " << n << " must be served exactly once";
    EXPECT_EQ(b.seen.started, (std::vector<int>{0, 1, 2, 3, 4})) << "boards start in list order across the lanes";
    EXPECT_EQ(b.elapsed, 3 * one) << "five boards in two lanes take three boards' time";
    EXPECT_TRUE(b.AllImagesIdentical()) << "an image differs";
}

TEST(FlashBatch, SilentBoardHoldsUpOnlyItsOwnLane)
{
    const std::uint64_t one = OneBoardTime();
    BatchBench b(4);
    b.net.m_boards[Ip(1)].fault = FakeNetwork::Fault::Silent;
    const std::vector<DownloadEnd> ends = b.Run(2);
    EXPECT_EQ(b.net.m_boards[Ip(4)].lastDownload - 1000 + 2, 2 * one) << "lane 2 (boards 2 and 4) must not wait";
    EXPECT_GE(b.net.m_boards[Ip(3)].firstDownload, 1000u + 10000u) << "board 3 follows the silent board in lane 1";
    EXPECT_TRUE(ends[0].m_outcome == BoardOutcome::NoReply && ends[2].m_outcome == BoardOutcome::Rebooted
        && ends[3].m_outcome == BoardOutcome::Rebooted)
        << "ends of the silent board and the ones after it";
}

TEST(FlashBatch, RepliesFromOutsideTheBatchAreIgnored)
{
    BatchBench b(2);
    b.net.AddBoard(L"192.168.1.9", L"FW VEX 9");
    // Board 9 is not in the job; its acks to requests nobody sent must not move any lane.
    FlashJob job{L"/fw/vex_arm_fw.bin", "vex_arm_fw.bin", {Ip(1), Ip(2)}, 2};
    b.loop.Post([&] {
        BoardPacket p{};
        BuildFileNameRequest(p, "x");
        b.net.SendFrom(0, ParseIPv4(L"192.168.1.9"), p.Data(), p.DatagramSize());
    });
    const std::vector<DownloadEnd> ends = b.batch.Run(job);
    EXPECT_TRUE(ends[0].m_outcome == BoardOutcome::Rebooted && ends[1].m_outcome == BoardOutcome::Rebooted)
        << "both boards of the batch should be flashed";
    EXPECT_EQ(b.net.m_boards[Ip(1)].image, b.image) << "board 1's image";
}

// What a board's acks prove: echoed headers confirm the image; 2-byte acks
// cannot, and one ack more than was asked for puts the board out of step. Out
// of step it starts over once, its bar from 0; twice, it fails unrebooted.
TEST(FlashBatch, WhatTheAcksProveDecidesTheEnd)
{
    const struct {
        bool shortAcks;
        int copies;
        BoardOutcome outcome;
        bool unconfirmed;
        int passes;
        std::uint32_t acked;
    } cases[] = {
        {false, 1, BoardOutcome::Rebooted, false, 1, 10},
        {false, 2, BoardOutcome::Rebooted, false, 1, 10},
        {true, 1, BoardOutcome::Rebooted, true, 1, 10},
        {true, 2, BoardOutcome::OutOfStep, false, 2, 2},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.shortAcks ? "2-byte" : "8-byte") + " acks, each sent "
            + std::to_string(c.copies) + " times";
        BatchBench b(1);
        FakeNetwork::Board& board = b.net.m_boards[Ip(1)];
        board.shortAcks = c.shortAcks;
        board.copies = c.copies;
        const std::vector<DownloadEnd> ends = b.Run(1);
        const DownloadEnd& end = ends.at(0);
        EXPECT_TRUE(end.m_outcome == c.outcome && end.m_bUnconfirmed == c.unconfirmed && end.m_nPasses == c.passes
            && end.m_nAcked == c.acked)
            << what << ": end " << int(end.m_outcome) << ", unconfirmed " << end.m_bUnconfirmed << ", passes "
            << end.m_nPasses << ", acks taken " << end.m_nAcked;
        EXPECT_EQ(board.fileNames, c.passes) << what << ": file-name requests";
        EXPECT_EQ(board.rebooted, c.outcome == BoardOutcome::Rebooted) << what << ": sent the reboot request";
        if (c.outcome == BoardOutcome::OutOfStep) {
            // Block 0's second ack puts it out of step: the bar moved, and moves again from 0.
            EXPECT_EQ(b.seen.progress[0], (std::vector<int>{0, 10, 10})) << what << ": progress";
            EXPECT_EQ(std::count(b.seen.lines.begin(), b.seen.lines.end(), L"Restarting download IP 192.168.1.1\r\n"), 1)
                << what << ": started over once";
            EXPECT_EQ(b.seen.restarted, (std::vector<std::pair<int, std::uint32_t>>{{0, 0}})) << what << ": restart";
        } else {
            EXPECT_EQ(b.image, board.image) << what << ": image";
        }
    }
}

TEST(FlashBatch, TheDownloadIsAnnouncedOnceWhateverTheLanes)
{
    for (int lanes : {1, 3}) {
        BatchBench b(3);
        b.Run(lanes);
        EXPECT_EQ(std::count(b.seen.lines.begin(), b.seen.lines.end(),
                      L"Downloading /fw/vex_arm_fw.bin to all valid selected boards.\r\n"),
            1)
            << lanes << " lanes";
    }
}

TEST(FlashBatch, BoardHeldByAnotherProgramFailsAndTheOthersAreServed)
{
    char pattern[] = "/tmp/tarnwell-locks-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr) << "no temporary directory";
    {
        BoardLocks ours(std::filesystem::path(pattern).wstring());
        BoardLocks theirs(std::filesystem::path(pattern).wstring());
        ASSERT_TRUE(theirs.Take(Ip(2)));
        BatchBench b(3);
        FlashBatch batch(b.loop, b.link, b.seen, b.image, &ours);
        FlashJob job{L"/fw/vex_arm_fw.bin", "vex_arm_fw.bin", {Ip(1), Ip(2), Ip(3)}, 2};
        const std::vector<DownloadEnd> ends = batch.Run(job);
        EXPECT_EQ(ends.at(1).m_outcome, BoardOutcome::HeldElsewhere) << "the held board's end";
        EXPECT_EQ(b.net.m_boards[Ip(2)].downloadRequests, 0) << "the held board was sent to";
        EXPECT_TRUE(ends[0].m_outcome == BoardOutcome::Rebooted && ends[2].m_outcome == BoardOutcome::Rebooted)
            << "the other boards, one of them in the held board's lane";
        EXPECT_TRUE(b.net.m_boards[Ip(1)].image == b.image && b.net.m_boards[Ip(3)].image == b.image) << "images";
        EXPECT_NE(std::find(b.seen.lines.begin(), b.seen.lines.end(),
                      L"Unit at IP 192.168.1.2 is being updated by another program.\r\n"),
            b.seen.lines.end())
            << "status line of the held board";
        EXPECT_TRUE(ours.Take(Ip(1)) && ours.Take(Ip(3))) << "a served board stayed claimed after its turn";
    }
    std::filesystem::remove_all(pattern);
}

TEST(FlashBatch, AStoppedLoopLeavesEachBoardWhereItStood)
{
    // One lane, 100 ms a reply, 1000 bytes (blocks 0 and 1): board 1 gets its file name at 1000,
    // block 0 at 1100, block 1 at 1200, the reboot request at 1300 and is done at 1400.
    const struct {
        std::uint64_t stopAt;
        DownloadCut cut1;
        std::uint8_t opcode1;
        std::uint32_t block1;
        DownloadCut cut2;
        std::uint8_t opcode2;
    } cases[] = {
        {1000, DownloadCut::NotStarted, 0, 0, DownloadCut::NotStarted, 0},
        {1050, DownloadCut::Interrupted, OP_FILENAME, 0, DownloadCut::NotStarted, 0},
        {1250, DownloadCut::Interrupted, OP_DATA, 1, DownloadCut::NotStarted, 0},
        {1350, DownloadCut::Interrupted, OP_REBOOT, 0, DownloadCut::NotStarted, 0},
        {1450, DownloadCut::None, 0, 0, DownloadCut::Interrupted, OP_FILENAME},
    };
    for (const auto& c : cases) {
        BatchBench b(2, 1000);
        for (auto& entry : b.net.m_boards)
            entry.second.delayMs = 100;
        b.net.m_wakeAt = c.stopAt;
        b.loop.StopWhen([&] { return b.net.m_now >= c.stopAt; });
        const std::vector<DownloadEnd> ends = b.Run(1);
        ASSERT_EQ(ends.size(), 2u) << "ends when stopped at " << c.stopAt;
        EXPECT_TRUE(ends[0].m_cut == c.cut1 && ends[0].m_nOpcode == c.opcode1 && ends[0].m_nBlock == c.block1)
            << "board 1 when stopped at " << c.stopAt << ": opcode " << int(ends[0].m_nOpcode) << ", block "
            << ends[0].m_nBlock;
        EXPECT_TRUE(ends[1].m_cut == c.cut2 && ends[1].m_nOpcode == c.opcode2)
            << "board 2 when stopped at " << c.stopAt << ": opcode " << int(ends[1].m_nOpcode);
        for (const DownloadEnd& end : ends) {
            if (end.m_cut != DownloadCut::None)
                EXPECT_EQ(end.m_nBlocks, 2u) << "block count when stopped at " << c.stopAt;
        }
        EXPECT_EQ(b.seen.finished.size(), 2u) << "each board reported finished once when stopped at " << c.stopAt;
        for (const FakeNetwork::Sent& sent : b.net.m_sent)
            EXPECT_LE(sent.time, c.stopAt) << "sent after the stop at " << c.stopAt;
    }
}

} // namespace
