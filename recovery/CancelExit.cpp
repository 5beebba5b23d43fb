// The Recover/Cancel button, cancelling a running analysis, and closing the
// main window.
#include "RecoveryDlg.h"

void CRecoveryDlg::OnRecover()
{
    // One button, two jobs: its caption says which one it does now.
    if (m_btnRecover.GetWindowText() == "Cancel")
        CancelAnalysis();
    else
        StartRecovery();
}

void CRecoveryDlg::CancelAnalysis()
{
    if (MessageBox("Quorvane is currently analyzing disk, are you sure you want to cancel?", "Confirm",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    {
        CScopedLock lock(m_csState);
        m_bEngineRunning = false;
    }
    StopEngine();
    // A pending rescan is left armed: it takes in what the engine wrote
    // last, then enters the analysed state again. A batch cut short would
    // leave files the engine wrote unlisted for good, so a cut batch is
    // followed by one last rescan as well.
    if (KillTimer(TIMER_INTAKE))
        SetTimer(TIMER_RESCAN, 200);
    EnterAnalysedState();
}

void CRecoveryDlg::OnClose()
{
    if (m_bEngineRunning) {
        if (MessageBox("Quorvane is currently analyzing disk, are you sure you want to exist?", "Confirm",
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        StopEngine();
    }
    // The copy and the analysis die with the window; their ticks must not
    // reach a list that is being emptied.
    KillTimer(TIMER_COPY);
    KillTimer(TIMER_RESCAN);
    KillTimer(TIMER_INTAKE);
    if (m_listPictures.GetItemCount() > 0)
        ClearPictureList(false);
    Default();
}
