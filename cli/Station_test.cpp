#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/BoardLink.h"
#include "cli/CliOptions.h"
#include "cli/EventLoop.h"
#include "cli/FakeNetwork.h"
#include "cli/ProgressView.h"
#include "cli/RecordFile.h"
#include "cli/StatusLog.h"
#include "cli/Watch.h"
#include "download/FirmwareKind.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"

namespace {

const FirmwareKind& Vex()
{
    return *FindFirmwareKind(L"vex_arm_fw.bin");
}

StationBoard Served(const wchar_t* ip, const wchar_t* mac, const wchar_t* name)
{
    StationBoard b;
    b.m_result.m_board = BoardList{name, ip, mac};
    b.m_result.m_kind = ResultKind::Ok;
    b.m_bStarted = b.m_bComplete = true;
    b.m_nStartWallMs = 1700000000000;
    b.m_nEndWallMs = 1700000004250;
    b.m_nStartMs = 1000;
    b.m_nEndMs = 5250;
    return b;
}

TEST(StationRecord, LineHoldsEveryFactOfTheBoard)
{
    StationBoard b = Served(L"192.168.1.3", L"00:11:22:33:44:03", L"FW VEX 3");
    b.m_return = ReturnOutcome{ReturnOutcome::State::Back, 3240, L"FW VEX 3 v2"};
    b.m_nRetransmissions = 2;
    const RecordImage image{L"vex_arm_fw.bin", 20000, "c37486ddfa9600dc29c261eeb02863a2261c19eff20902159814d679c0ced882"};
    EXPECT_EQ(RecordLine(b, image, 5000),
        "{\"start\": \"2023-11-14T22:13:20.000Z\", \"end\": \"2023-11-14T22:13:24.250Z\", \"address\": \"192.168.1.3\", "
        "\"mac\": \"00:11:22:33:44:03\", \"name\": \"FW VEX 3\", \"name_after\": \"FW VEX 3 v2\", \"file\": "
        "\"vex_arm_fw.bin\", \"size\": 20000, \"sha256\": "
        "\"c37486ddfa9600dc29c261eeb02863a2261c19eff20902159814d679c0ced882\", \"result\": \"ok\", \"ok\": true, "
        "\"text\": \"ok, back after 3.2 s as \\\"FW VEX 3 v2\\\"\", \"request\": \"\", \"block\": null, \"blocks\": 40, "
        "\"retransmissions\": 2, \"duration\": 4.250, \"returned\": true, \"back_after\": 3.240}\n")
        << "the whole line of a board that came back under a new name";
}

TEST(StationRecord, OutcomesAsTheResultLinesGiveThem)
{
    const RecordImage image{L"vex_arm_fw.bin", 1008, "ab"};
    struct Case {
        const char* what;
        StationBoard board;
        std::vector<std::string> parts;
    };
    std::vector<Case> cases;
    StationBoard b = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    cases.push_back({"ok without a return check", b,
        {"\"result\": \"ok\", \"ok\": true, \"text\": \"ok\"", "\"blocks\": 2,", "\"returned\": null, \"back_after\": null}",
            "\"name_after\": null,"}});
    b.m_return = ReturnOutcome{ReturnOutcome::State::NotBack, 5000, L""};
    cases.push_back({"not back", b,
        {"\"result\": \"not-back\", \"ok\": false, \"text\": \"rebooted, did not come back within 2.5 s\"",
            "\"returned\": false, \"back_after\": null}"}});
    b = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    b.m_result.m_kind = ResultKind::NegativeAck;
    b.m_result.m_nOpcode = OP_DATA;
    b.m_result.m_nBlock = 1;
    cases.push_back({"refused block", b,
        {"\"result\": \"nak\", \"ok\": false, \"text\": \"negative acknowledgement of data block 1\", \"request\": "
         "\"data\", \"block\": 1, \"blocks\": 1,"}});
    b.m_bInterrupted = true;
    cases.push_back({"interrupted", b,
        {"\"result\": \"interrupted\", \"ok\": false, \"text\": \"interrupted at data block 1\""}});
    b = Served(L"192.168.1.1", L"", L"FW \x00e9t\x00e9 \"1\"");
    b.m_result.m_kind = ResultKind::Skipped;
    b.m_result.m_strLabel = L"FW VEX";
    b.m_bStarted = false;
    cases.push_back({"skipped, a name to escape", b,
        {"\"name\": \"FW \\u00e9t\\u00e9 \\\"1\\\"\"", "\"result\": \"skipped\", \"ok\": false", "\"blocks\": 0,",
            "\"mac\": \"\","}});
    for (const Case& c : cases) {
        const std::string line = RecordLine(c.board, image, 2500);
        for (const std::string& part : c.parts)
            EXPECT_NE(line.find(part), std::string::npos) << c.what << ": no [" << part << "] in " << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << c.what << ": not one line";
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char ch) { return ch > 0; })) << c.what << ": not ASCII";
    }
}

