// A copy run through its own interface: the pictures it copies are the
// list's items, the line and bar it reports, a cancel, a missing save
// folder, and the summary of what reached the folder and why not the rest.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "RecoveryRun.h"
#include "UiTest.h"

using namespace uitest;

namespace {

using Outcome = CPictureCopier::Outcome;

// Pictures p0..p(n-1), each of the given size (0: not known).
CPictureItems Pictures(int n, uint64_t bytes)
{
    CPictureItems items;
    for (int i = 0; i < n; ++i) {
        PictureDetails details;
        details.bytes = bytes;
        items.Add(("p" + std::to_string(i)).c_str(), ThumbnailPixels(64 * 64, 0xFFFFFF), details, true);
    }
    return items;
}

// Ticks until the run says it has ended.
CRecoveryRun::Shown RunToEnd(CRecoveryRun& run, ULONGLONG now)
{
    CRecoveryRun::Shown shown;
    EXPECT_TRUE(WaitUntil([&] { return (shown = run.Tick(now)).finished; }));
    return shown;
}

}  // namespace

TEST(RecoveryRun, ReportsTheListsItemsAndWhyTheOthersWereNotCopied)
{
    const CPictureItems pictures = Pictures(6, 100);
    CRecoveryRun run;
    // The ticked pictures shown, not the first ones: p1 copies, p3 is gone,
    // p4 the folder refuses, p5 copies.
    const auto copy = [](const CString& source, const CString&, const CString&, CString&) {
        return source == "p3" ? Outcome::Gone : source == "p4" ? Outcome::Refused : Outcome::Copied;
    };
    EXPECT_FALSE(run.Start(pictures, {}, "C:\\saved", Arrangement::OneFolder, copy, 0));
    ASSERT_TRUE(run.Start(pictures, {1, 3, 4, 5}, "C:\\saved", Arrangement::OneFolder, copy, 0));
    EXPECT_EQ(run.Total(), 4);
    EXPECT_STREQ(run.FirstLine(), "Recovering photo 0 of 4");

    const CRecoveryRun::Shown shown = RunToEnd(run, 0);
    EXPECT_EQ(shown.done, 4);
    EXPECT_TRUE(shown.moved);
    EXPECT_STREQ(shown.line, "Recovering photo 4 of 4");
    EXPECT_FALSE(run.Running());
    EXPECT_FALSE(run.FolderMissing());
    EXPECT_EQ(run.RecoveredItems(), (std::vector<int>{1, 5}));
    EXPECT_STREQ(run.Summary(),
                 "2 files recovered.\n\n2 files could not be copied because 1 have been deleted since the analysis "
                 "and the save folder could not be written to for the other 1.\n\n"
                 "Do you want to view recovered files?");
    // A tick after the end moves nothing.
    EXPECT_FALSE(run.Tick(0).moved);
}

TEST(RecoveryRun, TimeLeftFromTheBytesCopiedOnlyOnceMeasuredAndNotAtTheEnd)
{
    // Sizes not known count one byte each: the time left goes by the count.
    const CPictureItems pictures = Pictures(4, 0);
    // Each copy waits until it is allowed; entered says how far the copier got.
    std::atomic<int> allowed{0};
    std::atomic<int> entered{0};
    CRecoveryRun run;
    ASSERT_TRUE(run.Start(pictures, {0, 1, 2, 3}, "C:\\saved", Arrangement::OneFolder,
                          [&](const CString&, const CString&, const CString&, CString&) {
                              const int at = ++entered;
                              while (at > allowed)
                                  Sleep(5);
                              return Outcome::Copied;
                          },
                          10000));
    ASSERT_TRUE(WaitUntil([&] { return entered == 1; }));
    const CRecoveryRun::Shown first = run.Tick(10000);
    EXPECT_STREQ(first.line, "Recovering photo 0 of 4");
    EXPECT_FALSE(first.moved);

    allowed = 2;
    ASSERT_TRUE(WaitUntil([&] { return entered == 3; }));
    // Half copied, but measured for less than the least time: no figure.
    const CRecoveryRun::Shown soon = run.Tick(11000);
    EXPECT_STREQ(soon.line, "Recovering photo 2 of 4");
    EXPECT_TRUE(soon.moved);
    EXPECT_EQ(soon.done, 2);
    // Two pictures in the first second, none in the nine after: two left at
    // that rate.
    const CRecoveryRun::Shown later = run.Tick(20000);
    EXPECT_STREQ(later.line, "Recovering photo 2 of 4 - less than a minute left");
    EXPECT_FALSE(later.moved);

    allowed = 4;
    EXPECT_STREQ(RunToEnd(run, 21000).line, "Recovering photo 4 of 4");
    EXPECT_EQ(run.RecoveredItems(), (std::vector<int>{0, 1, 2, 3}));
}

