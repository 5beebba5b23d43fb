// The pickers of the main window. Browse's folder picker: Windows' own file
// dialog choosing folders (IFileOpenDialog with FOS_PICKFOLDERS), opened at
// the folder given; on a Windows without it, the older folder tree, with
// that folder selected. Open a copy's file picker: the common Open dialog,
// showing only .img files.
#pragma once

#include <windows.h>

#include "String.h"

// True with the folder chosen in path; false when the user cancels or no
// picker can be shown. COM is set up and released on the calling thread.
bool PickFolderFrom(HWND owner, const CString& start, CString& path);
// True with the saved copy of a disk (an .img file that is there) chosen in
// path, the dialog opened in start (none: the system's choice); false when
// the user cancels.
bool PickDiskCopyFrom(HWND owner, const CString& start, CString& path);
