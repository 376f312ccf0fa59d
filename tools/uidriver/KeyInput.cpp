#include "KeyInput.h"

#include "RemoteControl.h"

#include <cwctype>

namespace {

struct KeyName {
    const wchar_t* name;
    WORD vk;
};

constexpr KeyName kKeyNames[] = {
    {L"enter", VK_RETURN},   {L"return", VK_RETURN}, {L"escape", VK_ESCAPE},  {L"esc", VK_ESCAPE},
    {L"tab", VK_TAB},        {L"space", VK_SPACE},   {L"backspace", VK_BACK}, {L"delete", VK_DELETE},
    {L"del", VK_DELETE},     {L"insert", VK_INSERT}, {L"home", VK_HOME},      {L"end", VK_END},
    {L"pageup", VK_PRIOR},   {L"pagedown", VK_NEXT}, {L"up", VK_UP},          {L"down", VK_DOWN},
    {L"left", VK_LEFT},      {L"right", VK_RIGHT},   {L"ctrl", VK_CONTROL},   {L"shift", VK_SHIFT},
    {L"alt", VK_MENU},       {L"period", VK_OEM_PERIOD},
};

bool IsExtended(WORD vk)
{
    switch (vk) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT:
        return true;
    default:
        return false;
    }
}

bool ParseOne(std::wstring name, KeyStroke& key)
{
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    for (;;) {
        size_t plus = name.find(L'+');
        if (plus == std::wstring::npos || plus + 1 == name.size())
            break;
        std::wstring modifier = name.substr(0, plus);
        if (modifier == L"ctrl" || modifier == L"control")
            key.ctrl = true;
        else if (modifier == L"shift")
            key.shift = true;
        else if (modifier == L"alt")
            key.alt = true;
        else
            return false;
        name.erase(0, plus + 1);
    }
    for (const KeyName& entry : kKeyNames) {
        if (name == entry.name) {
            key.vk = entry.vk;
            return true;
        }
    }
    if (name.size() >= 2 && name[0] == L'f') {
        int n = _wtoi(name.c_str() + 1);
        if (n >= 1 && n <= 24) {
            key.vk = static_cast<WORD>(VK_F1 + n - 1);
            return true;
        }
    }
    if (name.size() == 1 && ((name[0] >= L'a' && name[0] <= L'z') || (name[0] >= L'0' && name[0] <= L'9'))) {
        key.vk = static_cast<WORD>(std::towupper(name[0]));
        return true;
    }
    return false;
}

LPARAM KeyData(WORD vk, bool up, bool alt)
{
    LPARAM data = 1 | static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF) << 16;
    if (IsExtended(vk))
        data |= 1 << 24;
    if (alt)
        data |= 1 << 29;
    if (up)
        data |= static_cast<LPARAM>(3) << 30;
    return data;
}

INPUT KeyInputRecord(WORD vk, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

}  // namespace

bool ParseKeys(const std::wstring& text, std::vector<KeyStroke>& keys)
{
    keys.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        std::wstring one = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        KeyStroke key;
        if (!ParseOne(one, key))
            return false;
        keys.push_back(key);
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
    return !keys.empty();
}

KeyRoute ResolveRoute(KeyRoute route, const KeyStroke& key)
{
    if (route != KeyRoute::Auto)
        return route;
    return key.ctrl || key.shift ? KeyRoute::Input : KeyRoute::Post;
}

// With Alt the keys travel as WM_SYSKEYDOWN/UP with the context bit, as the system sends them, so that
// default processing turns Alt+F4 into SC_CLOSE.
bool PostKey(HWND hwnd, const KeyStroke& key)
{
    bool system = key.alt && !key.ctrl;
    UINT down = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT up = system ? WM_SYSKEYUP : WM_KEYUP;
    if (!remote::Post(hwnd, down, key.vk, KeyData(key.vk, false, key.alt)))
        return false;
    // A key-down that closes its window (Enter on a dialog) may be taken before
    // the key-up is posted, which then has no window left: the key did its work.
    if (!remote::Post(hwnd, up, key.vk, KeyData(key.vk, true, key.alt)))
        return !IsWindow(hwnd);
    // The next key must find the focus where this one left it: wait for the key-down, the character the target
    // translates it into, and the key-up.
    remote::Settle(hwnd, 3);
    return true;
}

bool MakeForeground(HWND top, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (GetForegroundWindow() == top)
            return true;
        SetForegroundWindow(top);
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
}

bool InputKey(const KeyStroke& key)
{
    INPUT records[8];
    UINT n = 0;
    if (key.ctrl)
        records[n++] = KeyInputRecord(VK_CONTROL, false);
    if (key.shift)
        records[n++] = KeyInputRecord(VK_SHIFT, false);
    if (key.alt)
        records[n++] = KeyInputRecord(VK_MENU, false);
    records[n++] = KeyInputRecord(key.vk, false);
    records[n++] = KeyInputRecord(key.vk, true);
    if (key.alt)
        records[n++] = KeyInputRecord(VK_MENU, true);
    if (key.shift)
        records[n++] = KeyInputRecord(VK_SHIFT, true);
    if (key.ctrl)
        records[n++] = KeyInputRecord(VK_CONTROL, true);
    return SendInput(n, records, sizeof(INPUT)) == n;
}

// A thread takes the messages sent to it before its input, at each look at its queue, so a sent message that
// returns has seen the thread look once more. Each key queues its key-down and key-up and those of its
// modifiers; the key-down may be translated into a character, which is posted. A thread also looks at its queue
// while it waits for another program (under Wine, a change of focus asks the desktop's process), which is why it
// is given twice as many looks as the key has messages.
void SettleInput(HWND top, const KeyStroke& key)
{
    size_t messages = 3;
    for (bool modifier : {key.ctrl, key.shift, key.alt})
        messages += modifier ? 2 : 0;
    remote::Settle(top, 2 * messages);
}

bool PostChar(HWND hwnd, wchar_t c)
{
    return remote::Post(hwnd, WM_CHAR, c, 1);
}
