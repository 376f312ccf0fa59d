#include "cli/report/BoardResult.h"

#include "cli/report/OutputText.h"
#include "net/BoardPacket.h"

namespace {

const wchar_t* const UNCONFIRMED_REASON = L"the board's acknowledgements carry no block numbers";

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

bool WasServed(const BoardResult& r)
{
    return r.m_kind != ResultKind::Skipped && r.m_kind != ResultKind::NotStarted && !NeverAnswered(r);
}

std::wstring InterruptedAt(const BoardResult& r)
{
    if (r.m_nOpcode == OP_DATA)
        return L"interrupted at block " + std::to_wstring(r.m_nBlock) + L" of " + std::to_wstring(r.m_nBlocks);
    return L"interrupted at " + RequestName(r);
}

} // namespace

BoardResult ResultOfDownload(const BoardList& board, const DownloadEnd& end, bool requireConfirmed)
{
    BoardResult r;
    r.m_board = board;
    r.m_nOpcode = end.m_nOpcode;
    r.m_nBlock = end.m_nBlock;
    r.m_nBlocks = end.m_nBlocks;
    r.m_nAcked = end.m_nAcked;
    r.m_bRebootSent = end.m_bRebootSent;
    if (end.m_cut != DownloadCut::None) {
        r.m_kind = end.m_cut == DownloadCut::Interrupted ? ResultKind::Interrupted : ResultKind::NotStarted;
        r.m_nPasses = end.m_cut == DownloadCut::Interrupted ? end.m_nPasses : 0;
        return r;
    }
    r.m_nPasses = end.m_outcome == BoardOutcome::HeldElsewhere ? 0 : end.m_nPasses;
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

std::wstring DescribeResult(const BoardResult& r)
{
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
    case ResultKind::Interrupted: return InterruptedAt(r);
    case ResultKind::NotStarted: return L"not started";
    }
    return std::wstring();
}

std::wstring FormatResultLine(const BoardResult& r)
{
    return r.m_board.m_strIP + L"\t" + DescribeResult(r) + L"\t" + BoardTextForLine(r.m_board.m_strName);
}

ResultCounts CountResults(const std::vector<BoardResult>& results)
{
    ResultCounts c;
    for (const BoardResult& r : results) {
        ++c.boards;
        if (r.m_kind == ResultKind::Ok) {
            ++c.ok;
            c.unconfirmed += r.m_bUnconfirmed ? 1 : 0;
        }
        else if (r.m_kind == ResultKind::Skipped)
            ++c.skipped;
        else if (r.m_kind == ResultKind::Interrupted)
            ++c.interrupted;
        else if (r.m_kind == ResultKind::NotStarted)
            ++c.notStarted;
        else
            ++c.failed;
        if (NeverAnswered(r))
            ++c.unanswered;
    }
    return c;
}

std::wstring FormatSummary(const ResultCounts& c, std::uint64_t elapsedMs)
{
    const std::uint64_t tenths = (elapsedMs + 50) / 100;
    // What only some runs have is named only when it happened.
    std::wstring summary = std::to_wstring(c.boards) + (c.boards == 1 ? L" board: " : L" boards: ")
        + std::to_wstring(c.ok) + L" ok";
    if (c.unconfirmed > 0)
        summary += L" (" + std::to_wstring(c.unconfirmed) + L" unconfirmed)";
    summary += L", " + std::to_wstring(c.failed) + L" failed";
    if (c.unanswered > 0)
        summary += L" (" + std::to_wstring(c.unanswered) + L" did not answer)";
    summary += L", " + std::to_wstring(c.skipped) + L" skipped";
    if (c.interrupted > 0 || c.notStarted > 0)
        summary += L", " + std::to_wstring(c.interrupted) + L" interrupted, " + std::to_wstring(c.notStarted) + L" not started";
    return summary + L" in " + std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" s";
}

CliExit FlashExitCode(const std::vector<BoardResult>& results, bool boardsNamed)
{
    bool served = false, failed = false;
    for (const BoardResult& r : results) {
        served = served || WasServed(r);
        if (r.m_kind != ResultKind::Ok && (boardsNamed || r.m_kind != ResultKind::Skipped))
            failed = true;
    }
    if (!served)
        return CliExit::NoBoardMatched;
    return failed ? CliExit::SomeFailed : CliExit::Ok;
}

const char* ResultKeyword(ResultKind kind)
{
    switch (kind) {
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
