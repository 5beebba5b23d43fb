#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FileUtils.h"
#include "SettingsFiles.h"

namespace {

// The settings files lie beside the running exe; every test starts and ends
// without them.
class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }
    static void Remove()
    {
        DeleteFileA(GetModuleFolder() + g_strSettingsFile);
        DeleteFileA(GetModuleFolder() + g_strFormatsFile);
    }
    static void Put(const CString& strFile, const std::string& bytes)
    {
        FILE* f = std::fopen(GetModuleFolder() + strFile, "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    static std::string Get(const CString& strFile)
    {
        std::string bytes;
        FILE* f = std::fopen(GetModuleFolder() + strFile, "rb");
        if (!f)
            return "<missing>";
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes += static_cast<char>(c);
        std::fclose(f);
        return bytes;
    }
};

}  // namespace

TEST_F(SettingsFiles, FileNames)
{
    EXPECT_EQ(g_strSettingsFile, "settings.ini");
    EXPECT_EQ(g_strFormatsFile, "formats.ini");
}

TEST_F(SettingsFiles, MissingFilesGiveTheDefaults)
{
    EXPECT_EQ(ReadSaveFolder(), GetPicturesFolder());
    EXPECT_EQ(ReadSaveFolder().Right(9), "\\Pictures");
    EXPECT_EQ(ReadEngineFormats(), "jpg,gif,png,bmp,tif,raw,heic,avif,webp");
    EXPECT_EQ(ReadSetting(g_strFormatsFile, "formats=", "jpg,gif,png,bmp,tif"), "jpg,gif,png,bmp,tif");
}

// What the next search looks for, by who wrote the file.
TEST_F(SettingsFiles, StoredFormatListsOldAndNew)
{
    struct Case {
        const char* file;
        const char* formats;
    };
    const Case cases[] = {
        // No list at all: everything.
        {"savedir=C:\\x\r\n", "jpg,gif,png,bmp,tif,raw,heic,avif,webp"},
        {"version=2\r\n", "jpg,gif,png,bmp,tif,raw,heic,avif,webp"},
        // Written by this version: exactly as it stands, in the fixed order.
        {"formats=webp,jpg\r\nversion=2\r\n", "jpg,webp"},
        {"formats=jpg,gif\r\nversion=2\r\n", "jpg,gif"},
        {"formats=\r\nversion=2\r\n", ""},
        {"version=2\nformats=tif,raw\n", "tif,raw"},
        // Older: a list of the five gets the four that came later.
        {"formats=jpg,gif,png,bmp\r\n", "jpg,gif,png,bmp,raw,heic,avif,webp"},
        {"formats=tif\r\nversion=1\r\n", "tif,raw,heic,avif,webp"},
        {"formats=jpg,gif\r\nversion=2x\r\n", "jpg,gif,raw,heic,avif,webp"},
        // ... but one that names none of the five stays as it is.
        {"formats=\r\n", ""},
        {"formats=heic\r\n", "heic"},
        {"formats=JPG,PNG\r\n", ""},
    };
    for (const Case& c : cases) {
        Put(g_strFormatsFile, c.file);
        EXPECT_EQ(ReadEngineFormats(), c.formats) << c.file;
    }

    WriteFormats("jpg,raw");
    EXPECT_EQ(Get(g_strFormatsFile), "formats=jpg,raw\r\nversion=2\r\n");
    EXPECT_EQ(ReadEngineFormats(), "jpg,raw");
    WriteFormats("");
    EXPECT_EQ(ReadEngineFormats(), "");
}

TEST_F(SettingsFiles, WritesExactlyOneCrLfLine)
{
    WriteSaveFolder("D:\\Pics");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=D:\\Pics\r\n");
    EXPECT_EQ(ReadSaveFolder(), "D:\\Pics");

    WriteSetting(g_strFormatsFile, "formats=%s\n", "jpg,gif,png,bmp,tif");
    EXPECT_EQ(Get(g_strFormatsFile), "formats=jpg,gif,png,bmp,tif\r\n");
    WriteSetting(g_strFormatsFile, "formats=%s\n", "");
    EXPECT_EQ(Get(g_strFormatsFile), "formats=\r\n");
    EXPECT_EQ(ReadEngineFormats(), "");
}

