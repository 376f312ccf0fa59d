#include "framework/FileDialog.h"


#include <vector>

CFileDialog::CFileDialog(BOOL, const wchar_t* lpszDefExt, const wchar_t* lpszFileName, DWORD dwFlags,
                         const wchar_t* lpszFilter, HWND hParentWnd)
    : m_strFilter(lpszFilter ? lpszFilter : L""),
      m_strDefExt(lpszDefExt ? lpszDefExt : L""),
      m_strPath(lpszFileName ? lpszFileName : L""),
      m_dwFlags(dwFlags),
      m_hParentWnd(hParentWnd)
{
    // The API wants NUL-separated pairs ending in two NULs.
    for (wchar_t& c : m_strFilter) {
        if (c == L'|')
            c = L'\0';
    }
    m_strFilter.push_back(L'\0');
}

INT_PTR CFileDialog::DoModal()
{
    std::vector<wchar_t> file(32768, L'\0');
    m_strPath.copy(file.data(), file.size() - 1);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hParentWnd;
    ofn.lpstrFilter = m_strFilter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
    ofn.Flags = m_dwFlags | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&ofn))
        return IDCANCEL;
    m_strPath = file.data();
    return IDOK;
}
