// The start of a search's engine: its files checked, its arguments made
// from the formats the settings enable, and its run begun. Nothing here
// shows a window; the caller says what went wrong.
#pragma once

#include <windows.h>

#include "EngineSearch.h"
#include "Framework.h"

enum class EngineLaunch {
    Started,       // the run is going; its end is posted
    FilesMissing,  // an engine file is not there (missing says which)
    NoFormats,     // the settings enable no format
    NotStarted,    // no waiter could be made
};

// Starts search's engine on device, keeping its finds in outFolder, and
// has it post message to window when it ends. copyPath: where the engine
// keeps a copy of the disk as it reads it; empty for none.
EngineLaunch LaunchEngine(CEngineSearch& search, HWND window, UINT message, const CString& outFolder,
                          const CString& device, CString& missing, const CString& copyPath = CString());
