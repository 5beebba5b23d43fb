// Where a search keeps the pictures it finds. Every file written to the disk
// being searched can land on the free space that still holds a deleted
// picture, so the work folder is kept off that disk whenever it can be.
#pragma once

#include <windows.h>

#include "DriveDiscovery.h"
#include "String.h"

// The name of the hidden folder made inside the save folder when the work
// folder has to leave the searched disk.
extern const char kMovedWorkFolderName[];  // "Quorvane work folder"

// Which disk a path lies on, as far as the disk query can tell.
struct PathDisk {
    enum Kind {
        Local,    // on the local disk nDisk
        Network,  // on a network share: on no disk of this machine
        Unknown,  // the query failed, or the path names no drive
    };
    Kind kind = Unknown;
    DWORD nDisk = 0;
};

PathDisk FindPathDisk(IDriveSystem& system, const CString& path);

// "C:" (upper case) or "\\server\share" (as written), or empty for a
// relative path.
CString PathRoot(const CString& path);

enum class WorkFolderPlace {
    Default,    // the per-user work folder is on another disk: nothing changes
    SaveDrive,  // it is not, the save folder is: the work folder goes there
    Ask,        // neither is: only the user can decide to search anyway
};

// One search's disks: the one it reads and the ones it might write to.
class CWorkFolderPlace {
public:
    // chosen: the drive list's entry. image: the disk image the device table
    // maps the chosen device to (a full path), or empty when the engine reads
    // the disk itself.
    CWorkFolderPlace(IDriveSystem& system, const DriveEntry& chosen, const CString& image);

    WorkFolderPlace Choose(const CString& workFolder, const CString& saveFolder) const;

    // True when writing below path cannot touch the disk the search reads.
    bool KeepsClearOfSearch(const CString& path) const;

private:
    IDriveSystem& m_system;
    CString m_image;
    PathDisk m_searched;
};

// The image file the device table (the engine's 63\cygwin\devices, read the
// way the engine reads it) maps device to, made a full path; empty when the
// table is missing or does not name the device.
CString FindDeviceImage(const CString& engineFolder, const CString& device);
