// The command end to end in station mode: results, records, watch, in simulated time.
#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <map>
#include <sstream>

#include "cli/CliApp.h"
#include "cli/platform/IPlatform.h"
#include "net/BoardPacket.h"
#include "net/TextCodec.h"
#include "TarnwellVersion.h"
#include "tests/cli/FakePlatform.h"

namespace {

TEST(CliApp, FlashWaitsForEachBoardToComeBackAndRecordsIt)
{
    AppBench b;
    b.Board(1).awayMs = 1100;
    FakeNetwork::Board& renamed = b.Board(2);
    renamed.awayMs = 300;
    renamed.renamed = L"FW VEX 2 v2";
    b.Board(3).awayMs = 60000;
    EXPECT_EQ(b.Run(L"flash fw/vex_arm_fw.bin 192.168.1.1 192.168.1.2 192.168.1.3 --parallel 3 --verify-return 2 "
                    L"--record r.jsonl --quiet"),
        1)
        << "exit status with a board that did not come back";
    EXPECT_EQ(b.Out(), "192.168.1.1\tok, back after 1.3 s\tFW VEX 1\n"
                       "192.168.1.2\tok, back after 0.5 s as \"FW VEX 2 v2\"\tFW VEX 2\n"
                       "192.168.1.3\trebooted, did not come back within 2 s\tFW VEX 3\n"
                       "3 boards: 2 ok, 1 failed, 0 skipped in 2.0 s\n")
        << "results and summary";
    const std::string record = b.platform.records[L"r.jsonl"];
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 3) << "one line per board: " << record;
    for (const char* part : {"\"name\": \"FW VEX 2\", \"name_after\": \"FW VEX 2 v2\"",
             "\"result\": \"not-back\", \"ok\": false", "\"sha256\": \"", "\"returned\": false, \"back_after\": null}"})
        EXPECT_NE(record.find(part), std::string::npos) << "record lacks " << part << ": " << record;

    AppBench json;
    json.Board(1).awayMs = 60000;
    EXPECT_EQ(json.Run(L"flash fw/vex_arm_fw.bin 192.168.1.1 --verify-return 0.5 --json --quiet"), 1) << "JSON exit status";
    for (const char* part : {"\"text\": \"rebooted, did not come back within 0.5 s\", \"returned\": false",
             "\"summary\": {\"boards\": 1, \"ok\": 0, \"failed\": 1, \"skipped\": 0}"})
        EXPECT_NE(json.Out().find(part), std::string::npos) << "JSON lacks " << part << ": " << json.Out();
}

TEST(CliApp, WatchServesUntilInterruptedAndExitsAsFlashWould)
{
    const struct {
        const wchar_t* kind2;
        FakeNetwork::Fault fault1;
        int exit;
        const char* summary;
    } cases[] = {
        {L"GUR", FakeNetwork::Fault::None, 0, "2 boards: 1 served, 0 failed, 1 skipped, 0 still running (interrupted) in 4.0 s\n"},
        {L"VEX", FakeNetwork::Fault::Nak, 1, "2 boards: 1 served, 1 failed, 0 skipped, 0 still running (interrupted) in 4.0 s\n"},
        {L"GUR", FakeNetwork::Fault::Mute, 3, "1 board: 0 served, 0 failed, 1 skipped, 0 still running (interrupted) in 4.0 s\n"},
    };
    for (const auto& c : cases) {
        AppBench b;
        FakeNetwork::Board& first = b.Board(1);
        first.fault = c.fault1;
        first.nakOpcode = OP_FILENAME;
        b.Board(2, c.kind2).appearAt = 2500;
        b.platform.interruptAt = 5000;
        EXPECT_EQ(b.Run(L"watch fw/vex_arm_fw.bin --interval 0.5 --quiet"), c.exit) << "exit status";
        const std::string out = b.Out();
        EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), c.summary) << "summary of " << out;
    }
}

