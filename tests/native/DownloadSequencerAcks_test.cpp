#include <gtest/gtest.h>

#include <algorithm>

#include "SequencerBench.h"

namespace {

const std::wstring A = L"192.168.1.1", B = L"192.168.1.2", C = L"192.168.1.3";

// Faults of one scenario, applied to a board of the given form.
struct Scenario {
    const char* what;
    std::vector<std::pair<std::pair<int, std::uint32_t>, BoardFault>> faults;
};

const Scenario DUPLICATE_THEN_LATE_REFUSAL = {"block 0 acked twice, block 1 refused late",
    {{{OP_DATA, 0}, BoardFault{0, 0, false, 500}}, {{OP_DATA, 1}, BoardFault{0, 2000, true, 0}}}};
const Scenario VERY_LATE_FIRST_BLOCK = {"block 0 acked 7 s late, block 1 lost once",
    {{{OP_DATA, 0}, BoardFault{0, 7000, false, 0}}, {{OP_DATA, 1}, BoardFault{1, 0, false, 0}}}};
const Scenario LATE_BLOCK_THREE = {"block 3 acked 6 s late, block 4 lost once",
    {{{OP_DATA, 3}, BoardFault{0, 6000, false, 0}}, {{OP_DATA, 4}, BoardFault{1, 0, false, 0}}}};

void Apply(FakeBoard& board, const Scenario& scenario)
{
    for (const auto& [key, fault] : scenario.faults)
        board.faults[key] = fault;
}

std::string FormName(AckForm form, std::uint32_t fixed)
{
    switch (form) {
    case AckForm::Short: return "2-byte acks";
    case AckForm::ZeroHeader: return "zero headers";
    case AckForm::Echo: return "echoed headers";
    case AckForm::FixedSequence: return "sequence fixed at " + std::to_string(fixed);
    case AckForm::NoLength: return "echoed sequence, length 0";
    }
    return "";
}

// An echoing board never gets a stray ack counted for the block out: it ends
// with the whole image or fails, whichever block the stray one came from.
TEST(DownloadSequencerAcks, StrayAckNeverCountsForAnotherBlockOfAnEchoingBoard)
{
    const struct {
        const Scenario& scenario;
        AckForm form;
        BoardOutcome outcome;
    } cases[] = {
        {DUPLICATE_THEN_LATE_REFUSAL, AckForm::Echo, BoardOutcome::NegativeAck},
        {VERY_LATE_FIRST_BLOCK, AckForm::Echo, BoardOutcome::Rebooted},
        {LATE_BLOCK_THREE, AckForm::Echo, BoardOutcome::Rebooted},
        // Known to echo only from its data acks (blocks 1 and 2), in time for block 3's.
        {LATE_BLOCK_THREE, AckForm::NoLength, BoardOutcome::Rebooted},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.scenario.what) + ", " + FormName(c.form, 0);
        SequencerBench bench;
        FakeBoard& board = bench.boards[A];
        board.form = c.form;
        Apply(board, c.scenario);
        ASSERT_TRUE(bench.Start(3000, {A}));
        bench.Run();
        ASSERT_EQ(bench.host.m_finished.size(), 1u) << what;
        const auto& finished = bench.host.m_finished[0];
        EXPECT_EQ(finished.outcome, c.outcome) << what << ": outcome";
        EXPECT_EQ(board.gaps, 0) << what << ": a block was skipped";
        if (c.outcome == BoardOutcome::Rebooted)
            EXPECT_EQ(board.image, bench.file.m_bytes) << what << ": image";
        else
            EXPECT_EQ(bench.Trace(A), "N23 D0:512 D1:512") << what << ": requests after the refused block";
        EXPECT_FALSE(finished.unconfirmed) << what << ": an echoing board's result is known";
        EXPECT_EQ(bench.overlaps, 0) << what << ": two requests out at once";
    }
}

// Boards whose acks carry no usable block number are never failed for it, and
// only a board that echoes block numbers is confirmed. A board whose sequence
// stays 0 looks like an echoing one until block 1: it is asked for that block twice.
TEST(DownloadSequencerAcks, EveryAckFormGetsTheWholeImage)
{
    const std::string ONCE = "N23 D0:512 D1:512 D2:512 D3:512 D4:512 D5:512 D6:484 R8";
    const std::string BLOCK_1_TWICE = "N23 D0:512 D1:512 D1:512 D2:512 D3:512 D4:512 D5:512 D6:484 R8";
    const struct {
        AckForm form;
        std::uint32_t fixed;
        const std::string& trace;
        bool confirmed;
    } cases[] = {
        {AckForm::Echo, 0, ONCE, true}, {AckForm::Short, 0, ONCE, false}, {AckForm::ZeroHeader, 0, BLOCK_1_TWICE, false},
        {AckForm::NoLength, 0, ONCE, true}, {AckForm::FixedSequence, 0, BLOCK_1_TWICE, false},
        {AckForm::FixedSequence, 1, ONCE, false}, {AckForm::FixedSequence, 2, ONCE, false},
        {AckForm::FixedSequence, 5, ONCE, false}, {AckForm::FixedSequence, 0xFFFFFFFFu, ONCE, false},
    };
    for (const auto& c : cases) {
        const std::string what = FormName(c.form, c.fixed);
        SequencerBench bench;
        bench.boards[A].form = c.form;
        bench.boards[A].fixedSequence = c.fixed;
        bench.boards[B];
        ASSERT_TRUE(bench.Start(3500, {A, B}));
        bench.Run();
        EXPECT_EQ(bench.Trace(A), c.trace) << what << ": requests";
        EXPECT_EQ(bench.boards[A].image, bench.file.m_bytes) << what << ": image";
        ASSERT_EQ(bench.host.m_finished.size(), 2u) << what;
        EXPECT_TRUE(bench.host.m_finished[0].outcome == BoardOutcome::Rebooted
            && bench.host.m_finished[0].unconfirmed != c.confirmed)
            << what << ": a clean run is a reboot, confirmed only when the acks echo block numbers";
        EXPECT_EQ(bench.Trace(B), ONCE) << what << ": the next board starts afresh";
    }
}

