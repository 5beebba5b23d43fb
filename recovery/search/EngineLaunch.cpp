#include "EngineLaunch.h"

#include "SettingsFiles.h"
#include "WorkFolders.h"

EngineLaunch LaunchEngine(CEngineSearch& search, HWND window, UINT message, const CString& outFolder,
                          const CString& device, CString& missing, const CString& copyPath)
{
    CString enginePath;
    missing = CWorkFolders::CheckEngineFiles(enginePath);
    if (!missing.IsEmpty())
        return EngineLaunch::FilesMissing;

    // Every format off, then the enabled ones on, in the engine's order.
    const CString formats = ReadEngineFormats();
    CString arguments = "/d \"" + outFolder + "\" ";
    if (!copyPath.IsEmpty())
        arguments += "/copy \"" + copyPath + "\" ";
    arguments += "/cmd " + device + " fileopt,everything,disable,";
    bool anyEnabled = false;
    for (int i = 0; i < kFormatTokenCount; ++i) {
        const char* token = g_formatTokens[i];
        if (IsFormatEnabled(formats, token)) {
            arguments += token;
            arguments += ",enable,";
            anyEnabled = true;
        }
    }
    if (!anyEnabled)
        return EngineLaunch::NoFormats;
    arguments += "search";

    return search.Start(window, message, enginePath, arguments) ? EngineLaunch::Started : EngineLaunch::NotStarted;
}
