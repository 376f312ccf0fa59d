#include "RemoteControl.h"

#include <commctrl.h>

#include <algorithm>

namespace remote {

namespace {

constexpr UINT kSendTimeoutMs = 5000;

struct Search {
    int id;
    const std::wstring* text;
    HWND found;
};

std::wstring WithoutAmpersands(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    return text;
}

BOOL CALLBACK MatchDescendant(HWND hwnd, LPARAM lp)
{
    auto* search = reinterpret_cast<Search*>(lp);
    if (search->text == nullptr) {
        if ((GetDlgCtrlID(hwnd) & 0xFFFF) == search->id) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    std::wstring text;
    if (lstrcmpiW(cls, L"Button") == 0 && GetText(hwnd, text) && WithoutAmpersands(text) == *search->text) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// Not SMTO_ABORTIFHUNG: a program on a busy machine that has not looked at its queue for a few seconds counts as
// hung and the message would fail at once; the time-out alone keeps a truly stuck program from holding the driver.
bool Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result)
{
    DWORD_PTR value = 0;
    if (SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_NORMAL, kSendTimeoutMs, &value) == 0)
        return false;
    if (result != nullptr)
        *result = static_cast<LRESULT>(value);
    return true;
}

bool Post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return PostMessageW(hwnd, msg, wp, lp) != FALSE;
}

bool PostAndSettle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (!Post(hwnd, msg, wp, lp))
        return false;
    Settle(hwnd, 1);
    return true;
}

// A thread handles the messages sent to it whenever it looks at its queue, before it takes a posted one. So
// after n + 1 sent messages have returned, the thread has taken (and dispatched, or entered the modal loop the
// message opened) n posted messages. A thread that is gone or stuck is not waited for beyond the time-out.
void Settle(HWND hwnd, size_t posted)
{
    for (size_t i = 0; i <= posted; ++i) {
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored) == 0)
            return;
    }
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> result;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        result.push_back(child);
    return result;
}

HWND FindDescendant(HWND top, int id)
{
    HWND direct = GetDlgItem(top, id);
    if (direct != nullptr)
        return direct;
    Search search{id, nullptr, nullptr};
    EnumChildWindows(top, MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindButtonByText(HWND top, const std::wstring& text)
{
    std::wstring wanted = WithoutAmpersands(text);
    Search search{0, &wanted, nullptr};
    EnumChildWindows(top, MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool GetText(HWND hwnd, std::wstring& text)
{
    LRESULT length = 0;
    if (!Send(hwnd, WM_GETTEXTLENGTH, 0, 0, &length))
        return false;
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!Send(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
        return false;
    buffer.resize(std::min(static_cast<size_t>(copied), buffer.size()));
    text = buffer;
    return true;
}

bool SetText(HWND hwnd, const std::wstring& text)
{
    return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool ListLines(HWND listBox, std::vector<ListLine>& lines)
{
    LRESULT count = 0;
    if (!Send(listBox, LB_GETCOUNT, 0, 0, &count) || count < 0)
        return false;
    lines.clear();
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        if (!Send(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, &length) || length < 0)
            return false;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = 0;
        if (!Send(listBox, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()), &copied) ||
            copied < 0)
            return false;
        text.resize(std::min(static_cast<size_t>(copied), text.size()));
        LRESULT selected = 0;
        if (!Send(listBox, LB_GETSEL, static_cast<WPARAM>(i), 0, &selected))
            return false;
        lines.push_back({text, selected > 0});
    }
    return true;
}

bool GetIpAddress(HWND ipControl, DWORD& address, int& nonBlankFields)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(ipControl, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr)
        return false;
    bool ok = false;
    void* remoteValue = VirtualAllocEx(process, nullptr, sizeof(DWORD), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remoteValue != nullptr) {
        LRESULT fields = 0;
        SIZE_T read = 0;
        ok = Send(ipControl, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(remoteValue), &fields) &&
             ReadProcessMemory(process, remoteValue, &address, sizeof address, &read) && read == sizeof address;
        nonBlankFields = static_cast<int>(fields);
        VirtualFreeEx(process, remoteValue, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

bool ThreadInfo(HWND hwnd, GUITHREADINFO& info)
{
    info = GUITHREADINFO{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) != FALSE;
}

std::vector<HWND> IpFields(HWND ipControl)
{
    std::vector<HWND> fields = Children(ipControl);
    std::sort(fields.begin(), fields.end(), [](HWND a, HWND b) {
        RECT ra{};
        RECT rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return fields;
}

}  // namespace remote
