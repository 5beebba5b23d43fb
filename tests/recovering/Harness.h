// A main window run on its own thread, with a way to run code on that
// thread, tiny pictures that the stand-in engine writes as a search of a
// memory card finds them, and the views' controls.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AnalysisHarness.h"
#include "DiskLayout.h"
#include "FileUtils.h"
#include "MainWindowControls.h"
#include "RecoveryDlg.h"
#include "UiTest.h"
#include "WindowTest.h"
#include "resource.h"

namespace harness {

using namespace uitest;

const int kDriveSelection[] = {IDC_BROWSE,     IDC_NEXT,           IDC_RELOAD,        IDC_DRIVE_LIST,
                               IDC_SELECT_DRIVE_LABEL, IDC_SAVE_DIR_LABEL, IDC_SAVE_DIR};

class TestDlg : public RunsOnUi<CRecoveryDlg> {
public:
    TestDlg() { m_card.AddCard("B:", 1, 2000000000ull); }

    void SetSaveFolder(const std::string& folder)
    {
        // The save folder's box: the window's only edit box.
        ::SetWindowTextA(NthChild(m_hWnd, "Edit", 0), folder.c_str());
    }
    // The folder the next Browse picks, as if the user chose it.
    void QueuePick(const std::string& folder)
    {
        RunOnUi([&] { m_picks.push_back(folder); });
    }
    std::vector<std::string> Opened()
    {
        std::vector<std::string> copy;
        RunOnUi([&] { copy = m_opened; });
        return copy;
    }

protected:
    BOOL IsAdministrator() override { return TRUE; }
    // The machine's drives with a memory card B: on disk 1, listed first:
    // the per-user work folder is on another disk, so Next asks nothing.
    IDriveSystem& DriveSystem() override { return m_card; }
    void OpenSaveFolder(const CString& folder) override { m_opened.push_back(folder.GetString()); }
    bool PickFolder(CString& path) override
    {
        if (m_picks.empty())
            return false;
        path = m_picks.front().c_str();
        m_picks.erase(m_picks.begin());
        return true;
    }
    // A slow save disk: each copy takes a while, so that every step of the
    // progress can be seen.
    CPictureCopier::Outcome CopyPicture(const CString& source, const CString& folder, const CString& name,
                                        CString& copied) override
    {
        Sleep(150);
        return CRecoveryDlg::CopyPicture(source, folder, name, copied);
    }

private:
    DiskLayout m_card;
    std::vector<std::string> m_opened;
    std::vector<std::string> m_picks;
};

// A 24-bit bottom-up BMP of w by h pixels in one colour, varied by seed so
// that no two pictures have the same bytes.
inline std::string MakeBmp(int w, int h, int seed)
{
    const int rowBytes = (w * 3 + 3) & ~3;
    const int imageBytes = rowBytes * h;
    std::string bytes(54 + static_cast<size_t>(imageBytes), '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<uint32_t>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    bytes[26] = 1;
    bytes[28] = 24;
    put32(34, static_cast<uint32_t>(imageBytes));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t at = 54 + static_cast<size_t>(y * rowBytes + x * 3);
            bytes[at] = static_cast<char>(seed * 37 + x);
            bytes[at + 1] = static_cast<char>(seed * 91 + y);
            bytes[at + 2] = static_cast<char>(seed * 13);
        }
    }
    return bytes;
}

inline int ItemCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

inline bool Ticked(HWND list, int item)
{
    return (SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK) >> 12) == 2;
}

// Ticks or unticks by hand: a click on the item's tick box.
inline bool SetTicked(HWND list, int item, bool ticked)
{
    if (Ticked(list, item) == ticked)
        return true;
    return ClickTickBox(list, item) && WaitUntil([&] { return Ticked(list, item) == ticked; });
}

