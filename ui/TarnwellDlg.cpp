#include "ui/TarnwellDlg.h"

#include <objbase.h>

#include "framework/DataExchange.h"
#include "framework/PaintDC.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"
#include "ui/IconLayout.h"
#include "ui/Messages.h"
#include "ui/PingList.h"
#include "ui/PingSpecific.h"
#include "ui/Settings.h"

BEGIN_MESSAGE_MAP(CTarnwellDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_FILE_BUTTON, OnFileButton)
    ON_WM_TIMER()
    ON_COMMAND(ID_SEARCH, OnSearch)
    ON_COMMAND(ID_DOWNLOAD, OnDownload)
    ON_COMMAND(IDCANCEL, OnExit)
    ON_COMMAND(IDOK, OnEnterKey)
    ON_MESSAGE(WM_SEND_FILENAME, OnSendFileName)
    ON_MESSAGE(WM_SEND_DATA, OnSendData)
    ON_MESSAGE(WM_SEND_REBOOT, OnSendReboot)
    ON_MESSAGE(WM_NEXT_BOARD, OnNextBoard)
    ON_UPDATE_COMMAND_UI(ID_SEARCH, OnUpdateReadyCommand)
    ON_UPDATE_COMMAND_UI(ID_DOWNLOAD, OnUpdateReadyCommand)
    ON_UPDATE_COMMAND_UI(IDCANCEL, OnUpdateReadyCommand)
    ON_COMMAND(ID_PING_SPECIFIC, OnPingSpecific)
    ON_COMMAND(ID_PING_LIST, OnPingList)
    ON_UPDATE_COMMAND_UI(ID_PING_SPECIFIC, OnUpdatePingCommand)
    ON_UPDATE_COMMAND_UI(ID_PING_LIST, OnUpdatePingCommand)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

CTarnwellDlg::CTarnwellDlg()
    : CDialog(IDD_MAIN_DIALOG, nullptr), m_link(*this), m_discovery(*this, UNITS_REDRAW_TIMER_ID, m_link, *this),
      m_download(*this, {WM_SEND_FILENAME, RETRY_TIMER_ID}, *this, m_link, *this)
{
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CTarnwellDlg::~CTarnwellDlg()
{
    if (m_bComInitialized)
        ::CoUninitialize();
}

void CTarnwellDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    m_discovery.DoDataExchange(pDX);
    m_download.DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATUS_EDIT, m_editStatus);
}

BOOL CTarnwellDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The result is not examined: without COM the window works all the same.
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    m_bComInitialized = SUCCEEDED(hr);

    AddSystemMenuItem();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_download.Init(AfxGetApp()->GetProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L""));
    m_bReady = TRUE;

    m_link.EnumerateAdapters();
    m_discovery.RunStartupProbe();
    return TRUE;
}

void CTarnwellDlg::AddSystemMenuItem()
{
    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (!hSysMenu)
        return;
    wchar_t text[256] = {};
    int n = ::LoadStringW(AfxGetResourceHandle(), IDS_ABOUTBOX, text, 256);
    if (n <= 0)
        return;
    ::AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void CTarnwellDlg::OnSysCommand(UINT nID, LPARAM)
{
    // The low four bits of a system command belong to Windows.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

void CTarnwellDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rect;
    GetClientRect(&rect);
    IconOrigin at = CenteredIconOrigin(rect.right - rect.left, rect.bottom - rect.top, ::GetSystemMetrics(SM_CXICON),
                                       ::GetSystemMetrics(SM_CYICON));
    dc.DrawIcon(at.x, at.y, m_hIcon);
}

HCURSOR CTarnwellDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CTarnwellDlg::OnExit()
{
    OnCancel();
}

// Enter in the main window does nothing: it must neither end the program during a
// download nor bypass the closing of the sockets. A focused "File" button still takes it.
void CTarnwellDlg::OnEnterKey()
{
}

// COM is released once, when the window really closes (in OnCancel); a close that
// is refused during a download leaves it alone.
void CTarnwellDlg::OnClose()
{
    Default();
}

void CTarnwellDlg::OnCancel()
{
    m_link.CloseSockets();
    if (m_bComInitialized) {
        ::CoUninitialize();
        m_bComInitialized = false;
    }
    CDialog::OnCancel();
}

void CTarnwellDlg::OnUpdateReadyCommand(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_bReady);
}

