// The copy of a disk the engine keeps while it searches it: the copy's file
// name, the saved copies a folder holds (as rows of the drive list), and
// whether a folder can take a copy of the disk about to be searched.
#pragma once

#include <windows.h>

#include <vector>

#include "DriveDiscovery.h"
#include "String.h"
#include "WorkFolderPlace.h"

// "Copy of E 2026-12-10 21-30-05.img": the drive's letter and the time.
CString DiskCopyName(const CString& drive, const SYSTEMTIME& when);

// The copies in folder that have their map beside them, as the drive list
// shows them: "Saved copy of E: (2026-12-10 21:30, 64 MB)", the image's size,
// its path in strImage and, quoted, in strDevice. By name.
std::vector<DriveEntry> FindSavedCopies(const CString& folder);
// The drive list's row for the image file at path (a copy picked by hand, which
// may have no map: it is then searched as an ordinary image). False when
// the file is not there.
bool SavedCopyEntry(const CString& path, DriveEntry& entry);

enum class CopyPlace {
    Fine,
    NotChosen,       // no folder given
    Missing,         // the folder is not there
    OnSearchedDisk,  // the folder is on the disk to be searched (or may be)
    NoRoom,          // less room there than the disk's size
};
CopyPlace CheckCopyPlace(IDriveSystem& system, const CWorkFolderPlace& searched, const CString& folder,
                         unsigned long long diskSize);
