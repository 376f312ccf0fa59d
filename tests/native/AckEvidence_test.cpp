#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "SequencerBench.h"

// What a board's acks prove, checked against boards that misbehave at random:
// every ack form, with requests and acks lost, delayed past the time-out,
// duplicated and refused. TARNWELL_SEED=<n> runs one case by itself.

namespace {

const std::wstring ADDRESSES[] = {L"192.168.1.1", L"192.168.1.2", L"192.168.1.3"};

struct Form {
    AckForm form;
    std::uint32_t fixed;
    const char* name;
    bool echoesBlocks; // its acks carry the number of the block they answer
};

const Form FORMS[] = {
    {AckForm::Echo, 0, "echoed header", true},
    {AckForm::NoLength, 0, "echoed sequence, length 0", true},
    {AckForm::FixedSequence, 0, "sequence fixed at 0", false},
    {AckForm::FixedSequence, 1, "sequence fixed at 1", false},
    {AckForm::FixedSequence, 7, "sequence fixed at 7", false},
    {AckForm::FixedSequence, 0xFFFFFFFFu, "sequence fixed at 0xFFFFFFFF", false},
    {AckForm::ZeroHeader, 0, "zero header", false},
    {AckForm::Short, 0, "2-byte", false},
};

struct Case {
    std::uint32_t seed;
    std::size_t fileSize;
    std::vector<int> forms; // index into FORMS, one per board
    std::string faults;     // what was done, for the failure message
};

// Faults for one request of one board: each kind on its own at a few per cent.
BoardFault RandomFault(std::mt19937& rng, bool allowRefusal, std::ostringstream& what, const std::string& request)
{
    std::uniform_int_distribution<int> percent(0, 99);
    BoardFault fault;
    if (percent(rng) < 6) {
        fault.drop = percent(rng) < 80 ? 1 : 2;
        what << request << " lost x" << fault.drop << "; ";
    }
    if (percent(rng) < 6) {
        fault.lostAcks = percent(rng) < 80 ? 1 : 2;
        what << request << " ack lost x" << fault.lostAcks << "; ";
    }
    if (percent(rng) < 5) {
        fault.lateMs = 5000 + static_cast<std::uint64_t>(percent(rng)) * 40;
        what << request << " late " << fault.lateMs << " ms; ";
    }
    if (percent(rng) < 6) {
        fault.twiceMs = 1 + static_cast<std::uint64_t>(percent(rng)) * 3;
        what << request << " twice +" << fault.twiceMs << " ms; ";
    }
    if (allowRefusal && percent(rng) < 2) {
        fault.nack = true;
        what << request << " refused; ";
    }
    return fault;
}

struct Tally {
    int confirmed = 0, unconfirmed = 0, outOfStep = 0, failed = 0, restarted = 0;
};

// Runs one seeded case; returns the outcome per board for the tally.
void RunCase(std::uint32_t seed, std::map<std::string, Tally>& tally)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> blocks(0, 12), boardCount(1, 3), formIndex(0, std::size(FORMS) - 1);
    const int nBlocks = blocks(rng);
    std::uniform_int_distribution<int> tail(0, 503);
    const std::size_t fileSize = nBlocks == 0 ? 0 : static_cast<std::size_t>((nBlocks - 1) * 504 + 1 + tail(rng));
    const int nBoards = boardCount(rng);

    SequencerBench bench;
    std::vector<std::wstring> ips;
    std::ostringstream what;
    what << "seed " << seed << ", " << fileSize << " bytes: ";
    std::map<std::wstring, const Form*> forms;
    const std::uint32_t dataBlocks = fileSize == 0 ? 1 : static_cast<std::uint32_t>((fileSize + 503) / 504);
    for (int b = 0; b < nBoards; ++b) {
        const std::wstring& ip = ADDRESSES[b];
        const Form& form = FORMS[static_cast<std::size_t>(formIndex(rng))];
        forms[ip] = &form;
        ips.push_back(ip);
        FakeBoard& board = bench.boards[ip];
        board.form = form.form;
        board.fixedSequence = form.fixed;
        board.replyMs = 1 + static_cast<std::uint64_t>(rng() % 30);
        what << "[board " << b << ": " << form.name << "; ";
        const bool refuses = rng() % 10 == 0;
        board.faults[{OP_FILENAME, 0}] = RandomFault(rng, refuses, what, "name");
        for (std::uint32_t k = 0; k < dataBlocks; ++k)
            board.faults[{OP_DATA, k}] = RandomFault(rng, refuses, what, "D" + std::to_string(k));
        board.faults[{OP_REBOOT, 0}] = RandomFault(rng, refuses, what, "reboot");
        what << "] ";
    }

