#include "app/TarnwellApp.h"

#include "app/ModulePath_win.h"
#include "app/SettingsPath.h"
#include "res/resource.h"
#include "ui/TarnwellDlg.h"

CTarnwellApp theApp;

namespace {

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Settings kept at the old place are copied beside the program once; where the
// program's folder cannot be written, the old file stays in use as before.
std::wstring SettingsFilePath()
{
    SettingsFile chosen = ChooseSettingsFile(ModuleFilePath(), FileExists);
    if (chosen.importFrom.empty())
        return chosen.path;
    if (::CopyFileW(chosen.importFrom.c_str(), chosen.path.c_str(), TRUE))
        return chosen.path;
    return chosen.importFrom;
}

}  // namespace

BEGIN_MESSAGE_MAP(CTarnwellApp, CWinAppEx)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CTarnwellApp::CTarnwellApp() : CWinAppEx(TRUE)
{
}

BOOL CTarnwellApp::InitInstance()
{
    INITCOMMONCONTROLSEX init;
    init.dwSize = sizeof init;
    init.dwICC = 0xFF;
    ::InitCommonControlsEx(&init);

    CWinAppEx::InitInstance();

    if (!AfxSocketInit()) {
        wchar_t text[256] = {};
        ::LoadStringW(AfxGetResourceHandle(), IDP_SOCKETS_INIT_FAILED, text, 256);
        ::MessageBoxW(nullptr, text, L"Tarnwell", MB_OK);
        return FALSE;
    }

    AfxEnableControlContainer();

    SetProfileName(SettingsFilePath());

    CTarnwellDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
