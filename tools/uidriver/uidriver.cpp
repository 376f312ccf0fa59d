// uidriver: drives the running program's windows the way a person does and prints what they show.
// Test-only; runs under the same Wine (same WINEPREFIX, same wineserver) as the program it drives.
//
// Usage: uidriver.exe [options] <verb> [words...] [-- <verb> [words...]]...
//   Several verbs may be given at once, separated by "--" or ";" (quote the ";" in a shell). They run in order
//   and the first failure stops the run with its exit code. Results go to stdout as UTF-8, one item a line;
//   errors go to stderr. Exit codes: 0 done, 1 bad usage, 2 window/control/dialog not found or a wait timed out,
//   3 found but the action failed (also: the window is disabled because a modal dialog is open over it).
//
// Options (before the first verb):
//   --main <caption>   caption of the main window (default "Quellmoor")
//   --timeout <ms>     how long to wait for a window or control to appear before failing (default 5000)
//   --pid <n>          drive the program with this Windows process id (see "pid"), when several are open
//   --poll <ms>        how often the waits look (default 20; a timing run looks more often)
//   --force            act even on a disabled window (a person could not)
//   --post | --input   key route for "key": posted messages, or SendInput to the foreground window.
//                      Default: keys with Ctrl or Shift use SendInput (a posted message cannot carry the
//                      modifier state), all others are posted.
//
// <target> is "main" or the exact caption of a top-level window of the program. <control> is a number
// (decimal or 0x hex) or a name: units file file-button status ip-list progress ip-address ok cancel.
// [ms] is an optional time-out in milliseconds (waits default to 10000).
//
// Waiting
//   wait-main [ms]                   the main window is open
//   wait-dialog <caption> [ms]       a window with that caption is open
//   wait-gone <target> [ms]          the window has closed ("wait-gone main": the program has ended)
//   wait-enabled <target> [ms]       the window is enabled again (no modal dialog over it)
//   wait-msgbox [ms]                 a message box is open
//   wait-status <text> [ms]          the status log contains text (CR LF in the log matches LF in text)
//   wait-units <n|n+> [ms]           the unit list has exactly n lines (n+: at least n)
//   wait-progress <n|n+> [ms]        the progress bar is at n (n+: at least n)
//   sleep <ms>
//   clock                            prints the time now, Unix seconds with microseconds (to set the end of
//                                    a wait against other programs' timestamps)
// Acting
//   menu [--keys] <item>             item: search download exit ping-specific ping-list, or a command id.
//                                    Default: WM_COMMAND posted with no control window, which is what a menu
//                                    choice sends. --keys walks the menu bar with F10, arrows and Enter.
//   sysmenu <id> [target]            WM_SYSCOMMAND id, as chosen from the system menu (16: the About item)
//   close [target]                   the close box (WM_SYSCOMMAND SC_CLOSE)
//   altf4 [target]                   Alt+F4
//   key <key[,key...]> [target]      e.g. enter, escape, tab, ctrl+enter, shift+tab, alt+f4, f10, a, down.
//                                    Without target: the program's active window. The key goes to the
//                                    focused control of the target (or the target itself).
//   focus <target> <control>         move the keyboard focus there (an edit gets its text selected)
//   type <target> <control> <text>   focus the control, then type text as characters (WM_CHAR); a line break
//                                    in text is typed as Ctrl+Enter types it
//   settext <target> <control> <text> replace the text at once (WM_SETTEXT); a bare LF becomes CR LF
//   ip-set <target> <control> <a.b.c.d>  set an IP address control; an empty field is left blank (a..c.d)
//   ip-clear <target> <control>      blank all four fields
//   click <target> <button>          press a button (BM_CLICK); button: control id, name or its text
//   select <line...>                 add unit-list lines to the selection: indexes from 0, or text that
//                                    selects every line containing it
//   deselect <line...>, select-only <line...>, select-all, select-none
//   msgbox-ok                        press OK in the open message box
//   msgbox-click <button>            press another button of it (id or text)
//   file-dialog <path> [ms]          wait for the file dialog, fill its name field, press Open, and wait until
//                                    it has closed (the name is filled in again while the dialog stays open)
//   file-dialog-cancel [ms]          wait for the file dialog, press Cancel, and wait until it has closed
// Reading
//   read units                       every unit-list line as "<1 if selected, else 0>\t<line>"
//   read selected                    the indexes of the selected lines
//   read count                       the number of unit-list lines
//   read status | read file          the status log / firmware path, one line each
//   read progress                    the progress bar position
//   read focus                       "<top-level caption>\t<control id>\t<class>" of the focused window
//   read text <target> <control>     any control's text
//   ip-get <target> <control>        the IP address control's value as a.b.c.d (blank fields read 0)
//   ip-fields <target> <control>     the four field texts joined by dots (blank fields empty)
//   dialogs [--all]                  the program's top-level windows: "<caption>\t<class>\tenabled|disabled"
//   msgbox                           the open message box: its caption, then its text
//   rect [target]                    window rectangle as WxH+X+Y (for "import -crop")
//   pid                              the program's Windows process id
//   tree [target]                    every child window: "<id>\t<class>\t<text>", indented by depth
//
// Running it under Wine
//   Same WINEPREFIX (so the same wineserver) as the program. All programs under one wineserver see each
//   other's windows, whatever DISPLAY they use: run one program at a time, or pick it with --pid.
//   Arguments reach the driver through the Unix locale: use a UTF-8 one (LANG=C.UTF-8) for non-ASCII words.
//   On a display without a window manager (Xvfb), set Wine's X11 driver to unmanaged windows
//     wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
//   or every closing dialog stalls the program for 2 s while Wine waits for a window manager.
//   Keys under Wine: posted Enter, Escape, Tab, Alt+F4 act like typed ones (they pass the program's own
//   dialog manager). A posted Ctrl+Enter carries no Ctrl state and acts as plain Enter; SendInput (the
//   default for keys with Ctrl or Shift) delivers it with the state, and a multi-line edit gets its line
//   break. SendInput needs the target to be the foreground window, which the driver arranges.
#include "Console.h"
#include "Driver.h"
#include "Verbs.h"

