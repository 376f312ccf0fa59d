// Verbs about whole windows: waiting for them, listing them, message boxes, file dialogs, menus, closing.
#include "Console.h"
#include "RemoteControl.h"
#include "Verbs.h"
#include "res/resource.h"

#include <cwchar>
#include <functional>

namespace {

constexpr DWORD kDefaultWaitMs = 10000;
// How long a pressed Open button is given to close the file dialog before the name is filled in again.
constexpr DWORD kCloseLookMs = 1000;
constexpr int kFileNameCombo = 0x047C;  // cmb13: file name box of the file dialogs
constexpr int kFileNameEdit = 0x0480;   // edt1: file name edit (Wine's Vista-style dialog has this one)

int WaitFor(DWORD ms, const std::function<bool()>& pred, const std::wstring& what)
{
    if (PollUntil(ms, pred))
        return kExitOk;
    return console::Fail(kExitNotFound, L"timed out after " + std::to_wstring(ms) + L" ms waiting for " + what);
}

int RequireMessageBox(Driver& driver, HWND& box)
{
    box = nullptr;
    PollUntil(driver.Options().findTimeoutMs, [&] {
        box = driver.FindMessageBox();
        return box != nullptr;
    });
    if (box == nullptr)
        return console::Fail(kExitNotFound, L"no message box is open");
    return kExitOk;
}

int PressButton(HWND button)
{
    if (!remote::PostAndSettle(button, BM_CLICK, 0, 0))
        return console::Fail(kExitFailed, L"could not press the button");
    return kExitOk;
}

HWND FindEditInside(HWND parent)
{
    for (HWND child : remote::Children(parent)) {
        if (Driver::ClassOf(child) == L"Edit")
            return child;
        if (HWND inner = FindEditInside(child))
            return inner;
    }
    return nullptr;
}

// The push button with this id at any depth (file dialogs also hold a list view and a toolbar with id 1).
HWND FindButton(HWND parent, int id)
{
    for (HWND child : remote::Children(parent)) {
        if (Driver::ClassOf(child) == L"Button" && (GetDlgCtrlID(child) & 0xFFFF) == id)
            return child;
        if (HWND inner = FindButton(child, id))
            return inner;
    }
    return nullptr;
}

// The file name field of an open file dialog of the program, and the dialog holding it.
bool FindFileNameField(Driver& driver, HWND& dialog, HWND& field)
{
    for (const TopWindow& w : driver.ProcessWindows(false)) {
        if (!w.enabled || w.caption == driver.Options().mainCaption)
            continue;
        HWND box = remote::FindDescendant(w.hwnd, kFileNameCombo);
        if (box == nullptr)
            box = remote::FindDescendant(w.hwnd, kFileNameEdit);
        if (box == nullptr)
            continue;
        // The name box is an edit, or a combo box (extended or not) wrapping one; the edit takes the text.
        HWND edit = Driver::ClassOf(box) == L"Edit" ? box : FindEditInside(box);
        dialog = w.hwnd;
        field = edit != nullptr ? edit : box;
        return true;
    }
    return false;
}

int WaitFileDialog(Driver& driver, DWORD ms, HWND& dialog, HWND& field)
{
    if (PollUntil(ms, [&] { return FindFileNameField(driver, dialog, field); }))
        return kExitOk;
    std::wstring shown;
    for (const TopWindow& w : driver.ProcessWindows(false))
        shown += (shown.empty() ? L"\"" : L", \"") + w.caption + (w.enabled ? L"\"" : L"\" (disabled)");
    return console::Fail(kExitNotFound, L"no file dialog opened within " + std::to_wstring(ms) +
                                            L" ms; the program shows " + (shown.empty() ? L"no window" : shown));
}

bool IsFileDialogOpen(HWND dialog)
{
    return IsWindow(dialog) && IsWindowVisible(dialog);
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    for (HWND child : remote::Children(box)) {
        if (Driver::ClassOf(child) == L"Static" && (GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF)
            remote::GetText(child, text);
    }
    return text;
}

// A Unix path ("/tmp/fw.bin") is turned into the Windows path Wine shows for it; others pass unchanged.
std::wstring WindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    using ToDos = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos != nullptr) {
        if (WCHAR* dos = toDos(console::ToUtf8(path).c_str())) {
            std::wstring result = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    std::wstring result = L"Z:" + path;
    for (wchar_t& c : result) {
        if (c == L'/')
            c = L'\\';
    }
    return result;
}

struct MenuEntry {
    const wchar_t* name;
    int id;
    int barIndex;    // position on the menu bar
    int popupIndex;  // position inside the bar item's pop-up, or -1 for a command on the bar
};

constexpr MenuEntry kMenu[] = {
    {L"ping-specific", ID_PING_SPECIFIC, 0, 0},
    {L"ping-list", ID_PING_LIST, 0, 1},
    {L"search", ID_SEARCH, 1, -1},
    {L"download", ID_DOWNLOAD, 2, -1},
    {L"exit", IDCANCEL, 3, -1},
};

// Walks the menu with the keyboard as a person would: F10 opens the bar, arrows move, Enter chooses.
int ChooseMenuByKeys(HWND main, const MenuEntry& entry)
{
    if (!MakeForeground(main, 2000))
        return console::Fail(kExitFailed, L"could not make the main window the foreground window");
    std::vector<WORD> keys{VK_F10};
    for (int i = 0; i < entry.barIndex; ++i)
        keys.push_back(VK_RIGHT);
    // The first Down opens the pop-up on its first item.
    for (int i = 0; i <= entry.popupIndex; ++i)
        keys.push_back(VK_DOWN);
    keys.push_back(VK_RETURN);
    for (WORD vk : keys) {
        KeyStroke key;
        key.vk = vk;
        if (!InputKey(key))
            return console::Fail(kExitFailed, L"SendInput failed");
        // The menu loop runs in the target and must see each key before the next arrives; it takes sent messages
        // as it waits for keys, so the settling works inside it too.
        SettleInput(main, key);
    }
    return kExitOk;
}

void PrintTree(HWND parent, int depth)
{
    for (HWND child : remote::Children(parent)) {
        std::wstring text;
        remote::GetText(child, text);
        std::wstring line(static_cast<size_t>(depth) * 2, L' ');
        line += std::to_wstring(GetDlgCtrlID(child) & 0xFFFF) + L"\t" + Driver::ClassOf(child) + L"\t" + text;
        for (wchar_t& c : line) {
            if (c == L'\r' || c == L'\n')
                c = L' ';
        }
        console::Line(line + (IsWindowVisible(child) ? L"" : L"\t(hidden)"));
        PrintTree(child, depth + 1);
    }
}

}  // namespace

int WaitMain(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 0, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"wait-main: bad time-out");
    if (ctx.driver.FindMain(ms) == nullptr)
        return console::Fail(kExitNotFound,
                             L"timed out after " + std::to_wstring(ms) + L" ms waiting for the main window");
    return kExitOk;
}

