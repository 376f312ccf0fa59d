#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/commands/CliOptions.h"
#include "cli/lanes/Watch.h"
#include "cli/link/BoardLink.h"
#include "cli/link/EventLoop.h"
#include "cli/report/ProgressView.h"
#include "cli/report/RecordFile.h"
#include "cli/report/StatusLog.h"
#include "download/FirmwareKind.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"
#include "tests/cli/FakeNetwork.h"
#include "tests/cli/ParsedJson.h"

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
    b.m_result.m_nAcked = 40;
    b.m_result.m_nPasses = 1;
    return b;
}

TEST(StationRecord, LineHoldsEveryFactOfTheBoard)
{
    StationBoard b = Served(L"192.168.1.3", L"00:11:22:33:44:03", L"FW VEX 3");
    b.m_return = ReturnOutcome{ReturnOutcome::State::Back, 3240, L"FW VEX 3 v2"};
    b.m_nRetransmissions = 2;
    const RecordImage image{L"vex_arm_fw.bin", 20000, "c37486ddfa9600dc29c261eeb02863a2261c19eff20902159814d679c0ced882"};
    const std::string line = RecordLine(b, image, 5000);
    EXPECT_TRUE(line.back() == '\n' && line.find('\n') == line.size() - 1) << "one line: " << line;
    EXPECT_EQ(Parsed(line), Parsed(
        "{\"start\": \"2023-11-14T22:13:20.000Z\", \"end\": \"2023-11-14T22:13:24.250Z\", \"address\": \"192.168.1.3\", "
        "\"mac\": \"00:11:22:33:44:03\", \"name\": \"FW VEX 3\", \"name_after\": \"FW VEX 3 v2\", \"file\": "
        "\"vex_arm_fw.bin\", \"size\": 20000, \"sha256\": "
        "\"c37486ddfa9600dc29c261eeb02863a2261c19eff20902159814d679c0ced882\", \"result\": \"ok\", \"ok\": true, "
        "\"confirmed\": true, \"text\": \"ok, back after 3.2 s as \\\"FW VEX 3 v2\\\"\", \"request\": \"\", "
        "\"block\": null, \"blocks\": 40, \"passes\": 1, \"retransmissions\": 2, \"duration\": 4.250, \"returned\": true, \"back_after\": 3.240}\n"))
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
    b.m_result.m_nAcked = 2;
    cases.push_back({"ok without a return check", b,
        {"\"result\": \"ok\", \"ok\": true, \"confirmed\": true, \"text\": \"ok\"", "\"blocks\": 2, \"passes\": 1,",
            "\"returned\": null, \"back_after\": null}", "\"name_after\": null,"}});
    b.m_result.m_bUnconfirmed = true;
    b.m_result.m_nAcked = 5;
    b.m_result.m_nPasses = 2;
    cases.push_back({"unconfirmed, started over once", b,
        {"\"result\": \"ok\", \"ok\": true, \"confirmed\": false, "
         "\"text\": \"ok, unconfirmed (the board's acknowledgements carry no block numbers)\"",
            "\"blocks\": 5, \"passes\": 2,"}});
    b.m_return = ReturnOutcome{ReturnOutcome::State::Back, 1500, L"FW VEX 1"};
    cases.push_back({"unconfirmed, back", b,
        {"\"text\": \"ok, unconfirmed (the board's acknowledgements carry no block numbers), back after 1.5 s\""}});
    b.m_return = ReturnOutcome{};
    b.m_result.m_kind = ResultKind::NotConfirmed;
    cases.push_back({"unconfirmed with --require-confirmed", b,
        {"\"result\": \"ok\", \"ok\": false, \"confirmed\": false, \"text\": \"rebooted but not confirmed "
         "(the board's acknowledgements carry no block numbers; --require-confirmed)\""}});
    b = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    b.m_result.m_kind = ResultKind::OutOfStep;
    b.m_result.m_nOpcode = OP_DATA;
    b.m_result.m_nBlock = 6;
    b.m_result.m_nAcked = 9;
    b.m_result.m_nPasses = 2;
    cases.push_back({"out of step twice", b,
        {"\"result\": \"out-of-step\", \"ok\": false, \"confirmed\": false, \"text\": \"acknowledgements out of step "
         "at data block 6; not rebooted\", \"request\": \"data\", \"block\": 6, \"blocks\": 9, \"passes\": 2,"}});
    b = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    b.m_return = ReturnOutcome{ReturnOutcome::State::NotBack, 5000, L""};
    cases.push_back({"not back", b,
        {"\"result\": \"not-back\", \"ok\": false, \"confirmed\": true, \"text\": \"rebooted, did not come back within 2.5 s\"",
            "\"returned\": false, \"back_after\": null}"}});
    b = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    b.m_result.m_kind = ResultKind::NegativeAck;
    b.m_result.m_nOpcode = OP_DATA;
    b.m_result.m_nBlock = 1;
    b.m_result.m_nAcked = 1;
    cases.push_back({"refused block", b,
        {"\"result\": \"nak\", \"ok\": false, \"confirmed\": false, \"text\": \"negative acknowledgement of data "
         "block 1\", \"request\": \"data\", \"block\": 1, \"blocks\": 1, \"passes\": 1,"}});
    b.m_bInterrupted = true;
    cases.push_back({"interrupted", b,
        {"\"result\": \"interrupted\", \"ok\": false, \"confirmed\": false, \"text\": \"interrupted at data block 1\""}});
    b = Served(L"192.168.1.1", L"", L"FW \x00e9t\x00e9 \"1\"");
    b.m_result.m_kind = ResultKind::Skipped;
    b.m_result.m_strLabel = L"FW VEX";
    b.m_result.m_nAcked = 0;
    b.m_result.m_nPasses = 0;
    b.m_bStarted = false;
    cases.push_back({"skipped, a name to escape", b,
        {"\"name\": \"FW \\u00e9t\\u00e9 \\\"1\\\"\"", "\"result\": \"skipped\", \"ok\": false", "\"blocks\": 0,",
            "\"mac\": \"\","}});
    b = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    b.m_result.m_kind = ResultKind::NotStarted;
    b.m_result.m_nAcked = 0;
    b.m_result.m_nPasses = 0;
    cases.push_back({"never contacted", b, {"\"result\": \"not-started\", \"ok\": false", "\"blocks\": 0, \"passes\": 0,"}});
    for (const Case& c : cases) {
        const std::string line = RecordLine(c.board, image, 2500);
        for (const std::string& part : c.parts)
            EXPECT_NE(line.find(part), std::string::npos) << c.what << ": no [" << part << "] in " << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << c.what << ": not one line";
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char ch) { return ch > 0; })) << c.what << ": not ASCII";
    }
}

