// The main window's controls: the template's bound, what each view shows of
// them, the drive list, and the places and lines that change as the window
// goes from view to view.
#include "MainView.h"

#include <utility>

#include "SizeFormat.h"
#include "resource.h"

namespace {

const char kSelectAll[] = "Select All Photos";
const char kUnselectAll[] = "Unselect All Photos";
const char kTip[] = "<- Tips: click \"Cancel\" to stop analyzing and recover detected files.";

}  // namespace

void CMainView::Exchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_SELECT_ALL, m_lblSelectAll);
    DDX_Control(pDX, IDC_LOADING, m_lblLoading);
    DDX_Control(pDX, IDC_SETTINGS_LINK, m_lblSettings);
    DDX_Control(pDX, IDC_HELP_LINK, m_lblHelp);
    DDX_Control(pDX, IDC_STATUS, m_lblStatus);
    DDX_Control(pDX, IDC_PROGRESS_TEXT, m_lblProgress);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_PICTURE_LIST, m_listPictures);
    DDX_Control(pDX, IDC_SAVE_DIR, m_editSaveDir);
    DDX_Control(pDX, IDC_SAVE_DIR_LABEL, m_lblSaveDir);
    DDX_Control(pDX, IDC_SELECT_DRIVE_LABEL, m_lblSelectDrive);
    DDX_Control(pDX, IDC_NEXT, m_btnNext);
    DDX_Control(pDX, IDC_RELOAD, m_btnReload);
    DDX_Control(pDX, IDC_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_RECOVER, m_btnRecover);
    DDX_Control(pDX, IDC_DRIVE_LIST, m_listDrives);
    DDX_Control(pDX, IDC_ARRANGEMENT, m_comboArrangement);
}

bool CMainView::SelectDrive(const CString& drive)
{
    for (size_t i = 0; i < m_drives.size(); ++i) {
        if (m_drives[i].strDrive != drive)
            continue;
        const int row = static_cast<int>(i);
        ListView_SetItemState(m_listDrives.m_hWnd, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(m_listDrives.m_hWnd, row, FALSE);
        return true;
    }
    return false;
}

void CMainView::SetCopy(bool wanted, const CString& folder)
{
    if (m_chkCopy.IsWindow())
        m_chkCopy.SetCheck(wanted ? BST_CHECKED : BST_UNCHECKED);
    m_editCopyPlace.SetWindowText(folder);
}

CString CMainView::ArrangementChoice() const
{
    const int chosen = m_comboArrangement.GetCurSel();
    return chosen >= 0 ? m_comboArrangement.GetLBText(chosen) : CString();
}

void CMainView::Show(const CWindowState& state, const Facts& facts)
{
    const WindowView view = state.view;
    const bool ready = view == WindowView::Ready;
    const bool finds = view == WindowView::Analysing || view == WindowView::Analysed || view == WindowView::Recovering;

    // The texts first, and what may be pressed.
    SetLabelText(m_lblStatus, state.StatusText().c_str());
    SetLabelText(m_lblSelectAll, state.selectAllTicks ? kSelectAll : kUnselectAll);
    if (view == WindowView::Analysed)
        m_lblSelectAll.EnableWindow(facts.anyFinds);
    m_btnRecover.EnableWindow(view != WindowView::Recovering || state.CancelsCopy());
    if (m_btnNewSearch.IsWindow())
        m_btnNewSearch.EnableWindow(TRUE);
    // The choice of what to copy is made: it must not change while copying.
    m_filterBar.EnableWindow(view != WindowView::Recovering);
    // The line beside or above the bar: the tip while searching, the copy's
    // progress (its ticks write it) while copying.
    const bool tip = state.CancelsSearch();
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
        {&m_lblLastSearch, ready && facts.lastSearchKnown},
        {&m_chkCopy, ready},
        {&m_editCopyPlace, ready},
        {&m_btnCopyBrowse, ready},
        {&m_btnOpenCopy, ready},
        {&m_lblStatus, finds},
        {&m_listPictures, finds},
        {&m_filterBar, finds},
        {&m_lblCount, finds},
        {&m_lblSelectAll, view == WindowView::Analysed},
        {&m_btnRecover, state.RecoverShown()},
        {&m_btnNewSearch, state.NewSearchShown()},
        {&m_comboArrangement, state.NewSearchShown()},
        {&m_lblProgress, tip || view == WindowView::Recovering},
        // The bar is the copy's, or the search's once it tells its progress.
        {&m_progress, view == WindowView::Recovering || (view == WindowView::Analysing && facts.searchBarShown)},
    };
    // The keyboard is in a control that goes (the drive list as Next is
    // pressed there): it goes on to the list that takes its place, rather
    // than back to the window's first tab stop.
    const HWND focus = ::GetFocus();
    bool focusGoes = false;
    for (const auto& control : controls) {
        const HWND hwnd = control.first->m_hWnd;
        if (!control.second && focus && hwnd && ::IsWindowVisible(hwnd) && (focus == hwnd || ::IsChild(hwnd, focus)))
            focusGoes = true;
    }
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
    if (focusGoes)
        FocusOn(finds ? m_listPictures.m_hWnd : ready ? m_listDrives.m_hWnd : nullptr);
    // One button, three jobs: Recover, the search's Cancel and the copy's.
    // Its caption changes last, once the view it belongs to is in place.
    if (m_btnRecover.GetWindowText() != state.RecoverCaption()) {
        m_btnRecover.SetAccessKey(state.RecoverCaption()[0]);
        m_btnRecover.SetWindowText(state.RecoverCaption());
    }
}

