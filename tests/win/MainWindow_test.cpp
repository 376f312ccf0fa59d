// The main window as created from its template, and the roads that close it.
#include <gtest/gtest.h>

#include <string>

#include "ui/Settings.h"
#include "res/resource.h"
#include "tests/win/TarnwellDlgProbe.h"
#include "tests/win/WinTestSupport.h"

#include <objbase.h>

namespace {

std::wstring ClassOf(HWND h)
{
    wchar_t name[64] = {};
    ::GetClassNameW(h, name, 64);
    return name;
}

std::wstring TextOf(HWND h)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(h, text, 256);
    return text;
}

// Runs the main window modally; `step` runs inside its modal loop.
INT_PTR RunMainWindow(CTarnwellDlg& dlg, const std::function<void(HWND)>& step)
{
    RunInModalLoop(step);
    TheTestApp().m_pMainWnd = &dlg;
    INT_PTR result = dlg.DoModal();
    TheTestApp().m_pMainWnd = nullptr;
    return result;
}

}  // namespace

TEST(MainWindow, ControlsAreCreatedAsTheTemplateSays)
{
    struct Expected {
        int id;
        const wchar_t* cls;
        const wchar_t* text;
        DWORD style;
        DWORD exStyle;
    };
    // Only the bits the template sets are compared, less those the controls manage
    // themselves once created (the border they draw, scroll bars shown on demand);
    // the compiled template itself is checked bit for bit by the resource check.
    const Expected controls[] = {
        {IDC_UNITS, L"ListBox", L"", 0x50a10981, WS_EX_STATICEDGE},
        {IDC_FILE_EDIT, L"Edit", nullptr, 0x50800880, WS_EX_STATICEDGE},
        {IDC_FILE_BUTTON, L"Button", L"File", 0x50010000, 0},
        {IDC_STATUS_EDIT, L"Edit", L"", 0x50800884, WS_EX_STATICEDGE},
        {IDC_PROGRESS, L"msctls_progress32", L"", 0x50800000, 0},
    };
    TheTestApp().UseFreshSettings(L"tarnwell-window.ini");
    TheTestApp().WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L"C:\\fw\\gur_arm_fw.bin");
    CTarnwellDlg dlg;
    std::wstring caption, fileText;
    int statics = 0;
    RunMainWindow(dlg, [&](HWND h) {
        caption = TextOf(h);
        fileText = TextOf(::GetDlgItem(h, IDC_FILE_EDIT));
        for (const Expected& e : controls) {
            HWND c = ::GetDlgItem(h, e.id);
            ASSERT_TRUE(c) << "control " << e.id << " is missing";
            EXPECT_EQ(ClassOf(c), e.cls) << "class of control " << e.id;
            DWORD style = static_cast<DWORD>(::GetWindowLongW(c, GWL_STYLE));
            DWORD ex = static_cast<DWORD>(::GetWindowLongW(c, GWL_EXSTYLE));
            DWORD want = e.style & ~static_cast<DWORD>(WS_BORDER | WS_VSCROLL);
            EXPECT_EQ(style & want, want) << "style of control " << e.id << std::hex << " is " << style;
            EXPECT_EQ(ex & e.exStyle, e.exStyle) << "extended style of control " << e.id;
            if (e.text)
                EXPECT_EQ(TextOf(c), e.text) << "text of control " << e.id;
        }
        for (HWND c = ::GetWindow(h, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            if (ClassOf(c) == L"Static")
                ++statics;
        }
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(caption, L"Quellmoor");
    EXPECT_EQ(fileText, L"C:\\fw\\gur_arm_fw.bin") << "the file edit shows the stored firmware path";
    EXPECT_EQ(statics, 4) << "Download File:, Progress:, Units: and Status: labels";
}

TEST(MainWindow, MenuBarAndAboutItem)
{
    TheTestApp().UseFreshSettings(L"tarnwell-menu.ini");
    CTarnwellDlg dlg;
    std::wstring items[4];
    UINT ids[4] = {};
    std::wstring lastSysItem;
    UINT lastSysId = 0, beforeLastType = 0;
    RunMainWindow(dlg, [&](HWND h) {
        HMENU bar = ::GetMenu(h);
        for (int i = 0; i < 4; ++i) {
            wchar_t text[64] = {};
            ::GetMenuStringW(bar, i, text, 64, MF_BYPOSITION);
            items[i] = text;
            ids[i] = ::GetMenuItemID(bar, i);
        }
        HMENU sys = ::GetSystemMenu(h, FALSE);
        int n = ::GetMenuItemCount(sys);
        wchar_t text[64] = {};
        ::GetMenuStringW(sys, n - 1, text, 64, MF_BYPOSITION);
        lastSysItem = text;
        lastSysId = ::GetMenuItemID(sys, n - 1);
        MENUITEMINFOW info = {sizeof info, MIIM_FTYPE};
        ::GetMenuItemInfoW(sys, n - 2, TRUE, &info);
        beforeLastType = info.fType;
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(items[0], L"Ping");
    EXPECT_EQ(items[1], L"Search");
    EXPECT_EQ(items[2], L"Download");
    EXPECT_EQ(items[3], L"Exit");
    EXPECT_EQ(ids[1], static_cast<UINT>(ID_SEARCH));
    EXPECT_EQ(ids[2], static_cast<UINT>(ID_DOWNLOAD));
    EXPECT_EQ(ids[3], static_cast<UINT>(IDCANCEL));
    EXPECT_EQ(lastSysItem, L"&About Tarnwell...");
    EXPECT_EQ(lastSysId, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_TRUE(beforeLastType & MFT_SEPARATOR) << "a separator stands before the About item";
}

// Each road to closing, tried while a download runs and then while idle.
TEST(MainWindow, CloseRoadsActOnlyWhileReady)
{
    struct Road {
        const char* name;
        void (*press)(HWND);
    };
    const Road roads[] = {
        {"Exit menu item", [](HWND h) { ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0); }},
        {"Escape key",
         [](HWND h) {
             HWND focus = ::GetFocus();
             ::PostMessageW(focus ? focus : h, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         }},
        {"close box", [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](HWND h) { ::PostMessageW(h, WM_CLOSE, 0, 0); }},
    };
    TheTestApp().UseFreshSettings(L"tarnwell-close.ini");
    for (const Road& road : roads) {
        CTarnwellDlg dlg;
        bool stayedOpen = false, comKept = false;
        INT_PTR result = RunMainWindow(dlg, [&](HWND h) {
            CTarnwellDlgProbe::SetReady(dlg, false);
            road.press(h);
            // Let the dialog work through the input while it is busy.
            MSG msg;
            DWORD until = ::GetTickCount() + 300;
            while (::GetTickCount() < until) {
                while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    if (!::IsDialogMessageW(h, &msg)) {
                        ::TranslateMessage(&msg);
                        ::DispatchMessageW(&msg);
                    }
                }
                ::Sleep(10);
            }
            stayedOpen = ::IsWindow(h) && ::IsWindowVisible(h);
            // COM must still be initialised for this thread: a refused close keeps it.
            HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            comKept = hr == S_FALSE;
            if (SUCCEEDED(hr))
                ::CoUninitialize();
            CTarnwellDlgProbe::SetReady(dlg, true);
            road.press(h);
        });
        EXPECT_TRUE(stayedOpen) << road.name << " must not close the window during a download";
        EXPECT_EQ(result, IDCANCEL) << road.name << " must close the window while idle";
        EXPECT_TRUE(comKept) << road.name << " refused during a download must leave COM initialised";
    }
}

TEST(MainWindow, EnterDoesNothing)
{
    TheTestApp().UseFreshSettings(L"tarnwell-enter.ini");
    CTarnwellDlg dlg;
    bool stayedOpen = false;
    RunMainWindow(dlg, [&](HWND h) {
        ::SetFocus(::GetDlgItem(h, IDC_UNITS));
        ::PostMessageW(::GetDlgItem(h, IDC_UNITS), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        ::PostMessageW(h, WM_COMMAND, IDOK, 0);
        MSG msg;
        DWORD until = ::GetTickCount() + 300;
        while (::GetTickCount() < until) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (!::IsDialogMessageW(h, &msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
            }
            ::Sleep(10);
        }
        stayedOpen = ::IsWindow(h) && ::IsWindowVisible(h);
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(stayedOpen) << "Enter must not end the main window";
}

TEST(MainWindow, StatusLogPutsTheNewestLineOnTop)
{
    TheTestApp().UseFreshSettings(L"tarnwell-log.ini");
    CTarnwellDlg dlg;
    std::wstring shown, restarted;
    RunMainWindow(dlg, [&](HWND h) {
        dlg.LogStatus(L"first\r\n");
        dlg.LogStatus(L"second\r\n");
        shown = TextOf(::GetDlgItem(h, IDC_STATUS_EDIT));
        dlg.RestartStatus(L"again\r\n");
        restarted = TextOf(::GetDlgItem(h, IDC_STATUS_EDIT));
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(shown, L"second\r\nfirst\r\n");
    EXPECT_EQ(restarted, L"again\r\n");
}
