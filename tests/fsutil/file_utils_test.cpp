#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "FileUtils.h"

namespace {

bool Exists(const CString& strPath)
{
    return GetFileAttributesA(strPath) != INVALID_FILE_ATTRIBUTES;
}

void MakeFile(const CString& strPath, const char* pszText = "x")
{
    HANDLE h = CreateFileA(strPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << strPath.GetString();
    DWORD n = 0;
    WriteFile(h, pszText, static_cast<DWORD>(std::strlen(pszText)), &n, nullptr);
    CloseHandle(h);
}

void MakeFolder(const CString& strPath)
{
    ASSERT_TRUE(CreateDirectoryA(strPath, nullptr)) << strPath.GetString();
}

// A fresh folder under %TEMP% per test, removed afterwards whatever is left.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathA(MAX_PATH, szTemp), 0u);
        m_strRoot.Format("%squorvane_fsutil_%lu_%lu", szTemp, GetCurrentProcessId(), GetTickCount());
        MakeFolder(m_strRoot);
    }
    void TearDown() override
    {
        ClearReadOnly(m_strRoot);
        DeleteFolderTree(m_strRoot, true);
    }
    static void ClearReadOnly(const CString& strFolder)
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(strFolder + "\\*", &fd);
        if (h == INVALID_HANDLE_VALUE)
            return;
        do {
            if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, ".."))
                continue;
            CString strPath = strFolder + "\\" + fd.cFileName;
            SetFileAttributesA(strPath, FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ClearReadOnly(strPath);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    // root\a\{f1, b\{f2, c\{f3}}, e\}
    CString MakeNestedTree()
    {
        CString a = m_strRoot + "\\a";
        MakeFolder(a);
        MakeFile(a + "\\f1.txt");
        MakeFolder(a + "\\b");
        MakeFile(a + "\\b\\f2.jpg");
        MakeFolder(a + "\\b\\c");
        MakeFile(a + "\\b\\c\\f3");
        MakeFolder(a + "\\e");
        return a;
    }
    CString m_strRoot;
};

}  // namespace

TEST(FileUtils, ModuleFolderEndsInBackslashAndNamesOurFolder)
{
    CString strFolder = GetModuleFolder();
    ASSERT_FALSE(strFolder.IsEmpty());
    EXPECT_EQ(strFolder.GetAt(strFolder.GetLength() - 1), '\\');
    EXPECT_TRUE(Exists(strFolder + "test_fsutil.exe"));
    EXPECT_TRUE(IsFolder(strFolder));
}

TEST(FileUtils, SpecialFoldersAreTheUsersRoamingAndPictures)
{
    CString strAppData = GetAppDataFolder();
    CString strPictures = GetPicturesFolder();
    EXPECT_EQ(strAppData.Left(9), "C:\\users\\");
    EXPECT_EQ(strAppData.Right(16), "\\AppData\\Roaming");
    EXPECT_EQ(strPictures.Left(9), "C:\\users\\");
    EXPECT_EQ(strPictures.Right(9), "\\Pictures");
    EXPECT_TRUE(IsFolder(strAppData));
}

TEST(FileUtils, IntToStringIsPlainSignedDecimal)
{
    EXPECT_EQ(IntToString(0), "0");
    EXPECT_EQ(IntToString(-5), "-5");
    EXPECT_EQ(IntToString(1000), "1000");
    EXPECT_EQ(IntToString(INT_MAX), "2147483647");
    EXPECT_EQ(IntToString(INT_MIN), "-2147483648");
}

TEST_F(TempFolder, IsFolderOnlyForExistingFolders)
{
    MakeFile(m_strRoot + "\\file.txt");
    MakeFolder(m_strRoot + "\\empty");
    EXPECT_TRUE(IsFolder(m_strRoot + "\\empty"));
    EXPECT_TRUE(IsFolder(m_strRoot + "\\empty\\"));
    EXPECT_FALSE(IsFolder(m_strRoot + "\\file.txt"));
    EXPECT_FALSE(IsFolder(m_strRoot + "\\missing"));
    EXPECT_TRUE(IsFolder("C:\\"));
}

TEST_F(TempFolder, DeleteFolderTreeOnMissingFolderChangesNothing)
{
    MakeFile(m_strRoot + "\\keep.txt");
    DeleteFolderTree(m_strRoot + "\\missing", true);
    DeleteFolderTree(m_strRoot + "\\missing", false);
    DeleteFolderTree("", true);
    EXPECT_TRUE(Exists(m_strRoot + "\\keep.txt"));
}