void CMainView::SetLabelText(CLinkLabel& label, const char* text)
{
    if (label.GetWindowText() != text)
        label.SetCaption(text);
}

void CMainView::ShowDrives(std::vector<DriveEntry> drives)
{
    m_drives = std::move(drives);
    m_listDrives.DeleteAllItems();
    // A saved copy's name is longer than a drive's: the column makes room.
    bool anyCopy = false;
    for (const DriveEntry& drive : m_drives)
        anyCopy = anyCopy || !drive.strImage.IsEmpty();
    ListView_SetColumnWidth(m_listDrives.m_hWnd, 0, anyCopy ? 310 : 80);

    for (size_t i = 0; i < m_drives.size(); ++i) {
        const DriveEntry& drive = m_drives[i];
        const int row = static_cast<int>(i);

        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(drive.strDrive.GetString());
        m_listDrives.InsertItem(&item);

        m_listDrives.SetItemText(row, 0, drive.strDrive);
        m_listDrives.SetItemText(row, 1, drive.strFileSystem);
        m_listDrives.SetItemText(row, 2, FormatSize(drive.nTotalBytes));
        m_listDrives.SetItemText(row, 3, drive.strInfo);
    }
}

bool CMainView::SelectedDrive(CString& drive) const
{
    const int row = m_listDrives.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return false;
    drive = m_listDrives.GetItemText(row, 0);
    return true;
}

const DriveEntry* CMainView::Drive(const CString& drive) const
{
    for (const DriveEntry& entry : m_drives) {
        if (entry.strDrive == drive)
            return &entry;
    }
    return nullptr;
}

void CMainView::PlaceTipLine()
{
    m_places.Put(m_lblProgress, CWindowPlaces::TipText);
}

void CMainView::PlaceFinds()
{
    // The select-all label as wide as its longer text; the filter bar takes
    // the top of the list's room, the count line goes after the select-all
    // label, up to the Settings link, and the list under them.
    m_places.Put(m_lblSelectAll, CWindowPlaces::SelectAll);
    m_places.Put(m_filterBar, CWindowPlaces::FilterBar);
    m_filterBar.ShowWindow(SW_SHOW);
    m_places.Put(m_lblCount, CWindowPlaces::CountLine);
    m_lblCount.ShowWindow(SW_SHOW);
    m_places.Put(m_listPictures, CWindowPlaces::PictureList);
}

void CMainView::ResetProgressLine()
{
    m_lblProgress.SetCaption("");
    m_places.Put(m_lblProgress, CWindowPlaces::ProgressText, FALSE);
}

void CMainView::PlaceListAboveSaveFolder()
{
    // The picture list ends where the drive list does, above the save folder.
    m_places.Put(m_listPictures, CWindowPlaces::PictureListShort);
}

void CMainView::BeginCopy(int total, const CString& firstLine)
{
    m_progress.SetRange32(0, total);
    m_progress.SetPos(0);
    m_places.Put(m_lblProgress, CWindowPlaces::ProgressText, FALSE);
    m_lblProgress.SetCaption(firstLine);
}

void CMainView::ShowCopyStep(const CString& line, bool moved, int done)
{
    SetLabelText(m_lblProgress, line);
    if (moved)
        m_progress.SetPos(done);
}

void CMainView::EndCopy()
{
    m_progress.SetPos(0);
    PlaceRecoverButton(false);
}

void CMainView::PlaceRecoverButton(bool copying)
{
    // The place it leaves is drawn again with the window's background.
    const RECT from = m_places.Rect(copying ? CWindowPlaces::RecoverButton : CWindowPlaces::CopyCancel);
    m_places.Put(m_btnRecover, copying ? CWindowPlaces::CopyCancel : CWindowPlaces::RecoverButton, FALSE);
    ::InvalidateRect(m_dialog, &from, TRUE);
    m_btnRecover.Invalidate(TRUE);
}

void CMainView::ShowCountLine(const CString& line)
{
    if (line != m_lblCount.GetWindowText())
        m_lblCount.SetCaption(line);
}
