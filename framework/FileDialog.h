// The common file-open dialog, the classic one (why not the newer: DoModal).
#pragma once

#include <string>

#include "framework/Win32.h"

#include <commdlg.h>

class CFileDialog {
public:
    // filter in the "Description|*.ext||" form.
    CFileDialog(BOOL bOpenFileDialog, const wchar_t* lpszDefExt, const wchar_t* lpszFileName, DWORD dwFlags,
                const wchar_t* lpszFilter, HWND hParentWnd);
    // The classic dialog, modal to the parent (the only one: see DoModal).
    INT_PTR DoModal();
    std::wstring GetPathName() const { return m_strPath; }
    // What the classic dialog shows, and keeps itself open, when Open is pressed
    // on a path longer than it can take.
    void SetPathTooLongMessage(const std::wstring& text, const std::wstring& caption);
    // Whether the last DoModal ended because the chosen path could not be returned.
    bool PathNotReturned() const { return m_bPathNotReturned; }

    // Characters the classic dialog may return, its terminating NUL included.
    static constexpr DWORD MAX_PATH_CHARS = 32767;

private:
    bool TypedPathTooLong(HWND hDialog) const;
    static UINT_PTR CALLBACK HookProc(HWND hChild, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DialogSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR idSubclass, DWORD_PTR refData);

    std::wstring m_strFilter;
    std::wstring m_strDefExt;
    std::wstring m_strPath;
    DWORD m_dwFlags;
    HWND m_hParentWnd;
    std::wstring m_strTooLongText;
    std::wstring m_strTooLongCaption;
    bool m_bPathNotReturned = false;
};
