#include "download/DownloadHost_win.h"

#include <shlwapi.h>

#include "app/Settings.h"
#include "discovery/Discovery_win.h"
#include "discovery/IStatusLog.h"
#include "download/FirmwareKind.h"
#include "download/StatusLines.h"
#include "framework/DataExchange.h"
#include "framework/FileDialog.h"
#include "framework/WinApp.h"
#include "net/BoardLink_win.h"
#include "net/TextCodec.h"
#include "res/resource.h"

namespace {

const wchar_t* const MSG_WRONG_FILE = L"This is the wrong file for upgrading firmware.";
const wchar_t* const MSG_NO_BOARDS = L"No boards selected.\r\n";
const wchar_t* const MSG_FILE_MISMATCH = L"The Download File: does not match the selected units.";
const wchar_t* const MSG_NO_MATCH = L"None of the selected units match this firmware.";
const wchar_t* const MSG_NAME_TOO_LONG =
    L"The firmware file name is too long to send to the boards.\r\nRename the file and choose it again.";
const wchar_t* const MSG_NAME_NOT_ANSI =
    L"The firmware file name holds characters that cannot be sent to the boards.\r\n"
    L"Rename the file and choose it again.";

const wchar_t* const MSG_PATH_TOO_LONG =
    L"The path of this file is too long for the file dialog.\r\nMove the file to a shorter path and choose it again.";
const wchar_t* const MSG_CAPTION = L"Tarnwell";

void ShowUserError(HWND hWnd, const wchar_t* text)
{
    ::MessageBoxW(hWnd, text, MSG_CAPTION, MB_OK | MB_ICONWARNING);
}

}  // namespace

CDownloadHost::CDownloadHost(const CWnd& window, IStatusLog& log, CBoardLink& link, const CDiscovery& units,
                             BYTE& ready)
    : m_window(window), m_log(log), m_link(link), m_listUnits(units.UnitList()), m_boards(units.Boards()),
      m_bReady(ready), m_sequencer(*this, m_file)
{
}

void CDownloadHost::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_FILE_EDIT, m_editFile);
}

void CDownloadHost::Init()
{
    m_strFirmwarePath = AfxGetApp()->GetProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L"");
    m_editFile.SetWindowText(m_strFirmwarePath);
    m_window.UpdateWindow();

    m_progress.SetRange(0, 100);
    m_progress.SetStep(1);
}

void CDownloadHost::ChooseFirmwareFile()
{
    CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, L"Firmware (*.bin)|*.bin||", m_window.m_hWnd);
    dlg.SetPathTooLongMessage(MSG_PATH_TOO_LONG, MSG_CAPTION);
    if (dlg.DoModal() != IDOK) {
        if (dlg.PathNotReturned())
            ShowUserError(m_window.m_hWnd, MSG_PATH_TOO_LONG);
        return;
    }
    std::wstring path = dlg.GetPathName();
    const wchar_t* fileName = ::PathFindFileNameW(path.c_str());
    if (!FindFirmwareKind(fileName)) {
        ShowUserError(m_window.m_hWnd, MSG_WRONG_FILE);
        return;
    }
    // The boards get the name in the workstation's code page; a character it
    // lacks would reach them as '?' or as a look-alike, so such a name is
    // refused while the user can still rename the file.
    if (!FitsAnsi(fileName)) {
        ShowUserError(m_window.m_hWnd, MSG_NAME_NOT_ANSI);
        return;
    }
    AfxGetApp()->WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, path.c_str());
    m_strFirmwarePath = path;
    m_editFile.SetWindowText(m_strFirmwarePath);
    m_window.UpdateWindow();
}

void CDownloadHost::StartDownload()
{
    if (m_listUnits.GetSelCount() <= 0) {
        ShowUserError(m_window.m_hWnd, MSG_NO_BOARDS);
        return;
    }
    std::wstring fileName = ::PathFindFileNameW(m_strFirmwarePath.c_str());
    const std::vector<int> selected = m_listUnits.GetSelItems();
    std::vector<std::wstring> lines;
    for (int index : selected)
        lines.push_back(m_listUnits.GetText(index));
    const BoardChoice choice = ChooseBoards(fileName, lines);
    if (!choice.kind) {
        ShowUserError(m_window.m_hWnd, MSG_FILE_MISMATCH);
        return;
    }
    for (std::size_t i = 0; i < selected.size(); ++i) {
        if (!choice.served[i])
            m_listUnits.SetSel(selected[i], FALSE);
    }
    if (m_listUnits.GetSelCount() <= 0) {
        ShowUserError(m_window.m_hWnd, MSG_NO_MATCH);
        return;
    }
    if (!FitsAnsi(fileName)) {
        ShowUserError(m_window.m_hWnd, MSG_NAME_NOT_ANSI);
        return;
    }
    std::string ansiName = WideToAnsi(fileName);
    if (!FileNameFits(ansiName)) {
        ShowUserError(m_window.m_hWnd, MSG_NAME_TOO_LONG);
        return;
    }
    // The download keeps the addresses it starts with: discovery may empty the
    // unit list while it runs.
    std::vector<std::wstring> addresses;
    for (int index : m_listUnits.GetSelItems()) {
        if (index >= 0 && static_cast<size_t>(index) < m_boards.size())
            addresses.push_back(m_boards[static_cast<size_t>(index)].m_strIP);
    }
    m_sequencer.Start(m_strFirmwarePath, ansiName, addresses);
}

