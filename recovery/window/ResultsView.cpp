// The results stay after Recover: the recovered pictures are marked and the
// New search button goes back to the drive list; the last search's record
// and its link in the Ready view.
#include "ResultsView.h"

#include "resource.h"

CResultsView::CResultsView(IWindowHost& host, CWindowState& state, CMainView& view, CWorkFolders& workFolders,
                           CFindsIntake& intake, CPictureList& list, CAnalysisMonitor& monitor)
    : m_host(host),
      m_state(state),
      m_view(view),
      m_workFolders(workFolders),
      m_intake(intake),
      m_list(list),
      m_monitor(monitor)
{
}

bool CResultsView::OnCommand(UINT id, UINT code)
{
    if (id == IDC_NEW_SEARCH && code == BN_CLICKED)
        NewSearch();
    else if (id == IDC_LAST_SEARCH && code == STN_CLICKED)
        OnLastSearchLink();
    else
        return false;
    return true;
}

void CResultsView::NewSearch()
{
    // Only from the results: not while the engine runs or pictures are
    // being copied (the button is hidden then; a stray command does nothing).
    if (!m_state.NewSearchShown() || m_state.copying)
        return;
    // A search cancelled and left before its last files were listed is
    // recorded with what was listed.
    Remember();
    m_state.reopening = false;
    m_monitor.Leave();

    m_state.view = WindowView::Ready;
    ShowReady();
}

void CResultsView::ShowReady()
{
    if (!m_view.LastSearchLinkMade())
        m_record.Forget();
    else if (m_record.Find(CWorkFolders::KeptFolders()))
        m_view.SetLastSearchLink(m_record.LinkText());
    m_host.ShowState();
}

void CResultsView::OnLastSearchLink()
{
    if (m_state.searching || !m_record.Known() || m_state.view != WindowView::Ready)
        return;
    // Read again: the folder may have gone since the link was shown.
    LastSearch search;
    if (!m_record.Reopen(search)) {
        m_host.Ask("The pictures of the last search are no longer there.", "Quorvane", MB_OK);
        ShowReady();
        return;
    }
    // Listed again, not searched: nothing to record, and the finds file is
    // read from its start and kept.
    m_workFolders.UseListed(search.workFolder, search.outDir);
    m_intake.UseFindsFile(m_workFolders.OutFolder(), false);

    // Nothing runs that Cancel could stop; Recover comes with the list.
    m_state.reopening = true;
    m_monitor.Enter();
}

void CResultsView::Remember(bool final)
{
    if (!m_state.searching)
        m_record.Remember(final, m_list.Items().Count(), m_workFolders.Folder(), m_workFolders.OutFolder());
}
