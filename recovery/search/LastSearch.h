// The record of the last search that ended: which drive, when, how many
// pictures, and where the engine wrote them. It lies inside the search's
// work folder as lastsearch.ini, so it goes with the folder's contents when
// the next search empties it, and is written on the same disk as the finds
// (never the searched one when the work folder was moved off it). At start
// the newest record of the work folders still there offers its pictures
// again.
#pragma once

#include <windows.h>

#include <vector>

#include "Framework.h"

extern const char kLastSearchFile[];  // "lastsearch.ini"

struct LastSearch {
    CString workFolder;  // the folder the record lies in
    CString outDir;      // where the engine wrote the finds: inside workFolder
    CString drive;       // "E:"
    SYSTEMTIME ended = {};  // local time
    int pictures = 0;
    CString recoveryFolder;  // where Recover put its pictures; empty before the first
};

// Writes the record into search.workFolder; false when it cannot be written.
bool WriteLastSearch(const LastSearch& search);
// The record in this work folder; false when there is none, when it is
// damaged (a field missing or out of range, an output folder outside the
// work folder) or when the work folder is gone.
bool ReadLastSearch(const CString& workFolder, LastSearch& search);
// Adds where Recover put the search's pictures to the record in this work
// folder; false when there is no record or it cannot be written.
bool WriteRecoveryFolder(const CString& workFolder, const CString& recoveryFolder);
// The newest good record of these work folders; false when none has one.
bool FindLastSearch(const std::vector<CString>& workFolders, LastSearch& newest);
// "Show the 1,240 pictures found on E: on 9 December 2026".
CString LastSearchLinkText(const LastSearch& search);
