// settings.ini (the save folder) and formats.ini (the formats the engine
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

// Replaces the file with one line: strLineFormat with strValue in place of
// its "%s" (the format ends in "\n", written as CR LF). Failure is silent.
void WriteSetting(const CString& strFile, const CString& strLineFormat, const CString& strValue);

// True when strToken ("jpg", "gif", "png", "bmp", "tif") occurs in the list,
// case-sensitively, anywhere.
bool IsFormatEnabled(const CString& strFormats, const CString& strToken);

// The stored save folder, or the user's My Pictures folder.
CString ReadSaveFolder();
void WriteSaveFolder(const CString& strFolder);

// The format list for an engine run; "jpg,gif,png,bmp" when none is stored.
CString ReadEngineFormats();

// A work folder made away from the per-user folder (on the save folder's
// drive) by the last search, so that the next search, in this run of the
// program or a later one, removes it; empty when there is none.
CString ReadMovedWorkFolder();
void WriteMovedWorkFolder(const CString& strFolder);
void ForgetMovedWorkFolder();
