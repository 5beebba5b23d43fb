// Shared pieces of the analysis tests: a main window on its own thread
// whose picture list the tests fill through the list's own interface,
// pictures made with GDI+, the per-user engine folder with the test engine
// installed as photo.exe, and formats.ini.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DiskLayout.h"
#include "FileUtils.h"
#include "MainWindowControls.h"
#include "RecoveryDlg.h"
#include "TestPictures.h"
#include "UiTest.h"
#include "WindowTest.h"
#include "resource.h"

namespace analysis {

using namespace uitest;

inline uint64_t FileBytes(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Lists the picture at source under itemPath, on the list's thread, and
// shows it; a source other than the item's own file stands for the
// placeholder of a file that does not decode.
inline void ListPicture(CPictureList& list, const std::string& source, const std::string& itemPath)
{
    ThumbnailPixels pixels;
    ::PictureDetails details;
    bool decodes = RenderThumbnail(source.c_str(), pixels, &details);
    if (source != itemPath) {
        details = ::PictureDetails();
        details.bytes = FileBytes(itemPath);
        decodes = false;
    }
    list.Add(itemPath.c_str(), pixels, details, decodes);
    list.ShowCount();
    ListView_EnsureVisible(list.Handle(), ListView_GetItemCount(list.Handle()) - 1, TRUE);
}

// Lists these pixels as the thumbnail of the file at path; the list hears
// of it at its next ShowCount.
inline void ListThumbnail(CPictureList& list, const ThumbnailPixels& pixels, const std::string& path)
{
    ::PictureDetails details;
    details.bytes = FileBytes(path);
    list.Add(path.c_str(), pixels, details, true);
}

const char kTip[] = "<- Tips: click \"Cancel\" to stop analyzing and recover detected files.";
const char kAnalysed[] = "Press 'Recover' to recover files detected.";
const char kLaunchFailed[] =
    "Failed to load engine, error code -1009. Installation may be corrupted, please try to re-install Quorvane";
const char kNoFormats[] =
    "No file formats enabled.\n\nPlease go to 'Settings' to enable the type of file you wish to recover.";

// The main window with the platform's answers a test gives, and a few
// reads of its controls.
class TestDlg : public RunsOnUi<CRecoveryDlg> {
public:
    HWND FilterBar() const { return uitest::FilterBar(m_hWnd); }
    std::string CountText() const { return Text(CountLine(m_hWnd)); }

    // Typed into the save folder's box (the window's only edit box).
    void SetSaveFolder(const std::string& folder) { ::SetWindowTextA(NthChild(m_hWnd, "Edit", 0), folder.c_str()); }

    // The disks the window sees; when none are given, the machine's with a
    // memory card B: on disk 1 (see WindowFixture).
    DiskLayout* disks = nullptr;
    // What "Open a copy" picks; empty: nothing.
    std::string diskCopyPick;

protected:
    BOOL IsAdministrator() override { return TRUE; }
    bool PickDiskCopy(CString& path) override
    {
        if (diskCopyPick.empty())
            return false;
        path = diskCopyPick.c_str();
        return true;
    }
    IDriveSystem& DriveSystem() override
    {
        if (disks)
            return *disks;
        if (!m_card) {
            m_card = std::make_unique<DiskLayout>();
            m_card->AddCard("B:", 1, 2000000000ull);
        }
        return *m_card;
    }

private:
    std::unique_ptr<DiskLayout> m_card;
};

// ---------------------------------------------------------------------------
// Pictures

// A 1 x 1 red GIF (Wine's GIF encoder writes files its decoder refuses).
inline std::string TinyGif()
{
    static const unsigned char bytes[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                                          0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                                          0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// 64 x 64 pixels as 0xRRGGBB, row by row from the top.
using Pixels = std::vector<uint32_t>;

inline Pixels DrawToPixels(const std::function<void(HDC)>& draw)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = -64;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, target);
    PatBlt(dc, 0, 0, 64, 64, BLACKNESS);
    draw(dc);
    GdiFlush();
    Pixels pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + 64 * 64);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    return pixels;
}

inline Pixels BitmapPixels(HBITMAP bitmap)
{
    return DrawToPixels([&](HDC dc) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, bitmap);
        BitBlt(dc, 0, 0, 64, 64, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    });
}