TEST(StationRecord, TheLastLineOfEachBoardIsReadBack)
{
    const RecordImage image{L"vex_arm_fw.bin", 1008, "aaaa"};
    StationBoard ok = Served(L"192.168.1.1", L"00:11:22:33:44:01", L"FW VEX 1");
    StationBoard unsure = Served(L"192.168.1.2", L"00:11:22:33:44:\x00e9", L"FW VEX 2");
    unsure.m_result.m_bUnconfirmed = true;
    StationBoard gone = Served(L"192.168.1.3", L"00:11:22:33:44:03", L"FW VEX 3");
    gone.m_return = ReturnOutcome{ReturnOutcome::State::NotBack, 1000, L""};
    StationBoard failedLater = Served(L"192.168.1.4", L"00:11:22:33:44:04", L"FW VEX 4");
    StationBoard failed = failedLater;
    failed.m_result.m_kind = ResultKind::OutOfStep;
    StationBoard skippedLater = Served(L"192.168.1.5", L"00:11:22:33:44:05", L"FW VEX 5");
    StationBoard skipped = skippedLater;
    skipped.m_result.m_kind = ResultKind::Skipped;
    skipped.m_bServedBefore = true;
    StationBoard moved = Served(L"192.168.1.9", L"00:11:22:33:44:01", L"FW VEX 1");
    moved.m_result.m_kind = ResultKind::NoReply;
    const std::string broken = RecordLine(ok, RecordImage{L"x_vex_arm_fw.bin", 1, "bbbb"}, 0);
    const std::string text = RecordLine(ok, image, 0) + RecordLine(unsure, image, 0) + RecordLine(gone, image, 0)
        + RecordLine(failedLater, image, 0) + RecordLine(failed, image, 0) // the last line counts
        + RecordLine(skippedLater, image, 0) + RecordLine(skipped, image, 0) // a skipped board says nothing
        + RecordLine(moved, image, 0)                                          // another address, another line
        + broken.substr(0, broken.size() / 2) + "\n"                           // a line cut short: passed over
        + "{\"mac\": \"00:11:22:33:44:09\", \"address\": \"192.168.1.9\", \"ok\": true, \"sha256\": \"cccc\"}\r\n"
        + "{\"mac\": \"00:11:22:33:44:08\", \"address\": \"192.168.1.8\", \"ok\": true, \"sha256\": \"dddd\", \"x\": [1]}\n"
        + "not json at all\n\n";
    const struct {
        const wchar_t* mac;
        const wchar_t* ip;
        bool present, ok, confirmed;
        const char* sha;
    } cases[] = {
        {L"00:11:22:33:44:01", L"192.168.1.1", true, true, true, "aaaa"},
        {L"00:11:22:33:44:\x00e9", L"192.168.1.2", true, true, false, "aaaa"},
        {L"00:11:22:33:44:03", L"192.168.1.3", true, false, true, "aaaa"},
        {L"00:11:22:33:44:04", L"192.168.1.4", true, false, false, "aaaa"},
        {L"00:11:22:33:44:05", L"192.168.1.5", true, true, true, "aaaa"},
        {L"00:11:22:33:44:01", L"192.168.1.9", true, false, false, "aaaa"},
        {L"00:11:22:33:44:09", L"192.168.1.9", true, true, false, "cccc"}, // written by hand, no "confirmed"
        {L"00:11:22:33:44:08", L"192.168.1.8", false, false, false, ""},   // nested: not a record line
    };
    const RecordBook book = ReadRecord(text);
    for (const auto& c : cases) {
        const std::string what = WideToAnsi(std::wstring(c.mac) + L" at " + c.ip);
        const auto it = book.find({c.mac, c.ip});
        ASSERT_EQ(it != book.end(), c.present) << what << ": found";
        if (!c.present)
            continue;
        EXPECT_TRUE(it->second.m_bOk == c.ok && it->second.m_bConfirmed == c.confirmed && it->second.m_strSha256 == c.sha)
            << what << ": ok " << it->second.m_bOk << ", confirmed " << it->second.m_bConfirmed << ", sha "
            << it->second.m_strSha256;
    }
    EXPECT_EQ(book.size(), 7u) << "boards in the record";
}

