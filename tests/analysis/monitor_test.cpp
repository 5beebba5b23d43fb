// The analysis monitor with the test engine writing into the work folder:
// which files are taken in, when, in what order, with which thumbnails,
// the status line, and the analysed view.
#include "AnalysisHarness.h"

#include <set>

#include "IntakePacer.h"
#include "Thumbnail.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const char* const kSteps[] = {
    "Analyzing disk, please wait",     "Analyzing disk, please wait.",    "Analyzing disk, please wait..",
    "Analyzing disk, please wait...",  "Analyzing disk, please wait....", "Analyzing disk, please wait.....",
};

int StepOf(const std::string& text)
{
    for (int i = 0; i < 6; ++i) {
        if (text == kSteps[i])
            return i;
    }
    return -1;
}

class MonitorTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
    }

    void Next()
    {
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
    }

    // The names listed: each test's file names are its own, so a name
    // stands for the file the engine wrote.
    std::vector<std::string> ListedNames() { return ShownNames(Ctl(IDC_PICTURE_LIST)); }

    std::string Out(const std::string& relative) const { return DataFolder() + "\\temp\\" + relative; }

    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
    TempFolder m_files{"monitor"};
};

// The engine writes one file at a time; each picture arrives once, ticked,
// in the order written, with its own path and its thumbnail at its index.
TEST_F(MonitorTest, PicturesAreTakenInOnceInOrder)
{
    ASSERT_TRUE(SavePicture(m_files.Join("wide.jpg"), 640, 480, 0xFF0000, L"image/jpeg"));
    ASSERT_TRUE(SavePicture(m_files.Join("tall.png"), 480, 640, 0x00FF00, L"image/png"));
    ASSERT_TRUE(SavePicture(m_files.Join("small.bmp"), 32, 16, 0x0000FF, L"image/bmp"));
    ASSERT_TRUE(SavePicture(m_files.Join("square.tif"), 100, 100, 0xFFFF00, L"image/tiff"));
    WriteFileBytes(m_files.Join("tiny.gif"), TinyGif());
    WriteFileBytes(m_files.Join("damaged.jpg"), std::string("\xFF\xD8\xFF\xE0", 4) + "cut short");

    // The engine writes the next picture only once the last one is listed,
    // so the order of the list is the order of writing.
    auto marker = [&](int n) { return m_files.Join("listed" + std::to_string(n)); };
    m_engine.SetScript({
        "copy|" + m_files.Join("wide.jpg") + "|f1.jpg",
        "waitfor|" + marker(1),
        "copy|" + m_files.Join("tall.png") + "|sub\\f2.png",
        "waitfor|" + marker(2),
        "text|notes.txt|not a picture",
        "text|noextension|no dot at all",
        "copy|" + m_files.Join("wide.jpg") + "|f3.jpe",
        "copy|" + m_files.Join("wide.jpg") + "|f3.jfif",
        "copy|" + m_files.Join("small.bmp") + "|sub\\deeper\\still\\HOLIDAY.BMP",
        "waitfor|" + marker(3),
        "copy|" + m_files.Join("damaged.jpg") + "|f4.jpg",
        "waitfor|" + marker(4),
        "copy|" + m_files.Join("square.tif") + "|f5.tiff",
        "waitfor|" + marker(5),
        "copy|" + m_files.Join("tiny.gif") + "|..\\f6.gif",
        "waitfor|" + marker(6),
        "copy|" + m_files.Join("wide.jpg") + "|f7.JPEG",
        "waitfor|" + marker(7),
        "copy|" + m_files.Join("square.tif") + "|f8.Tif",
    });
    Next();
    for (int n = 1; n <= 7; ++n) {
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) >= n; }, 15000)) << n;
        WriteFileBytes(marker(n), "");
    }
    ASSERT_TRUE(WaitAnalysed(30000));

    // HOLIDAY.BMP is only in sub\deeper\still, f6.gif only beside the work
    // folder.
    const std::vector<std::string> expected = {
        "f1.jpg", "f2.png", "HOLIDAY.BMP", "f4.jpg", "f5.tiff", "f6.gif", "f7.JPEG", "f8.Tif",
    };
    EXPECT_EQ(ListedNames(), expected);
    const HWND list = Ctl(IDC_PICTURE_LIST);
    for (int i = 0; i < ItemCount(list); ++i)
        EXPECT_TRUE(Ticked(list, i)) << i;
    EXPECT_EQ(m_boxes.Count(), 0u);

    // Thumbnails from the real files, placed by the worked geometry: 640 x 480
    // at (0, 7) 64 x 48, 480 x 640 at (7, 0) 48 x 64, 32 x 16 at (0, 16).
    const Pixels wide = ItemPixels(list, 0);
    EXPECT_TRUE(Near(wide[5 * 64 + 32], 0xFFFFFF, 8));
    EXPECT_TRUE(Near(wide[9 * 64 + 32], 0xFF0000));
    EXPECT_TRUE(Near(wide[52 * 64 + 32], 0xFF0000));
    EXPECT_TRUE(Near(wide[57 * 64 + 32], 0xFFFFFF, 8));
    const Pixels tall = ItemPixels(list, 1);
    EXPECT_TRUE(Near(tall[32 * 64 + 5], 0xFFFFFF, 8));
    EXPECT_TRUE(Near(tall[32 * 64 + 9], 0x00FF00));
    EXPECT_TRUE(Near(tall[32 * 64 + 56], 0xFFFFFF, 8));
    const Pixels small = ItemPixels(list, 2);
    EXPECT_TRUE(Near(small[14 * 64 + 20], 0xFFFFFF, 8));
    EXPECT_TRUE(Near(small[18 * 64 + 20], 0x0000FF));

    // The damaged file shows the placeholder's thumbnail.
    Pixels placeholder;
    Dlg().RunOnUi([&] {
        HBITMAP bitmap = MakeThumbnail(ModuleFile("icon.png").c_str());
        placeholder = BitmapPixels(bitmap);
        DeleteObject(bitmap);
    });
    EXPECT_EQ(ItemPixels(list, 3), placeholder);

    EXPECT_TRUE(IsWindowEnabled(Ctl(IDC_SELECT_ALL)));
    EXPECT_EQ(Text(Ctl(IDC_SELECT_ALL)), "Unselect All Photos");
    EXPECT_FALSE(Visible(Ctl(IDC_PROGRESS_TEXT)));
    EXPECT_EQ(Text(Ctl(IDC_PROGRESS_TEXT)), "");
    EXPECT_FALSE(Visible(Ctl(IDC_NEXT)));
    EXPECT_FALSE(Visible(Ctl(IDC_DRIVE_LIST)));
}

