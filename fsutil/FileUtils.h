// The program's fixed folders, folder tests and removal, decimal text and the
// Windows version class. Plain functions: no state, no messages.
#pragma once

#include <windows.h>

#include "String.h"

// The folder of the running executable, with a trailing backslash.
CString GetModuleFolder();
// The user's application-data folder; empty when the lookup fails.
CString GetAppDataFolder();
// The user's My Pictures folder; empty when the lookup fails.
CString GetPicturesFolder();

CString IntToString(int nValue);

bool IsFolder(CString strPath);

// True when strPath is strFolder or lies anywhere below it, compared as full
// paths without regard to case or a trailing backslash ("D:\Data\Pics" is
// within "d:\data\", "D:\Database" is not).
bool IsWithinFolder(const CString& strPath, const CString& strFolder);

// Deletes everything below strFolder (and strFolder itself when bRemoveFolder).
// Files that cannot be deleted stay, and so does every folder above them.
// Links and junctions below strFolder are removed as entries, never followed.
void DeleteFolderTree(CString strFolder, bool bRemoveFolder);

// The version query behind GetWindowsVersionCode; replaceable for tests.
using GetVersionExFunc = BOOL (WINAPI*)(LPOSVERSIONINFOA);

// Classifies the running Windows version. On NT with a major version above 6
// nCode is left as it was, so callers preset it. False (outputs untouched)
// when the version cannot be read.
bool GetWindowsVersionCode(int& nCode, CString& strServicePack);
bool GetWindowsVersionCode(int& nCode, CString& strServicePack, GetVersionExFunc pfnGetVersionEx);