TEST(CliApp, TheRecordIsOutputAndALostLineIsSaid)
{
    const struct {
        std::vector<std::wstring> args;
        int exit;
        const char* err;
        bool sent;
        std::size_t lines; // whole lines in the record
    } cases[] = {
        {{L"--record", L""}, 2, "tarnwell-cli: --record takes a file name, not an empty one\nTry 'tarnwell-cli --help'.\n",
            false, 0},
        {{L"--record", L"/bad/r.jsonl"}, 2, "tarnwell-cli: cannot write the record /bad/r.jsonl: Permission denied\n", false,
            0},
        {{L"--record", L"r.jsonl"}, 0, "", true, 2},
        {{L"--record", L"/full/0"}, 5,
            "tarnwell-cli: cannot write the record /full/0: No space left on device; the line of 192.168.1.1 is lost\n"
            "tarnwell-cli: cannot write the record /full/0: No space left on device; the line of 192.168.1.2 is lost\n",
            true, 0},
        {{L"--record", L"/full/700"}, 5, "", true, 1},
    };
    for (const auto& c : cases) {
        AppBench b;
        b.Board(1);
        b.Board(2);
        std::vector<std::wstring> args{L"flash", L"fw/vex_arm_fw.bin", L"192.168.1.1", L"192.168.1.2", L"--quiet"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const std::string what = "--record '" + WideToAnsi(c.args[1]) + "'";
        EXPECT_EQ(b.Run(args), c.exit) << what << ": exit status";
        if (c.exit == 5 && std::string(c.err).empty()) {
            EXPECT_NE(b.Err().find("tarnwell-cli: cannot write the record /full/700: only "), std::string::npos)
                << what << ": message " << b.Err();
            EXPECT_NE(b.Err().find(" bytes were written; the line of 192.168.1.2 is lost\n"), std::string::npos)
                << what << ": message " << b.Err();
        } else {
            EXPECT_EQ(b.Err(), c.err) << what << ": messages";
        }
        EXPECT_EQ(!b.platform.net.m_sent.empty(), c.sent) << what << ": whether anything was sent";
        if (c.sent) {
            EXPECT_TRUE(b.platform.net.m_boards[L"192.168.1.1"].rebooted && b.platform.net.m_boards[L"192.168.1.2"].rebooted)
                << what << ": the boards are served whatever becomes of the record";
            EXPECT_EQ(b.Out().substr(b.Out().rfind('\n', b.Out().size() - 2) + 1).rfind("2 boards: 2 ok, 0 failed", 0), 0u)
                << what << ": the report: " << b.Out();
        }
        const std::string& record = b.platform.records[c.args[1]];
        EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), static_cast<long>(c.lines))
            << what << ": record lines in [" << record << "]";
    }
}

TEST(CliApp, TheResultSaysWhatTheAcknowledgementsProved)
{
    const struct {
        bool shortAcks;
        int copies;
        const wchar_t* options;
        int exit;
        const char* line;
        const char* json;
    } cases[] = {
        {false, 1, L"", 0, "192.168.1.1\tok\tFW VEX 1", "\"result\": \"ok\", \"ok\": true, \"confirmed\": true"},
        {true, 1, L"", 0, "192.168.1.1\tok, unconfirmed (the board's acknowledgements carry no block numbers)\tFW VEX 1",
            "\"result\": \"ok\", \"ok\": true, \"confirmed\": false"},
        {true, 1, L" --require-confirmed", 1,
            "192.168.1.1\trebooted but not confirmed (the board's acknowledgements carry no block numbers; "
            "--require-confirmed)\tFW VEX 1",
            "\"result\": \"ok\", \"ok\": false, \"confirmed\": false"},
        {false, 1, L" --require-confirmed", 0, "192.168.1.1\tok\tFW VEX 1", "\"ok\": true, \"confirmed\": true"},
        {true, 2, L"", 1, "192.168.1.1\tacknowledgements out of step at data block 0; not rebooted\tFW VEX 1",
            "\"result\": \"out-of-step\", \"ok\": false, \"confirmed\": false, \"request\": \"data\", \"block\": 0, "
            "\"blocks\": 2, \"passes\": 2"},
    };
    for (const auto& c : cases) {
        for (bool json : {false, true}) {
            AppBench b;
            FakeNetwork::Board& board = b.Board(1);
            board.shortAcks = c.shortAcks;
            board.copies = c.copies;
            const std::wstring line = L"flash fw/vex_arm_fw.bin 192.168.1.1 --quiet" + std::wstring(c.options)
                + (json ? L" --json" : L"");
            EXPECT_EQ(b.Run(line), c.exit) << WideToAnsi(line) << ": exit status";
            const std::string expected = json ? c.json : std::string(c.line) + "\n";
            EXPECT_NE(b.Out().find(expected), std::string::npos) << WideToAnsi(line) << ": no [" << expected << "] in "
                                                                << b.Out();
            EXPECT_EQ(board.rebooted, c.copies == 1) << WideToAnsi(line) << ": the reboot request";
        }
    }

    AppBench back;
    FakeNetwork::Board& board = back.Board(1);
    board.shortAcks = true;
    board.awayMs = 500;
    EXPECT_EQ(back.Run(L"flash fw/vex_arm_fw.bin 192.168.1.1 --verify-return 2 --quiet"), 0) << "with --verify-return";
    EXPECT_EQ(back.Out().substr(0, back.Out().find('\n')),
        "192.168.1.1\tok, unconfirmed (the board's acknowledgements carry no block numbers), back after 0.5 s\tFW VEX 1")
        << "an unconfirmed board that came back";
}

