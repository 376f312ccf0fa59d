#include "tests/win/WinTestSupport.h"

#include "res/resource.h"
#include "tests/win/TarnwellDlgProbe.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

TestApp* g_testApp = nullptr;
std::function<void(HWND)> g_step;
// Each watchdog guards the window of its own step; window handles are not
// reused while a test runs, so a closed window is never taken for a new one.
std::map<UINT_PTR, HWND> g_watched;

// A dialog that should have closed and did not is ended with WATCHDOG_RESULT, so a
// failing test reports instead of hanging.
void CALLBACK WatchdogTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    auto it = g_watched.find(id);
    if (it == g_watched.end())
        return;
    HWND watched = it->second;
    g_watched.erase(it);
    if (watched && ::IsWindow(watched))
        ::EndDialog(watched, WATCHDOG_RESULT);
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND hDlg = ::GetActiveWindow();
    if (!hDlg)
        return;  // not up yet: the timer fires again
    ::KillTimer(nullptr, id);
    auto step = std::move(g_step);
    g_step = nullptr;
    g_watched[::SetTimer(nullptr, 0, 8000, WatchdogTimer)] = hDlg;
    if (step)
        step(hDlg);
}

}  // namespace

TestApp::TestApp()
{
    g_testApp = this;
}

TestApp& TheTestApp()
{
    return *g_testApp;
}

std::wstring TestApp::UseFreshSettings(const wchar_t* name)
{
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + name;
    ::DeleteFileW(path.c_str());
    SetProfileName(path);
    return path;
}

void RunInModalLoop(const std::function<void(HWND)>& step)
{
    g_step = step;
    ::SetTimer(nullptr, 0, 20, StepTimer);
}

INT_PTR RunQuietMainWindow(CTarnwellDlg& dlg, const std::function<void(HWND)>& step)
{
    RunInModalLoop([&dlg, step](HWND h) {
        CTarnwellDlgProbe::Link(dlg).UseAdapters({});
        step(h);
    });
    TheTestApp().m_pMainWnd = &dlg;
    INT_PTR result = dlg.DoModal();
    TheTestApp().m_pMainWnd = nullptr;
    return result;
}

std::wstring ReadTextFile(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string s = ss.str();
    return std::wstring(s.begin(), s.end());
}

std::wstring StatusOf(HWND main)
{
    HWND edit = ::GetDlgItem(main, IDC_STATUS_EDIT);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}
