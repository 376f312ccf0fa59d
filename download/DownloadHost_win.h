// The Windows host of the download: the firmware file choice, the sequencer
// and its one timer, and the status lines and bar moves that render its facts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/DiscoveryText.h"
#include "download/BoardLocks.h"
#include "download/DownloadSequencer.h"
#include "download/FirmwareFile_win.h"
#include "framework/Controls.h"

class CBoardLink;
class CDataExchange;
class CDiscovery;
class IStatusLog;

class CDownloadHost : private IDownloadHost {
public:
    // `window` takes the sequencer's messages and timer; `units` says which boards
    // are selected; `ready` is cleared while a download runs.
    CDownloadHost(const CWnd& window, IStatusLog& log, CBoardLink& link, const CDiscovery& units, BYTE& ready);
    CDownloadHost(const CDownloadHost&) = delete;
    CDownloadHost& operator=(const CDownloadHost&) = delete;

    void DoDataExchange(CDataExchange* pDX);
    // Shows the stored firmware path and readies the bar.
    void Init();
    void ChooseFirmwareFile();
    void StartDownload();
    void Dispatch(SequencerMessage message) { m_sequencer.Dispatch(message); }
    void OnRetryTimer();
    void OnAck(const BoardReply& reply, const std::wstring& sender) { m_sequencer.OnAck(reply, sender); }

private:
    // What the download needs of the window, and what it reports.
    std::uint64_t NowMs() override;
    void PostSequencerMessage(SequencerMessage message) override;
    void ScheduleTick(std::uint64_t deadline) override;
    bool SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length) override;
    void OnDownloadStarted(const std::wstring& path) override;
    void OnOpenFailed(const std::wstring& path) override;
    void OnBoardStarted(int position, const std::wstring& address) override;
    void OnRetrying(int position, const std::wstring& address, std::uint8_t opcode) override;
    void OnRebootSent(int position, const std::wstring& address) override;
    void OnBlockAcked(const BlockAcked& acked) override;
    void OnBoardFinished(const BoardEnd& end) override;
    void OnBoardRestarted(int position, const std::wstring& address, std::uint32_t block) override;
    void OnDownloadEnded() override;
    bool TakeBoard(const std::wstring& ip) override;
    void ReleaseBoard(const std::wstring& ip) override;
    void AimRetryTimer(std::uint64_t deadline);

    const CWnd& m_window;
    IStatusLog& m_log;
    CBoardLink& m_link;
    const CListBox& m_listUnits;
    const std::vector<BoardList>& m_boards;
    BYTE& m_bReady;

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
