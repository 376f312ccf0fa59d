#include "app/TarnwellApp.h"

#include "app/ModulePath_win.h"
#include "app/SettingsPath.h"
#include "res/resource.h"
#include "ui/TarnwellDlg.h"

CTarnwellApp theApp;

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

    SetProfileName(SettingsPathFromModule(ModuleFilePath()));

    CTarnwellDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
