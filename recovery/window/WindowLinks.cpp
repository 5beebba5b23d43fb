#include "WindowLinks.h"

#include "HelpFile.h"
#include "SettingsDlg.h"
#include "resource.h"

bool CWindowLinks::OnCommand(UINT id, UINT code)
{
    if (code != STN_CLICKED)
        return false;
    if (id == IDC_HELP_LINK) {
        OpenHelp();
        return true;
    }
    if (id == IDC_SETTINGS_LINK) {
        CSettingsDlg dlg(nullptr);
        dlg.DoModal();
        return true;
    }
    return false;
}

void CWindowLinks::OpenHelp()
{
    OpenHelpFile(m_window);
}
