#include "ThumbnailCache.h"

#include <cstring>

namespace {

const uint32_t kRecordMark = 0x31545651;  // "QVT1"
// Posted to the window after this many written, as well as when none wait:
// memory can be given back while a long row of them is written.
const size_t kTellEvery = 1024;

struct RecordHead {
    uint32_t mark;
    int32_t item;
    int32_t side;
    uint32_t check;
};

size_t PixelBytes(int side)
{
    return static_cast<size_t>(side) * static_cast<size_t>(side) * 3;
}

// FNV-1a over the pixels, with the item and side in front: a record moved,
// cut short or overwritten does not check out.
uint32_t Check(int item, int side, const uint8_t* pixels, size_t bytes)
{
    uint32_t hash = 2166136261u ^ static_cast<uint32_t>(item) * 16777619u ^ static_cast<uint32_t>(side);
    for (size_t i = 0; i < bytes; ++i) {
        hash ^= pixels[i];
        hash *= 16777619u;
    }
    return hash;
}

bool ReadAt(HANDLE file, uint64_t at, void* into, DWORD bytes)
{
    OVERLAPPED place = {};
    place.Offset = static_cast<DWORD>(at);
    place.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD read = 0;
    return ReadFile(file, into, bytes, &read, &place) && read == bytes;
}

}  // namespace

const char CThumbnailCache::kFileName[] = "thumbnails.cache";

CThumbnailCache::~CThumbnailCache()
{
    Close();
}

bool CThumbnailCache::Open(const CString& folder)
{
    Close();
    if (folder.IsEmpty())
        return false;
    CString path = folder;
    if (path.Right(1) != "\\")
        path += "\\";
    path += kFileName;
    // Shared for writing: a look at the file from elsewhere is harmless,
    // every record is checked as it is read.
    HANDLE file =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::lock_guard<std::mutex> lock(m_lock);
    m_file = file;
    m_path = path;
    m_end = 0;
    m_failed = false;
    ++m_generation;
    return true;
}

void CThumbnailCache::Close()
{
    std::unique_lock<std::mutex> lock(m_lock);
    StopWorker(lock);
    if (m_file != INVALID_HANDLE_VALUE) {
        CloseHandle(m_file);
        DeleteFileA(m_path);
    }
    m_file = INVALID_HANDLE_VALUE;
    m_path = "";
    m_end = 0;
    m_places.clear();
    m_waiting.clear();
    m_readBack = 0;
    ++m_generation;
}

void CThumbnailCache::StopWorker(std::unique_lock<std::mutex>& lock)
{
    if (!m_worker.joinable())
        return;
    m_stopping = true;
    m_wake.notify_all();
    lock.unlock();
    m_worker.join();
    lock.lock();
    m_stopping = false;
    m_writing = false;
    m_drained.notify_all();
}

bool CThumbnailCache::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_file != INVALID_HANDLE_VALUE && !m_failed;
}

unsigned CThumbnailCache::Generation() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_generation;
}

std::vector<int64_t>* CThumbnailCache::PlacesOf(int side)
{
    return &m_places[side];
}

const std::vector<int64_t>* CThumbnailCache::PlacesOf(int side) const
{
    const auto places = m_places.find(side);
    return places == m_places.end() ? nullptr : &places->second;
}

bool CThumbnailCache::Has(int item, int side) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return HasLocked(item, side);
}

bool CThumbnailCache::HasLocked(int item, int side) const
{
    const std::vector<int64_t>* places = PlacesOf(side);
    return places && item >= 0 && static_cast<size_t>(item) < places->size() &&
           (*places)[static_cast<size_t>(item)] >= 0;
}

std::vector<bool> CThumbnailCache::Kept(int side) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<bool> kept;
    if (const std::vector<int64_t>* places = PlacesOf(side)) {
        kept.resize(places->size());
        for (size_t item = 0; item < places->size(); ++item)
            kept[item] = (*places)[item] >= 0;
    }
    return kept;
}

void CThumbnailCache::NotifyWhenWritten(HWND window, UINT message)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = window;
    m_message = message;
}

void CThumbnailCache::WriteLater(int item, const uint8_t* pixels, int side)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file == INVALID_HANDLE_VALUE || m_failed || item < 0 || !pixels || side <= 0)
        return;
    m_waiting.push_back(Waiter{item, pixels, side});
    if (!m_worker.joinable())
        m_worker = std::thread(&CThumbnailCache::Work, this);
    m_wake.notify_one();
}

size_t CThumbnailCache::Waiting() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_waiting.size() + (m_writing ? 1 : 0);
}

