#include "framework/DataExchange.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CControlWnd& rControl)
{
    if (!rControl.m_hWnd)
        rControl.Attach(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::wstring& value)
{
    CWnd control(pDX->m_pDlgWnd->GetDlgItem(nIDC));
    if (pDX->m_bSaveAndValidate)
        value = control.GetWindowText();
    else
        control.SetWindowText(value);
}

// The IP address control keeps field 0 in the most significant byte, as we do.
void DDX_IPAddress(CDataExchange* pDX, int nIDC, DWORD& value)
{
    HWND hCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pDX->m_bSaveAndValidate) {
        DWORD address = 0;
        ::SendMessageW(hCtrl, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        value = address;
    } else {
        ::SendMessageW(hCtrl, IPM_SETADDRESS, 0, static_cast<LPARAM>(value));
    }
}
