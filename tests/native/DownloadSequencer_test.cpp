#include <gtest/gtest.h>

#include "SequencerBench.h"

namespace {

const std::wstring A = L"192.168.1.1", B = L"192.168.1.2", C = L"192.168.1.3";
const std::wstring START_LINE = L"Downloading C:\\fw\\dal_arm_fw.bin to all valid selected boards.\r\n";

std::wstring Line(const wchar_t* before, const std::wstring& ip, const wchar_t* after)
{
    return before + ip + after;
}

TEST(DownloadSequencer, HealthyBoardGetsTheWholeFile)
{
    const struct {
        std::size_t size;
        const char* trace;
        std::vector<int> progress; // a range change shows as -maximum
    } cases[] = {
        {1000, "N23 D0:512 D1:504 R8", {0, 51, 50, 101, 100, -101, 101, 100, -100}},
        {600, "N23 D0:512 D1:104 R8", {0, 84, 83, 101, 100, -101, 101, 100, -100}},
        {504, "N23 D0:512 R8", {0, 101, 100, -101, 101, 100, -100}},
        {1008, "N23 D0:512 D1:512 R8", {0, 51, 50, 101, 100, -101, 101, 100, -100}},
        {0, "N23 D0:8 R8", {0, 101, 100, -101, 101, 100, -100}},
    };
    for (const auto& c : cases) {
        SequencerBench bench;
        bench.host.m_status = L"old line\r\n";
        bench.boards[A];
        ASSERT_TRUE(bench.Start(c.size, {A})) << c.size << "-byte file did not start";
        EXPECT_FALSE(bench.host.m_bReady) << c.size << ": not marked busy while running";
        bench.Run();
        EXPECT_EQ(bench.Trace(A), c.trace) << c.size << "-byte file: requests on the wire";
        EXPECT_EQ(bench.host.m_progress, c.progress) << c.size << "-byte file: progress bar";
        EXPECT_EQ(bench.host.m_status, Line(L"Unit at IP ", A, L" is rebooting.\r\n") + START_LINE) << c.size << ": status log";
        const FakeBoard& board = bench.boards[A];
        EXPECT_TRUE(board.image == bench.file.m_bytes && board.gaps == 0 && board.fileName == "dal_arm_fw.bin")
            << c.size << "-byte file: the board's image differs";
        EXPECT_TRUE(bench.host.m_bReady && !bench.file.IsOpen() && !bench.host.m_bTimer && !bench.sequencer.IsRunning())
            << c.size << ": not back to idle with the file closed";
        ASSERT_EQ(bench.host.m_finished.size(), 1u) << c.size << ": one outcome per board";
        EXPECT_EQ(bench.host.m_finished[0].outcome, BoardOutcome::Rebooted) << c.size << ": outcome";
    }
}

TEST(DownloadSequencer, SilentBoardIsRetriedOnceAndPassedOverAfterTenSeconds)
{
    SequencerBench bench;
    bench.boards[A].silent = true;
    bench.boards[B];
    ASSERT_TRUE(bench.Start(100, {A, B}));
    bench.Run();

    const std::vector<std::wstring> lines(bench.host.m_lines.begin(), bench.host.m_lines.begin() + 4);
    const std::vector<std::uint64_t> times(bench.host.m_lineTimes.begin() + 1, bench.host.m_lineTimes.begin() + 4);
    EXPECT_EQ(lines, (std::vector<std::wstring>{START_LINE, Line(L"Retrying send file name IP ", A, L"\r\n"),
                         Line(L"Retrying send file name IP ", A, L"\r\n"), Line(L"Unit at IP ", A, L" failed to download.\r\n")}))
        << "log of a silent board";
    EXPECT_EQ(times, (std::vector<std::uint64_t>{5000, 10000, 10000})) << "retry and failure times";
    const auto toA = bench.SentTo(A, OP_FILENAME);
    ASSERT_EQ(toA.size(), 2u) << "exactly two transmissions of the file name";
    EXPECT_TRUE(toA[0].time == 0 && toA[1].time == 5000 && toA[0].bytes == toA[1].bytes) << "retransmission time or bytes";
    EXPECT_EQ(bench.SentTo(B, OP_FILENAME).at(0).time, 10000u) << "the next board must start at once";
    EXPECT_EQ(bench.boards[B].image, bench.file.m_bytes) << "the next board's image";
}

TEST(DownloadSequencer, BoardThatRebootsSilentlyFailsAfterTwoRebootRequests)
{
    SequencerBench bench;
    bench.boards[A].faults[{OP_REBOOT, 0}].drop = 2;
    ASSERT_TRUE(bench.Start(10, {A}));
    bench.Run();
    const std::wstring rebooting = Line(L"Unit at IP ", A, L" is rebooting.\r\n");
    const std::wstring retry = Line(L"Retrying send reboot IP ", A, L"\r\n");
    EXPECT_EQ(bench.host.m_lines, (std::vector<std::wstring>{START_LINE, rebooting, retry, rebooting, retry,
                                      Line(L"Unit at IP ", A, L" failed to download.\r\n")}))
        << "log of a board that never acknowledges the reboot";
    EXPECT_EQ(bench.host.m_finished.at(0).outcome, BoardOutcome::NoReply) << "outcome";
}

TEST(DownloadSequencer, NegativeAckPassesTheBoardOverAtOnce)
{
    const struct {
        std::uint8_t opcode;
        std::uint32_t sequence;
        const char* trace;
        const wchar_t* line;
    } cases[] = {
        {OP_FILENAME, 0, "N23", L"Name negative acknowledgement failure IP "},
        {OP_DATA, 1, "N23 D0:512 D1:504", L"Data negative acknowledgement failure IP "},
        {OP_REBOOT, 0, "N23 D0:512 D1:504 R8", L"Reboot negative acknowledgement failure IP "},
    };
    for (const auto& c : cases) {
        SequencerBench bench;
        bench.boards[A].faults[{c.opcode, c.sequence}].nack = true;
        bench.boards[B];
        ASSERT_TRUE(bench.Start(1000, {A, B}));
        bench.Run();
        EXPECT_EQ(bench.Trace(A), c.trace) << "opcode " << int(c.opcode) << ": no retransmission after a negative ack";
        EXPECT_EQ(bench.host.m_lines.back(), Line(L"Unit at IP ", B, L" is rebooting.\r\n")) << "opcode " << int(c.opcode);
        EXPECT_NE(std::find(bench.host.m_lines.begin(), bench.host.m_lines.end(), Line(c.line, A, L"\r\n")),
            bench.host.m_lines.end()) << "opcode " << int(c.opcode) << ": negative line missing";
        EXPECT_EQ(bench.SentTo(B, OP_FILENAME).at(0).time, bench.SentTo(A, c.opcode).back().time + 1)
            << "opcode " << int(c.opcode) << ": the next board must follow at once";
        EXPECT_TRUE(bench.host.m_finished.at(0).outcome == BoardOutcome::NegativeAck && bench.host.m_finished[0].opcode == c.opcode)
            << "opcode " << int(c.opcode) << ": outcome";
    }
}

TEST(DownloadSequencer, DroppedBlockIsSentAgainUnchanged)
{
    SequencerBench bench;
    bench.boards[A].faults[{OP_DATA, 3}].drop = 1;
    ASSERT_TRUE(bench.Start(3000, {A}));
    bench.Run();
    EXPECT_EQ(bench.Trace(A), "N23 D0:512 D1:512 D2:512 D3:512 D3:512 D4:512 D5:488 R8") << "requests on the wire";
    const auto data = bench.SentTo(A, OP_DATA);
    EXPECT_EQ(data[3].bytes, data[4].bytes) << "the retransmission differs from the first transmission";
    EXPECT_EQ(bench.boards[A].image, bench.file.m_bytes) << "image after a dropped block";
}

TEST(DownloadSequencer, LateAckCountsForTheNextBlockOnlyWhenTheBoardDoesNotEcho)
{
    // Block 3 is answered six seconds late and the first transmission of block 4 is lost.
    const struct {
        AckForm form;
        bool whole;
    } cases[] = {{AckForm::Echo, true}, {AckForm::Short, false}, {AckForm::ZeroHeader, false}};
    for (const auto& c : cases) {
        SequencerBench bench;
        FakeBoard& board = bench.boards[A];
        board.form = c.form;
        board.faults[{OP_DATA, 3}].lateMs = 6000;
        board.faults[{OP_DATA, 4}].drop = 1;
        ASSERT_TRUE(bench.Start(3000, {A}));
        bench.Run();
        EXPECT_EQ(board.image == bench.file.m_bytes, c.whole) << "ack form " << int(c.form) << ": image complete";
        EXPECT_EQ(bench.overlaps, 0) << "ack form " << int(c.form) << ": two requests were out at once";
    }
}

TEST(DownloadSequencer, BoardsAreServedInTurnEachFromTheStart)
{
    SequencerBench bench;
    bench.boards[A].silent = true;
    bench.boards[B].faults[{OP_DATA, 1}].nack = true;
    bench.boards[C];
    ASSERT_TRUE(bench.Start(1500, {A, B, C}));
    bench.Run();
    const auto& f = bench.host.m_finished;
    ASSERT_EQ(f.size(), 3u) << "one outcome per board";
    EXPECT_TRUE(f[0].board == 0 && f[0].outcome == BoardOutcome::NoReply && f[0].opcode == OP_FILENAME) << "silent board";
    EXPECT_TRUE(f[1].board == 1 && f[1].outcome == BoardOutcome::NegativeAck && f[1].opcode == OP_DATA) << "refusing board";
    EXPECT_TRUE(f[2].board == 2 && f[2].outcome == BoardOutcome::Rebooted) << "healthy board";
    EXPECT_EQ(bench.Trace(C), "N23 D0:512 D1:512 D2:500 R8") << "the last board starts at block 0 again";
    EXPECT_EQ(bench.boards[C].image, bench.file.m_bytes) << "healthy board's image";
    EXPECT_EQ(std::count(bench.host.m_progress.begin(), bench.host.m_progress.end(), 0), 3) << "the bar restarts per board";
    EXPECT_TRUE(bench.host.m_bReady && !bench.file.IsOpen()) << "idle after the last board";
}

} // namespace

