// The About, Ping Specific and Ping List dialogs, run modally for real.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/win/WinTestSupport.h"
#include "ui/AboutDlg.h"
#include "ui/PingList.h"
#include "ui/PingSpecific.h"

namespace {

std::wstring CaptionOf(HWND h)
{
    wchar_t text[128] = {};
    ::GetWindowTextW(h, text, 128);
    return text;
}

void PostKey(HWND target, WPARAM vk)
{
    ::PostMessageW(target, WM_KEYDOWN, vk, 1);
    ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

}  // namespace

TEST(PingSpecific, ShowsTheStoredAddressAndReturnsItOnOk)
{
    CPingSpecific dlg;
    dlg.m_dwAddress = 0xC0A80105;  // 192.168.1.5
    DWORD shown = 0;
    std::wstring caption;
    HWND focus = nullptr, okButton = nullptr;
    INT_PTR result = 0;
    RunInModalLoop([&](HWND h) {
        caption = CaptionOf(h);
        ::SendMessageW(::GetDlgItem(h, IDC_IP_ADDRESS), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown));
        focus = ::GetFocus();
        okButton = ::GetDlgItem(h, IDOK);
        PostKey(focus, VK_RETURN);  // the focus starts on OK, so Enter is OK
    });
    result = dlg.DoModal();
    EXPECT_EQ(caption, L"Ping Specific IP");
    EXPECT_EQ(shown, 0xC0A80105u) << "the control must show 192.168.1.5";
    EXPECT_EQ(focus, okButton) << "the focus starts on OK";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_dwAddress, 0xC0A80105u);
}

TEST(PingSpecific, BlankFieldsReadBackAsZero)
{
    struct Case {
        const char* name;
        void (*edit)(HWND ip);
        DWORD expected;
    };
    const Case cases[] = {
        {"entirely blank", [](HWND ip) { ::SendMessageW(ip, IPM_CLEARADDRESS, 0, 0); }, 0},
        {"first field only",
         [](HWND ip) {
             ::SendMessageW(ip, IPM_CLEARADDRESS, 0, 0);
             HWND field = ::FindWindowExW(ip, nullptr, L"Edit", nullptr);
             // Fields are created right to left on some systems; find the leftmost.
             RECT best = {};
             HWND first = field;
             for (HWND f = field; f; f = ::FindWindowExW(ip, f, L"Edit", nullptr)) {
                 RECT r;
                 ::GetWindowRect(f, &r);
                 if (f == field || r.left < best.left) {
                     best = r;
                     first = f;
                 }
             }
             ::SetWindowTextW(first, L"10");
         },
         0x0A000000},
    };
    for (const Case& c : cases) {
        CPingSpecific dlg;
        dlg.m_dwAddress = 0xC0A80105;
        RunInModalLoop([&](HWND h) {
            c.edit(::GetDlgItem(h, IDC_IP_ADDRESS));
            ::PostMessageW(h, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(dlg.DoModal(), IDOK) << c.name;
        EXPECT_EQ(dlg.m_dwAddress, c.expected) << c.name;
    }
}

TEST(PingSpecific, CancelKeepsTheCallersValue)
{
    CPingSpecific dlg;
    dlg.m_dwAddress = 0x0A000005;
    RunInModalLoop([&](HWND h) {
        ::SendMessageW(::GetDlgItem(h, IDC_IP_ADDRESS), IPM_CLEARADDRESS, 0, 0);
        PostKey(::GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_dwAddress, 0x0A000005u);
}

TEST(PingList, EnterClosesWithOkAndTheWholeText)
{
    CPingList dlg;
    dlg.m_strList = L"10.0.0.5\r\n10.0.0.6";
    std::wstring caption, shown;
    RunInModalLoop([&](HWND h) {
        caption = CaptionOf(h);
        HWND edit = ::GetDlgItem(h, IDC_IP_LIST);
        wchar_t text[256] = {};
        ::GetWindowTextW(edit, text, 256);
        shown = text;
        ::SetWindowTextW(edit, L"10.0.0.7\r\n\r\n10.0.0.8\r\n");
        ::SetFocus(edit);
        PostKey(edit, VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(caption, L"Enter IP Address List");
    EXPECT_EQ(shown, L"10.0.0.5\r\n10.0.0.6");
    EXPECT_EQ(dlg.m_strList, L"10.0.0.7\r\n\r\n10.0.0.8\r\n");
}

TEST(PingList, CtrlEnterStartsANewLine)
{
    CPingList dlg;
    dlg.m_strList = L"10.0.0.5";
    RunInModalLoop([&](HWND h) {
        HWND edit = ::GetDlgItem(h, IDC_IP_LIST);
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 8, 8);
        BYTE keys[256];
        ::GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        ::SetKeyboardState(keys);
        ::SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
        ::SendMessageW(edit, WM_CHAR, L'\n', 1);
        keys[VK_CONTROL] = 0;
        ::SetKeyboardState(keys);
        ::SendMessageW(edit, WM_CHAR, L'x', 1);
        ::PostMessageW(h, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strList, L"10.0.0.5\r\nx");
}

TEST(PingList, EscapeInsideTheEditCancels)
{
    CPingList dlg;
    dlg.m_strList = L"10.0.0.5";
    RunInModalLoop([&](HWND h) {
        HWND edit = ::GetDlgItem(h, IDC_IP_LIST);
        ::SetWindowTextW(edit, L"changed");
        ::SetFocus(edit);
        PostKey(edit, VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_strList, L"10.0.0.5") << "cancel reads nothing back";
}

TEST(PingDialogs, RunTimeClassInformation)
{
    CPingList list;
    CPingSpecific specific;
    EXPECT_STREQ(list.GetRuntimeClass()->m_lpszClassName, "CPingList");
    EXPECT_STREQ(specific.GetRuntimeClass()->m_lpszClassName, "CPingSpecific");
    EXPECT_STREQ(list.GetRuntimeClass()->m_pBaseClass->m_lpszClassName, "CDialog");
}

TEST(AboutBox, ClosesEveryWay)
{
    struct Way {
        const char* name;
        void (*press)(HWND);
    };
    const Way ways[] = {
        {"OK button", [](HWND h) { ::SendMessageW(::GetDlgItem(h, IDOK), BM_CLICK, 0, 0); }},
        {"Enter", [](HWND) { PostKey(::GetFocus(), VK_RETURN); }},
        {"Escape", [](HWND) { PostKey(::GetFocus(), VK_ESCAPE); }},
        {"close box", [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Way& way : ways) {
        CAboutDlg dlg;
        std::wstring caption;
        RunInModalLoop([&](HWND h) {
            caption = CaptionOf(h);
            way.press(h);
        });
        INT_PTR result = dlg.DoModal();
        EXPECT_NE(result, WATCHDOG_RESULT) << way.name << " must close the About box";
        EXPECT_EQ(caption, L"About Tarnwell");
    }
}
