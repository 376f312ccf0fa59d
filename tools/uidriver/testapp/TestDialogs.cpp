#include "TestDialogs.h"

#include "DialogTemplate.h"
#include "res/resource.h"

#include <commctrl.h>
#include <shobjidl.h>

namespace {

constexpr DWORD kPopupStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_FIXEDSYS;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
constexpr DWORD kDefButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

struct ValueDialog {
    DWORD address = 0;
    std::wstring* list = nullptr;
};

// OK reads the value back before the dialog ends; Cancel leaves it alone.
INT_PTR CALLBACK ValueProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* data = reinterpret_cast<ValueDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        data = reinterpret_cast<ValueDialog*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        if (data != nullptr && data->list != nullptr)
            SetDlgItemTextW(hwnd, IDC_IP_LIST, data->list->c_str());
        else if (data != nullptr)
            SendDlgItemMessageW(hwnd, IDC_IP_ADDRESS, IPM_SETADDRESS, 0, static_cast<LPARAM>(data->address));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && data != nullptr) {
            if (data->list != nullptr) {
                HWND edit = GetDlgItem(hwnd, IDC_IP_LIST);
                std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
                text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
                *data->list = text;
            } else {
                SendDlgItemMessageW(hwnd, IDC_IP_ADDRESS, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&data->address));
            }
        }
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(hwnd, LOWORD(wp));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void RunAboutBox(HWND owner)
{
    DialogTemplate t(L"About Tarnwell", kPopupStyle, 0, 170, 62);
    t.AddControl(-1, 0x82, L"", WS_CHILD | WS_VISIBLE | SS_ICON, 0, 14, 14, 21, 20);
    t.AddControl(-1, 0x82, L"Tarnwell, Version 1.0", kLabel | SS_NOPREFIX, 0, 42, 14, 114, 8);
    t.AddControl(IDOK, 0x80, L"OK", kDefButton | WS_GROUP, 0, 113, 41, 50, 14);
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, ValueProc, 0);
}

bool RunPingSpecific(HWND owner, DWORD& address)
{
    DialogTemplate t(L"Ping Specific IP", kPopupStyle, 0, 152, 67);
    t.AddControl(IDOK, 0x80, L"OK", kDefButton, 0, 15, 38, 50, 14);
    t.AddControl(IDCANCEL, 0x80, L"Cancel", kButton, 0, 83, 38, 50, 14);
    t.AddControl(IDC_IP_ADDRESS, WC_IPADDRESSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 7, 15, 138, 13);
    t.AddControl(-1, 0x82, L"Enter IP Address to ping", kLabel, 0, 7, 7, 83, 8);
    ValueDialog data{address, nullptr};
    if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, ValueProc,
                                reinterpret_cast<LPARAM>(&data)) != IDOK)
        return false;
    address = data.address;
    return true;
}

bool RunPingList(HWND owner, std::wstring& list)
{
    DialogTemplate t(L"Enter IP Address List", kPopupStyle, 0, 213, 183);
    t.AddControl(IDOK, 0x80, L"OK", kDefButton, 0, 131, 146, 50, 14);
    t.AddControl(IDCANCEL, 0x80, L"Cancel", kButton, 0, 131, 162, 50, 14);
    t.AddControl(IDC_IP_LIST, 0x81, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL,
                 WS_EX_DLGMODALFRAME, 7, 7, 97, 169);
    t.AddControl(-1, 0x82, L"Ctrl + Enter for new line.\r\nFormat: xxx.xxx.xxx.xxx", kLabel, 0, 109, 31, 94, 31);
    std::wstring text = list;
    ValueDialog data{0, &text};
    if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, ValueProc,
                                reinterpret_cast<LPARAM>(&data)) != IDOK)
        return false;
    list = text;
    return true;
}

namespace {

bool RunVistaFileOpen(HWND owner, std::wstring& path)
{
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return false;
    COMDLG_FILTERSPEC filter{L"Firmware (*.bin)", L"*.bin"};
    dialog->SetFileTypes(1, &filter);
    bool chosen = false;
    if (SUCCEEDED(dialog->Show(owner))) {
        IShellItem* item = nullptr;
        if (SUCCEEDED(dialog->GetResult(&item))) {
            PWSTR name = nullptr;
            if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
                path = name;
                CoTaskMemFree(name);
                chosen = true;
            }
            item->Release();
        }
    }
    dialog->Release();
    return chosen;
}

}  // namespace

bool RunFileOpen(HWND owner, bool vista, std::wstring& path)
{
    if (vista)
        return RunVistaFileOpen(owner, path);
    wchar_t buffer[MAX_PATH] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = L"Firmware (*.bin)\0*.bin\0\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameW(&ofn))
        return false;
    path = buffer;
    return true;
}
