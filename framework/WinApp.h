// The application object: start-up entry, command line and the settings store.
#pragma once

#include <string>

#include "framework/CmdTarget.h"

class CWnd;

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();

    // Settings, read and written in the private-profile file m_pszProfileName.
    std::wstring GetProfileStringW(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue = L"") const;
    BOOL WriteProfileStringW(const wchar_t* section, const wchar_t* entry, const wchar_t* value) const;
    UINT GetProfileIntW(const wchar_t* section, const wchar_t* entry, int defaultValue) const;
    BOOL WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) const;

    // Replaces the settings file path with a copy of the given one.
    void SetProfileName(const std::wstring& path);

    void OnHelp();

    HINSTANCE m_hInstance = nullptr;
    const wchar_t* m_pszProfileName = nullptr;
    const wchar_t* m_lpCmdLine = L"";
    CWnd* m_pMainWnd = nullptr;
    int m_nHelpCalls = 0;

    DECLARE_MESSAGE_MAP()

private:
    std::wstring m_strProfileName;
};

class CWinAppEx : public CWinApp {
public:
    explicit CWinAppEx(BOOL bResourceSmartUpdate = FALSE) : m_bResourceSmartUpdate(bResourceSmartUpdate) {}
    BOOL m_bResourceSmartUpdate;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// Starts Windows Sockets for the life of the process.
BOOL AfxSocketInit();
// Control containment needs nothing of ours; kept for the start-up order.
void AfxEnableControlContainer();
// Runs the application object: fills in the instance and command line, then InitInstance.
int AfxWinMain(HINSTANCE hInstance, const wchar_t* lpCmdLine);
