// Where recovered pictures go and under what names, through the plan's own
// interface, and the record of a recovery as a spreadsheet reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include "RecoveredName.h"
#include "RecoveryRecord.h"

namespace {

// A local FILETIME value of that wall-clock time.
uint64_t At(WORD year, WORD month, WORD day, WORD hour = 12, WORD minute = 0, WORD second = 0)
{
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

PictureFacts Record(const std::string& name, const std::string& folder, FindState state, uint64_t date = 0)
{
    PictureFacts facts;
    facts.name = name;
    facts.folder = folder;
    facts.state = state;
    facts.recordDate = date;
    return facts;
}

PictureFacts Found(const std::string& name, uint64_t taken = 0, const std::string& camera = "")
{
    PictureFacts facts;
    facts.name = name;
    facts.taken = taken;
    facts.camera = camera;
    return facts;
}

std::vector<std::string> Paths(Arrangement arrangement, const std::vector<PictureFacts>& pictures)
{
    const CRecoveryPlan plan(arrangement, pictures);
    std::vector<std::string> paths;
    for (size_t at = 0; at < pictures.size(); ++at)
        paths.push_back(plan.RelativePath(at));
    return paths;
}

}  // namespace

TEST(RecoveredName, EachArrangementWithAndWithoutFoldersAndDates)
{
    const std::vector<PictureFacts> pictures = {
        Record("IMG_0123.jpg", "\\DCIM\\100CANON", FindState::Deleted, At(2024, 7, 14)),
        Record("Scan.bmp", "\\", FindState::Present),
        Record("IMG_0200.jpg", "\\?\\100CANON", FindState::Deleted, At(2023, 1, 2)),
        Record("lost.png", "", FindState::Deleted),
        Found("f0000108328.jpg"),
        Found("f0000200000.jpg", At(2024, 7, 14, 15, 32, 8), "Canon EOS R6"),
    };
    EXPECT_EQ(Paths(Arrangement::OriginalFolders, pictures),
              (std::vector<std::string>{"DCIM\\100CANON\\IMG_0123.jpg", "Scan.bmp",
                                        "Folder not known\\100CANON\\IMG_0200.jpg", "Folder not known\\lost.png",
                                        "Found by contents\\f0000108328.jpg",
                                        "Found by contents\\2024-07-14 15.32.08 Canon EOS R6.jpg"}));
    // The date taken first, then the record's, then none.
    std::vector<PictureFacts> dated = pictures;
    dated[0].taken = At(2019, 12, 31, 23, 59, 59);
    EXPECT_EQ(Paths(Arrangement::ByDateTaken, dated),
              (std::vector<std::string>{"2019\\2019-12-31\\IMG_0123.jpg", "Undated\\Scan.bmp",
                                        "2023\\2023-01-02\\IMG_0200.jpg", "Undated\\lost.png",
                                        "Undated\\f0000108328.jpg",
                                        "2024\\2024-07-14\\2024-07-14 15.32.08 Canon EOS R6.jpg"}));
    EXPECT_EQ(Paths(Arrangement::OneFolder, pictures),
              (std::vector<std::string>{"IMG_0123.jpg", "Scan.bmp", "IMG_0200.jpg", "lost.png", "f0000108328.jpg",
                                        "2024-07-14 15.32.08 Canon EOS R6.jpg"}));
}

TEST(RecoveredName, ContentFindsNamedFromDateAndCameraRawAndJpegAlike)
{
    const uint64_t taken = At(2024, 7, 14, 15, 32, 8);
    const std::vector<PictureFacts> pictures = {
        Found("f0000000100.jpg", taken, "Canon EOS R6"),
        Found("f0000009000.CR3", taken, "Canon EOS R6"),
        Found("f0000000200.jpg", taken),                      // no camera: the time alone
        Found("f0000000300.jpg", 0, "Canon EOS R6"),          // no date: its number
        Found("f0000000400.jpg", taken, "Maker: <A/B>?"),     // a camera name Windows refuses
        Found("f0000000500_077.jpg", taken, "   "),           // a camera of spaces says nothing
    };
    EXPECT_EQ(Paths(Arrangement::OneFolder, pictures),
              (std::vector<std::string>{"2024-07-14 15.32.08 Canon EOS R6.jpg", "2024-07-14 15.32.08 Canon EOS R6.cr3",
                                        "2024-07-14 15.32.08.jpg", "f0000000300.jpg",
                                        "2024-07-14 15.32.08 Maker_ _A_B__.jpg", "2024-07-14 15.32.08.jpg"}));
}

TEST(RecoveredName, LostFirstLetterGuessedFromTheFolderOrKeptAsUnderscore)
{
    const std::vector<PictureFacts> pictures = {
        Record("_MG_0123.jpg", "\\DCIM\\100CANON", FindState::Deleted),
        Record("_MG_0123.cr3", "\\DCIM\\100CANON", FindState::Deleted),
        Record("IMG_0124.JPG", "\\DCIM\\100CANON", FindState::Present),
        Record("IMG_0125.jpg", "\\DCIM\\100CANON", FindState::Deleted),
        Record("DSC_0001.jpg", "\\DCIM\\100CANON", FindState::Present),
        // Nothing like it beside it: the underscore stays.
        Record("_SC01234.jpg", "\\DCIM\\100CANON", FindState::Deleted),
        // Siblings that disagree as much: no guess.
        Record("_ile1.jpg", "\\Tie", FindState::Deleted),
        Record("Aile2.jpg", "\\Tie", FindState::Present),
        Record("Bile3.jpg", "\\Tie", FindState::Present),
        // A name in small letters gets a small letter.
        Record("_mg_0001.jpg", "\\Small", FindState::Deleted),
        Record("IMG_0002.jpg", "\\Small", FindState::Present),
        // A present file's underscore is its own; so is a long name's.
        Record("_MG_0126.jpg", "\\DCIM\\100CANON", FindState::Present),
        Record("_My holiday picture.jpg", "\\DCIM\\100CANON", FindState::Deleted),
        // A deleted folder's lost letter, from the folders beside it.
        Record("IMG_0001.jpg", "\\DCIM\\_00CANON", FindState::Deleted),
        Record("IMG_0002.jpg", "\\DCIM\\101CANON", FindState::Present),
    };
    const CRecoveryPlan plan(Arrangement::OriginalFolders, pictures);
    EXPECT_EQ(plan.RelativePath(0), "DCIM\\100CANON\\IMG_0123.jpg");
    EXPECT_EQ(plan.RelativePath(1), "DCIM\\100CANON\\IMG_0123.cr3");
    EXPECT_TRUE(plan.FirstLetterLost(0));
    EXPECT_FALSE(plan.FirstLetterLost(2));
    EXPECT_EQ(plan.Name(5), "_SC01234.jpg");
    EXPECT_TRUE(plan.FirstLetterLost(5));
    EXPECT_EQ(plan.Name(6), "_ile1.jpg");
    EXPECT_EQ(plan.Name(9), "img_0001.jpg");
    EXPECT_EQ(plan.Name(11), "_MG_0126.jpg");
    EXPECT_FALSE(plan.FirstLetterLost(11));
    EXPECT_EQ(plan.Name(12), "_My holiday picture.jpg");
    EXPECT_FALSE(plan.FirstLetterLost(12));
    EXPECT_EQ(plan.RelativePath(13), "DCIM\\100CANON\\IMG_0001.jpg");
}

TEST(RecoveredName, ValidWindowsNamesWhateverTheDiskSays)
{
    EXPECT_EQ(ValidWindowsName("CON.jpg"), "_CON.jpg");
    EXPECT_EQ(ValidWindowsName("con"), "_con");
    EXPECT_EQ(ValidWindowsName("Com1.tar.gz"), "_Com1.tar.gz");
    EXPECT_EQ(ValidWindowsName("LPT9"), "_LPT9");
    EXPECT_EQ(ValidWindowsName("NUL .jpg"), "_NUL .jpg");
    EXPECT_EQ(ValidWindowsName("COM10.jpg"), "COM10.jpg");
    EXPECT_EQ(ValidWindowsName("CONSOLE.jpg"), "CONSOLE.jpg");
    EXPECT_EQ(ValidWindowsName("a<b>c:d\"e/f\\g|h?i*j\x01.jpg"), "a_b_c_d_e_f_g_h_i_j_.jpg");
    EXPECT_EQ(ValidWindowsName("trip. . "), "trip");
    EXPECT_EQ(ValidWindowsName(".."), "_");
    EXPECT_EQ(ValidWindowsName(""), "_");

    // The disk's folders go through the same: none climbs out of the
    // recovery folder or names a device.
    const std::vector<PictureFacts> pictures = {
        Record("a.jpg", "\\..\\..\\Windows", FindState::Present),
        Record("aux.jpg", "\\PRN\\x:y", FindState::Present),
        Record("b.jpg", "\\Caf\xC3\xA9\\\x01", FindState::Present),
    };
    const std::vector<std::string> paths = Paths(Arrangement::OriginalFolders, pictures);
    EXPECT_EQ(paths[0], "_\\_\\Windows\\a.jpg");
    EXPECT_EQ(paths[1], "_PRN\\x_y\\_aux.jpg");
    EXPECT_EQ(paths[2].substr(paths[2].size() - 8), "\\_\\b.jpg");
    EXPECT_EQ(RecoveryFolderName(SYSTEMTIME{2026, 12, 3, 9, 0, 0, 0, 0}, "E:"), "Quorvane recovery 2026-12-09 E");
    EXPECT_EQ(RecoveryFolderName(SYSTEMTIME{2026, 1, 3, 2, 0, 0, 0, 0}, ""), "Quorvane recovery 2026-01-02");
}

TEST(RecoveredName, LongPathsFitTheRoomLeft)
{
    const std::string deep = "\\" + std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\" + std::string(40, 'c');
    const std::vector<PictureFacts> pictures = {
        Record("IMG_0001.jpg", deep, FindState::Present),
        Record(std::string(240, 'n') + ".jpeg", "\\DCIM", FindState::Present),
    };
    const CRecoveryPlan plan(Arrangement::OriginalFolders, pictures);
    // Room enough: each folder kept to 100 characters.
    EXPECT_EQ(plan.RelativePath(0, 1000),
              std::string(100, 'a') + "\\" + std::string(100, 'b') + "\\" + std::string(40, 'c') + "\\IMG_0001.jpg");
    // Less: the folders shortened, then the top ones dropped.
    EXPECT_EQ(plan.RelativePath(0, 90),
              std::string(24, 'a') + "\\" + std::string(24, 'b') + "\\" + std::string(24, 'c') + "\\IMG_0001.jpg");
    EXPECT_EQ(plan.RelativePath(0, 40), std::string(24, 'c') + "\\IMG_0001.jpg");
    // The name itself: cut to 200, then to the room, its extension kept.
    EXPECT_EQ(plan.RelativePath(1, 1000), "DCIM\\" + std::string(195, 'n') + ".jpeg");
    EXPECT_EQ(plan.RelativePath(1, 20), std::string(15, 'n') + ".jpeg");
}

TEST(RecoveryRecord, RowsQuotedUtf8AndTheirFoundPlaces)
{
    EXPECT_EQ(FoundAtOf("f0000108328.jpg"), "sector 108328");
    EXPECT_EQ(FoundAtOf("f0000012345_077.jpg"), "sector 12345, byte 77");
    EXPECT_EQ(FoundAtOf("IMG_0001.jpg"), "");
    EXPECT_EQ(FoundAtOf("f12.jpg"), "");

    RecoveredRow row;
    row.newPath = "DCIM\\Say \"cheese\".jpg";
    row.name = "Say \"cheese\".jpg";
    row.folder = "\\Caf\xC3\xA9";
    row.state = FindState::Deleted;
    row.damaged = true;
    row.bytes = 123456;
    row.width = 4000;
    row.height = 3000;
    row.taken = At(2024, 7, 14, 15, 32, 8);
    row.camera = "=HYPERLINK(\"x\")";
    EXPECT_EQ(RecordLine(row), "\"DCIM\\Say \"\"cheese\"\".jpg\",\"Say \"\"cheese\"\".jpg\",\"\\Caf\xC3\xA9\",\"deleted\","
                               "\"damaged\",\"123456\",\"4000 x 3000\",\"2024-07-14 15:32:08\","
                               "\"'=HYPERLINK(\"\"x\"\")\",\"\"\r\n");
}
