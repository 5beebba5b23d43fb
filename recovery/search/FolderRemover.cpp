#include "FolderRemover.h"

#include <cctype>
#include <vector>

namespace {

// The renamed folder is a little longer than the old one, and the engine
// fills its work folder up to the ANSI path limit: the deletion uses the
// long-path forms of the wide functions.
std::wstring LongPath(const std::string& path)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1u, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(wcslen(wide.c_str()));
    if (wide.size() >= 2 && wide[0] == L'\\' && wide[1] == L'\\') {
        if (wide.compare(0, 4, L"\\\\?\\") == 0)
            return wide;
        return L"\\\\?\\UNC\\" + wide.substr(2);
    }
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    return wide;
}

std::string ParentOf(const std::string& folder)
{
    const size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "<prefix><digits>" and nothing else: a name this remover gave.
bool IsAsideName(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9)
        return false;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), static_cast<int>(prefix.size()),
                       prefix.c_str(), static_cast<int>(prefix.size())) != CSTR_EQUAL)
        return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

bool SamePath(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

}  // namespace

CFolderRemover::~CFolderRemover()
{
    Stop();
}

std::string CFolderRemover::AsidePrefix(const std::string& folder)
{
    return folder + ".removing.";
}

CFolderRemover::Result CFolderRemover::Remove(const std::string& folder)
{
    if (folder.empty() || !IsDirectory(folder))
        return Result::Missing;
    const std::wstring from = LongPath(folder);
    const std::string prefix = AsidePrefix(folder);
    Result result = Result::Refused;
    // A scanner or an indexer may have a file open for a moment: a few tries.
    for (int attempt = 0; attempt < 3 && result == Result::Refused; ++attempt) {
        if (attempt > 0)
            Sleep(40);
        for (int n = 1; n < 1000; ++n) {
            const std::string aside = prefix + std::to_string(n);
            if (MoveFileExW(from.c_str(), LongPath(aside).c_str(), 0)) {
                Queue(aside);
                result = Result::Moved;
                break;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
                break;
        }
    }
    SweepLeftovers(folder);
    return result;
}

namespace {

// The folders put aside for folder that are still there.
std::vector<std::string> AsideFolders(const std::string& folder)
{
    std::vector<std::string> found;
    const std::string parent = ParentOf(folder);
    if (parent.empty())
        return found;
    const std::string prefix = CFolderRemover::AsidePrefix(folder);
    const std::string namePrefix = prefix.substr(parent.size() + 1);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((prefix + "*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsAsideName(fd.cFileName, namePrefix))
            found.push_back(parent + "\\" + fd.cFileName);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return found;
}

}  // namespace

bool CFolderRemover::LeftoversOf(const std::string& folder)
{
    return !AsideFolders(folder).empty();
}

void CFolderRemover::SweepLeftovers(const std::string& folder)
{
    for (const std::string& aside : AsideFolders(folder)) {
        bool known;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            known = SamePath(aside, m_current);
            for (const std::string& queued : m_queue)
                known = known || SamePath(aside, queued);
        }
        if (!known)
            Queue(aside);
    }
}

void CFolderRemover::Queue(const std::string& aside)
{
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_queue.push_back(aside);
        if (!m_busy) {
            m_busy = true;
            start = true;
        }
    }
    if (!start)
        return;
    // A thread that found the queue empty has said so and is ending.
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
    m_thread = std::thread(&CFolderRemover::Run, this);
}

void CFolderRemover::Run()
{
    for (;;) {
        std::string next;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_current.clear();
            if (m_queue.empty() || m_stop) {
                m_busy = false;
                if (!m_stop && m_notify)
                    PostMessageA(m_notify, m_notifyMessage, 0, 0);
                return;
            }
            next = m_queue.front();
            m_queue.pop_front();
            m_current = next;
        }
        DeleteTree(LongPath(next));
    }
}

bool CFolderRemover::DeleteTree(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (m_stop)
                break;
            if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0)
                continue;
            const std::wstring entry = path + L"\\" + fd.cFileName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(entry.c_str(), fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link or junction may lead outside the tree: only the
                // link itself goes.
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryW(entry.c_str());
                else
                    DeleteFileW(entry.c_str());
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(entry);
            } else {
                DeleteFileW(entry.c_str());
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    if (m_stop)
        return false;
    RemoveDirectoryW(path.c_str());
    return true;
}

void CFolderRemover::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_lock);
    m_queue.clear();
    m_current.clear();
    m_busy = false;
}

bool CFolderRemover::WaitIdle(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (m_busy) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}