TEST_F(TempFolder, DeleteFolderTreeKeepsOnlyTheEmptiedFolder)
{
    // Every way of naming the folder empties exactly that folder.
    MakeFolder(m_strRoot + "\\ab");  // a neighbour sharing the name's start
    MakeFile(m_strRoot + "\\ab\\n.txt");
    for (const char* pszSuffix : {"", "\\", "\\*.*"}) {
        CString a = MakeNestedTree();
        DeleteFolderTree(a + pszSuffix, false);
        EXPECT_TRUE(IsFolder(a)) << pszSuffix;
        EXPECT_FALSE(Exists(a + "\\f1.txt")) << pszSuffix;
        EXPECT_FALSE(Exists(a + "\\b")) << pszSuffix;
        EXPECT_FALSE(Exists(a + "\\e")) << pszSuffix;
        EXPECT_TRUE(Exists(m_strRoot + "\\ab\\n.txt")) << pszSuffix;
        ASSERT_TRUE(RemoveDirectoryA(a)) << "not empty: " << pszSuffix;
    }
}

TEST_F(TempFolder, DeleteFolderTreeWithRemoveFlagRemovesTheFolder)
{
    CString a = MakeNestedTree();
    DeleteFolderTree(a, true);
    EXPECT_FALSE(Exists(a));
    EXPECT_TRUE(IsFolder(m_strRoot));
}

TEST_F(TempFolder, UndeletableFileSurvivesWithTheFoldersAboveIt)
{
    CString a = MakeNestedTree();
    ASSERT_TRUE(SetFileAttributesA(a + "\\b\\f2.jpg", FILE_ATTRIBUTE_READONLY));
    DeleteFolderTree(a, true);
    EXPECT_TRUE(Exists(a + "\\b\\f2.jpg"));
    EXPECT_FALSE(Exists(a + "\\b\\c"));
    EXPECT_FALSE(Exists(a + "\\f1.txt"));
    EXPECT_FALSE(Exists(a + "\\e"));
}

TEST_F(TempFolder, FileHeldOpenByAnotherProcessSurvives)
{
    CString a = MakeNestedTree();
    CString strHeld = a + "\\b\\c\\f3";

    CString strReady, strQuit;
    strReady.Format("quorvane_hold_ready_%lu", GetCurrentProcessId());
    strQuit.Format("quorvane_hold_quit_%lu", GetCurrentProcessId());
    HANDLE hReady = CreateEventA(nullptr, TRUE, FALSE, strReady);
    HANDLE hQuit = CreateEventA(nullptr, TRUE, FALSE, strQuit);
    ASSERT_TRUE(hReady && hQuit);

    CString strCommand;
    strCommand.Format("\"%s%s\" \"%s\" %s %s", GetModuleFolder().GetString(), HOLD_FILE_EXE,
                      strHeld.GetString(), strReady.GetString(), strQuit.GetString());
    std::vector<char> command(strCommand.GetString(), strCommand.GetString() + strCommand.GetLength() + 1);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    HANDLE waits[2] = {hReady, pi.hProcess};
    ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0) << "helper did not open the file";

    DeleteFolderTree(a, true);
    EXPECT_TRUE(Exists(strHeld));
    EXPECT_TRUE(IsFolder(a + "\\b\\c"));
    EXPECT_TRUE(IsFolder(a + "\\b"));
    EXPECT_TRUE(IsFolder(a));
    EXPECT_FALSE(Exists(a + "\\f1.txt"));
    EXPECT_FALSE(Exists(a + "\\b\\f2.jpg"));
    EXPECT_FALSE(Exists(a + "\\e"));

    SetEvent(hQuit);
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(hReady);
    CloseHandle(hQuit);

    // Once the other side lets go, the same call finishes the job.
    DeleteFolderTree(a, true);
    EXPECT_FALSE(Exists(a));
}

TEST(FileUtils, DeleteFolderTreeRemovesLinksWithoutFollowingThem)
{
    CString strRoot = GetModuleFolder() + "linktree";
    if (!IsFolder(strRoot + "\\tree"))
        GTEST_SKIP() << "link layout missing (made by the test_fsutil_links_setup test)";
    // Wine lists a Linux link to a folder as a folder reparse point.
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(strRoot + "\\tree\\dirlink", GetFileExInfoStandard, &data));
    EXPECT_EQ(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    DeleteFolderTree(strRoot + "\\tree", true);
    EXPECT_TRUE(Exists(strRoot + "\\target\\keep.txt"));
    EXPECT_FALSE(Exists(strRoot + "\\tree\\f.txt"));
    // Windows removes the link itself here; Wine's RemoveDirectoryA cannot
    // remove a Linux link (it fails on a non-empty target), so the link may stay.
}

