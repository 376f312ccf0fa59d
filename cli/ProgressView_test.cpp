#include <gtest/gtest.h>

#include <sstream>

#include "cli/FakeNetwork.h"
#include "cli/ProgressView.h"
#include "cli/StatusLog.h"
#include "net/BoardPacket.h"

namespace {

struct ViewBench {
    std::ostringstream err;
    FakeNetwork clock;
    StatusLog log{clock};
    std::ostringstream* logText = nullptr;
    std::vector<BoardList> boards{{L"FW VEX 1", L"192.168.1.1", L"m1"}, {L"FW VEX 2", L"192.168.1.2", L"m2"}};

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
        view.OnBoardFinished(0, DownloadEnd{BoardOutcome::Rebooted, 0, 0});
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
                           "192.168.1.1: ok\n")
        << "plain progress lines";
    EXPECT_EQ(b.logText->str(), "2023-11-14T22:13:21.000Z Unit at IP 192.168.1.1 is rebooting.\n")
        << "the status line must also go to the log";
}

TEST(ProgressView, BarsStayBelowThePrintedLines)
{
    ViewBench b;
    ProgressView view(b.err, ProgressStyle::Bars, b.log, b.boards);
    view.OnBoardStarted(0);
    view.OnBoardStarted(1);
    view.OnBoardProgress(1, 50);
    view.OnBoardFinished(0, DownloadEnd{BoardOutcome::NegativeAck, OP_DATA, 2});
    const std::string bar0 = "192.168.1.1     [------------------------------]   0%  ";
    const std::string bar1 = "192.168.1.2     [###############---------------]  50%  FW VEX 2\n";
    EXPECT_EQ(b.err.str(), bar0 + "FW VEX 1\n"
                               "\x1b[1F\x1b[J" + bar0 + "FW VEX 1\n192.168.1.2     [------------------------------]   0%  FW VEX 2\n"
                               "\x1b[2F\x1b[J" + bar0 + "FW VEX 1\n" + bar1
            + "\x1b[2F\x1b[J" + bar0 + "negative acknowledgement of data block 2\n" + bar1)
        << "bars: redrawn in place, a finished board's line printed above the rest";
}

TEST(ProgressView, LongBoardNamesAreCutSoABarNeverWraps)
{
    ViewBench b;
    b.boards[0].m_strName = std::wstring(100, L'n');
    ProgressView view(b.err, ProgressStyle::Bars, b.log, b.boards);
    view.OnBoardStarted(0);
    EXPECT_EQ(b.err.str(), "192.168.1.1     [------------------------------]   0%  " + std::string(24, 'n') + "\n")
        << "a bar line longer than 79 columns";
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