#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kHelp =
    L"usage: uidriver.exe [--main <caption>] [--timeout <ms>] [--pid <n>] [--poll <ms>] [--force] [--post|--input] <verb> "
    L"[words...] "
    L"[-- <verb> ...]\n"
    L"verbs (see the head of uidriver.cpp for details):\n"
    L"  wait-main [ms] | wait-dialog <caption> [ms] | wait-gone <target> [ms] | wait-enabled <target> [ms]\n"
    L"  wait-msgbox [ms] | wait-status <text> [ms] | wait-units <n|n+> [ms] | wait-progress <n|n+> [ms] | sleep <ms> | clock\n"
    L"  menu [--keys] <search|download|exit|ping-specific|ping-list|id> | sysmenu <id> [target]\n"
    L"  close [target] | altf4 [target] | key <key[,key...]> [target] | focus <target> <control>\n"
    L"  type <target> <control> <text> | settext <target> <control> <text>\n"
    L"  ip-set <target> <control> <a.b.c.d> | ip-clear <target> <control> | ip-get <target> <control>\n"
    L"  ip-fields <target> <control> | click <target> <button>\n"
    L"  select <line...> | deselect <line...> | select-only <line...> | select-all | select-none\n"
    L"  read units|selected|count|status|file|progress|focus | read text <target> <control>\n"
    L"  dialogs [--all] | msgbox | msgbox-ok | msgbox-click <button> | file-dialog <path> [ms] | file-dialog-cancel [ms]\n"
    L"  rect [target] | pid | tree [target]\n"
    L"target: \"main\" or a window caption; control: id or units|file|file-button|status|ip-list|progress|"
    L"ip-address|ok|cancel\n"
    L"exit codes: 0 ok, 1 usage, 2 not found or timed out, 3 action failed\n";

const Verb* FindVerb(const std::wstring& name)
{
    for (const Verb& verb : AllVerbs()) {
        if (name == verb.name)
            return &verb;
    }
    return nullptr;
}

int RunOne(VerbContext& ctx, const std::vector<std::wstring>& words)
{
    const Verb* verb = FindVerb(words[0]);
    if (verb == nullptr)
        return console::Fail(kExitUsage, L"unknown verb \"" + words[0] + L"\" (try --help)");
    Args args(words.begin() + 1, words.end());
    if (args.size() < verb->minArgs || args.size() > verb->maxArgs)
        return console::Fail(kExitUsage, std::wstring(verb->name) + L": wrong number of words (try --help)");
    return verb->fn(ctx, args);
}

}  // namespace

