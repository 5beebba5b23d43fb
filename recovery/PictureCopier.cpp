#include "PictureCopier.h"

CPictureCopier::~CPictureCopier()
{
    Stop();
}

void CPictureCopier::Start(std::vector<CString> sources, const CString& folder, CopyOne copy)
{
    Stop();
    m_sources = std::move(sources);
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

void CPictureCopier::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CPictureCopier::Run()
{
    for (const CString& source : m_sources) {
        if (m_stop)
            break;
        const Outcome outcome = m_copy(source, m_folder);
        if (outcome == Outcome::FolderMissing) {
            m_folderMissing = true;
            break;
        }
        if (outcome != Outcome::Copied) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_failures.push_back(outcome == Outcome::Gone ? CString() : source);
        }
        ++m_done;
        if (outcome != Outcome::Gone)
            m_shown = m_done.load();
    }
    m_finished = true;
}