inline int ProgressPos(HWND dlg)
{
    return static_cast<int>(SendMessageA(Item(dlg, IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

inline bool InReadyView(HWND dlg)
{
    for (int id : kDriveSelection) {
        if (!Visible(Item(dlg, id)))
            return false;
    }
    return !Visible(Item(dlg, IDC_PICTURE_LIST)) && !Visible(Item(dlg, IDC_RECOVER)) &&
           !Visible(Item(dlg, IDC_PROGRESS)) && !Visible(Item(dlg, IDC_PROGRESS_TEXT)) &&
           !Visible(Item(dlg, IDC_STATUS)) && !Visible(Item(dlg, IDC_SELECT_ALL));
}

inline bool InAnalysedView(HWND dlg)
{
    return Text(Item(dlg, IDC_STATUS)) == "Press 'Recover' to recover files detected." &&
           Visible(Item(dlg, IDC_STATUS)) && Visible(Item(dlg, IDC_PICTURE_LIST)) &&
           Visible(Item(dlg, IDC_RECOVER)) && Text(Item(dlg, IDC_RECOVER)) == "Recover" &&
           Visible(Item(dlg, IDC_SELECT_ALL)) && !Visible(Item(dlg, IDC_NEXT));
}

// The analysed view as the results stay after Recover: with New search.
inline bool InResultsView(HWND dlg)
{
    return InAnalysedView(dlg) && Visible(Item(dlg, IDC_NEW_SEARCH)) && IsWindowEnabled(Item(dlg, IDC_RECOVER));
}

// A TestDlg running modally on a thread of its own for one test.
class MainWindowFixture : public ::testing::Test {
protected:
    void TearDown() override
    {
        // Ended as the program's end would, asking nothing.
        if (m_ui && m_dlg && IsWindow(m_dlg) && m_object) {
            TestDlg* dlg = m_object;
            dlg->RunOnUi([dlg] { dlg->EndDialog(IDCANCEL); });
        }
        if (m_ui) {
            EXPECT_TRUE(m_ui->WaitFinished(20000));
        }
        m_ui.reset();
    }

    // Opens the window and waits for the drive-selection view.
    HWND OpenReady()
    {
        m_ui = std::make_unique<UiThread>([this] {
            TestDlg dlg;
            m_object = &dlg;
            m_result = dlg.DoModal();
            m_object = nullptr;
        });
        m_dlg = m_ui->WaitForWindow("Quorvane");
        EXPECT_NE(m_dlg, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return Visible(Item(m_dlg, IDC_NEXT)); }, 10000));
        return m_dlg;
    }

    // Searches the card as the user does (the first drive, Next) with the
    // stand-in engine writing every file of folder and its sub-folders
    // into its work folder, in the same places; with hold, the engine then
    // runs on until it is stopped.
    void SearchWriting(const std::string& folder, bool hold = false)
    {
        std::vector<std::string> files = FilesBelow(folder);
        std::sort(files.begin(), files.end());
        std::vector<std::string> script;
        for (const std::string& relative : files) {
            script.push_back("copy|" + folder + "\\" + relative + "|" + relative);
            m_written[relative.substr(relative.rfind('\\') + 1)] = relative;
        }
        if (hold)
            script.push_back("forever");
        analysis::SetFormats(nullptr);
        m_engine.SetScript(script);
        m_engine.ForgetArgs();
        analysis::SelectRow(Item(m_dlg, IDC_DRIVE_LIST), 0);
        PostCommand(m_dlg, IDC_NEXT);
    }
    // Where the engine wrote the picture the list shows at this place:
    // the work folder it was given and the place of the file of that name.
    std::string ListedPath(int item)
    {
        const std::string args = m_engine.Args();
        const size_t open = args.find('"');
        const size_t close = args.find('"', open + 1);
        if (open == std::string::npos || close == std::string::npos)
            return "<engine not started>";
        const std::string name = analysis::CellText(Item(m_dlg, IDC_PICTURE_LIST), item);
        return args.substr(open + 1, close - open - 1) + "\\" + m_written[name];
    }

    // Closes the window with WM_CLOSE and waits for its thread to end.
    bool CloseAndWait(DWORD timeoutMs = 20000)
    {
        PostMessageA(m_dlg, WM_CLOSE, 0, 0);
        const bool finished = m_ui->WaitFinished(timeoutMs);
        if (finished)
            m_ui.reset();
        return finished;
    }

    analysis::EngineInstall m_engine;
    // The engine's files by name, as written below its work folder.
    std::map<std::string, std::string> m_written;
    std::unique_ptr<UiThread> m_ui;
    HWND m_dlg = nullptr;
    TestDlg* volatile m_object = nullptr;
    std::atomic<INT_PTR> m_result{-100};
};

}  // namespace harness