int WaitDialog(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 1, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"wait-dialog: bad time-out");
    return WaitFor(ms, [&] { return ctx.driver.FindTop(args[0], 0) != nullptr; }, L"\"" + args[0] + L"\"");
}

int WaitGone(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 1, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"wait-gone: bad time-out");
    return WaitFor(ms, [&] { return ctx.driver.FindTop(args[0], 0) == nullptr; },
                   L"\"" + args[0] + L"\" to close");
}

int WaitEnabled(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 1, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"wait-enabled: bad time-out");
    return WaitFor(ms, [&] {
        HWND top = ctx.driver.FindTop(args[0], 0);
        return top != nullptr && IsWindowEnabled(top);
    }, L"\"" + args[0] + L"\" to be enabled");
}

int WaitMsgbox(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 0, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"wait-msgbox: bad time-out");
    return WaitFor(ms, [&] { return ctx.driver.FindMessageBox() != nullptr; }, L"a message box");
}

int Dialogs(VerbContext& ctx, const Args& args)
{
    bool all = !args.empty() && args[0] == L"--all";
    if (!args.empty() && !all)
        return console::Fail(kExitUsage, L"dialogs: unknown option " + args[0]);
    HWND main = nullptr;
    if (int rc = ctx.driver.RequireMain(main))
        return rc;
    for (const TopWindow& w : ctx.driver.ProcessWindows(all)) {
        std::wstring line = w.caption + L"\t" + w.className + (w.enabled ? L"\tenabled" : L"\tdisabled");
        console::Line(line + (w.visible ? L"" : L"\thidden"));
    }
    return kExitOk;
}

