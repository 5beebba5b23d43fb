// The window's side of the picture list: the list control's notifications
// and keys go to the list, the filter bar's choice to the finds' view
// (FindsView.h).
#include "RecoveryDlg.h"

LRESULT CRecoveryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (message == WM_NOTIFY && m_list.OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
        return result;
    return CSkinDialog::WindowProc(message, wParam, lParam);
}

void CRecoveryDlg::ApplyFilter()
{
    m_finds.ApplyFilter();
}

BOOL CRecoveryDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_list.PreTranslate(*pMsg))
        return TRUE;
    if (OnKeyboardCommand(*pMsg))
        return TRUE;
    return CSkinDialog::PreTranslateMessage(pMsg);
}
