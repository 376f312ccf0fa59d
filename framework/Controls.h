// Non-owning wrappers for the common controls the dialogs use.
#pragma once

#include <string>
#include <vector>

#include "framework/Wnd.h"

class CListBox : public CControlWnd {
public:
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
    int GetSelItems(int nMaxItems, int* rgIndex) const
    {
        return static_cast<int>(SendMessage(LB_GETSELITEMS, nMaxItems, reinterpret_cast<LPARAM>(rgIndex)));
    }
    std::vector<int> GetSelItems() const;
    std::wstring GetText(int nIndex) const;
    int SetSel(int nIndex, BOOL bSelect = TRUE) const
    {
        return static_cast<int>(SendMessage(LB_SETSEL, bSelect, nIndex));
    }
    int AddString(const std::wstring& text) const
    {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    void ResetContent() const { SendMessage(LB_RESETCONTENT); }
};

class CEdit : public CControlWnd {
};

class CProgressCtrl : public CControlWnd {
public:
    void SetRange(short nLower, short nUpper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    int SetPos(int nPos) const { return static_cast<int>(SendMessage(PBM_SETPOS, nPos)); }
    int SetStep(int nStep) const { return static_cast<int>(SendMessage(PBM_SETSTEP, nStep)); }
};
