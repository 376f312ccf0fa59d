#include "framework/Wnd.h"

#include <vector>

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
}

void CWnd::SetWindowText(const std::wstring& text) const
{
    ::SetWindowTextW(m_hWnd, text.c_str());
}

std::wstring CWnd::GetWindowText() const
{
    int n = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1, L'\0');
    int got = ::GetWindowTextW(m_hWnd, buf.data(), n + 1);
    return std::wstring(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) const
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                               reinterpret_cast<LPARAM>(hIcon)));
}

LRESULT CWnd::Default()
{
    m_bCallDefault = TRUE;
    return 0;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT nID = LOWORD(wParam);
    UINT nCode = HIWORD(wParam);
    if (lParam == 0) {
        // No control window: a menu item or an accelerator. The update handlers decide
        // whether it may run; a disabled command is dropped without a trace.
        CTestCmdUI state;
        state.m_nID = nID;
        OnCmdMsg(nID, CN_UPDATE_COMMAND_UI, &state);
        if (!state.m_bEnabled)
            return TRUE;
        nCode = CN_COMMAND;
    }
    return OnCmdMsg(nID, nCode, nullptr);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    m_bCallDefault = FALSE;
    *pResult = 0;
    if (message == WM_COMMAND) {
        BOOL handled = OnCommand(wParam, lParam);
        return handled && !m_bCallDefault;
    }
    const AFX_MSGMAP_ENTRY* e = FindEntry(message, 0, 0);
    if (!e)
        return FALSE;
    *pResult = e->pfn(this, wParam, lParam);
    return !m_bCallDefault;
}