// A file that the engine still holds open is passed over batch after batch
// and taken in once it is closed; one written slowly arrives whole.
TEST_F(MonitorTest, FilesStillOpenWaitForALaterBatch)
{
    ASSERT_TRUE(SavePicture(m_files.Join("a.png"), 50, 50, 0xFF0000, L"image/png"));
    ASSERT_TRUE(SavePicture(m_files.Join("b.jpg"), 300, 200, 0x0000FF, L"image/jpeg"));
    const std::string release = m_files.Join("release");
    m_engine.SetScript({
        "copy|" + m_files.Join("a.png") + "|first.png",
        "hold|" + m_files.Join("a.png") + "|held.png|" + release,
        "slow|" + m_files.Join("b.jpg") + "|slow.jpg|1500",
        "sleep|300",
    });
    Next();
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 1; }, 10000));
    // Several passes go by without the held file.
    Pump(2000);
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"first.png"});
    EXPECT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");

    WriteFileBytes(release, "");
    ASSERT_TRUE(WaitAnalysed(20000));
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"first.png", "held.png", "slow.jpg"}));
    EXPECT_TRUE(Near(ItemPixels(Ctl(IDC_PICTURE_LIST), 2)[32 * 64 + 32], 0x0000FF));
}

// Without icon.png beside the program a file that does not decode is not
// listed at all.
TEST_F(MonitorTest, UndecodableFileWithoutPlaceholderIsLeftOut)
{
    const std::string icon = ModuleFile("icon.png");
    const std::string aside = ModuleFile("icon.png.aside");
    ASSERT_TRUE(MoveFileExA(icon.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(SavePicture(m_files.Join("ok.png"), 10, 10, 0xFF0000, L"image/png"));
    WriteFileBytes(m_files.Join("bad.jpg"), "garbage");
    m_engine.SetScript({
        "copy|" + m_files.Join("bad.jpg") + "|bad.jpg",
        "copy|" + m_files.Join("ok.png") + "|ok.png",
    });
    Next();
    const bool analysed = WaitAnalysed();
    MoveFileExA(aside.c_str(), icon.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(analysed);
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"ok.png"});
}

// The status line keeps its old text while no picture is being taken in
// (files that are no pictures cost nothing), then moves one step per intake
// tick through the six texts while one is.
TEST_F(MonitorTest, StatusLineStepsOncePerIntakeTick)
{
    EXPECT_EQ(Text(Ctl(IDC_STATUS)), "Recovering data, please wait");
    ASSERT_TRUE(SavePicture(m_files.Join("a.png"), 20, 20, 0xFF0000, L"image/png"));
    const std::string hold = m_files.Join("hold");
    const std::string release = m_files.Join("release");
    m_engine.SetScript({
        "text|one.txt|1",
        "text|two.dat|2",
        "text|three|3",
        "waitfor|" + hold,
        "hold|" + m_files.Join("a.png") + "|held.png|" + release,
    });
    Next();
    EXPECT_TRUE(Visible(Ctl(IDC_STATUS)));
    EXPECT_TRUE(Visible(Ctl(IDC_PICTURE_LIST)));
    EXPECT_TRUE(Visible(Ctl(IDC_PROGRESS_TEXT)));
    EXPECT_FALSE(Visible(Ctl(IDC_SELECT_ALL)));
    EXPECT_EQ(Text(Ctl(IDC_PROGRESS_TEXT)), kTip);

    // Only files that are no pictures: no movement.
    Pump(1500);
    EXPECT_EQ(Text(Ctl(IDC_STATUS)), "Recovering data, please wait");

    // A picture that the engine holds open is offered walk after walk, and
    // the line moves on one step at a time.
    WriteFileBytes(hold, "");
    std::vector<std::string> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2500) {
        const std::string text = Text(Ctl(IDC_STATUS));
        if (seen.empty() || seen.back() != text)
            seen.push_back(text);
        Sleep(5);
    }
    WriteFileBytes(release, "");
    ASSERT_GE(seen.size(), 8u);
    EXPECT_EQ(seen[0], "Recovering data, please wait");
    EXPECT_EQ(seen[1], kSteps[0]);
    for (size_t i = 2; i < seen.size(); ++i)
        EXPECT_EQ(StepOf(seen[i]), (StepOf(seen[i - 1]) + 1) % 6) << seen[i];

    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"held.png"});
}

