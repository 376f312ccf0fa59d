// A stand-in for the real main window, for testing the UI driver: same caption, control ids and menu commands.
// Every command it receives leaves a line in the status log, so a test can see what reached it.
// Command line: "vista" uses the Vista-style file-open dialog instead of the classic one.
#include "DialogTemplate.h"
#include "TestDialogs.h"
#include "res/resource.h"

#include <commctrl.h>
#include <objbase.h>

#include <string>

namespace {

constexpr UINT_PTR kDownloadTimer = 1;

struct MainState {
    bool ready = true;
    bool vista = false;
    std::wstring status;
    DWORD address = 0;
    std::wstring list;
};

MainState g_state;

void AddStatus(HWND hwnd, const std::wstring& line)
{
    g_state.status.insert(0, line + L"\r\n");
    SetDlgItemTextW(hwnd, IDC_STATUS_EDIT, g_state.status.c_str());
}

void ResetStatus(HWND hwnd, const std::wstring& line)
{
    g_state.status.clear();
    AddStatus(hwnd, line);
}

void BuildMenus(HWND hwnd)
{
    HMENU ping = CreatePopupMenu();
    AppendMenuW(ping, MF_STRING, ID_PING_SPECIFIC, L"Specific");
    AppendMenuW(ping, MF_STRING, ID_PING_LIST, L"List");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(ping), L"Ping");
    AppendMenuW(bar, MF_STRING, ID_SEARCH, L"Search");
    AppendMenuW(bar, MF_STRING, ID_DOWNLOAD, L"Download");
    AppendMenuW(bar, MF_STRING, IDCANCEL, L"Exit");
    SetMenu(hwnd, bar);
    HMENU sys = GetSystemMenu(hwnd, FALSE);
    AppendMenuW(sys, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(sys, MF_STRING, IDM_ABOUTBOX, L"&About Tarnwell...");
}

void Search(HWND hwnd)
{
    HWND units = GetDlgItem(hwnd, IDC_UNITS);
    SendMessageW(units, LB_RESETCONTENT, 0, 0);
    ResetStatus(hwnd, L"Searching for boards...");
    const wchar_t* lines[] = {
        L"FW VEX unit A\tIP=10.0.0.2\tMAC=00:11:22:33:44:02",
        L"FW GUR unit B\tIP=10.0.0.3\tMAC=00:11:22:33:44:03",
        L"FW VEX unit C\tIP=10.0.0.4\tMAC=00:11:22:33:44:04",
        L"Pr\u00fcfstand \u03a9\tIP=10.0.0.5\tMAC=00:11:22:33:44:05",
    };
    for (const wchar_t* line : lines)
        SendMessageW(units, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

void Download(HWND hwnd)
{
    LRESULT selected = SendDlgItemMessageW(hwnd, IDC_UNITS, LB_GETSELCOUNT, 0, 0);
    if (selected <= 0) {
        MessageBoxW(hwnd, L"No boards selected.\r\n", L"Tarnwell", MB_OK | MB_ICONEXCLAMATION);
        AddStatus(hwnd, L"message box closed");
        return;
    }
    g_state.ready = false;
    ResetStatus(hwnd, L"Downloading to " + std::to_wstring(selected) + L" units");
    SendDlgItemMessageW(hwnd, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    // Five seconds in all: long enough that the inputs a test drops meanwhile arrive
    // before it ends, even on a busy machine.
    SetTimer(hwnd, kDownloadTimer, 500, nullptr);
}

void DownloadStep(HWND hwnd)
{
    HWND bar = GetDlgItem(hwnd, IDC_PROGRESS);
    LRESULT pos = SendMessageW(bar, PBM_GETPOS, 0, 0) + 10;
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    if (pos >= 100) {
        KillTimer(hwnd, kDownloadTimer);
        g_state.ready = true;
        AddStatus(hwnd, L"Download finished.");
    }
}

void PingSpecific(HWND hwnd)
{
    DWORD address = g_state.address;
    if (!RunPingSpecific(hwnd, address)) {
        AddStatus(hwnd, L"specific cancelled");
        return;
    }
    g_state.address = address;
    AddStatus(hwnd, L"specific " + std::to_wstring(FIRST_IPADDRESS(address)) + L"." +
                        std::to_wstring(SECOND_IPADDRESS(address)) + L"." + std::to_wstring(THIRD_IPADDRESS(address)) +
                        L"." + std::to_wstring(FOURTH_IPADDRESS(address)));
}

void PingList(HWND hwnd)
{
    std::wstring list = g_state.list;
    if (!RunPingList(hwnd, list)) {
        AddStatus(hwnd, L"list cancelled");
        return;
    }
    g_state.list = list;
    for (size_t at = list.find(L"\r\n"); at != std::wstring::npos; at = list.find(L"\r\n", at))
        list.replace(at, 2, L"|");
    AddStatus(hwnd, L"list " + list);
}

void ChooseFile(HWND hwnd)
{
    std::wstring path;
    if (!RunFileOpen(hwnd, g_state.vista, path)) {
        AddStatus(hwnd, L"file cancelled");
        return;
    }
    SetDlgItemTextW(hwnd, IDC_FILE_EDIT, path.c_str());
    AddStatus(hwnd, L"file " + path);
}

// Menu commands (no control window) of the ready-gated kind are dropped while a download runs.
void OnCommand(HWND hwnd, int id, int code, HWND control)
{
    if (control != nullptr && code != BN_CLICKED)
        return;
    bool gated = id == ID_SEARCH || id == ID_DOWNLOAD || id == IDCANCEL;
    if (control == nullptr && gated && !g_state.ready) {
        AddStatus(hwnd, L"dropped " + std::to_wstring(id));
        return;
    }
    switch (id) {
    case ID_SEARCH: Search(hwnd); break;
    case ID_DOWNLOAD: Download(hwnd); break;
    case ID_PING_SPECIFIC: PingSpecific(hwnd); break;
    case ID_PING_LIST: PingList(hwnd); break;
    case IDC_FILE_BUTTON: ChooseFile(hwnd); break;
    case IDCANCEL: EndDialog(hwnd, IDCANCEL); break;
    default: AddStatus(hwnd, L"command " + std::to_wstring(id)); break;
    }
}

INT_PTR CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG:
        BuildMenus(hwnd);
        SendDlgItemMessageW(hwnd, IDC_PROGRESS, PBM_SETRANGE32, 0, 100);
        return TRUE;
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return TRUE;
    case WM_TIMER:
        if (wp == kDownloadTimer)
            DownloadStep(hwnd);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
            RunAboutBox(hwnd);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int)
{
    g_state.vista = std::wstring(cmdLine).find(L"vista") != std::wstring::npos;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
    DialogTemplate t(L"Quellmoor", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_FIXEDSYS,
                     WS_EX_APPWINDOW, 438, 295);
    t.AddControl(IDC_UNITS, 0x83, L"",
                 WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_USETABSTOPS |
                     LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL,
                 WS_EX_STATICEDGE, 7, 67, 424, 108);
    t.AddControl(IDC_FILE_EDIT, 0x81, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY,
                 WS_EX_STATICEDGE, 7, 15, 397, 12);
    t.AddControl(IDC_FILE_BUTTON, 0x80, L"File", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 408, 13, 23,
                 14);
    t.AddControl(-1, 0x82, L"Download File:", kLabel, 0, 7, 7, 55, 8);
    t.AddControl(IDC_STATUS_EDIT, 0x81, L"",
                 WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY, WS_EX_STATICEDGE, 7,
                 187, 424, 101);
    t.AddControl(IDC_PROGRESS, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 7, 40, 424, 14);
    t.AddControl(-1, 0x82, L"Progress:", kLabel, 0, 8, 32, 38, 8);
    t.AddControl(-1, 0x82, L"Units:", kLabel, 0, 9, 59, 28, 8);
    t.AddControl(-1, 0x82, L"Status:", kLabel, 0, 7, 179, 28, 8);
    INT_PTR result = DialogBoxIndirectParamW(instance, t.Get(), nullptr, MainProc, 0);
    CoUninitialize();
    return static_cast<int>(result);
}
