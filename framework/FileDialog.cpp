#include "framework/FileDialog.h"

#include "framework/CallbackGuard.h"

#include <cderr.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

CFileDialog::CFileDialog(BOOL, const wchar_t* lpszDefExt, const wchar_t* lpszFileName, DWORD dwFlags,
                         const wchar_t* lpszFilter, HWND hParentWnd)
    : m_strFilter(lpszFilter ? lpszFilter : L""),
      m_strDefExt(lpszDefExt ? lpszDefExt : L""),
      m_strPath(lpszFileName ? lpszFileName : L""),
      m_dwFlags(dwFlags),
      m_hParentWnd(hParentWnd),
      m_strTooLongText(L"The path is too long."),
      m_strTooLongCaption(L"Open")
{
}

// Only the classic dialog. The newer one (IFileOpenDialog) wants a single-
// threaded apartment, and the window's thread joins the multithreaded one at
// start-up, so it never showed. It is not given a thread of its own: the
// window keeps to its one thread, the newer dialog has no hook for the check
// that keeps a path too long for the dialog out of it (TypedPathTooLong), and
// the window's tests and the UI driver work the classic dialog's controls.
INT_PTR CFileDialog::DoModal()
{
    // The API wants NUL-separated pairs ending in two NULs.
    std::wstring filter = m_strFilter;
    for (wchar_t& c : filter) {
        if (c == L'|')
            c = L'\0';
    }
    filter.push_back(L'\0');
    std::vector<wchar_t> file(MAX_PATH_CHARS, L'\0');
    m_strPath.copy(file.data(), file.size() - 1);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hParentWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
    // The hook only watches the Open button; sizing stays on as without a hook.
    ofn.Flags = m_dwFlags | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    ofn.lpfnHook = HookProc;
    ofn.lCustData = reinterpret_cast<LPARAM>(this);
    m_bPathNotReturned = false;
    if (!::GetOpenFileNameW(&ofn)) {
        DWORD error = ::CommDlgExtendedError();
        m_bPathNotReturned = error == FNERR_BUFFERTOOSMALL || error == FNERR_INVALIDFILENAME;
        return IDCANCEL;
    }
    m_strPath = file.data();
    return IDOK;
}

void CFileDialog::SetPathTooLongMessage(const std::wstring& text, const std::wstring& caption)
{
    m_strTooLongText = text;
    m_strTooLongCaption = caption;
}

// The dialog builds the full path of a typed name in a buffer of MAX_PATH
// characters: the folder shown, a backslash and the name, or the name alone
// when it carries its drive. Longer text overruns that buffer inside the
// dialog (Wine's takes the program down with it), so it never gets there.
bool CFileDialog::TypedPathTooLong(HWND hDialog) const
{
    std::vector<wchar_t> typed(MAX_PATH_CHARS, L'\0');
    LRESULT n = ::SendMessageW(hDialog, CDM_GETSPEC, typed.size(), reinterpret_cast<LPARAM>(typed.data()));
    if (n < 0)
        return false;  // nothing to measure: the dialog's own checks decide
    if (static_cast<size_t>(n) > typed.size())
        return true;
    const size_t typedLength = ::wcslen(typed.data());
    size_t needed = typedLength;
    if (::PathIsRelativeW(typed.data())) {
        std::vector<wchar_t> folder(MAX_PATH_CHARS, L'\0');
        LRESULT f = ::SendMessageW(hDialog, CDM_GETFOLDERPATH, folder.size(), reinterpret_cast<LPARAM>(folder.data()));
        needed += (f > 0 ? ::wcslen(folder.data()) : 0) + 1;
    } else if (::PathGetDriveNumberW(typed.data()) < 0) {
        needed += 2;  // a rooted name gets the current drive in front
    }
    if (!m_strDefExt.empty())
        needed += 1 + m_strDefExt.size();
    return needed >= MAX_PATH;
}

// Both procedures run inside the dialog's own code, so they are guarded as
// every window procedure of ours is: nothing unwinds through the dialog.
UINT_PTR CALLBACK CFileDialog::HookProc(HWND hChild, UINT message, WPARAM, LPARAM lParam)
{
    return GuardCallback([&]() -> UINT_PTR {
        if (message == WM_INITDIALOG) {
            const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
            auto* self = reinterpret_cast<CFileDialog*>(ofn->lCustData);
            // The hook's own window is a child of the dialog; Open reaches the dialog.
            ::SetWindowSubclass(::GetParent(hChild), DialogSubclassProc, 1, reinterpret_cast<DWORD_PTR>(self));
        }
        return 0;
    });
}

LRESULT CALLBACK CFileDialog::DialogSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                                 UINT_PTR idSubclass, DWORD_PTR refData)
{
    return GuardCallback([&]() -> LRESULT {
        const auto* self = reinterpret_cast<const CFileDialog*>(refData);
        if (message == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED &&
            self->TypedPathTooLong(hWnd)) {
            ::MessageBoxW(hWnd, self->m_strTooLongText.c_str(), self->m_strTooLongCaption.c_str(),
                          MB_OK | MB_ICONWARNING);
            return 0;
        }
        if (message == WM_NCDESTROY)
            ::RemoveWindowSubclass(hWnd, DialogSubclassProc, idSubclass);
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    });
}
