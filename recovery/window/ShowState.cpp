// The main window's views: every control's text and visibility as the
// window's state (m_state) says, shown again after each change of it.
#include "RecoveryDlg.h"

#include <utility>

namespace {

const char kSelectAll[] = "Select All Photos";
const char kUnselectAll[] = "Unselect All Photos";
const char kTip[] = "<- Tips: click \"Cancel\" to stop analyzing and recover detected files.";

}  // namespace

void CRecoveryDlg::ShowState()
{
    const WindowView view = m_state.view;
    const bool ready = view == WindowView::Ready;
    const bool finds = view == WindowView::Analysing || view == WindowView::Analysed || view == WindowView::Recovering;

    // The texts first, and what may be pressed.
    SetLabelText(m_lblStatus, m_state.StatusText().c_str());
    SetLabelText(m_lblSelectAll, m_state.selectAllTicks ? kSelectAll : kUnselectAll);
    if (view == WindowView::Analysed)
        m_lblSelectAll.EnableWindow(m_list.Items().Count() > 0);
    m_btnRecover.EnableWindow(view != WindowView::Recovering || m_state.CancelsCopy());
    if (m_btnNewSearch.IsWindow())
        m_btnNewSearch.EnableWindow(TRUE);
    // The choice of what to copy is made: it must not change while copying.
    m_filterBar.EnableWindow(view != WindowView::Recovering);
    // The line beside or above the bar: the tip while searching, the copy's
    // progress (its ticks write it) while copying.
    const bool tip = m_state.CancelsSearch();
    if (tip)
        SetLabelText(m_lblProgress, kTip);
    else if (view != WindowView::Recovering)
        SetLabelText(m_lblProgress, "");

    // The analysed view keeps the save folder and Browse where the drive
    // selection has them, so that a folder can be chosen before Recover;
    // it must not change under a running copy.
    const bool saveFolder = ready || view == WindowView::Analysed;
    const std::pair<CWnd*, bool> controls[] = {
        {&m_lblLoading, view == WindowView::Loading},
        {&m_btnBrowse, saveFolder},
        {&m_btnNext, ready},
        {&m_btnReload, ready},
        {&m_listDrives, ready},
        {&m_lblSelectDrive, ready},
        {&m_lblSaveDir, saveFolder},
        {&m_editSaveDir, saveFolder},
        {&m_lblLastSearch, ready && m_searchRecord.Known()},
        {&m_lblStatus, finds},
        {&m_listPictures, finds},
        {&m_filterBar, finds},
        {&m_lblCount, finds},
        {&m_lblSelectAll, view == WindowView::Analysed},
        {&m_btnRecover, m_state.RecoverShown()},
        {&m_btnNewSearch, m_state.NewSearchShown()},
        {&m_comboArrangement, m_state.NewSearchShown()},
        {&m_lblProgress, tip || view == WindowView::Recovering},
        // The bar is the copy's, or the search's once it tells its progress.
        {&m_progress, view == WindowView::Recovering || (view == WindowView::Analysing && m_searchView.Shown())},
    };
    // What goes, goes before anything comes: no moment shows two views.
    // Only a change is made: the views are shown again at every step of
    // the status line, and a control shown again would be drawn again.
    for (bool show : {false, true}) {
        for (const auto& control : controls) {
            if (control.second != show || !control.first->IsWindow())
                continue;
            const bool shown = (control.first->GetStyle() & WS_VISIBLE) != 0;
            if (shown != show)
                control.first->ShowWindow(show ? SW_SHOW : SW_HIDE);
        }
    }
    // One button, three jobs: Recover, the search's Cancel and the copy's.
    // Its caption changes last, once the view it belongs to is in place.
    if (m_btnRecover.GetWindowText() != m_state.RecoverCaption())
        m_btnRecover.SetWindowText(m_state.RecoverCaption());
}

void CRecoveryDlg::SetLabelText(CLinkLabel& label, const char* text)
{
    if (label.GetWindowText() != text)
        label.SetCaption(text);
}

void CRecoveryDlg::PlaceListAboveSaveFolder()
{
    // The picture list ends where the drive list does, above the save folder.
    m_places.Put(m_listPictures, CWindowPlaces::PictureListShort);
}