void CTarnwellDlg::OnUpdatePingCommand(CCmdUI*)
{
}

void CTarnwellDlg::LogStatus(const std::wstring& line)
{
    m_strStatus.insert(0, line);
    m_editStatus.SetWindowText(m_strStatus);
    UpdateWindow();
}

void CTarnwellDlg::RestartStatus(const std::wstring& line)
{
    m_strStatus.clear();
    LogStatus(line);
}

void CTarnwellDlg::StartPingStatus(const std::wstring& line)
{
    if (m_bReady)
        RestartStatus(line);
    else
        LogStatus(line);
}

void CTarnwellDlg::OnSearch()
{
    m_discovery.Search();
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
    m_discovery.PingList(dlg.m_strList);
}

void CTarnwellDlg::OnPingSpecific()
{
    CPingSpecific dlg;
    dlg.m_dwAddress = AfxGetApp()->GetProfileIntW(SETTINGS_SECTION, SETTING_PING_SPECIFIC, 0);
    if (dlg.DoModal() != IDOK)
        return;
    AfxGetApp()->WriteProfileInt(SETTINGS_SECTION, SETTING_PING_SPECIFIC, static_cast<int>(dlg.m_dwAddress));
    m_discovery.PingSpecific(dlg.m_dwAddress);
}

void CTarnwellDlg::OnFileButton()
{
    m_download.ChooseFirmwareFile();
}

void CTarnwellDlg::OnDownload()
{
    // The file's kind may leave out some of the selected boards; the unit list
    // then shows only the boards that are served.
    const std::vector<BoardList> selected = m_discovery.SelectedBoards();
    const BoardChoice choice = m_download.ChooseBoards(selected);
    if (!choice.kind)
        return;
    m_discovery.KeepSelected(choice.served);
    m_download.StartDownload(selected, choice);
}

void CTarnwellDlg::OnDownloadBusy(bool busy)
{
    m_bReady = busy ? FALSE : TRUE;
}

void CTarnwellDlg::OnFirmwareChosen(const std::wstring& path)
{
    AfxGetApp()->WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, path.c_str());
}

LRESULT CTarnwellDlg::OnSendFileName(WPARAM, LPARAM)
{
    m_download.Dispatch(SequencerMessage::SendFileName);
    return 0;
}

LRESULT CTarnwellDlg::OnSendData(WPARAM, LPARAM)
{
    m_download.Dispatch(SequencerMessage::SendData);
    return 0;
}

LRESULT CTarnwellDlg::OnSendReboot(WPARAM, LPARAM)
{
    m_download.Dispatch(SequencerMessage::SendReboot);
    return 0;
}

LRESULT CTarnwellDlg::OnNextBoard(WPARAM, LPARAM)
{
    m_download.Dispatch(SequencerMessage::NextBoard);
    return 0;
}

void CTarnwellDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == RETRY_TIMER_ID)
        m_download.OnRetryTimer();
    else if (nIDEvent == UNITS_REDRAW_TIMER_ID)
        m_discovery.ReleaseUnitsRedraw();
    Default();
}

void CTarnwellDlg::OnDatagram(const std::uint8_t* bytes, std::size_t size, const std::wstring& sender)
{
    HandleReply(bytes, size, sender);
}

void CTarnwellDlg::HandleReply(const std::uint8_t* bytes, std::size_t size, const std::wstring& sender)
{
    BoardReply reply;
    if (!ReadBoardReply(bytes, size, reply))
        return;
    if (reply.opcode == OP_DISCOVER)
        m_discovery.OnDiscoveryReply(reply, sender);
    else
        m_download.OnAck(reply, sender);
}