TEST_F(SettingsFiles, SaveFolderGoesFirstTakenLiterallyAndOtherLinesStay)
{
    Put(g_strSettingsFile, "other=1\r\nsavedir=C:\\Old\r\nmore lines\r\n");
    WriteSaveFolder("C:\\100%s %d %n done");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=C:\\100%s %d %n done\r\nother=1\r\nmore lines\r\n");
    EXPECT_EQ(ReadSaveFolder(), "C:\\100%s %d %n done");
}

// The arrangement lives beside the save folder: writing either keeps the
// other, and no stored folder is made up for it.
TEST_F(SettingsFiles, ArrangementAndSaveFolderKeepEachOther)
{
    EXPECT_EQ(ReadArrangement(), "");
    WriteArrangement("By date taken");
    EXPECT_EQ(Get(g_strSettingsFile), "arrange=By date taken\r\n");
    EXPECT_EQ(ReadArrangement(), "By date taken");
    WriteSaveFolder("C:\\100%s done");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=C:\\100%s done\r\narrange=By date taken\r\n");
    WriteArrangement("One folder");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=C:\\100%s done\r\narrange=One folder\r\n");
    EXPECT_EQ(ReadSaveFolder(), "C:\\100%s done");
}

// The window's place and the save folder share the file: writing either
// keeps the other; the place's own lines, however many, become one. Writing
// the save folder or the arrangement keeps every other line in its order,
// one it does not know too (a later version's).
TEST_F(SettingsFiles, WindowPlaceAndSaveFolderKeepEachOther)
{
    EXPECT_EQ(ReadWindowPlace(), "");
    WriteWindowPlace("1,2,803,602,0");
    EXPECT_EQ(Get(g_strSettingsFile), "window=1,2,803,602,0\r\n");

    Put(g_strSettingsFile, "savedir=C:\\Old\r\nwindow=9,9,99,99,1\r\nother=x\r\nwindow=8,8,88,88,0");
    WriteWindowPlace("1,2,803,602,1");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=C:\\Old\r\nwindow=1,2,803,602,1\r\nother=x\r\n");
    EXPECT_EQ(ReadSaveFolder(), "C:\\Old");

    WriteSaveFolder("D:\\Pics");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=D:\\Pics\r\nwindow=1,2,803,602,1\r\nother=x\r\n");
    EXPECT_EQ(ReadWindowPlace(), "1,2,803,602,1");
    WriteArrangement("One folder");
    EXPECT_EQ(Get(g_strSettingsFile),
              "savedir=D:\\Pics\r\narrange=One folder\r\nwindow=1,2,803,602,1\r\nother=x\r\n");

    Put(g_strSettingsFile, "zoom=3\r\narrange=Old\r\nsavedir=C:\\A\r\n; kept as written\r\nsavedir=C:\\B\r\nlater=on|1");
    WriteSaveFolder("E:\\New");
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=E:\\New\r\narrange=Old\r\nzoom=3\r\n; kept as written\r\nlater=on|1\r\n");
}

// The list's view has a line of its own, kept when the others are written.
TEST_F(SettingsFiles, ListViewKeepsItsLineBesideTheOthers)
{
    EXPECT_EQ(ReadListView(), "");
    WriteWindowPlace("1,2,803,602,0");
    WriteListView("256");
    EXPECT_EQ(ReadListView(), "256");
    WriteSaveFolder("D:\\Pics");
    WriteArrangement("One folder");
    WriteListView("128");
    EXPECT_EQ(Get(g_strSettingsFile),
              "savedir=D:\\Pics\r\narrange=One folder\r\nwindow=1,2,803,602,0\r\nlistview=128\r\n");
    EXPECT_EQ(ReadWindowPlace(), "1,2,803,602,0");
}

