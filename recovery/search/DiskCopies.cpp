#include "DiskCopies.h"

#include <algorithm>
#include <cstdio>

#include "SizeFormat.h"
#include "disk_copy.h"

namespace {

const char kPrefix[] = "Copy of ";

bool Digits(const CString& text, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        if (i >= text.GetLength() || text.GetAt(i) < '0' || text.GetAt(i) > '9')
            return false;
    }
    return true;
}

// "Saved copy of E: (2026-12-10 21:30, 64 MB)" for a name this program
// gave; "Saved copy: NAME (64 MB)" for any other.
CString CopyLabel(const CString& stem, long long size)
{
    const int prefix = static_cast<int>(sizeof kPrefix) - 1;
    // "Copy of E 2026-12-10 21-30-05"
    if (stem.GetLength() == prefix + 21 && stem.Left(prefix) == kPrefix && stem.GetAt(prefix + 1) == ' ' &&
        Digits(stem, prefix + 2, 4) && stem.GetAt(prefix + 6) == '-' && Digits(stem, prefix + 7, 2) &&
        stem.GetAt(prefix + 9) == '-' && Digits(stem, prefix + 10, 2) && stem.GetAt(prefix + 12) == ' ' &&
        Digits(stem, prefix + 13, 2) && Digits(stem, prefix + 16, 2)) {
        return "Saved copy of " + stem.Mid(prefix, 1) + ": (" + stem.Mid(prefix + 2, 10) + " " +
               stem.Mid(prefix + 13, 2) + ":" + stem.Mid(prefix + 16, 2) + ", " + FormatSize(size) + ")";
    }
    return "Saved copy: " + stem + " (" + FormatSize(size) + ")";
}

// The name without ".img", in any case.
CString Stem(const CString& name)
{
    CString ext = name.Right(4);
    ext.MakeLower();
    return name.GetLength() > 4 && ext == ".img" ? name.Left(name.GetLength() - 4) : name;
}

CString Joined(const CString& folder, const CString& name)
{
    if (!folder.IsEmpty() && folder.GetAt(folder.GetLength() - 1) == '\\')
        return folder + name;
    return folder + "\\" + name;
}

}  // namespace

CString DiskCopyName(const CString& drive, const SYSTEMTIME& when)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u-%02u-%02u", when.wYear, when.wMonth, when.wDay, when.wHour,
                  when.wMinute, when.wSecond);
    const CString letter = drive.IsEmpty() ? CString("disk") : drive.Left(1);
    return CString(kPrefix) + letter + " " + text + ".img";
}

std::vector<DriveEntry> FindSavedCopies(const CString& folder)
{
    std::vector<DriveEntry> copies;
    if (folder.IsEmpty())
        return copies;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(Joined(folder, "*.img"), &found);
    if (find == INVALID_HANDLE_VALUE)
        return copies;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const CString name = found.cFileName;
        const CString path = Joined(folder, name);
        // Only a copy with its map: without it nothing says which sectors
        // hold the disk's bytes.
        if (GetFileAttributesA(qv::copyMapPath(path.str()).c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        DriveEntry entry;
        entry.nTotalBytes = static_cast<long long>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
        entry.strDrive = CopyLabel(Stem(name), entry.nTotalBytes);
        entry.strInfo = name;
        entry.strImage = path;
        entry.strDevice = "\"" + path + "\"";
        copies.push_back(entry);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(copies.begin(), copies.end(),
              [](const DriveEntry& a, const DriveEntry& b) { return a.strInfo.str() < b.strInfo.str(); });
    return copies;
}

bool SavedCopyEntry(const CString& path, DriveEntry& entry)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const int slash = path.ReverseFind('\\');
    const CString name = path.Mid(slash + 1);
    entry = DriveEntry();
    entry.nTotalBytes = static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    // A name without ".img" keeps its whole name in the label.
    entry.strDrive = CopyLabel(Stem(name), entry.nTotalBytes);
    entry.strInfo = name;
    entry.strImage = path;
    entry.strDevice = "\"" + path + "\"";
    return true;
}

CopyPlace CheckCopyPlace(IDriveSystem& system, const CWorkFolderPlace& searched, const CString& folder,
                         unsigned long long diskSize)
{
    if (folder.IsEmpty())
        return CopyPlace::NotChosen;
    const DWORD attributes = GetFileAttributesA(folder.IsEmpty() || folder.GetAt(folder.GetLength() - 1) != ':'
                                                    ? folder
                                                    : folder + "\\");
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return CopyPlace::Missing;
    if (!searched.KeepsClearOfSearch(folder))
        return CopyPlace::OnSearchedDisk;
    ULARGE_INTEGER free = {}, total = {}, totalFree = {};
    const CString root = Joined(folder, "");
    if (!system.DiskFreeSpace(root, &free, &total, &totalFree) || free.QuadPart < diskSize)
        return CopyPlace::NoRoom;
    return CopyPlace::Fine;
}
