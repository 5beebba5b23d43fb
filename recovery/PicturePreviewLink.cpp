// The large preview of a find: a double click on a picture (not on its tick
// box) or Enter on the selected one opens it; it steps through the pictures
// in the order the list shows them, and its tick box is the list's.
#include "RecoveryDlg.h"

#include "PictureDescription.h"

void CRecoveryDlg::OpenPreview(int position)
{
    const int item = m_view.ItemAt(position);
    if (item >= 0)
        m_preview.Open(m_hWnd, *this, item);
}

BOOL CRecoveryDlg::PreTranslateMessage(MSG* pMsg)
{
    // The pointer over the list moves the details' tooltip along.
    if (pMsg->hwnd == m_listPictures.m_hWnd &&
        (pMsg->message == WM_MOUSEMOVE || pMsg->message == WM_LBUTTONDOWN || pMsg->message == WM_LBUTTONUP ||
         pMsg->message == WM_RBUTTONDOWN || pMsg->message == WM_RBUTTONUP))
        TrackPictureTip(*pMsg);
    // Enter in the picture list opens the preview; anywhere else it is the
    // dialog's as before.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN && pMsg->hwnd == m_listPictures.m_hWnd &&
        m_listPictures.IsWindowVisible()) {
        const int focused = m_listPictures.GetNextItem(-1, LVNI_FOCUSED);
        const int selected = m_listPictures.GetNextItem(-1, LVNI_SELECTED);
        const int position = focused >= 0 && (m_listPictures.GetItemState(focused, LVIS_SELECTED) & LVIS_SELECTED)
                                 ? focused
                                 : selected;
        if (position >= 0)
            OpenPreview(position);
        return TRUE;
    }
    return CSkinDialog::PreTranslateMessage(pMsg);
}

int CRecoveryDlg::ShownCount()
{
    return m_view.Count();
}

int CRecoveryDlg::ItemAt(int position)
{
    return m_view.ItemAt(position);
}

int CRecoveryDlg::PositionOf(int item)
{
    return m_view.PositionOf(item);
}

CString CRecoveryDlg::PicturePath(int item)
{
    return m_pictures.Path(item);
}

CString CRecoveryDlg::PictureTitle(int item)
{
    return item >= 0 && item < m_pictures.Count() ? CString(m_pictures.Name(item).c_str()) : CString();
}

CString CRecoveryDlg::PictureDetails(int item)
{
    CString details = DescribePicture(m_pictures, item);
    if (m_recovered.Has(item))
        details += "\r\nAlready recovered into the save folder";
    return details;
}

bool CRecoveryDlg::IsTicked(int item)
{
    return m_pictures.Ticked(item);
}

void CRecoveryDlg::SetTicked(int item, bool ticked)
{
    const int position = m_view.PositionOf(item);
    m_pictures.SetTicked(item, ticked);
    if (position >= 0)
        m_listPictures.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
    ShowCountLine(true);
}

void CRecoveryDlg::OnPreviewStep(int item)
{
    // The list follows the preview, so that closing it leaves the user
    // where they were looking.
    const int position = m_view.PositionOf(item);
    if (position < 0)
        return;
    m_listPictures.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_listPictures.SetItemState(position, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_listPictures.EnsureVisible(position, FALSE);
}
