// Looks at what a setup left on the system, from inside Wine: where the
// files go for this user, the Apps and Features entry, shortcut targets,
// and processes run to their end (the uninstaller's copy included).
#pragma once

#include <windows.h>

#include <string>

namespace setupprobe {

// Where the setup puts things for the user running the test.
struct Locations {
    std::string program;        // Program Files\Quorvane
    std::string engine;         // %APPDATA%\tarnwick-software
    std::string startMenuLink;  // Start menu\Programs\Quorvane.lnk
    std::string desktopLink;    // Desktop\Quorvane.lnk
};
Locations ForThisUser();

// The Apps and Features entry, read in the 64-bit registry view.
bool EntryExists();
bool EntryString(const char* name, std::string& value);
bool EntryDword(const char* name, DWORD& value);

struct Shortcut {
    bool loaded = false;
    std::string target;
    std::string folder;  // the working folder
};
Shortcut ReadShortcut(const std::string& lnkPath);

// Starts a command line and waits for it to end; its exit code, or
// STILL_ACTIVE after the time-out, or (DWORD)-1 when it did not start.
// pid receives its process id.
DWORD RunToEnd(const std::string& commandLine, DWORD timeoutMs, DWORD* pid = nullptr);

// Waits for every process that the process pid started (an uninstaller
// runs as a copy of itself in the temporary folder). The last one's exit
// code, or parentCode when there were none.
DWORD WaitForChildren(DWORD pid, DWORD parentCode, DWORD timeoutMs);

}  // namespace setupprobe
