// Helpers shared by the Windows tests.
#pragma once

#include <functional>
#include <string>

#include "framework/WinApp.h"

class TestApp : public CWinApp {
public:
    TestApp();
    // A fresh, empty settings file in the temp folder.
    std::wstring UseFreshSettings(const wchar_t* name);
};

TestApp& TheTestApp();

constexpr INT_PTR WATCHDOG_RESULT = 99;

// Runs `step` inside the modal loop of the next dialog that opens, once the
// dialog is up; step gets the dialog's window.
void RunInModalLoop(const std::function<void(HWND)>& step);

class CTarnwellDlg;
// Runs the main window with no adapters, so no command can send anything;
// `step` runs inside its modal loop.
INT_PTR RunQuietMainWindow(CTarnwellDlg& dlg, const std::function<void(HWND)>& step);
// The main window's status log as it shows.
std::wstring StatusOf(HWND main);

std::wstring ReadTextFile(const std::wstring& path);
