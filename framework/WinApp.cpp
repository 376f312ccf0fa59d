#include "framework/WinApp.h"

#include <cwchar>
#include <vector>

#include "res/resource.h"

namespace {
CWinApp* g_pApp = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

void CWinApp::SetProfileName(const std::wstring& path)
{
    m_strProfileName = path;
    m_pszProfileName = m_strProfileName.c_str();
}

// The system defines no help topics; the request is only counted so it can be seen.
void CWinApp::OnHelp()
{
    ++m_nHelpCalls;
}

std::wstring CWinApp::GetProfileStringW(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue) const
{
    // The API truncates silently, so grow the buffer until the value fits with room to spare.
    std::vector<wchar_t> buf(256);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringW(section, entry, defaultValue, buf.data(), static_cast<DWORD>(buf.size()),
                                             m_pszProfileName);
        if (n + 2 < buf.size())
            return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

BOOL CWinApp::WriteProfileStringW(const wchar_t* section, const wchar_t* entry, const wchar_t* value) const
{
    return ::WritePrivateProfileStringW(section, entry, value, m_pszProfileName);
}

UINT CWinApp::GetProfileIntW(const wchar_t* section, const wchar_t* entry, int defaultValue) const
{
    return ::GetPrivateProfileIntW(section, entry, defaultValue, m_pszProfileName);
}

// Written as a signed decimal number, so values from 0x80000000 up are negative in the file.
BOOL CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) const
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", value);
    return WriteProfileStringW(section, entry, text);
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetResourceHandle()
{
    return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

BOOL AfxSocketInit()
{
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void AfxEnableControlContainer()
{
}

int AfxWinMain(HINSTANCE hInstance, const wchar_t* lpCmdLine)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = lpCmdLine ? lpCmdLine : L"";
    // The application runs its main window modally inside InitInstance and
    // returns false, so there is no message pump of our own after it.
    app->InitInstance();
    return 0;
}
