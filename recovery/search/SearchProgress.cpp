#include "SearchProgress.h"

#include <cmath>

namespace {

// Polls closer together than this read the same file again.
const ULONGLONG kPollIntervalMs = 250;
// File times on FAT are kept in two-second steps: a file written just after
// the start may carry a time just before it.
const ULONGLONG kFileTimeSlack = 2ull * 10000000ull;
// Anything larger is no progress file.
const DWORD kLargestFile = 4096;

ULONGLONG AsNumber(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

void CTimeLeftEstimate::Add(double seconds, uint64_t searched)
{
    // A figure that went back restarts the measurement rather than
    // spoiling it. One that stands still is kept: a stall slows the rate.
    if (!m_samples.empty() && (searched < m_samples.back().searched || seconds <= m_samples.back().seconds))
        m_samples.clear();
    // The time before reading started (a disk spinning up, a first read
    // that hangs) is no part of the rate: it starts at the last standstill.
    if (!m_samples.empty() && searched != m_samples.back().searched &&
        m_samples.front().searched == m_samples.back().searched)
        m_samples.erase(m_samples.begin(), m_samples.end() - 1);
    m_samples.push_back({seconds, searched});
    // Keep one sample at or before the stretch's start, so the stretch is whole.
    while (m_samples.size() > 2 && seconds - m_samples[1].seconds >= kStretchSeconds)
        m_samples.pop_front();
}

double CTimeLeftEstimate::SecondsLeft(uint64_t size) const
{
    if (m_samples.size() < 2)
        return -1;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const double span = last.seconds - first.seconds;
    if (span < m_leastSeconds || last.searched <= first.searched || last.searched > size)
        return -1;
    // A figure that has stood still that long: the disk is not answering,
    // and nothing says when it will again.
    size_t moved = m_samples.size() - 1;
    while (moved > 0 && m_samples[moved - 1].searched == last.searched)
        --moved;
    if (m_stillSeconds > 0 && last.seconds - m_samples[moved].seconds >= m_stillSeconds)
        return -1;
    const double rate = static_cast<double>(last.searched - first.searched) / span;
    return static_cast<double>(size - last.searched) / rate;
}

CString TimeLeftText(double seconds)
{
    CString text;
    const long long minutes = std::llround(seconds / 60);
    if (minutes < 1)
        return "less than a minute";
    if (minutes < 60) {
        text.Format(minutes == 1 ? "about %lld minute" : "about %lld minutes", minutes);
        return text;
    }
    const long long hours = std::llround(seconds / 3600);
    text.Format(hours == 1 ? "about %lld hour" : "about %lld hours", hours);
    return text;
}

bool ReadingRecords(const qv::SearchProgress& progress)
{
    // The records' size is 0 until they are all read, and the content
    // search starts only once the pictures they describe are checked.
    return !progress.ended && progress.searched == 0 &&
           (progress.recordsSize == 0 || progress.recordsChecked < progress.recordsSize);
}

CString SearchProgressLine(const qv::SearchProgress& progress, double secondsLeft)
{
    // Whole percents of the records' pass and the content search together,
    // rounded down: 100% only once the last byte is searched.
    const uint64_t done = qv::progressDone(progress), total = qv::progressTotal(progress);
    const unsigned percent = total ? static_cast<unsigned>(static_cast<double>(done) * 100 / total) : 0;
    const char* const pictures = progress.found == 1 ? "picture" : "pictures";
    CString line;
    if (ReadingRecords(progress)) {
        // No share: the bar shows it, and the records say only at their
        // end how much there is to check.
        line = "Reading the card's file records...";
        if (progress.found > 0) {
            CString found;
            found.Format(" %llu %s found", static_cast<unsigned long long>(progress.found), pictures);
            line += found;
        }
    } else {
        line.Format("%u%% searched - %llu %s found", percent, static_cast<unsigned long long>(progress.found),
                    pictures);
    }
    if (secondsLeft >= 0 && !progress.ended && done < total)
        line += " - " + TimeLeftText(secondsLeft) + " left";
    if (progress.unreadable > 0) {
        CString skipped;
        skipped.Format(" - %llu unreadable %s skipped", static_cast<unsigned long long>(progress.unreadable),
                       progress.unreadable == 1 ? "sector" : "sectors");
        line += skipped;
    }
    if (progress.givenUp > 0 && !progress.ended) {
        CString givenUp;
        givenUp.Format(" - The disk is not answering: %llu %s given up",
                       static_cast<unsigned long long>(progress.givenUp), progress.givenUp == 1 ? "sector" : "sectors");
        line += givenUp;
    }
    return line;
}

void CSearchProgress::Begin(const CString& outDir)
{
    m_strPath = qv::progressFilePath(outDir.str()).c_str();
    RemoveFiles();
    GetSystemTimeAsFileTime(&m_started);
    m_startTick = GetTickCount64();
    m_lastPollTick = 0;
    m_bValid = false;
    m_last = qv::SearchProgress();
    m_estimate.Reset();
}

bool CSearchProgress::Poll()
{
    const ULONGLONG now = GetTickCount64();
    if (m_lastPollTick != 0 && now - m_lastPollTick < kPollIntervalMs)
        return m_bValid;
    m_lastPollTick = now;
    qv::SearchProgress progress;
    // A file that cannot be read this time (being replaced) keeps what was
    // shown; one that is not this search's shows nothing.
    if (!ReadProgressFile(m_strPath, m_started, progress))
        return m_bValid;
    m_last = progress;
    m_bValid = true;
    m_estimate.Add(static_cast<double>(now - m_startTick) / 1000.0, qv::progressDone(progress));
    return true;
}

void CSearchProgress::End()
{
    RemoveFiles();
    m_bValid = false;
    m_estimate.Reset();
}

int CSearchProgress::Permille() const
{
    const uint64_t total = qv::progressTotal(m_last);
    if (!m_bValid || total == 0)
        return 0;
    return static_cast<int>(static_cast<double>(qv::progressDone(m_last)) * 1000 / total);
}

CString CSearchProgress::Line() const
{
    if (!m_bValid)
        return CString();
    return SearchProgressLine(m_last, m_estimate.SecondsLeft(qv::progressTotal(m_last)));
}

bool CSearchProgress::ReadProgressFile(const CString& path, const FILETIME& notBefore, qv::SearchProgress& progress)
{
    if (path.IsEmpty())
        return false;
    // Sharing deletion too: the engine renames the next version over this
    // file while it may be open here.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[kLargestFile];
    DWORD read = 0;
    FILETIME written = {};
    const bool ok = GetFileTime(file, nullptr, nullptr, &written) &&
                    ::ReadFile(file, text, sizeof text, &read, nullptr) && read < sizeof text;
    CloseHandle(file);
    if (!ok || AsNumber(written) + kFileTimeSlack < AsNumber(notBefore))
        return false;
    return qv::parseProgress(text, read, progress);
}

void CSearchProgress::RemoveFiles() const
{
    if (m_strPath.IsEmpty())
        return;
    DeleteFileA(m_strPath);
    DeleteFileA(m_strPath + ".tmp");
}