void CThumbnailCache::WaitUntilWaiting(size_t count)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_drained.wait(lock, [&] { return m_waiting.size() + (m_writing ? 1 : 0) <= count || !m_worker.joinable(); });
}

bool CThumbnailCache::Write(int item, const uint8_t* pixels, int side, unsigned generation)
{
    if (item < 0 || !pixels || side <= 0)
        return false;
    const std::vector<uint8_t> record = Record(item, pixels, side);
    std::lock_guard<std::mutex> lock(m_lock);
    return generation == m_generation && WriteLocked(item, side, record);
}

std::vector<uint8_t> CThumbnailCache::Record(int item, const uint8_t* pixels, int side)
{
    const size_t bytes = PixelBytes(side);
    std::vector<uint8_t> record(sizeof(RecordHead) + bytes);
    const RecordHead head = {kRecordMark, item, side, Check(item, side, pixels, bytes)};
    std::memcpy(record.data(), &head, sizeof head);
    std::memcpy(record.data() + sizeof head, pixels, bytes);
    return record;
}

bool CThumbnailCache::WriteLocked(int item, int side, const std::vector<uint8_t>& record)
{
    if (m_file == INVALID_HANDLE_VALUE || m_failed)
        return false;
    std::vector<int64_t>& places = *PlacesOf(side);
    if (static_cast<size_t>(item) < places.size() && places[static_cast<size_t>(item)] >= 0)
        return true;
    if (side > 64 && m_end + record.size() > kLargestFile)
        return false;
    // One write a record, so that a full disk leaves no record half written
    // among whole ones.
    OVERLAPPED place = {};
    place.Offset = static_cast<DWORD>(m_end);
    place.OffsetHigh = static_cast<DWORD>(m_end >> 32);
    DWORD written = 0;
    if (!WriteFile(m_file, record.data(), static_cast<DWORD>(record.size()), &written, &place) ||
        written != record.size()) {
        // A full or read-only disk: nothing more is written; what is there
        // is still read back.
        m_failed = true;
        return false;
    }
    if (static_cast<size_t>(item) >= places.size())
        places.resize(static_cast<size_t>(item) + 1, -1);
    places[static_cast<size_t>(item)] = static_cast<int64_t>(m_end);
    m_end += record.size();
    return true;
}

bool CThumbnailCache::Read(int item, int side, uint8_t* pixels)
{
    if (item < 0 || !pixels || side <= 0)
        return false;
    const size_t bytes = PixelBytes(side);
    RecordHead head = {};
    int64_t at = -1;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const std::vector<int64_t>* places = PlacesOf(side);
        if (m_file == INVALID_HANDLE_VALUE || !places || static_cast<size_t>(item) >= places->size())
            return false;
        at = (*places)[static_cast<size_t>(item)];
        if (at < 0)
            return false;
        if (ReadAt(m_file, static_cast<uint64_t>(at), &head, sizeof head) &&
            ReadAt(m_file, static_cast<uint64_t>(at) + sizeof head, pixels, static_cast<DWORD>(bytes)) &&
            head.mark == kRecordMark && head.item == item && head.side == side) {
            // Checked below, outside the lock.
        } else {
            head.mark = 0;
        }
    }
    if (head.mark == kRecordMark && head.check == Check(item, side, pixels, bytes)) {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_readBack;
        return true;
    }
    // Made again by whoever asked, and written again then.
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<int64_t>* places = PlacesOf(side);
    if (static_cast<size_t>(item) < places->size() && (*places)[static_cast<size_t>(item)] == at)
        (*places)[static_cast<size_t>(item)] = -1;
    return false;
}

size_t CThumbnailCache::ReadBack() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_readBack;
}

void CThumbnailCache::Work()
{
    // Below the window's thread: writing is never in a hurry.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    std::unique_lock<std::mutex> lock(m_lock);
    size_t sinceTold = 0;
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            break;
        const Waiter next = m_waiting.front();
        m_waiting.pop_front();
        m_writing = true;
        if (!m_failed && !HasLocked(next.item, next.side)) {
            // The pixels stay until written (see WriteLater) or the worker
            // is stopped, which waits for this.
            lock.unlock();
            const std::vector<uint8_t> record = Record(next.item, next.pixels, next.side);
            lock.lock();
            WriteLocked(next.item, next.side, record);
        }
        m_writing = false;
        if (m_failed)
            m_waiting.clear();
        ++sinceTold;
        if ((m_waiting.empty() || sinceTold >= kTellEvery) && m_window) {
            PostMessageA(m_window, m_message, 0, 0);
            sinceTold = 0;
        }
        m_drained.notify_all();
    }
}