// Where the acks cannot tell one block from another, a stray ack leaves the
// result unconfirmed; acks beyond the requests sent start the board over.
TEST(DownloadSequencerAcks, BoardThatCannotProveItsAcksIsUnconfirmedOrStartedOver)
{
    const Scenario CLEAN = {"no fault", {}};
    const Scenario LOST_BLOCK = {"block 3 lost once", {{{OP_DATA, 3}, BoardFault{1, 0, false, 0}}}};
    const Scenario ACKED_TWICE = {"block 3 acked twice", {{{OP_DATA, 3}, BoardFault{0, 0, false, 2}}}};
    const Scenario LOST_NAME = {"the file name lost once", {{{OP_FILENAME, 0}, BoardFault{1, 0, false, 0}}}};
    const struct {
        const Scenario& scenario;
        AckForm form;
        std::uint32_t fixed;
        bool unconfirmed;
        BoardOutcome outcome;
    } cases[] = {
        {CLEAN, AckForm::Short, 0, true, BoardOutcome::Rebooted},
        {LOST_NAME, AckForm::Short, 0, true, BoardOutcome::Rebooted},
        {LATE_BLOCK_THREE, AckForm::Short, 0, true, BoardOutcome::Rebooted},
        {LATE_BLOCK_THREE, AckForm::FixedSequence, 1, true, BoardOutcome::Rebooted},
        {LATE_BLOCK_THREE, AckForm::ZeroHeader, 0, true, BoardOutcome::Rebooted},
        {VERY_LATE_FIRST_BLOCK, AckForm::NoLength, 0, false, BoardOutcome::Rebooted},
        {VERY_LATE_FIRST_BLOCK, AckForm::FixedSequence, 5, true, BoardOutcome::Rebooted},
        {LOST_BLOCK, AckForm::Short, 0, true, BoardOutcome::Rebooted},
        {ACKED_TWICE, AckForm::Short, 0, true, BoardOutcome::Rebooted},
        {ACKED_TWICE, AckForm::Echo, 0, false, BoardOutcome::Rebooted},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.scenario.what) + ", " + FormName(c.form, c.fixed);
        SequencerBench bench;
        FakeBoard& board = bench.boards[A];
        board.form = c.form;
        board.fixedSequence = c.fixed;
        Apply(board, c.scenario);
        ASSERT_TRUE(bench.Start(3500, {A}));
        bench.Run();
        ASSERT_EQ(bench.host.m_finished.size(), 1u) << what;
        EXPECT_EQ(bench.host.m_finished[0].outcome, c.outcome) << what << ": outcome";
        EXPECT_EQ(bench.host.m_finished[0].unconfirmed, c.unconfirmed) << what << ": unconfirmed";
        // Only an unconfirmed result may hide a damaged image.
        if (c.outcome == BoardOutcome::Rebooted && !c.unconfirmed)
            EXPECT_EQ(board.image, bench.file.m_bytes) << what << ": image";
    }
}

// A board another program is updating is passed over and never sent to; every
// board served is claimed for its whole turn, whatever way the turn ends.
TEST(DownloadSequencerAcks, BoardHeldByAnotherProgramIsPassedOver)
{
    SequencerBench bench;
    bench.boards[A].silent = true;
    bench.boards[B];
    bench.boards[C].faults[{OP_DATA, 0}].nack = true;
    const std::wstring D = L"192.168.1.4", E = L"192.168.1.5";
    bench.boards[D];
    bench.boards[E];
    bench.host.m_heldElsewhere = {B, E};
    ASSERT_TRUE(bench.Start(1000, {A, B, C, D, E}));
    bench.Run();

    EXPECT_EQ(bench.host.m_claims,
        (std::vector<std::wstring>{L"+" + A, L"-" + A, L"?" + B, L"+" + C, L"-" + C, L"+" + D, L"-" + D, L"?" + E}))
        << "claims taken and released";
    EXPECT_TRUE(bench.Trace(B).empty() && bench.Trace(E).empty()) << "a held board was sent to";
    EXPECT_EQ(bench.boards[D].image, bench.file.m_bytes) << "the board after a held one";
    const std::wstring held = L"Unit at IP " + B + L" is being updated by another program.\r\n";
    EXPECT_NE(bench.host.m_status.find(held), std::wstring::npos) << "log lacks the held line";
    EXPECT_EQ(std::count(bench.host.m_lines.begin(), bench.host.m_lines.end(), held), 1) << "held line once";
    const auto& f = bench.host.m_finished;
    ASSERT_EQ(f.size(), 5u) << "one outcome per board";
    EXPECT_TRUE(f[1].board == 1 && f[1].outcome == BoardOutcome::HeldElsewhere) << "held board's outcome";
    EXPECT_TRUE(f[4].board == 4 && f[4].outcome == BoardOutcome::HeldElsewhere) << "last board held";
    EXPECT_TRUE(bench.host.m_bReady && !bench.file.IsOpen() && !bench.host.m_bTimer) << "idle after a held last board";
}

} // namespace
