#include "Driver.h"

#include "Console.h"
#include "RemoteControl.h"
#include "res/resource.h"

#include <cwchar>
#include <utility>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

struct EnumState {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp)
{
    reinterpret_cast<EnumState*>(lp)->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    EnumState state;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

DWORD ProcessOf(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct ControlName {
    const wchar_t* name;
    int id;
};

constexpr ControlName kControlNames[] = {
    {L"units", IDC_UNITS},
    {L"file", IDC_FILE_EDIT},
    {L"file-button", IDC_FILE_BUTTON},
    {L"status", IDC_STATUS_EDIT},
    {L"ip-list", IDC_IP_LIST},
    {L"progress", IDC_PROGRESS},
    {L"ip-address", IDC_IP_ADDRESS},
    {L"ok", IDOK},
    {L"cancel", IDCANCEL},
};

}  // namespace

Driver::Driver(DriverOptions options) : m_options(std::move(options)) {}

std::wstring Driver::Caption(HWND hwnd)
{
    wchar_t buffer[512] = L"";
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

std::wstring Driver::ClassOf(HWND hwnd)
{
    wchar_t buffer[256] = L"";
    GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

int Driver::ParseControlId(const std::wstring& text)
{
    for (const ControlName& entry : kControlNames) {
        if (text == entry.name)
            return entry.id;
    }
    if (text.empty())
        return -1;
    wchar_t* end = nullptr;
    long value = std::wcstol(text.c_str(), &end, 0);
    if (*end != L'\0' || value < 0 || value > 0xFFFF)
        return -1;
    return static_cast<int>(value);
}

HWND Driver::FindMain(DWORD timeoutMs)
{
    HWND found = nullptr;
    int count = 0;
    PollUntil(timeoutMs, [&] {
        count = 0;
        for (HWND hwnd : TopLevelWindows()) {
            if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770" || Caption(hwnd) != m_options.mainCaption)
                continue;
            if (m_options.pid != 0 && ProcessOf(hwnd) != m_options.pid)
                continue;
            if (count++ == 0)
                found = hwnd;
        }
        return found != nullptr;
    });
    // Two programs under one wineserver (one prefix) see each other's windows, whatever display they use.
    if (count > 1 && !m_warnedAmbiguous) {
        m_warnedAmbiguous = true;
        console::Fail(kExitOk, L"warning: " + std::to_wstring(count) + L" main windows are open; using process " +
                                   std::to_wstring(ProcessOf(found)) + L" (choose one with --pid)");
    }
    return found;
}

HWND Driver::ActiveWindow(HWND main)
{
    // Under Wine the thread's active window may for a moment still name a window that has just closed.
    GUITHREADINFO info;
    if (remote::ThreadInfo(main, info) && info.hwndActive != nullptr && IsWindow(info.hwndActive))
        return info.hwndActive;
    for (const TopWindow& w : ProcessWindows(false)) {
        if (w.enabled)
            return w.hwnd;
    }
    return main;
}

DWORD Driver::MainProcessId()
{
    HWND main = FindMain(0);
    return main != nullptr ? ProcessOf(main) : 0;
}

HWND Driver::FindTop(const std::wstring& target, DWORD timeoutMs)
{
    if (target == L"main")
        return FindMain(timeoutMs);
    HWND found = nullptr;
    PollUntil(timeoutMs, [&] {
        DWORD pid = MainProcessId();
        HWND fallback = nullptr;
        for (HWND hwnd : TopLevelWindows()) {
            if (!IsWindowVisible(hwnd) || Caption(hwnd) != target)
                continue;
            if (pid == 0 || ProcessOf(hwnd) == pid) {
                found = hwnd;
                return true;
            }
            if (fallback == nullptr)
                fallback = hwnd;
        }
        found = fallback;
        return found != nullptr;
    });
    return found;
}

std::vector<TopWindow> Driver::ProcessWindows(bool includeHidden)
{
    std::vector<TopWindow> result;
    DWORD pid = MainProcessId();
    if (pid == 0)
        return result;
    for (HWND hwnd : TopLevelWindows()) {
        if (ProcessOf(hwnd) != pid)
            continue;
        bool visible = IsWindowVisible(hwnd) != FALSE;
        if (!visible && !includeHidden)
            continue;
        result.push_back({hwnd, Caption(hwnd), ClassOf(hwnd), visible, IsWindowEnabled(hwnd) != FALSE});
    }
    return result;
}

// A message box is a dialog of statics and buttons whose text is the one static with id 0xFFFF. Labels of
// ordinary dialogs carry the same id (-1), which is why a box with two such labels (an About box with its icon
// and its text) does not count, nor does a disabled dialog: an open message box disables every window below it.
HWND Driver::FindMessageBox()
{
    for (const TopWindow& w : ProcessWindows(false)) {
        if (w.className != L"#32770" || !w.enabled || w.caption == m_options.mainCaption)
            continue;
        int unnamedStatics = 0;
        bool onlyStaticsAndButtons = true;
        for (HWND child : remote::Children(w.hwnd)) {
            std::wstring cls = ClassOf(child);
            if (cls != L"Static" && cls != L"Button")
                onlyStaticsAndButtons = false;
            if (cls == L"Static" && (GetDlgCtrlID(child) & 0xFFFF) == kMessageBoxTextId)
                ++unnamedStatics;
        }
        if (onlyStaticsAndButtons && unnamedStatics == 1)
            return w.hwnd;
    }
    return nullptr;
}

int Driver::RequireMain(HWND& out)
{
    out = FindMain(m_options.findTimeoutMs);
    if (out == nullptr)
        return console::Fail(kExitNotFound, L"main window \"" + m_options.mainCaption + L"\" not found");
    return kExitOk;
}

int Driver::RequireTop(const std::wstring& target, HWND& out)
{
    out = FindTop(target, m_options.findTimeoutMs);
    if (out != nullptr)
        return kExitOk;
    if (target == L"main")
        return console::Fail(kExitNotFound, L"main window \"" + m_options.mainCaption + L"\" not found");
    return console::Fail(kExitNotFound, L"no window with caption \"" + target + L"\"");
}

int Driver::RequireControl(HWND top, const std::wstring& control, HWND& out)
{
    int id = ParseControlId(control);
    if (id < 0)
        return console::Fail(kExitUsage, L"bad control id \"" + control + L"\"");
    out = nullptr;
    PollUntil(m_options.findTimeoutMs, [&] {
        out = remote::FindDescendant(top, id);
        return out != nullptr;
    });
    if (out == nullptr)
        return console::Fail(kExitNotFound,
                             L"control " + std::to_wstring(id) + L" not found in \"" + Caption(top) + L"\"");
    return kExitOk;
}

// A dialog that is closing enables its owner a moment before it is gone, and a slow machine makes that moment
// longer: like a person, the driver waits for the window to take input again, up to the find time-out.
int Driver::RequireUsable(HWND top)
{
    if (m_options.force || PollUntil(m_options.findTimeoutMs, [&] { return IsWindowEnabled(top) != FALSE; }))
        return kExitOk;
    std::wstring over;
    for (const TopWindow& w : ProcessWindows(false)) {
        if (w.hwnd != top && w.enabled)
            over += (over.empty() ? L"\"" : L", \"") + w.caption + L"\"";
    }
    return console::Fail(kExitFailed, L"\"" + Caption(top) + L"\" is disabled (a modal dialog is open over it: " +
                                          (over.empty() ? L"none of the program's windows shows" : over) +
                                          L") after " + std::to_wstring(m_options.findTimeoutMs) + L" ms");
}
