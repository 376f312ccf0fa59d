// Finds the program's windows and controls from another process, and checks that a person could use them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DriverOptions {
    std::wstring mainCaption = L"Quellmoor";
    DWORD findTimeoutMs = 5000;
    bool force = false;  // act on disabled windows too
    DWORD pid = 0;       // the program's Windows process id when several main windows are open; 0: any
};

struct TopWindow {
    HWND hwnd;
    std::wstring caption;
    std::wstring className;
    bool visible;
    bool enabled;
};

class Driver {
public:
    explicit Driver(DriverOptions options);

    const DriverOptions& Options() const { return m_options; }

    // nullptr when no main window appears within timeoutMs.
    HWND FindMain(DWORD timeoutMs);
    // target is "main" or a top-level caption; windows of the main window's process are preferred.
    HWND FindTop(const std::wstring& target, DWORD timeoutMs);
    // Visible top-level windows of the main window's process (all of them with includeHidden), in z-order.
    std::vector<TopWindow> ProcessWindows(bool includeHidden);
    // The program's active window: its thread's active window, else its topmost enabled window, else main.
    HWND ActiveWindow(HWND main);
    // The enabled, visible top-level window of the program that holds a message-box text; nullptr if none.
    HWND FindMessageBox();

    // The Require* functions wait up to the find time-out, report on stderr and return an exit code.
    int RequireMain(HWND& out);
    int RequireTop(const std::wstring& target, HWND& out);
    int RequireControl(HWND top, const std::wstring& control, HWND& out);
    // A disabled window (the owner of an open modal dialog) takes no input from a person.
    int RequireUsable(HWND top);

    static std::wstring Caption(HWND hwnd);
    static std::wstring ClassOf(HWND hwnd);
    // A control id: a number (decimal or 0x hex) or a name such as "units" or "status"; -1 when neither.
    static int ParseControlId(const std::wstring& text);

private:
    DWORD MainProcessId();

    DriverOptions m_options;
    bool m_warnedAmbiguous = false;
};

// How often waits look again (--poll); timing runs look more often than tests need to.
inline DWORD g_pollMs = 20;

// Polls pred every g_pollMs until it holds or timeoutMs passes.
template <class Pred>
bool PollUntil(DWORD timeoutMs, Pred pred)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(g_pollMs);
    }
}
