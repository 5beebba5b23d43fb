// The setup program in a Wine prefix of its own: a silent install puts every
// file in its place with its shortcut and Apps and Features entry, the
// installed program finds its engine, a second install keeps the settings,
// and the uninstaller removes what was installed and nothing else. The
// pages of a normal install are worked like a user would, with screenshots.
//
// Run by run_installer_test.sh, which passes Windows paths: QV_SETUP (the
// setup), QV_BUILT_PROGRAM / QV_BUILT_HELP / QV_BUILT_ICON / QV_BUILT_ENGINE
// (what it should install), QV_CARD (a folder with card.img and originals\)
// and QV_SHOTS (where each page is announced as NAME.want and waited for as
// NAME.png taken on the Linux side).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ProgramWindows.h"
#include "SetupProbe.h"
#include "UiTest.h"
#include "resource.h"
#include "version.h"

using namespace uitest;
using namespace setupprobe;

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// Asks for a screenshot of one window as it is now.
void Shot(const char* name, HWND window)
{
    const std::string folder = Env("QV_SHOTS");
    if (folder.empty())
        return;
    Sleep(400);  // let the page finish drawing
    RECT rc;
    GetWindowRect(window, &rc);
    const std::string base = folder + "\\" + name;
    WriteFileBytes(base + ".tmp", std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top) +
                                      "+" + std::to_string(rc.left) + "+" + std::to_string(rc.top));
    MoveFileExA((base + ".tmp").c_str(), (base + ".want").c_str(), MOVEFILE_REPLACE_EXISTING);
    WaitUntil([&] { return Exists(base + ".png") && !Exists(base + ".want"); }, 15000);
}