int Msgbox(VerbContext& ctx, const Args&)
{
    HWND box = nullptr;
    if (int rc = RequireMessageBox(ctx.driver, box))
        return rc;
    console::Line(Driver::Caption(box));
    console::Lines(MessageBoxText(box));
    return kExitOk;
}

int MsgboxOk(VerbContext& ctx, const Args&)
{
    HWND box = nullptr;
    if (int rc = RequireMessageBox(ctx.driver, box))
        return rc;
    HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr)
        return console::Fail(kExitNotFound, L"the message box has no OK button");
    return PressButton(ok);
}

int MsgboxClick(VerbContext& ctx, const Args& args)
{
    HWND box = nullptr;
    if (int rc = RequireMessageBox(ctx.driver, box))
        return rc;
    int id = Driver::ParseControlId(args[0]);
    HWND button = id >= 0 ? GetDlgItem(box, id) : remote::FindButtonByText(box, args[0]);
    if (button == nullptr)
        return console::Fail(kExitNotFound, L"the message box has no button \"" + args[0] + L"\"");
    return PressButton(button);
}

// The file dialog is the slowest window to open (it reads folders and starts the shell's views), so its verbs wait
// for it longer than for other windows, and then until it has closed: the next verb finds the main window taking
// input again, or the message box the program opened about the file.
int FileDialog(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 1, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"file-dialog: bad time-out");
    HWND dialog = nullptr;
    HWND field = nullptr;
    if (int rc = WaitFileDialog(ctx.driver, ms, dialog, field))
        return rc;
    const std::wstring path = WindowsPath(args[0]);
    const ULONGLONG deadline = GetTickCount64() + ms;
    std::wstring shown;
    for (int attempt = 1;; ++attempt) {
        // A dialog still setting itself up may empty the field after it was filled, or take the press before it
        // looks at the field; the name is filled again and Open pressed again until the dialog closes.
        if (remote::SetText(field, path) && remote::GetText(field, shown) && shown == path) {
            HWND open = FindButton(dialog, IDOK);
            if (open == nullptr)
                return console::Fail(kExitNotFound, L"the file dialog has no Open button");
            if (!remote::PostAndSettle(open, BM_CLICK, 0, 0) && IsWindow(dialog))
                return console::Fail(kExitFailed, L"could not press Open");
            PollUntil(kCloseLookMs, [&] { return !IsFileDialogOpen(dialog) || ctx.driver.FindMessageBox() != nullptr; });
        }
        if (!IsFileDialogOpen(dialog))
            return kExitOk;
        if (HWND box = ctx.driver.FindMessageBox())
            return console::Fail(kExitFailed, L"the file dialog did not take \"" + path + L"\": a message box says \"" +
                                                  MessageBoxText(box) + L"\"");
        if (GetTickCount64() >= deadline)
            return console::Fail(kExitFailed, L"the file dialog is still open after " + std::to_wstring(ms) + L" ms and " +
                                                  std::to_wstring(attempt) + L" presses of Open; its name field shows \"" +
                                                  shown + L"\"");
        HWND again = nullptr;
        if (FindFileNameField(ctx.driver, again, field) && again != dialog)
            dialog = again;
    }
}

int FileDialogCancel(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 0, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"file-dialog-cancel: bad time-out");
    HWND dialog = nullptr;
    HWND field = nullptr;
    if (int rc = WaitFileDialog(ctx.driver, ms, dialog, field))
        return rc;
    HWND cancel = FindButton(dialog, IDCANCEL);
    if (cancel == nullptr)
        return console::Fail(kExitNotFound, L"the file dialog has no Cancel button");
    if (int rc = PressButton(cancel))
        return rc;
    if (PollUntil(ms, [&] { return !IsFileDialogOpen(dialog); }))
        return kExitOk;
    return console::Fail(kExitFailed, L"the file dialog is still open " + std::to_wstring(ms) + L" ms after Cancel");
}

int Rect(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    if (int rc = ctx.driver.RequireTop(args.empty() ? L"main" : args[0], top))
        return rc;
    RECT r{};
    GetWindowRect(top, &r);
    console::Line(std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
                  std::to_wstring(r.left) + L"+" + std::to_wstring(r.top));
    return kExitOk;
}