// The analysing view stacks the select-all label and the picture list under
// the status line over the drive list's place, with the tip beside the
// Cancel button; the analysed view puts the progress text back above the
// (hidden) progress bar and shows the save folder under a shorter list.
TEST_F(MonitorTest, AnalysingAndAnalysedViewsPlaceTheirControls)
{
    auto rectOf = [&](HWND control) {
        RECT rc;
        GetWindowRect(control, &rc);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    auto rect = [&](int id) { return rectOf(Ctl(id)); };
    const RECT drives = rect(IDC_DRIVE_LIST);
    const RECT status = rect(IDC_STATUS);
    const RECT selectAll = rect(IDC_SELECT_ALL);
    const RECT next = rect(IDC_NEXT);
    const RECT edit = rect(IDC_SAVE_DIR);
    const RECT progress = rect(IDC_PROGRESS);
    const int selectAllHeight = selectAll.bottom - selectAll.top;

    const std::string release = m_files.Join("release");
    m_engine.SetScript({"waitfor|" + release});
    Next();

    for (int id : {IDC_BROWSE, IDC_NEXT, IDC_RELOAD, IDC_DRIVE_LIST, IDC_SELECT_DRIVE_LABEL, IDC_SAVE_DIR_LABEL,
                   IDC_SAVE_DIR, IDC_LOADING, IDC_PROGRESS, IDC_SELECT_ALL})
        EXPECT_FALSE(Visible(Ctl(id))) << id;
    for (int id : {IDC_STATUS, IDC_PICTURE_LIST, IDC_RECOVER, IDC_PROGRESS_TEXT, IDC_HELP_LINK, IDC_SETTINGS_LINK})
        EXPECT_TRUE(Visible(Ctl(id))) << id;

    const RECT label = rect(IDC_SELECT_ALL);
    EXPECT_EQ(label.left, drives.left);
    EXPECT_EQ(label.top, status.bottom + 3);
    EXPECT_EQ(label.right - label.left, 140);
    EXPECT_EQ(label.bottom - label.top, selectAllHeight);

    // The filter bar over the list's width, the list under it; the count
    // line after the select-all label, before the Settings link.
    const RECT bar = rectOf(FilterBar(m_hwnd));
    EXPECT_TRUE(Visible(FilterBar(m_hwnd)));
    EXPECT_EQ(bar.left, drives.left);
    EXPECT_EQ(bar.right, drives.right);
    EXPECT_EQ(bar.top, status.bottom + selectAllHeight + 5);
    const RECT count = rectOf(CountLine(m_hwnd));
    EXPECT_TRUE(Visible(CountLine(m_hwnd)));
    EXPECT_GT(count.left, label.right);
    EXPECT_LT(count.right, rect(IDC_SETTINGS_LINK).left);
    const RECT list = rect(IDC_PICTURE_LIST);
    EXPECT_EQ(list.left, drives.left);
    EXPECT_EQ(list.top, bar.bottom + 2);
    EXPECT_EQ(list.right, drives.right);
    EXPECT_EQ(list.bottom, drives.bottom + 40);

    const RECT recover = rect(IDC_RECOVER);
    EXPECT_TRUE(EqualRect(&recover, &next));
    const int editWidth = edit.right - edit.left;
    const RECT tip = rect(IDC_PROGRESS_TEXT);
    EXPECT_EQ(tip.left, next.right + 5);
    EXPECT_EQ(tip.top, next.top);
    EXPECT_EQ(tip.right, next.left + editWidth + 80);
    EXPECT_EQ(tip.bottom, next.bottom);

    WriteFileBytes(release, "");
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_FALSE(Visible(Ctl(IDC_PROGRESS_TEXT)));
    EXPECT_EQ(Text(Ctl(IDC_PROGRESS_TEXT)), "");
    EXPECT_FALSE(Visible(Ctl(IDC_PROGRESS)));
    EXPECT_FALSE(Visible(Ctl(IDC_NEXT)));
    const RECT text = rect(IDC_PROGRESS_TEXT);
    EXPECT_EQ(text.left, next.left);
    EXPECT_EQ(text.top, progress.top - 25);
    EXPECT_EQ(text.right, next.left + editWidth);
    EXPECT_EQ(text.bottom, progress.top - 5);
    // The list ends where the drive list does, above the save folder and
    // Browse, which the analysed view shows.
    const RECT after = rect(IDC_PICTURE_LIST);
    EXPECT_EQ(after.left, list.left);
    EXPECT_EQ(after.top, list.top);
    EXPECT_EQ(after.right, list.right);
    EXPECT_EQ(after.bottom, drives.bottom);
    for (int id : {IDC_SAVE_DIR_LABEL, IDC_SAVE_DIR, IDC_BROWSE})
        EXPECT_TRUE(Visible(Ctl(id))) << id;
}

// An engine that ends at once and writes nothing: the first rescan, 500 ms
// after Next, enters the analysed view.
TEST_F(MonitorTest, EngineEndingAtOnceGivesAnEmptyAnalysedView)
{
    Next();
    const DWORD start = GetTickCount();
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_GE(GetTickCount() - start, 400u);
    EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 0);
    EXPECT_FALSE(IsWindowEnabled(Ctl(IDC_SELECT_ALL)));
    EXPECT_EQ(Text(Ctl(IDC_SELECT_ALL)), "Unselect All Photos");
    EXPECT_FALSE(Visible(Ctl(IDC_PROGRESS_TEXT)));
    EXPECT_EQ(EngineProcesses(), 0);
}

