#include "cli/BoardResult.h"

#include "net/BoardPacket.h"

namespace {

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

bool WasServed(const BoardResult& r)
{
    return r.m_kind != ResultKind::Skipped && !(r.m_kind == ResultKind::NoReply && r.m_nOpcode == OP_DISCOVER);
}

} // namespace

BoardResult ResultOfDownload(const BoardList& board, const DownloadEnd& end)
{
    BoardResult r;
    r.m_board = board;
    r.m_nOpcode = end.m_nOpcode;
    r.m_nBlock = end.m_nBlock;
    r.m_bUnconfirmed = end.m_bUnconfirmed;
    switch (end.m_outcome) {
    case BoardOutcome::Rebooted: r.m_kind = ResultKind::Ok; break;
    case BoardOutcome::NoReply: r.m_kind = ResultKind::NoReply; break;
    case BoardOutcome::NegativeAck: r.m_kind = ResultKind::NegativeAck; break;
    case BoardOutcome::FileError: r.m_kind = ResultKind::FileError; break;
    case BoardOutcome::HeldElsewhere: r.m_kind = ResultKind::Busy; break;
    }
    return r;
}

std::wstring DescribeResult(const BoardResult& r)
{
    switch (r.m_kind) {
    case ResultKind::Ok:
        return r.m_bUnconfirmed ? L"ok, unconfirmed (acknowledgements carry no block numbers and one came late or twice)"
                                : L"ok";
    case ResultKind::NoReply: return L"no reply to " + RequestName(r);
    case ResultKind::NegativeAck: return L"negative acknowledgement of " + RequestName(r);
    case ResultKind::FileError: return L"file error reading the image";
    case ResultKind::Skipped: return L"skipped: another kind (no \"" + r.m_strLabel + L"\" in its name)";
    case ResultKind::Busy: return L"being updated by another program";
    }
    return std::wstring();
}

std::wstring FormatResultLine(const BoardResult& r)
{
    return r.m_board.m_strIP + L"\t" + DescribeResult(r) + L"\t" + r.m_board.m_strName;
}

ResultCounts CountResults(const std::vector<BoardResult>& results)
{
    ResultCounts c;
    for (const BoardResult& r : results) {
        ++c.boards;
        if (r.m_kind == ResultKind::Ok)
            ++c.ok;
        else if (r.m_kind == ResultKind::Skipped)
            ++c.skipped;
        else
            ++c.failed;
    }
    return c;
}

std::wstring FormatSummary(const ResultCounts& c, std::uint64_t elapsedMs)
{
    const std::uint64_t tenths = (elapsedMs + 50) / 100;
    return std::to_wstring(c.boards) + (c.boards == 1 ? L" board: " : L" boards: ") + std::to_wstring(c.ok)
        + L" ok, " + std::to_wstring(c.failed) + L" failed, " + std::to_wstring(c.skipped) + L" skipped in "
        + std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" s";
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
    case ResultKind::Ok: return "ok";
    case ResultKind::NoReply: return "no-reply";
    case ResultKind::NegativeAck: return "nak";
    case ResultKind::FileError: return "file-error";
    case ResultKind::Skipped: return "skipped";
    case ResultKind::Busy: return "busy";
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
