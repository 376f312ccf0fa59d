// The three small dialogs of the test target, built from in-memory templates.
#pragma once

#include <windows.h>

#include <string>

void RunAboutBox(HWND owner);
// True when closed with OK; address then holds the control's value (first field in the high byte).
bool RunPingSpecific(HWND owner, DWORD& address);
// True when closed with OK; list then holds the whole edit text.
bool RunPingList(HWND owner, std::wstring& list);
// True when a file was chosen; the Vista-style dialog when vista is set, the classic one otherwise.
bool RunFileOpen(HWND owner, bool vista, std::wstring& path);