TEST(RecoveryRun, CancelKeepsWhatWasCopiedAndSaysWhatWasNot)
{
    const CPictureItems pictures = Pictures(5, 100);
    std::atomic<bool> release{false};
    CRecoveryRun run;
    ASSERT_TRUE(run.Start(pictures, {0, 1, 2, 3, 4}, "C:\\saved", Arrangement::OneFolder,
                          [&](const CString& source, const CString&, const CString&, CString&) {
                              while (source == "p1" && !release)
                                  Sleep(5);
                              return Outcome::Copied;
                          },
                          0));
    ASSERT_TRUE(WaitUntil([&] { return run.Tick(0).done == 1; }));
    EXPECT_TRUE(run.Running());
    run.RequestStop();
    release = true;
    RunToEnd(run, 0);
    EXPECT_EQ(run.RecoveredItems(), (std::vector<int>{0, 1}));
    EXPECT_STREQ(run.Summary(), "2 files recovered.\n\nThe recovery was cancelled: 3 of the 5 ticked files were "
                                "not copied.\n\nDo you want to view recovered files?");
}

TEST(RecoveryRun, MissingSaveFolderEndsTheRunAtOnce)
{
    const CPictureItems pictures = Pictures(3, 100);
    std::atomic<int> calls{0};
    CRecoveryRun run;
    ASSERT_TRUE(run.Start(pictures, {0, 1, 2}, "C:\\saved", Arrangement::OneFolder,
                          [&](const CString&, const CString&, const CString&, CString&) {
                              ++calls;
                              return Outcome::FolderMissing;
                          },
                          0));
    EXPECT_EQ(RunToEnd(run, 0).done, 0);
    EXPECT_TRUE(run.FolderMissing());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(run.RecoveredItems().empty());
}

TEST(RecoveryRun, CopyIntoFolderMakesTheFoldersAndNeverReplacesAFile)
{
    TempFolder temp("recovery_run");
    const std::string top = temp.Join("");
    const std::string source = temp.Join("a.jpg");
    const std::string other = temp.Join("b.jpg");
    WriteFileBytes(source, "picture bytes");
    WriteFileBytes(other, "other bytes");
    // The save folder is made one level, the recovery folder inside it.
    const std::string folder = temp.Join("saved\\Quorvane recovery 2026-12-09 E");
    CString copied;

    EXPECT_EQ(CopyIntoFolder((top + "gone.jpg").c_str(), folder.c_str(), "a.jpg", copied), Outcome::Gone);
    EXPECT_EQ(CopyIntoFolder(source.c_str(), "", "a.jpg", copied), Outcome::FolderMissing);
    EXPECT_EQ(CopyIntoFolder(source.c_str(), (top + "no\\such\\place").c_str(), "a.jpg", copied),
              Outcome::FolderMissing);
    EXPECT_EQ(CopyIntoFolder(source.c_str(), folder.c_str(), "DCIM\\100CANON\\IMG_1.jpg", copied), Outcome::Copied);
    EXPECT_STREQ(copied, (folder + "\\DCIM\\100CANON\\IMG_1.jpg").c_str());
    EXPECT_EQ(ReadFileBytes(folder + "\\DCIM\\100CANON\\IMG_1.jpg"), "picture bytes");
    // The same picture again is already there: counted, not copied twice;
    // a different one under that name gets a name of its own.
    EXPECT_EQ(CopyIntoFolder(source.c_str(), folder.c_str(), "DCIM\\100CANON\\IMG_1.jpg", copied),
              Outcome::AlreadyThere);
    EXPECT_EQ(CopyIntoFolder(other.c_str(), folder.c_str(), "DCIM\\100CANON\\IMG_1.jpg", copied), Outcome::Copied);
    EXPECT_STREQ(copied, (folder + "\\DCIM\\100CANON\\IMG_1 (2).jpg").c_str());
    EXPECT_EQ(ReadFileBytes(folder + "\\DCIM\\100CANON\\IMG_1.jpg"), "picture bytes");
    EXPECT_EQ(FilesIn(folder + "\\DCIM\\100CANON").size(), 2u);
}

namespace {

// The file's last write as local wall-clock text.
std::string LocalWriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    FILETIME local;
    SYSTEMTIME st;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st))
        return "";
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return text;
}

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

}  // namespace