TEST(StationRecord, ServedBoardsAreReadBackFromWhatWasWritten)
{
    const RecordImage image{L"vex_arm_fw.bin", 1008, "aaaa"};
    StationBoard ok = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    StationBoard back = Served(L"192.168.1.2", L"00:11:22:33:44:\x00e9", L"FW VEX 2");
    back.m_return = ReturnOutcome{ReturnOutcome::State::Back, 700, L"FW VEX 2"};
    StationBoard gone = Served(L"192.168.1.3", L"00:11:22:33:44:03", L"FW VEX 3");
    gone.m_return = ReturnOutcome{ReturnOutcome::State::NotBack, 1000, L""};
    const std::string broken = RecordLine(ok, RecordImage{L"x_vex_arm_fw.bin", 1, "bbbb"}, 0);
    const std::string text = RecordLine(ok, image, 0) + RecordLine(back, image, 0) + RecordLine(gone, image, 0)
        + broken.substr(0, broken.size() / 2) + "\n" // a line cut short: passed over
        + "{\"mac\": \"00:11:22:33:44:09\", \"ok\": true, \"sha256\": \"cccc\"}\r\n" // written by hand
        + "{\"mac\": \"00:11:22:33:44:08\", \"ok\": true, \"sha256\": \"dddd\", \"x\": [1]}\n" // nested: not ours
        + "not json at all\n\n" + RecordLine(ok, RecordImage{L"v2_vex_arm_fw.bin", 9, "eeee"}, 0);
    const ServedSet expected = {{L"00:11:22:33:44:01", "aaaa"}, {L"00:11:22:33:44:\x00e9", "aaaa"},
        {L"00:11:22:33:44:09", "cccc"}, {L"00:11:22:33:44:01", "eeee"}};
    EXPECT_EQ(ServedInRecord(text), expected) << "served boards, each with its image";
}

