// Makes the picture list's thumbnails on worker threads, so that the window
// only puts finished ones into the list. Files go in in the order the data
// folder's walk finds them and come back in the same order, whichever
// worker finishes first.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Framework.h"
#include "Thumbnail.h"
#include "lock.h"
#include "WorkerShare.h"

class CThumbnailMaker {
public:
    enum class Outcome {
        Picture,     // pixels hold its thumbnail
        NotPicture,  // closed by the engine, but no picture GDI+ can read
        NotReady,    // still held open by the engine
        Gone,        // no longer there
    };
    struct Result {
        CString path;
        Outcome outcome = Outcome::Gone;
        ThumbnailPixels pixels;
        PictureDetails details;  // for Picture and NotPicture
    };

    CThumbnailMaker() = default;
    ~CThumbnailMaker();
    CThumbnailMaker(const CThumbnailMaker&) = delete;
    CThumbnailMaker& operator=(const CThumbnailMaker&) = delete;

    // Queues a file; the workers start with the first one.
    void Add(const CString& path);
    // The next result in the order of Add, once it is done.
    bool TakeNext(Result& result);
    // Files added and not taken back yet.
    size_t Waiting() const;
    // Forgets every file added; a worker busy with one drops its result.
    void Clear();
    // Ends the workers (waiting for the file each is on) and forgets
    // everything. Add starts them again.
    void Stop();
    // While the search runs the workers take the share of the machine
    // CWorkerShare gives them, and run below it; after its end they take
    // every core. Searching until told otherwise.
    void SetSearching(bool searching);

private:
    struct Job {
        Result result;
        bool done = false;
    };

    void Work();

    // Taken at every hand-off of a file, by the window and the workers: a
    // lock that waits within the process (lock.h).
    mutable qv::Mutex m_lock;
    qv::CondVar m_wake;
    std::deque<std::shared_ptr<Job>> m_order;  // not taken back, in the order added
    std::deque<std::shared_ptr<Job>> m_todo;   // not started
    std::vector<std::thread> m_workers;
    bool m_stopping = false;
    bool m_searching = true;
    unsigned m_busy = 0;  // workers on a file, or resting after one
    CWorkerShare m_share{1};
};
