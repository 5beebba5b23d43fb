// Copying into a folder without replacing anything, and drive roots as
// folders (a spare drive letter mapped to an empty folder).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FileUtils.h"
#include "SafeCopy.h"

namespace {

void WriteBytes(const CString& strPath, const std::string& bytes)
{
    HANDLE h = CreateFileA(strPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << strPath.GetString();
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

std::string ReadBytes(const CString& strPath)
{
    HANDLE h = CreateFileA(strPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

int FileCount(const CString& strFolder)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(strFolder + "\\*", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++n;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

class SafeCopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathA(MAX_PATH, szTemp), 0u);
        m_strRoot.Format("%squorvane_safecopy_%lu_%lu", szTemp, GetCurrentProcessId(), GetTickCount());
        ASSERT_TRUE(CreateDirectoryA(m_strRoot, nullptr));
        m_strFrom = m_strRoot + "\\from";
        m_strTo = m_strRoot + "\\to";
        ASSERT_TRUE(CreateDirectoryA(m_strFrom, nullptr));
        ASSERT_TRUE(CreateDirectoryA(m_strTo, nullptr));
    }
    void TearDown() override
    {
        SetFileAttributesA(m_strTo + "\\f1.jpg", FILE_ATTRIBUTE_NORMAL);
        DeleteFolderTree(m_strRoot, true);
    }
    CString Source(const std::string& bytes, const char* pszName = "f1.jpg")
    {
        const CString strPath = m_strFrom + "\\" + pszName;
        WriteBytes(strPath, bytes);
        return strPath;
    }

    CString m_strRoot, m_strFrom, m_strTo;
};

TEST(NumberedName, NumbersGoBeforeTheLastExtension)
{
    EXPECT_EQ(NumberedName("f0001234.jpg", 1), "f0001234.jpg");
    EXPECT_EQ(NumberedName("f0001234.jpg", 2), "f0001234 (2).jpg");
    EXPECT_EQ(NumberedName("holiday.2019.png", 12), "holiday.2019 (12).png");
    EXPECT_EQ(NumberedName("README", 3), "README (3)");
    EXPECT_EQ(NumberedName(".jpg", 2), ".jpg (2)");
}

TEST_F(SafeCopyTest, TakenNamesAreNeverReplaced)
{
    WriteBytes(m_strTo + "\\f1.jpg", "first card's picture");
    WriteBytes(m_strTo + "\\f1 (2).jpg", "the user's own file");
    CString strTarget;
    EXPECT_EQ(CopyWithoutReplacing(Source("second card's picture"), m_strTo, &strTarget), SafeCopyResult::Copied);
    EXPECT_EQ(strTarget, m_strTo + "\\f1 (3).jpg");
    EXPECT_EQ(ReadBytes(m_strTo + "\\f1.jpg"), "first card's picture");
    EXPECT_EQ(ReadBytes(m_strTo + "\\f1 (2).jpg"), "the user's own file");
    EXPECT_EQ(ReadBytes(strTarget), "second card's picture");
}

TEST_F(SafeCopyTest, TheSamePictureAgainIsNotCopiedAgain)
{
    const CString strSource = Source("picture");
    CString strTarget;
    ASSERT_EQ(CopyWithoutReplacing(strSource, m_strTo, &strTarget), SafeCopyResult::Copied);
    EXPECT_EQ(strTarget, m_strTo + "\\f1.jpg");
    EXPECT_EQ(CopyWithoutReplacing(strSource, m_strTo, &strTarget), SafeCopyResult::AlreadyThere);
    EXPECT_EQ(strTarget, m_strTo + "\\f1.jpg");
    EXPECT_EQ(FileCount(m_strTo), 1);

    // Found again under a numbered name: a second search's copy, or the
    // same bytes in a longer file's first part do not count.
    DeleteFileA(m_strTo + "\\f1.jpg");
    WriteBytes(m_strTo + "\\f1.jpg", "picture and more");
    WriteBytes(m_strTo + "\\f1 (2).jpg", "picture");
    EXPECT_EQ(CopyWithoutReplacing(strSource, m_strTo, &strTarget), SafeCopyResult::AlreadyThere);
    EXPECT_EQ(strTarget, m_strTo + "\\f1 (2).jpg");
    EXPECT_EQ(FileCount(m_strTo), 2);
}

// Read-only, held open by another program, or a folder: the name is taken,
// and what holds it stays as it was.
TEST_F(SafeCopyTest, NamesHeldInOtherWaysAreTakenToo)
{
    WriteBytes(m_strTo + "\\f1.jpg", "read-only");
    ASSERT_TRUE(SetFileAttributesA(m_strTo + "\\f1.jpg", FILE_ATTRIBUTE_READONLY));
    WriteBytes(m_strTo + "\\f1 (2).jpg", "in use");
    HANDLE hHeld = CreateFileA(m_strTo + "\\f1 (2).jpg", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CreateDirectoryA(m_strTo + "\\f1 (3).jpg", nullptr));

    CString strTarget;
    const SafeCopyResult result = CopyWithoutReplacing(Source("in use"), m_strTo, &strTarget);
    CloseHandle(hHeld);
    EXPECT_EQ(result, SafeCopyResult::Copied);
    EXPECT_EQ(strTarget, m_strTo + "\\f1 (4).jpg");
    EXPECT_EQ(ReadBytes(m_strTo + "\\f1.jpg"), "read-only");
    EXPECT_EQ(ReadBytes(m_strTo + "\\f1 (2).jpg"), "in use");
    EXPECT_EQ(ReadBytes(strTarget), "in use");
}

TEST_F(SafeCopyTest, NameTooLongForAPathIsRefused)
{
    // A 240-character folder leaves room for the 16-character name, but
    // not for it with " (2)".
    CString strDeep = m_strTo;
    while (strDeep.GetLength() < 240) {
        const int nPart = 240 - strDeep.GetLength() - 1;
        strDeep += "\\" + CString(std::string(nPart > 60 ? 60 : nPart, 'd').c_str());
        ASSERT_TRUE(CreateDirectoryA(strDeep, nullptr)) << strDeep.GetString();
    }
    ASSERT_EQ(strDeep.GetLength(), 240);

    const CString strSource = Source("picture", "picture-name.jpg");
    EXPECT_EQ(CopyWithoutReplacing(strSource, strDeep), SafeCopyResult::Copied);
    const CString strOther = Source("another picture", "picture-name.jpg");
    EXPECT_EQ(CopyWithoutReplacing(strOther, strDeep), SafeCopyResult::Refused);
    EXPECT_EQ(ReadBytes(strDeep + "\\picture-name.jpg"), "picture");
    EXPECT_EQ(FileCount(strDeep), 1);

    EXPECT_EQ(CopyWithoutReplacing(strSource, strDeep + "\\folder-name-too-long"), SafeCopyResult::Refused);
}

TEST_F(SafeCopyTest, SameFileContentsComparesEveryByte)
{
    std::string big(200000, 'p');
    const CString strA = Source(big, "a.jpg");
    const CString strSame = Source(big, "same.jpg");
    big[150000] = 'q';
    const CString strLate = Source(big, "late.jpg");
    const CString strShort = Source(big.substr(0, 1000), "short.jpg");
    EXPECT_TRUE(SameFileContents(strA, strSame));
    EXPECT_FALSE(SameFileContents(strA, strLate));
    EXPECT_FALSE(SameFileContents(strA, strShort));
    EXPECT_FALSE(SameFileContents(strA, m_strFrom + "\\missing.jpg"));
}

// The test's drive (see quorvane_map_drive) has an empty root, as a fresh
// memory card has.
class DriveRootTest : public SafeCopyTest {
protected:
    void SetUp() override
    {
        SafeCopyTest::SetUp();
        ASSERT_EQ(FileCount(m_strDrive), 0) << "the test drive's root is not empty";
    }
    void TearDown() override
    {
        DeleteFileA(m_strDrive + "\\only-a-file.txt");
        DeleteFileA(m_strDrive + "\\f1.jpg");
        SafeCopyTest::TearDown();
    }

    const CString m_strDrive = TEST_DRIVE;
};

TEST_F(DriveRootTest, AnExistingRootIsAFolderEmptyOrNot)
{
    EXPECT_TRUE(IsFolder(m_strDrive));
    EXPECT_TRUE(IsFolder(m_strDrive + "\\"));
    WriteBytes(m_strDrive + "\\only-a-file.txt", "x");
    EXPECT_TRUE(IsFolder(m_strDrive));
    EXPECT_FALSE(IsFolder(m_strDrive + "\\only-a-file.txt"));

    // A letter with no drive behind it is no folder.
    const DWORD nUsed = GetLogicalDrives();
    for (char c = 'Y'; c >= 'D'; --c) {
        if (!(nUsed & (1u << (c - 'A')))) {
            CString strFree;
            strFree.Format("%c:", c);
            EXPECT_FALSE(IsFolder(strFree)) << strFree.GetString();
            EXPECT_FALSE(IsFolder(strFree + "\\")) << strFree.GetString();
            break;
        }
    }
}

TEST_F(DriveRootTest, CopiesGoIntoTheRoot)
{
    CString strTarget;
    EXPECT_EQ(CopyWithoutReplacing(Source("picture"), m_strDrive, &strTarget), SafeCopyResult::Copied);
    EXPECT_EQ(strTarget, m_strDrive + "\\f1.jpg");
    EXPECT_EQ(ReadBytes(CString(TEST_DRIVE_FOLDER) + "/f1.jpg"), "picture");
}

}  // namespace