// A top-level window of any process, or nullptr.
HWND TopWindow(const std::function<bool(HWND)>& match)
{
    struct Search {
        const std::function<bool(HWND)>* match;
        HWND found;
    } search{&match, nullptr};
    EnumWindows([](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (!IsWindowVisible(hwnd) || !(*s->match)(hwnd))
            return TRUE;
        s->found = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A control anywhere below a window, by its text (the finish page's boxes
// have no fixed ids).
HWND ChildWithText(HWND parent, const std::string& text)
{
    struct Search {
        const std::string* text;
        HWND found;
    } search{&text, nullptr};
    EnumChildWindows(parent, [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (Text(hwnd) != *s->text)
            return TRUE;
        s->found = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A control anywhere below a window, by its id.
HWND ChildWithId(HWND parent, int id)
{
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(parent, [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (GetDlgCtrlID(hwnd) != s->id || !IsWindowVisible(hwnd))
            return TRUE;
        s->found = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The setup's or uninstaller's window showing a page whose main button (the
// one that moves on) reads buttonText. Pages add to the caption.
HWND WizardPage(const std::string& caption, const std::string& buttonText, DWORD timeoutMs = 30000)
{
    HWND found = nullptr;
    WaitUntil([&] {
        found = TopWindow([&](HWND hwnd) {
            HWND next = GetDlgItem(hwnd, IDOK);
            return Text(hwnd).compare(0, caption.size(), caption) == 0 && next && Text(next) == buttonText &&
                   IsWindowEnabled(next);
        });
        return found != nullptr;
    }, timeoutMs);
    return found;
}

const int kInstallFolderEdit = 1019;  // the folder page's path box
const int kHeaderTitle = 1037;

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Env("QV_SETUP").empty())
            GTEST_SKIP() << "run through run_installer_test.sh";
        m_at = ForThisUser();
    }

    void TearDown() override
    {
        // A program left running after a failure would make every later
        // setup refuse to run.
        if (m_program.hProcess) {
            if (WaitForSingleObject(m_program.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_program.hProcess, 1);
            WaitForSingleObject(m_program.hProcess, 10000);
            CloseHandle(m_program.hProcess);
            CloseHandle(m_program.hThread);
        }
    }

    // (installed file, the built file it must equal)
    std::vector<std::pair<std::string, std::string>> InstalledFiles() const
    {
        const std::string engine = Env("QV_BUILT_ENGINE");
        const std::string decoders = Env("QV_BUILT_DECODERS");
        std::vector<std::pair<std::string, std::string>> files = {
            {m_at.program + "\\quorvane.exe", Env("QV_BUILT_PROGRAM")},
            {m_at.program + "\\help.chm", Env("QV_BUILT_HELP")},
            {m_at.program + "\\icon.png", Env("QV_BUILT_ICON")},
            {m_at.engine + "\\photo.exe", engine + "\\photo.exe"},
            {m_at.engine + "\\cygwin1.dll", engine + "\\cygwin1.dll"},
            {m_at.engine + "\\63\\cygwin\\devices", engine + "\\63\\cygwin\\devices"}};
        // The picture decoders and their licences.
        for (const char* dll : {"libheif.dll", "libde265.dll", "libdav1d.dll", "libwebp.dll", "libwebpdemux.dll"})
            files.push_back({m_at.program + "\\" + dll, decoders + "\\bin\\" + dll});
        for (const char* text : {"GPL-3.txt", "LGPL-3.txt", "libheif\\copyright", "libde265\\copyright",
                                 "dav1d\\copyright", "libwebp\\copyright"})
            files.push_back({m_at.program + "\\licenses\\" + text, decoders + "\\licenses\\" + text});
        return files;
    }

    void InstallSilently()
    {
        ASSERT_EQ(RunToEnd(Quoted(Env("QV_SETUP")) + " /S", 120000), 0u);
    }

    // The way Apps and Features uninstalls without questions.
    void UninstallSilently(const std::string& extra = "")
    {
        std::string command;
        ASSERT_TRUE(EntryString("QuietUninstallString", command));
        DWORD pid = 0;
        const DWORD code = RunToEnd(command + extra, 60000, &pid);
        ASSERT_EQ(WaitForChildren(pid, code, 60000), 0u);
    }

    void ExpectEveryFileInPlace()
    {
        for (const auto& file : InstalledFiles()) {
            ASSERT_TRUE(Exists(file.second)) << file.second;
            EXPECT_TRUE(Exists(file.first)) << file.first;
            EXPECT_TRUE(ReadFileBytes(file.first) == ReadFileBytes(file.second)) << file.first << " differs";
        }
        EXPECT_TRUE(Exists(m_at.program + "\\uninstall.exe"));
    }

    // Nothing the setup installed is left; folders only where something the
    // user made is still in them.
    void ExpectInstalledFilesGone()
    {
        for (const auto& file : InstalledFiles())
            EXPECT_FALSE(Exists(file.first)) << file.first;
        EXPECT_FALSE(Exists(m_at.program + "\\uninstall.exe"));
        EXPECT_FALSE(Exists(m_at.engine + "\\63"));
        EXPECT_FALSE(Exists(m_at.program + "\\licenses"));
        EXPECT_FALSE(Exists(m_at.startMenuLink));
        EXPECT_FALSE(Exists(m_at.desktopLink));
        EXPECT_FALSE(EntryExists());
    }

    // Copies of the card's original pictures in a new folder: (path, bytes).
    std::map<std::string, std::string> PutPictures(const std::string& folder)
    {
        std::map<std::string, std::string> pictures;
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string originals = Env("QV_CARD") + "\\originals";
        for (const std::string& name : FilesIn(originals)) {
            const std::string bytes = ReadFileBytes(originals + "\\" + name);
            WriteFileBytes(folder + "\\" + name, bytes);
            pictures[folder + "\\" + name] = bytes;
        }
        return pictures;
    }

    void ExpectUntouched(const std::map<std::string, std::string>& pictures)
    {
        ASSERT_FALSE(pictures.empty());
        for (const auto& picture : pictures)
            EXPECT_TRUE(ReadFileBytes(picture.first) == picture.second) << picture.first << " changed or gone";
    }

    Locations m_at;
    PROCESS_INFORMATION m_program = {};
};

TEST_F(SetupTest, SilentInstallPutsEverythingInPlace)
{
    ASSERT_FALSE(Exists(m_at.program)) << "the prefix must be fresh";
    ASSERT_FALSE(EntryExists());

    InstallSilently();
    ExpectEveryFileInPlace();

    std::string value;
    ASSERT_TRUE(EntryString("DisplayName", value));
    EXPECT_EQ(value, "Quorvane");
    ASSERT_TRUE(EntryString("Publisher", value));
    EXPECT_EQ(value, "Quorvane");
    ASSERT_TRUE(EntryString("DisplayVersion", value));
    EXPECT_EQ(value, QV_VERSION_TEXT);
    ASSERT_TRUE(EntryString("DisplayIcon", value));
    EXPECT_EQ(value, m_at.program + "\\quorvane.exe,0");
    ASSERT_TRUE(EntryString("UninstallString", value));
    EXPECT_EQ(value, Quoted(m_at.program + "\\uninstall.exe"));
    ASSERT_TRUE(EntryString("QuietUninstallString", value));
    EXPECT_EQ(value, Quoted(m_at.program + "\\uninstall.exe") + " /S");
    ASSERT_TRUE(EntryString("InstallLocation", value));
    EXPECT_EQ(value, m_at.program);

    // The size in KiB of what was installed.
    DWORD size = 0;
    ASSERT_TRUE(EntryDword("EstimatedSize", size));
    size_t bytes = 0;
    for (const auto& file : InstalledFiles())
        bytes += ReadFileBytes(file.second).size();
    EXPECT_GE(size, bytes / 1024);
    EXPECT_LE(size, bytes / 1024 + InstalledFiles().size());

    const Shortcut link = ReadShortcut(m_at.startMenuLink);
    ASSERT_TRUE(link.loaded) << m_at.startMenuLink;
    EXPECT_EQ(link.target, m_at.program + "\\quorvane.exe");
    EXPECT_EQ(link.folder, m_at.program);
    EXPECT_FALSE(Exists(m_at.desktopLink)) << "only offered on the finish page";
}

TEST_F(SetupTest, InstalledProgramFindsItsEngineAndBlocksSetupWhileRunning)
{
    InstallSilently();
    // Wine lists C: as disk 0, which the program names /dev/sda.
    const std::string devices = m_at.engine + "\\63\\cygwin\\devices";
    WriteFileBytes(devices, ReadFileBytes(devices) + "/dev/sda=" + Env("QV_CARD") + "\\card.img\r\n");
    const std::string saveFolder = "C:\\Recovered by the installed program";
    WriteFileBytes(m_at.program + "\\settings.ini", "savedir=" + saveFolder + "\r\n");

    // Started the way the Start menu starts it.
    const Shortcut link = ReadShortcut(m_at.startMenuLink);
    ASSERT_TRUE(link.loaded);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION& process = m_program;
    std::string command = Quoted(link.target);
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, link.folder.c_str(),
                               &startup, &process));

    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (main = ProgramMainWindow(process.dwProcessId)) != nullptr; }, 30000))
        << Text(GetDlgItem(ProgramBox(process.dwProcessId), 0xFFFF));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEXT)) != FALSE; }, 30000));
    EXPECT_EQ(Text(GetDlgItem(main, IDC_SAVE_DIR)), saveFolder);
    HWND drives = GetDlgItem(main, IDC_DRIVE_LIST);
    ASSERT_GT(SendMessageA(drives, LVM_GETITEMCOUNT, 0, 0), 0);
    PostMessageA(drives, WM_KEYDOWN, VK_HOME, 0);
    ASSERT_TRUE(WaitUntil([&] {
        return SendMessageA(drives, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == 0;
    }));
    PostCommand(main, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] {
        return Text(GetDlgItem(main, IDC_STATUS)) == "Press 'Recover' to recover files detected." &&
               Text(GetDlgItem(main, IDC_RECOVER)) == "Recover";
    }, 180000)) << Text(GetDlgItem(main, IDC_STATUS)) << " / box: " << Text(GetDlgItem(ProgramBox(process.dwProcessId), 0xFFFF));
    const HWND list = GetDlgItem(main, IDC_PICTURE_LIST);
    const int found = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_GE(found, static_cast<int>(FilesIn(Env("QV_CARD") + "\\originals").size()));
    // A damaged find is not ticked, and so not recovered.
    int ticked = 0;
    for (int item = 0; item < found; ++item)
        ticked += SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK) >> 12 == 2 ? 1 : 0;

    // Recovered into the search's recovery folder in the save folder, which
    // the uninstall test must spare, beside the record of what was copied.
    PostCommand(main, IDC_RECOVER);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ProgramBox(process.dwProcessId)) != nullptr; }, 60000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));
    EXPECT_TRUE(FilesIn(saveFolder).empty());
    const std::vector<std::string> recovered = FilesBelow(saveFolder);
    const auto records = std::count_if(recovered.begin(), recovered.end(), [](const std::string& path) {
        return path.size() > 23 && path.compare(path.size() - 23, 23, "\\Recovered pictures.csv") == 0;
    });
    EXPECT_EQ(records, 1);
    EXPECT_EQ(recovered.size() - records, static_cast<size_t>(ticked));

    // The results stay after Recover.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEW_SEARCH)) != FALSE; }, 10000));

    // While it runs its files are in use: setup and uninstaller refuse
    // (exit code 2, cancelled) rather than leave half an installation.
    EXPECT_EQ(RunToEnd(Quoted(Env("QV_SETUP")) + " /S", 60000), 2u);
    std::string uninstall;
    ASSERT_TRUE(EntryString("QuietUninstallString", uninstall));
    DWORD pid = 0;
    const DWORD code = RunToEnd(uninstall, 60000, &pid);
    EXPECT_EQ(WaitForChildren(pid, code, 60000), 2u);
    EXPECT_TRUE(EntryExists());
    EXPECT_TRUE(Exists(m_at.program + "\\uninstall.exe"));
    EXPECT_TRUE(Exists(m_at.engine + "\\photo.exe"));

    // Closing asks at most whether to leave finds not recovered (the window
    // counts every find listed until it keeps count of what it recovered).
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    WaitUntil([&] {
        question = ProgramBox(process.dwProcessId);
        return question != nullptr || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    }, 5000);
    if (question) {
        EXPECT_EQ(Text(question), "Confirm");
        PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(question, IDYES)));
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(SetupTest, SecondInstallKeepsTheSettingsAndRepairsTheRest)
{
    InstallSilently();
    const std::string settings = "savedir=C:\\Somewhere else\r\n";
    const std::string formats = "formats=png,tif\r\n";
    WriteFileBytes(m_at.program + "\\settings.ini", settings);
    WriteFileBytes(m_at.program + "\\formats.ini", formats);
    DeleteFileA((m_at.engine + "\\photo.exe").c_str());
    WriteFileBytes(m_at.program + "\\quorvane.exe", "damaged");

    InstallSilently();
    ExpectEveryFileInPlace();
    EXPECT_EQ(ReadFileBytes(m_at.program + "\\settings.ini"), settings);
    EXPECT_EQ(ReadFileBytes(m_at.program + "\\formats.ini"), formats);
}

