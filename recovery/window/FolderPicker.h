// The folder picker of Browse: Windows' own file dialog choosing folders
// (IFileOpenDialog with FOS_PICKFOLDERS), opened at the folder given; on a
// Windows without it, the older folder tree, with that folder selected.
#pragma once

#include <windows.h>

#include "String.h"

// True with the folder chosen in path; false when the user cancels or no
// picker can be shown. COM is set up and released on the calling thread.
bool PickFolderFrom(HWND owner, const CString& start, CString& path);
