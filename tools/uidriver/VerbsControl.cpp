// Verbs that act on controls: keys, typing, the IP address control, buttons and the unit list's selection.
#include "Console.h"
#include "RemoteControl.h"
#include "Verbs.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>

namespace {


// How long a synthesized key is given to show what it did.
constexpr DWORD kInputShowMs = 500;

// What a key may change where the driver can see it: the focus, the active window, whether the window is still
// there, and the focused edit's text.
struct InputView {
    HWND focus = nullptr;
    HWND active = nullptr;
    bool open = false;
    std::wstring text;
    bool operator!=(const InputView& other) const
    {
        return focus != other.focus || active != other.active || open != other.open || text != other.text;
    }
};

InputView ViewOf(HWND top)
{
    InputView view;
    view.open = IsWindow(top) != FALSE;
    GUITHREADINFO info;
    if (view.open && remote::ThreadInfo(top, info)) {
        view.focus = info.hwndFocus;
        view.active = info.hwndActive;
        if (view.focus != nullptr && Driver::ClassOf(view.focus) == L"Edit")
            remote::GetText(view.focus, view.text);
    }
    return view;
}

// The window a person's keystrokes would reach: the focused control inside top, or top itself.
HWND KeyRecipient(HWND top)
{
    HWND focus = FocusOf(top);
    if (focus != nullptr && (focus == top || IsChild(top, focus)))
        return focus;
    return top;
}

int ResolveControl(VerbContext& ctx, const Args& args, HWND& top, HWND& control)
{
    if (int rc = ctx.driver.RequireTop(args[0], top))
        return rc;
    return ctx.driver.RequireControl(top, args[1], control);
}

// The control named by args[0] and args[1], in a window a person could use now.
int ResolveUsableControl(VerbContext& ctx, const Args& args, HWND& top, HWND& control)
{
    if (int rc = ResolveControl(ctx, args, top, control))
        return rc;
    return ctx.driver.RequireUsable(top);
}

bool ParseAddress(const std::wstring& text, std::wstring fields[4])
{
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t dot = text.find(L'.', start);
        if ((i < 3) != (dot != std::wstring::npos))
            return false;
        fields[i] = text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
        long value = 0;
        if (!fields[i].empty() && (!ParseNumber(fields[i], value) || value < 0 || value > 255))
            return false;
        start = dot + 1;
    }
    return true;
}

int RequireUnitList(VerbContext& ctx, HWND& list)
{
    HWND main = nullptr;
    if (int rc = ctx.driver.RequireMain(main))
        return rc;
    if (int rc = ctx.driver.RequireUsable(main))
        return rc;
    return ctx.driver.RequireControl(main, std::to_wstring(IDC_UNITS), list);
}

// Each word is a line index or, failing that, text that selects every line containing it.
int SetSelection(VerbContext& ctx, const Args& args, bool select)
{
    HWND list = nullptr;
    if (int rc = RequireUnitList(ctx, list))
        return rc;
    std::vector<remote::ListLine> lines;
    if (!remote::ListLines(list, lines))
        return console::Fail(kExitFailed, L"could not read the unit list");
    for (const std::wstring& word : args) {
        std::vector<size_t> indexes;
        long index = 0;
        if (ParseNumber(word, index)) {
            if (index < 0 || static_cast<size_t>(index) >= lines.size())
                return console::Fail(kExitNotFound, L"no unit-list line " + word + L" (the list has " +
                                                        std::to_wstring(lines.size()) + L")");
            indexes.push_back(static_cast<size_t>(index));
        } else {
            for (size_t i = 0; i < lines.size(); ++i) {
                if (lines[i].text.find(word) != std::wstring::npos)
                    indexes.push_back(i);
            }
            if (indexes.empty())
                return console::Fail(kExitNotFound, L"no unit-list line contains \"" + word + L"\"");
        }
        for (size_t i : indexes) {
            LRESULT result = 0;
            if (!remote::Send(list, LB_SETSEL, select ? TRUE : FALSE, static_cast<LPARAM>(i), &result) ||
                result == LB_ERR)
                return console::Fail(kExitFailed, L"LB_SETSEL failed for line " + std::to_wstring(i));
        }
    }
    return kExitOk;
}

int SetAll(VerbContext& ctx, bool select)
{
    HWND list = nullptr;
    if (int rc = RequireUnitList(ctx, list))
        return rc;
    if (!remote::Send(list, LB_SETSEL, select ? TRUE : FALSE, -1))
        return console::Fail(kExitFailed, L"LB_SETSEL failed");
    return kExitOk;
}