// A file on a disk with `room` bytes left, as a full file system takes writes;
// `cut`: the first write takes at most this many bytes, as one cut short does.
class SmallDisk : public IAppendFile {
public:
    SmallDisk(std::string& text, std::size_t room, std::size_t cut) : m_room(room), m_cut(cut), m_text(text) {}
    int LastByte() override { return m_text.empty() ? -1 : static_cast<unsigned char>(m_text.back()); }
    long long Write(const char* data, std::size_t size, std::wstring& error) override
    {
        if (m_room == 0) {
            error = L"No space left on device";
            return -1;
        }
        const std::size_t n = std::min({size, m_room, m_cut});
        m_cut = ~std::size_t{0};
        m_text.append(data, n);
        m_room -= n;
        return static_cast<long long>(n);
    }
    std::size_t m_room;

private:
    std::size_t m_cut;
    std::string& m_text;
};

TEST(StationRecord, ALineThatDoesNotGoInWholeLeavesTheNextOnALineOfItsOwn)
{
    const std::vector<std::string> lines = {"{\"a\": 1}\n", "{\"b\": 2}\n", "{\"c\": 3}\n"};
    const struct {
        const char* what;
        std::string before; // what the file holds
        std::size_t room, cut;
        std::size_t freed;  // room made after the second line, as a clean-up elsewhere would
        std::vector<bool> whole;
        std::string after;
    } cases[] = {
        {"room enough", "", 100, ~std::size_t{0}, 0, {true, true, true}, "{\"a\": 1}\n{\"b\": 2}\n{\"c\": 3}\n"},
        {"a write cut short is ended with a line break", "", 100, 5, 0, {false, true, true},
            "{\"a\":\n{\"b\": 2}\n{\"c\": 3}\n"},
        {"no room for the line break: the next line starts with one", "", 12, ~std::size_t{0}, 50,
            {true, false, true}, "{\"a\": 1}\n{\"b\n{\"c\": 3}\n"},
        {"a line another station left broken", "{\"x\": ", 100, ~std::size_t{0}, 0, {true, true, true},
            "{\"x\": \n{\"a\": 1}\n{\"b\": 2}\n{\"c\": 3}\n"},
        {"a full disk", "", 0, ~std::size_t{0}, 0, {false, false, false}, ""},
    };
    for (const auto& c : cases) {
        std::string text = c.before;
        auto disk = std::make_unique<SmallDisk>(text, c.room, c.cut);
        SmallDisk& raw = *disk;
        RecordWriter record(std::move(disk));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::wstring error;
            EXPECT_EQ(record.Append(lines[i], error), c.whole[i]) << c.what << ": line " << i;
            EXPECT_EQ(error.empty(), c.whole[i]) << c.what << ": error of line " << i;
            if (i == 1)
                raw.m_room += c.freed;
        }
        EXPECT_EQ(text, c.after) << c.what;
    }
}

