// The medium and large thumbnails of the pictures the list shows. Every
// find keeps its small one (CPictureItems); the larger ones would take 200
// KB a picture at the large size, so only a bounded number are held: those
// drawn last, which are the ones on screen and a margin of some screens
// around them. One asked for and not held is made on a worker thread, the
// newest asked first (what is on screen now before what was scrolled past),
// by reading it back from the cache file, or else by decoding the file
// again (and then it is written to the cache); the window is told by a
// posted message when some are done and takes them with TakeMade.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Framework.h"
#include "ThumbnailCache.h"

class CBoxThumbnails {
public:
    // Bytes the held thumbnails may take together.
    static const size_t kBudget = 160u * 1024 * 1024;

    // budget: bytes the held thumbnails may take together.
    explicit CBoxThumbnails(size_t budget = kBudget) : m_budget(budget) {}
    ~CBoxThumbnails();
    CBoxThumbnails(const CBoxThumbnails&) = delete;
    CBoxThumbnails& operator=(const CBoxThumbnails&) = delete;

    // Thumbnails box x box from now on (those held are dropped); done ones
    // are told to window with message. The small box holds none.
    void SetBox(int box, HWND window, UINT message);
    int Box() const { return m_box; }
    // How many thumbnails of box x box are held at most.
    size_t Capacity(int box) const;

    // Thumbnails made are kept in cache and read back from it (the cache
    // must outlive this).
    void UseCache(CThumbnailCache* cache) { m_cache = cache; }

    // The item's thumbnail (box rows from the top of box pixels, each blue,
    // green, red), held or read back from the cache now; null when neither.
    const uint8_t* Get(int item);
    // Asks for the item's thumbnail to be made from its file, unless it is
    // asked for already (or gave no picture at this size).
    void Ask(int item, const CString& path);
    // Thumbnails made since the last call, now held: their items.
    std::vector<int> TakeMade();
    // Held now, and asked for but not made yet.
    size_t Held() const { return m_held.size(); }
    size_t Asked() const;
    // Drops everything held and asked for (the list was emptied).
    void Clear();

private:
    struct Made {
        int item;
        std::vector<uint8_t> pixels;  // empty: the file gave no picture
    };
    struct Entry {
        std::vector<uint8_t> pixels;
        std::list<int>::iterator age;
    };

    void Work();
    void Stop();
    void Hold(int item, std::vector<uint8_t>&& pixels);

    size_t m_budget;
    int m_box = 0;
    CThumbnailCache* m_cache = nullptr;
    // Held thumbnails; m_ages has the items, last drawn first.
    std::unordered_map<int, Entry> m_held;
    std::list<int> m_ages;

    // Shared with the worker.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::pair<int, CString>> m_asked;  // newest at the back
    std::vector<Made> m_made;
    std::vector<bool> m_pending;  // by item: asked or being made
    unsigned m_generation = 0;    // results of an older one are dropped
    int m_workBox = 0;
    HWND m_window = nullptr;
    UINT m_message = 0;
    bool m_told = false;  // a message is on its way
    bool m_stopping = false;
    std::thread m_worker;
};
