#include "framework/WinApp.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "res/resource.h"

namespace {
CWinApp* g_pApp = nullptr;

bool FitsCodePage(const wchar_t* text)
{
    if (!text || !*text)
        return true;
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &usedDefault);
    return n > 0 && !usedDefault;
}

std::vector<char> ReadWholeFile(const wchar_t* path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool StartsWith(const std::vector<char>& bytes, const char* mark, size_t size)
{
    return bytes.size() >= size && std::equal(mark, mark + size, bytes.begin());
}

// Rewrites the settings file as UTF-16 with its byte-order mark, the ANSI text
// it held widened as the profile functions would have read it.
void MakeProfileUnicode(const wchar_t* path)
{
    if (!path || !*path)
        return;
    // Whatever the profile functions still hold for the file goes to disk first.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);
    std::vector<char> bytes = ReadWholeFile(path);
    if (StartsWith(bytes, "\xFF\xFE", 2) || StartsWith(bytes, "\xFE\xFF", 2) || StartsWith(bytes, "\xEF\xBB\xBF", 3))
        return;
    std::wstring text(L"\xFEFF");
    if (!bytes.empty()) {
        int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
        if (n > 0)
            ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
        text += wide;
    }
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
}

}  // namespace

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

// A private-profile file is written in the ANSI code page unless it begins with
// a UTF-16 byte-order mark, and a character the code page lacks comes back as
// '?'. Before such a value is written the file is turned into UTF-16, its
// content kept; Windows and Wine then read and write it as Unicode. A file that
// only ever holds what the code page can hold stays byte for byte as it was.
BOOL CWinApp::WriteProfileStringW(const wchar_t* section, const wchar_t* entry, const wchar_t* value) const
{
    if (!FitsCodePage(section) || !FitsCodePage(entry) || !FitsCodePage(value))
        MakeProfileUnicode(m_pszProfileName);
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
