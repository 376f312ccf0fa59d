// Modal dialog built from a template resource, with data exchange.
#pragma once

#include "framework/RuntimeClass.h"
#include "framework/Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override = default;

    // Runs the dialog modally; IDOK, IDCANCEL, or -1 when it cannot be created.
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void EndDialog(int nResult);
    void CenterWindow();

    // The dialog's own painting, for handlers that paint only in some states.
    void OnPaint() { Default(); }

    BOOL OnCmdMsg(UINT nID, UINT nCode, CCmdUI* pCmdUI) override;

    static const CRuntimeClass classCDialog;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCDialog; }

    UINT m_nIDHelp;

protected:
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
};

// Direction and context of one data exchange run.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};
