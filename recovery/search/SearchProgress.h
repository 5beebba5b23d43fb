// The engine's progress file as the Analysing view shows it: read on the
// rescan tick, checked, turned into a share, a time left and one line.
// A missing, unreadable, inconsistent or stale file shows nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>

#include "Framework.h"
#include "progress_file.h"

// Time left from the rate over the last stretch of the search. The rate is
// taken across the whole stretch, so one slow or quick read does not make
// the figure jump about. None in the first seconds, nor, for a search,
// while the figure has stood still for as long (the disk is not answering).
class CTimeLeftEstimate {
public:
    // The stretch the rate is measured over, and the least of it that must
    // have passed, with bytes read, before any estimate is given.
    static constexpr double kStretchSeconds = 30.0;
    static constexpr double kLeastSeconds = 5.0;

    // A steadier measure (a copy's) may give its first figure sooner, and
    // keep one through a standstill (stillSeconds 0).
    explicit CTimeLeftEstimate(double leastSeconds = kLeastSeconds, double stillSeconds = kLeastSeconds)
        : m_leastSeconds(leastSeconds), m_stillSeconds(stillSeconds) {}

    void Reset() { m_samples.clear(); }
    // Bytes searched at a time in seconds (from any fixed start).
    void Add(double seconds, uint64_t searched);
    // Seconds left for a disk of size bytes; negative while unknown.
    double SecondsLeft(uint64_t size) const;

private:
    struct Sample {
        double seconds;
        uint64_t searched;
    };
    std::deque<Sample> m_samples;
    double m_leastSeconds;
    double m_stillSeconds;
};

// "less than a minute", "about 4 minutes", "about 2 hours".
CString TimeLeftText(double seconds);
// Whether the engine is still in its first stage, reading the file systems'
// records and checking the pictures they describe: the content search has
// not searched a byte yet and the records' pass has not told it is through.
bool ReadingRecords(const qv::SearchProgress& progress);

// "Reading the card's file records... 12 pictures found" in the first stage,
// then "37% searched - 412 pictures found - about 4 minutes left" (the share of
// the file systems' pass and the content search together), with
// "- 12 unreadable sectors skipped" when there are any, and while the search
// runs "- The disk is not answering: 3 sectors given up" when reads were
// given up; no time left when secondsLeft is negative.
CString SearchProgressLine(const qv::SearchProgress& progress, double secondsLeft);

class CSearchProgress {
public:
    // A search that writes into outDir is about to start: the file of an
    // earlier one goes, and anything older than now is not taken.
    void Begin(const CString& outDir);
    // Reads the file again (at most a few times a second); true while there
    // is progress of this search to show.
    bool Poll();
    // The search is over: forget it and remove its file.
    void End();

    bool Showing() const { return m_bValid; }
    // Share searched in thousandths (0..1000), the file systems' pass
    // included.
    int Permille() const;
    CString Line() const;
    const qv::SearchProgress& Last() const { return m_last; }

    // One read of a progress file written at or after notBefore; false for
    // a missing, older, unreadable or inconsistent one.
    static bool ReadProgressFile(const CString& path, const FILETIME& notBefore, qv::SearchProgress& progress);

private:
    void RemoveFiles() const;

    CString m_strPath;
    FILETIME m_started = {};
    ULONGLONG m_lastPollTick = 0;
    ULONGLONG m_startTick = 0;
    bool m_bValid = false;
    qv::SearchProgress m_last;
    CTimeLeftEstimate m_estimate;
};
