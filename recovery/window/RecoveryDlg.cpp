// Construction, controls and layout of the main window, the painting
// of the minimised window and the administrator check at start.
#include "RecoveryDlg.h"

#include <shlobj.h>

#include "FileUtils.h"
#include "resource.h"

namespace {

const char kLabelFace[] = "Ariel";

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

// Room for "Unselect All Photos" and "Select All Photos" at the label's size.
const int kSelectAllWidth = 140;

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

}  // namespace

BEGIN_MESSAGE_MAP(CRecoveryDlg, CSkinDialog)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_BROWSE, &CRecoveryDlg::OnBrowse)
    ON_BN_CLICKED(IDC_NEXT, &CRecoveryDlg::OnNext)
    ON_BN_CLICKED(IDC_RELOAD, &CRecoveryDlg::OnReload)
    ON_BN_CLICKED(IDC_RECOVER, &CRecoveryDlg::OnRecover)
    ON_WM_CLOSE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_ENDSESSION, &CRecoveryDlg::OnEndSession)
    ON_MESSAGE(WM_WORK_FOLDER_CLEARED, &CRecoveryDlg::OnWorkFolderCleared)
    ON_MESSAGE(WM_ENGINE_ENDED, &CRecoveryDlg::OnEngineEnded)
    ON_STN_CLICKED(IDC_HELP_LINK, &CRecoveryDlg::OnHelpLink)
    ON_WM_HELPINFO()
    ON_STN_CLICKED(IDC_SETTINGS_LINK, &CRecoveryDlg::OnSettings)
    ON_STN_CLICKED(IDC_SELECT_ALL, &CRecoveryDlg::OnSelectAll)
    ON_BN_CLICKED(IDC_NEW_SEARCH, &CRecoveryDlg::OnNewSearch)
    ON_STN_CLICKED(IDC_LAST_SEARCH, &CRecoveryDlg::OnLastSearchLink)
    ON_CONTROL(CFilterBar::kFilterChanged, IDC_FILTER_BAR, &CRecoveryDlg::ApplyFilter)
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_MESSAGE(WM_SHOWWINDOW, &CRecoveryDlg::OnShowWindow)
END_MESSAGE_MAP()

CRecoveryDlg::CRecoveryDlg()
    : CSkinDialog(IDD_RECOVERY, nullptr),
      m_hIcon(LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_APP))),
      m_bCloseAsking(false)
{
}

CRecoveryDlg::~CRecoveryDlg() = default;

void CRecoveryDlg::DoDataExchange(CDataExchange* pDX)
{
    CSkinDialog::DoDataExchange(pDX);
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
}

BOOL CRecoveryDlg::OnInitDialog()
{
    CSkinDialog::OnInitDialog();
    SetBitmap(IDB_SKIN);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    InitControls();
    m_placement.Restore(m_hWnd, m_places.LeastSize());
    // Nothing may be reading the old finds while an earlier work folder goes.
    m_workFolders.OnPutAside([this] {
        m_preview.Close();
        m_intake.Stop();
    });
    m_workFolders.NotifyWhenCleared(m_hWnd, WM_WORK_FOLDER_CLEARED);

    if (CheckAdministrator()) {
        SetTimer(TIMER_STARTUP, 100);
    } else {
        ShowWindow(SW_HIDE);
        PostQuitMessage(18);
    }
    m_state.view = WindowView::Loading;
    ShowState();
    return TRUE;
}

void CRecoveryDlg::InitControls()
{
    InitDriveListColumns();

    StyleButton(m_btnBrowse);
    StyleButton(m_btnNext);
    StyleButton(m_btnReload);

    const COLORREF white = 0xFFFFFF;
    const COLORREF green = 0x00FF00;
    StyleLabel(m_lblSelectDrive, {9, false, false, false, white, false});
    StyleLabel(m_lblSaveDir, {9, false, false, false, white, false});
    StyleLabel(m_lblSettings, {9, false, false, true, green, true});
    StyleLabel(m_lblHelp, {9, false, false, true, green, true});

    InitLayout();
}

void CRecoveryDlg::InitLayout()
{
    StyleButton(m_btnRecover);
    StyleLabel(m_lblStatus, {12, true, true, false, 0xB469FF, false});
    StyleLabel(m_lblLoading, {14, true, true, false, 0xFF69FF, false});
    StyleLabel(m_lblSelectAll, {9, false, false, true, 0xB40000, true});
    StyleLabel(m_lblProgress, {9, false, false, false, 0xFFFFFF, false});

    // The other views' places follow from the template's Ready view.
    m_places.Init(m_hWnd, CFilterBar::Height(), kSelectAllWidth);
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
    m_searchView.Create(m_hWnd, IDC_SEARCH_PROGRESS, m_places, m_progress, m_lblProgress);
    InitResultsControls();
    StyleButton(m_btnNewSearch);
    StyleLabel(m_lblLastSearch, {9, false, false, true, 0x00FF00, true});

    // The list keeps no items of its own (LVS_OWNERDATA): it asks for each
    // one's image and tick as it draws it.
    m_list.Attach(m_listPictures, *this);
    m_listPictures.ShowWindow(SW_HIDE);

    m_lblSelectAll.ShowWindow(SW_HIDE);
    InitFilterBar();
}

void CRecoveryDlg::InitDriveListColumns()
{
    m_listDrives.SetExtendedStyle(m_listDrives.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_listDrives.InsertColumn(0, "Drive", LVCFMT_LEFT, 80);
    m_listDrives.InsertColumn(1, "File System", LVCFMT_LEFT, 80);
    m_listDrives.InsertColumn(2, "Capacity", LVCFMT_LEFT, 120);
    m_listDrives.InsertColumn(3, "Information", LVCFMT_LEFT, 180);
}

BOOL CRecoveryDlg::IsAdministrator()
{
    return IsUserAnAdmin();
}

bool CRecoveryDlg::QueryWindowsVersion(int& code, CString& servicePack)
{
    return GetWindowsVersionCode(code, servicePack);
}

IDriveSystem& CRecoveryDlg::DriveSystem()
{
    return GetRealDriveSystem();
}

bool CRecoveryDlg::CheckAdministrator()
{
    if (IsAdministrator())
        return true;

    // Systems newer than the version-6 family leave the code alone; they
    // need "Run as administrator" just the same.
    int code = 8;
    CString servicePack;
    const bool known = QueryWindowsVersion(code, servicePack);
    if (known && code == 8) {
        MessageBox("Your need to be administrator to use Quorvane to recover pictures.\n\n"
                   "Please select Quorvane, right click and choose \"Run as administrator\".",
                   "Quorvane", MB_OK);
    } else {
        MessageBox("Your need to be administrator to use Quorvane to recover pictures.\n\n"
                   "Please log off your computer and then log in as Administrator, install "
                   "Quorvane and use it to recover pictures.",
                   "Quorvane", MB_OK);
    }
    return false;
}

void CRecoveryDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT window;
    GetWindowRect(&window);
    const int x = (Width(window) - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (Height(window) - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &ps);
}

void CRecoveryDlg::OnSize(UINT type, int cx, int cy)
{
    CSkinDialog::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED)
        return;
    m_places.Resize(cx, cy);
    m_list.Arrange();
    // The labels are drawn over the skin: they are drawn again with it.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CRecoveryDlg::OnGetMinMaxInfo(MINMAXINFO* info)
{
    m_places.LimitSize(info);
}

LRESULT CRecoveryDlg::OnShowWindow(WPARAM shown, LPARAM)
{
    if (shown)
        m_placement.Opened(m_hWnd);
    return Default();
}

HCURSOR CRecoveryDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