TEST_F(SetupTest, SilentUninstallRemovesWhatWasInstalledAndKeepsPicturesAndSettings)
{
    InstallSilently();
    // The save folder chosen inside the program folder, the engine's output
    // in the work folder, and pictures recovered elsewhere earlier.
    const std::string saveFolder = m_at.program + "\\Recovered";
    const auto pictures = PutPictures(saveFolder);
    auto elsewhere = PutPictures("C:\\Recovered by the installed program");
    const std::string settings = "savedir=" + saveFolder + "\r\n";
    WriteFileBytes(m_at.program + "\\settings.ini", settings);
    WriteFileBytes(m_at.program + "\\formats.ini", "formats=jpg\r\n");
    CreateDirectoryA((m_at.engine + "\\data").c_str(), nullptr);
    PutPictures(m_at.engine + "\\data\\temp");
    // An old work folder the program was still deleting when it was closed.
    CreateDirectoryA((m_at.engine + "\\data.removing.2").c_str(), nullptr);
    PutPictures(m_at.engine + "\\data.removing.2\\temp");
    // A search that was cut short leaves the engine's files beside it.
    WriteFileBytes(m_at.engine + "\\data.progress", "searched=0\r\n");
    WriteFileBytes(m_at.engine + "\\data.finds", "quorvane-finds 1\n");

    UninstallSilently();
    ExpectInstalledFilesGone();
    EXPECT_FALSE(Exists(m_at.engine)) << "work folder and engine folder go";
    ExpectUntouched(pictures);
    ExpectUntouched(elsewhere);
    EXPECT_EQ(ReadFileBytes(m_at.program + "\\settings.ini"), settings) << "kept unless asked";
    EXPECT_TRUE(Exists(m_at.program + "\\formats.ini"));
}