TEST(RecoveryRun, RealCopiesGetTheirDatesAndARecordThatACancelLeavesTrue)
{
    TempFolder temp("recovery_run_real");
    // A deleted record with its own date, a find by its contents with a
    // date taken, and one with neither.
    const char* const names[] = {"IMG_0001.jpg", "f0000108328.jpg", "f0000200000.jpg", "f0000300000.jpg"};
    for (int i = 0; i < 4; ++i)
        WriteFileBytes(temp.Join(names[i]), "picture " + std::to_string(i));
    // The record's date is the found file's own time, as the engine sets it.
    HANDLE file = CreateFileA(temp.Join(names[0]).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    SYSTEMTIME st = {2019, 3, 0, 5, 10, 20, 30, 0};
    FILETIME local, utc;
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    SetFileTime(file, nullptr, nullptr, &utc);
    CloseHandle(file);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(temp.Join(names[0]).c_str(), GetFileExInfoStandard, &data);
    PictureDetails recordDetails;
    recordDetails.bytes = 9;
    recordDetails.written = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                            data.ftLastWriteTime.dwLowDateTime;
    CPictureItems withRecord;
    for (int i = 0; i < 4; ++i) {
        PictureDetails details = i == 0 ? recordDetails : PictureDetails();
        details.bytes = 9;
        if (i == 1) {
            details.taken = "2024:07:14 15:32:08";
            details.camera = "Canon EOS R6";
        }
        withRecord.Add(temp.Join(names[i]).c_str(), ThumbnailPixels(64 * 64, 0xFFFFFF), details, true);
    }
    withRecord.SetRecord(0, "\\DCIM\\100CANON", true);

    const std::string folder = temp.Join("saved\\Quorvane recovery 2026-12-09 E");
    const std::string record = folder + "\\Recovered pictures.csv";
    CRecoveryRun run;
    // A cancel while the second picture is copied: two are in the record.
    ASSERT_TRUE(run.Start(withRecord, {0, 1, 2, 3}, folder.c_str(), Arrangement::OriginalFolders,
                          [&](const CString& source, const CString& into, const CString& name, CString& copied) {
                              if (source.Find("f0000108328") >= 0)
                                  run.RequestStop();
                              return CopyIntoFolder(source, into, name, copied);
                          },
                          0));
    RunToEnd(run, 0);
    EXPECT_EQ(run.RecoveredItems(), (std::vector<int>{0, 1}));
    const std::string deleted = folder + "\\DCIM\\100CANON\\IMG_0001.jpg";
    const std::string found = folder + "\\Found by contents\\2024-07-14 15.32.08 Canon EOS R6.jpg";
    EXPECT_EQ(ReadFileBytes(deleted), "picture 0");
    EXPECT_EQ(LocalWriteTime(deleted), "2019-03-05 10:20:30");
    EXPECT_EQ(LocalWriteTime(found), "2024-07-14 15:32:08");
    std::string text = ReadFileBytes(record);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(CountOf(text, "\r\n"), 3);
    EXPECT_NE(text.find("\"DCIM\\100CANON\\IMG_0001.jpg\",\"IMG_0001.jpg\",\"\\DCIM\\100CANON\",\"deleted\",\"whole\""),
              std::string::npos);
    EXPECT_NE(text.find("\"Found by contents\\2024-07-14 15.32.08 Canon EOS R6.jpg\",\"\",\"\",\"found by contents\","
                        "\"whole\",\"9\",\"\",\"2024-07-14 15:32:08\",\"Canon EOS R6\",\"sector 108328\"\r\n"),
              std::string::npos);

    // Recovering more into the same folder: the rest are added, the header
    // stays one, and a picture there already is neither copied nor listed
    // again.
    ASSERT_TRUE(run.Start(withRecord, {1, 2, 3}, folder.c_str(), Arrangement::OriginalFolders,
                          [](const CString& source, const CString& into, const CString& name, CString& copied) {
                              return CopyIntoFolder(source, into, name, copied);
                          },
                          0));
    RunToEnd(run, 0);
    EXPECT_EQ(run.RecoveredItems(), (std::vector<int>{1, 2, 3}));
    text = ReadFileBytes(record);
    EXPECT_EQ(CountOf(text, "\r\n"), 5);
    EXPECT_EQ(CountOf(text, "\"New path\""), 1);
    EXPECT_EQ(CountOf(text, "Canon EOS R6.jpg"), 1);
    EXPECT_EQ(FilesIn(folder + "\\Found by contents").size(), 3u);
}
