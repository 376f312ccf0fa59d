// The main window: owner of the adapter sockets, the unit list, the download and the status log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/DiscoveryText.h"
#include "download/BoardLocks.h"
#include "download/DownloadSequencer.h"
#include "download/FirmwareFile_win.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "net/BoardPacket.h"
#include "net/UDPDLSocket_win.h"

class CTarnwellDlg : public CDialog, private IDownloadHost {
public:
    CTarnwellDlg();
    ~CTarnwellDlg() override;

    HICON m_hIcon;
    BYTE m_bReady = FALSE;
    CUDPDLSocket m_sockets[MAX_ADAPTERS];
    std::uint32_t m_nAdapters = 0;
    std::vector<BoardList> m_boards;
    BoardPacket m_packet = {};
    std::wstring m_strFirmwarePath;
    std::wstring m_strStatus;
    CListBox m_listUnits;
    CProgressCtrl m_progress;
    CEdit m_editStatus;
    CEdit m_editFile;

    CFirmwareFile m_file;
    DownloadSequencer m_sequencer;

    // Status log: the newest line goes on top and shows at once.
    void LogStatus(const std::wstring& line);
    // Empties the log and shows the one line.
    void RestartStatus(const std::wstring& line);

    // Board link.
    void EnumerateAdapters();
    void CreateSockets();
    void SendToAllAdapters(const std::uint8_t* packet);
    bool SendToBoard(const std::wstring& target, const std::uint8_t* packet, int length) override;
    void HandleReply(int index);
    void CloseSockets();

    // Discovery.
    void ClearUnits();
    void BuildDiscoveryRequest();
    void OnDiscoveryReply(const BoardReply& reply, const std::wstring& sender);
    void RunStartupProbe();
    void StartPingStatus(const std::wstring& line);
    void HoldUnitsRedraw();
    void ReleaseUnitsRedraw();
    void OnSearch();
    void OnPingList();
    void OnPingSpecific();

    // Firmware file and download.
    void OnFileButton();
    void OnDownload();
    LRESULT OnSendFileName(WPARAM, LPARAM);
    LRESULT OnSendData(WPARAM, LPARAM);
    LRESULT OnSendReboot(WPARAM, LPARAM);
    LRESULT OnNextBoard(WPARAM, LPARAM);
    void OnTimer(UINT_PTR nIDEvent);

    // Window.
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnExit();
    void OnEnterKey();
    void OnClose();
    void OnUpdateReadyCommand(CCmdUI* pCmdUI);
    void OnUpdatePingCommand(CCmdUI* pCmdUI);

    DECLARE_MESSAGE_MAP()

private:
    void AddSystemMenuItem();

    // What the download needs of the window, and what it reports.
    std::uint64_t NowMs() override;
    void PostSequencerMessage(SequencerMessage message) override;
    void ScheduleTick(std::uint64_t deadline) override;
    void OnDownloadStarted(const std::wstring& path) override;
    void OnOpenFailed(const std::wstring& path) override;
    void OnBoardStarted(int position, const std::wstring& address) override;
    void OnRetrying(int position, const std::wstring& address, std::uint8_t opcode) override;
    void OnRebootSent(int position, const std::wstring& address) override;
    void OnBlockAcked(const BlockAcked& acked) override;
    void OnBoardFinished(const BoardEnd& end) override;
    void OnDownloadEnded() override;
    void AimRetryTimer(std::uint64_t deadline);
    bool TakeBoard(const std::wstring& ip) override;
    void ReleaseBoard(const std::wstring& ip) override;

    bool m_bComInitialized = false;
    BoardLocks m_boardLocks;

    // The one timer of the download, aimed at its next deadline.
    bool m_bRetryTimerSet = false;
    std::uint64_t m_ullTimerDue = 0;

    // The unit list fills without painting during a burst of replies.
    static constexpr UINT_PTR UNITS_REDRAW_TIMER_ID = 2;
    static constexpr UINT UNITS_REDRAW_DELAY_MS = 100;
    bool m_bUnitsRedrawHeld = false;
};