// Moves the focus with the dialog manager's own message (an edit then gets its text selected, as when tabbed
// into) and waits until it has arrived, so that what the next verb posts reaches the new focus.
int MoveFocus(VerbContext& ctx, HWND top, HWND control)
{
    if (FocusOf(top) == control)
        return kExitOk;
    if (!remote::Post(GetParent(control), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE))
        return console::Fail(kExitFailed, L"could not move the focus");
    if (!PollUntil(ctx.driver.Options().findTimeoutMs, [&] { return FocusOf(top) == control; }))
        return console::Fail(kExitFailed, L"the focus did not move to the control");
    return kExitOk;
}

}  // namespace

int Key(VerbContext& ctx, const Args& args)
{
    std::vector<KeyStroke> keys;
    if (!ParseKeys(args[0], keys))
        return console::Fail(kExitUsage, L"key: cannot read the key list \"" + args[0] + L"\"");
    HWND top = nullptr;
    HWND main = nullptr;
    if (args.size() > 1) {
        if (int rc = ctx.driver.RequireTop(args[1], top))
            return rc;
    } else {
        if (int rc = ctx.driver.RequireMain(main))
            return rc;
        // Without a target the keys go where a person's would: to the program's active window.
        top = ctx.driver.ActiveWindow(main);
    }
    if (int rc = ctx.driver.RequireUsable(top))
        return rc;
    for (const KeyStroke& key : keys) {
        if (ResolveRoute(ctx.keyRoute, key) == KeyRoute::Post) {
            bool posted = PostKey(KeyRecipient(top), key);
            // The active window closed between looking and posting: the key goes to the one active now.
            if (!posted && main != nullptr && !IsWindow(top) && IsWindow(main)) {
                top = ctx.driver.ActiveWindow(main);
                posted = PostKey(KeyRecipient(top), key);
            }
            if (!posted)
                return console::Fail(kExitFailed, L"could not post the key to \"" + Driver::Caption(top) + L"\" (" +
                                                      (IsWindow(top) ? L"open" : L"closed") + L")");
            continue;
        }
        if (!MakeForeground(top, 2000))
            return console::Fail(kExitFailed,
                                 L"could not make \"" + Driver::Caption(top) + L"\" the foreground window");
        const InputView before = ViewOf(top);
        if (!InputKey(key))
            return console::Fail(kExitFailed, L"SendInput failed");
        // Synthesized input travels in a queue of its own; the next verb may post nothing before the target has
        // taken it, or the order a person would produce is lost.
        SettleInput(top, key);
        // Synthesized keys move the focus, close a window or edit a text, and the settling above is a count, not
        // proof: the driver also waits until the target shows what the key did (a key that shows nothing, such as
        // one the program ignores, costs kInputShowMs).
        PollUntil(kInputShowMs, [&] { return ViewOf(top) != before; });
    }
    return kExitOk;
}

int Focus(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveUsableControl(ctx, args, top, control))
        return rc;
    return MoveFocus(ctx, top, control);
}

// Typing goes on where the caret is when the control already has the focus; otherwise the control is focused
// first, which selects its text, so the typed text replaces it.
int Type(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveUsableControl(ctx, args, top, control))
        return rc;
    if (int rc = MoveFocus(ctx, top, control))
        return rc;
    const std::wstring& text = args[2];
    // What an edit shows once it has taken every character: the typed text in place of the selection (the caret
    // is an empty selection), with each line break as CR LF.
    std::wstring before;
    LRESULT selection = 0;
    const bool isEdit = Driver::ClassOf(control) == L"Edit" && remote::GetText(control, before) &&
                        remote::Send(control, EM_GETSEL, 0, 0, &selection);
    const size_t start = std::min<size_t>(LOWORD(selection), before.size());
    const size_t end = std::min<size_t>(HIWORD(selection), before.size());
    size_t typed = 0;
    std::wstring inserted;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        // A line break is typed as the character Ctrl+Enter produces (LF); a CR before it is dropped.
        if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        if (!PostChar(control, c))
            return console::Fail(kExitFailed, L"could not post WM_CHAR");
        inserted += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
        ++typed;
    }
    if (!isEdit) {
        remote::Settle(control, typed);
        return kExitOk;
    }
    // A key pressed just before may still be on its way (a line break from Ctrl+Enter), so the text is not held
    // to the exact form: it must have changed and hold what was typed.
    const std::wstring expected = before.substr(0, start) + inserted + before.substr(std::max(start, end));
    std::wstring shown;
    if (PollUntil(ctx.driver.Options().findTimeoutMs, [&] {
            return remote::GetText(control, shown) &&
                   (shown == expected || (shown != before && shown.find(inserted) != std::wstring::npos));
        }))
        return kExitOk;
    return console::Fail(kExitFailed, L"type: the control shows \"" + shown + L"\", not \"" + expected + L"\", after " +
                                          std::to_wstring(ctx.driver.Options().findTimeoutMs) + L" ms");
}

