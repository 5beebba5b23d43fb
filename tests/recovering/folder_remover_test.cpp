// The folder remover: the folder's name is free at once, the rest goes in
// the background, and what a stopped removal leaves is swept later; and the
// work folder made for a search on the save folder's drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FolderRemover.h"
#include "SettingsFiles.h"
#include "WorkFolderPlace.h"
#include "WorkFolders.h"
#include "UiTest.h"

using namespace uitest;

namespace {

// A tree of files, a few read-only, down to a path longer than MAX_PATH
// once the top folder is renamed.
void MakeTree(const std::string& top, int folders, int files)
{
    CreateDirectoryA(top.c_str(), nullptr);
    for (int f = 0; f < folders; ++f) {
        const std::string sub = top + "\\sub" + std::to_string(f);
        CreateDirectoryA(sub.c_str(), nullptr);
        for (int i = 0; i < files; ++i) {
            const std::string file = sub + "\\file" + std::to_string(i) + ".jpg";
            WriteFileBytes(file, "bytes");
            if (i == 0)
                SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }
}

std::string Deep(const std::string& top)
{
    // Just under the ANSI limit as it stands.
    std::string path = top;
    while (path.size() + 30 < MAX_PATH - 12) {
        path += "\\" + std::string(20, 'd');
        CreateDirectoryA(path.c_str(), nullptr);
    }
    WriteFileBytes(path + "\\deepest-file.jpg", "bytes");
    return path;
}

// Folders in parent whose names start with prefix.
int EntriesLike(const std::string& parent, const std::string& prefix)
{
    int count = 0;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((parent + "\\" + prefix + "*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (FindNextFileA(find, &fd));
    FindClose(find);
    return count;
}

TEST(FolderRemover, NameIsFreeAtOnceAndEverythingGoesInTheBackground)
{
    TempFolder place("remover");
    const std::string data = place.Join("data");
    MakeTree(data, 5, 20);
    Deep(data);
    WriteFileBytes(place.Join("data.finds"), "kept");

    CFolderRemover remover;
    EXPECT_EQ(remover.Remove(data), CFolderRemover::Result::Moved);
    // The old name can be used again at once.
    EXPECT_FALSE(Exists(data));
    EXPECT_TRUE(CreateDirectoryA(data.c_str(), nullptr));
    ASSERT_TRUE(remover.WaitIdle(30000));
    EXPECT_FALSE(remover.Busy());
    EXPECT_EQ(EntriesLike(place.Path(), "data.removing"), 0);
    // Only what was put aside went: the new folder and the file beside stay.
    EXPECT_TRUE(Exists(data));
    EXPECT_EQ(ReadFileBytes(place.Join("data.finds")), "kept");

    EXPECT_EQ(remover.Remove(place.Join("missing")), CFolderRemover::Result::Missing);
}

TEST(FolderRemover, TwoRemovalsOfTheSameNameBothGo)
{
    TempFolder place("remover");
    const std::string data = place.Join("data");
    CFolderRemover remover;
    MakeTree(data, 10, 50);
    EXPECT_EQ(remover.Remove(data), CFolderRemover::Result::Moved);
    MakeTree(data, 2, 5);
    EXPECT_EQ(remover.Remove(data), CFolderRemover::Result::Moved);
    ASSERT_TRUE(remover.WaitIdle(30000));
    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(EntriesLike(place.Path(), "data"), 0);
}

// A removal stopped half-way (the window closed) leaves its folder; the
// next removal or sweep of that name deletes it, and nothing else.
TEST(FolderRemover, WhatAStoppedRemovalLeftIsSweptNextTime)
{
    TempFolder place("remover");
    const std::string data = place.Join("data");
    MakeTree(data, 30, 100);
    {
        CFolderRemover remover;
        ASSERT_EQ(remover.Remove(data), CFolderRemover::Result::Moved);
        remover.Stop();
        EXPECT_FALSE(remover.Busy());
    }
    // As a crash would leave one, too.
    MakeTree(CFolderRemover::AsidePrefix(data) + "77", 1, 3);
    // Not the remover's: other names beside it stay.
    MakeTree(place.Join("data.removing.x"), 1, 1);
    MakeTree(place.Join("database"), 1, 1);
    ASSERT_GE(EntriesLike(place.Path(), "data.removing."), 2);

    CFolderRemover later;
    later.SweepLeftovers(data);
    ASSERT_TRUE(later.WaitIdle(30000));
    EXPECT_EQ(EntriesLike(place.Path(), "data.removing.7"), 0);
    EXPECT_EQ(EntriesLike(place.Path(), "data.removing.1"), 0);
    EXPECT_TRUE(Exists(place.Join("data.removing.x")));
    EXPECT_TRUE(Exists(place.Join("database\\sub0\\file0.jpg")));
}

// A folder that cannot be renamed (open without leave to delete it, as
// Windows treats a folder with a file open in it) is left as it was.
TEST(FolderRemover, FolderInUseIsLeftAsItWas)
{
    TempFolder place("remover");
    const std::string data = place.Join("data");
    MakeTree(data, 1, 3);
    HANDLE held = CreateFileA(data.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CFolderRemover remover;
    EXPECT_EQ(remover.Remove(data), CFolderRemover::Result::Refused);
    CloseHandle(held);
    EXPECT_TRUE(remover.WaitIdle(10000));
    EXPECT_TRUE(Exists(data + "\\sub0\\file2.jpg"));
    EXPECT_FALSE(CFolderRemover::LeftoversOf(data));
}

bool WaitCleared(const CWorkFolders& folders)
{
    for (int i = 0; i < 300 && folders.Clearing(); ++i)
        Sleep(100);
    return !folders.Clearing();
}

// The moved work folder: an earlier search's finds go aside (after the
// window lets go of them), the folder comes back empty and hidden and is
// remembered for a later search to remove; one whose engine paths would be
// too long is refused, and the one remembered stays.
TEST(WorkFolders, MovedFolderIsMadeEmptyHiddenAndRemembered)
{
    TempFolder save("workfolders");
    const std::string folder = save.Join(kMovedWorkFolderName);
    MakeTree(folder, 2, 3);
    ForgetMovedWorkFolder();

    CWorkFolders folders;
    int released = 0;
    folders.OnPutAside([&] { ++released; });
    ASSERT_EQ(folders.Prepare(folder.c_str()), CWorkFolders::Prepared::Ready);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(std::string(folders.Folder()), folder);
    EXPECT_EQ(std::string(folders.OutFolder()), folder + "\\temp");
    EXPECT_EQ(std::string(ReadMovedWorkFolder()), folder);
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(Exists(folder + "\\sub0"));
    EXPECT_FALSE(Exists(folder + "\\sub1"));
    ASSERT_TRUE(WaitCleared(folders));
    EXPECT_FALSE(CFolderRemover::LeftoversOf(folder));

    // A save folder deep enough that the engine's longest name would not fit.
    std::string deep = save.Path();
    while (deep.size() + 34 + strlen(kMovedWorkFolderName) < MAX_PATH)
        deep += "\\deeper";
    const std::string tooLong = deep + "\\" + kMovedWorkFolderName;
    EXPECT_EQ(folders.Prepare(tooLong.c_str()), CWorkFolders::Prepared::Failed);
    EXPECT_EQ(std::string(ReadMovedWorkFolder()), folder);
    EXPECT_FALSE(Exists(tooLong));
    ForgetMovedWorkFolder();
}

// A work folder that cannot be put aside (open elsewhere, and a file in its
// output folder in use) is emptied in place as far as it can be; the output
// folder that stays is not written into again: the engine gets another.
TEST(WorkFolders, OutputFolderInUseGivesAnother)
{
    TempFolder save("workfolders-held");
    const std::string folder = save.Join(kMovedWorkFolderName);
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\temp").c_str(), nullptr);
    WriteFileBytes(folder + "\\temp\\finds.txt", "earlier finds");
    HANDLE heldFolder = CreateFileA(folder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    HANDLE heldFile = CreateFileA((folder + "\\temp\\finds.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(heldFolder, INVALID_HANDLE_VALUE);
    ASSERT_NE(heldFile, INVALID_HANDLE_VALUE);
    CWorkFolders folders;
    const CWorkFolders::Prepared prepared = folders.Prepare(folder.c_str());
    CloseHandle(heldFile);
    CloseHandle(heldFolder);
    EXPECT_TRUE(WaitCleared(folders));
    ForgetMovedWorkFolder();
    EXPECT_EQ(prepared, CWorkFolders::Prepared::OutFolderTaken);
    EXPECT_EQ(std::string(folders.OutFolder()), folder + "\\temp_1");
}

}  // namespace
