// Copying a file into a folder without ever replacing a file that is there.
#pragma once

#include <windows.h>

#include "String.h"

enum class SafeCopyResult {
    Copied,        // a new file of the folder holds the copy
    AlreadyThere,  // a file of the folder already holds the same bytes
    Refused,       // the folder would not take it (full, read-only, name too long)
};

// Copies strSource into strFolder under its own name or, when a different
// file has that name, under the first free "name (2).ext", "name (3).ext", ...
// as Windows names copies. Each name is created only if it is still free at
// that moment, so another program creating the same name is never
// overwritten. pTarget, when given, receives the file that holds the bytes.
SafeCopyResult CopyWithoutReplacing(const CString& strSource, const CString& strFolder,
                                    CString* pTarget = nullptr);
// The same under a name of the caller's instead of the source's own.
SafeCopyResult CopyWithoutReplacingAs(const CString& strSource, const CString& strFolder, const CString& strName,
                                      CString* pTarget = nullptr);

// The name a copy gets on its nth try: the name itself for 1, else
// "name (n).ext" (the extension from the last dot; none for ".name").
CString NumberedName(const CString& strName, int n);

// True when both files can be read and hold the same bytes.
bool SameFileContents(const CString& strA, const CString& strB);
