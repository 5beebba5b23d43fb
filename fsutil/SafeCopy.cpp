#include "SafeCopy.h"

#include <shlwapi.h>

#include <cstring>
#include <vector>

namespace {

// Far more names than anyone keeps copies of; only a folder that answers
// "taken" for every name would get this far.
const int kMaxTries = 10000;

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : m_h(h) {}
    ~FileHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

HANDLE OpenForReading(const CString& strPath)
{
    return CreateFileA(strPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Reads up to the buffer's size; fewer bytes only at the file's end.
bool ReadChunk(HANDLE h, std::vector<char>& buffer, DWORD& nRead)
{
    nRead = 0;
    while (nRead < buffer.size()) {
        DWORD n = 0;
        if (!ReadFile(h, buffer.data() + nRead, static_cast<DWORD>(buffer.size()) - nRead, &n, nullptr))
            return false;
        if (n == 0)
            break;
        nRead += n;
    }
    return true;
}

// The copy failed because the name is in use (a file, a folder, or a file
// that cannot be opened), not because the folder cannot take a file.
bool NameTaken(DWORD nError, const char* pszTarget)
{
    if (nError == ERROR_FILE_EXISTS || nError == ERROR_ALREADY_EXISTS)
        return true;
    if (nError == ERROR_ACCESS_DENIED || nError == ERROR_SHARING_VIOLATION)
        return GetFileAttributesA(pszTarget) != INVALID_FILE_ATTRIBUTES;
    return false;
}

}  // namespace

CString NumberedName(const CString& strName, int n)
{
    if (n <= 1)
        return strName;
    const int nDot = strName.ReverseFind('.');
    CString strNumber;
    strNumber.Format(" (%d)", n);
    if (nDot <= 0)
        return strName + strNumber;
    return strName.Left(nDot) + strNumber + strName.Mid(nDot);
}

bool SameFileContents(const CString& strA, const CString& strB)
{
    FileHandle a(OpenForReading(strA));
    FileHandle b(OpenForReading(strB));
    if (!a.Valid() || !b.Valid())
        return false;
    LARGE_INTEGER sizeA, sizeB;
    if (!GetFileSizeEx(a.Get(), &sizeA) || !GetFileSizeEx(b.Get(), &sizeB) || sizeA.QuadPart != sizeB.QuadPart)
        return false;

    std::vector<char> bufA(1 << 16), bufB(1 << 16);
    for (;;) {
        DWORD nA = 0, nB = 0;
        if (!ReadChunk(a.Get(), bufA, nA) || !ReadChunk(b.Get(), bufB, nB) || nA != nB)
            return false;
        if (nA == 0)
            return true;
        if (std::memcmp(bufA.data(), bufB.data(), nA) != 0)
            return false;
    }
}

SafeCopyResult CopyWithoutReplacing(const CString& strSource, const CString& strFolder, CString* pTarget)
{
    const int nSlash = strSource.ReverseFind('\\');
    return CopyWithoutReplacingAs(strSource, strFolder, nSlash < 0 ? strSource : strSource.Mid(nSlash + 1), pTarget);
}

SafeCopyResult CopyWithoutReplacingAs(const CString& strSource, const CString& strFolder, const CString& strName,
                                      CString* pTarget)
{
    // A folder and name too long for a path cannot take the copy.
    if (strFolder.GetLength() >= MAX_PATH || strName.IsEmpty())
        return SafeCopyResult::Refused;

    for (int n = 1; n <= kMaxTries; ++n) {
        char szTarget[MAX_PATH] = {};
        lstrcpynA(szTarget, strFolder, MAX_PATH);
        if (!PathAppendA(szTarget, NumberedName(strName, n)))
            return SafeCopyResult::Refused;

        // Fail-if-exists: the name is taken and created in one step.
        if (CopyFileA(strSource, szTarget, TRUE)) {
            if (pTarget)
                *pTarget = szTarget;
            return SafeCopyResult::Copied;
        }
        if (!NameTaken(GetLastError(), szTarget))
            return SafeCopyResult::Refused;
        if (SameFileContents(strSource, szTarget)) {
            if (pTarget)
                *pTarget = szTarget;
            return SafeCopyResult::AlreadyThere;
        }
    }
    return SafeCopyResult::Refused;
}
