// The address-list dialog: one address a line.
#pragma once

#include <string>

#include "framework/Dialog.h"

class CPingList : public CDialog {
    DECLARE_DYNAMIC(CPingList)

public:
    CPingList();
    void DoDataExchange(CDataExchange* pDX) override;

    std::wstring m_strList;

    DECLARE_MESSAGE_MAP()
};
