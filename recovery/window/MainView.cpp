// The main window's controls: styles, places and what each view shows.
#include "MainView.h"

#include <cctype>
#include <utility>

#include "RecoveredName.h"
#include "SettingsFiles.h"
#include "SizeFormat.h"
#include "resource.h"

namespace {

const char kLabelFace[] = "Ariel";
const char kSelectAll[] = "Select All Photos";
const char kUnselectAll[] = "Unselect All Photos";
const char kCopyCheck[] = "Save a copy of the disk while searching";
const char kTip[] = "<- Tips: click \"Cancel\" to stop analyzing and recover detected files.";

// Room for "Unselect All Photos" and "Select All Photos" at the label's size.
const int kSelectAllWidth = 140;

struct LabelStyle {
    int points;
    bool bold;
    bool italic;
    bool underline;
    COLORREF colour;
    bool link;
};

// Every label gets its face, size and colour through the same chain of
// setters, in the same order.
void StyleLabel(CLinkLabel& label, const LabelStyle& style)
{
    label.SetTransparent(TRUE)
        .SetFaceName(kLabelFace, 0)
        .SetPointSize(style.points)
        .SetBold(style.bold)
        .SetItalic(style.italic)
        .SetForeColor(style.colour)
        .SetUnderline(style.underline);
    if (style.link) {
        label.SetLinkMode(TRUE, TRUE)
            .SetLinkCursor(LoadCursorA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDC_LINK_CURSOR)));
    }
}

void StyleButton(CIconButton& button)
{
    button.ShiftColor(0, 30, TRUE);
    button.SetColor(1, 0xFF00FF, TRUE);
    button.SetColor(3, 0xFFFF00, TRUE);
    button.SetColor(5, 0xFFFF00, TRUE);
    button.SetButtonCursor(IDC_LINK_CURSOR, TRUE);
    button.SetFlat(FALSE, TRUE);
    button.SetTransparent(FALSE);
}

HWND MakeChild(HWND parent, const char* className, const char* text, DWORD style, const RECT& rc, int id)
{
    return CreateWindowExA(0, className, text, WS_CHILD | style, rc.left, rc.top, rc.right - rc.left,
                           rc.bottom - rc.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           AfxGetInstanceHandle(), nullptr);
}

}  // namespace

CMainView::~CMainView()
{
    if (m_font)
        ::DeleteObject(m_font);
}

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

