// The main window's controls made and styled: the template's styled, the
// ones it lacks made, the views' places taken from it, and all of them
// scaled for a screen of another resolution.
#include "MainView.h"

#include "RecoveredName.h"
#include "SettingsFiles.h"
#include "resource.h"

namespace {

const char kLabelFace[] = "Ariel";
const char kCopyCheck[] = "Save a copy of the disk while searching";

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
    FitSelectDriveLabel(screen);

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

void CMainView::FitSelectDriveLabel(UINT screen)
{
    // The template's box is made for the dialog's font, the label is drawn
    // in its own: at some resolutions its text is the wider, and its last
    // word would be cut off. It then takes the room it needs, and Reload
    // (and the copy's button, placed after it) moves along.
    const CString text = m_lblSelectDrive.GetWindowText();
    HFONT font = m_lblSelectDrive.GetLabelFont();
    HDC dc = ::GetDC(m_lblSelectDrive.m_hWnd);
    if (!dc || !font) {
        if (dc)
            ::ReleaseDC(m_lblSelectDrive.m_hWnd, dc);
        return;
    }
    const HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size = {0, 0};
    const BOOL measured = ::GetTextExtentPoint32A(dc, text.GetString(), text.GetLength(), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_lblSelectDrive.m_hWnd, dc);
    RECT label;
    ::GetWindowRect(m_lblSelectDrive.m_hWnd, &label);
    ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&label), 2);
    const int more = size.cx + dpi::Scale(2, screen) - (label.right - label.left);
    if (!measured || more <= 0)
        return;
    ::MoveWindow(m_lblSelectDrive.m_hWnd, label.left, label.top, label.right - label.left + more,
                 label.bottom - label.top, FALSE);
    RECT reload;
    ::GetWindowRect(m_btnReload.m_hWnd, &reload);
    ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&reload), 2);
    if (reload.left < label.right + more)
        ::MoveWindow(m_btnReload.m_hWnd, reload.left + more, reload.top, reload.right - reload.left,
                     reload.bottom - reload.top, FALSE);
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
