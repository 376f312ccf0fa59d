#include "discovery/Discovery_win.h"

#include "discovery/IStatusLog.h"
#include "framework/DataExchange.h"
#include "framework/WinApp.h"
#include "net/BoardLink_win.h"
#include "net/IPv4.h"
#include "res/resource.h"

CDiscovery::CDiscovery(const CWnd& window, UINT_PTR redrawTimer, CBoardLink& link, IStatusLog& log)
    : m_window(window), m_nRedrawTimer(redrawTimer), m_link(link), m_log(log)
{
}

std::vector<BoardList> CDiscovery::SelectedBoards() const
{
    // Line i shows record i; a line beyond the records is never there, but is not trusted.
    std::vector<BoardList> boards;
    for (int index : m_listUnits.GetSelItems()) {
        if (index >= 0 && static_cast<std::size_t>(index) < m_boards.size())
            boards.push_back(m_boards[static_cast<std::size_t>(index)]);
    }
    return boards;
}

void CDiscovery::KeepSelected(const std::vector<bool>& keep)
{
    const std::vector<int> selected = m_listUnits.GetSelItems();
    for (std::size_t i = 0; i < selected.size() && i < keep.size(); ++i) {
        if (!keep[i])
            m_listUnits.SetSel(selected[i], FALSE);
    }
}

void CDiscovery::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_UNITS, m_listUnits);
}

void CDiscovery::ClearUnits()
{
    m_boards.clear();
    m_listUnits.ResetContent();
}

void CDiscovery::Search()
{
    m_log.RestartStatus(STATUS_SEARCHING);
    ClearUnits();
    BuildDiscoverRequest(m_packet);
    m_link.SendToAllAdapters(m_packet.m_bytes);
}

void CDiscovery::PingList(const std::wstring& stored)
{
    ClearUnits();
    m_log.StartPingStatus(STATUS_SEARCHING_PING_LIST);
    BuildDiscoverRequest(m_packet);
    for (const std::wstring& target : PingListTargets(stored))
        m_link.SendToBoard(target, m_packet.m_bytes, BOARD_HEADER_SIZE);
}

void CDiscovery::PingSpecific(std::uint32_t address)
{
    ClearUnits();
    m_log.StartPingStatus(STATUS_SEARCHING_SPECIFIC);
    BuildDiscoverRequest(m_packet);
    m_link.SendToBoard(FormatAddress(address), m_packet.m_bytes, BOARD_HEADER_SIZE);
}

void CDiscovery::RunStartupProbe()
{
    if (!IsProbeCommandLine(AfxGetApp()->m_lpCmdLine))
        return;
    BuildDiscoverRequest(m_packet);
    for (const wchar_t* address : PROBE_ADDRESSES)
        m_link.SendToBoard(address, m_packet.m_bytes, BOARD_HEADER_SIZE);
}

// Record and line go in together, or neither: a line the list box refuses takes
// its record back out, so line i always shows record i.
void CDiscovery::OnDiscoveryReply(const BoardReply& reply, const std::wstring& sender)
{
    BoardList board = MakeBoardList(reply, sender);
    m_boards.push_back(board);
    HoldUnitsRedraw();
    int line = m_listUnits.AddString(FormatUnitLine(board));
    if (line < 0)
        m_boards.pop_back();
}

// Every board answers a broadcast at once, and a list box that repaints itself
// and its scroll bar for each added line takes milliseconds a line. During a
// burst the list is filled without painting and shown again shortly after.
void CDiscovery::HoldUnitsRedraw()
{
    if (m_bUnitsRedrawHeld)
        return;
    m_listUnits.SendMessage(WM_SETREDRAW, FALSE);
    m_bUnitsRedrawHeld = true;
    m_window.SetTimer(m_nRedrawTimer, UNITS_REDRAW_DELAY_MS);
}

void CDiscovery::ReleaseUnitsRedraw()
{
    m_window.KillTimer(m_nRedrawTimer);
    if (!m_bUnitsRedrawHeld)
        return;
    m_bUnitsRedrawHeld = false;
    m_listUnits.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_listUnits.m_hWnd, nullptr, TRUE);
}
