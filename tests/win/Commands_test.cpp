// Command routing of the main window: the update test, the system menu, Help.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/win/TarnwellDlgProbe.h"
#include "tests/win/WinTestSupport.h"
#include "ui/IconLayout.h"

namespace {

std::wstring CaptionOf(HWND h)
{
    wchar_t text[128] = {};
    ::GetWindowTextW(h, text, 128);
    return text;
}

// Posts a command, then runs `inDialog` in the modal loop of the dialog it opens
// (or, when none opens, in the main window's loop again).
void PostAndThen(HWND h, UINT msg, WPARAM wParam, const std::function<void(HWND)>& inDialog)
{
    RunInModalLoop(inDialog);
    ::PostMessageW(h, msg, wParam, 0);
}

}  // namespace

TEST(Commands, SystemCommandsSixteenToThirtyOneOpenTheAboutBox)
{
    struct Case {
        UINT id;
        bool opens;
    };
    const Case cases[] = {{16, true}, {31, true}, {24, true}, {15, false}, {32, false}};
    TheTestApp().UseFreshSettings(L"tarnwell-sys.ini");
    for (const Case& c : cases) {
        CTarnwellDlg dlg;
        std::wstring opened;
        RunQuietMainWindow(dlg, [&](HWND h) {
            PostAndThen(h, WM_SYSCOMMAND, c.id, [&, h](HWND active) {
                opened = active == h ? L"" : CaptionOf(active);
                if (active != h)
                    ::PostMessageW(active, WM_COMMAND, IDOK, 0);
                RunInModalLoop([](HWND main) { ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0); });
            });
        });
        if (c.opens)
            EXPECT_EQ(opened, L"About Tarnwell") << "system command " << c.id << " opens the About box";
        else
            EXPECT_EQ(opened, L"") << "system command " << c.id << " must not open the About box";
    }
}

TEST(Commands, ReadyCommandsAreDroppedDuringADownload)
{
    TheTestApp().UseFreshSettings(L"tarnwell-gate.ini");
    CTarnwellDlg dlg;
    std::wstring statusAfter, openAfterDownload;
    INT_PTR result = RunQuietMainWindow(dlg, [&](HWND h) {
        CTarnwellDlgProbe::SetReady(dlg, false);
        dlg.LogStatus(L"busy\r\n");
        ::PostMessageW(h, WM_COMMAND, ID_SEARCH, 0);
        ::PostMessageW(h, WM_COMMAND, ID_DOWNLOAD, 0);  // would show "No boards selected."
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
        RunInModalLoop([&, h](HWND active) {
            statusAfter = StatusOf(h);
            openAfterDownload = active == h ? L"" : CaptionOf(active);
            CTarnwellDlgProbe::SetReady(dlg, true);
            ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
        });
    });
    EXPECT_EQ(statusAfter, L"busy\r\n") << "Search must not run while a download runs";
    EXPECT_EQ(openAfterDownload, L"") << "Download must not show anything while a download runs";
    EXPECT_EQ(result, IDCANCEL);
}

TEST(Commands, PingCommandsRunDuringADownload)
{
    struct Case {
        UINT id;
        const wchar_t* caption;
    };
    const Case cases[] = {{ID_PING_LIST, L"Enter IP Address List"}, {ID_PING_SPECIFIC, L"Ping Specific IP"}};
    TheTestApp().UseFreshSettings(L"tarnwell-ping.ini");
    for (const Case& c : cases) {
        CTarnwellDlg dlg;
        std::wstring opened;
        RunQuietMainWindow(dlg, [&](HWND h) {
            CTarnwellDlgProbe::SetReady(dlg, false);
            PostAndThen(h, WM_COMMAND, c.id, [&, h](HWND active) {
                opened = active == h ? L"" : CaptionOf(active);
                ::PostMessageW(active, WM_COMMAND, IDCANCEL, 0);
                RunInModalLoop([&dlg](HWND main) {
                    CTarnwellDlgProbe::SetReady(dlg, true);
                    ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
                });
            });
        });
        EXPECT_EQ(opened, c.caption);
    }
}

TEST(Commands, HelpGoesToTheApplication)
{
    TheTestApp().UseFreshSettings(L"tarnwell-help.ini");
    CTarnwellDlg dlg;
    int before = TheTestApp().m_nHelpCalls;
    RunQuietMainWindow(dlg, [&](HWND h) {
        ::PostMessageW(h, WM_COMMAND, ID_HELP, 0);
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(TheTestApp().m_nHelpCalls, before + 1);
}

TEST(Commands, DragIconIsTheWindowIcon)
{
    TheTestApp().UseFreshSettings(L"tarnwell-icon.ini");
    CTarnwellDlg dlg;
    LRESULT dragIcon = 0, windowIcon = 0;
    RunQuietMainWindow(dlg, [&](HWND h) {
        dragIcon = ::SendMessageW(h, WM_QUERYDRAGICON, 0, 0);
        windowIcon = ::SendMessageW(h, WM_GETICON, ICON_BIG, 0);
        ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NE(windowIcon, 0);
    EXPECT_EQ(dragIcon, windowIcon);
}

TEST(Commands, MinimisedIconOriginTruncatesTowardZero)
{
    EXPECT_EQ(CenteredIconOrigin(36, 36, 32, 32).x, 2);
    EXPECT_EQ(CenteredIconOrigin(31, 31, 32, 32).x, 0);
    EXPECT_EQ(CenteredIconOrigin(30, 30, 32, 32).x, 0) << "-1 / 2 truncates to 0";
    EXPECT_EQ(CenteredIconOrigin(20, 20, 32, 32).y, -5);
}
