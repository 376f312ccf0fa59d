#include "download/DownloadHost_win.h"

#include <shlwapi.h>

#include "discovery/IStatusLog.h"
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

CDownloadHost::CDownloadHost(const CWnd& window, DownloadWindowIds ids, IStatusLog& log, CBoardLink& link,
                             IDownloadWatcher& watcher)
    : m_window(window), m_ids(ids), m_log(log), m_link(link), m_watcher(watcher), m_sequencer(*this, m_file)
{
}

void CDownloadHost::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_FILE_EDIT, m_editFile);
}

void CDownloadHost::Init(const std::wstring& storedPath)
{
    m_strFirmwarePath = storedPath;
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
    m_watcher.OnFirmwareChosen(path);
    m_strFirmwarePath = path;
    m_editFile.SetWindowText(m_strFirmwarePath);
    m_window.UpdateWindow();
}

BoardChoice CDownloadHost::ChooseBoards(const std::vector<BoardList>& selected)
{
    if (selected.empty()) {
        ShowUserError(m_window.m_hWnd, MSG_NO_BOARDS);
        return {};
    }
    BoardChoice choice = ::ChooseBoards(::PathFindFileNameW(m_strFirmwarePath.c_str()), selected);
    if (!choice.kind)
        ShowUserError(m_window.m_hWnd, MSG_FILE_MISMATCH);
    return choice;
}

void CDownloadHost::StartDownload(const std::vector<BoardList>& selected, const BoardChoice& choice)
{
    // The download keeps the addresses it starts with: discovery may empty the
    // unit list while it runs.
    std::vector<std::wstring> addresses;
    for (std::size_t i = 0; i < selected.size() && i < choice.served.size(); ++i) {
        if (choice.served[i])
            addresses.push_back(selected[i].m_strIP);
    }
    if (addresses.empty()) {
        ShowUserError(m_window.m_hWnd, MSG_NO_MATCH);
        return;
    }
    const std::wstring fileName = ::PathFindFileNameW(m_strFirmwarePath.c_str());
    if (!FitsAnsi(fileName)) {
        ShowUserError(m_window.m_hWnd, MSG_NAME_NOT_ANSI);
        return;
    }
    const std::string ansiName = WideToAnsi(fileName);
    if (!FileNameFits(ansiName)) {
        ShowUserError(m_window.m_hWnd, MSG_NAME_TOO_LONG);
        return;
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
            m_window.KillTimer(m_ids.retryTimer);
        m_bRetryTimerSet = false;
        return;
    }
    const ULONGLONG now = ::GetTickCount64();
    m_window.SetTimer(m_ids.retryTimer, deadline > now ? static_cast<UINT>(deadline - now) : USER_TIMER_MINIMUM);
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
    const UINT offset = static_cast<UINT>(message) - static_cast<UINT>(SequencerMessage::SendFileName);
    m_window.PostMessage(m_ids.firstMessage + offset, 0, 0);
}

void CDownloadHost::ScheduleTick(std::uint64_t deadline)
{
    // A cleared deadline leaves the timer to find nothing to do when it fires.
    if (deadline != NO_DEADLINE && (!m_bRetryTimerSet || deadline < m_ullTimerDue))
        AimRetryTimer(deadline);
}

void CDownloadHost::OnDownloadStarted(const std::wstring& path)
{
    m_watcher.OnDownloadBusy(true);
    DownloadView::OnDownloadStarted(path);
}

void CDownloadHost::OnOpenFailed(const std::wstring& path)
{
    DownloadView::OnOpenFailed(path);
    m_watcher.OnDownloadBusy(false);
}

void CDownloadHost::OnDownloadEnded()
{
    m_watcher.OnDownloadBusy(false);
}

void CDownloadHost::RestartLog(const std::wstring& line)
{
    m_log.RestartStatus(line);
}

void CDownloadHost::Log(const std::wstring& line)
{
    m_log.LogStatus(line);
}

void CDownloadHost::SetBarRange(int maximum)
{
    m_progress.SetRange(0, static_cast<short>(maximum));
}

void CDownloadHost::SetBarPos(int position)
{
    m_progress.SetPos(position);
}

bool CDownloadHost::TakeBoard(const std::wstring& ip)
{
    return m_boardLocks.Take(ip);
}

void CDownloadHost::ReleaseBoard(const std::wstring& ip)
{
    m_boardLocks.Release(ip);
}
