// settings.ini (the save folder and the main window's place) and formats.ini (the formats the engine
// looks for), one "key=value" line each, in the program's own folder.
// Read afresh on every use and rewritten whole on every change.
#pragma once

#include "String.h"

extern const CString g_strSettingsFile;  // "settings.ini"
extern const CString g_strFormatsFile;   // "formats.ini"
extern const CString g_strWorkFolderFile;  // "workfolder.ini"

// The value of the last line of the file that starts with strKey (8
// characters, name and "="), or strDefault when there is none or the file
// cannot be read. Lines longer than 259 characters are ignored whole.
CString ReadSetting(const CString& strFile, const CString& strKey, const CString& strDefault);

// Replaces the file with strLineFormat, strValue in place of its "%s" (each
// line ends in "\n", written as CR LF). Failure is silent.
void WriteSetting(const CString& strFile, const CString& strLineFormat, const CString& strValue);
// Rewrites the file with one line strKey strValue in place of every line that
// starts with strKey, keeping the other lines as they are. Failure is silent.
void ReplaceSetting(const CString& strFile, const CString& strKey, const CString& strValue);

// The formats there are, in the fixed order of a stored list and of the
// engine's options: the five of old first, then "raw" (camera RAW), "heic",
// "avif" and "webp".
extern const char* const g_formatTokens[];
const int kFormatTokenCount = 9;
const int kOldFormatTokenCount = 5;
// All nine, joined by ",".
extern const CString g_strAllFormats;

// True when strToken occurs in the list, case-sensitively, anywhere.
bool IsFormatEnabled(const CString& strFormats, const CString& strToken);

// The stored save folder, or the user's My Pictures folder. Written as the
// first line of settings.ini; every other line of the file is kept.
CString ReadSaveFolder();
void WriteSaveFolder(const CString& strFolder);

// Whether a copy of the disk is kept while searching, and the folder it goes
// to (empty when none was chosen): the line "diskcopy=on|FOLDER" (or off)
// in settings.ini; the file's other lines are kept.
void ReadDiskCopy(bool& bWanted, CString& strFolder);
void WriteDiskCopy(bool bWanted, const CString& strFolder);
// How Recover arranges the pictures, as its choice words it ("Original
// folders", ...); empty when never chosen. Kept in settings.ini beside the
// save folder: writing either keeps the other.
CString ReadArrangement();
void WriteArrangement(const CString& strArrangement);

// The main window's place as stored ("left,top,right,bottom,maximised"),
// empty when none is; written without touching the save folder's line.
CString ReadWindowPlace();
void WriteWindowPlace(const CString& strPlace);

// The picture list's view as stored ("64", "128" or "256": the thumbnails'
// size, or "details"), empty when none is; written keeping the other lines.
CString ReadListView();
void WriteListView(const CString& strView);

// The formats to search for, as tokens in the fixed order joined by ",";
// empty when the stored list enables none. With no file or no list every
// format. A list written by this program's Settings (marked "version=2") is
// taken as it stands; an older one that enables any of the five of old also
// gets the four that came later, which it could not name.
CString ReadEngineFormats();
// Stores the list with the mark that it names every format there is.
void WriteFormats(const CString& strFormats);

// A work folder made away from the per-user folder (on the save folder's
// drive) by the last search, so that the next search, in this run of the
// program or a later one, removes it; empty when there is none.
CString ReadMovedWorkFolder();
void WriteMovedWorkFolder(const CString& strFolder);
void ForgetMovedWorkFolder();