inline Pixels ImagePixels(HIMAGELIST images, int index)
{
    return DrawToPixels([&](HDC dc) { ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL); });
}

inline int Channel(uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// Close to the colour, channel by channel (GDI+ under Wine scales with its
// own filter, and JPEG shifts colours a little).
inline bool Near(uint32_t p, uint32_t want, int tolerance = 48)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(p, shift) - Channel(want, shift)) > tolerance)
            return false;
    }
    return true;
}

// A 64 x 64 bitmap of the file's thumbnail, white when it does not decode.
inline HBITMAP MakeThumbnail(const CString& source)
{
    ThumbnailPixels pixels;
    RenderThumbnail(source, pixels);
    return ThumbnailBitmap(pixels);
}

inline bool CanDecode(const CString& path)
{
    ThumbnailPixels pixels;
    return RenderThumbnail(path, pixels);
}

// ---------------------------------------------------------------------------
// List control reads from the test thread

inline int ItemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

inline bool Ticked(HWND list, int item)
{
    return (SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK) >> 12) == 2;
}

inline int ImageIndex(HWND list, int item)
{
    LVITEMA lv = {};
    lv.mask = LVIF_IMAGE;
    lv.iItem = item;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lv));
    return lv.iImage;
}

// The thumbnails' image list the list draws from.
inline HIMAGELIST ListImages(HWND list)
{
    return reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
}

// The thumbnail the list draws for the item: its image, asked for as the
// list asks when it draws.
inline Pixels ItemPixels(HWND list, int item)
{
    return ImagePixels(ListImages(list), ImageIndex(list, item));
}

// The text the list shows for the item in a column (0: the name under the
// thumbnail; the others are the details view's columns), asked for as the
// list asks when it draws.
inline std::string CellText(HWND list, int item, int column = 0)
{
    char text[512] = "";
    LVITEMA lv = {};
    lv.iSubItem = column;
    lv.pszText = text;
    lv.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lv));
    return text;
}

// The names the list shows, in its order.
inline std::vector<std::string> ShownNames(HWND list)
{
    std::vector<std::string> names;
    const int count = ItemCount(list);
    for (int i = 0; i < count; ++i)
        names.push_back(CellText(list, i));
    return names;
}

inline void SelectRow(HWND list, int row)
{
    LVITEMA lv = {};
    lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    lv.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&lv));
}

// ---------------------------------------------------------------------------
// Files beside the test program and in the Wine user's folders

inline std::string ModuleFile(const char* name) { return std::string(GetModuleFolder().GetString()) + name; }

inline std::string EngineFolder() { return std::string(GetAppDataFolder().GetString()) + "\\tarnwick-software"; }

inline std::string DataFolder() { return EngineFolder() + "\\data"; }

// formats.ini beside the program; nullptr removes it.
inline void SetFormats(const char* line)
{
    const std::string path = ModuleFile("formats.ini");
    if (line)
        WriteFileBytes(path, std::string(line) + "\r\n");
    else
        DeleteFileA(path.c_str());
}

