#include "BoxThumbnails.h"

#include <objbase.h>

#include "Thumbnail.h"

namespace {

// Asked for and not made yet: past this many the oldest asks are dropped,
// since the list has been scrolled on past them (a screen of large
// thumbnails holds a few dozen).
const size_t kMaxAsked = 384;

}  // namespace

CBoxThumbnails::~CBoxThumbnails()
{
    Stop();
}

size_t CBoxThumbnails::Capacity(int box) const
{
    if (box <= kThumbSize)
        return 0;
    return m_budget / (static_cast<size_t>(box) * static_cast<size_t>(box) * 3);
}

void CBoxThumbnails::SetBox(int box, HWND window, UINT message)
{
    Clear();
    m_box = box > kThumbSize ? box : 0;
    std::lock_guard<std::mutex> lock(m_lock);
    m_workBox = m_box;
    m_window = window;
    m_message = message;
}

const uint8_t* CBoxThumbnails::Get(int item)
{
    auto held = m_held.find(item);
    if (held == m_held.end()) {
        // Scrolled back to: a fraction of a millisecond from the cache.
        if (!m_box || !m_cache || !m_cache->Has(item, m_box))
            return nullptr;
        std::vector<uint8_t> pixels(static_cast<size_t>(m_box) * static_cast<size_t>(m_box) * 3);
        if (!m_cache->Read(item, m_box, pixels.data()))
            return nullptr;
        Hold(item, std::move(pixels));
        held = m_held.find(item);
    }
    m_ages.splice(m_ages.begin(), m_ages, held->second.age);
    return held->second.pixels.data();
}

void CBoxThumbnails::Ask(int item, const CString& path)
{
    if (!m_box || item < 0 || m_held.count(item))
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    const auto index = static_cast<size_t>(item);
    if (index >= m_pending.size())
        m_pending.resize(index + 1, false);
    if (m_pending[index])
        return;
    m_pending[index] = true;
    m_asked.emplace_back(item, path);
    while (m_asked.size() > kMaxAsked) {
        m_pending[static_cast<size_t>(m_asked.front().first)] = false;
        m_asked.pop_front();
    }
    if (!m_worker.joinable()) {
        m_stopping = false;
        m_worker = std::thread(&CBoxThumbnails::Work, this);
    }
    m_wake.notify_one();
}

size_t CBoxThumbnails::Asked() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_asked.size();
}

std::vector<int> CBoxThumbnails::TakeMade()
{
    std::vector<Made> made;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        made.swap(m_made);
        m_told = false;
        // One that gave no picture stays asked: it is not made again.
        for (const Made& one : made) {
            if (!one.pixels.empty() && static_cast<size_t>(one.item) < m_pending.size())
                m_pending[static_cast<size_t>(one.item)] = false;
        }
    }
    std::vector<int> items;
    for (Made& one : made) {
        if (one.pixels.empty())
            continue;
        Hold(one.item, std::move(one.pixels));
        items.push_back(one.item);
    }
    return items;
}

void CBoxThumbnails::Hold(int item, std::vector<uint8_t>&& pixels)
{
    auto held = m_held.find(item);
    if (held != m_held.end()) {
        held->second.pixels = std::move(pixels);
        m_ages.splice(m_ages.begin(), m_ages, held->second.age);
        return;
    }
    m_ages.push_front(item);
    m_held[item] = Entry{std::move(pixels), m_ages.begin()};
    // The ones drawn longest ago go: the list shows them again only when
    // scrolled back, and they are made again then.
    while (m_held.size() > Capacity(m_box)) {
        m_held.erase(m_ages.back());
        m_ages.pop_back();
    }
}

void CBoxThumbnails::Clear()
{
    m_held.clear();
    m_ages.clear();
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_generation;
    m_asked.clear();
    m_made.clear();
    m_pending.clear();
}

void CBoxThumbnails::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        ++m_generation;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void CBoxThumbnails::Work()
{
    // Decoders may use COM; the window must answer while pictures are made.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_asked.empty(); });
        if (m_stopping)
            break;
        // The newest ask first: the pictures on screen now.
        const int item = m_asked.back().first;
        const CString path = m_asked.back().second;
        m_asked.pop_back();
        const unsigned generation = m_generation;
        const int box = m_workBox;
        CThumbnailCache* cache = m_cache;
        lock.unlock();

        std::vector<uint8_t> rows;
        // Read back when the window had no time to, else made and kept.
        const unsigned cached = cache ? cache->Generation() : 0;
        if (box > 0 && cache && cache->Has(item, box)) {
            rows.resize(static_cast<size_t>(box) * static_cast<size_t>(box) * 3);
            if (!cache->Read(item, box, rows.data()))
                rows.clear();
        }
        ThumbnailPixels pixels;
        if (box > 0 && rows.empty() && RenderThumbnail(path, pixels, nullptr, box)) {
            rows.resize(pixels.size() * 3);
            for (size_t i = 0; i < pixels.size(); ++i) {
                rows[i * 3] = static_cast<uint8_t>(pixels[i]);
                rows[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
                rows[i * 3 + 2] = static_cast<uint8_t>(pixels[i] >> 16);
            }
            if (cache)
                cache->Write(item, rows.data(), box, cached);
        }

        lock.lock();
        if (generation != m_generation)
            continue;
        // A file that gives no picture stays with its small thumbnail.
        m_made.push_back(Made{item, std::move(rows)});
        if (!m_told && m_window && PostMessageA(m_window, m_message, 0, 0))
            m_told = true;
    }
    lock.unlock();
    if (SUCCEEDED(com))
        CoUninitialize();
}