TEST(StationWatch, EachBoardIsDecidedOnOnceWhenFirstHeard)
{
    RecordBook record;
    record[{L"00:11:22:33:44:07", L"192.168.1.7"}] = RecordedBoard{true, true, "aaaa"};
    record[{L"00:11:22:33:44:08", L"192.168.1.8"}] = RecordedBoard{true, true, "bbbb"};
    record[{L"00:11:22:33:44:0a", L"192.168.1.10"}] = RecordedBoard{true, false, "aaaa"};
    record[{L"00:11:22:33:44:0b", L"192.168.1.11"}] = RecordedBoard{false, false, "aaaa"};
    record[{L"00:11:22:33:44:0c", L"192.168.1.99"}] = RecordedBoard{true, true, "aaaa"}; // served at another address
    WatchBook book(WatchRules{L"vex_arm_fw.bin", "aaaa", record, true, false});
    WatchBook everyTime(WatchRules{L"vex_arm_fw.bin", "aaaa", record, false, false});
    WatchBook proof(WatchRules{L"vex_arm_fw.bin", "aaaa", record, true, true});
    const struct {
        BoardList board;
        Sighting once, always, confirmed;
    } cases[] = {
        {{L"FW VEX 1", L"192.168.1.1", L"00:11:22:33:44:01"}, Sighting::Flash, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 1 v2", L"192.168.1.1", L"00:11:22:33:44:01"}, Sighting::Known, Sighting::Known, Sighting::Known},
        {{L"FW GUR 2", L"192.168.1.2", L"00:11:22:33:44:02"}, Sighting::OtherKind, Sighting::OtherKind, Sighting::OtherKind},
        {{L"FW GUR 2", L"192.168.1.2", L"00:11:22:33:44:02"}, Sighting::Known, Sighting::Known, Sighting::Known},
        {{L"FW VEX 7", L"192.168.1.7", L"00:11:22:33:44:07"}, Sighting::ServedBefore, Sighting::Flash, Sighting::ServedBefore},
        {{L"FW VEX 8", L"192.168.1.8", L"00:11:22:33:44:08"}, Sighting::Flash, Sighting::Flash, Sighting::Flash}, // another image
        {{L"FW VEX 10", L"192.168.1.10", L"00:11:22:33:44:0a"}, Sighting::ServedBefore, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 11", L"192.168.1.11", L"00:11:22:33:44:0b"}, Sighting::Flash, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 12", L"192.168.1.12", L"00:11:22:33:44:0c"}, Sighting::Flash, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 5", L"192.168.1.5", L""}, Sighting::Flash, Sighting::Flash, Sighting::Flash},
        {{L"FW VEX 5", L"192.168.1.5", L""}, Sighting::Known, Sighting::Known, Sighting::Known}, // no MAC: its address
        {{L"FW VEX 6", L"192.168.1.6", L""}, Sighting::Flash, Sighting::Flash, Sighting::Flash},
    };
    for (const auto& c : cases) {
        const std::string what = WideToAnsi(c.board.m_strName + L" at " + c.board.m_strIP);
        EXPECT_EQ(book.See(c.board), c.once) << what << " with --once-per-mac";
        EXPECT_EQ(everyTime.See(c.board), c.always) << what;
        EXPECT_EQ(proof.See(c.board), c.confirmed) << what << " with --once-per-mac --require-confirmed";
    }
}

// Rounds of discovery: which of two addresses answering with one MAC is a board of its own.
TEST(StationWatch, AMacAnsweringFromTwoAddressesInOneRoundIsTwoBoards)
{
    const BoardList a{L"FW VEX 1", L"192.168.1.1", L"00:11:22:33:99:01"};
    const BoardList b{L"FW VEX 2", L"192.168.1.2", L"00:11:22:33:99:01"};
    const BoardList c{L"FW VEX 3", L"192.168.1.3", L"00:11:22:33:99:01"};
    struct Step {
        const BoardList* board; // null: the round ends
        Sighting seen;
    };
    const struct {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::pair<std::wstring, Sighting>> decided; // at the ends of rounds
        std::vector<std::wstring> warnings;
    } cases[] = {
        {"both in the first round", {{&a, Sighting::Flash}, {&b, Sighting::Flash}, {nullptr, {}}, {&a, Sighting::Known},
             {&b, Sighting::Known}},
            {}, {L"2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2"}},
        {"the new one heard first in a later round", {{&a, Sighting::Flash}, {nullptr, {}}, {&b, Sighting::Held},
             {&a, Sighting::Known}, {nullptr, {}}, {&b, Sighting::Known}},
            {{L"192.168.1.2", Sighting::Flash}}, {L"2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2"}},
        {"the new one heard again once the old one answered", {{&a, Sighting::Flash}, {nullptr, {}},
             {&b, Sighting::Held}, {&a, Sighting::Known}, {&b, Sighting::Flash}, {nullptr, {}}, {&b, Sighting::Known}},
            {}, {L"2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2"}},
        {"the old address quiet: moved", {{&a, Sighting::Flash}, {nullptr, {}}, {&b, Sighting::Held}, {nullptr, {}},
             {&b, Sighting::Known}, {nullptr, {}}, {&a, Sighting::Known}},
            {{L"192.168.1.2", Sighting::Known}}, {}},
        {"a third board", {{&a, Sighting::Flash}, {&b, Sighting::Flash}, {&c, Sighting::Flash}},
            {}, {L"2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2",
                    L"3 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2, 192.168.1.3"}},
    };
    for (const auto& test : cases) {
        WatchBook book(WatchRules{L"vex_arm_fw.bin", "aaaa", {}, false, false});
        std::vector<std::pair<std::wstring, Sighting>> decided;
        std::vector<std::wstring> warnings;
        for (const Step& step : test.steps) {
            if (step.board == nullptr) {
                for (const auto& [board, sighting] : book.EndRound())
                    decided.emplace_back(board.m_strIP, sighting);
            } else {
                EXPECT_EQ(book.See(*step.board), step.seen) << test.what << ": " << WideToAnsi(step.board->m_strIP);
            }
            for (const std::wstring& w : book.TakeWarnings())
                warnings.push_back(w);
        }
        EXPECT_EQ(decided, test.decided) << test.what << ": decided at the end of a round";
        EXPECT_EQ(warnings, test.warnings) << test.what << ": warnings";
    }

    // While one address is being served, another with its MAC is another board at once.
    bool busy = true;
    WatchBook book(WatchRules{L"vex_arm_fw.bin", "aaaa", {}, false, false},
        [&busy](const std::wstring& ip) { return busy && ip == L"192.168.1.1"; });
    EXPECT_EQ(book.See(a), Sighting::Flash) << "first board";
    book.EndRound();
    EXPECT_EQ(book.See(b), Sighting::Flash) << "second board while the first is served";
}

// A watch run on the fake network, in simulated time, until the clock reaches `untilMs`.
struct WatchBench {
    FakeNetwork net;
    BoardLink link{net};
    EventLoop loop{net, net};
    StatusLog log{net};
    std::ostringstream err;
    std::vector<StationBoard> boards;
    ProgressView view{err, ProgressStyle::Quiet, log, boards};
    Firmware firmware{&Vex(), "vex_arm_fw.bin", std::vector<std::uint8_t>(20000, 0x5a)};
    WatchJob job;
    std::vector<std::pair<std::uint64_t, std::wstring>> lines; // when, what
    std::uint64_t untilMs = 0;

    WatchBench()
    {
        job.m_strPath = L"fw/vex_arm_fw.bin";
        job.m_rules.m_strFileName = L"vex_arm_fw.bin";
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
        Watch watch(loop, link, net, view, boards, firmware, job,
            [this](const StationBoard& b) { lines.emplace_back(net.m_now, FormatStationLine(b, job.m_nVerifyReturnMs)); });
        watch.Run([this] { return net.m_now >= untilMs; });
        return CountStation(boards);
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
        EXPECT_TRUE(b.image == w.firmware.m_image) << "board " << n << "'s image";
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
    w.firmware.m_image.assign(504 * 100, 1);
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
