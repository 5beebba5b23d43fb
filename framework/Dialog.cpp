#include "Dialog.h"

#include "WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
    ON_WM_SYSCOLORCHANGE()
END_MESSAGE_MAP()

namespace {
BOOL CALLBACK ForwardSysColorChange(HWND hChild, LPARAM)
{
    ::SendMessageA(hChild, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent)
{
}

CDialog::~CDialog()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

HWND CDialog::FindOwner() const
{
    if (m_pParentWnd)
        return m_pParentWnd->m_hWnd;
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd && pApp->m_pMainWnd != this)
        return pApp->m_pMainWnd->m_hWnd;
    return nullptr;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    // Every other message reaches the object through its subclassed window
    // procedure; this one is sent before the window can be subclassed.
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (!pDlg->SubclassWindow(hWnd))
        return TRUE;
    RECT before;
    ::GetWindowRect(hWnd, &before);
    const BOOL result = pDlg->OnInitDialog();
    // A dialog that did not place itself opens centred on its owner (or the
    // screen), not in the corner the template's position gives it.
    RECT after;
    if (::IsWindow(hWnd) && ::GetWindowRect(hWnd, &after) && ::EqualRect(&before, &after))
        CenterOnOwner(hWnd);
    return result;
}

void CDialog::CenterOnOwner(HWND hWnd)
{
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    if (hOwner && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner))
        ::GetWindowRect(hOwner, &area);

    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the caption bar on the screen.
    if (x + width > work.right)
        x = work.right - width;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    ::SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    HWND hOwner = FindOwner();
    bool bOwnerDisabled = false;
    if (hOwner && ::IsWindowEnabled(hOwner)) {
        ::EnableWindow(hOwner, FALSE);
        bOwnerDisabled = true;
    }

    m_nModalResult = -1;
    m_bModalRunning = true;
    HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    bool bQuit = false;
    int nQuitCode = 0;
    if (hWnd) {
        // A template without WS_VISIBLE is shown once initialised, unless
        // the dialog already ended itself.
        if (m_bModalRunning && !(::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_VISIBLE))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        while (m_bModalRunning && ::IsWindow(hWnd)) {
            MSG msg;
            BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                bQuit = true;
                nQuitCode = static_cast<int>(msg.wParam);
                break;
            }
            if (got == -1)
                break;
            if (AfxPreTranslateMessage(&msg, hWnd) || ::IsDialogMessageA(hWnd, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    m_bModalRunning = false;

    // Re-enable the owner before the dialog goes, so activation returns to it.
    if (bOwnerDisabled)
        ::EnableWindow(hOwner, TRUE);
    if (hWnd && ::IsWindow(hWnd)) {
        if (hOwner && ::GetActiveWindow() == hWnd)
            ::SetActiveWindow(hOwner);
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(hWnd);
    }
    if (bQuit) {
        // The outer loop must see the quit too.
        ::PostQuitMessage(nQuitCode);
        return -1;
    }
    return hWnd ? m_nModalResult : -1;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bModalRunning = false;
    // Wakes the loop when called outside a dispatched message.
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

void CDialog::OnSysColorChange()
{
    if (!(GetStyle() & WS_CHILD))
        ::EnumChildWindows(m_hWnd, &ForwardSysColorChange, 0);
    Default();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (!rControl.m_hWnd)
        rControl.SubclassDlgItem(nIDC, pDX->m_pDlgWnd);
}
