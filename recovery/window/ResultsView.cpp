// The results stay after Recover: the recovered pictures are marked and the
// New search button goes back to the drive list. The finds of the last
// search that ended stay in its work folder until a new search starts; its
// record (lastsearch.ini, see LastSearch.h) offers them again in the Ready
// view, through a link under the drive list, and the link lists them as the
// end of a search does.
#include "RecoveryDlg.h"

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
    if (!m_view.LastSearchLinkMade())
        m_searchRecord.Forget();
    else if (m_searchRecord.Find(CWorkFolders::KeptFolders()))
        m_view.SetLastSearchLink(m_searchRecord.LinkText());
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
