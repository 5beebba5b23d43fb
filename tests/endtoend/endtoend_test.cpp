// The whole job with the real program and the real engine: a memory-card
// image whose pictures were deleted is mapped to the first disk, the user's
// steps are sent to the program's window, and the recovered pictures are
// compared with the originals byte for byte.
//
// Run by run_endtoend.sh, which makes the image; it passes Windows paths in
// QV_E2E_CARD (folder with card.img and originals\), QV_E2E_PROGRAM (the
// program), QV_E2E_ICON (icon.png) and QV_E2E_ENGINE (photo.exe, cygwin1.dll
// and 63\cygwin\devices). scripts/demo also sets QV_E2E_SAVE (a save folder
// to keep) and QV_E2E_SHOTS (a folder where each view is announced as
// NAME.want, and waited for as NAME.png taken on the Linux side).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FileUtils.h"
#include "MainWindowControls.h"
#include "ProgramWindows.h"
#include "UiTest.h"
#include "resource.h"

using namespace uitest;

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Asks the demonstration for a screenshot of the screen as it is now.
void Shot(const char* name)
{
    const std::string folder = Env("QV_E2E_SHOTS");
    if (folder.empty())
        return;
    const std::string base = folder + "\\" + name;
    WriteFileBytes(base + ".want", "");
    WaitUntil([&] { return Exists(base + ".png") && !Exists(base + ".want"); }, 15000);
}

// A list item's text and rectangle, read from another process's list: the
// buffers go into that process's memory, as the control writes there.
template <class T>
bool AskList(HWND list, UINT message, WPARAM wParam, T& data, size_t extra, std::string* text)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return false;
    const size_t size = sizeof(T) + extra;
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    bool ok = false;
    if (remote) {
        if constexpr (std::is_same<T, LVITEMA>::value) {
            data.pszText = remote + sizeof(T);
            data.cchTextMax = static_cast<int>(extra);
        }
        SIZE_T moved = 0;
        if (WriteProcessMemory(process, remote, &data, sizeof(T), &moved)) {
            SendMessageA(list, message, wParam, reinterpret_cast<LPARAM>(remote));
            ok = ReadProcessMemory(process, remote, &data, sizeof(T), &moved) != FALSE;
            if (ok && text) {
                std::string buffer(extra, '\0');
                ok = ReadProcessMemory(process, remote + sizeof(T), &buffer[0], extra, &moved) != FALSE;
                text->assign(buffer.c_str());
            }
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

std::string ListItemText(HWND list, int item)
{
    LVITEMA lv = {};
    std::string text;
    AskList(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), lv, MAX_PATH, &text);
    return text;
}

bool ListItemRect(HWND list, int item, RECT& rect)
{
    return AskList(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), rect, 0, nullptr);
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_card = Env("QV_E2E_CARD");
        m_engineFolder = std::string(GetAppDataFolder().GetString()) + "\\tarnwick-software";
        if (m_card.empty())
            GTEST_SKIP() << "run through run_endtoend.sh";
        ASSERT_TRUE(Exists(m_card + "\\card.img"));
        m_work = std::make_unique<TempFolder>("endtoend");
        InstallEngine();
        InstallProgram();
    }

    void TearDown() override
    {
        if (m_process.hProcess) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_process.hProcess, 1);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        // The engine may still be running after a failure.
        WaitUntil([&] { return DeleteFileA((m_engineFolder + "\\photo.exe").c_str()) ||
                               !Exists(m_engineFolder + "\\photo.exe"); }, 10000);
        RemoveTree(m_engineFolder);
        m_work.reset();
    }

    void InstallEngine()
    {
        const std::string from = Env("QV_E2E_ENGINE");
        RemoveTree(m_engineFolder);
        ASSERT_TRUE(CreateDirectoryA(m_engineFolder.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA((from + "\\photo.exe").c_str(), (m_engineFolder + "\\photo.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((from + "\\cygwin1.dll").c_str(), (m_engineFolder + "\\cygwin1.dll").c_str(), FALSE));
        CreateDirectoryA((m_engineFolder + "\\63").c_str(), nullptr);
        CreateDirectoryA((m_engineFolder + "\\63\\cygwin").c_str(), nullptr);
        // Wine lists C: as disk 0, which the program names /dev/sda.
        WriteFileBytes(m_engineFolder + "\\63\\cygwin\\devices",
                       ReadFileBytes(from + "\\63\\cygwin\\devices") + "/dev/sda=" + m_card + "\\card.img\r\n");
    }

    void InstallProgram()
    {
        m_programFolder = m_work->Join("program");
        m_saveFolder = Env("QV_E2E_SAVE");
        if (m_saveFolder.empty())
            m_saveFolder = m_work->Join("Recovered");  // made by the first copy
        CreateDirectoryA(m_programFolder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(Env("QV_E2E_PROGRAM").c_str(), (m_programFolder + "\\quorvane.exe").c_str(), FALSE));
        CopyFileA(Env("QV_E2E_ICON").c_str(), (m_programFolder + "\\icon.png").c_str(), FALSE);
        // The picture decoders lie beside the program, as the setup puts them.
        const std::string built = Env("QV_E2E_PROGRAM");
        const std::string builtFolder = built.substr(0, built.find_last_of('\\'));
        for (const char* dll : {"libheif.dll", "libde265.dll", "libdav1d.dll", "libwebp.dll", "libwebpdemux.dll"})
            ASSERT_TRUE(CopyFileA((builtFolder + "\\" + dll).c_str(), (m_programFolder + "\\" + dll).c_str(), FALSE))
                << dll;
        WriteFileBytes(m_programFolder + "\\settings.ini", "savedir=" + m_saveFolder + "\r\n");
    }

    HWND StartProgram()
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string command = "\"" + m_programFolder + "\\quorvane.exe\"";
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, m_programFolder.c_str(),
                            &startup, &m_process))
            return nullptr;
        HWND main = nullptr;
        WaitUntil([&] { return (main = ProgramMainWindow(m_process.dwProcessId)) != nullptr; }, 30000);
        return main;
    }

    std::string m_card;
    std::string m_engineFolder;
    std::unique_ptr<TempFolder> m_work;
    std::string m_programFolder;
    std::string m_saveFolder;
    PROCESS_INFORMATION m_process = {};
};

