#include "cli/report/StationBoard.h"

#include "cli/report/OutputText.h"
#include "net/BoardPacket.h"

namespace {

const wchar_t* const UNCONFIRMED_REASON = L"the board's acknowledgements carry no block numbers";

// "3.2": tenths of a second, as the result lines give times.
std::wstring TenthsOfSeconds(std::uint64_t ms)
{
    const std::uint64_t tenths = (ms + 50) / 100;
    return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
}

// "5", "0.5", "1.25": a time as it was typed in seconds.
std::wstring PlainSeconds(std::uint64_t ms)
{
    std::wstring text = std::to_wstring(ms / 1000);
    if (ms % 1000 != 0) {
        std::wstring fraction = std::to_wstring(ms % 1000 + 1000).substr(1);
        while (fraction.back() == L'0')
            fraction.pop_back();
        text += L"." + fraction;
    }
    return text;
}

std::wstring RequestName(const BoardResult& r)
{
    switch (r.m_nOpcode) {
    case OP_DISCOVER: return L"discovery";
    case OP_FILENAME: return L"the file name request";
    case OP_DATA: return L"data block " + std::to_wstring(r.m_nBlock);
    case OP_REBOOT: return L"the reboot request";
    default: return L"a request";
    }
}

bool NeverAnswered(const BoardResult& r)
{
    return r.m_kind == ResultKind::NoReply && r.m_nOpcode == OP_DISCOVER;
}

// A flash cut short knows how far its download had come; a watch's board
// (m_bInterrupted) says only where it was, or that it never started.
std::wstring InterruptedAt(const StationBoard& b)
{
    const BoardResult& r = b.m_result;
    if (r.m_nOpcode == OP_DATA && !b.m_bInterrupted)
        return L"interrupted at block " + std::to_wstring(r.m_nBlock) + L" of " + std::to_wstring(r.m_nBlocks);
    if (b.m_bInterrupted && r.m_nOpcode != OP_FILENAME && r.m_nOpcode != OP_DATA && r.m_nOpcode != OP_REBOOT)
        return L"interrupted before its download started";
    return L"interrupted at " + RequestName(r);
}

// What the download alone says of the board.
std::wstring DescribeDownload(const StationBoard& b)
{
    const BoardResult& r = b.m_result;
    switch (r.m_kind) {
    // A board whose acks carry no block number cannot show which block an ack
    // answered: a late or repeated one may have stood for a block that never
    // arrived. The protocol cannot tell, so the result says so.
    case ResultKind::Ok: return r.m_bUnconfirmed ? L"ok, unconfirmed (" + std::wstring(UNCONFIRMED_REASON) + L")" : L"ok";
    case ResultKind::NotConfirmed:
        return L"rebooted but not confirmed (" + std::wstring(UNCONFIRMED_REASON) + L"; --require-confirmed)";
    case ResultKind::OutOfStep:
        // Acks beyond the requests can show only after the last block, with the reboot request out.
        return L"acknowledgements out of step at data block " + std::to_wstring(r.m_nBlock)
            + (r.m_bRebootSent ? L"; the reboot request had gone out" : L"; not rebooted");
    case ResultKind::NoReply: return L"no reply to " + RequestName(r);
    case ResultKind::NegativeAck: return L"negative acknowledgement of " + RequestName(r);
    case ResultKind::FileError: return L"file error reading the image";
    case ResultKind::Skipped: return L"skipped: another kind (no \"" + r.m_strLabel + L"\" in its name)";
    case ResultKind::Busy: return L"being updated by another program";
    case ResultKind::Interrupted: return InterruptedAt(b);
    case ResultKind::NotStarted: return L"not started";
    }
    return std::wstring();
}

// "12 boards: 6 served (1 unconfirmed)", the start both summaries share.
std::wstring CountsOpening(const StationCounts& c, const wchar_t* served)
{
    return std::to_wstring(c.boards) + (c.boards == 1 ? L" board: " : L" boards: ") + std::to_wstring(c.served)
        + served + (c.unconfirmed > 0 ? L" (" + std::to_wstring(c.unconfirmed) + L" unconfirmed)" : L"");
}

} // namespace

BoardResult ResultOfDownload(const BoardList& board, const DownloadEnd& end, bool requireConfirmed)
{
    BoardResult r{end, board, ResultKind::NoReply, std::wstring()};
    r.m_bUnconfirmed = false; // only a reboot is unconfirmed
    if (end.m_cut != DownloadCut::None) {
        r.m_kind = end.m_cut == DownloadCut::Interrupted ? ResultKind::Interrupted : ResultKind::NotStarted;
        return r;
    }
    switch (end.m_outcome) {
    case BoardOutcome::Rebooted:
        r.m_bUnconfirmed = end.m_bUnconfirmed;
        r.m_kind = r.m_bUnconfirmed && requireConfirmed ? ResultKind::NotConfirmed : ResultKind::Ok;
        break;
    case BoardOutcome::OutOfStep: r.m_kind = ResultKind::OutOfStep; break;
    case BoardOutcome::NoReply: r.m_kind = ResultKind::NoReply; break;
    case BoardOutcome::NegativeAck: r.m_kind = ResultKind::NegativeAck; break;
    case BoardOutcome::FileError: r.m_kind = ResultKind::FileError; break;
    case BoardOutcome::HeldElsewhere: r.m_kind = ResultKind::Busy; break;
    }
    return r;
}

bool IsConfirmed(const BoardResult& r)
{
    return (r.m_kind == ResultKind::Ok || r.m_kind == ResultKind::NotConfirmed) && !r.m_bUnconfirmed;
}