TEST_F(SettingsFiles, LastMatchingLineWinsAndOnlyExactKeysMatch)
{
    Put(g_strSettingsFile, "savedir=C:\\First\r\n\r\nsavedir=C:\\Second\r\nSaveDir=D:\\Pics\r\n savedir=E:\\X\r\n"
                           "savedi\r\nformats=jpg\r\n");
    EXPECT_EQ(ReadSaveFolder(), "C:\\Second");

    Put(g_strSettingsFile, "SaveDir=D:\\Pics\r\n savedir=D:\\Pics\r\n");
    EXPECT_EQ(ReadSaveFolder(), GetPicturesFolder());

    Put(g_strSettingsFile, "savedir=\r\n");
    EXPECT_EQ(ReadSaveFolder(), "");
}

TEST_F(SettingsFiles, LineEndingsAndUntrimmedValues)
{
    Put(g_strSettingsFile, "savedir=C:\\Unix\nsavedir= C:\\Spaced \n");
    EXPECT_EQ(ReadSaveFolder(), " C:\\Spaced ");
    Put(g_strSettingsFile, "savedir=C:\\NoTerminator");
    EXPECT_EQ(ReadSaveFolder(), "C:\\NoTerminator");
    Put(g_strFormatsFile, "formats=tif\r\nversion=2\r\n");
    EXPECT_EQ(ReadEngineFormats(), "tif");
}

TEST_F(SettingsFiles, OverLongLinesAreSkippedWhole)
{
    // 259 characters is the longest line there is; the CR LF is not counted.
    std::string longest = "savedir=" + std::string(251, 'p');
    Put(g_strSettingsFile, longest + "\r\n");
    EXPECT_EQ(ReadSaveFolder().GetLength(), 251);

    // One character more and the line is ignored, including a tail that
    // reads like a key line of its own.
    std::string tooLong = "savedir=" + std::string(252, 'p');
    Put(g_strSettingsFile, "savedir=C:\\Good\r\n" + tooLong + "\r\n");
    EXPECT_EQ(ReadSaveFolder(), "C:\\Good");
    std::string trap = std::string(259, 'x') + "savedir=C:\\Trap";
    Put(g_strSettingsFile, trap + "\r\n" + std::string(5000, 'y') + "\n");
    EXPECT_EQ(ReadSaveFolder(), GetPicturesFolder());
    Put(g_strSettingsFile, tooLong);  // no terminator at the end of the file
    EXPECT_EQ(ReadSaveFolder(), GetPicturesFolder());
}

TEST_F(SettingsFiles, UnreadableOrUnwritableFileIsSilent)
{
    Put(g_strSettingsFile, "savedir=C:\\Locked\r\n");
    HANDLE h = CreateFileA(GetModuleFolder() + g_strSettingsFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadSaveFolder(), GetPicturesFolder());
    WriteSaveFolder("C:\\Other");
    CloseHandle(h);
    EXPECT_EQ(Get(g_strSettingsFile), "savedir=C:\\Locked\r\n");

    // A folder in the file's place cannot be read either.
    Remove();
    ASSERT_TRUE(CreateDirectoryA(GetModuleFolder() + g_strFormatsFile, nullptr));
    EXPECT_EQ(ReadEngineFormats(), "jpg,gif,png,bmp,tif,raw,heic,avif,webp");
    WriteSetting(g_strFormatsFile, "formats=%s\n", "png");
    EXPECT_TRUE(RemoveDirectoryA(GetModuleFolder() + g_strFormatsFile));
}

TEST(FormatList, SubstringRuleCaseSensitive)
{
    const char* tokens[] = {"jpg", "gif", "png", "bmp", "tif"};
    for (const char* t : tokens)
        EXPECT_TRUE(IsFormatEnabled("jpg,gif,png,bmp,tif", t)) << t;
    for (const char* t : tokens)
        EXPECT_FALSE(IsFormatEnabled("", t)) << t;
    for (const char* t : tokens)
        EXPECT_FALSE(IsFormatEnabled("jpeg,GIF,PNG", t)) << t;

    EXPECT_TRUE(IsFormatEnabled("tif,jpg", "jpg"));
    EXPECT_TRUE(IsFormatEnabled("tif,jpg", "tif"));
    EXPECT_FALSE(IsFormatEnabled("tif,jpg", "png"));
    EXPECT_TRUE(IsFormatEnabled("xjpgx;webp", "jpg"));
    EXPECT_FALSE(IsFormatEnabled("jpg,gif,png,bmp", "tif"));
}
