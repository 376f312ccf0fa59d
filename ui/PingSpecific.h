// The single-address dialog.
#pragma once

#include "framework/Dialog.h"

class CPingSpecific : public CDialog {
    DECLARE_DYNAMIC(CPingSpecific)

public:
    CPingSpecific();
    void DoDataExchange(CDataExchange* pDX) override;

    DWORD m_dwAddress = 0;

    DECLARE_MESSAGE_MAP()
};
