// The main window's parts through their own interfaces, with a fake window
// (IWindowHost) that records the timers they run and the boxes they show,
// and answers the boxes. No window is made: the parts' controls are absent,
// and what is checked is what each part asks of the window and the state
// it leaves.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "AnalysisMonitor.h"
#include "DiskCopyOption.h"
#include "DiskLayout.h"
#include "FileUtils.h"
#include "UiTest.h"
#include "Recovering.h"
#include "ResultsView.h"
#include "SearchRunView.h"
#include "resource.h"

namespace {

using uitest::RemoveTree;

// The parts' timers, as values.
const UINT_PTR kRescan = CAnalysisMonitor::kRescanTimer;
const UINT_PTR kCopy = CRecoveringView::kCopyTimer;

class FakeWindow : public IWindowHost {
public:
    void StartTimer(UINT_PTR timer, UINT ms) override { timers[timer] = ms; }
    void StopTimer(UINT_PTR timer) override { timers.erase(timer); }
    int Ask(const char* text, const char*, UINT) override
    {
        boxes.push_back(text);
        return answer;
    }
    void ShowState() override { ++shown; }

    // The timers running, with their intervals.
    std::map<UINT_PTR, UINT> timers;
    std::vector<std::string> boxes;
    // What every box is answered.
    int answer = IDNO;
    int shown = 0;
};

// The parts wired as the window wires them.
struct Parts {
    Parts()
    {
        monitor.OnAnalysed([this](bool lastPass) { analysed.push_back(lastPass); });
    }
    ~Parts() { monitor.Stop(); }

    // Ticks the monitor as the window does, the timer due first, until it
    // asks for none (at most limit ticks).
    void TickUntilQuiet(int limit = 500)
    {
        for (int i = 0; i < limit && !window.timers.empty(); ++i) {
            auto due = window.timers.begin();
            for (auto it = window.timers.begin(); it != window.timers.end(); ++it) {
                if (it->second < due->second)
                    due = it;
            }
            Sleep(due->second > 50 ? 10 : due->second);
            monitor.OnTimer(due->first);
        }
    }

