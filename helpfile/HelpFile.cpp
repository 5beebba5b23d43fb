#include "HelpFile.h"

#include <htmlhelp.h>

#include "FileUtils.h"

void OpenHelpFile(CWnd& owner)
{
    const CString helpFile = GetModuleFolder() + "help.chm";
    if (!HtmlHelpA(nullptr, helpFile, HH_DISPLAY_TOPIC, 0))
        owner.MessageBox("Help file is not found.", "Quorvane", MB_OK);
}
