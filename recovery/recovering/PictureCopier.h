// Copies the ticked pictures into the save folder on a thread of its own,
// as fast as the disks allow, while the window shows how far it is.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "Framework.h"

class CPictureCopier {
public:
    enum class Outcome {
        Copied,
        AlreadyThere,   // the same bytes were there already: counts as copied
        Gone,           // the picture's file was deleted since the analysis
        Refused,        // the save folder would not take it
        FolderMissing,  // the save folder is not there and cannot be made: stop
    };
    // Copies one picture into the folder under name (a path inside it);
    // copied receives the file that holds it (name, or "name (2)" when name
    // was taken).
    using CopyOne =
        std::function<Outcome(const CString& source, const CString& folder, const CString& name, CString& copied)>;
    // Told of each picture dealt with, on the run's thread: its place in
    // sources, how it went and where it went.
    using AfterOne = std::function<void(size_t at, Outcome outcome, const CString& copied)>;

    CPictureCopier() = default;
    ~CPictureCopier();
    CPictureCopier(const CPictureCopier&) = delete;
    CPictureCopier& operator=(const CPictureCopier&) = delete;

    // names: each source's path inside the folder (its own file name when
    // not given). sizes, when given, holds each source's bytes, for
    // BytesDone.
    void Start(std::vector<CString> sources, const CString& folder, CopyOne copy,
               std::vector<uint64_t> sizes = {}, std::vector<CString> names = {}, AfterOne after = nullptr);
    // Pictures dealt with so far, copied or not.
    int Done() const { return m_done; }
    // Pictures dealt with up to the last one whose file was there: what the
    // progress shows, so that a picture deleted since the analysis moves
    // the count on without a step of its own.
    int Shown() const { return m_shown; }
    int Total() const { return static_cast<int>(m_sources.size()); }
    // The bytes of the pictures dealt with so far (from the sizes given).
    uint64_t BytesDone() const { return m_bytesDone; }
    // The run is going: started, not yet finished.
    bool Running() const { return m_thread.joinable() && !m_finished; }
    // The run has ended: every picture dealt with, a missing folder, or a
    // stop asked for.
    bool Finished() const { return m_finished; }
    bool FolderMissing() const { return m_folderMissing; }
    // After the end: an empty entry for each picture whose file was gone,
    // the source of each copy the folder refused.
    std::vector<CString> Failures();
    // After the end: the places in sources of the pictures copied (or found
    // in the folder already), in order.
    std::vector<int> Copied();
    // Asks the run to end after the picture being copied, without waiting:
    // Finished says when it has. What was copied stays.
    void RequestStop() { m_stop = true; }
    // The run ended because a stop was asked for, with pictures left.
    bool Cancelled() const { return m_cancelled; }
    // Stops after the picture being copied and waits for the thread.
    void Stop();

private:
    void Run();

    std::vector<CString> m_sources;
    std::vector<CString> m_names;
    CString m_folder;
    CopyOne m_copy;
    AfterOne m_after;
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<CString> m_failures;
    std::vector<int> m_copied;
    std::vector<uint64_t> m_sizes;
    std::atomic<uint64_t> m_bytesDone{0};
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_done{0};
    std::atomic<int> m_shown{0};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_folderMissing{false};
    std::atomic<bool> m_stop{false};
};
