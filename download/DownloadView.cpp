#include "download/DownloadView.h"

#include "download/StatusLines.h"

void DownloadView::OnDownloadStarted(const std::wstring& path)
{
    m_screen.RestartLog(DownloadingLine(path));
}

void DownloadView::OnOpenFailed(const std::wstring& path)
{
    m_screen.Log(OpenFailedLine(path));
}

void DownloadView::OnBoardStarted()
{
    StartBar();
}

void DownloadView::OnRetrying(const std::wstring& address, std::uint8_t opcode)
{
    m_screen.Log(RetryLine(opcode, address));
}

void DownloadView::OnRebootSent(const std::wstring& address)
{
    m_screen.Log(RebootingLine(address));
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
        m_screen.SetBarPos(acked.percent + 1);
        m_screen.SetBarPos(acked.percent);
    }
    if (last) {
        // Past the end and back fills the bar without its animation.
        m_screen.SetBarRange(101);
        m_screen.SetBarPos(101);
        m_screen.SetBarPos(100);
        m_screen.SetBarRange(100);
    }
}

void DownloadView::OnBoardFinished(const BoardEnd& end)
{
    for (const std::wstring& line : BoardEndLines(end))
        m_screen.Log(line);
}

void DownloadView::OnBoardRestarted(const std::wstring& address)
{
    for (const std::wstring& line : RestartLines(address))
        m_screen.Log(line);
    StartBar();
}

void DownloadView::StartBar()
{
    m_nShownPercent = 0;
    m_bShownYet = false;
    m_screen.SetBarPos(0);
}
