// The results stay after Recover: the recovered pictures are marked and the
// New search button goes back to the drive list. The finds of the last
// search that ended stay in its work folder until a new search starts; its
// record (lastsearch.ini, see LastSearch.h) offers them again in the Ready
// view, through a link under the drive list, and the link lists them as the
// end of a search does.
#include "RecoveryDlg.h"

#include "resource.h"

void CRecoveryDlg::InitResultsControls()
{
    // New search takes the row of the Recover button, after it.
    const RECT button = m_places.Rect(CWindowPlaces::NewSearch);
    HWND made = CreateWindowExA(0, "BUTTON", "New search", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, button.left,
                                button.top, button.right - button.left, button.bottom - button.top, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_NEW_SEARCH)),
                                AfxGetInstanceHandle(), nullptr);
    if (made) {
        ::SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(m_btnNext.GetFont()), FALSE);
        m_btnNewSearch.SubclassWindow(made);
        m_places.Put(made, CWindowPlaces::NewSearch, FALSE);
    }

    // The link goes under the drive list, in the row of Next, after it.
    const RECT link = m_places.Rect(CWindowPlaces::LastSearchLink);
    made = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_LEFT | SS_NOTIFY, link.left, link.top,
                           link.right - link.left, link.bottom - link.top, m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LAST_SEARCH)), AfxGetInstanceHandle(),
                           nullptr);
    if (made) {
        m_lblLastSearch.SubclassWindow(made);
        m_places.Put(made, CWindowPlaces::LastSearchLink, FALSE);
    }
}

void CRecoveryDlg::OnNewSearch()
{
    // Only from the results: not while the engine runs or pictures are
    // being copied (the button is hidden then; a stray command does nothing).
    if (!m_state.NewSearchShown() || m_state.copying)
        return;
    // A search cancelled and left before its last files were listed is
    // recorded with what was listed.
    RememberLastSearch();
    KillTimer(TIMER_RESCAN);
    KillTimer(TIMER_INTAKE);
    m_pacer.Disarm();
    m_state.reopening = false;
    m_intake.Pause();
    m_preview.Close();
    m_searchView.Hide();

    m_state.view = WindowView::Ready;
    ShowLastSearchLink();
}

void CRecoveryDlg::ShowLastSearchLink()
{
    if (!m_lblLastSearch.IsWindow())
        m_searchRecord.Forget();
    else if (m_searchRecord.Find(CWorkFolders::KeptFolders()))
        m_lblLastSearch.SetCaption(m_searchRecord.LinkText());
    ShowState();
}

void CRecoveryDlg::OnLastSearchLink()
{
    if (m_state.searching || !m_searchRecord.Known() || m_state.view != WindowView::Ready)
        return;
    // Read again: the folder may have gone since the link was shown.
    LastSearch search;
    if (!m_searchRecord.Reopen(search)) {
        MessageBox("The pictures of the last search are no longer there.", "Quorvane", MB_OK);
        ShowLastSearchLink();
        return;
    }
    // Listed again, not searched: nothing to record, and the finds file is
    // read from its start and kept.
    m_workFolders.UseListed(search.workFolder, search.outDir);
    m_intake.UseFindsFile(m_workFolders.OutFolder(), false);

    // Nothing runs that Cancel could stop; Recover comes with the list.
    m_state.reopening = true;
    EnterAnalysisView();
}

void CRecoveryDlg::RememberLastSearch(bool final)
{
    if (!m_state.searching)
        m_searchRecord.Remember(final, m_list.Items().Count(), m_workFolders.Folder(), m_workFolders.OutFolder());
}