TEST(CliApp, FileNamesAreShownAsTheTextTheyAre)
{
    AppBench b;
    b.Board(1);
    // Arguments come as bytes, each widened: "café" in UTF-8, and a name with a line feed.
    const std::wstring utf8 = L"fw/caf\u00c3\u00a9_vex_arm_fw.bin", broken = L"fw/a\nb\u00e9_vex_arm_fw.bin";
    b.platform.files[utf8] = b.image;
    b.platform.files[broken] = b.image;
    EXPECT_EQ(b.Run({L"flash", utf8, L"192.168.1.1", L"--json", L"--quiet", L"--record", L"r.jsonl"}), 0)
        << "exit status";
    EXPECT_NE(b.Out().find("{\"file\": \"fw/caf\\u00e9_vex_arm_fw.bin\""), std::string::npos) << "JSON: " << b.Out();
    EXPECT_NE(b.platform.records[L"r.jsonl"].find("\"file\": \"caf\\u00e9_vex_arm_fw.bin\""), std::string::npos)
        << "record: " << b.platform.records[L"r.jsonl"];
    EXPECT_EQ(b.platform.net.m_boards[L"192.168.1.1"].fileName, "caf\xc3\xa9_vex_arm_fw.bin") << "the bytes sent";

    AppBench log;
    log.Board(1);
    log.platform.files[broken] = log.image;
    EXPECT_EQ(log.Run({L"flash", broken, L"192.168.1.1", L"--quiet", L"--log", L"run.log"}), 0) << "exit status";
    ASSERT_NE(log.platform.log, nullptr) << "no log";
    EXPECT_NE(log.platform.log->str().find("Z Downloading fw/a\\nb\xc3\xa9_vex_arm_fw.bin to all valid selected boards.\n"),
        std::string::npos)
        << "the log line, one line, the byte not UTF-8 read as Windows-1252: " << log.platform.log->str();
}

TEST(CliApp, WatchServesBoardsThatShareAMacAndNotABoardThatMoved)
{
    AppBench shared;
    shared.Board(1).mac = L"00:11:22:33:99:01";
    shared.Board(2).mac = L"00:11:22:33:99:01";
    shared.platform.interruptAt = 4000;
    EXPECT_EQ(shared.Run(L"watch fw/vex_arm_fw.bin --interval 0.5 --parallel 2 --quiet --log run.log"), 0)
        << "shared MAC: exit status";
    EXPECT_TRUE(shared.platform.net.m_boards[L"192.168.1.1"].fileNames == 1
        && shared.platform.net.m_boards[L"192.168.1.2"].fileNames == 1)
        << "shared MAC: both boards served once";
    EXPECT_EQ(shared.Err(), "tarnwell-cli: 2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2\n")
        << "shared MAC: warned once";
    ASSERT_NE(shared.platform.log, nullptr) << "no log";
    EXPECT_NE(shared.platform.log->str().find("Z 2 boards answer with MAC 00:11:22:33:99:01: 192.168.1.1, 192.168.1.2\n"),
        std::string::npos)
        << "shared MAC: the log";

    AppBench moved;
    FakeNetwork::Board& before = moved.Board(1);
    before.awayMs = 60000; // rebooted, and gone from this address
    FakeNetwork::Board& after = moved.Board(2);
    after.mac = before.mac;
    after.appearAt = 3000;
    moved.platform.interruptAt = 6000;
    EXPECT_EQ(moved.Run(L"watch fw/vex_arm_fw.bin --interval 0.5 --quiet"), 0) << "moved: exit status";
    EXPECT_EQ(moved.platform.net.m_boards[L"192.168.1.2"].downloadRequests, 0) << "moved: served again";
    EXPECT_EQ(moved.Err(), "") << "moved: no warning";
}

} // namespace
