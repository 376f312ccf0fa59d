// The main window: its message map, and the status log; the adapter sockets,
// the unit list and the download are parts of their own it forwards to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "discovery/Discovery_win.h"
#include "discovery/IStatusLog.h"
#include "download/DownloadHost_win.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "net/BoardLink_win.h"
#include "net/IReplySink.h"

class CTarnwellDlg : public CDialog, private IStatusLog, private IReplySink, private IDownloadWatcher {
public:
    CTarnwellDlg();
    ~CTarnwellDlg() override;

    // Status log: the newest line goes on top and shows at once.
    void LogStatus(const std::wstring& line) override;
    // Empties the log and shows the one line.
    void RestartStatus(const std::wstring& line) override;
    void StartPingStatus(const std::wstring& line) override;

    // Discovery.
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
    friend class CTarnwellDlgProbe; // the Windows tests' view of the parts

    void AddSystemMenuItem();
    // A datagram from any adapter socket: discovery replies to the unit list,
    // the rest to the download.
    void OnDatagram(const std::uint8_t* bytes, std::size_t size, const std::wstring& sender) override;
    void HandleReply(const std::uint8_t* bytes, std::size_t size, const std::wstring& sender);
    void OnDownloadBusy(bool busy) override;
    void OnFirmwareChosen(const std::wstring& path) override;

    HICON m_hIcon;
    BYTE m_bReady = FALSE;
    std::wstring m_strStatus;
    CEdit m_editStatus;
    bool m_bComInitialized = false;

    CBoardLink m_link;
    CDiscovery m_discovery;
    CDownloadHost m_download;
};