void CMainView::Create(CWnd& dialog, CSearchProgressView& searchView)
{
    m_dialog = dialog.m_hWnd;
    const UINT screen = dpi::Of(m_dialog);
    // A move to a screen of another resolution is scaled here (Rescale),
    // the same on every version of Windows: Windows' own scaling of the
    // dialog, where it has one, would move the controls a second time.
    using SetBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
    const auto setBehaviour = reinterpret_cast<SetBehaviourFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetDialogDpiChangeBehavior")));
    const int disableAll = 1;  // DDC_DISABLE_ALL
    if (setBehaviour)
        setBehaviour(m_dialog, disableAll, disableAll);
    m_listDrives.SetExtendedStyle(m_listDrives.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_listDrives.InsertColumn(0, "Drive", LVCFMT_LEFT, dpi::Scale(80, screen));
    m_listDrives.InsertColumn(1, "File System", LVCFMT_LEFT, dpi::Scale(80, screen));
    m_listDrives.InsertColumn(2, "Capacity", LVCFMT_LEFT, dpi::Scale(120, screen));
    m_listDrives.InsertColumn(3, "Information", LVCFMT_LEFT, dpi::Scale(180, screen));
    StyleControls();

    // The other views' places follow from the template's Ready view.
    m_places.Init(m_dialog, CFilterBar::Height(screen), dpi::Scale(kSelectAllWidth, screen));
    PlaceHidden();
    searchView.Create(m_dialog, IDC_SEARCH_PROGRESS, m_places, m_progress, m_lblProgress);
    MakeResultsControls();
    MakeCopyControls();
    StyleButton(m_btnNewSearch);
    FillArrangement();
    StyleLabel(m_lblLastSearch, {9, false, false, true, 0x00FF00, true});

    m_listPictures.ShowWindow(SW_HIDE);
    m_lblSelectAll.ShowWindow(SW_HIDE);
    MakeFilterBar(dialog);
    MakeKeyboardReachable();
}

void CMainView::MakeKeyboardReachable()
{
    for (CLinkLabel* link : {&m_lblSettings, &m_lblHelp, &m_lblSelectAll, &m_lblLastSearch}) {
        if (link->IsWindow())
            link->ModifyStyle(0, WS_TABSTOP);
    }
    // Every letter once, whichever view shows: no two commands share one.
    m_btnReload.SetAccessKey('L');
    m_lblSettings.SetAccessKey('S');
    m_lblHelp.SetAccessKey('H');
    m_btnBrowse.SetAccessKey('B');
    m_btnNext.SetAccessKey('N');
    m_lblLastSearch.SetAccessKey('P');
    m_lblSelectAll.SetAccessKey('A');
    m_btnRecover.SetAccessKey('R');
    m_btnNewSearch.SetAccessKey('W');
    m_btnOpenCopy.SetAccessKey('O');
    m_btnCopyBrowse.SetAccessKey('E');

    // Tab follows the window's rows, top to bottom and left to right; a
    // view that hides some of them keeps the others' order. Next and
    // Recover take one place and never show together.
    CWnd* const order[] = {
        &m_btnReload,    &m_btnOpenCopy,    &m_lblSettings,  &m_lblHelp,  &m_lblSelectAll,
        &m_filterBar,    &m_listDrives,     &m_listPictures, &m_editSaveDir, &m_btnBrowse,
        &m_btnNext,      &m_btnRecover,     &m_btnNewSearch, &m_comboArrangement, &m_lblLastSearch,
        &m_chkCopy,      &m_editCopyPlace,  &m_btnCopyBrowse,
    };
    HWND after = HWND_TOP;
    for (CWnd* control : order) {
        if (!control->IsWindow())
            continue;
        ::SetWindowPos(control->m_hWnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        after = control->m_hWnd;
    }
}

void CMainView::Rescale(UINT to)
{
    const UINT from = m_places.Dpi();
    if (!to || to == from || !m_dialog)
        return;
    m_places.Rescale(to);

    // The template's font, made for the new resolution, for every control
    // that has it, and for the window, whose font later controls take.
    HFONT current = reinterpret_cast<HFONT>(::SendMessageA(m_dialog, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (current && ::GetObjectA(current, sizeof lf, &lf)) {
        lf.lfHeight = dpi::Rescale(lf.lfHeight, from, to);
        lf.lfWidth = 0;
        if (HFONT font = ::CreateFontIndirectA(&lf)) {
            for (HWND child = ::GetWindow(m_dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                if (reinterpret_cast<HFONT>(::SendMessageA(child, WM_GETFONT, 0, 0)) == current)
                    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            }
            ::SendMessageA(m_dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            if (m_font)
                ::DeleteObject(m_font);
            m_font = font;
        }
    }
    for (CLinkLabel* label : {&m_lblSelectAll, &m_lblLoading, &m_lblSettings, &m_lblHelp, &m_lblStatus, &m_lblProgress,
                              &m_lblSaveDir, &m_lblSelectDrive, &m_lblLastSearch, &m_lblCount}) {
        if (label->IsWindow())
            label->SetDpi(to);
    }
    // The buttons draw over a copy of the skin behind them: taken afresh.
    for (CIconButton* button : {&m_btnNext, &m_btnReload, &m_btnBrowse, &m_btnRecover, &m_btnNewSearch}) {
        if (button->IsWindow())
            button->SetTransparent(TRUE);
    }
    m_filterBar.Rescale(to);
    for (int column = 0; column < 4; ++column) {
        const int width = static_cast<int>(::SendMessageA(m_listDrives.m_hWnd, LVM_GETCOLUMNWIDTH, column, 0));
        ::SendMessageA(m_listDrives.m_hWnd, LVM_SETCOLUMNWIDTH, column, dpi::Rescale(width, from, to));
    }
}

void CMainView::FocusDrives()
{
    // The window gives the first tab stop the focus as it opens.
    if (::GetFocus() == m_btnReload.m_hWnd)
        ::SetFocus(m_listDrives.m_hWnd);
}

HWND CMainView::AccessKeyTarget(char key) const
{
    const int wanted = std::toupper(static_cast<unsigned char>(key));
    auto usable = [](HWND control) {
        return control && ::IsWindowVisible(control) && ::IsWindowEnabled(control);
    };
    const CIconButton* const buttons[] = {&m_btnReload, &m_btnOpenCopy,    &m_btnBrowse,    &m_btnNext,
                                          &m_btnRecover, &m_btnNewSearch, &m_btnCopyBrowse};
    for (const CIconButton* button : buttons) {
        if (button->GetAccessKey() == wanted && usable(button->m_hWnd))
            return button->m_hWnd;
    }
    const CLinkLabel* const links[] = {&m_lblSettings, &m_lblHelp, &m_lblLastSearch, &m_lblSelectAll};
    for (const CLinkLabel* link : links) {
        if (link->GetAccessKey() == wanted && usable(link->m_hWnd))
            return link->m_hWnd;
    }
    return nullptr;
}

bool CMainView::TicksByKeyboard(const CWindowState& state) const
{
    const WindowView view = state.view;
    if (view != WindowView::Analysing && view != WindowView::Analysed)
        return false;
    if (!::IsWindowVisible(m_listPictures.m_hWnd))
        return false;
    // Ctrl+A in a text box selects its text.
    char cls[32] = {};
    ::GetClassNameA(::GetFocus(), cls, sizeof cls);
    return lstrcmpiA(cls, "Edit") != 0;
}

void CMainView::StyleControls()
{
    StyleButton(m_btnBrowse);
    StyleButton(m_btnNext);
    StyleButton(m_btnReload);

    const COLORREF white = 0xFFFFFF;
    const COLORREF green = 0x00FF00;
    StyleLabel(m_lblSelectDrive, {9, false, false, false, white, false});
    StyleLabel(m_lblSaveDir, {9, false, false, false, white, false});
    StyleLabel(m_lblSettings, {9, false, false, true, green, true});
    StyleLabel(m_lblHelp, {9, false, false, true, green, true});

    StyleButton(m_btnRecover);
    StyleLabel(m_lblStatus, {12, true, true, false, 0xB469FF, false});
    StyleLabel(m_lblLoading, {14, true, true, false, 0xFF69FF, false});
    StyleLabel(m_lblSelectAll, {9, false, false, true, 0xB40000, true});
    StyleLabel(m_lblProgress, {9, false, false, false, 0xFFFFFF, false});
}

void CMainView::PlaceHidden()
{
    m_places.Put(m_btnRecover, CWindowPlaces::RecoverButton, FALSE);
    m_btnRecover.ShowWindow(SW_HIDE);
    m_places.Put(m_lblStatus, CWindowPlaces::Status, FALSE);
    m_lblStatus.ShowWindow(SW_HIDE);
    m_places.Put(m_lblLoading, CWindowPlaces::Loading, FALSE);
    m_lblLoading.ShowWindow(SW_HIDE);
    m_places.Put(m_progress, CWindowPlaces::ProgressBar, FALSE);
    m_progress.ShowWindow(SW_HIDE);
    m_places.Put(m_lblProgress, CWindowPlaces::ProgressText, FALSE);
    m_lblProgress.ShowWindow(SW_HIDE);
}

void CMainView::MakeResultsControls()
{
    // New search takes the row of the Recover button, after it.
    HWND made = MakeChild(m_dialog, "BUTTON", "New search", WS_TABSTOP | BS_PUSHBUTTON,
                          m_places.Rect(CWindowPlaces::NewSearch), IDC_NEW_SEARCH);
    if (made) {
        ::SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(m_btnNext.GetFont()), FALSE);
        m_btnNewSearch.SubclassWindow(made);
        m_places.Put(made, CWindowPlaces::NewSearch, FALSE);
    }

    // The link goes under the drive list, in the row of Next, after it.
    made = MakeChild(m_dialog, "STATIC", "", SS_LEFT | SS_NOTIFY, m_places.Rect(CWindowPlaces::LastSearchLink),
                     IDC_LAST_SEARCH);
    if (made) {
        m_lblLastSearch.SubclassWindow(made);
        m_places.Put(made, CWindowPlaces::LastSearchLink, FALSE);
    }
}

void CMainView::MakeCopyControls()
{
    // The copy of the disk kept while searching: a check box, its folder
    // (changed only through its Browse, as the save folder is) and Browse.
    const HFONT font = reinterpret_cast<HFONT>(m_btnNext.GetFont());
    HWND made = MakeChild(m_dialog, "BUTTON", kCopyCheck, WS_TABSTOP | BS_AUTOCHECKBOX,
                          m_places.Rect(CWindowPlaces::CopyCheck), IDC_COPY_DISK);
    if (made) {
        ::SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        m_chkCopy.SubclassWindow(made);
        m_places.Put(made, CWindowPlaces::CopyCheck, FALSE);
    }
    made = MakeChild(m_dialog, "EDIT", "", WS_BORDER | ES_AUTOHSCROLL | WS_DISABLED,
                     m_places.Rect(CWindowPlaces::CopyPlace), IDC_COPY_PLACE);
    if (made) {
        ::SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        m_editCopyPlace.SubclassWindow(made);
        m_places.Put(made, CWindowPlaces::CopyPlace, FALSE);
    }
    made = MakeChild(m_dialog, "BUTTON", "Browse", WS_TABSTOP | BS_PUSHBUTTON,
                     m_places.Rect(CWindowPlaces::CopyBrowse), IDC_COPY_BROWSE);
    if (made) {
        ::SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        m_btnCopyBrowse.SubclassWindow(made);
        StyleButton(m_btnCopyBrowse);
        m_places.Put(made, CWindowPlaces::CopyBrowse, FALSE);
    }
    made = MakeChild(m_dialog, "BUTTON", "Open a copy", WS_TABSTOP | BS_PUSHBUTTON,
                     m_places.Rect(CWindowPlaces::OpenCopy), IDC_OPEN_COPY);
    if (made) {
        ::SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        m_btnOpenCopy.SubclassWindow(made);
        StyleButton(m_btnOpenCopy);
        m_places.Put(made, CWindowPlaces::OpenCopy, FALSE);
    }
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

void CMainView::MakeFilterBar(CWnd& dialog)
{
    const RECT zero = {0, 0, 10, 10};
    m_filterBar.Create(dialog, zero, IDC_FILTER_BAR);

    HWND count = MakeChild(m_dialog, "STATIC", "", SS_LEFT, zero, IDC_PICTURE_COUNT);
    if (count && m_lblCount.SubclassWindow(count)) {
        m_lblCount.SetTransparent(TRUE)
            .SetFaceName(m_lblSelectAll.GetLogFont().lfFaceName, 0)
            .SetPointSize(9)
            .SetForeColor(0xFFFFFF);
    }
}

void CMainView::FillArrangement()
{
    for (Arrangement arrangement : {Arrangement::OriginalFolders, Arrangement::ByDateTaken, Arrangement::OneFolder})
        m_comboArrangement.AddString(ArrangementText(arrangement));
    // The folders the card still knew are what its owner knows: they are
    // the first choice until another is made.
    Arrangement stored = Arrangement::OriginalFolders;
    ArrangementFromText(ReadArrangement(), stored);
    m_comboArrangement.SetCurSel(static_cast<int>(stored));
    m_places.Put(m_comboArrangement, CWindowPlaces::Arrangement, FALSE);
    m_comboArrangement.ShowWindow(SW_HIDE);
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
