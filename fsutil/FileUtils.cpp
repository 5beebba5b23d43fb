#include "FileUtils.h"

#include <shlobj.h>

#include <cstring>

CString GetModuleFolder()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    szPath[MAX_PATH - 1] = '\0';  // a truncated name is not terminated on older systems
    CString strPath(szPath);
    return strPath.Left(strPath.ReverseFind('\\') + 1);
}

static CString GetSpecialFolder(int nFolder)
{
    char szPath[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, szPath, nFolder, FALSE))
        szPath[0] = '\0';
    szPath[MAX_PATH - 1] = '\0';
    return CString(szPath);
}

CString GetAppDataFolder()
{
    return GetSpecialFolder(CSIDL_APPDATA);
}

CString GetPicturesFolder()
{
    return GetSpecialFolder(CSIDL_MYPICTURES);
}

CString IntToString(int nValue)
{
    CString str;
    str.Format("%d", nValue);
    return str;
}

// "E:" or "E:\\": a drive's root.
static bool IsDriveRoot(const CString& strPath)
{
    const int nLength = strPath.GetLength();
    if (nLength < 2 || nLength > 3 || strPath.GetAt(1) != ':')
        return false;
    const char cDrive = strPath.GetAt(0);
    const bool bLetter = (cDrive >= 'A' && cDrive <= 'Z') || (cDrive >= 'a' && cDrive <= 'z');
    return bLetter && (nLength == 2 || strPath.GetAt(2) == '\\');
}

namespace {

// The full path, without a trailing backslash but for a drive's root.
CString FullPath(const CString& strPath)
{
    char full[MAX_PATH] = "";
    const DWORD n = GetFullPathNameA(strPath, sizeof full, full, nullptr);
    CString result = n > 0 && n < sizeof full ? CString(full) : strPath;
    while (result.GetLength() > 3 && result.GetAt(result.GetLength() - 1) == '\\')
        result = result.Left(result.GetLength() - 1);
    return result;
}

}  // namespace

bool IsWithinFolder(const CString& strPath, const CString& strFolder)
{
    if (strPath.IsEmpty() || strFolder.IsEmpty())
        return false;
    const CString path = FullPath(strPath);
    CString folder = FullPath(strFolder);
    if (lstrcmpiA(path, folder) == 0)
        return true;
    if (folder.GetAt(folder.GetLength() - 1) != '\\')
        folder += "\\";
    return path.GetLength() > folder.GetLength() && lstrcmpiA(path.Left(folder.GetLength()), folder) == 0;
}

bool IsFolder(CString strPath)
{
    // A root's listing has no "." and may be empty or hold files only; the
    // root is a folder all the same whenever the drive is there.
    if (IsDriveRoot(strPath)) {
        const DWORD nAttributes = GetFileAttributesA(strPath.Left(2) + "\\");
        return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    if (strPath.IsEmpty() || strPath.GetAt(strPath.GetLength() - 1) != '\\')
        strPath += '\\';
    strPath += "*.*";

    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(strPath, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;

    // Every listing entry counts, the first included: in a drive's root there
    // is no "." or ".." and the first entry may be the only folder.
    bool bFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    while (!bFolder && FindNextFileA(hFind, &fd))
        bFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    FindClose(hFind);
    return bFolder;
}

void DeleteFolderTree(CString strFolder, bool bRemoveFolder)
{
    if (strFolder.IsEmpty())
        return;

    CString strPattern = strFolder;
    if (strPattern.Find("\\*.*") < 0)
        strPattern += strPattern.GetAt(strPattern.GetLength() - 1) == '\\' ? "*.*" : "\\*.*";
    CString strBase = strPattern.Left(strPattern.ReverseFind('\\') + 1);

    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(strPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;

    do {
        if (std::strcmp(fd.cFileName, ".") == 0 || std::strcmp(fd.cFileName, "..") == 0)
            continue;
        CString strEntry = strBase + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A link or junction may lead outside the tree: remove the link
            // itself and leave whatever it points at alone.
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(strEntry);
            else
                DeleteFileA(strEntry);
        } else if (IsFolder(strEntry)) {
            DeleteFolderTree(strEntry, true);
        } else {
            DeleteFileA(strEntry);
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);

    if (bRemoveFolder)
        RemoveDirectoryA(strPattern.Left(strPattern.ReverseFind('\\')));
}

static BOOL WINAPI RealGetVersionEx(LPOSVERSIONINFOA pInfo)
{
    return GetVersionExA(pInfo);
}

bool GetWindowsVersionCode(int& nCode, CString& strServicePack)
{
    return GetWindowsVersionCode(nCode, strServicePack, RealGetVersionEx);
}

bool GetWindowsVersionCode(int& nCode, CString& strServicePack, GetVersionExFunc pfnGetVersionEx)
{
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!pfnGetVersionEx(reinterpret_cast<LPOSVERSIONINFOA>(&info))) {
        std::memset(&info, 0, sizeof(info));
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!pfnGetVersionEx(reinterpret_cast<LPOSVERSIONINFOA>(&info)))
            return false;
    }

    strServicePack = CString(info.szCSDVersion,
                             static_cast<int>(strnlen(info.szCSDVersion, sizeof(info.szCSDVersion))));

    const DWORD nMajor = info.dwMajorVersion;
    const DWORD nMinor = info.dwMinorVersion;
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        nCode = 7;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (nMajor < 4 || (nMajor == 4 && nMinor == 0))
            nCode = 1;
        else if (nMajor == 4 && nMinor < 90)
            nCode = 2;
        else
            nCode = 3;
        break;
    case VER_PLATFORM_WIN32_NT:
        if (nMajor <= 4)
            nCode = 4;
        else if (nMajor == 5)
            nCode = nMinor == 0 ? 5 : 6;
        else if (nMajor == 6)
            nCode = 8;
        // Later majors: left to the caller's preset.
        break;
    default:
        nCode = 9;
        break;
    }
    return true;
}