StationVerdict VerdictOf(const StationBoard& b)
{
    const ResultKind kind = b.m_result.m_kind;
    if (b.m_bInterrupted || kind == ResultKind::Interrupted || b.m_return.m_state == ReturnOutcome::State::Interrupted)
        return StationVerdict::Interrupted;
    if (kind == ResultKind::Skipped)
        return StationVerdict::Skipped;
    if (kind == ResultKind::NotStarted)
        return StationVerdict::NotStarted;
    if (kind != ResultKind::Ok || b.m_return.m_state == ReturnOutcome::State::NotBack)
        return StationVerdict::Failed;
    return StationVerdict::Served;
}

std::wstring DescribeStation(const StationBoard& b, std::uint64_t returnLimitMs)
{
    if (b.m_bInterrupted)
        return InterruptedAt(b);
    if (b.m_bServedBefore)
        return L"skipped: already served with this image (in the record)";
    switch (b.m_return.m_state) {
    case ReturnOutcome::State::NotChecked: break;
    case ReturnOutcome::State::Back: {
        std::wstring text = DescribeDownload(b) + L", back after " + TenthsOfSeconds(b.m_return.m_nAfterMs) + L" s";
        if (b.m_return.m_strName != b.m_result.m_board.m_strName)
            text += L" as \"" + BoardTextForLine(b.m_return.m_strName) + L"\"";
        return text;
    }
    case ReturnOutcome::State::NotBack:
        return L"rebooted, did not come back within " + PlainSeconds(returnLimitMs) + L" s";
    case ReturnOutcome::State::Interrupted:
        return L"rebooted, interrupted after " + TenthsOfSeconds(b.m_return.m_nAfterMs)
            + L" s of waiting for its return";
    }
    return DescribeDownload(b);
}

std::wstring FormatStationLine(const StationBoard& b, std::uint64_t returnLimitMs)
{
    return b.m_result.m_board.m_strIP + L"\t" + DescribeStation(b, returnLimitMs) + L"\t"
        + BoardTextForLine(b.m_result.m_board.m_strName);
}

const char* StationKeyword(const StationBoard& b)
{
    if (b.m_bInterrupted || b.m_return.m_state == ReturnOutcome::State::Interrupted)
        return "interrupted";
    if (b.m_return.m_state == ReturnOutcome::State::NotBack)
        return "not-back";
    switch (b.m_result.m_kind) {
    case ResultKind::Ok:
    case ResultKind::NotConfirmed: return "ok";
    case ResultKind::OutOfStep: return "out-of-step";
    case ResultKind::NoReply: return "no-reply";
    case ResultKind::NegativeAck: return "nak";
    case ResultKind::FileError: return "file-error";
    case ResultKind::Skipped: return "skipped";
    case ResultKind::Busy: return "busy";
    case ResultKind::Interrupted: return "interrupted";
    case ResultKind::NotStarted: return "not-started";
    }
    return "";
}

const char* RequestKeyword(std::uint8_t opcode)
{
    switch (opcode) {
    case OP_DISCOVER: return "discover";
    case OP_FILENAME: return "filename";
    case OP_DATA: return "data";
    case OP_REBOOT: return "reboot";
    default: return "";
    }
}

StationCounts CountStation(const std::vector<StationBoard>& boards)
{
    StationCounts c;
    for (const StationBoard& b : boards) {
        ++c.boards;
        switch (VerdictOf(b)) {
        case StationVerdict::Served:
            ++c.served;
            c.unconfirmed += b.m_result.m_bUnconfirmed ? 1 : 0;
            break;
        case StationVerdict::Failed:
            ++c.failed;
            c.unanswered += NeverAnswered(b.m_result) ? 1 : 0;
            break;
        case StationVerdict::Skipped: ++c.skipped; break;
        case StationVerdict::Interrupted: ++c.interrupted; break;
        case StationVerdict::NotStarted: ++c.notStarted; break;
        }
    }
    return c;
}

std::wstring FormatSummary(const StationCounts& c, std::uint64_t elapsedMs)
{
    // What only some runs have is named only when it happened.
    std::wstring summary = CountsOpening(c, L" ok") + L", " + std::to_wstring(c.failed) + L" failed";
    if (c.unanswered > 0)
        summary += L" (" + std::to_wstring(c.unanswered) + L" did not answer)";
    summary += L", " + std::to_wstring(c.skipped) + L" skipped";
    if (c.interrupted > 0 || c.notStarted > 0)
        summary += L", " + std::to_wstring(c.interrupted) + L" interrupted, " + std::to_wstring(c.notStarted) + L" not started";
    return summary + L" in " + TenthsOfSeconds(elapsedMs) + L" s";
}

std::wstring FormatStationSummary(const StationCounts& c, std::uint64_t elapsedMs)
{
    return CountsOpening(c, L" served") + L", " + std::to_wstring(c.failed) + L" failed, " + std::to_wstring(c.skipped)
        + L" skipped, " + std::to_wstring(c.interrupted) + L" still running (interrupted) in " + TenthsOfSeconds(elapsedMs)
        + L" s";
}

CliExit FlashExitCode(const StationCounts& c, bool boardsNamed)
{
    // None matched when none was started: each was of another kind, cut short before its turn, or silent.
    if (c.boards == c.skipped + c.notStarted + c.unanswered)
        return CliExit::NoBoardMatched;
    return c.served + (boardsNamed ? 0 : c.skipped) == c.boards ? CliExit::Ok : CliExit::SomeFailed;
}
