// The Recover/Cancel button, cancelling a running analysis, the keys that
// dialogs take for OK and Cancel, and the end of the main window by any
// road: nothing found is lost without a question, and no engine outlives
// the window.
#include "RecoveryDlg.h"

namespace {

const char kExitQuestion[] = "Quorvane is currently analyzing disk, are you sure you want to exist?";

// "1,240": counts the user reads are grouped in thousands.
CString GroupedCount(int count)
{
    CString digits;
    digits.Format("%d", count);
    CString grouped;
    const int length = digits.GetLength();
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0 && digits.GetAt(i - 1) != '-')
            grouped += ',';
        grouped += digits.GetAt(i);
    }
    return grouped;
}

CString UnrecoveredCloseQuestion(int count)
{
    CString text;
    if (count == 1) {
        text = "1 picture was found and has not been recovered.\n\n"
               "It is kept until the next search: when Quorvane starts again, it can be shown again without "
               "searching the disk.\n\n"
               "Close Quorvane?";
    } else {
        text.Format("%s pictures were found and have not been recovered.\n\n"
                    "They are kept until the next search: when Quorvane starts again, they can be shown again "
                    "without searching the disk.\n\n"
                    "Close Quorvane?",
                    GroupedCount(count).GetString());
    }
    return text;
}

}  // namespace

void CRecoveryDlg::OnRecover()
{
    // One button, three jobs: the view says which one it does now. A copy
    // that is done, or told to stop, has nothing left to cancel.
    switch (m_state.view) {
    case WindowView::Recovering:
        // What was copied stays; the tick after the picture being copied
        // ends the run and shows the summary. The window answers meanwhile.
        m_recovering.Cancel();
        break;
    case WindowView::Analysing:
        if (m_state.CancelsSearch())
            m_run.Cancel();
        break;
    case WindowView::Analysed:
        m_recovering.Start();
        break;
    default:
        break;
    }
}

void CRecoveryDlg::OnOK()
{
    // Enter never ends the window. In the Find box it applies the text,
    // which is normally applied as it is typed already; in the picture list
    // it opens the preview (PreTranslateMessage) and on a button it presses
    // that button, before it gets here.
    if (m_view.Filters().FindBoxHasFocus() && m_view.Filters().Filter().text != m_list.ShownFilter().text)
        m_finds.ApplyFilter();
}

void CRecoveryDlg::OnCancel()
{
    // Escape never ends the window: during a search it is the Cancel
    // button, question and all; anywhere else it does nothing. A copy's
    // Cancel has the same caption but is no search's: Escape leaves it be.
    if (m_state.CancelsSearch())
        m_run.Cancel();
}

void CRecoveryDlg::OnClose()
{
    // The question's box lets messages through: a second close meanwhile
    // waits for the first one's answer.
    if (m_bCloseAsking)
        return;
    m_bCloseAsking = true;
    int answer = IDYES;
    if (m_state.searching) {
        answer = MessageBox(kExitQuestion, "Confirm", MB_YESNO | MB_ICONQUESTION);
    } else if (const int count = m_list.Items().Count() - m_list.Count().recovered; count > 0) {
        // Finds listed that were not recovered in this session.
        // No is the default: a close by habit must not look like a loss.
        answer = MessageBox(UnrecoveredCloseQuestion(count), "Confirm", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    }
    m_bCloseAsking = false;
    if (answer != IDYES)
        return;
    StopWork();
    EndDialog(IDCANCEL);
}

LRESULT CRecoveryDlg::OnEndSession(WPARAM ending, LPARAM)
{
    // Windows is logging off or shutting down and may end this process as
    // soon as this returns: the engine is stopped now, without a question.
    if (ending) {
        StopWork();
        EndDialog(IDCANCEL);
    }
    return 0;
}

void CRecoveryDlg::StopWork()
{
    // The engine first, and waited for: it must not go on reading the disk
    // and filling the work folder with nobody to see it.
    m_run.Stop();
    // A search cut short by the window's end is still offered at the next
    // start, with what it had found.
    m_results.Remember();
    // The copy and the analysis die with the window; their ticks must not
    // reach a list that is being emptied.
    m_recovering.Stop();
    m_monitor.Stop();
    // An old work folder not yet deleted is swept at the next search.
    m_workFolders.Stop();
    m_monitor.ClearList();
}

void CRecoveryDlg::OnDestroy()
{
    // Every road out of the window ends here, a quit of the program's loop
    // included: none leaves a worker or the engine behind.
    StopWork();
    m_placement.Remember(m_hWnd);
    // The thumbnails' image list is the window's: the list control, which
    // goes after its parent, must not destroy it as well.
    m_list.Detach();
    Default();
}