namespace {

// A scripted GetVersionExA: each call takes the next answer.
struct VersionAnswer {
    BOOL bOk;
    DWORD nPlatform, nMajor, nMinor;
    const char* pszServicePack;
};
std::vector<VersionAnswer> g_answers;
std::vector<DWORD> g_askedSizes;

BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOA pInfo)
{
    g_askedSizes.push_back(pInfo->dwOSVersionInfoSize);
    if (g_answers.empty())
        return FALSE;
    VersionAnswer a = g_answers.front();
    g_answers.erase(g_answers.begin());
    if (!a.bOk)
        return FALSE;
    pInfo->dwPlatformId = a.nPlatform;
    pInfo->dwMajorVersion = a.nMajor;
    pInfo->dwMinorVersion = a.nMinor;
    std::strcpy(pInfo->szCSDVersion, a.pszServicePack);
    return TRUE;
}

int CodeFor(DWORD nPlatform, DWORD nMajor, DWORD nMinor, int nPreset = -1)
{
    g_answers = {{TRUE, nPlatform, nMajor, nMinor, ""}};
    int nCode = nPreset;
    CString strSp;
    EXPECT_TRUE(GetWindowsVersionCode(nCode, strSp, FakeGetVersionEx));
    return nCode;
}

}  // namespace

TEST(WindowsVersion, CodeTable)
{
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32s, 3, 10), 7);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 3, 95), 1);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 4, 0), 1);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 4, 1), 2);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 4, 10), 2);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 4, 89), 2);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 4, 90), 3);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 5, 0), 3);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 3, 51), 4);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 4, 0), 4);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 5, 0), 5);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 5, 1), 6);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 5, 2), 6);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 6, 0), 8);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 6, 1), 8);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 6, 3), 8);
    EXPECT_EQ(CodeFor(3, 6, 1), 9);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 10, 0, 8), 8);
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 10, 0, 42), 42);
}

TEST(WindowsVersion, FallsBackToTheBasicRecordAndGivesTheServicePack)
{
    g_askedSizes.clear();
    g_answers = {{FALSE, 0, 0, 0, ""}, {TRUE, VER_PLATFORM_WIN32_NT, 5, 1, "Service Pack 3"}};
    int nCode = 0;
    CString strSp;
    ASSERT_TRUE(GetWindowsVersionCode(nCode, strSp, FakeGetVersionEx));
    EXPECT_EQ(nCode, 6);
    EXPECT_EQ(strSp, "Service Pack 3");
    EXPECT_EQ(g_askedSizes, (std::vector<DWORD>{156, 148}));
}

TEST(WindowsVersion, BothQueriesFailingLeavesOutputsUntouched)
{
    g_answers = {{FALSE, 0, 0, 0, ""}, {FALSE, 0, 0, 0, ""}};
    int nCode = 123;
    CString strSp = "before";
    EXPECT_FALSE(GetWindowsVersionCode(nCode, strSp, FakeGetVersionEx));
    EXPECT_EQ(nCode, 123);
    EXPECT_EQ(strSp, "before");
}

TEST(WindowsVersion, RealSystemUnderWineIsNt61)
{
    int nCode = -1;
    CString strSp;
    ASSERT_TRUE(GetWindowsVersionCode(nCode, strSp));
    EXPECT_EQ(nCode, 8);
}

TEST(FileUtils, IsWithinFolderComparesWholeNamesWithoutCase)
{
    EXPECT_TRUE(IsWithinFolder("C:\\Users\\Ann\\AppData\\data", "C:\\Users\\Ann\\AppData\\data"));
    EXPECT_TRUE(IsWithinFolder("c:\\users\\ann\\appdata\\DATA\\Pics\\", "C:\\Users\\Ann\\AppData\\data\\"));
    EXPECT_TRUE(IsWithinFolder("C:\\Users\\Ann\\AppData\\data\\..\\data\\x", "C:\\Users\\Ann\\AppData\\data"));
    EXPECT_TRUE(IsWithinFolder("D:\\Pics", "D:\\"));
    EXPECT_FALSE(IsWithinFolder("C:\\Users\\Ann\\AppData\\database", "C:\\Users\\Ann\\AppData\\data"));
    EXPECT_FALSE(IsWithinFolder("C:\\Users\\Ann\\AppData", "C:\\Users\\Ann\\AppData\\data"));
    EXPECT_FALSE(IsWithinFolder("D:\\data", "C:\\data"));
    EXPECT_FALSE(IsWithinFolder("", "C:\\data"));
}
