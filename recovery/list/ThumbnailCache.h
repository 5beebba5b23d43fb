// The thumbnails the list has made, kept in a file on the search's work
// folder's disk ("thumbnails.cache", in the folder the list is given) so that the ones let go from memory come back
// from the disk in a fraction of a millisecond rather than by decoding their
// pictures again. Each record is one item's thumbnail at one side (rows from
// the top, each pixel blue, green, red), with a check of its pixels; where
// each record lies is held here. A list's file is made new when it is
// opened and deleted when it is closed: its records are by the list's items.
//
// A disk that is full, read-only or gone means no cache, never an error:
// what cannot be written is not let go, and what cannot be read back (a
// record that fails its check, a file cut short) is decoded again.
//
// Thumbnails handed to WriteLater are written by the cache's own thread;
// Write and Read may be called on any thread; a read never waits for a write
// under way to reach the disk.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Framework.h"

class CThumbnailCache {
public:
    static const char kFileName[];
    // Past this size only the small thumbnails are written (they are what
    // memory is bounded by); larger ones are decoded again.
    static const uint64_t kLargestFile = 3ull << 30;

    CThumbnailCache() = default;
    ~CThumbnailCache();
    CThumbnailCache(const CThumbnailCache&) = delete;
    CThumbnailCache& operator=(const CThumbnailCache&) = delete;

    // A new, empty cache file in folder (one left there is replaced); false
    // when it cannot be made, and then there is no cache.
    bool Open(const CString& folder);
    // Waits for the write under way, forgets what is waiting, closes and
    // deletes the file.
    void Close();
    bool IsOpen() const;
    // Changes with every Open and Close: a write made for another file's
    // items is refused (see Write).
    unsigned Generation() const;

    // Hands the item's side x side thumbnail to the cache's thread, which
    // writes it unless it is written already. The pixels are read there:
    // they must stay until Has answers true for them or Close returns.
    // message is posted to window whenever what was handed over is written.
    void WriteLater(int item, const uint8_t* pixels, int side);
    void NotifyWhenWritten(HWND window, UINT message);
    // Handed over and not written yet.
    size_t Waiting() const;
    // Returns once at most count are waiting.
    void WaitUntilWaiting(size_t count);

    // Writes the item's side x side thumbnail now, for the file of this
    // generation; false when it was not written.
    bool Write(int item, const uint8_t* pixels, int side, unsigned generation);
    // Whether the item has a record at this side.
    bool Has(int item, int side) const;
    // Has, for every item at once (by item; shorter than the items when
    // the last have no record).
    std::vector<bool> Kept(int side) const;
    // Reads the item's thumbnail back into pixels (side x side x 3 bytes);
    // false when there is no record, or it does not check out (it is then
    // forgotten).
    bool Read(int item, int side, uint8_t* pixels);
    // Records read back whole so far.
    size_t ReadBack() const;

private:
    struct Waiter {
        int item;
        const uint8_t* pixels;
        int side;
    };
    // Where each item's record of a side lies in the file.
    std::vector<int64_t>* PlacesOf(int side);
    const std::vector<int64_t>* PlacesOf(int side) const;
    struct Placed {
        int item;
        int side;
    };
    // Adds the item's record to records.
    static void AddRecord(std::vector<uint8_t>& records, int item, const uint8_t* pixels, int side);
    // Writes records (of placed, in order) at the file's end; called and
    // returns with lock held, which it lets go while it writes.
    bool WriteRecords(std::unique_lock<std::mutex>& lock, const std::vector<Placed>& placed,
                      const std::vector<uint8_t>& records);
    bool HasLocked(int item, int side) const;
    void Work();
    void StopWorker(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    HANDLE m_reader = INVALID_HANDLE_VALUE;  // the same file, for reads
    int m_using = 0;                         // reads and writes under way outside the lock
    CString m_path;
    uint64_t m_end = 0;
    bool m_failed = false;  // a write failed: no more are tried
    unsigned m_generation = 0;
    std::unordered_map<int, std::vector<int64_t>> m_places;  // by side
    std::deque<Waiter> m_waiting;
    size_t m_inWrite = 0;  // taken from m_waiting, being written
    bool m_stopping = false;
    size_t m_readBack = 0;
    HWND m_window = nullptr;
    UINT m_message = 0;
    std::thread m_worker;
};
