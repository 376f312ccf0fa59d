#include <gtest/gtest.h>

#include "cli/report/StationBoard.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"

namespace {

StationBoard Result(ResultKind kind, std::uint8_t opcode = 0, std::uint32_t block = 0)
{
    StationBoard b;
    BoardResult& r = b.m_result;
    r.m_board = BoardList{L"FW VEX 2", L"192.168.1.2", L"00:11"};
    r.m_kind = kind;
    r.m_nOpcode = opcode;
    r.m_nBlock = block;
    r.m_strLabel = kind == ResultKind::Skipped ? L"FW GUR" : L"";
    return b;
}

TEST(BoardResult, EachOutcomeNamesTheRequestItEndedAt)
{
    const struct {
        StationBoard result;
        const wchar_t* text;
    } cases[] = {
        {Result(ResultKind::Ok), L"ok"},
        {Result(ResultKind::NoReply, OP_DISCOVER), L"no reply to discovery"},
        {Result(ResultKind::NoReply, OP_FILENAME), L"no reply to the file name request"},
        {Result(ResultKind::NoReply, OP_DATA, 7), L"no reply to data block 7"},
        {Result(ResultKind::NoReply, OP_REBOOT), L"no reply to the reboot request"},
        {Result(ResultKind::NegativeAck, OP_FILENAME), L"negative acknowledgement of the file name request"},
        {Result(ResultKind::NegativeAck, OP_DATA, 1), L"negative acknowledgement of data block 1"},
        {Result(ResultKind::NegativeAck, OP_REBOOT), L"negative acknowledgement of the reboot request"},
        {Result(ResultKind::FileError, OP_DATA, 3), L"file error reading the image"},
        {Result(ResultKind::Skipped), L"skipped: another kind (no \"FW GUR\" in its name)"},
        {Result(ResultKind::Busy), L"being updated by another program"},
        {Result(ResultKind::OutOfStep, OP_DATA, 9), L"acknowledgements out of step at data block 9; not rebooted"},
        {Result(ResultKind::NotConfirmed),
            L"rebooted but not confirmed (the board's acknowledgements carry no block numbers; --require-confirmed)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribeStation(c.result, 0), c.text) << "description of " << WideToAnsi(c.text);
    EXPECT_EQ(FormatStationLine(Result(ResultKind::NegativeAck, OP_DATA, 1), 0),
        L"192.168.1.2\tnegative acknowledgement of data block 1\tFW VEX 2")
        << "result line: address, result, name, separated by tabs";
}

TEST(BoardResult, DownloadEndsBecomeResults)
{
    const BoardList board{L"FW VEX 1", L"192.168.1.1", L"m"};
    const BoardResult ok = ResultOfDownload(board, DownloadEnd{BoardOutcome::Rebooted, 0, 0});
    const BoardResult nak = ResultOfDownload(board, DownloadEnd{BoardOutcome::NegativeAck, OP_DATA, 4});
    EXPECT_TRUE(ok.m_kind == ResultKind::Ok && ok.m_board.m_strIP == L"192.168.1.1") << "a reboot ack is ok";
    EXPECT_TRUE(nak.m_kind == ResultKind::NegativeAck && nak.m_nOpcode == OP_DATA && nak.m_nBlock == 4)
        << "a refused block keeps its request and block";
    const BoardResult held = ResultOfDownload(board, DownloadEnd{BoardOutcome::HeldElsewhere, 0, 0});
    EXPECT_EQ(DescribeStation(StationBoard{held}, 0), L"being updated by another program")
        << "a board another program holds";
    EXPECT_EQ(CountStation({StationBoard{held}}).failed, 1) << "a held board is a failure";

    // What the acks proved, and what a station that asks for proof makes of it.
    const struct {
        DownloadEnd end;
        bool requireConfirmed;
        ResultKind kind;
        bool confirmed;
        const wchar_t* text;
        const char* keyword;
    } verdicts[] = {
        {DownloadEnd{BoardOutcome::Rebooted, 0, 0, false}, false, ResultKind::Ok, true, L"ok", "ok"},
        {DownloadEnd{BoardOutcome::Rebooted, 0, 0, false}, true, ResultKind::Ok, true, L"ok", "ok"},
        {DownloadEnd{BoardOutcome::Rebooted, 0, 0, true}, false, ResultKind::Ok, false,
            L"ok, unconfirmed (the board's acknowledgements carry no block numbers)", "ok"},
        {DownloadEnd{BoardOutcome::Rebooted, 0, 0, true}, true, ResultKind::NotConfirmed, false,
            L"rebooted but not confirmed (the board's acknowledgements carry no block numbers; --require-confirmed)", "ok"},
        {DownloadEnd{BoardOutcome::OutOfStep, OP_DATA, 4, false}, false, ResultKind::OutOfStep, false,
            L"acknowledgements out of step at data block 4; not rebooted", "out-of-step"},
        // Only a reboot is confirmed or not: the flag of another end means nothing.
        {DownloadEnd{BoardOutcome::NoReply, OP_REBOOT, 0, true}, true, ResultKind::NoReply, false,
            L"no reply to the reboot request", "no-reply"},
    };
    for (const auto& v : verdicts) {
        const BoardResult r = ResultOfDownload(board, v.end, v.requireConfirmed);
        const std::string what = WideToAnsi(v.text) + (v.requireConfirmed ? " with --require-confirmed" : "");
        EXPECT_TRUE(r.m_kind == v.kind && IsConfirmed(r) == v.confirmed) << what << ": kind " << int(r.m_kind);
        EXPECT_EQ(DescribeStation(StationBoard{r}, 0), v.text) << what;
        EXPECT_STREQ(StationKeyword(StationBoard{r}), v.keyword) << what;
    }
    StationBoard unsure = Result(ResultKind::Ok);
    unsure.m_result.m_bUnconfirmed = true;
    const StationCounts counts = CountStation({unsure, Result(ResultKind::Ok), Result(ResultKind::NotConfirmed)});
    EXPECT_TRUE(counts.served == 2 && counts.unconfirmed == 1 && counts.failed == 1)
        << "an unconfirmed reboot is still ok, unless proof was asked for";
    EXPECT_EQ(FormatSummary(counts, 0), L"3 boards: 2 ok (1 unconfirmed), 1 failed, 0 skipped in 0.0 s") << "summary";
}

TEST(BoardResult, ExitStatusFollowsWhatBecameOfTheBoards)
{
    using K = ResultKind;
    const struct {
        std::vector<StationBoard> results;
        bool named;
        CliExit exit;
        const char* what;
    } cases[] = {
        {{Result(K::Ok), Result(K::Ok)}, true, CliExit::Ok, "all ok"},
        {{Result(K::Ok), Result(K::NoReply, OP_DATA)}, true, CliExit::SomeFailed, "one silent"},
        {{Result(K::Ok), Result(K::Skipped)}, false, CliExit::Ok, "--all: another kind is no failure"},
        {{Result(K::Ok), Result(K::Skipped)}, true, CliExit::SomeFailed, "named board of another kind"},
        {{Result(K::Ok), Result(K::NoReply, OP_DISCOVER)}, true, CliExit::SomeFailed, "named board never answered"},
        {{Result(K::Skipped), Result(K::Skipped)}, false, CliExit::NoBoardMatched, "none of the kind"},
        {{Result(K::NoReply, OP_DISCOVER)}, true, CliExit::NoBoardMatched, "nobody answered"},
        {{}, false, CliExit::NoBoardMatched, "--all found nothing"},
        {{Result(K::NegativeAck, OP_REBOOT)}, true, CliExit::SomeFailed, "reboot refused"},
        {{Result(K::FileError, OP_DATA)}, false, CliExit::SomeFailed, "file error"},
        {{Result(K::Ok), Result(K::Busy)}, false, CliExit::SomeFailed, "held by another program"},
        {{Result(K::Busy)}, true, CliExit::SomeFailed, "the only board held by another program"},
        {{Result(K::Ok), Result(K::OutOfStep, OP_DATA)}, true, CliExit::SomeFailed, "acks out of step"},
        {{Result(K::NotConfirmed)}, true, CliExit::SomeFailed, "unconfirmed with --require-confirmed"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FlashExitCode(CountStation(c.results), c.named), c.exit) << c.what;
}

TEST(BoardResult, SummaryCountsAndTime)
{
    using K = ResultKind;
    const std::vector<StationBoard> results{Result(K::Ok), Result(K::NoReply, OP_FILENAME), Result(K::Skipped),
        Result(K::NegativeAck, OP_DATA)};
    EXPECT_EQ(FormatSummary(CountStation(results), 10449), L"4 boards: 1 ok, 2 failed, 1 skipped in 10.4 s") << "summary";
    EXPECT_EQ(FormatSummary(CountStation({Result(K::Ok)}), 950), L"1 board: 1 ok, 0 failed, 0 skipped in 1.0 s")
        << "summary of one board";
}

TEST(BoardResult, InterruptedBoardsSayWhereTheyStoppedAndAreCountedApart)
{
    using K = ResultKind;
    StationBoard data = Result(K::Interrupted, OP_DATA, 17);
    data.m_result.m_nBlocks = 40;
    const struct {
        StationBoard result;
        const wchar_t* text;
    } cases[] = {
        {data, L"interrupted at block 17 of 40"},
        {Result(K::Interrupted, OP_FILENAME), L"interrupted at the file name request"},
        {Result(K::Interrupted, OP_REBOOT), L"interrupted at the reboot request"},
        {Result(K::NotStarted), L"not started"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribeStation(c.result, 0), c.text) << "description of " << WideToAnsi(c.text);

    const DownloadEnd cut{BoardOutcome::NoReply, OP_DATA, 17, false, DownloadCut::Interrupted, 40};
    EXPECT_EQ(DescribeStation(StationBoard{ResultOfDownload(BoardList{L"FW VEX 1", L"192.168.1.1", L"m"}, cut)}, 0),
        L"interrupted at block 17 of 40")
        << "a cut download is no failure of the board";

    const std::vector<StationBoard> results{Result(K::Ok), data, Result(K::NotStarted), Result(K::NotStarted),
        Result(K::NoReply, OP_DISCOVER), Result(K::Skipped)};
    EXPECT_EQ(FormatSummary(CountStation(results), 1000),
        L"6 boards: 1 ok, 1 failed (1 did not answer), 1 skipped, 1 interrupted, 2 not started in 1.0 s")
        << "summary of an interrupted run";
}

TEST(BoardResult, AResultLineIsOneLineWhateverTheName)
{
    StationBoard b = Result(ResultKind::Ok);
    b.m_result.m_board.m_strName = std::wstring(L"A\tB\nC \x80\\");
    EXPECT_EQ(FormatStationLine(b, 0), L"192.168.1.2\tok\tA\\tB\\nC \u20ac\\\\") << "result line";
}

} // namespace
