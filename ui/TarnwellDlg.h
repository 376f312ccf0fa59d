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

    // What the download sequencer needs of the window.
    void PostSequencerMessage(SequencerMessage message) override;
    void StartRetryTimer() override;
    void StopRetryTimer() override;
    void ClearLog() override;
    void LogLine(const std::wstring& line) override;
    void SetProgressPos(int position) override;
    void SetProgressRange(int maximum) override;
    bool ProgressMayMove() override;
    bool RetryTimerExpired();
    void SetReady(bool ready) override;
    bool TakeBoard(const std::wstring& ip) override;
    void ReleaseBoard(const std::wstring& ip) override;

    bool m_bComInitialized = false;
    BoardLocks m_boardLocks;

    // The reply time-out as a deadline over one window timer.
    ULONGLONG m_ullRetryDeadline = 0;
    bool m_bRetryArmed = false;
    bool m_bRetryTimerSet = false;

    static constexpr ULONGLONG PROGRESS_MOVE_SPACING_MS = 200;

    // The unit list fills without painting during a burst of replies.
    static constexpr UINT_PTR UNITS_REDRAW_TIMER_ID = 2;
    static constexpr UINT UNITS_REDRAW_DELAY_MS = 100;
    bool m_bUnitsRedrawHeld = false;
    ULONGLONG m_ullProgressMoved = 0;
};
