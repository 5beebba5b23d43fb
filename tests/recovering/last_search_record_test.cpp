// The record of the last search (lastsearch.ini in its work folder): what
// is written is read back, a damaged or foreign record is refused, the
// newest of several wins, and the link's words; and the window's record of
// the search it shows: when it is written, and when no more.
#include <gtest/gtest.h>

#include "LastSearch.h"
#include "SearchRecord.h"
#include "UiTest.h"

using namespace uitest;

namespace {

LastSearch Search(const std::string& folder, int pictures, WORD year, WORD month, WORD day)
{
    LastSearch search;
    search.workFolder = folder.c_str();
    search.outDir = (folder + "\\temp").c_str();
    search.drive = "E:";
    search.pictures = pictures;
    search.ended.wYear = year;
    search.ended.wMonth = month;
    search.ended.wDay = day;
    search.ended.wHour = 14;
    search.ended.wMinute = 3;
    return search;
}

std::string Record(const std::string& folder) { return folder + "\\lastsearch.ini"; }

TEST(LastSearchRecord, WrittenThenReadBackWithItsLink)
{
    TempFolder work("lastsearch-work");
    ASSERT_TRUE(WriteLastSearch(Search(work.Path(), 1240, 2026, 12, 9)));
    LastSearch read;
    ASSERT_TRUE(ReadLastSearch(work.Path().c_str(), read));
    EXPECT_EQ(std::string(read.workFolder), work.Path());
    EXPECT_EQ(std::string(read.outDir), work.Join("temp"));
    EXPECT_EQ(std::string(read.drive), "E:");
    EXPECT_EQ(read.pictures, 1240);
    EXPECT_EQ(read.ended.wHour, 14);
    EXPECT_EQ(std::string(LastSearchLinkText(read)), "Show the 1,240 pictures found on E: on 9 December 2026");

    read.pictures = 1;
    read.ended.wMonth = 1;
    EXPECT_EQ(std::string(LastSearchLinkText(read)), "Show the 1 picture found on E: on 9 January 2026");

    // A work folder that is gone has nothing to offer, and nothing is made.
    EXPECT_FALSE(WriteLastSearch(Search(work.Join("gone"), 3, 2026, 12, 9)));
    EXPECT_FALSE(Exists(work.Join("gone")));
}

// Each line spoiled in turn: the record is refused whole, never half used.
TEST(LastSearchRecord, DamagedOrForeignRecordsAreRefused)
{
    TempFolder work("lastsearch-damaged");
    const std::string good = "[Last search]\r\nDrive=E:\r\nOutput=" + work.Join("temp") +
                             "\r\nPictures=12\r\nEnded=2026-12-09 14:03:00\r\n";
    WriteFileBytes(Record(work.Path()), good);
    LastSearch read;
    ASSERT_TRUE(ReadLastSearch(work.Path().c_str(), read));

    const std::vector<std::pair<std::string, std::string>> spoilt = {
        {"Pictures=12", "Pictures=0"},
        {"Pictures=12", "Pictures=12x"},
        {"Pictures=12", ""},
        {"Drive=E:", ""},
        {"Ended=2026-12-09 14:03:00", "Ended=2026-02-30 14:03:00"},
        {"Ended=2026-12-09 14:03:00", "Ended=yesterday"},
        {"Output=" + work.Join("temp"), "Output=" + work.Join("..\\elsewhere")},
        {"Output=" + work.Join("temp"), "Output=C:\\Windows"},
        {"Output=" + work.Join("temp"), "Output=" + work.Path() + "\\"},
        {"[Last search]", "[Other]"},
    };
    for (const auto& change : spoilt) {
        std::string text = good;
        text.replace(text.find(change.first), change.first.size(), change.second);
        WriteFileBytes(Record(work.Path()), text);
        EXPECT_FALSE(ReadLastSearch(work.Path().c_str(), read)) << change.second;
    }
    WriteFileBytes(Record(work.Path()), "");
    EXPECT_FALSE(ReadLastSearch(work.Path().c_str(), read));
    DeleteFileA(Record(work.Path()).c_str());
    EXPECT_FALSE(ReadLastSearch(work.Path().c_str(), read));
}

TEST(LastSearchRecord, TheNewestOfTheWorkFoldersIsOffered)
{
    TempFolder older("lastsearch-older");
    TempFolder newer("lastsearch-newer");
    TempFolder empty("lastsearch-empty");
    ASSERT_TRUE(WriteLastSearch(Search(older.Path(), 5, 2026, 12, 1)));
    ASSERT_TRUE(WriteLastSearch(Search(newer.Path(), 7, 2026, 12, 9)));
    LastSearch found;
    for (const auto& order : {std::vector<CString>{older.Path().c_str(), newer.Path().c_str(), empty.Path().c_str()},
                              std::vector<CString>{empty.Path().c_str(), newer.Path().c_str(), older.Path().c_str()}}) {
        ASSERT_TRUE(FindLastSearch(order, found));
        EXPECT_EQ(std::string(found.workFolder), newer.Path());
        EXPECT_EQ(found.pictures, 7);
    }
    // The newer folder removed: the older one is what is left.
    RemoveTree(newer.Path());
    ASSERT_TRUE(FindLastSearch({older.Path().c_str(), newer.Path().c_str()}, found));
    EXPECT_EQ(std::string(found.workFolder), older.Path());
    EXPECT_FALSE(FindLastSearch({empty.Path().c_str()}, found));
}

// A search is written while it lasts (a cancelled one at once, then with
// every find), and not once it has been written for good; one listed again
// is never written, lest an old search come back as the newest.
TEST(SearchRecord, WrittenUntilFinalAndNeverForAListedSearch)
{
    TempFolder work("searchrecord-work");
    const CString folder = work.Path().c_str();
    const CString out = work.Join("temp").c_str();
    CSearchRecord record;
    LastSearch read;

    // Nothing begun: nothing written.
    record.Remember(true, 5, folder, out);
    EXPECT_FALSE(ReadLastSearch(folder, read));

    record.Begin("E:");
    // No pictures or no work folder: nothing written, and the search is
    // still to be recorded.
    record.Remember(false, 0, folder, out);
    record.Remember(false, 4, "", out);
    EXPECT_FALSE(ReadLastSearch(folder, read));
    record.Remember(false, 4, folder, out);
    ASSERT_TRUE(ReadLastSearch(folder, read));
    EXPECT_EQ(read.pictures, 4);
    EXPECT_EQ(std::string(read.drive), "E:");
    EXPECT_EQ(std::string(read.outDir), work.Join("temp"));
    record.Remember(true, 9, folder, out);
    ASSERT_TRUE(ReadLastSearch(folder, read));
    EXPECT_EQ(read.pictures, 9);
    record.Remember(true, 11, folder, out);
    ASSERT_TRUE(ReadLastSearch(folder, read));
    EXPECT_EQ(read.pictures, 9);

    // Offered at the next start and listed again: its record stays as it
    // was, whatever is remembered after.
    CSearchRecord next;
    EXPECT_FALSE(next.Known());
    ASSERT_TRUE(next.Find({folder}));
    EXPECT_TRUE(next.Known());
    EXPECT_EQ(std::string(next.LinkText()).find("Show the 9 pictures found on E: on "), 0u);
    LastSearch reopened;
    ASSERT_TRUE(next.Reopen(reopened));
    EXPECT_EQ(std::string(reopened.outDir), work.Join("temp"));
    next.Remember(true, 2, folder, out);
    ASSERT_TRUE(ReadLastSearch(folder, read));
    EXPECT_EQ(read.pictures, 9);

    // A new search begun after it is written again, with its own drive.
    next.Begin("F:");
    next.Remember(true, 3, folder, out);
    ASSERT_TRUE(ReadLastSearch(folder, read));
    EXPECT_EQ(read.pictures, 3);
    EXPECT_EQ(std::string(read.drive), "F:");
}

// The record offered can go before its link is pressed: it is read again.
TEST(SearchRecord, AnOfferWhoseFolderWentIsNotReopened)
{
    TempFolder work("searchrecord-gone");
    CreateDirectoryA(work.Join("data").c_str(), nullptr);
    ASSERT_TRUE(WriteLastSearch(Search(work.Join("data"), 5, 2026, 12, 1)));
    CSearchRecord record;
    ASSERT_TRUE(record.Find({work.Join("data").c_str()}));
    RemoveTree(work.Join("data"));
    LastSearch read;
    EXPECT_FALSE(record.Reopen(read));
    EXPECT_FALSE(record.Find({work.Join("data").c_str()}));
    EXPECT_FALSE(record.Known());
}

}  // namespace

