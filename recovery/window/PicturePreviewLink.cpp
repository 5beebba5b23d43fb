// The window's side of the picture list: the list control's notifications
// go to the list, its ticks to the count line, and a double click on a
// picture (not on its tick box) or Enter on the selected one opens the large
// preview, which steps through the pictures in the order the list shows
// them; its tick box is the list's.
#include "RecoveryDlg.h"

void CRecoveryDlg::ClearPictureList()
{
    m_list.Clear();
    m_pacer.ListCleared();
    m_intake.ForgetListed();
}

LRESULT CRecoveryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (message == WM_NOTIFY && m_list.OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
        return result;
    return CSkinDialog::WindowProc(message, wParam, lParam);
}

void CRecoveryDlg::OnTicksChanged()
{
    ShowCountLine(true);
}

void CRecoveryDlg::OnOpenPicture(int position)
{
    const int item = m_list.ItemAt(position);
    if (item >= 0)
        m_preview.Open(m_hWnd, m_list, item);
}

BOOL CRecoveryDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_list.PreTranslate(*pMsg))
        return TRUE;
    return CSkinDialog::PreTranslateMessage(pMsg);
}