// The bar repaints at every move, so a new percentage is shown only when it
// changes and at most every PROGRESS_SPACING_MS; the filled bar always shows.
TEST(DownloadSequencer, BarMovesOnlyWhenThePercentageChangesAndNotTooOften)
{
    struct Case {
        std::uint64_t replyMs;
        const char* what;
    } cases[] = {{300, "a slow board"}, {1, "a fast board"}};
    for (const Case& c : cases) {
        SequencerBench bench;
        bench.boards[A].replyMs = c.replyMs;
        ASSERT_TRUE(bench.Start(504 * 400, {A})); // 400 blocks: every percentage is reached by several
        bench.Run();
        const std::vector<int>& calls = bench.host.m_progress;
        int shownAt50 = 0;
        for (std::size_t i = 1; i < calls.size(); ++i)
            shownAt50 += calls[i - 1] == 51 && calls[i] == 50;
        EXPECT_LE(shownAt50, 1) << c.what << ": 50 % must be shown once at most, not once a block";
        const auto& times = bench.host.m_shownTimes;
        for (std::size_t i = 2; i < times.size(); ++i) // the last one is the filled bar
            EXPECT_GE(times[i - 1] - times[i - 2], PROGRESS_SPACING_MS) << c.what << ": moves too close together";
        EXPECT_EQ(calls.back(), -100) << c.what << ": the bar ends filled, range back to 100";
        EXPECT_TRUE(bench.boards[A].image == bench.file.m_bytes) << c.what << ": the image must arrive all the same";
    }
    SequencerBench slow;
    slow.boards[A].replyMs = 300;
    ASSERT_TRUE(slow.Start(504 * 400, {A}));
    slow.Run();
    EXPECT_EQ(slow.host.m_shownTimes.size(), 100u) << "a slow board shows every percentage once";
}

// The bar's pacing starts afresh with each board: the second board's first
// percentage shows however soon it follows the first board's last one.
TEST(DownloadSequencer, EachBoardsBarStartsAfresh)
{
    SequencerBench bench;
    bench.boards[A];
    bench.boards[B];
    ASSERT_TRUE(bench.Start(1000, {A, B}));
    bench.Run();
    const std::vector<int> one = {0, 51, 50, 101, 100, -101, 101, 100, -100};
    std::vector<int> both = one;
    both.insert(both.end(), one.begin(), one.end());
    EXPECT_EQ(bench.host.m_progress, both) << "bar steps of two boards";
}