int SetTextVerb(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveUsableControl(ctx, args, top, control))
        return rc;
    std::wstring text;
    for (size_t i = 0; i < args[2].size(); ++i) {
        bool bareLf = args[2][i] == L'\n' && (i == 0 || args[2][i - 1] != L'\r');
        text += bareLf ? L"\r\n" : std::wstring(1, args[2][i]);
    }
    if (!remote::SetText(control, text))
        return console::Fail(kExitFailed, L"WM_SETTEXT failed");
    return kExitOk;
}

int IpSet(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveUsableControl(ctx, args, top, control))
        return rc;
    std::wstring fields[4];
    if (!ParseAddress(args[2], fields))
        return console::Fail(kExitUsage, L"ip-set: \"" + args[2] + L"\" is not a.b.c.d (fields 0-255, empty = blank)");
    bool anyBlank = false;
    for (const std::wstring& f : fields)
        anyBlank = anyBlank || f.empty();
    if (!anyBlank) {
        LPARAM value = MAKEIPADDRESS(_wtoi(fields[0].c_str()), _wtoi(fields[1].c_str()), _wtoi(fields[2].c_str()),
                                     _wtoi(fields[3].c_str()));
        if (!remote::Send(control, IPM_SETADDRESS, 0, value))
            return console::Fail(kExitFailed, L"IPM_SETADDRESS failed");
        return kExitOk;
    }
    // Blank fields cannot be expressed by IPM_SETADDRESS; the field edits are set one by one instead.
    std::vector<HWND> edits = remote::IpFields(control);
    if (edits.size() != 4)
        return console::Fail(kExitFailed, L"the IP address control does not have four fields");
    for (int i = 0; i < 4; ++i) {
        if (!remote::SetText(edits[static_cast<size_t>(i)], fields[i]))
            return console::Fail(kExitFailed, L"could not set field " + std::to_wstring(i));
    }
    return kExitOk;
}

int IpClear(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveUsableControl(ctx, args, top, control))
        return rc;
    if (!remote::Send(control, IPM_CLEARADDRESS, 0, 0))
        return console::Fail(kExitFailed, L"IPM_CLEARADDRESS failed");
    return kExitOk;
}

int IpGet(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveControl(ctx, args, top, control))
        return rc;
    DWORD address = 0;
    int nonBlank = 0;
    if (!remote::GetIpAddress(control, address, nonBlank))
        return console::Fail(kExitFailed, L"IPM_GETADDRESS failed");
    console::Line(std::to_wstring(FIRST_IPADDRESS(address)) + L"." + std::to_wstring(SECOND_IPADDRESS(address)) + L"." +
                  std::to_wstring(THIRD_IPADDRESS(address)) + L"." + std::to_wstring(FOURTH_IPADDRESS(address)));
    return kExitOk;
}

int IpFieldsVerb(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    HWND control = nullptr;
    if (int rc = ResolveControl(ctx, args, top, control))
        return rc;
    std::wstring joined;
    std::vector<HWND> edits = remote::IpFields(control);
    for (size_t i = 0; i < edits.size(); ++i) {
        std::wstring text;
        if (!remote::GetText(edits[i], text))
            return console::Fail(kExitFailed, L"could not read field " + std::to_wstring(i));
        joined += (i == 0 ? L"" : L".") + text;
    }
    console::Line(joined);
    return kExitOk;
}

int Click(VerbContext& ctx, const Args& args)
{
    HWND top = nullptr;
    if (int rc = ctx.driver.RequireTop(args[0], top))
        return rc;
    HWND button = nullptr;
    if (Driver::ParseControlId(args[1]) >= 0) {
        if (int rc = ctx.driver.RequireControl(top, args[1], button))
            return rc;
    } else {
        PollUntil(ctx.driver.Options().findTimeoutMs, [&] {
            button = remote::FindButtonByText(top, args[1]);
            return button != nullptr;
        });
        if (button == nullptr)
            return console::Fail(kExitNotFound, L"no button \"" + args[1] + L"\" in \"" + args[0] + L"\"");
    }
    if (int rc = ctx.driver.RequireUsable(top))
        return rc;
    // Posted, not sent: a button that opens a modal dialog would otherwise hold the driver until it closes.
    if (!remote::PostAndSettle(button, BM_CLICK, 0, 0))
        return console::Fail(kExitFailed, L"could not post BM_CLICK");
    return kExitOk;
}

int Select(VerbContext& ctx, const Args& args)
{
    return SetSelection(ctx, args, true);
}

int Deselect(VerbContext& ctx, const Args& args)
{
    return SetSelection(ctx, args, false);
}

int SelectOnly(VerbContext& ctx, const Args& args)
{
    if (int rc = SetAll(ctx, false))
        return rc;
    return SetSelection(ctx, args, true);
}

int SelectAll(VerbContext& ctx, const Args&)
{
    return SetAll(ctx, true);
}

int SelectNone(VerbContext& ctx, const Args&)
{
    return SetAll(ctx, false);
}