TEST_F(EndToEndTest, DeletedPicturesComeBackByteForByte)
{
    const std::string originals = m_card + "\\originals";
    std::map<std::string, std::string> wanted;  // bytes -> name
    for (const std::string& name : FilesIn(originals))
        wanted[ReadFileBytes(originals + "\\" + name)] = name;
    ASSERT_GE(wanted.size(), 5u);

    HWND main = StartProgram();
    ASSERT_NE(main, nullptr);
    HWND drives = GetDlgItem(main, IDC_DRIVE_LIST);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEXT)) != FALSE; }, 30000));
    EXPECT_EQ(Text(GetDlgItem(main, IDC_SAVE_DIR)), m_saveFolder);
    Shot("1-ready");

    // The first row is C:. The user clicks it: Home on the focused list.
    ASSERT_GT(SendMessageA(drives, LVM_GETITEMCOUNT, 0, 0), 0);
    PostMessageA(drives, WM_KEYDOWN, VK_HOME, 0);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(drives, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                    LVNI_SELECTED) == 0; }));

    PostCommand(main, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return Text(GetDlgItem(main, IDC_RECOVER)) == "Cancel"; }, 10000));
    Shot("2-analysing");
    HWND pictures = GetDlgItem(main, IDC_PICTURE_LIST);
    ASSERT_TRUE(WaitUntil([&] {
        return Text(GetDlgItem(main, IDC_STATUS)) == "Press 'Recover' to recover files detected." &&
               Text(GetDlgItem(main, IDC_RECOVER)) == "Recover";
    }, 180000)) << Text(GetDlgItem(main, IDC_STATUS));
    EXPECT_EQ(ProgramBox(m_process.dwProcessId), nullptr);
    Shot("3-analysed");
    const int found = static_cast<int>(SendMessageA(pictures, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_GE(found, static_cast<int>(wanted.size()) + 1);
    // Every picture is ticked but the damaged one (overwritten in part
    // after its deletion), which the user judges.
    int ticked = 0;
    std::vector<std::string> unticked;
    for (int item = 0; item < found; ++item) {
        if (SendMessageA(pictures, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK) >> 12 == 2)
            ++ticked;
        else
            unticked.push_back(ListItemText(pictures, item));
    }
    EXPECT_EQ(unticked, std::vector<std::string>{"_edding.jpg"});
    EXPECT_NE(Text(CountLine(main)).find(" - 1 damaged"), std::string::npos)
        << Text(CountLine(main));

    // Each deleted picture is listed under its name from the card's records
    // (FAT keeps all but the first letter of a deleted short name).
    std::vector<std::string> names;
    for (int item = 0; item < found; ++item) {
        names.push_back(ListItemText(pictures, item));
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "_oliday.jpg"), names.end());
    // Today's formats too: a camera's RAW files, a phone's HEIC, AVIF and
    // WebP, each under its name (long names come back whole from their
    // entries) and counted under its type in the filter bar.
    for (const char* name : {"_MG_0001.CR2", "_SC_0002.NEF", "_MG_0003.DNG", "phone.heic", "avatar.avif", "web.webp"}) {
        const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& listedName) {
            return lstrcmpiA(listedName.c_str(), name) == 0;
        });
        std::string all;
        for (const std::string& listedName : names)
            all += " " + listedName;
        EXPECT_TRUE(listed) << name << " is not among" << all;
    }
    std::vector<std::string> typeBoxes;
    for (HWND child = GetWindow(FilterBar(main), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child) && Text(child).find(" (") != std::string::npos)
            typeBoxes.push_back(Text(child));
    }
    for (const char* type : {"RAW (3)", "HEIC (1)", "AVIF (1)", "WebP (1)"})
        EXPECT_NE(std::find(typeBoxes.begin(), typeBoxes.end(), type), typeBoxes.end()) << type;

    // The details of a picture in its tooltip and its preview: the phone's
    // HEIC (drawn through its library) and the DNG drawn from its plain RGB
    // thumbnail. The pointer rests on each, then a double click opens it.
    const auto look = [&](const char* name, const char* tooltipShot, const char* previewShot) {
        int chosen = -1;
        for (int item = 0; item < found; ++item) {
            if (lstrcmpiA(ListItemText(pictures, item).c_str(), name) == 0)
                chosen = item;
        }
        RECT icon = {LVIR_ICON, 0, 0, 0};
        if (chosen < 0 || !ListItemRect(pictures, chosen, icon))
            return;
        POINT at = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
        ClientToScreen(pictures, &at);
        SetCursorPos(at.x - 3, at.y - 3);
        Pump(100);
        SetCursorPos(at.x, at.y);
        Pump(1500);
        Shot(tooltipShot);
        SetCursorPos(5, 5);

        const LPARAM middle = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
        PostMessageA(pictures, WM_LBUTTONDOWN, MK_LBUTTON, middle);
        PostMessageA(pictures, WM_LBUTTONUP, 0, middle);
        PostMessageA(pictures, WM_LBUTTONDBLCLK, MK_LBUTTON, middle);
        PostMessageA(pictures, WM_LBUTTONUP, 0, middle);
        HWND preview = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (preview = FindWindowA("QuorvanePreview", nullptr)) != nullptr &&
                                           IsWindowVisible(preview); }, 10000));
        Pump(1500);
        Shot(previewShot);
        if (preview) {
            PostMessageA(preview, WM_CLOSE, 0, 0);
            WaitUntil([&] { return !IsWindow(preview); }, 5000);
        }
    };
    look("phone.heic", "3a-tooltip", "3b-preview");
    look("_MG_0003.DNG", "3d-dng-tooltip", "3e-dng-preview");

    // "Hide pictures smaller than 100 x 100" in the filter bar hides the
    // logo and the small PNG; the first entry shows everything again.
    HWND bar = FilterBar(main);
    HWND sizes = ComboWithEntry(bar, "Hide pictures smaller than 100 x 100");
    ASSERT_NE(sizes, nullptr);
    ChooseEntry(sizes, 1);
    const int shown = static_cast<int>(SendMessageA(pictures, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_LT(shown, found);
    EXPECT_GT(shown, 0);
    Pump(300);
    Shot("3c-filtered");
    ChooseEntry(sizes, 0);
    EXPECT_EQ(SendMessageA(pictures, LVM_GETITEMCOUNT, 0, 0), found);

    PostCommand(main, IDC_RECOVER);
    Shot("4-recovering");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ProgramBox(m_process.dwProcessId)) != nullptr; }, 60000));
    EXPECT_EQ(Text(box), "Quorvane");
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)),
              std::to_string(ticked) + " files recovered.\n\nDo you want to view recovered files?");
    Shot("5-summary");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));
    // The results stay, every picture recovered; New search goes back.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEW_SEARCH)) != FALSE; }, 10000));
    EXPECT_EQ(SendMessageA(pictures, LVM_GETITEMCOUNT, 0, 0), found);
    EXPECT_NE(Text(CountLine(main)).find(" - " + std::to_string(ticked) + " recovered"),
              std::string::npos)
        << Text(CountLine(main));
    Shot("6-results-kept");
    PostCommand(main, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEXT)) != FALSE; }, 10000));
    Shot("7-ready-again");

    // Every original is among the recovered pictures, unchanged, and every
    // recovered picture is one of the originals.
    // They are in one recovery folder of the search's, arranged in folders,
    // beside its record of a header and a row for each.
    std::map<std::string, std::string> missing = wanted;
    EXPECT_TRUE(FilesIn(m_saveFolder).empty());
    std::vector<std::string> folders;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((m_saveFolder + "\\Quorvane recovery *").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no recovery folder in " << m_saveFolder;
    do
        folders.push_back(entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    ASSERT_EQ(folders.size(), 1u);
    const std::string recovery = m_saveFolder + "\\" + folders[0];
    const std::string record = ReadFileBytes(recovery + "\\Recovered pictures.csv");
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), ticked + 1);
    std::vector<std::string> recovered;
    for (const std::string& name : FilesBelow(recovery)) {
        if (name != "Recovered pictures.csv")
            recovered.push_back("\\" + name);
    }
    EXPECT_EQ(recovered.size(), static_cast<size_t>(ticked));
    for (const std::string& name : recovered) {
        const std::string bytes = ReadFileBytes(recovery + name);
        EXPECT_TRUE(wanted.count(bytes)) << name << " is not an original (" << bytes.size() << " bytes)";
        missing.erase(bytes);
    }
    for (const auto& entry : missing)
        ADD_FAILURE() << entry.second << " was not recovered";

    // The engine has ended: closing asks at most whether to leave finds
    // not recovered (the window counts every find listed until it keeps
    // count of what it recovered); Yes ends the program.
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    WaitUntil([&] {
        question = ProgramBox(m_process.dwProcessId);
        return question != nullptr || WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
    }, 5000);
    if (question) {
        EXPECT_EQ(Text(question), "Confirm");
        PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(question, IDYES)));
    }
    EXPECT_EQ(WaitForSingleObject(m_process.hProcess, 15000), WAIT_OBJECT_0);
}

}  // namespace
