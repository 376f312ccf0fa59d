#include "cli/lanes/StationTracker.h"

#include "cli/IClock.h"

StationTracker::StationTracker(IClock& clock, EventLoop& loop, BoardLink& link, std::uint64_t returnLimitMs,
    IFlashObserver& next, std::vector<StationBoard>& boards, Complete complete, bool requireConfirmed)
    : FlashRelay(next), m_clock(clock), m_boards(boards), m_complete(std::move(complete)),
      m_bRequireConfirmed(requireConfirmed)
{
    if (returnLimitMs != 0) {
        m_check = std::make_unique<ReturnCheck>(loop, link, returnLimitMs,
            [this](int board, const ReturnOutcome& outcome) {
                At(board).m_return = outcome;
                Close(board);
            });
    }
}

void StationTracker::Stamp(StationBoard& b)
{
    b.m_bStarted = true;
    b.m_nStartWallMs = m_clock.WallMs();
    b.m_nStartMs = m_clock.NowMs();
}

void StationTracker::OnBoardStarted(int board)
{
    Stamp(At(board));
    m_next.OnBoardStarted(board);
}

void StationTracker::OnBoardRetransmission(int board)
{
    ++At(board).m_nRetransmissions;
    m_next.OnBoardRetransmission(board);
}

void StationTracker::OnBoardFinished(int board, const DownloadEnd& end)
{
    StationBoard& b = At(board);
    const BoardList list = b.m_result.m_board;
    b.m_result = ResultOfDownload(list, end, m_bRequireConfirmed);
    // A lane that could not start reports its boards at once; a board never
    // begun keeps no start of its own (Close gives it its end).
    if (!b.m_bStarted && end.m_cut != DownloadCut::NotStarted)
        Stamp(b);
    m_next.OnBoardFinished(board, end);
    if (m_check != nullptr && end.m_outcome == BoardOutcome::Rebooted && end.m_cut == DownloadCut::None)
        m_check->Start(board, list.m_strIP);
    else
        Close(board);
}

void StationTracker::Interrupt(int board, const DownloadEnd& at)
{
    StationBoard& b = At(board);
    b.m_bInterrupted = true;
    b.m_result = BoardResult{at, b.m_result.m_board, ResultKind::NoReply, std::wstring()};
    Close(board);
}

void StationTracker::Close(int board)
{
    StationBoard& b = At(board);
    b.m_nEndWallMs = m_clock.WallMs();
    b.m_nEndMs = m_clock.NowMs();
    if (!b.m_bStarted) {
        b.m_nStartWallMs = b.m_nEndWallMs;
        b.m_nStartMs = b.m_nEndMs;
    }
    b.m_bComplete = true;
    // The progress view's last word on the board is its result line's.
    if (b.m_result.m_kind != ResultKind::Skipped)
        m_next.OnBoardReported(board, DescribeStation(b, m_check != nullptr ? m_check->LimitMs() : 0));
    if (m_complete)
        m_complete(b);
}
