// Thin, non-owning window wrapper and the message dispatch shared by every window kind.
#pragma once

#include <string>

#include "framework/CmdTarget.h"

class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetWindowText(const std::wstring& text) const;
    std::wstring GetWindowText() const;
    void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon) const;
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) const { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
    BOOL KillTimer(UINT_PTR nIDEvent) const { return ::KillTimer(m_hWnd, nIDEvent); }

    // Asks for the default processing of the message being handled.
    LRESULT Default();

protected:
    // Routes a message through the message map. Returns true when a handler took it;
    // the handler's result goes to *pResult. A handler that called Default() leaves
    // the message to the default processing (returns false).
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // WM_COMMAND: menu and accelerator commands pass the update test first.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    BOOL m_bCallDefault = FALSE;
};

// Wrapper for a control owned by a dialog; attached by data exchange.
class CControlWnd : public CWnd {
public:
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
};
