// The search's progress as the window reads and words it: the file read
// while the engine's runtime replaces it, files that must not be shown, the
// time left and the line.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "SearchProgress.h"
#include "UiTest.h"

using namespace uitest;

namespace {

FILETIME Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}

qv::SearchProgress Progress(uint64_t searched, uint64_t size, uint64_t found, uint64_t unreadable = 0)
{
    qv::SearchProgress p;
    p.searched = searched;
    p.size = size;
    p.found = found;
    p.unreadable = unreadable;
    return p;
}

const uint64_t kMB = 1000000;

}  // namespace

TEST(SearchProgressFile, NeverTornWhileTheEngineReplacesIt)
{
    // The engine's own runtime does the replacing.
    HMODULE runtime = LoadLibraryA(QV_ENGINE_RUNTIME);
    ASSERT_NE(runtime, nullptr);
    using Replace = int (*)(const char*, const void*, size_t);
    const auto replace = reinterpret_cast<Replace>(reinterpret_cast<void*>(GetProcAddress(runtime, "qvrt_replace_file")));
    ASSERT_NE(replace, nullptr);

    TempFolder folder("progress-torn");
    const std::string path = folder.Join("data.progress");
    const std::string a = qv::formatProgress(Progress(7, 1000000000000ull, 1));
    const std::string b = qv::formatProgress(Progress(999999999999ull, 1000000000000ull, 123456, 77));
    const FILETIME start = Now();
    ASSERT_EQ(replace(path.c_str(), a.data(), a.size()), 0);
    std::atomic<bool> done{false};
    std::atomic<int> failedWrites{0};
    std::thread writer([&] {
        for (int i = 0; i < 500; ++i) {
            const std::string& text = i % 2 ? a : b;
            if (replace(path.c_str(), text.data(), text.size()) != 0)
                ++failedWrites;
        }
        done = true;
    });
    int reads = 0, misses = 0;
    while (!done) {
        qv::SearchProgress p;
        if (!CSearchProgress::ReadProgressFile(path.c_str(), start, p)) {
            ++misses;
            continue;
        }
        ++reads;
        const bool isA = p.searched == 7 && p.found == 1 && p.unreadable == 0;
        const bool isB = p.searched == 999999999999ull && p.found == 123456 && p.unreadable == 77;
        ASSERT_TRUE(isA || isB) << p.searched << " " << p.found;
    }
    writer.join();
    EXPECT_GT(reads, 0);
    // Windows refuses to rename over a file that is open, whatever it
    // shares: the engine's write then fails, leaves the last version
    // whole, and is made again at its next turn, which goes through.
    EXPECT_EQ(replace(path.c_str(), a.data(), a.size()), 0);
    EXPECT_FALSE(Exists(path + ".tmp"));
    std::printf("%d reads, %d refused, %d of 500 writes refused\n", reads, misses, failedWrites.load());
    FreeLibrary(runtime);
}

