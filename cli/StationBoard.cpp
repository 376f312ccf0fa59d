#include "cli/StationBoard.h"

#include "cli/OutputText.h"
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
        std::wstring text = L"ok, back after " + TenthsOfSeconds(b.m_return.m_nAfterMs) + L" s";
        if (b.m_return.m_strName != b.m_result.m_board.m_strName)
            text += L" as \"" + b.m_return.m_strName + L"\"";
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

std::uint32_t BlocksAcknowledged(const StationBoard& b, std::uint64_t imageSize)
{
    // An empty image still goes out as one empty block.
    const std::uint64_t all = imageSize == 0 ? 1 : (imageSize + DATA_BLOCK_SIZE - 1) / static_cast<std::uint64_t>(DATA_BLOCK_SIZE);
    if (!b.m_bStarted)
        return 0;
    switch (b.m_result.m_nOpcode) {
    case OP_FILENAME: return 0;
    case OP_DATA: return b.m_result.m_nBlock;
    case OP_DISCOVER: return 0;
    default: return static_cast<std::uint32_t>(all); // rebooted, or it ended at the reboot request
    }
}

StationCounts CountStation(const std::vector<StationBoard>& boards)
{
    StationCounts c;
    for (const StationBoard& b : boards) {
        ++c.boards;
        switch (VerdictOf(b)) {
        case StationVerdict::Served: ++c.served; break;
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
        + L" served, " + std::to_wstring(c.failed) + L" failed, " + std::to_wstring(c.skipped) + L" skipped, "
        + std::to_wstring(c.interrupted) + L" still running (interrupted) in " + TenthsOfSeconds(elapsedMs) + L" s";
}
