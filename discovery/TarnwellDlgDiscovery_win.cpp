// The main window's discovery commands and the unit list they fill.
#include "app/Settings.h"
#include "framework/WinApp.h"
#include "net/TextCodec.h"
#include "ui/PingList.h"
#include "ui/PingSpecific.h"
#include "ui/TarnwellDlg.h"

void CTarnwellDlg::ClearUnits()
{
    m_boards.clear();
    m_listUnits.ResetContent();
}

void CTarnwellDlg::BuildDiscoveryRequest()
{
    BuildDiscoverRequest(m_packet);
}

void CTarnwellDlg::OnSearch()
{
    RestartStatus(STATUS_SEARCHING);
    ClearUnits();
    BuildDiscoveryRequest();
    SendToAllAdapters(m_packet.m_bytes);
}

void CTarnwellDlg::OnPingList()
{
    CPingList dlg;
    dlg.m_strList = AfxGetApp()->GetProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, L"");
    dlg.m_strList = PingListToDialogForm(dlg.m_strList);
    if (dlg.DoModal() != IDOK)
        return;
    dlg.m_strList = PingListToStoredForm(dlg.m_strList);
    AfxGetApp()->WriteProfileStringW(SETTINGS_SECTION, SETTING_PING_LIST, dlg.m_strList.c_str());
    ClearUnits();
    StartPingStatus(STATUS_SEARCHING_PING_LIST);
    BuildDiscoveryRequest();
    for (const std::wstring& target : PingListTargets(dlg.m_strList))
        SendToBoard(target, m_packet.m_bytes, BOARD_HEADER_SIZE);
}

void CTarnwellDlg::OnPingSpecific()
{
    CPingSpecific dlg;
    dlg.m_dwAddress = AfxGetApp()->GetProfileIntW(SETTINGS_SECTION, SETTING_PING_SPECIFIC, 0);
    if (dlg.DoModal() != IDOK)
        return;
    AfxGetApp()->WriteProfileInt(SETTINGS_SECTION, SETTING_PING_SPECIFIC, static_cast<int>(dlg.m_dwAddress));
    ClearUnits();
    StartPingStatus(STATUS_SEARCHING_SPECIFIC);
    BuildDiscoveryRequest();
    SendToBoard(FormatAddress(dlg.m_dwAddress), m_packet.m_bytes, BOARD_HEADER_SIZE);
}

// During a download the log holds its report, the lines that say which boards
// failed; a Ping then puts its line on top and keeps them.
void CTarnwellDlg::StartPingStatus(const std::wstring& line)
{
    if (m_bReady)
        RestartStatus(line);
    else
        LogStatus(line);
}

void CTarnwellDlg::RunStartupProbe()
{
    if (!IsProbeCommandLine(AfxGetApp()->m_lpCmdLine))
        return;
    BuildDiscoveryRequest();
    for (const wchar_t* address : PROBE_ADDRESSES)
        SendToBoard(address, m_packet.m_bytes, BOARD_HEADER_SIZE);
}

// Record and line go in together, or neither: a line the list box refuses takes
// its record back out, so line i always shows record i.
void CTarnwellDlg::OnDiscoveryReply(const BoardReply& reply, const std::wstring& sender)
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
void CTarnwellDlg::HoldUnitsRedraw()
{
    if (m_bUnitsRedrawHeld)
        return;
    m_listUnits.SendMessage(WM_SETREDRAW, FALSE);
    m_bUnitsRedrawHeld = true;
    SetTimer(UNITS_REDRAW_TIMER_ID, UNITS_REDRAW_DELAY_MS);
}

void CTarnwellDlg::ReleaseUnitsRedraw()
{
    KillTimer(UNITS_REDRAW_TIMER_ID);
    if (!m_bUnitsRedrawHeld)
        return;
    m_bUnitsRedrawHeld = false;
    m_listUnits.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_listUnits.m_hWnd, nullptr, TRUE);
}
