// Reading and driving controls that belong to another process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace remote {

// SendMessage with a time-out, so a hung target cannot hang the driver.
bool Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result = nullptr);
bool Post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Posts, then waits until the target's thread has taken the posted message (see Settle).
bool PostAndSettle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Returns once the thread owning hwnd has taken the last `posted` messages posted to it (best effort: messages
// the program posts to itself in between count too), or is gone or stuck.
void Settle(HWND hwnd, size_t posted);

// Direct children in z-order (which for dialogs is template order).
std::vector<HWND> Children(HWND parent);
// The child with this id at any depth (file dialogs nest their controls); nullptr if none.
HWND FindDescendant(HWND top, int id);
// A button at any depth whose text, without '&', is text; nullptr if none.
HWND FindButtonByText(HWND top, const std::wstring& text);

bool GetText(HWND hwnd, std::wstring& text);
bool SetText(HWND hwnd, const std::wstring& text);

struct ListLine {
    std::wstring text;
    bool selected;
};
bool ListLines(HWND listBox, std::vector<ListLine>& lines);

// IPM_GETADDRESS writes through a pointer, so it is given memory inside the target process.
bool GetIpAddress(HWND ipControl, DWORD& address, int& nonBlankFields);
// Focus and active window of the thread that owns hwnd (GetGUIThreadInfo works across processes).
bool ThreadInfo(HWND hwnd, GUITHREADINFO& info);

// The four field edits of an IP address control, left to right.
std::vector<HWND> IpFields(HWND ipControl);

}  // namespace remote
