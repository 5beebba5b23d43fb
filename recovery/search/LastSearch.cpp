#include "LastSearch.h"

#include <cstdio>

#include "FileUtils.h"
#include "PictureDescription.h"

const char kLastSearchFile[] = "lastsearch.ini";

namespace {

const char kSection[] = "Last search";
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

CString RecordPath(const CString& workFolder)
{
    return workFolder + "\\" + kLastSearchFile;
}

CString ReadValue(const CString& file, const char* key)
{
    char value[MAX_PATH + 1] = "";
    GetPrivateProfileStringA(kSection, key, "", value, sizeof value, file);
    return value;
}

// The output folder must lie below the work folder, without a way out of
// it: the record is a file anybody may have changed.
bool InsideFolder(const CString& path, const CString& folder)
{
    const CString prefix = folder + "\\";
    return path.GetLength() > prefix.GetLength() && path.Left(prefix.GetLength()) == prefix &&
           path.Find("..") < 0 && path.Find('/') < 0;
}

uint64_t TimeNumber(const SYSTEMTIME& time)
{
    FILETIME file = {};
    if (!SystemTimeToFileTime(&time, &file))
        return 0;
    return (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

bool WriteLastSearch(const LastSearch& search)
{
    if (search.workFolder.IsEmpty() || !IsFolder(search.workFolder))
        return false;
    const CString file = RecordPath(search.workFolder);
    CString ended;
    ended.Format("%04u-%02u-%02u %02u:%02u:%02u", search.ended.wYear, search.ended.wMonth, search.ended.wDay,
                 search.ended.wHour, search.ended.wMinute, search.ended.wSecond);
    CString pictures;
    pictures.Format("%d", search.pictures);
    DeleteFileA(file);
    const bool written = WritePrivateProfileStringA(kSection, "Drive", search.drive, file) &&
                         WritePrivateProfileStringA(kSection, "Output", search.outDir, file) &&
                         WritePrivateProfileStringA(kSection, "Pictures", pictures, file) &&
                         WritePrivateProfileStringA(kSection, "Ended", ended, file) &&
                         (search.recoveryFolder.IsEmpty() ||
                          WritePrivateProfileStringA(kSection, "Recovered into", search.recoveryFolder, file));
    // Flushes the system's cache of the file, so that a reader sees it whole.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    if (!written)
        DeleteFileA(file);
    return written;
}

bool ReadLastSearch(const CString& workFolder, LastSearch& search)
{
    if (workFolder.IsEmpty() || !IsFolder(workFolder))
        return false;
    const CString file = RecordPath(workFolder);
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        return false;
    LastSearch read;
    read.workFolder = workFolder;
    read.drive = ReadValue(file, "Drive");
    read.outDir = ReadValue(file, "Output");
    const CString pictures = ReadValue(file, "Pictures");
    const CString ended = ReadValue(file, "Ended");
    if (read.drive.IsEmpty() || read.drive.GetLength() > 32 || !InsideFolder(read.outDir, workFolder))
        return false;

    char rest = 0;
    int count = 0;
    if (std::sscanf(pictures, "%d%c", &count, &rest) != 1 || count <= 0)
        return false;
    read.pictures = count;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(ended, "%4u-%2u-%2u %2u:%2u:%2u%c", &year, &month, &day, &hour, &minute, &second, &rest) != 6)
        return false;
    read.ended.wYear = static_cast<WORD>(year);
    read.ended.wMonth = static_cast<WORD>(month);
    read.ended.wDay = static_cast<WORD>(day);
    read.ended.wHour = static_cast<WORD>(hour);
    read.ended.wMinute = static_cast<WORD>(minute);
    read.ended.wSecond = static_cast<WORD>(second);
    // Also checks the day against its month.
    if (year < 1601 || TimeNumber(read.ended) == 0)
        return false;
    // Only a full path without a way up is taken as the recovery folder:
    // the record is a file anybody may have changed. Without it the next
    // Recover starts a new one.
    const CString recovered = ReadValue(file, "Recovered into");
    const bool drivePath = recovered.GetLength() > 3 && recovered[1] == ':' && recovered[2] == '\\';
    const bool sharePath = recovered.Left(2) == "\\\\";
    if ((drivePath || sharePath) && recovered.Find("..") < 0 && recovered.Find('/') < 0)
        read.recoveryFolder = recovered;
    search = read;
    return true;
}

bool WriteRecoveryFolder(const CString& workFolder, const CString& recoveryFolder)
{
    if (workFolder.IsEmpty())
        return false;
    const CString file = RecordPath(workFolder);
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        return false;
    const bool written = WritePrivateProfileStringA(kSection, "Recovered into", recoveryFolder, file) != FALSE;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    return written;
}

bool FindLastSearch(const std::vector<CString>& workFolders, LastSearch& newest)
{
    bool found = false;
    for (const CString& folder : workFolders) {
        LastSearch search;
        if (!ReadLastSearch(folder, search))
            continue;
        if (!found || TimeNumber(search.ended) > TimeNumber(newest.ended)) {
            newest = search;
            found = true;
        }
    }
    return found;
}

CString LastSearchLinkText(const LastSearch& search)
{
    CString text;
    const WORD month = search.ended.wMonth >= 1 && search.ended.wMonth <= 12 ? search.ended.wMonth : 1;
    text.Format("Show the %s %s found on %s on %u %s %u", GroupedNumber(static_cast<uint64_t>(search.pictures)).GetString(),
                search.pictures == 1 ? "picture" : "pictures", search.drive.GetString(), search.ended.wDay,
                kMonths[month - 1], search.ended.wYear);
    return text;
}
