// The common file-open dialog.
#pragma once

#include <string>

#include "framework/Win32.h"

#include <commdlg.h>

class CFileDialog {
public:
    // filter in the "Description|*.ext||" form.
    CFileDialog(BOOL bOpenFileDialog, const wchar_t* lpszDefExt, const wchar_t* lpszFileName, DWORD dwFlags,
                const wchar_t* lpszFilter, HWND hParentWnd);
    // The newer dialog where the system offers it, the classic one otherwise.
    INT_PTR DoModal();
    std::wstring GetPathName() const { return m_strPath; }

private:
    bool DoModalVista(INT_PTR& result);
    INT_PTR DoModalClassic();

    std::wstring m_strFilter;
    std::wstring m_strDefExt;
    std::wstring m_strPath;
    DWORD m_dwFlags;
    HWND m_hParentWnd;
};
