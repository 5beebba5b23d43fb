// CDialog: a dialog from a template in the resources, run modally by the
// framework's own loop so that PreTranslateMessage sees every message.
#pragma once

#include "DataExchange.h"
#include "Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CDialog() override;

    // IDOK / IDCANCEL / EndDialog's code; -1 if the dialog could not be
    // created or a WM_QUIT ended the run (the quit is posted again).
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    UINT IsDlgButtonChecked(int nIDButton) const { return ::IsDlgButtonChecked(m_hWnd, nIDButton); }
    void CheckDlgButton(int nIDButton, UINT nCheck) { ::CheckDlgButton(m_hWnd, nIDButton, nCheck); }
    // Kept for the shape of start-up code; common controls look 3-D anyway.
    BOOL Enable3dControlsStatic() { return TRUE; }

protected:
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    // Passed on to the controls, which do not get it from the system.
    void OnSysColorChange();

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CenterOnOwner(HWND hWnd);
    HWND FindOwner() const;

    bool m_bModalRunning = false;
    INT_PTR m_nModalResult = -1;
};