    FakeWindow window;
    CWindowState state;
    CMainView view;
    CSearchProgressView searchView;
    CWorkFolders workFolders;
    CFindsIntake intake;
    CPictureList list;
    CPicturePreview preview;
    CAnalysisMonitor monitor{window, state, view, searchView, workFolders, intake, list, finds, preview};
    CFindsView finds{window, state, list, preview, view, monitor.Pacer()};
    CResultsView results{window, state, view, workFolders, intake, list, monitor};
    std::vector<std::string> copied;
    CRecoveringView recovering{window, state, view, list, preview, monitor, results.Record(),
                               [this](const CString& source, const CString&, const CString&, CString&) {
                                   copied.push_back(source.GetString());
                                   return CPictureCopier::Outcome::Copied;
                               },
                               [](const CString&) {}};
    CSearchRunView run{window, state, view, workFolders, searchView, intake, results, monitor};
    std::vector<bool> analysed;
};

std::string EmptyFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "quorvane-parts";
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// An analysis with no engine running: the monitor walks the folder on its
// own ticks, and the walk made after the engine's end ends it. Then it asks
// for no more ticks, the analysed view is shown and the search recorded for
// good; ticks of timers not its own are not its business.
TEST(WindowPartsTest, MonitorEndsTheAnalysisOnItsOwnTicks)
{
    Parts parts;
    const std::string folder = EmptyFolder();
    parts.workFolders.UseListed(folder.c_str(), "");
    parts.monitor.Enter();
    EXPECT_EQ(parts.state.view, WindowView::Analysing);
    ASSERT_EQ(parts.window.timers.count(kRescan), 1u);
    EXPECT_EQ(parts.window.timers[kRescan], 500u);
    EXPECT_FALSE(parts.monitor.AllListed());

    parts.TickUntilQuiet();
    EXPECT_TRUE(parts.window.timers.empty());
    EXPECT_EQ(parts.state.view, WindowView::Analysed);
    EXPECT_EQ(parts.state.Status(), StatusLine::Analysed);
    EXPECT_TRUE(parts.monitor.AllListed());
    EXPECT_EQ(parts.analysed, std::vector<bool>{true});
    EXPECT_GT(parts.window.shown, 0);
    EXPECT_TRUE(parts.window.boxes.empty());

    EXPECT_FALSE(parts.monitor.OnTimer(kCopy));
    EXPECT_FALSE(parts.recovering.OnTimer(kRescan));
    RemoveTree(folder);
}

// Cancel during a search: the analysed view at once, the search recorded
// (not for good), and one more walk asked for to take in what the engine
// wrote last. New search then stops every tick and shows the Ready view.
TEST(WindowPartsTest, StoppedSearchWalksOnceMoreAndNewSearchStopsTheTicks)
{
    Parts parts;
    const std::string folder = EmptyFolder();
    parts.workFolders.UseListed(folder.c_str(), "");
    parts.state.searching = true;
    parts.monitor.Enter();
    parts.state.searching = false;  // the engine stopped
    parts.monitor.SearchStopped();
    EXPECT_EQ(parts.state.view, WindowView::Analysed);
    EXPECT_EQ(parts.analysed, std::vector<bool>{false});
    ASSERT_EQ(parts.window.timers.count(kRescan), 1u);
    EXPECT_EQ(parts.window.timers[kRescan], 200u);

    // Recover before that walk is in: refused, with the reason, and no copy.
    parts.recovering.Start();
    ASSERT_EQ(parts.window.boxes.size(), 1u);
    EXPECT_EQ(parts.window.boxes[0],
              "Please wait until the last pictures found have been listed, then press 'Recover' again.");
    EXPECT_FALSE(parts.state.copying);
    EXPECT_EQ(parts.window.timers.count(kCopy), 0u);

    parts.results.NewSearch();
    EXPECT_EQ(parts.state.view, WindowView::Ready);
    EXPECT_TRUE(parts.window.timers.empty());
    // A stray New search from the Ready view does nothing.
    const int shown = parts.window.shown;
    parts.results.NewSearch();
    EXPECT_EQ(parts.window.shown, shown);
    RemoveTree(folder);
}

// Recover refuses, each time with its reason, until every find is listed,
// a picture is ticked and a save folder is chosen; a refusal starts nothing.
TEST(WindowPartsTest, RecoverRefusesUntilItCanCopy)
{
    Parts parts;
    const std::string folder = EmptyFolder();
    parts.workFolders.UseListed(folder.c_str(), "");
    parts.monitor.Enter();
    parts.TickUntilQuiet();
    ASSERT_EQ(parts.state.view, WindowView::Analysed);

    parts.recovering.Start();
    // Shown whatever the absent filter bar would say.
    parts.list.ApplyFilter(PictureFilter(), PictureSort::Found);
    parts.list.Add((folder + "\\a.jpg").c_str(), ThumbnailPixels(kThumbSize * kThumbSize, 0xFFFFFF),
                   ::PictureDetails(), true);
    parts.list.ShowCount();
    parts.list.TickShown(true);
    parts.recovering.Start();
    const std::vector<std::string> expected = {
        "Please tick at least one picture to recover.",
        "Please choose a folder to save the recovered pictures in with 'Browse', then press 'Recover' again.",
    };
    EXPECT_EQ(parts.window.boxes, expected);
    EXPECT_EQ(parts.state.view, WindowView::Analysed);
    EXPECT_FALSE(parts.state.copying);
    EXPECT_FALSE(parts.recovering.Running());
    EXPECT_TRUE(parts.window.timers.empty());
    EXPECT_TRUE(parts.copied.empty());
    // The copy's Cancel with no copy running does nothing.
    const int shown = parts.window.shown;
    parts.recovering.Cancel();
    EXPECT_EQ(parts.window.shown, shown);
    RemoveTree(folder);
}

// The search's Cancel asks first: No leaves the search running and the
// analysing view as it was; Yes stops it, and the analysed view comes at
// once with one more walk to take in what the engine wrote last. The
// window's end stops the search without a question.
TEST(WindowPartsTest, SearchCancelAsksAndTheWindowsEndDoesNot)
{
    const char kCancelQuestion[] = "Quorvane is currently analyzing disk, are you sure you want to cancel?";
    Parts parts;
    const std::string folder = EmptyFolder();
    parts.workFolders.UseListed(folder.c_str(), "");
    parts.state.searching = true;
    parts.monitor.Enter();
    ASSERT_TRUE(parts.state.CancelsSearch());

    parts.run.Cancel();
    EXPECT_EQ(parts.window.boxes, std::vector<std::string>{kCancelQuestion});
    EXPECT_TRUE(parts.state.searching);
    EXPECT_EQ(parts.state.view, WindowView::Analysing);
    EXPECT_TRUE(parts.analysed.empty());
    EXPECT_EQ(parts.window.timers[kRescan], 500u);

    parts.window.answer = IDYES;
    parts.run.Cancel();
    EXPECT_EQ(parts.window.boxes.size(), 2u);
    EXPECT_FALSE(parts.state.searching);
    EXPECT_EQ(parts.state.view, WindowView::Analysed);
    EXPECT_EQ(parts.analysed, std::vector<bool>{false});
    EXPECT_EQ(parts.window.timers[kRescan], 200u);

    parts.state.searching = true;
    parts.run.Stop();
    EXPECT_FALSE(parts.state.searching);
    EXPECT_EQ(parts.window.boxes.size(), 2u);
    RemoveTree(folder);
}

// The pickers answered as a person would, and the machine's disks.
class FakeMachine : public IDiskCopyHost {
public:
    bool PickFolder(CString& path) override
    {
        ++pickCalls;
        if (folders.empty())
            return false;
        path = folders.front().c_str();
        folders.erase(folders.begin());
        return true;
    }
    bool PickDiskCopy(CString&) override { return false; }
    IDriveSystem& DriveSystem() override { return disks; }

