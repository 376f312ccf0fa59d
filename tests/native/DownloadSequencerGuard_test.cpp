#include <gtest/gtest.h>

#include "SequencerBench.h"

namespace {

const std::wstring A = L"192.168.1.1", B = L"192.168.1.2";

BoardReply Ack(std::uint8_t opcode, std::uint8_t status = STATUS_ACK)
{
    BoardReply reply;
    reply.opcode = opcode;
    reply.status = status;
    return reply;
}

// Runs queued steps until the file-name request to the first board is out.
void UntilFileNameIsOut(SequencerBench& bench)
{
    ASSERT_TRUE(bench.Start(1000, {A, B}));
    while (bench.host.DispatchOne(bench.sequencer)) {
    }
    ASSERT_TRUE(bench.sequencer.IsAwaiting() && bench.host.m_bTimer) << "file-name request not out";
}

TEST(DownloadSequencerGuard, RepliesThatDoNotAnswerTheRequestOutAreIgnored)
{
    const struct {
        const char* what;
        BoardReply reply;
        std::wstring sender;
    } cases[] = {
        {"data ack while the name is out", Ack(OP_DATA), A},
        {"reboot ack while the name is out", Ack(OP_REBOOT), A},
        {"name ack from another board", Ack(OP_FILENAME), B},
        {"name ack from an unknown address", Ack(OP_FILENAME, 0), L"10.0.0.9"},
        {"discovery reply", Ack(OP_DISCOVER), A},
    };
    for (const auto& c : cases) {
        SequencerBench bench;
        UntilFileNameIsOut(bench);
        const std::size_t lines = bench.host.m_lines.size();
        bench.sequencer.OnAck(c.reply, c.sender);
        EXPECT_TRUE(bench.host.m_posted.empty() && bench.host.m_bTimer && bench.sequencer.IsAwaiting()
            && bench.host.m_lines.size() == lines) << c.what << " was acted on";
    }
}

TEST(DownloadSequencerGuard, RefusalEndsTheBoardWhateverItsHeaderAndWhenever)
{
    SequencerBench bench;
    UntilFileNameIsOut(bench);
    bench.sequencer.OnAck(Ack(OP_DATA, 0), A);
    ASSERT_EQ(bench.host.m_finished.size(), 1u) << "a data refusal while the name was out was ignored";
    EXPECT_EQ(bench.host.m_finished[0].outcome, BoardOutcome::NegativeAck);
    EXPECT_FALSE(bench.host.m_bTimer) << "the deadline still runs";
}

TEST(DownloadSequencerGuard, DuplicateAckPostsOneStepOnly)
{
    SequencerBench bench;
    UntilFileNameIsOut(bench);
    bench.sequencer.OnAck(Ack(OP_FILENAME), A);
    bench.sequencer.OnAck(Ack(OP_FILENAME), A);
    EXPECT_EQ(bench.host.m_posted.size(), 1u) << "a duplicate ack posted a second step";

    // Every ack twice: an echoing board's copies are told apart; each 2-byte
    // copy is taken for the block sent after it, which the board did receive.
    for (const AckForm form : {AckForm::Short, AckForm::Echo}) {
        SequencerBench twice;
        twice.boards[A].twice = true;
        twice.boards[A].form = form;
        ASSERT_TRUE(twice.Start(3000, {A}));
        twice.Run();
        const bool echo = form == AckForm::Echo;
        EXPECT_EQ(twice.overlaps, 0) << "ack form " << int(form) << ": two requests out at once";
        EXPECT_EQ(twice.boards[A].image, twice.file.m_bytes) << "ack form " << int(form) << ": image";
        EXPECT_EQ(twice.host.m_sent.size(), 8u) << "ack form " << int(form) << ": requests";
        EXPECT_TRUE(twice.host.m_finished.at(0).outcome == BoardOutcome::Rebooted
            && twice.host.m_finished[0].unconfirmed != echo) << "ack form " << int(form) << ": outcome";
    }
}

TEST(DownloadSequencerGuard, AcksAndTicksWhileIdleOrBetweenStepsChangeNothing)
{
    SequencerBench bench;
    bench.boards[A];
    auto poke = [&bench](const char* when) {
        const auto posted = bench.host.m_posted.size();
        const auto sent = bench.host.m_sent.size();
        const auto lines = bench.host.m_lines.size();
        bench.sequencer.OnAck(Ack(OP_FILENAME), A);
        bench.sequencer.OnAck(Ack(OP_DATA), A);
        bench.sequencer.OnAck(Ack(OP_REBOOT), A);
        bench.host.Expire(bench.sequencer);
        bench.sequencer.OnSendFileName();
        bench.sequencer.OnSendData();
        bench.sequencer.OnSendReboot();
        EXPECT_TRUE(bench.host.m_posted.size() == posted && bench.host.m_sent.size() == sent && bench.host.m_lines.size() == lines)
            << "a stray reply, tick or step " << when << " had an effect";
    };
    poke("before any download");
    ASSERT_TRUE(bench.Start(1000, {A}));
    poke("with the first board pending");
    bench.Run();
    bench.sequencer.OnNextBoard();
    poke("after the download");
    EXPECT_TRUE(bench.host.m_bReady && bench.file.m_nClosedUses == 0) << "the closed file was used";
}

// The shell's one timer may fire before the deadline it was aimed at has moved
// on (each request moves it); such a tick must not count as a time-out.
TEST(DownloadSequencerGuard, OnlyATickAtTheDeadlineOfTheRequestOutRetries)
{
    SequencerBench bench;
    bench.boards[A].silent = true;
    ASSERT_TRUE(bench.Start(1000, {A}));
    while (bench.host.DispatchOne(bench.sequencer)) {
    }
    ASSERT_EQ(bench.sequencer.NextDeadline(), RETRY_TIMEOUT_MS) << "the file name's deadline";
    for (const std::uint64_t early : {std::uint64_t{0}, std::uint64_t{RETRY_TIMEOUT_MS - 1}}) {
        bench.sequencer.OnTick(early);
        EXPECT_TRUE(bench.host.m_posted.empty() && bench.host.m_lines.size() == 1) << "a tick at " << early << " ms retried";
    }
    bench.host.m_now = 3000;
    bench.sequencer.OnAck(Ack(OP_FILENAME), A);
    bench.host.DispatchOne(bench.sequencer);
    EXPECT_EQ(bench.sequencer.NextDeadline(), 3000 + RETRY_TIMEOUT_MS) << "block 0 moved the deadline on";
    bench.sequencer.OnTick(RETRY_TIMEOUT_MS);
    EXPECT_TRUE(bench.host.m_posted.empty()) << "the file name's old deadline retried block 0";
    bench.sequencer.OnTick(3000 + RETRY_TIMEOUT_MS);
    ASSERT_EQ(bench.host.m_lines.size(), 2u);
    EXPECT_EQ(bench.host.m_lines[1], L"Retrying send data IP " + A + L"\r\n");
}

TEST(DownloadSequencerGuard, DownloadKeepsWhatItStartedWith)
{
    SequencerBench bench;
    bench.boards[A].faults[{OP_FILENAME, 0}].drop = 1;
    {
        std::wstring path = L"C:\\fw\\gur_arm_fw.bin";
        std::vector<std::wstring> boards = {A};
        ASSERT_TRUE(bench.sequencer.Start(path, "gur_arm_fw.bin", boards));
        path = L"C:\\other\\vex_arm_fw.bin";
        boards.clear();
    }
    bench.Run();
    const auto names = bench.SentTo(A, OP_FILENAME);
    ASSERT_EQ(names.size(), 2u) << "the file name must go out twice";
    EXPECT_TRUE(names[0].bytes == names[1].bytes && bench.boards[A].fileName == "gur_arm_fw.bin")
        << "the retransmission must repeat the download's own request";
    EXPECT_EQ(bench.sequencer.Boards(), std::vector<std::wstring>{A}) << "addresses kept";
}

TEST(DownloadSequencerGuard, FileErrorsFailTheBoardAndTheDownloadGoesOn)
{
    const struct {
        const char* what;
        int readErrorAt, positionErrorAt, seekErrorAt;
        std::size_t shrinkTo;
        std::uint8_t opcode;
    } cases[] = {
        {"read error in the second block", 1, -1, -1, 1000, OP_DATA},
        {"position error after the first block", -1, 0, -1, 1000, OP_DATA},
        {"rewind error before the file name", -1, -1, 0, 1000, OP_FILENAME},
        {"file cut short after it was opened", -1, -1, -1, 504, OP_DATA},
    };
    for (const auto& c : cases) {
        SequencerBench bench;
        bench.boards[A];
        bench.boards[B];
        bench.file.m_nReadErrorAt = c.readErrorAt;
        bench.file.m_nPositionErrorAt = c.positionErrorAt;
        bench.file.m_nSeekErrorAt = c.seekErrorAt;
        ASSERT_TRUE(bench.Start(1000, {A, B}));
        bench.file.m_bytes.resize(c.shrinkTo);
        bench.Run();
        const auto& f = bench.host.m_finished;
        EXPECT_TRUE(f.size() == 2 && f[0].outcome == BoardOutcome::FileError && f[0].opcode == c.opcode) << c.what << ": outcome";
        EXPECT_EQ(bench.host.m_lines.at(1), L"Unit at IP " + A + L" failed to download.\r\n") << c.what << ": log";
        if (c.shrinkTo == 1000)
            EXPECT_EQ(bench.boards[B].image, bench.file.m_bytes) << c.what << ": the next board's image";
        EXPECT_TRUE(bench.host.m_bReady && !bench.host.m_bTimer && !bench.file.IsOpen()) << c.what << ": not idle at the end";
    }
}

TEST(DownloadSequencerGuard, OpenFailureAbortsBeforeAnythingIsSent)
{
    for (const bool lengthFails : {false, true}) {
        SequencerBench bench;
        bench.file.m_bFailOpen = !lengthFails;
        bench.file.m_bFailLength = lengthFails;
        EXPECT_FALSE(bench.Start(1000, {A})) << "start reported success";
        EXPECT_EQ(bench.host.m_status, L"Unable to open C:\\fw\\dal_arm_fw.bin\r\nAborting download.\r\n"
                                       L"Downloading C:\\fw\\dal_arm_fw.bin to all valid selected boards.\r\n")
            << "log after an open failure";
        EXPECT_TRUE(bench.host.m_bReady && bench.host.m_posted.empty() && !bench.file.IsOpen() && !bench.sequencer.IsRunning())
            << "not idle after an open failure";
    }
}

TEST(DownloadSequencerGuard, StartIsRefusedWhileRunningOrForAnOversizedName)
{
    SequencerBench bench;
    EXPECT_FALSE(bench.Start(10, {A}, std::string(504, 'n'))) << "an oversized name started a download";
    EXPECT_TRUE(bench.host.m_lines.empty() && bench.host.m_bReady) << "a refused start touched the window";
    ASSERT_TRUE(bench.Start(10, {A}));
    EXPECT_FALSE(bench.Start(10, {B})) << "a second download started over the first";
    EXPECT_EQ(bench.host.m_lines.size(), 1u) << "a refused start logged";
}

} // namespace