void CDownloadHost::OnRetryTimer()
{
    m_sequencer.OnTick(::GetTickCount64());
    AimRetryTimer(m_sequencer.NextDeadline());
}

// Every request moves the reply deadline on, thousands of times a second on a
// fast link. Rather than set and kill the window timer each time, the timer is
// re-aimed only when it fires early or the deadline comes nearer.
void CDownloadHost::AimRetryTimer(std::uint64_t deadline)
{
    if (deadline == NO_DEADLINE) {
        if (m_bRetryTimerSet)
            m_window.KillTimer(RETRY_TIMER_ID);
        m_bRetryTimerSet = false;
        return;
    }
    const ULONGLONG now = ::GetTickCount64();
    m_window.SetTimer(RETRY_TIMER_ID, deadline > now ? static_cast<UINT>(deadline - now) : USER_TIMER_MINIMUM);
    m_bRetryTimerSet = true;
    m_ullTimerDue = deadline;
}

bool CDownloadHost::SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length)
{
    return m_link.SendToBoard(target, packet, length);
}

std::uint64_t CDownloadHost::NowMs()
{
    return ::GetTickCount64();
}

void CDownloadHost::PostSequencerMessage(SequencerMessage message)
{
    m_window.PostMessage(WM_APP + static_cast<UINT>(message), 0, 0);
}

void CDownloadHost::ScheduleTick(std::uint64_t deadline)
{
    // A cleared deadline leaves the timer to find nothing to do when it fires.
    if (deadline != NO_DEADLINE && (!m_bRetryTimerSet || deadline < m_ullTimerDue))
        AimRetryTimer(deadline);
}

void CDownloadHost::OnDownloadStarted(const std::wstring& path)
{
    m_bReady = FALSE;
    m_log.RestartStatus(DownloadingLine(path));
}

void CDownloadHost::OnOpenFailed(const std::wstring& path)
{
    m_log.LogStatus(OpenFailedLine(path));
    m_bReady = TRUE;
}

void CDownloadHost::OnBoardStarted(int, const std::wstring&)
{
    m_progress.SetPos(0);
}

void CDownloadHost::OnRetrying(int, const std::wstring& address, std::uint8_t opcode)
{
    m_log.LogStatus(RetryLine(opcode, address));
}

void CDownloadHost::OnRebootSent(int, const std::wstring& address)
{
    m_log.LogStatus(RebootingLine(address));
}

void CDownloadHost::OnBlockAcked(const BlockAcked& acked)
{
    // p + 1 first, then p: the control animates towards a position only when it
    // moves forward, so stepping past and back shows the bar at once.
    if (acked.show) {
        m_progress.SetPos(acked.percent + 1);
        m_progress.SetPos(acked.percent);
    }
    if (acked.delivered >= acked.total) {
        // Past the end and back fills the bar without its animation.
        m_progress.SetRange(0, 101);
        m_progress.SetPos(101);
        m_progress.SetPos(100);
        m_progress.SetRange(0, 100);
    }
}

void CDownloadHost::OnBoardFinished(const BoardEnd& end)
{
    for (const std::wstring& line : BoardEndLines(end))
        m_log.LogStatus(line);
}

void CDownloadHost::OnBoardRestarted(int, const std::wstring& address, std::uint32_t)
{
    for (const std::wstring& line : RestartLines(address))
        m_log.LogStatus(line);
    m_progress.SetPos(0);
}

void CDownloadHost::OnDownloadEnded()
{
    m_bReady = TRUE;
}

bool CDownloadHost::TakeBoard(const std::wstring& ip)
{
    return m_boardLocks.Take(ip);
}

void CDownloadHost::ReleaseBoard(const std::wstring& ip)
{
    m_boardLocks.Release(ip);
}
