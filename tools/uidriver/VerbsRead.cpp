// Verbs that read what the main window shows, and the waits built on them.
#include "Console.h"
#include "RemoteControl.h"
#include "Verbs.h"
#include "res/resource.h"

#include <commctrl.h>

#include <cwchar>

namespace {

constexpr DWORD kDefaultWaitMs = 10000;

int MainControl(VerbContext& ctx, int id, HWND& control)
{
    HWND main = nullptr;
    if (int rc = ctx.driver.RequireMain(main))
        return rc;
    return ctx.driver.RequireControl(main, std::to_wstring(id), control);
}

int ReadUnits(VerbContext& ctx, bool onlySelected)
{
    HWND list = nullptr;
    if (int rc = MainControl(ctx, IDC_UNITS, list))
        return rc;
    std::vector<remote::ListLine> lines;
    if (!remote::ListLines(list, lines))
        return console::Fail(kExitFailed, L"could not read the unit list");
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!onlySelected)
            console::Line((lines[i].selected ? L"1\t" : L"0\t") + lines[i].text);
        else if (lines[i].selected)
            console::Line(std::to_wstring(i));
    }
    return kExitOk;
}

int ReadControlText(VerbContext& ctx, HWND top, const std::wstring& control)
{
    HWND hwnd = nullptr;
    if (int rc = ctx.driver.RequireControl(top, control, hwnd))
        return rc;
    std::wstring text;
    if (!remote::GetText(hwnd, text))
        return console::Fail(kExitFailed, L"WM_GETTEXT failed");
    console::Lines(text);
    return kExitOk;
}

bool UnitCount(HWND list, long& count)
{
    LRESULT n = 0;
    if (!remote::Send(list, LB_GETCOUNT, 0, 0, &n) || n < 0)
        return false;
    count = static_cast<long>(n);
    return true;
}

bool ProgressPos(HWND bar, long& pos)
{
    LRESULT p = 0;
    if (!remote::Send(bar, PBM_GETPOS, 0, 0, &p))
        return false;
    pos = static_cast<long>(p);
    return true;
}

// Shared by wait-units and wait-progress: polls a number until it equals (or reaches) the wanted one.
int WaitNumber(VerbContext& ctx, const Args& args, int id, bool (*read)(HWND, long&), const wchar_t* what)
{
    long wanted = 0;
    bool atLeast = false;
    DWORD ms = 0;
    if (!ParseCount(args[0], wanted, atLeast) || !ParseMs(args, 1, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, std::wstring(what) + L": bad arguments");
    HWND control = nullptr;
    if (int rc = MainControl(ctx, id, control))
        return rc;
    long last = -1;
    bool ok = PollUntil(ms, [&] {
        if (!read(control, last))
            return false;
        return atLeast ? last >= wanted : last == wanted;
    });
    if (ok)
        return kExitOk;
    return console::Fail(kExitNotFound, std::wstring(what) + L": timed out after " + std::to_wstring(ms) +
                                            L" ms waiting for " + args[0] + L", last value " + std::to_wstring(last));
}

std::wstring NormalizeBreaks(std::wstring text)
{
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at))
        text.erase(at, 1);
    return text;
}

}  // namespace

bool ParseNumber(const std::wstring& text, long& value)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    value = std::wcstol(text.c_str(), &end, 0);
    return *end == L'\0';
}

bool ParseMs(const Args& args, size_t index, DWORD fallback, DWORD& ms)
{
    if (args.size() <= index) {
        ms = fallback;
        return true;
    }
    long value = 0;
    if (!ParseNumber(args[index], value) || value < 0)
        return false;
    ms = static_cast<DWORD>(value);
    return true;
}

bool ParseCount(const std::wstring& text, long& value, bool& atLeast)
{
    atLeast = !text.empty() && text.back() == L'+';
    return ParseNumber(atLeast ? text.substr(0, text.size() - 1) : text, value) && value >= 0;
}

HWND FocusOf(HWND top)
{
    GUITHREADINFO info;
    if (!remote::ThreadInfo(top, info))
        return nullptr;
    return info.hwndFocus;
}

int Read(VerbContext& ctx, const Args& args)
{
    const std::wstring& what = args[0];
    if (what != L"text" && args.size() != 1)
        return console::Fail(kExitUsage, L"read " + what + L": takes no further words");
    if (what == L"units" || what == L"selected")
        return ReadUnits(ctx, what == L"selected");
    if (what == L"count") {
        HWND list = nullptr;
        long count = 0;
        if (int rc = MainControl(ctx, IDC_UNITS, list))
            return rc;
        if (!UnitCount(list, count))
            return console::Fail(kExitFailed, L"LB_GETCOUNT failed");
        console::Line(std::to_wstring(count));
        return kExitOk;
    }
    if (what == L"progress") {
        HWND bar = nullptr;
        long pos = 0;
        if (int rc = MainControl(ctx, IDC_PROGRESS, bar))
            return rc;
        if (!ProgressPos(bar, pos))
            return console::Fail(kExitFailed, L"PBM_GETPOS failed");
        console::Line(std::to_wstring(pos));
        return kExitOk;
    }
    if (what == L"status" || what == L"file") {
        HWND main = nullptr;
        if (int rc = ctx.driver.RequireMain(main))
            return rc;
        return ReadControlText(ctx, main, std::to_wstring(what == L"status" ? IDC_STATUS_EDIT : IDC_FILE_EDIT));
    }
    if (what == L"focus") {
        HWND main = nullptr;
        if (int rc = ctx.driver.RequireMain(main))
            return rc;
        HWND focus = FocusOf(main);
        if (focus == nullptr)
            return console::Fail(kExitNotFound, L"no window of the program has the focus");
        HWND top = GetAncestor(focus, GA_ROOT);
        int id = focus == top ? 0 : (GetDlgCtrlID(focus) & 0xFFFF);
        console::Line(Driver::Caption(top) + L"\t" + std::to_wstring(id) + L"\t" + Driver::ClassOf(focus));
        return kExitOk;
    }
    if (what == L"text") {
        if (args.size() != 3)
            return console::Fail(kExitUsage, L"read text: usage: read text <caption|main> <control>");
        HWND top = nullptr;
        if (int rc = ctx.driver.RequireTop(args[1], top))
            return rc;
        return ReadControlText(ctx, top, args[2]);
    }
    return console::Fail(kExitUsage, L"read: unknown item \"" + what + L"\"");
}

int WaitStatus(VerbContext& ctx, const Args& args)
{
    DWORD ms = 0;
    if (!ParseMs(args, 1, kDefaultWaitMs, ms))
        return console::Fail(kExitUsage, L"wait-status: bad time-out");
    HWND status = nullptr;
    if (int rc = MainControl(ctx, IDC_STATUS_EDIT, status))
        return rc;
    std::wstring wanted = NormalizeBreaks(args[0]);
    std::wstring text;
    bool ok = PollUntil(ms, [&] {
        return remote::GetText(status, text) && NormalizeBreaks(text).find(wanted) != std::wstring::npos;
    });
    if (ok)
        return kExitOk;
    return console::Fail(kExitNotFound, L"wait-status: timed out after " + std::to_wstring(ms) + L" ms waiting for \"" +
                                            args[0] + L"\"; the status shows \"" + NormalizeBreaks(text) + L"\"");
}

int WaitUnits(VerbContext& ctx, const Args& args)
{
    return WaitNumber(ctx, args, IDC_UNITS, UnitCount, L"wait-units");
}

int WaitProgress(VerbContext& ctx, const Args& args)
{
    return WaitNumber(ctx, args, IDC_PROGRESS, ProgressPos, L"wait-progress");
}
