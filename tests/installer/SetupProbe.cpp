#include "SetupProbe.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <vector>

namespace setupprobe {

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvane";

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool EntryValue(const char* name, DWORD type, std::vector<char>& data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    DWORD got = 0, size = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &got, nullptr, &size) == ERROR_SUCCESS && got == type;
    if (ok) {
        data.assign(size + 1, '\0');
        ok = RegQueryValueExA(key, name, nullptr, &got, reinterpret_cast<BYTE*>(data.data()), &size) ==
             ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

}  // namespace

Locations ForThisUser()
{
    Locations at;
    at.program = Folder(CSIDL_PROGRAM_FILES) + "\\Quorvane";
    at.engine = Folder(CSIDL_APPDATA) + "\\tarnwick-software";
    at.startMenuLink = Folder(CSIDL_PROGRAMS) + "\\Quorvane.lnk";
    at.desktopLink = Folder(CSIDL_DESKTOPDIRECTORY) + "\\Quorvane.lnk";
    return at;
}

bool EntryExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool EntryString(const char* name, std::string& value)
{
    std::vector<char> data;
    if (!EntryValue(name, REG_SZ, data))
        return false;
    value = data.data();
    return true;
}

bool EntryDword(const char* name, DWORD& value)
{
    std::vector<char> data;
    if (!EntryValue(name, REG_DWORD, data) || data.size() < sizeof(DWORD))
        return false;
    value = *reinterpret_cast<const DWORD*>(data.data());
    return true;
}

Shortcut ReadShortcut(const std::string& lnkPath)
{
    Shortcut link;
    CoInitialize(nullptr);
    IShellLinkA* shell = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, lnkPath.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char target[MAX_PATH] = {}, folder[MAX_PATH] = {};
                link.loaded = SUCCEEDED(shell->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                              SUCCEEDED(shell->GetWorkingDirectory(folder, MAX_PATH));
                link.target = target;
                link.folder = folder;
            }
            file->Release();
        }
        shell->Release();
    }
    CoUninitialize();
    return link;
}

DWORD RunToEnd(const std::string& commandLine, DWORD timeoutMs, DWORD* pid)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string command = commandLine;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return static_cast<DWORD>(-1);
    if (pid)
        *pid = process.dwProcessId;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD WaitForChildren(DWORD pid, DWORD parentCode, DWORD timeoutMs)
{
    std::vector<HANDLE> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
            if (entry.th32ParentProcessID != pid)
                continue;
            HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
            if (child)
                children.push_back(child);
        }
        CloseHandle(snapshot);
    }
    DWORD code = parentCode;
    for (HANDLE child : children) {
        code = STILL_ACTIVE;
        if (WaitForSingleObject(child, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(child, &code);
        CloseHandle(child);
    }
    return code;
}

}  // namespace setupprobe