// Where Recover put a search's pictures goes with its record, so that the
// search listed again adds to the same folder; a new search starts afresh,
// and a folder the record cannot vouch for is not taken.
TEST(SearchRecord, TheRecoveryFolderGoesWithTheRecord)
{
    TempFolder work("lastsearch-recovered");
    const CString out = work.Join("temp").c_str();
    const CString folder = "D:\\Saved\\Quorvane recovery 2026-12-09 E";
    CSearchRecord record;
    record.Begin("E:");
    EXPECT_EQ(std::string(record.Drive()), "E:");
    record.Remember(false, 3, work.Path().c_str(), out);
    EXPECT_TRUE(record.RecoveryFolder().IsEmpty());
    record.KeepRecoveryFolder(folder);
    // Written again for good: the folder stays in it.
    record.Remember(true, 4, work.Path().c_str(), out);

    CSearchRecord later;
    ASSERT_TRUE(later.Find({work.Path().c_str()}));
    LastSearch search;
    ASSERT_TRUE(later.Reopen(search));
    EXPECT_EQ(std::string(later.RecoveryFolder()), std::string(folder));
    EXPECT_EQ(std::string(later.Drive()), "E:");
    SYSTEMTIME today;
    GetLocalTime(&today);
    EXPECT_EQ(later.Day().wDay, today.wDay);
    later.Begin("F:");
    EXPECT_TRUE(later.RecoveryFolder().IsEmpty());

    for (const char* foreign : {"..\\..\\Windows", "relative\\folder", "D:\\Saved\\..\\..\\Windows", "D:/Saved"}) {
        ASSERT_TRUE(WriteRecoveryFolder(work.Path().c_str(), foreign));
        LastSearch read;
        ASSERT_TRUE(ReadLastSearch(work.Path().c_str(), read));
        EXPECT_TRUE(read.recoveryFolder.IsEmpty()) << foreign;
    }
    EXPECT_FALSE(WriteRecoveryFolder(work.Join("gone").c_str(), folder));
}
