#include "ThumbnailCache.h"

#include <cstring>

namespace {

const uint32_t kRecordMark = 0x31545651;  // "QVT1"
// Posted to the window after this many written, as well as when none wait:
// memory can be given back while a long row of them is written.
const size_t kTellEvery = 1024;
// Written together at most (768 KB of small thumbnails).
const size_t kBatch = 64;

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

// FNV-1a over the pixels, four bytes a step, with the item and side in
// front: a record moved, cut short or overwritten does not check out.
uint32_t Check(int item, int side, const uint8_t* pixels, size_t bytes)
{
    uint32_t hash = 2166136261u ^ static_cast<uint32_t>(item) * 16777619u ^ static_cast<uint32_t>(side);
    size_t i = 0;
    for (; i + 4 <= bytes; i += 4) {
        uint32_t word;
        std::memcpy(&word, pixels + i, 4);
        hash = (hash ^ word) * 16777619u;
    }
    for (; i < bytes; ++i)
        hash = (hash ^ pixels[i]) * 16777619u;
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
    // Reads through a handle of their own: the system queues the reads and
    // writes of one handle behind each other, and the window's reads must
    // not wait for a worker's write.
    HANDLE reader = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::lock_guard<std::mutex> lock(m_lock);
    m_file = file;
    m_reader = reader;
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
    // No read or write starts now; those under way end first.
    const HANDLE file = m_file;
    const HANDLE reader = m_reader;
    m_file = INVALID_HANDLE_VALUE;
    m_reader = INVALID_HANDLE_VALUE;
    m_drained.wait(lock, [this] { return m_using == 0; });
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileA(m_path);
    }
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
    m_inWrite = 0;
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
    return m_waiting.size() + m_inWrite;
}

void CThumbnailCache::WaitUntilWaiting(size_t count)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_drained.wait(lock, [&] { return m_waiting.size() + m_inWrite <= count || !m_worker.joinable(); });
}

bool CThumbnailCache::Write(int item, const uint8_t* pixels, int side, unsigned generation)
{
    if (item < 0 || !pixels || side <= 0)
        return false;
    std::vector<uint8_t> record;
    AddRecord(record, item, pixels, side);
    std::unique_lock<std::mutex> lock(m_lock);
    if (generation != m_generation)
        return false;
    return HasLocked(item, side) || WriteRecords(lock, {Placed{item, side}}, record);
}

void CThumbnailCache::AddRecord(std::vector<uint8_t>& records, int item, const uint8_t* pixels, int side)
{
    const size_t bytes = PixelBytes(side);
    const size_t at = records.size();
    records.resize(at + sizeof(RecordHead) + bytes);
    const RecordHead head = {kRecordMark, item, side, Check(item, side, pixels, bytes)};
    std::memcpy(records.data() + at, &head, sizeof head);
    std::memcpy(records.data() + at + sizeof head, pixels, bytes);
}

bool CThumbnailCache::WriteRecords(std::unique_lock<std::mutex>& lock, const std::vector<Placed>& placed,
                                   const std::vector<uint8_t>& records)
{
    if (m_file == INVALID_HANDLE_VALUE || m_failed || placed.empty())
        return false;
    bool larger = false;
    for (const Placed& one : placed)
        larger = larger || one.side > 64;
    if (larger && m_end + records.size() > kLargestFile)
        return false;
    // Their place is taken now and written outside the lock, so that a
    // slow write (a disk flushing) never holds up the window's reads; the
    // records are found only once they are written. One write for the lot,
    // so that a full disk leaves none of them half written among whole ones.
    const uint64_t start = m_end;
    m_end += records.size();
    const HANDLE file = m_file;
    ++m_using;
    lock.unlock();
    OVERLAPPED place = {};
    place.Offset = static_cast<DWORD>(start);
    place.OffsetHigh = static_cast<DWORD>(start >> 32);
    DWORD written = 0;
    const bool whole = WriteFile(file, records.data(), static_cast<DWORD>(records.size()), &written, &place) &&
                       written == records.size();
    lock.lock();
    --m_using;
    m_drained.notify_all();
    if (!whole) {
        // A full or read-only disk: nothing more is written; what is there
        // is still read back.
        m_failed = true;
        return false;
    }
    uint64_t at = start;
    for (const Placed& one : placed) {
        std::vector<int64_t>& places = *PlacesOf(one.side);
        if (static_cast<size_t>(one.item) >= places.size())
            places.resize(static_cast<size_t>(one.item) + 1, -1);
        places[static_cast<size_t>(one.item)] = static_cast<int64_t>(at);
        at += sizeof(RecordHead) + PixelBytes(one.side);
    }
    return true;
}

bool CThumbnailCache::Read(int item, int side, uint8_t* pixels)
{
    if (item < 0 || !pixels || side <= 0)
        return false;
    const size_t bytes = PixelBytes(side);
    RecordHead head = {};
    int64_t at = -1;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::unique_lock<std::mutex> lock(m_lock);
    const std::vector<int64_t>* found = PlacesOf(side);
    if (m_file == INVALID_HANDLE_VALUE || !found || static_cast<size_t>(item) >= found->size())
        return false;
    at = (*found)[static_cast<size_t>(item)];
    if (at < 0)
        return false;
    file = m_reader != INVALID_HANDLE_VALUE ? m_reader : m_file;
    // Read and checked outside the lock: Close waits for it.
    ++m_using;
    lock.unlock();
    const bool whole = ReadAt(file, static_cast<uint64_t>(at), &head, sizeof head) &&
                       ReadAt(file, static_cast<uint64_t>(at) + sizeof head, pixels, static_cast<DWORD>(bytes)) &&
                       head.mark == kRecordMark && head.item == item && head.side == side &&
                       head.check == Check(item, side, pixels, bytes);
    lock.lock();
    --m_using;
    m_drained.notify_all();
    if (whole) {
        ++m_readBack;
        return true;
    }
    // Made again by whoever asked, and written again then.
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
    std::vector<Waiter> batch;
    std::vector<Placed> placed;
    std::vector<uint8_t> records;
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            break;
        // Those waiting written together, a few at a time: one write each.
        batch.clear();
        while (!m_waiting.empty() && batch.size() < kBatch) {
            if (!HasLocked(m_waiting.front().item, m_waiting.front().side))
                batch.push_back(m_waiting.front());
            m_waiting.pop_front();
        }
        m_inWrite = batch.size();
        if (!batch.empty() && !m_failed) {
            // The pixels stay until written (see WriteLater) or the worker
            // is stopped, which waits for this.
            lock.unlock();
            placed.clear();
            records.clear();
            for (const Waiter& one : batch) {
                AddRecord(records, one.item, one.pixels, one.side);
                placed.push_back(Placed{one.item, one.side});
            }
            lock.lock();
            WriteRecords(lock, placed, records);
        }
        m_inWrite = 0;
        if (m_failed)
            m_waiting.clear();
        sinceTold += batch.size();
        if ((m_waiting.empty() || sinceTold >= kTellEvery) && m_window) {
            PostMessageA(m_window, m_message, 0, 0);
            sinceTold = 0;
        }
        m_drained.notify_all();
    }
}