    ASSERT_TRUE(bench.Start(fileSize, ips)) << what.str();
    bench.Run();
    const std::string context = what.str();
    ASSERT_FALSE(bench.sequencer.IsRunning()) << "never came to rest: " << context;
    ASSERT_EQ(bench.host.m_finished.size(), ips.size()) << "one outcome per board: " << context;
    EXPECT_EQ(bench.overlaps, 0) << "two requests out at once: " << context;

    for (const BoardEnd& end : bench.host.m_finished) {
        const std::wstring& ip = end.address;
        const FakeBoard& board = bench.boards[ip];
        const Form& form = *forms[ip];
        const bool ok = end.outcome == BoardOutcome::Rebooted;
        const std::string who = std::string(form.name) + " board " + std::to_string(end.board) + ", " + context;

        EXPECT_FALSE(ok && !end.unconfirmed && board.image != bench.file.m_bytes)
            << "confirmed, but the image differs: " << who;
        if (form.echoesBlocks && dataBlocks >= 3)
            EXPECT_FALSE(ok && board.image != bench.file.m_bytes) << "an echoing board's damaged image ended ok: " << who;
        if (form.echoesBlocks && ok) {
            for (const auto& [block, reply] : bench.taken[ip])
                EXPECT_TRUE(!reply.hasHeader || reply.sequence == block || end.unconfirmed)
                    << "ack of block " << reply.sequence << " taken for block " << block << ": " << who;
        }
        if (bench.refusalsWhileServed[ip] > 0)
            EXPECT_EQ(end.outcome, BoardOutcome::NegativeAck) << "a refusal did not end the board: " << who;
        // After acks went out of step the board hears nothing but a new file name.
        if (end.outcome == BoardOutcome::OutOfStep) {
            const auto& sent = bench.host.m_sent;
            EXPECT_TRUE(std::none_of(sent.begin() + static_cast<std::ptrdiff_t>(bench.host.m_finishedAt[end.board]),
                sent.end(), [&](const FakeDownloadHost::Sent& s) { return s.ip == ip; }))
                << "sent to after its acks went out of step: " << who;
        }
        EXPECT_LE(end.passes, 2) << who;

        Tally& t = tally[form.name];
        t.restarted += end.passes > 1;
        if (ok)
            ++(end.unconfirmed ? t.unconfirmed : t.confirmed);
        else if (end.outcome == BoardOutcome::OutOfStep)
            ++t.outOfStep;
        else
            ++t.failed;
    }
    // A restart always begins with the file name, never a reboot.
    for (const std::size_t at : bench.host.m_restartAt) {
        if (at < bench.host.m_sent.size())
            EXPECT_EQ(bench.host.m_sent[at].bytes[0], OP_FILENAME) << "the request after a restart: " << context;
    }
}

TEST(AckEvidence, RandomBoardsNeverEndOkWithADamagedImageTheyCouldHaveShown)
{
    std::map<std::string, Tally> tally;
    if (const char* one = std::getenv("TARNWELL_SEED")) {
        RunCase(static_cast<std::uint32_t>(std::strtoul(one, nullptr, 10)), tally);
        return;
    }
    const int cases = std::getenv("TARNWELL_CASES") ? std::atoi(std::getenv("TARNWELL_CASES")) : 2000;
    for (int i = 0; i < cases && !HasFailure(); ++i)
        RunCase(static_cast<std::uint32_t>(1000 + i), tally);
    if (HasFailure())
        return;
    std::printf("%-30s %9s %11s %11s %7s %9s\n", "ack form", "confirmed", "unconfirmed", "out-of-step", "failed",
        "restarted");
    for (const auto& [name, t] : tally) {
        const double n = t.confirmed + t.unconfirmed + t.outOfStep + t.failed;
        std::printf("%-30s %8.1f%% %10.1f%% %10.1f%% %6.1f%% %9d\n", name.c_str(), 100 * t.confirmed / n,
            100 * t.unconfirmed / n, 100 * t.outOfStep / n, 100 * t.failed / n, t.restarted);
    }
}

} // namespace

