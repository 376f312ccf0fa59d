// What the user hands the window: a Ping during a download, a stored firmware
// name the boards cannot be sent, a path too long for the file dialog.
#include <gtest/gtest.h>

#include <string>

#include "ui/Settings.h"
#include "framework/FileDialog.h"
#include "res/resource.h"
#include "tests/win/WinTestSupport.h"
#include "tests/win/TarnwellDlgProbe.h"

#include <dlgs.h>

namespace {

std::wstring TextOf(HWND h)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(h, text, 512);
    return text;
}

// The text of a message box: its one static with id -1.
std::wstring MessageBoxText(HWND box)
{
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        ::GetClassNameW(c, cls, 16);
        if (std::wstring(cls) == L"Static" && (::GetDlgCtrlID(c) & 0xFFFF) == 0xFFFF && ::GetWindowTextLengthW(c) > 0)
            return TextOf(c);
    }
    return {};
}

}  // namespace

// During a download the log is its report; a Ping adds its line on top. Idle,
// a Ping starts the log afresh. The unit list is emptied either way.
TEST(Inputs, APingDuringADownloadKeepsTheLog)
{
    struct Case {
        UINT id;
        bool downloading;
        const wchar_t* status;
    };
    const Case cases[] = {
        {ID_PING_LIST, true,
         L"Searching for boards in the ping list...\r\nUnit at IP 192.168.1.2 failed to download.\r\n"
         L"Downloading x to all valid selected boards.\r\n"},
        {ID_PING_SPECIFIC, true,
         L"Searching for board at specific IP address...\r\nUnit at IP 192.168.1.2 failed to download.\r\n"
         L"Downloading x to all valid selected boards.\r\n"},
        {ID_PING_LIST, false, L"Searching for boards in the ping list...\r\n"},
        {ID_PING_SPECIFIC, false, L"Searching for board at specific IP address...\r\n"},
    };
    for (const Case& c : cases) {
        TheTestApp().UseFreshSettings(L"tarnwell-pinglog.ini");
        CTarnwellDlg dlg;
        std::wstring shown;
        int units = -1;
        size_t boardsLeft = 1;
        RunQuietMainWindow(dlg, [&](HWND h) {
            CTarnwellDlgProbe::AddUnit(dlg, "FW VEX 1", L"192.168.1.1", false);
            CTarnwellDlgProbe::SetReady(dlg, !c.downloading);
            dlg.RestartStatus(L"Downloading x to all valid selected boards.\r\n");
            dlg.LogStatus(L"Unit at IP 192.168.1.2 failed to download.\r\n");
            RunInModalLoop([&, h](HWND active) {
                ::PostMessageW(active, WM_COMMAND, IDOK, 0);
                RunInModalLoop([&](HWND main) {
                    shown = TextOf(::GetDlgItem(main, IDC_STATUS_EDIT));
                    units = CTarnwellDlgProbe::Discovery(dlg).UnitList().GetCount();
                    boardsLeft = CTarnwellDlgProbe::Discovery(dlg).Boards().size();
                    CTarnwellDlgProbe::SetReady(dlg, true);
                    ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
                });
            });
            ::PostMessageW(h, WM_COMMAND, c.id, 0);
        });
        const char* what = c.downloading ? "during a download" : "idle";
        EXPECT_EQ(shown, c.status) << "the log shown, command " << c.id << " " << what;
        EXPECT_EQ(units, 0) << "the unit list is emptied, command " << c.id << " " << what;
        EXPECT_EQ(boardsLeft, 0u);
    }
}

// A name from the settings that the boards' code page cannot hold is never sent.
TEST(Inputs, DownloadRefusesANameOutsideTheCodePage)
{
    TheTestApp().UseFreshSettings(L"tarnwell-notansi.ini");
    TheTestApp().WriteProfileStringW(SETTINGS_SECTION, SETTING_FIRMWARE_FILE, L"C:\\fw\\vex_arm_fw_\u0416\u20AC.bin");
    CTarnwellDlg dlg;
    std::wstring message, status;
    bool readyAfter = false;
    RunQuietMainWindow(dlg, [&](HWND h) {
        CTarnwellDlgProbe::AddUnit(dlg, "FW VEX 1", L"192.168.1.1", true);
        dlg.LogStatus(L"before\r\n");
        RunInModalLoop([&, h](HWND box) {
            message = box == h ? L"" : MessageBoxText(box);
            if (box != h)
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            RunInModalLoop([&](HWND main) {
                status = StatusOf(main);
                readyAfter = CTarnwellDlgProbe::IsReady(dlg);
                ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
            });
        });
        ::PostMessageW(h, WM_COMMAND, ID_DOWNLOAD, 0);
    });
    EXPECT_EQ(message,
              L"The firmware file name holds characters that cannot be sent to the boards.\r\n"
              L"Rename the file and choose it again.");
    EXPECT_EQ(status, L"before\r\n") << "no download may start";
    EXPECT_TRUE(readyAfter);
}

// Open on a path the dialog cannot take shows a message and keeps the dialog
// open, instead of overrunning the dialog's own path buffer; a path it can take
// is returned.
TEST(Inputs, FileDialogRefusesAPathTooLongForIt)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring shortPath = std::wstring(temp) + L"tarnwell-dialog-vex_arm_fw.bin";
    ::CloseHandle(::CreateFileW(shortPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    struct Case {
        const char* what;
        std::wstring typed;
        bool refused;
    };
    const Case cases[] = {
        {"300 characters with a drive", L"C:\\" + std::wstring(283, L'd') + L"\\vex_arm_fw.bin", true},
        {"a rooted path of 300 characters", L"\\" + std::wstring(284, L'd') + L"\\vex_arm_fw.bin", true},
        {"a name too long for the folder shown", std::wstring(250, L'n') + L"vex_arm_fw.bin", true},
        {"a path the dialog can take", shortPath, false},
    };
    for (const Case& c : cases) {
        CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, L"Firmware (*.bin)|*.bin||", nullptr);
        dlg.SetPathTooLongMessage(L"too long", L"Tarnwell");
        std::wstring message;
        bool stillOpen = false;
        RunInModalLoop([&](HWND fileDlg) {
            ::SendMessageW(fileDlg, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(c.typed.c_str()));
            ::SendMessageW(fileDlg, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(c.typed.c_str()));
            ::PostMessageW(fileDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            if (!c.refused)
                return;
            RunInModalLoop([&, fileDlg](HWND box) {
                message = box == fileDlg ? L"" : MessageBoxText(box);
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                RunInModalLoop([&, fileDlg](HWND active) {
                    stillOpen = active == fileDlg && ::IsWindow(fileDlg);
                    ::PostMessageW(fileDlg, WM_COMMAND, IDCANCEL, 0);
                });
            });
        });
        INT_PTR result = dlg.DoModal();
        if (c.refused) {
            EXPECT_EQ(message, L"too long") << c.what;
            EXPECT_TRUE(stillOpen) << c.what << ": the dialog must stay open for another choice";
            EXPECT_EQ(result, IDCANCEL) << c.what;
        } else {
            EXPECT_EQ(result, IDOK) << c.what;
            EXPECT_EQ(::lstrcmpiW(dlg.GetPathName().c_str(), shortPath.c_str()), 0) << c.what;
        }
    }
    ::DeleteFileW(shortPath.c_str());
}
