// The Recover/Cancel button, cancelling a running analysis, and closing the
// main window.
#include "RecoveryDlg.h"

void CRecoveryDlg::OnRecover()
{
    // While copying it is the copy's Cancel.
    if (m_copier.Running()) {
        CancelRecovery();
        return;
    }
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
    // One more walk, now that the engine is gone, takes in what it wrote
    // last; the intake goes on with what the workers still have, and the
    // analysed state is entered again when both are done.
    if (!m_bLastPass)
        SetTimer(TIMER_RESCAN, kRescanIntervalMs);
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
    m_bIntakeArmed = false;
    m_copier.Stop();
    m_thumbnails.Stop();
    m_walk.Reset();
    m_preview.Close();
    ClearPictureList();
    Default();
}

void CRecoveryDlg::OnDestroy()
{
    // Escape and Enter end the window without WM_CLOSE; no worker may
    // outlive it.
    m_copier.Stop();
    m_thumbnails.Stop();
    m_walk.Reset();
    m_preview.Close();
    // The thumbnails' image list is the window's: the list control, which
    // goes after its parent, must not destroy it as well.
    m_listPictures.SendMessage(LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
    Default();
}