TEST_F(SetupTest, RemoveSettingsSwitchSparesASaveFolderInsideTheWorkFolder)
{
    InstallSilently();
    RemoveTree(m_at.program + "\\Recovered");
    const std::string saveFolder = m_at.engine + "\\data\\Recovered";
    CreateDirectoryA((m_at.engine + "\\data").c_str(), nullptr);
    const auto pictures = PutPictures(saveFolder);
    WriteFileBytes(m_at.program + "\\settings.ini", "savedir=" + saveFolder + "\r\n");

    UninstallSilently(" /REMOVESETTINGS");
    ExpectInstalledFilesGone();
    ExpectUntouched(pictures);
    EXPECT_FALSE(Exists(m_at.program)) << "settings removed, nothing else left";
    RemoveTree(m_at.engine);
}

TEST_F(SetupTest, PagesOfANormalInstallAndAnUninstallThatAsks)
{
    DWORD pid = 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION setup = {};
    std::string command = Quoted(Env("QV_SETUP"));
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &setup));
    pid = setup.dwProcessId;

    HWND page = WizardPage("Quorvane Setup", "&Next >");
    ASSERT_NE(page, nullptr);
    Shot("1-welcome", page);
    PostCommand(page, IDOK);

    page = WizardPage("Quorvane Setup", "&Install");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Text(ChildWithId(page, kInstallFolderEdit)), m_at.program);
    Shot("2-folder", page);
    PostCommand(page, IDOK);

    // The progress page stays when done, until Next.
    ASSERT_TRUE(WaitUntil([&] { return Text(ChildWithId(page, kHeaderTitle)) == "Installation Complete"; }, 60000));
    page = WizardPage("Quorvane Setup", "&Next >");
    ASSERT_NE(page, nullptr);
    Shot("3-progress", page);
    PostCommand(page, IDOK);

    page = WizardPage("Quorvane Setup", "&Finish");
    ASSERT_NE(page, nullptr);
    HWND run = ChildWithText(page, "Start Quorvane now");
    HWND desktop = ChildWithText(page, "Put a shortcut on the desktop");
    ASSERT_NE(run, nullptr);
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(SendMessageA(desktop, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(desktop, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(run, BM_SETCHECK, BST_UNCHECKED, 0);
    Shot("4-finish", page);
    PostCommand(page, IDOK);
    ASSERT_EQ(WaitForSingleObject(setup.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(setup.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(setup.hThread);
    CloseHandle(setup.hProcess);

    ExpectEveryFileInPlace();
    const Shortcut link = ReadShortcut(m_at.desktopLink);
    ASSERT_TRUE(link.loaded) << m_at.desktopLink;
    EXPECT_EQ(link.target, m_at.program + "\\quorvane.exe");

    // Apps and Features' Uninstall: the uninstaller asks about the settings.
    WriteFileBytes(m_at.program + "\\settings.ini", "savedir=C:\\Pictures\r\n");
    std::string uninstall;
    ASSERT_TRUE(EntryString("UninstallString", uninstall));
    pid = 0;
    ASSERT_EQ(RunToEnd(uninstall, 30000, &pid), 0u);
    page = WizardPage("Quorvane Uninstall", "&Uninstall");
    ASSERT_NE(page, nullptr);
    Shot("5-uninstall", page);
    PostCommand(page, IDOK);
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        question = TopWindow([](HWND hwnd) { return GetDlgItem(hwnd, IDYES) && GetDlgItem(hwnd, IDNO); });
        return question != nullptr;
    }, 30000));
    EXPECT_NE(Text(GetDlgItem(question, 0xFFFF)).find("remove your Quorvane settings"), std::string::npos);
    Shot("6-remove-settings", question);
    PostCommand(question, IDYES);
    page = WizardPage("Quorvane Uninstall", "&Close");
    ASSERT_NE(page, nullptr);
    PostCommand(page, IDOK);
    EXPECT_EQ(WaitForChildren(pid, 0, 30000), 0u);

    ExpectInstalledFilesGone();
    EXPECT_FALSE(Exists(m_at.program)) << "the settings were removed as asked";
    EXPECT_FALSE(Exists(m_at.engine));
}

}  // namespace
