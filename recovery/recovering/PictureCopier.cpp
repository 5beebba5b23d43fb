#include "PictureCopier.h"

CPictureCopier::~CPictureCopier()
{
    Stop();
}

void CPictureCopier::Start(std::vector<CString> sources, const CString& folder, CopyOne copy,
                           std::vector<uint64_t> sizes, std::vector<CString> names, AfterOne after)
{
    Stop();
    m_sources = std::move(sources);
    m_names = std::move(names);
    m_names.resize(m_sources.size());
    for (size_t at = 0; at < m_sources.size(); ++at) {
        if (m_names[at].IsEmpty()) {
            const int slash = m_sources[at].ReverseFind('\\');
            m_names[at] = slash < 0 ? m_sources[at] : m_sources[at].Mid(slash + 1);
        }
    }
    m_after = std::move(after);
    m_sizes = std::move(sizes);
    m_sizes.resize(m_sources.size(), 0);
    m_copied.clear();
    m_bytesDone = 0;
    m_cancelled = false;
    m_folder = folder;
    m_copy = std::move(copy);
    m_failures.clear();
    m_done = 0;
    m_shown = 0;
    m_finished = false;
    m_folderMissing = false;
    m_stop = false;
    m_thread = std::thread(&CPictureCopier::Run, this);
}

std::vector<CString> CPictureCopier::Failures()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failures;
}

std::vector<int> CPictureCopier::Copied()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_copied;
}

void CPictureCopier::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CPictureCopier::Run()
{
    for (size_t at = 0; at < m_sources.size(); ++at) {
        if (m_stop) {
            m_cancelled = true;
            break;
        }
        const CString& source = m_sources[at];
        CString copied;
        const Outcome outcome = m_copy(source, m_folder, m_names[at], copied);
        if (outcome == Outcome::FolderMissing) {
            m_folderMissing = true;
            break;
        }
        if (m_after)
            m_after(at, outcome, copied);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (outcome == Outcome::Copied || outcome == Outcome::AlreadyThere)
                m_copied.push_back(static_cast<int>(at));
            else
                m_failures.push_back(outcome == Outcome::Gone ? CString() : source);
        }
        m_bytesDone += m_sizes[at];
        ++m_done;
        if (outcome != Outcome::Gone)
            m_shown = m_done.load();
    }
    m_finished = true;
}
