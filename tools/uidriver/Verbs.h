// The driver's verbs. Each takes the words that follow its name and returns an exit code.
#pragma once

#include "Driver.h"
#include "KeyInput.h"

#include <string>
#include <vector>

using Args = std::vector<std::wstring>;

struct VerbContext {
    Driver& driver;
    KeyRoute keyRoute;
};

using VerbFn = int (*)(VerbContext&, const Args&);

struct Verb {
    const wchar_t* name;
    size_t minArgs;
    size_t maxArgs;
    VerbFn fn;
};

const std::vector<Verb>& AllVerbs();

// Shared argument helpers.
bool ParseMs(const Args& args, size_t index, DWORD fallback, DWORD& ms);
bool ParseNumber(const std::wstring& text, long& value);
// "n" (exactly n) or "n+" (at least n).
bool ParseCount(const std::wstring& text, long& value, bool& atLeast);
// The window that has the keyboard focus in the thread that owns top; nullptr if none.
HWND FocusOf(HWND top);

int WaitMain(VerbContext&, const Args&);
int WaitDialog(VerbContext&, const Args&);
int WaitGone(VerbContext&, const Args&);
int WaitEnabled(VerbContext&, const Args&);
int WaitMsgbox(VerbContext&, const Args&);
int Dialogs(VerbContext&, const Args&);
int Msgbox(VerbContext&, const Args&);
int MsgboxOk(VerbContext&, const Args&);
int MsgboxClick(VerbContext&, const Args&);
int FileDialog(VerbContext&, const Args&);
int FileDialogCancel(VerbContext&, const Args&);
int Rect(VerbContext&, const Args&);
int Pid(VerbContext&, const Args&);
int Tree(VerbContext&, const Args&);
int Close(VerbContext&, const Args&);
int AltF4(VerbContext&, const Args&);
int SysMenu(VerbContext&, const Args&);
int Menu(VerbContext&, const Args&);
int SleepMs(VerbContext&, const Args&);
int Clock(VerbContext&, const Args&);

int Key(VerbContext&, const Args&);
int Focus(VerbContext&, const Args&);
int Type(VerbContext&, const Args&);
int SetTextVerb(VerbContext&, const Args&);
int IpSet(VerbContext&, const Args&);
int IpClear(VerbContext&, const Args&);
int IpGet(VerbContext&, const Args&);
int IpFieldsVerb(VerbContext&, const Args&);
int Click(VerbContext&, const Args&);
int Select(VerbContext&, const Args&);
int Deselect(VerbContext&, const Args&);
int SelectOnly(VerbContext&, const Args&);
int SelectAll(VerbContext&, const Args&);
int SelectNone(VerbContext&, const Args&);

int Read(VerbContext&, const Args&);
int WaitStatus(VerbContext&, const Args&);
int WaitUnits(VerbContext&, const Args&);
int WaitProgress(VerbContext&, const Args&);