// After a recovery the next analysis starts the list again from index 0
// with only its own pictures; until its first intake tick the status line
// still reads the analysed text.
TEST_F(MonitorTest, SecondAnalysisStartsAFreshList)
{
    TempFolder save("monitor-save");
    Dlg().RunOnUi([&] { SetDlgItemTextA(m_hwnd, IDC_SAVE_DIR, save.Path().c_str()); });
    ASSERT_TRUE(SavePicture(m_files.Join("one.png"), 10, 10, 0xFF0000, L"image/png"));
    ASSERT_TRUE(SavePicture(m_files.Join("two.png"), 10, 10, 0x00FF00, L"image/png"));
    m_engine.SetScript({"copy|" + m_files.Join("one.png") + "|one.png",
                        "copy|" + m_files.Join("two.png") + "|two.png"});
    Next();
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 2);

    // Recover keeps the results; New search goes back to the drives.
    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(WaitUntil([&] { return Analysed() && Visible(Ctl(IDC_NEW_SEARCH)) && m_boxes.Count() == 1; }, 10000));
    PostCommand(m_hwnd, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_NEXT)); }, 10000));

    ASSERT_TRUE(SavePicture(m_files.Join("three.bmp"), 10, 10, 0x0000FF, L"image/bmp"));
    m_engine.SetScript({"sleep|800", "copy|" + m_files.Join("three.bmp") + "|three.bmp"});
    Next();
    EXPECT_EQ(Text(Ctl(IDC_STATUS)), kAnalysed);
    EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 0);
    ASSERT_TRUE(WaitUntil([&] { return StepOf(Text(Ctl(IDC_STATUS))) == 0; }, 5000));
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"three.bmp"});
    // The first run's thumbnails are not shown for the second's items.
    EXPECT_TRUE(Near(ItemPixels(Ctl(IDC_PICTURE_LIST), 0)[32 * 64 + 32], 0x0000FF));
    // The first run's pictures are gone from the work folder.
    EXPECT_FALSE(Exists(Out("one.png")));
}

