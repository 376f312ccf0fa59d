#include "download/DownloadView.h"

#include "download/StatusLines.h"

void DownloadView::OnDownloadStarted(const std::wstring& path)
{
    RestartLog(DownloadingLine(path));
}

void DownloadView::OnOpenFailed(const std::wstring& path)
{
    Log(OpenFailedLine(path));
}

void DownloadView::OnBoardStarted(int, const std::wstring&)
{
    StartBar();
}

void DownloadView::OnRetrying(int, const std::wstring& address, std::uint8_t opcode)
{
    Log(RetryLine(opcode, address));
}

void DownloadView::OnRebootSent(int, const std::wstring& address)
{
    Log(RebootingLine(address));
}

void DownloadView::OnBlockAcked(const BlockAcked& acked)
{
    const bool last = acked.delivered >= acked.total;
    bool show = last;
    if (!last && acked.percent != m_nShownPercent)
        show = !m_bShownYet || acked.at - m_nShownAt >= PROGRESS_SPACING_MS;
    if (show) {
        m_nShownAt = acked.at;
        m_bShownYet = true;
        m_nShownPercent = acked.percent;
        // p + 1 first, then p: the control animates towards a position only when
        // it moves forward, so stepping past and back shows the bar at once.
        SetBarPos(acked.percent + 1);
        SetBarPos(acked.percent);
    }
    if (last) {
        // Past the end and back fills the bar without its animation.
        SetBarRange(101);
        SetBarPos(101);
        SetBarPos(100);
        SetBarRange(100);
    }
}

void DownloadView::OnBoardFinished(const BoardEnd& end)
{
    for (const std::wstring& line : BoardEndLines(end))
        Log(line);
}

void DownloadView::OnBoardRestarted(int, const std::wstring& address, std::uint32_t)
{
    for (const std::wstring& line : RestartLines(address))
        Log(line);
    StartBar();
}

void DownloadView::StartBar()
{
    m_nShownPercent = 0;
    m_bShownYet = false;
    SetBarPos(0);
}