int Pid(VerbContext& ctx, const Args&)
{
    HWND main = nullptr;
    if (int rc = ctx.driver.RequireMain(main))
        return rc;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    console::Line(std::to_wstring(pid));
    return kExitOk;
}

int Tree(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    if (int rc = ctx.driver.RequireTop(args.empty() ? L"main" : args[0], top))
        return rc;
    console::Line(Driver::Caption(top) + L"\t" + Driver::ClassOf(top));
    PrintTree(top, 1);
    return kExitOk;
}

int Close(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    if (int rc = ctx.driver.RequireTop(args.empty() ? L"main" : args[0], top))
        return rc;
    if (int rc = ctx.driver.RequireUsable(top))
        return rc;
    if (!remote::PostAndSettle(top, WM_SYSCOMMAND, SC_CLOSE, 0))
        return console::Fail(kExitFailed, L"could not post SC_CLOSE");
    return kExitOk;
}

int AltF4(VerbContext& ctx, const Args& args)
{
    Args keyArgs{L"alt+f4"};
    if (!args.empty())
        keyArgs.push_back(args[0]);
    return Key(ctx, keyArgs);
}

int SysMenu(VerbContext& ctx, const Args& args)
{
    long id = 0;
    if (!ParseNumber(args[0], id) || id < 0 || id > 0xFFFF)
        return console::Fail(kExitUsage, L"sysmenu: bad command id \"" + args[0] + L"\"");
    HWND top = nullptr;
    if (int rc = ctx.driver.RequireTop(args.size() > 1 ? args[1] : L"main", top))
        return rc;
    if (int rc = ctx.driver.RequireUsable(top))
        return rc;
    if (!remote::PostAndSettle(top, WM_SYSCOMMAND, static_cast<WPARAM>(id), 0))
        return console::Fail(kExitFailed, L"could not post WM_SYSCOMMAND");
    return kExitOk;
}

int Menu(VerbContext& ctx, const Args& args)
{
    bool byKeys = args[0] == L"--keys";
    if (byKeys && args.size() != 2)
        return console::Fail(kExitUsage, L"menu: usage: menu [--keys] <name|id>");
    const std::wstring& which = args.back();
    const MenuEntry* entry = nullptr;
    for (const MenuEntry& e : kMenu) {
        long id = 0;
        if (which == e.name || (ParseNumber(which, id) && id == e.id))
            entry = &e;
    }
    long id = 0;
    if (entry == nullptr && (byKeys || !ParseNumber(which, id) || id <= 0 || id > 0xFFFF))
        return console::Fail(kExitUsage, L"menu: unknown item \"" + which + L"\"");
    HWND main = nullptr;
    if (int rc = ctx.driver.RequireMain(main))
        return rc;
    if (int rc = ctx.driver.RequireUsable(main))
        return rc;
    if (byKeys)
        return ChooseMenuByKeys(main, *entry);
    // A menu choice arrives as WM_COMMAND with no control window.
    WPARAM command = static_cast<WPARAM>(entry != nullptr ? entry->id : id);
    if (!remote::PostAndSettle(main, WM_COMMAND, command, 0))
        return console::Fail(kExitFailed, L"could not post WM_COMMAND");
    return kExitOk;
}

int Clock(VerbContext&, const Args&)
{
    // The precise clock where there is one (Windows 8 on; Wine's is the system's real-time clock).
    using PreciseTime = void(WINAPI*)(LPFILETIME);
    static const auto precise = reinterpret_cast<PreciseTime>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now{};
    if (precise != nullptr)
        precise(&now);
    else
        GetSystemTimeAsFileTime(&now);
    // 100 ns intervals since 1601-01-01 to microseconds since 1970-01-01.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const ULONGLONG micros = (ticks - 116444736000000000ULL) / 10;
    wchar_t text[40];
    swprintf(text, 40, L"%llu.%06llu", micros / 1000000, micros % 1000000);
    console::Line(text);
    return kExitOk;
}

int SleepMs(VerbContext&, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 0, 0, ms))
        return console::Fail(kExitUsage, L"sleep: bad time");
    Sleep(ms);
    return kExitOk;
}