TEST(SearchProgressFile, MissingEmptyGarbledOrStaleIsNotTaken)
{
    TempFolder folder("progress-bad");
    const std::string path = folder.Join("data.progress");
    const FILETIME start = Now();
    qv::SearchProgress p;
    EXPECT_FALSE(CSearchProgress::ReadProgressFile(path.c_str(), start, p));
    WriteFileBytes(path, "");
    EXPECT_FALSE(CSearchProgress::ReadProgressFile(path.c_str(), start, p));
    WriteFileBytes(path, "searched=5\nsize=10\nfound=1\nunre");
    EXPECT_FALSE(CSearchProgress::ReadProgressFile(path.c_str(), start, p));
    WriteFileBytes(path, std::string(8192, 'x'));
    EXPECT_FALSE(CSearchProgress::ReadProgressFile(path.c_str(), start, p));

    WriteFileBytes(path, qv::formatProgress(Progress(5, 10, 1)));
    EXPECT_TRUE(CSearchProgress::ReadProgressFile(path.c_str(), start, p));
    // The same file from a search that started a minute before this one.
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ULARGE_INTEGER t;
    t.LowPart = start.dwLowDateTime;
    t.HighPart = start.dwHighDateTime;
    t.QuadPart -= 60ull * 10000000ull;
    const FILETIME old = {t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
    EXPECT_FALSE(CSearchProgress::ReadProgressFile(path.c_str(), start, p));
}

TEST(TimeLeft, SteadyRate)
{
    CTimeLeftEstimate estimate;
    // 10 MB/s on a 1000 MB disk, a reading every half second.
    for (int i = 0; i <= 20; ++i)
        estimate.Add(i * 0.5, static_cast<uint64_t>(i) * 5 * kMB);
    EXPECT_NEAR(estimate.SecondsLeft(1000 * kMB), 90.0, 0.01);
    for (int i = 21; i <= 200; ++i)
        estimate.Add(i * 0.5, static_cast<uint64_t>(i) * 5 * kMB);
    EXPECT_NEAR(estimate.SecondsLeft(1000 * kMB), 0.0, 0.01);
}

TEST(TimeLeft, FollowsAChangingRateWithoutJumping)
{
    CTimeLeftEstimate estimate;
    double t = 0;
    uint64_t searched = 0;
    for (; t < 60; t += 0.5, searched += 10 * kMB)  // 20 MB/s
        estimate.Add(t, searched);
    const uint64_t size = 100000 * kMB;
    const double fast = estimate.SecondsLeft(size);
    EXPECT_NEAR(fast, (size - (searched - 10 * kMB)) / (20.0 * kMB), 1.0);
    // The disk slows to 5 MB/s: each reading moves the estimate a little,
    // and after the stretch it is the new rate's.
    double previous = fast;
    for (double end = t + CTimeLeftEstimate::kStretchSeconds + 1; t < end; t += 0.5, searched += 2500000) {
        estimate.Add(t, searched);
        const double now = estimate.SecondsLeft(size);
        EXPECT_GE(now, previous - 1);
        EXPECT_LT(now, previous * 1.1);
        previous = now;
    }
    EXPECT_NEAR(estimate.SecondsLeft(size), (size - (searched - 2500000)) / (5.0 * kMB), 1.0);

    // A short stall: nothing moves for a moment, and the estimate grows.
    const double before = estimate.SecondsLeft(size);
    for (int i = 0; i < 6; ++i, t += 0.5)
        estimate.Add(t, searched - 2500000);
    const double stalled = estimate.SecondsLeft(size);
    EXPECT_GT(stalled, before);
    // A long one (the disk is not answering): no time is promised at all,
    // however quick the stretch before it was, until reading goes on again.
    for (int i = 0; i < 8; ++i, t += 0.5)
        estimate.Add(t, searched - 2500000);
    EXPECT_LT(estimate.SecondsLeft(size), 0);
    estimate.Add(t, searched);
    EXPECT_GT(estimate.SecondsLeft(size), 0);
}

TEST(TimeLeft, UnknownUntilReadingHasGoneOnForAWhile)
{
    CTimeLeftEstimate estimate;
    EXPECT_LT(estimate.SecondsLeft(1000), 0);
    // Started, nothing read yet (the disk spins up, or the first read hangs).
    for (int i = 0; i < 40; ++i)
        estimate.Add(i * 0.5, 0);
    EXPECT_LT(estimate.SecondsLeft(1000 * kMB), 0);
    // Reading, but not yet long enough to trust a rate.
    estimate.Add(20.5, 5 * kMB);
    EXPECT_LT(estimate.SecondsLeft(1000 * kMB), 0);
    // A figure that goes back (another search's file) starts over.
    CTimeLeftEstimate other;
    for (int i = 0; i <= 20; ++i)
        other.Add(i * 0.5, static_cast<uint64_t>(i) * kMB);
    other.Add(11, 0);
    EXPECT_LT(other.SecondsLeft(1000 * kMB), 0);
}

TEST(SearchProgressLine, SaysItAsPeopleDo)
{
    EXPECT_STREQ(TimeLeftText(0), "less than a minute");
    EXPECT_STREQ(TimeLeftText(29), "less than a minute");
    EXPECT_STREQ(TimeLeftText(31), "about 1 minute");
    EXPECT_STREQ(TimeLeftText(4 * 60 + 10), "about 4 minutes");
    EXPECT_STREQ(TimeLeftText(59 * 60 + 29), "about 59 minutes");
    EXPECT_STREQ(TimeLeftText(59 * 60 + 31), "about 1 hour");
    EXPECT_STREQ(TimeLeftText(2 * 3600 + 20 * 60), "about 2 hours");

    EXPECT_STREQ(SearchProgressLine(Progress(370, 1000, 412), 250),
                 "37% searched - 412 pictures found - about 4 minutes left");
    // Rounded down: not 100% while anything is left.
    EXPECT_STREQ(SearchProgressLine(Progress(999, 1000, 1), -1), "99% searched - 1 picture found");
    EXPECT_STREQ(SearchProgressLine(Progress(1, 1000, 0), -1), "0% searched - 0 pictures found");
    EXPECT_STREQ(SearchProgressLine(Progress(500, 1000, 3, 12), 7200),
                 "50% searched - 3 pictures found - about 2 hours left - 12 unreadable sectors skipped");
    // The last finds are still being written: nothing left to estimate.
    EXPECT_STREQ(SearchProgressLine(Progress(1000, 1000, 2), 5), "100% searched - 2 pictures found");
    qv::SearchProgress ended = Progress(1000, 1000, 2, 1);
    ended.ended = true;
    EXPECT_STREQ(SearchProgressLine(ended, 10), "100% searched - 2 pictures found - 1 unreadable sector skipped");
    // Reads the disk did not answer: said while the search runs.
    qv::SearchProgress hanging = Progress(500, 1000, 3, 8195);
    hanging.givenUp = 8192;
    EXPECT_STREQ(SearchProgressLine(hanging, -1), "50% searched - 3 pictures found - 8195 unreadable sectors skipped"
                                                  " - The disk is not answering: 8192 sectors given up");
    hanging.ended = true;
    EXPECT_STREQ(SearchProgressLine(hanging, -1), "50% searched - 3 pictures found - 8195 unreadable sectors skipped");
}

TEST(SearchProgressLine, CountsTheFileSystemsPass)
{
    // Pictures come from the file systems' records before the content search
    // has searched a byte: the share counts their checked bytes.
    qv::SearchProgress records = Progress(0, 60 * kMB, 5);
    records.recordsChecked = 30 * kMB;
    records.recordsSize = 60 * kMB;
    EXPECT_STREQ(SearchProgressLine(records, -1), "Reading the card's file records... 5 pictures found");
    records.recordsChecked = records.recordsSize;
    // Records checked, the content search about to start.
    EXPECT_STREQ(SearchProgressLine(records, -1), "50% searched - 5 pictures found");
    records.searched = 30 * kMB;
    EXPECT_STREQ(SearchProgressLine(records, 120), "75% searched - 5 pictures found - about 2 minutes left");
    // Both done, the last finds still being written: no time left.
    records.searched = records.size;
    EXPECT_STREQ(SearchProgressLine(records, 5), "100% searched - 5 pictures found");
}

TEST(SearchProgressLine, SaysTheStageAndNeverHidesTheDisksTrouble)
{
    // The records are being read: nothing to count yet, then the pictures
    // they gave; a disk without file systems goes on to the search at once.
    qv::SearchProgress first = Progress(0, 60 * kMB, 0);
    EXPECT_TRUE(ReadingRecords(first));
    EXPECT_STREQ(SearchProgressLine(first, -1), "Reading the card's file records...");
    first.found = 1;
    EXPECT_STREQ(SearchProgressLine(first, -1), "Reading the card's file records... 1 picture found");
    first.found = 710;
    first.unreadable = 3;
    first.givenUp = 3;
    EXPECT_STREQ(SearchProgressLine(first, -1), "Reading the card's file records... 710 pictures found"
                                                " - 3 unreadable sectors skipped"
                                                " - The disk is not answering: 3 sectors given up");
    // The content search has begun, or all has ended: the share.
    qv::SearchProgress searching = Progress(512, 60 * kMB, 710);
    EXPECT_FALSE(ReadingRecords(searching));
    qv::SearchProgress ended = Progress(0, 0, 0);
    ended.ended = true;
    EXPECT_FALSE(ReadingRecords(ended));
    EXPECT_STREQ(SearchProgressLine(ended, -1), "0% searched - 0 pictures found");
}

TEST(SearchProgressFile, ShareAndTimeLeftCountTheFileSystemsPass)
{
    TempFolder folder("progress-records");
    const std::string outDir = folder.Join("data\\temp");
    const std::string path = folder.Join("data.progress");
    CSearchProgress progress;
    progress.Begin(outDir.c_str());
    qv::SearchProgress p = Progress(0, 100 * kMB, 2);
    p.recordsChecked = 25 * kMB;
    p.recordsSize = 100 * kMB;
    WriteFileBytes(path, qv::formatProgress(p));
    ASSERT_TRUE(progress.Poll());
    EXPECT_EQ(progress.Permille(), 125);
    EXPECT_STREQ(progress.Line(), "Reading the card's file records... 2 pictures found");
    // The records' pass goes on at 10 MB/s for a while: a time left comes,
    // from that rate and both parts' bytes.
    for (int i = 1; i <= 24; ++i) {
        Sleep(260);
        p.recordsChecked = 25 * kMB + static_cast<uint64_t>(i) * 2600000;
        WriteFileBytes(path, qv::formatProgress(p));
        progress.Poll();
    }
    const CString line = progress.Line();
    EXPECT_EQ(progress.Permille(), static_cast<int>((25 * kMB + 24 * 2600000ull) * 1000 / (200 * kMB)));
    EXPECT_NE(line.str().find("less than a minute left"), std::string::npos) << line.str();
    progress.End();
}
