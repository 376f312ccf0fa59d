// The Windows host of the download: the firmware file choice, the sequencer
// and its one timer, and the Win32 calls that show its facts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/DiscoveryText.h"
#include "download/BoardLocks.h"
#include "download/DownloadSequencer.h"
#include "download/DownloadView.h"
#include "download/FirmwareFile_win.h"
#include "download/FirmwareKind.h"
#include "framework/Controls.h"

class CBoardLink;
class CDataExchange;
class IStatusLog;

// What the window is told of the download.
class IDownloadWatcher {
public:
    virtual ~IDownloadWatcher() = default;
    virtual void OnDownloadBusy(bool busy) = 0;                   // from its start to its end
    virtual void OnFirmwareChosen(const std::wstring& path) = 0; // to be kept for the next start
};

// The window's message numbers and timer the download uses.
struct DownloadWindowIds {
    UINT firstMessage;   // SequencerMessage::SendFileName; the others follow in order
    UINT_PTR retryTimer;
};

class CDownloadHost : private DownloadView {
public:
    CDownloadHost(const CWnd& window, DownloadWindowIds ids, IStatusLog& log, CBoardLink& link,
                  IDownloadWatcher& watcher);
    CDownloadHost(const CDownloadHost&) = delete;
    CDownloadHost& operator=(const CDownloadHost&) = delete;

    void DoDataExchange(CDataExchange* pDX);
    // Shows the stored firmware path and readies the bar.
    void Init(const std::wstring& storedPath);
    void ChooseFirmwareFile();
    // Which of the selected boards the file is for; tells the user when none
    // is selected or the file's name holds no kind (the choice has no kind then).
    BoardChoice ChooseBoards(const std::vector<BoardList>& selected);
    // Serves the boards the choice keeps, unless none is left or the name cannot be sent.
    void StartDownload(const std::vector<BoardList>& selected, const BoardChoice& choice);
    void Dispatch(SequencerMessage message) { m_sequencer.Dispatch(message); }
    void OnRetryTimer();
    void OnAck(const BoardReply& reply, const std::wstring& sender) { m_sequencer.OnAck(reply, sender); }

private:
    // What the download needs of the window, and what it reports.
    std::uint64_t NowMs() override;
    void PostSequencerMessage(SequencerMessage message) override;
    void ScheduleTick(std::uint64_t deadline) override;
    bool SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length) override;
    bool TakeBoard(const std::wstring& ip) override;
    void ReleaseBoard(const std::wstring& ip) override;
    void OnDownloadStarted(const std::wstring& path) override;
    void OnOpenFailed(const std::wstring& path) override;
    void OnDownloadEnded() override;
    // The status log and the bar.
    void RestartLog(const std::wstring& line) override;
    void Log(const std::wstring& line) override;
    void SetBarRange(int maximum) override;
    void SetBarPos(int position) override;
    void AimRetryTimer(std::uint64_t deadline);

    const CWnd& m_window;
    DownloadWindowIds m_ids;
    IStatusLog& m_log;
    CBoardLink& m_link;
    IDownloadWatcher& m_watcher;

    std::wstring m_strFirmwarePath;
    CProgressCtrl m_progress;
    CEdit m_editFile;
    CFirmwareFile m_file;
    BoardLocks m_boardLocks;
    DownloadSequencer m_sequencer;

    // The one timer of the download, aimed at its next deadline.
    bool m_bRetryTimerSet = false;
    std::uint64_t m_ullTimerDue = 0;
};