// Number of running processes whose image is this engine folder's photo.exe.
inline int EngineProcesses()
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "photo.exe") == 0)
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Installs the test engine with its runtime stand-ins into the per-user
// engine folder and removes the whole folder again afterwards.
class EngineInstall {
public:
    EngineInstall()
    {
        RemoveTree(EngineFolder());
        CreateDirectoryA(EngineFolder().c_str(), nullptr);
        CopyFileA(TEST_ENGINE_EXE, (EngineFolder() + "\\photo.exe").c_str(), FALSE);
        WriteFileBytes(EngineFolder() + "\\cygwin1.dll", "runtime");
        CreateDirectoryA((EngineFolder() + "\\63").c_str(), nullptr);
        WriteFileBytes(EngineFolder() + "\\63\\cygwin", "runtime");
        SetScript({});
    }
    ~EngineInstall()
    {
        WaitUntil([] { return EngineProcesses() == 0; }, 10000);
        RemoveTree(EngineFolder());
    }
    void SetScript(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        WriteFileBytes(EngineFolder() + "\\script.txt", text);
    }
    void Remove(const char* relative) { RemoveTree(EngineFolder() + "\\" + relative); }
    std::string ArgsPath() const { return EngineFolder() + "\\args.txt"; }
    // The engine has written its arguments and they can be read: on a
    // loaded machine the file may be seen a moment before it opens.
    bool Started() const
    {
        HANDLE file = CreateFileA(ArgsPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }
    std::string Args() const { return ReadFileBytes(ArgsPath()); }
    void ForgetArgs() { DeleteFileA(ArgsPath().c_str()); }
};

// ---------------------------------------------------------------------------
// The window

// The window searches a memory card, B: on disk 1, listed first: the per-user
// work folder is on another disk, so Next asks nothing and the work folder
// stays where it always was.
class WindowFixture : public ::testing::Test {
protected:
    WindowFixture() { m_disks.AddCard("B:", 1, 2000000000ull); }
    void TearDown() override { CloseWindow(); }

    // Opens the main window and waits for its drive list.
    template <class Window = TestDlg>
    void Open()
    {
        m_ui = std::make_unique<UiThread>([this] {
            Window dlg;
            dlg.disks = &m_disks;
            m_dlg = &dlg;
            dlg.DoModal();
            m_dlg = nullptr;
        });
        m_hwnd = m_ui->WaitForWindow("Quorvane");
        ASSERT_NE(m_hwnd, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return Visible(Item(m_hwnd, IDC_NEXT)); }, 10000));
        ASSERT_GT(ItemCount(Item(m_hwnd, IDC_DRIVE_LIST)), 0);
    }

    void CloseWindow()
    {
        if (m_ui) {
            TestDlg* dlg = m_dlg;
            // Ended as the program's end would, asking nothing: the
            // window's end stops the engine itself.
            if (dlg && IsWindow(m_hwnd))
                dlg->RunOnUi([dlg] { dlg->EndDialog(IDCANCEL); });
            EXPECT_TRUE(m_ui->WaitFinished(20000));
            m_ui.reset();
        }
        m_hwnd = nullptr;
    }

    TestDlg& Dlg() { return *m_dlg.load(); }
    HWND Ctl(int id) const { return Item(m_hwnd, id); }

    void SelectFirstDrive() { SelectRow(Ctl(IDC_DRIVE_LIST), 0); }

    // Presses the main window's button of this caption as a user does; it
    // returns once the window has acted on the press (a box it opens is
    // answered first).
    void Press(const char* caption)
    {
        HWND button = ChildWithText(m_hwnd, "Button", caption);
        ASSERT_NE(button, nullptr) << caption;
        SendMessageA(button, BM_CLICK, 0, 0);
    }
    // Escape, as the user presses it in the main window.
    void PressEscape() { SendMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

    // The device of the first drive the window lists for these disks.
    std::string FirstDevice() { return EnumerateDrives(m_disks).front().strDevice.GetString(); }

    bool Analysed() const
    {
        return Text(Ctl(IDC_STATUS)) == kAnalysed && Text(Ctl(IDC_RECOVER)) == "Recover" &&
               Visible(Ctl(IDC_SELECT_ALL)) && Visible(Ctl(IDC_RECOVER)) && Visible(Ctl(IDC_PICTURE_LIST));
    }
    bool WaitAnalysed(DWORD ms = 15000)
    {
        return WaitUntil([&] { return Analysed(); }, ms);
    }

    // The name the picture list shows at this place.
    std::string ShownName(int item) { return CellText(Ctl(IDC_PICTURE_LIST), item); }

    DiskLayout m_disks;
    std::unique_ptr<UiThread> m_ui;
    std::atomic<TestDlg*> m_dlg{nullptr};
    HWND m_hwnd = nullptr;
};

}  // namespace analysis
