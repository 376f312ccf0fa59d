#include "cli/StationTracker.h"

#include "cli/IClock.h"
#include "cli/ReturnCheck.h"

StationTracker::StationTracker(IClock& clock, IFlashObserver& next, std::vector<StationBoard>& boards,
    ReturnCheck* check, Complete complete)
    : m_clock(clock), m_next(next), m_boards(boards), m_check(check), m_complete(std::move(complete))
{
}

void StationTracker::OnStatusLine(const std::wstring& line)
{
    m_next.OnStatusLine(line);
}

void StationTracker::OnBoardStarted(int board)
{
    StationBoard& b = At(board);
    b.m_bStarted = true;
    b.m_nStartWallMs = m_clock.WallMs();
    b.m_nStartMs = m_clock.NowMs();
    m_next.OnBoardStarted(board);
}

void StationTracker::OnBoardProgress(int board, int percent)
{
    m_next.OnBoardProgress(board, percent);
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
    b.m_result = ResultOfDownload(list, end);
    if (!b.m_bStarted) { // a lane that could not start reports its boards at once
        b.m_bStarted = true;
        b.m_nStartWallMs = m_clock.WallMs();
        b.m_nStartMs = m_clock.NowMs();
    }
    m_next.OnBoardFinished(board, end);
    if (m_check != nullptr && end.m_outcome == BoardOutcome::Rebooted)
        m_check->Start(board, list.m_strIP);
    else
        Close(board);
}

void StationTracker::OnReturn(int board, const ReturnOutcome& outcome)
{
    At(board).m_return = outcome;
    Close(board);
}

void StationTracker::Interrupt(int board, const DownloadEnd& at)
{
    StationBoard& b = At(board);
    b.m_bInterrupted = true;
    b.m_result.m_kind = ResultKind::NoReply;
    b.m_result.m_nOpcode = at.m_nOpcode;
    b.m_result.m_nBlock = at.m_nBlock;
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
    if (m_complete)
        m_complete(board);
}
