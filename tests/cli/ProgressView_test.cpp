#include <gtest/gtest.h>

#include <sstream>

#include "cli/report/ProgressView.h"
#include "cli/report/StatusLog.h"
#include "net/BoardPacket.h"
#include "tests/cli/FakeNetwork.h"

namespace {

struct ViewBench {
    std::ostringstream err;
    FakeNetwork clock;
    StatusLog log{clock};
    std::ostringstream* logText = nullptr;
    std::vector<StationBoard> boards{
        StationBoard{BoardResult{{}, {L"FW VEX 1", L"192.168.1.1", L"m1"}, ResultKind::NoReply, L""}},
        StationBoard{BoardResult{{}, {L"FW VEX 2", L"192.168.1.2", L"m2"}, ResultKind::NoReply, L""}}};

    ViewBench()
    {
        auto file = std::make_unique<std::ostringstream>();
        logText = file.get();
        log.Attach(std::move(file));
    }

    void Play(ProgressView& view)
    {
        view.OnBoardStarted(0);
        for (int percent : {0, 5, 12, 35, 100})
            view.OnBoardProgress(0, percent);
        view.OnStatusLine(L"Unit at IP 192.168.1.1 is rebooting.\r\n");
        view.OnBoardRebooting(0);
        view.OnBoardFinished(0, DownloadEnd{BoardOutcome::Rebooted, 0, 0});
        view.OnBoardReported(0, L"ok, back after 1.5 s");
    }
};

TEST(ProgressView, PlainLinesWhenNotATerminal)
{
    ViewBench b;
    ProgressView view(b.err, ProgressStyle::Lines, b.log, b.boards);
    b.Play(view);
    EXPECT_EQ(b.err.str(), "192.168.1.1: downloading to FW VEX 1\n"
                           "192.168.1.1: 10%\n"
                           "192.168.1.1: 30%\n"
                           "192.168.1.1: 100%\n"
                           "Unit at IP 192.168.1.1 is rebooting.\n"
                           "192.168.1.1: ok, back after 1.5 s\n")
        << "plain progress lines, ending with the board's result as its result line gives it";
    EXPECT_EQ(b.logText->str(), "2023-11-14T22:13:21.000Z Unit at IP 192.168.1.1 is rebooting.\n")
        << "the status line must also go to the log";
}

TEST(ProgressView, ABoardStartedOverCountsAgainFromZero)
{
    ViewBench b;
    ProgressView view(b.err, ProgressStyle::Lines, b.log, b.boards);
    view.OnBoardStarted(0);
    view.OnBoardProgress(0, 45);
    view.OnBoardRestarted(0, 9);
    view.OnBoardProgress(0, 15);
    EXPECT_EQ(b.err.str(), "192.168.1.1: downloading to FW VEX 1\n"
                           "192.168.1.1: 40%\n"
                           "192.168.1.1: acknowledgements out of step at data block 9; starting over\n"
                           "192.168.1.1: 10%\n")
        << "progress of a board started over";
}

TEST(ProgressView, OnATerminalEachBoardHasOneLiveLineAndTheStatusTextsGoToTheLogOnly)
{
    ViewBench b;
    ProgressView view(b.err, ProgressStyle::Bars, b.log, b.boards);
    view.OnBoardStarted(0);
    view.OnBoardStarted(1);
    view.OnBoardProgress(1, 50);
    view.OnStatusLine(L"Retrying send data IP 192.168.1.2\r\n");
    view.OnBoardRetrying(1, OP_DATA);
    view.OnBoardFinished(0, DownloadEnd{BoardOutcome::NegativeAck, OP_DATA, 2});
    view.OnBoardReported(0, L"negative acknowledgement of data block 2");
    view.OnBoardRestarted(1, 7);
    const std::string bar0 = "192.168.1.1     [--------------------]   0%  ";
    const std::string bar1 = "192.168.1.2     [##########----------]  50%  ";
    const std::string up1 = "\x1b[1F\x1b[J", up2 = "\x1b[2F\x1b[J";
    EXPECT_EQ(b.err.str(), bar0 + "file name  FW VEX 1\n"
            + up1 + bar0 + "file name  FW VEX 1\n" + "192.168.1.2     [--------------------]   0%  file name  FW VEX 2\n"
            + up2 + bar0 + "file name  FW VEX 1\n" + bar1 + "data  FW VEX 2\n"
            + up2 + bar0 + "file name  FW VEX 1\n" + bar1 + "retrying block  FW VEX 2\n"
            + up2 + bar0 + "negative acknowledgement of data block 2\n" + bar1 + "retrying block  FW VEX 2\n"
            + up1 + "192.168.1.2     [--------------------]   0%  restarted at block 7  FW VEX 2\n")
        << "live lines redrawn in place, a board's result printed above them, no status text among them";
    EXPECT_NE(b.logText->str().find("Z Retrying send data IP 192.168.1.2\n"), std::string::npos) << "the log lacks it";
}

TEST(ProgressView, LongBoardNamesAreCutSoALiveLineNeverWraps)
{
    ViewBench b;
    b.boards[0].m_result.m_board.m_strName = std::wstring(100, L'n');
    ProgressView view(b.err, ProgressStyle::Bars, b.log, b.boards);
    view.OnBoardStarted(0);
    EXPECT_EQ(b.err.str(), "192.168.1.1     [--------------------]   0%  file name  " + std::string(23, 'n') + "\n")
        << "a live line longer than 79 columns";
}

TEST(ProgressView, QuietShowsNothingButStillLogs)
{
    ViewBench b;
    ProgressView view(b.err, ProgressStyle::Quiet, b.log, b.boards);
    b.Play(view);
    EXPECT_EQ(b.err.str(), "") << "quiet output";
    EXPECT_FALSE(b.logText->str().empty()) << "status lines must reach the log also when quiet";
}

} // namespace
