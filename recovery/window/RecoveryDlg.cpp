// Construction of the main window and the wiring of its parts, its views
// shown as its state says, the parts' timers and boxes, the seams tests
// answer differently, the painting of the minimised window and the
// administrator check at start.
#include "RecoveryDlg.h"

#include <shellapi.h>
#include <shlobj.h>

#include "FileUtils.h"
#include "resource.h"

namespace {

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

}  // namespace

BEGIN_MESSAGE_MAP(CRecoveryDlg, CSkinDialog)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_BROWSE, &CRecoveryDlg::OnBrowse)
    ON_BN_CLICKED(IDC_NEXT, &CRecoveryDlg::OnNext)
    ON_BN_CLICKED(IDC_RECOVER, &CRecoveryDlg::OnRecover)
    ON_WM_CLOSE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_ENDSESSION, &CRecoveryDlg::OnEndSession)
    ON_WM_HELPINFO()
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_MESSAGE(WM_DPICHANGED, &CRecoveryDlg::OnDpiChanged)
    ON_MESSAGE(WM_SHOWWINDOW, &CRecoveryDlg::OnShowWindow)
END_MESSAGE_MAP()

CRecoveryDlg::CRecoveryDlg()
    : CSkinDialog(IDD_RECOVERY, nullptr),
      m_hIcon(LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_APP))),
      m_monitor(*this, m_state, m_view, m_searchView, m_workFolders, m_intake, m_list, m_finds, m_preview),
      m_finds(*this, m_state, m_list, m_preview, m_view, m_monitor.Pacer()),
      m_results(*this, m_state, m_view, m_workFolders, m_intake, m_list, m_monitor),
      m_recovering(
          *this, m_state, m_view, m_list, m_preview, m_monitor, m_results.Record(),
          [this](const CString& source, const CString& folder, const CString& name, CString& copied) {
              return CopyPicture(source, folder, name, copied);
          },
          [this](const CString& folder) { OpenSaveFolder(folder); }),
      m_run(*this, m_state, m_view, m_workFolders, m_searchView, m_intake, m_results, m_monitor),
      m_copyOption(*this, *this, m_view),
      m_links(*this),
      m_bCloseAsking(false)
{
    // The search is recorded each time its finds are shown.
    m_monitor.OnAnalysed([this](bool lastPass) { m_results.Remember(lastPass); });
}

CRecoveryDlg::~CRecoveryDlg() = default;

void CRecoveryDlg::DoDataExchange(CDataExchange* pDX)
{
    CSkinDialog::DoDataExchange(pDX);
    m_view.Exchange(pDX);
}

BOOL CRecoveryDlg::OnInitDialog()
{
    CSkinDialog::OnInitDialog();
    SetBitmap(IDB_SKIN);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_view.Create(*this, m_searchView);
    m_finds.Attach(m_hWnd);
    m_run.Attach(m_hWnd, WM_ENGINE_ENDED);
    m_placement.Restore(m_hWnd, m_view.LeastSize());
    // Nothing may be reading the old finds while an earlier work folder goes.
    m_workFolders.OnPutAside([this] {
        m_preview.Close();
        m_intake.Stop();
        m_list.LetGoOfThumbnailCache();
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

void CRecoveryDlg::ShowState()
{
    CMainView::Facts facts;
    facts.anyFinds = m_list.Items().Count() > 0;
    facts.lastSearchKnown = m_results.Record().Known();
    facts.searchBarShown = m_searchView.Shown();
    m_view.Show(m_state, facts);
}

void CRecoveryDlg::StartTimer(UINT_PTR timer, UINT ms)
{
    SetTimer(timer, ms);
}

void CRecoveryDlg::StopTimer(UINT_PTR timer)
{
    KillTimer(timer);
}

int CRecoveryDlg::Ask(const char* text, const char* caption, UINT type)
{
    return MessageBox(text, caption, type);
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

CPictureCopier::Outcome CRecoveryDlg::CopyPicture(const CString& source, const CString& folder, const CString& name,
                                                  CString& copied)
{
    return CopyIntoFolder(source, folder, name, copied);
}

void CRecoveryDlg::OpenSaveFolder(const CString& folder)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = folder;
    info.nShow = SW_SHOW;
    ShellExecuteExA(&info);
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
    m_view.Resize(cx, cy);
    m_list.Arrange();
    // The labels are drawn over the skin: they are drawn again with it.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CRecoveryDlg::OnGetMinMaxInfo(MINMAXINFO* info)
{
    m_view.LimitSize(info);
}

LRESULT CRecoveryDlg::OnDpiChanged(WPARAM dpi, LPARAM suggested)
{
    // Moved to a screen of another resolution: everything is scaled to it,
    // then the window takes the place Windows suggests, which lays it out.
    m_view.Rescale(LOWORD(dpi));
    m_searchView.Rescale(LOWORD(dpi));
    m_list.SetDpi(LOWORD(dpi));
    if (const RECT* to = reinterpret_cast<const RECT*>(suggested)) {
        SetWindowPos(nullptr, to->left, to->top, Width(*to), Height(*to), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The same size in pixels brings no WM_SIZE: laid out here either way.
    if (!IsIconic()) {
        RECT client;
        GetClientRect(&client);
        m_view.Resize(client.right, client.bottom);
        m_list.Arrange();
    }
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
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
