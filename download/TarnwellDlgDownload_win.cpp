// The main window's firmware file choice and the download it drives.
#include "framework/Win32.h"

#include <shlwapi.h>

#include "app/Settings.h"
#include "download/FirmwareKind.h"
#include "framework/FileDialog.h"
#include "framework/WinApp.h"
#include "net/TextCodec.h"
#include "ui/Messages.h"
#include "ui/TarnwellDlg.h"

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

void CTarnwellDlg::OnFileButton()
{
    CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, L"Firmware (*.bin)|*.bin||", m_hWnd);
    dlg.SetPathTooLongMessage(MSG_PATH_TOO_LONG, MSG_CAPTION);
    if (dlg.DoModal() != IDOK) {
        if (dlg.PathNotReturned())
            ShowUserError(m_hWnd, MSG_PATH_TOO_LONG);
        return;
    }
    std::wstring path = dlg.GetPathName();
    const wchar_t* fileName = ::PathFindFileNameW(path.c_str());
    if (!FindFirmwareKind(fileName)) {
        ShowUserError(m_hWnd, MSG_WRONG_FILE);
        return;
    }
    // The boards get the name in the workstation's code page; a character it
    // lacks would reach them as '?' or as a look-alike, so such a name is
    // refused while the user can still rename the file.
    if (!FitsAnsi(fileName)) {
        ShowUserError(m_hWnd, MSG_NAME_NOT_ANSI);
        return;
    }
    AfxGetApp()->WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, path.c_str());
    m_strFirmwarePath = path;
    m_editFile.SetWindowText(m_strFirmwarePath);
    UpdateWindow();
}

void CTarnwellDlg::OnDownload()
{
    if (m_listUnits.GetSelCount() <= 0) {
        ShowUserError(m_hWnd, MSG_NO_BOARDS);
        return;
    }
    std::wstring fileName = ::PathFindFileNameW(m_strFirmwarePath.c_str());
    const FirmwareKind* kind = FindFirmwareKind(fileName);
    if (!kind) {
        ShowUserError(m_hWnd, MSG_FILE_MISMATCH);
        return;
    }
    for (int index : m_listUnits.GetSelItems()) {
        if (!CarriesLabel(*kind, m_listUnits.GetText(index)))
            m_listUnits.SetSel(index, FALSE);
    }
    if (m_listUnits.GetSelCount() <= 0) {
        ShowUserError(m_hWnd, MSG_NO_MATCH);
        return;
    }
    if (!FitsAnsi(fileName)) {
        ShowUserError(m_hWnd, MSG_NAME_NOT_ANSI);
        return;
    }
    std::string ansiName = WideToAnsi(fileName);
    if (!FileNameFits(ansiName)) {
        ShowUserError(m_hWnd, MSG_NAME_TOO_LONG);
        return;
    }
    // The download keeps the addresses it starts with: discovery may empty the
    // unit list while it runs.
    std::vector<int> selected;
    std::vector<std::wstring> addresses;
    for (int index : m_listUnits.GetSelItems()) {
        if (index >= 0 && static_cast<size_t>(index) < m_boards.size()) {
            selected.push_back(index);
            addresses.push_back(m_boards[static_cast<size_t>(index)].m_strIP);
        }
    }
    m_sequencer.Start(m_strFirmwarePath, ansiName, selected, addresses);
}

LRESULT CTarnwellDlg::OnSendFileName(WPARAM, LPARAM)
{
    m_sequencer.OnSendFileName();
    return 0;
}

LRESULT CTarnwellDlg::OnSendData(WPARAM, LPARAM)
{
    m_sequencer.OnSendData();
    return 0;
}

LRESULT CTarnwellDlg::OnSendReboot(WPARAM, LPARAM)
{
    m_sequencer.OnSendReboot();
    return 0;
}

LRESULT CTarnwellDlg::OnNextBoard(WPARAM, LPARAM)
{
    m_sequencer.OnNextBoard();
    return 0;
}

void CTarnwellDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == RETRY_TIMER_ID && RetryTimerExpired())
        m_sequencer.OnTimer();
    else if (nIDEvent == UNITS_REDRAW_TIMER_ID)
        ReleaseUnitsRedraw();
    Default();
}

// Every request restarts the reply time-out, thousands of times a second on a
// fast link. Rather than set and kill the window timer each time, the time-out
// is kept as a deadline and the one timer is re-aimed only when it fires early.
bool CTarnwellDlg::RetryTimerExpired()
{
    if (!m_bRetryArmed) {
        KillTimer(RETRY_TIMER_ID);
        m_bRetryTimerSet = false;
        return false;
    }
    ULONGLONG now = ::GetTickCount64();
    if (now < m_ullRetryDeadline) {
        SetTimer(RETRY_TIMER_ID, static_cast<UINT>(m_ullRetryDeadline - now));
        return false;
    }
    KillTimer(RETRY_TIMER_ID);
    m_bRetryTimerSet = false;
    return true;
}

void CTarnwellDlg::PostSequencerMessage(SequencerMessage message)
{
    PostMessage(WM_APP + static_cast<UINT>(message), 0, 0);
}

void CTarnwellDlg::StartRetryTimer()
{
    m_ullRetryDeadline = ::GetTickCount64() + RETRY_TIMEOUT_MS;
    m_bRetryArmed = true;
    if (!m_bRetryTimerSet) {
        SetTimer(RETRY_TIMER_ID, RETRY_TIMEOUT_MS);
        m_bRetryTimerSet = true;
    }
}

void CTarnwellDlg::StopRetryTimer()
{
    m_bRetryArmed = false;
}

void CTarnwellDlg::ClearLog()
{
    m_strStatus.clear();
}

void CTarnwellDlg::LogLine(const std::wstring& line)
{
    LogStatus(line);
}

void CTarnwellDlg::SetProgressPos(int position)
{
    m_progress.SetPos(position);
}

// A move of the bar repaints it at once, which under some systems costs more than
// a block's round trip; moves closer together than this are skipped (the filled
// bar at the end of each board always shows).
bool CTarnwellDlg::ProgressMayMove()
{
    ULONGLONG now = ::GetTickCount64();
    if (now - m_ullProgressMoved < PROGRESS_MOVE_SPACING_MS)
        return false;
    m_ullProgressMoved = now;
    return true;
}

void CTarnwellDlg::SetProgressRange(int maximum)
{
    m_progress.SetRange(0, static_cast<short>(maximum));
}

void CTarnwellDlg::SetReady(bool ready)
{
    m_bReady = ready ? TRUE : FALSE;
}

bool CTarnwellDlg::TakeBoard(const std::wstring& ip)
{
    return m_boardLocks.Take(ip);
}

void CTarnwellDlg::ReleaseBoard(const std::wstring& ip)
{
    m_boardLocks.Release(ip);
}
