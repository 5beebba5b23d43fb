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