const std::vector<Verb>& AllVerbs()
{
    static const std::vector<Verb> verbs = {
        {L"wait-main", 0, 1, WaitMain},         {L"wait-dialog", 1, 2, WaitDialog},
        {L"wait-gone", 1, 2, WaitGone},         {L"wait-enabled", 1, 2, WaitEnabled},
        {L"wait-msgbox", 0, 1, WaitMsgbox},     {L"wait-status", 1, 2, WaitStatus},
        {L"wait-units", 1, 2, WaitUnits},       {L"wait-progress", 1, 2, WaitProgress},
        {L"sleep", 1, 1, SleepMs},              {L"menu", 1, 2, Menu},
        {L"sysmenu", 1, 2, SysMenu},            {L"close", 0, 1, Close},
        {L"altf4", 0, 1, AltF4},                {L"key", 1, 2, Key},
        {L"focus", 2, 2, Focus},                {L"type", 3, 3, Type},
        {L"settext", 3, 3, SetTextVerb},        {L"ip-set", 3, 3, IpSet},
        {L"ip-clear", 2, 2, IpClear},           {L"ip-get", 2, 2, IpGet},
        {L"ip-fields", 2, 2, IpFieldsVerb},     {L"click", 2, 2, Click},
        {L"select", 1, 1000, Select},           {L"deselect", 1, 1000, Deselect},
        {L"select-only", 1, 1000, SelectOnly},  {L"select-all", 0, 0, SelectAll},
        {L"select-none", 0, 0, SelectNone},     {L"read", 1, 3, Read},
        {L"dialogs", 0, 1, Dialogs},            {L"msgbox", 0, 0, Msgbox},
        {L"msgbox-ok", 0, 0, MsgboxOk},         {L"msgbox-click", 1, 1, MsgboxClick},
        {L"file-dialog", 1, 2, FileDialog},     {L"file-dialog-cancel", 0, 1, FileDialogCancel},
        {L"rect", 0, 1, Rect},                  {L"pid", 0, 0, Pid},
        {L"tree", 0, 1, Tree},                  {L"clock", 0, 0, Clock},
    };
    return verbs;
}

int wmain(int argc, wchar_t** argv)
{
    DriverOptions options;
    KeyRoute route = KeyRoute::Auto;
    int i = 1;
    for (; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h") {
            console::Lines(kHelp);
            console::Flush();
            return kExitOk;
        }
        if (arg == L"--main" && i + 1 < argc) {
            options.mainCaption = argv[++i];
        } else if (arg == L"--timeout" && i + 1 < argc) {
            long ms = 0;
            if (!ParseNumber(argv[++i], ms) || ms < 0)
                return console::Fail(kExitUsage, L"--timeout needs milliseconds");
            options.findTimeoutMs = static_cast<DWORD>(ms);
        } else if (arg == L"--pid" && i + 1 < argc) {
            long pid = 0;
            if (!ParseNumber(argv[++i], pid) || pid <= 0)
                return console::Fail(kExitUsage, L"--pid needs a process id");
            options.pid = static_cast<DWORD>(pid);
        } else if (arg == L"--poll" && i + 1 < argc) {
            long ms = 0;
            if (!ParseNumber(argv[++i], ms) || ms < 1 || ms > 1000)
                return console::Fail(kExitUsage, L"--poll needs 1 to 1000 milliseconds");
            g_pollMs = static_cast<DWORD>(ms);
        } else if (arg == L"--force") {
            options.force = true;
        } else if (arg == L"--post") {
            route = KeyRoute::Post;
        } else if (arg == L"--input") {
            route = KeyRoute::Input;
        } else if (arg.rfind(L"--", 0) == 0 && arg.size() > 2) {
            return console::Fail(kExitUsage, L"unknown option " + arg + L" (try --help)");
        } else {
            break;
        }
    }
    if (i >= argc)
        return console::Fail(kExitUsage, L"no verb given (try --help)");

    Driver driver(options);
    VerbContext ctx{driver, route};
    std::vector<std::wstring> words;
    for (; i <= argc; ++i) {
        bool separator = i == argc || std::wstring(argv[i]) == L"--" || std::wstring(argv[i]) == L";";
        if (!separator) {
            words.emplace_back(argv[i]);
            continue;
        }
        if (words.empty())
            continue;
        int rc = RunOne(ctx, words);
        console::Flush();
        if (rc != kExitOk)
            return rc;
        words.clear();
    }
    return kExitOk;
}