TEST(StationWatch, EachBoardIsDecidedOnOnceWhenFirstHeard)
{
    const ServedSet served = {{L"00:11:22:33:44:07", "aaaa"}, {L"00:11:22:33:44:08", "bbbb"}};
    WatchBook book(L"vex_arm_fw.bin", "aaaa", served, true);
    WatchBook everyTime(L"vex_arm_fw.bin", "aaaa", served, false);
    const struct {
        BoardList board;
        Sighting once, always;
    } cases[] = {
        {{L"FW VEX 1", L"192.168.1.1", L"00:11:22:33:44:01"}, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 1 v2", L"192.168.1.1", L"00:11:22:33:44:01"}, Sighting::Known, Sighting::Known}, // back, renamed
        {{L"FW VEX 1", L"192.168.1.9", L"00:11:22:33:44:01"}, Sighting::Known, Sighting::Known},    // moved
        {{L"FW GUR 2", L"192.168.1.2", L"00:11:22:33:44:02"}, Sighting::OtherKind, Sighting::OtherKind},
        {{L"FW GUR 2", L"192.168.1.2", L"00:11:22:33:44:02"}, Sighting::Known, Sighting::Known},
        {{L"FW VEX 7", L"192.168.1.7", L"00:11:22:33:44:07"}, Sighting::ServedBefore, Sighting::Flash},
        {{L"FW VEX 8", L"192.168.1.8", L"00:11:22:33:44:08"}, Sighting::Flash, Sighting::Flash}, // another image
        {{L"FW VEX 5", L"192.168.1.5", L""}, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 5", L"192.168.1.5", L""}, Sighting::Known, Sighting::Known}, // no MAC: told by its address
        {{L"FW VEX 6", L"192.168.1.6", L""}, Sighting::Flash, Sighting::Flash},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(book.See(c.board), c.once) << WideToAnsi(c.board.m_strName + L" at " + c.board.m_strIP)
                                             << " with --once-per-mac";
        EXPECT_EQ(everyTime.See(c.board), c.always) << WideToAnsi(c.board.m_strName + L" at " + c.board.m_strIP);
    }
}

// A watch run on the fake network, in simulated time, until the clock reaches `untilMs`.
struct WatchBench {
    FakeNetwork net;
    BoardLink link{net};
    EventLoop loop{net, net};
    StatusLog log{net};
    std::ostringstream err;
    std::vector<BoardList> lists;
    ProgressView view{err, ProgressStyle::Quiet, log, lists};
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(20000, 0x5a);
    WatchJob job;
    std::vector<std::pair<std::uint64_t, std::wstring>> lines; // when, what
    std::uint64_t untilMs = 0;

    WatchBench()
    {
        job.m_strPath = L"fw/vex_arm_fw.bin";
        job.m_strAnsiName = "vex_arm_fw.bin";
        job.m_pKind = &Vex();
        job.m_nIntervalMs = 500;
    }

    FakeNetwork::Board& Board(int n, const wchar_t* kind, std::uint64_t appearAt)
    {
        FakeNetwork::Board& b = net.AddBoard(L"192.168.1." + std::to_wstring(n),
            L"FW " + std::wstring(kind) + L" " + std::to_wstring(n));
        b.appearAt = appearAt;
        return b;
    }

    StationCounts Run()
    {
        Watch watch(loop, link, net, view, lists, image, job,
            [this](const StationBoard& b) { lines.emplace_back(net.m_now, FormatStationLine(b, job.m_nVerifyReturnMs)); });
        watch.Run([this] { return net.m_now >= untilMs; });
        return CountStation(watch.Boards());
    }

    std::wstring LineOf(const std::wstring& ip) const
    {
        std::wstring found;
        for (const auto& [when, line] : lines) {
            if (line.rfind(ip + L"\t", 0) == 0)
                found += line + L"\n";
        }
        return found;
    }
};

TEST(StationWatch, BoardsPluggedInOneAfterAnotherAreEachServedOnce)
{
    WatchBench w;
    w.job.m_nParallel = 2;
    w.job.m_nVerifyReturnMs = 2000;
    w.Board(1, L"VEX", 1000).awayMs = 700;
    w.Board(2, L"GUR", 2000);
    FakeNetwork::Board& renamed = w.Board(3, L"VEX", 3000);
    renamed.awayMs = 1200;
    renamed.renamed = L"FW VEX 3 v2";
    w.Board(4, L"VEX", 3000).awayMs = 60000;
    w.Board(5, L"VEX", 9000);
    w.untilMs = 12000;
    const StationCounts counts = w.Run();

    EXPECT_EQ(w.LineOf(L"192.168.1.1"), L"192.168.1.1\tok, back after 0.8 s\tFW VEX 1\n") << "board 1";
    EXPECT_EQ(w.LineOf(L"192.168.1.2"), L"192.168.1.2\tskipped: another kind (no \"FW VEX\" in its name)\tFW GUR 2\n")
        << "board 2, of another kind, reported once";
    EXPECT_EQ(w.LineOf(L"192.168.1.3"), L"192.168.1.3\tok, back after 1.3 s as \"FW VEX 3 v2\"\tFW VEX 3\n") << "board 3";
    EXPECT_EQ(w.LineOf(L"192.168.1.4"), L"192.168.1.4\trebooted, did not come back within 2 s\tFW VEX 4\n") << "board 4";
    EXPECT_EQ(w.LineOf(L"192.168.1.5"), L"192.168.1.5\tok, back after 0.3 s\tFW VEX 5\n") << "board 5";
    for (int n : {1, 3, 4, 5}) {
        const FakeNetwork::Board& b = w.net.m_boards[L"192.168.1." + std::to_wstring(n)];
        EXPECT_EQ(b.fileNames, 1) << "board " << n << " served more or less than once";
        EXPECT_TRUE(b.image == w.image) << "board " << n << "'s image";
    }
    EXPECT_EQ(w.net.m_boards[L"192.168.1.2"].downloadRequests, 0) << "the other kind got a request";
    EXPECT_TRUE(counts.boards == 5 && counts.served == 3 && counts.failed == 1 && counts.skipped == 1
        && counts.interrupted == 0)
        << "counts";
    // Boards 3 and 4 appeared together and had a lane each: both started before either finished.
    EXPECT_EQ(w.net.MostBoardsAtOnce(), 2) << "two lanes";
    ASSERT_FALSE(w.lines.empty());
    EXPECT_LT(w.lines[0].first, 2000u) << "board 1 reported as it finished, not at the end";
}

TEST(StationWatch, InterruptNamesEveryBoardStillGoingAndWhereItWas)
{
    // Three lanes: the quick board is done at once and waits for its return;
    // three of the four slow ones are mid-download, the fourth waits for a lane.
    WatchBench w;
    w.job.m_nParallel = 3;
    w.job.m_nVerifyReturnMs = 5000;
    w.image.assign(504 * 100, 1);
    FakeNetwork::Board& quick = w.Board(1, L"VEX", 0);
    quick.delayMs = 1;
    quick.awayMs = 60000;
    for (int n : {2, 3, 4, 5})
        w.Board(n, L"VEX", 0).delayMs = 20; // 100 blocks, each answered 20 ms after it was sent
    w.untilMs = 2000;
    const StationCounts counts = w.Run();

    EXPECT_TRUE(counts.boards == 5 && counts.interrupted == 5) << "every board still going counts as interrupted";
    const std::wstring waiting = w.LineOf(L"192.168.1.1");
    EXPECT_EQ(waiting.rfind(L"192.168.1.1\trebooted, interrupted after 0.", 0), 0u) << WideToAnsi(waiting);
    int midway = 0, unstarted = 0;
    for (int n : {2, 3, 4, 5}) {
        const std::wstring line = w.LineOf(L"192.168.1." + std::to_wstring(n));
        const std::size_t block = line.find(L"\tinterrupted at data block ");
        if (block != std::wstring::npos) {
            ++midway;
            const int reached = std::stoi(line.substr(block + 27));
            EXPECT_TRUE(reached >= 40 && reached < 50) << WideToAnsi(line) << ": not where a second takes it";
        } else {
            EXPECT_EQ(line, L"192.168.1." + std::to_wstring(n) + L"\tinterrupted before its download started\tFW VEX "
                    + std::to_wstring(n) + L"\n");
            ++unstarted;
        }
    }
    EXPECT_TRUE(midway == 3 && unstarted == 1) << midway << " mid-download, " << unstarted << " waiting";
    EXPECT_EQ(w.lines.size(), 5u) << "one line per board";
}

TEST(StationOptions, WatchAndItsOptions)
{
    const std::vector<std::wstring> args = {L"watch", L"fw/vex_arm_fw.bin", L"--interval", L"0.5", L"--parallel", L"4",
        L"--verify-return", L"2.5", L"--record", L"r.jsonl", L"--once-per-mac"};
    const CliOptions o = ParseOptions(args);
    EXPECT_EQ(o.m_strError, L"");
    EXPECT_TRUE(o.m_command == CliCommand::Watch && o.m_strFile == L"fw/vex_arm_fw.bin" && o.m_nIntervalMs == 500
        && o.m_nParallel == 4 && o.m_nVerifyReturnMs == 2500 && o.m_strRecord == L"r.jsonl" && o.m_bOncePerMac)
        << "values";
    EXPECT_EQ(ParseOptions({L"watch", L"f_vex_arm_fw.bin"}).m_nIntervalMs, 2000u) << "default interval";

    const struct {
        std::vector<std::wstring> args;
        const wchar_t* error;
    } cases[] = {
        {{L"watch"}, L"watch needs a firmware FILE"},
        {{L"watch", L"f", L"192.168.1.1"}, L"watch finds the boards itself: give no addresses, no --list and no --all"},
        {{L"watch", L"f", L"--all"}, L"watch finds the boards itself: give no addresses, no --list and no --all"},
        {{L"watch", L"f", L"--once-per-mac"}, L"--once-per-mac looks up the boards in the record: give --record FILE"},
        {{L"watch", L"f", L"--json"}, L"watch reports each board as a line; --json is an option of discover and flash"},
        {{L"watch", L"f", L"--wait", L"1"},
            L"watch asks for boards every --interval seconds; --wait is an option of discover and flash"},
        {{L"watch", L"f", L"--interval", L"0.05"}, L"--interval takes seconds from 0.1 to 3600, such as 2 or 0.5, not '0.05'"},
        {{L"flash", L"f", L"--all", L"--interval", L"1"}, L"--interval is an option of watch"},
        {{L"discover", L"--once-per-mac"}, L"--once-per-mac is an option of watch"},
        {{L"discover", L"--record", L"r"}, L"--record is an option of flash"},
        {{L"flash", L"f", L"--all", L"--verify-return", L"0"},
            L"--verify-return takes seconds above 0 and at most 3600, such as 30 or 2.5, not '0'"},
        {{L"frob"}, L"unknown command 'frob' (the commands are discover, flash and watch)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseOptions(c.args).m_strError, c.error) << WideToAnsi(c.args[0] + L" " + c.args.back());
}

} // namespace
