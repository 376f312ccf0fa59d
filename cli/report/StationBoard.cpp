#include "cli/report/StationBoard.h"

#include "cli/report/OutputText.h"
#include "net/BoardPacket.h"

namespace {

std::wstring WhereText(const BoardResult& r)
{
    switch (r.m_nOpcode) {
    case OP_FILENAME: return L"at the file name request";
    case OP_DATA: return L"at data block " + std::to_wstring(r.m_nBlock);
    case OP_REBOOT: return L"at the reboot request";
    default: return L"before its download started";
    }
}

} // namespace

StationVerdict VerdictOf(const StationBoard& b)
{
    if (b.m_bInterrupted || b.m_return.m_state == ReturnOutcome::State::Interrupted)
        return StationVerdict::Interrupted;
    if (b.m_result.m_kind == ResultKind::Skipped)
        return StationVerdict::Skipped;
    if (b.m_result.m_kind != ResultKind::Ok || b.m_return.m_state == ReturnOutcome::State::NotBack)
        return StationVerdict::Failed;
    return StationVerdict::Served;
}

std::wstring DescribeStation(const StationBoard& b, std::uint64_t returnLimitMs)
{
    if (b.m_bInterrupted)
        return L"interrupted " + WhereText(b.m_result);
    if (b.m_bServedBefore)
        return L"skipped: already served with this image (in the record)";
    switch (b.m_return.m_state) {
    case ReturnOutcome::State::NotChecked: break;
    case ReturnOutcome::State::Back: {
        std::wstring text = DescribeResult(b.m_result) + L", back after " + TenthsOfSeconds(b.m_return.m_nAfterMs) + L" s";
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
    return DescribeResult(b.m_result);
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
    return ResultKeyword(b.m_result.m_kind);
}

ResultCounts CountFlash(const std::vector<StationBoard>& boards)
{
    std::vector<BoardResult> results;
    for (const StationBoard& b : boards)
        results.push_back(b.m_result);
    ResultCounts c = CountResults(results);
    // A board that acknowledged its reboot but did not come back counts as failed.
    for (const StationBoard& b : boards) {
        if (b.m_result.m_kind == ResultKind::Ok && b.m_return.m_state != ReturnOutcome::State::NotChecked
            && b.m_return.m_state != ReturnOutcome::State::Back) {
            --c.ok;
            ++c.failed;
            c.unconfirmed -= b.m_result.m_bUnconfirmed ? 1 : 0;
        }
    }
    return c;
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
        case StationVerdict::Failed: ++c.failed; break;
        case StationVerdict::Skipped: ++c.skipped; break;
        case StationVerdict::Interrupted: ++c.interrupted; break;
        }
    }
    return c;
}

std::wstring FormatStationSummary(const StationCounts& c, std::uint64_t elapsedMs)
{
    return std::to_wstring(c.boards) + (c.boards == 1 ? L" board: " : L" boards: ") + std::to_wstring(c.served)
        + L" served" + (c.unconfirmed > 0 ? L" (" + std::to_wstring(c.unconfirmed) + L" unconfirmed)" : L"") + L", "
        + std::to_wstring(c.failed) + L" failed, " + std::to_wstring(c.skipped) + L" skipped, "
        + std::to_wstring(c.interrupted) + L" still running (interrupted) in " + TenthsOfSeconds(elapsedMs) + L" s";
}