    std::vector<std::string> folders;
    int pickCalls = 0;
    uitest::DiskLayout disks;
};

// The copy's Browse: the folder picked is kept without a last backslash,
// written to settings.ini with the tick as it was, and the saved copies
// listed with the drives are the new folder's; a Browse cancelled changes
// nothing. Commands not the part's (another control's, or no click) are
// left to the window.
TEST(WindowPartsTest, DiskCopyBrowseKeepsItsFolderAndListsItsCopies)
{
    const std::string settings = std::string(GetModuleFolder().GetString()) + "settings.ini";
    uitest::WriteFileBytes(settings, "savedir=C:\\Recovered\r\ndiskcopy=on|\r\n");
    const std::string folder = EmptyFolder();
    const std::string copy = folder + "\\Copy of E 2026-12-10 21-30-05.img";
    uitest::WriteFileBytes(copy, std::string(4096, '\0'));
    uitest::WriteFileBytes(folder + "\\Copy of E 2026-12-10 21-30-05.map",
                           "quorvane disk copy\nsize 4096\ncomplete 8\ncopied 0 8\n");
    FakeWindow window;
    FakeMachine machine;
    machine.disks.AddCard("B:", 1, 64ull << 20);
    CMainView view;
    CDiskCopyOption option(window, machine, view);
    option.Restore();
    ASSERT_TRUE(option.Wanted());
    const size_t drives = view.Drives().size();
    ASSERT_GT(drives, 0u);

    machine.folders = {folder + "\\"};
    EXPECT_TRUE(option.OnCommand(IDC_COPY_BROWSE, BN_CLICKED));
    EXPECT_EQ(std::string(option.Folder().GetString()), folder);
    EXPECT_TRUE(option.Wanted());
    const std::string line = "diskcopy=on|" + folder + "\r\n";
    EXPECT_NE(uitest::ReadFileBytes(settings).find(line), std::string::npos) << uitest::ReadFileBytes(settings);
    EXPECT_NE(uitest::ReadFileBytes(settings).find("savedir=C:\\Recovered\r\n"), std::string::npos);
    ASSERT_EQ(view.Drives().size(), drives + 1);
    EXPECT_EQ(std::string(view.Drives().back().strImage.GetString()), copy);

    EXPECT_TRUE(option.OnCommand(IDC_COPY_BROWSE, BN_CLICKED));
    EXPECT_EQ(std::string(option.Folder().GetString()), folder);
    EXPECT_EQ(machine.pickCalls, 2);

    EXPECT_FALSE(option.OnCommand(IDC_NEXT, BN_CLICKED));
    EXPECT_FALSE(option.OnCommand(IDC_COPY_BROWSE, BN_SETFOCUS));
    EXPECT_EQ(machine.pickCalls, 2);
    EXPECT_TRUE(window.boxes.empty());
    DeleteFileA(settings.c_str());
    RemoveTree(folder);
}

}  // namespace
