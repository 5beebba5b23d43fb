#include "ThumbnailMaker.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "PictureDecode.h"

namespace {

// Results done but not taken back are held in memory; past this many the
// workers wait for the window to catch up.
const size_t kMaxAhead = 256;

// The engine still has the file open while it writes it; an exclusive open
// for writing fails until it has closed it.
bool IsFileReady(const CString& path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

CThumbnailMaker::Outcome Examine(const CString& path, ThumbnailPixels& pixels, PictureDetails& details)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return CThumbnailMaker::Outcome::Gone;
    if (!IsFileReady(path))
        return CThumbnailMaker::Outcome::NotReady;
    if (!RenderThumbnail(path, pixels, &details)) {
        pixels.clear();
        return CThumbnailMaker::Outcome::NotPicture;
    }
    return CThumbnailMaker::Outcome::Picture;
}

}  // namespace

CThumbnailMaker::~CThumbnailMaker()
{
    Stop();
}

void CThumbnailMaker::Add(const CString& path)
{
    auto job = std::make_shared<Job>();
    job->result.path = path;
    std::lock_guard<qv::Mutex> lock(m_lock);
    m_order.push_back(job);
    m_todo.push_back(job);
    if (m_workers.empty()) {
        m_stopping = false;
        m_share = CWorkerShare(std::thread::hardware_concurrency());
        for (unsigned i = 0; i < m_share.Cores(); ++i)
            m_workers.emplace_back(&CThumbnailMaker::Work, this);
    }
    m_wake.notify_one();
}

bool CThumbnailMaker::TakeNext(Result& result)
{
    std::lock_guard<qv::Mutex> lock(m_lock);
    if (m_order.empty() || !m_order.front()->done)
        return false;
    result = std::move(m_order.front()->result);
    m_order.pop_front();
    m_wake.notify_one();
    return true;
}

size_t CThumbnailMaker::Waiting() const
{
    std::lock_guard<qv::Mutex> lock(m_lock);
    return m_order.size();
}

void CThumbnailMaker::Clear()
{
    std::lock_guard<qv::Mutex> lock(m_lock);
    m_order.clear();
    m_todo.clear();
    m_wake.notify_all();
}

void CThumbnailMaker::Stop()
{
    {
        std::lock_guard<qv::Mutex> lock(m_lock);
        m_stopping = true;
        m_order.clear();
        m_todo.clear();
        m_wake.notify_all();
    }
    for (std::thread& worker : m_workers)
        worker.join();
    m_workers.clear();
}

void CThumbnailMaker::SetSearching(bool searching)
{
    std::lock_guard<qv::Mutex> lock(m_lock);
    if (m_searching == searching)
        return;
    m_searching = searching;
    m_wake.notify_all();
}

void CThumbnailMaker::Work()
{
    // GDI+ reads files through COM objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // Let go before COM ends on the thread.
    std::optional<CJpegDecoderAtHand> jpegDecoder;
    jpegDecoder.emplace();
    int ownPriority = THREAD_PRIORITY_NORMAL;
    std::unique_lock<qv::Mutex> lock(m_lock);
    for (;;) {
        // Started or done but not taken back: the results this worker would
        // add to.
        m_wake.wait(lock, [this] {
            return m_stopping || (!m_todo.empty() && m_order.size() - m_todo.size() < kMaxAhead &&
                                  m_busy < m_share.Workers(m_searching));
        });
        if (m_stopping)
            break;
        std::shared_ptr<Job> job = m_todo.front();
        m_todo.pop_front();
        ++m_busy;
        // Thumbnails may wait; the window and the engine's search may not.
        // A scheduler that ignores priorities still leaves the search its
        // core: fewer workers run while it does.
        const int priority = m_searching ? THREAD_PRIORITY_LOWEST : THREAD_PRIORITY_BELOW_NORMAL;
        lock.unlock();
        // Set when it changes only: each time is a call into the system.
        if (priority != ownPriority && SetThreadPriority(GetCurrentThread(), priority))
            ownPriority = priority;

        ThumbnailPixels pixels;
        PictureDetails details;
        const Outcome outcome = Examine(job->result.path, pixels, details);

        lock.lock();
        job->result.outcome = outcome;
        job->result.pixels = std::move(pixels);
        job->result.details = std::move(details);
        job->done = true;
        --m_busy;
        m_wake.notify_one();
    }
    lock.unlock();
    jpegDecoder.reset();
    if (SUCCEEDED(com))
        CoUninitialize();
}
