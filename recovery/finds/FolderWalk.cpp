#include "FolderWalk.h"

namespace {

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace

CFolderWalk::~CFolderWalk()
{
    Reset();
}

void CFolderWalk::Start(const CString& root, bool passUnchanged)
{
    while (!m_stack.empty())
        Pop(false);
    m_passUnchanged = passUnchanged;
    m_active = true;
    CString folder = root;
    while (folder.GetLength() > 0 && folder.GetAt(folder.GetLength() - 1) == '\\')
        folder = folder.Left(folder.GetLength() - 1);
    if (!folder.IsEmpty())
        Push(folder, FILETIME{});
}

void CFolderWalk::Push(const CString& folder, const FILETIME& stamp)
{
    Frame frame;
    frame.folder = folder;
    frame.stamp = stamp;
    frame.find = FindFirstFileA(folder + "\\*.*", &frame.entry);
    frame.hasEntry = frame.find != INVALID_HANDLE_VALUE;
    m_stack.push_back(frame);
}

void CFolderWalk::Pop(bool whole)
{
    Frame& frame = m_stack.back();
    if (frame.find != INVALID_HANDLE_VALUE) {
        FindClose(frame.find);
        // Remembered with the time it had before the reading, so a change
        // made meanwhile shows as a newer time.
        if (whole && m_stack.size() > 1)
            m_seen[frame.folder.str()] = Seen{frame.stamp, frame.leaf};
    }
    m_stack.pop_back();
}

bool CFolderWalk::Continue(std::chrono::milliseconds budget, const std::function<void(const CString&)>& found)
{
    const auto start = std::chrono::steady_clock::now();
    int sinceCheck = 0;
    while (!m_stack.empty()) {
        if (++sinceCheck == 32) {
            sinceCheck = 0;
            if (std::chrono::steady_clock::now() - start >= budget)
                return false;
        }
        Frame& frame = m_stack.back();
        if (!frame.hasEntry) {
            Pop(true);
            continue;
        }
        const WIN32_FIND_DATAA entry = frame.entry;
        frame.hasEntry = FindNextFileA(frame.find, &frame.entry) != FALSE;

        const CString name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        // A link or junction could lead back up the tree and never end the
        // walk; the engine writes plain files and folders only.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        const CString path = frame.folder + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            frame.leaf = false;
            if (m_passUnchanged) {
                const auto seen = m_seen.find(path.str());
                if (seen != m_seen.end() && seen->second.leaf && SameTime(seen->second.stamp, entry.ftLastWriteTime))
                    continue;
            }
            Push(path, entry.ftLastWriteTime);  // frame is not used after this
        } else {
            found(path);
        }
    }
    m_active = false;
    return true;
}

void CFolderWalk::Forget(const CString& folder)
{
    m_seen.erase(folder.str());
}

void CFolderWalk::Reset()
{
    while (!m_stack.empty())
        Pop(false);
    m_seen.clear();
    m_active = false;
}