namespace {

// The faults reported from the field, one board each, a 10,180-byte image (21 blocks).
TEST(AckEvidence, ReportedBoardsEndAsTheirAcksAllow)
{
    const struct {
        const char* what;
        AckForm form;
        std::uint32_t fixed;
        std::vector<std::pair<std::pair<int, std::uint32_t>, BoardFault>> faults;
        int copies;
        bool shortRefusals;
        BoardOutcome outcome;
        bool unconfirmed;
        int passes;
        int whole; // -1: either
    } cases[] = {
        {"2-byte, block 3 acked twice, block 4 lost", AckForm::Short, 0,
            {{{OP_DATA, 3}, BoardFault{0, 0, false, 200, 0}}, {{OP_DATA, 4}, BoardFault{1, 0, false, 0, 0}}}, 1,
            false, BoardOutcome::Rebooted, true, 1, false},
        {"length 0, block 0 acked twice, block 1 lost", AckForm::NoLength, 0,
            {{{OP_DATA, 0}, BoardFault{0, 0, false, 200, 0}}, {{OP_DATA, 1}, BoardFault{1, 0, false, 0, 0}}}, 1,
            false, BoardOutcome::Rebooted, false, 1, true},
        {"2-byte, every ack three times, blocks 4 and 9 lost", AckForm::Short, 0,
            {{{OP_DATA, 4}, BoardFault{1, 0, false, 0, 0}}, {{OP_DATA, 9}, BoardFault{1, 0, false, 0, 0}}}, 3, false,
            BoardOutcome::Rebooted, true, 1, -1},
        {"2-byte, block 2 acked twice at once", AckForm::Short, 0, {{{OP_DATA, 2}, BoardFault{0, 0, false, 0, 0}}},
            1, false, BoardOutcome::Rebooted, true, 1, true},
        {"zero header, block 1 answered 6.5 s late", AckForm::ZeroHeader, 0,
            {{{OP_DATA, 1}, BoardFault{0, 6500, false, 0, 0}}}, 1, false, BoardOutcome::Rebooted, true, 1, true},
        {"length echoed, sequence always 0", AckForm::FixedSequence, 0, {}, 1, false, BoardOutcome::Rebooted, true,
            1, true},
        {"echoed header, block 5 refused in 2 bytes", AckForm::Echo, 0, {{{OP_DATA, 5}, BoardFault{0, 0, true, 0, 0}}},
            1, true, BoardOutcome::NegativeAck, false, 1, false},
        {"fixed sequence 1, block 7 acked twice, block 8 lost", AckForm::FixedSequence, 1,
            {{{OP_DATA, 7}, BoardFault{0, 0, false, 200, 0}}, {{OP_DATA, 8}, BoardFault{1, 0, false, 0, 0}}}, 1,
            false, BoardOutcome::Rebooted, true, 1, false},
    };
    for (const auto& c : cases) {
        SequencerBench bench;
        FakeBoard& board = bench.boards[ADDRESSES[0]];
        board.form = c.form;
        board.fixedSequence = c.fixed;
        board.copies = c.copies;
        board.shortRefusals = c.shortRefusals;
        for (const auto& [key, fault] : c.faults)
            board.faults[key] = fault;
        ASSERT_TRUE(bench.Start(10180, {ADDRESSES[0]}));
        bench.Run();
        ASSERT_EQ(bench.host.m_finished.size(), 1u) << c.what;
        const BoardEnd& end = bench.host.m_finished[0];
        EXPECT_EQ(end.outcome, c.outcome) << c.what << ": outcome";
        EXPECT_EQ(end.unconfirmed, c.unconfirmed) << c.what << ": unconfirmed";
        EXPECT_EQ(end.passes, c.passes) << c.what << ": passes";
        if (c.whole >= 0)
            EXPECT_EQ(board.image == bench.file.m_bytes, c.whole == 1) << c.what << ": image whole";
        if (c.outcome == BoardOutcome::NegativeAck)
            EXPECT_EQ(bench.SentTo(ADDRESSES[0], OP_DATA).size(), 6u) << c.what << ": a refused block sent again";
        if (c.outcome == BoardOutcome::OutOfStep)
            EXPECT_NE(bench.host.m_status.find(L"Restarting download IP 192.168.1.1\r\n"
                                               L"Acknowledgements out of step IP 192.168.1.1\r\n"),
                std::wstring::npos)
                << c.what;
    }
}

} // namespace