// The intake's pace, tick by tick: a tick does one thing, the status line
// and the list's news come at most every so often, a scroll follows the
// list's news once, and one still due when the intake ends is not lost.
TEST(IntakePacerTest, TicksDoOneThingEachAtItsPace)
{
    using Step = CIntakePacer::Step;
    CIntakePacer pacer;
    EXPECT_FALSE(pacer.Arm(0));
    EXPECT_TRUE(pacer.Arm(3));
    EXPECT_FALSE(pacer.Arm(3));  // already ticking
    EXPECT_TRUE(pacer.Armed());

    DWORD now = 10000;
    EXPECT_EQ(pacer.Next(3, now), Step::StatusLine);
    EXPECT_EQ(pacer.Next(3, now + 40), Step::TakeIn);
    EXPECT_TRUE(pacer.ListStepDue(now + 40));
    pacer.ListStepped(now + 40);
    EXPECT_EQ(pacer.Next(3, now + 80), Step::Scroll);
    EXPECT_EQ(pacer.Next(3, now + 120), Step::TakeIn);
    EXPECT_FALSE(pacer.ListStepDue(now + 120));
    EXPECT_EQ(pacer.Next(3, now + 200), Step::StatusLine);
    EXPECT_TRUE(pacer.ListStepDue(now + 240));
    EXPECT_EQ(pacer.Next(0, now + 240), Step::End);

    // A scroll due when nothing waits any more is made by the end.
    pacer.ListStepped(now + 240);
    EXPECT_EQ(pacer.Next(0, now + 280), Step::End);
    EXPECT_TRUE(pacer.ScrollAtEnd(false));
    EXPECT_FALSE(pacer.ScrollAtEnd(false));
    EXPECT_TRUE(pacer.ScrollAtEnd(true));
    pacer.Disarm();
    EXPECT_FALSE(pacer.Armed());
    EXPECT_TRUE(pacer.Arm(1));

    // An emptied list has nothing to scroll to.
    pacer.ListStepped(now + 500);
    pacer.ListCleared();
    EXPECT_EQ(pacer.Next(1, now + 520), Step::StatusLine);
    EXPECT_FALSE(pacer.ScrollAtEnd(false));
}

// The tick count wraps after 49.7 days: the pace goes on across it.
TEST(IntakePacerTest, PaceHoldsAcrossTheTickCountsWrap)
{
    using Step = CIntakePacer::Step;
    CIntakePacer pacer;
    const DWORD beforeWrap = 0xFFFFFFC0u;
    EXPECT_EQ(pacer.Next(1, beforeWrap), Step::StatusLine);
    EXPECT_EQ(pacer.Next(1, 0x10), Step::TakeIn);  // 0x50 ms later: not yet
    EXPECT_EQ(pacer.Next(1, 0x88), Step::StatusLine);

    EXPECT_TRUE(pacer.CountLineDue(false, beforeWrap));
    EXPECT_FALSE(pacer.CountLineDue(false, 0x88));
    EXPECT_TRUE(pacer.CountLineDue(true, 0x88));  // forced
    EXPECT_FALSE(pacer.CountLineDue(false, 0x88 + CIntakePacer::kCountStepMs - 1));
    EXPECT_TRUE(pacer.CountLineDue(false, 0x88 + CIntakePacer::kCountStepMs));
}

}  // namespace
