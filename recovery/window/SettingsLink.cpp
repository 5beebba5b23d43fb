// The Settings link of the main window.
#include "RecoveryDlg.h"

#include "SettingsDlg.h"

void CRecoveryDlg::OnSettings()
{
    // The chosen formats are read again by every engine launch, so nothing
    // here needs reloading afterwards.
    CSettingsDlg dlg(nullptr);
    dlg.DoModal();
}
