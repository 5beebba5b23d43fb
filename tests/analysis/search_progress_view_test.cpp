// The Analysing view with and without the engine's progress: the bar and
// the line appear only for a whole progress file of this search, leave every
// other control where it was, and go when the search ends.
#include "AnalysisHarness.h"

#include <commctrl.h>

using namespace analysis;

namespace {

RECT ClientRectOf(HWND parent, HWND child)
{
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The engine's text, "\n" standing for a line end in the script.
std::string ProgressText(const char* searched, const char* size, const char* found, const char* unreadable,
                         const char* ended)
{
    return std::string("searched=") + searched + "\\nsize=" + size + "\\nfound=" + found + "\\nunreadable=" +
           unreadable + "\\nended=" + ended + "\\nend\\n";
}

class SearchProgressViewTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
        m_recoveryBar = ClientRectOf(m_hwnd, Ctl(IDC_PROGRESS));
    }

    void Next()
    {
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
    }

    // The controls the progress must not move.
    std::vector<RECT> Others()
    {
        std::vector<RECT> rects;
        for (int id : {IDC_STATUS, IDC_PROGRESS_TEXT, IDC_RECOVER, IDC_PICTURE_LIST})
            rects.push_back(ClientRectOf(m_hwnd, Ctl(id)));
        return rects;
    }

    bool ProgressShown() { return Visible(Ctl(IDC_PROGRESS)) || Visible(SearchLine(m_hwnd)); }

    int BarPos() { return static_cast<int>(SendMessageA(Ctl(IDC_PROGRESS), PBM_GETPOS, 0, 0)); }

    std::string ProgressFile() const { return DataFolder() + ".progress"; }

    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
    TempFolder m_files{"search-progress"};
    RECT m_recoveryBar{};
};

// Files that must not be shown: none, empty, garbled, cut short, or left by
// an earlier search. The view stays as it is without progress.
TEST_F(SearchProgressViewTest, NothingShownWithoutAWholeFileOfThisSearch)
{
    // An earlier search's file is removed at Next, before the engine starts.
    WriteFileBytes(ProgressFile(), "searched=5\nsize=10\nfound=1\nunreadable=0\nended=0\nend\n");
    auto step = [&](int n) { return m_files.Join("step" + std::to_string(n)); };
    m_engine.SetScript({
        "mark|" + step(1), "waitfor|" + step(1) + ".seen",
        "progress|", "mark|" + step(2), "waitfor|" + step(2) + ".seen",
        "progress|this is no progress file\\n", "mark|" + step(3), "waitfor|" + step(3) + ".seen",
        "progress|searched=5\\nsize=10\\nfound=1\\nunre", "mark|" + step(4), "waitfor|" + step(4) + ".seen",
        // Whole, but dated before this search started.
        "progress|" + ProgressText("5", "10", "1", "0", "0") + "|600", "mark|" + step(5),
        "waitfor|" + step(5) + ".seen",
    });
    Next();
    const std::vector<RECT> before = Others();
    std::vector<RECT> during;
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(WaitUntil([&] { return Exists(step(n)); }, 10000)) << n;
        if (n == 1) {
            EXPECT_FALSE(Exists(ProgressFile()));
        }
        // Several rescan ticks read the file.
        Sleep(1200);
        EXPECT_FALSE(ProgressShown()) << n;
        during = Others();
        WriteFileBytes(step(n) + ".seen", "");
    }
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(Same(before[i], during[i])) << i;
    ASSERT_TRUE(WaitAnalysed(15000));
    EXPECT_FALSE(ProgressShown());
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(SearchProgressViewTest, BarAndLineFollowTheEngineAndGoAtTheEnd)
{
    auto step = [&](int n) { return m_files.Join("step" + std::to_string(n)); };
    m_engine.SetScript({
        "mark|" + step(1), "waitfor|" + step(1) + ".seen",
        "progress|" + ProgressText("0", "2000000000", "0", "0", "0"), "mark|" + step(2),
        "waitfor|" + step(2) + ".seen",
        "progress|" + ProgressText("740000000", "2000000000", "412", "12", "0"), "mark|" + step(3),
        "waitfor|" + step(3) + ".seen",
        "progress|" + ProgressText("2000000000", "2000000000", "413", "12", "1"),
    });
    Next();
    ASSERT_TRUE(WaitUntil([&] { return Exists(step(1)); }, 10000));
    Sleep(600);
    const std::vector<RECT> without = Others();
    EXPECT_FALSE(ProgressShown());
    WriteFileBytes(step(1) + ".seen", "");

    ASSERT_TRUE(WaitUntil([&] { return Exists(step(2)) && ProgressShown(); }, 10000));
    // Nothing searched yet: the engine reads the card's records first.
    EXPECT_TRUE(WaitUntil([&] { return Text(SearchLine(m_hwnd)) == "Reading the card's file records..."; }));
    EXPECT_EQ(BarPos(), 0);
    WriteFileBytes(step(2) + ".seen", "");

    ASSERT_TRUE(WaitUntil([&] { return Exists(step(3)) && BarPos() == 370; }, 10000)) << BarPos();
    EXPECT_EQ(SendMessageA(Ctl(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 1000);
    EXPECT_TRUE(WaitUntil([&] {
        return Text(SearchLine(m_hwnd)) == "37% searched - 412 pictures found - 12 unreadable sectors skipped";
    })) << Text(SearchLine(m_hwnd));
    EXPECT_TRUE(Visible(Ctl(IDC_PROGRESS)));
    EXPECT_TRUE(Visible(SearchLine(m_hwnd)));
    // Everything else where it was, shown as before, and nothing covered.
    const std::vector<RECT> with = Others();
    for (size_t i = 0; i < with.size(); ++i)
        EXPECT_TRUE(Same(without[i], with[i])) << i;
    EXPECT_TRUE(Visible(Ctl(IDC_PROGRESS_TEXT)));
    EXPECT_TRUE(Visible(Ctl(IDC_RECOVER)));
    EXPECT_TRUE(Visible(Ctl(IDC_PICTURE_LIST)));
    RECT client;
    GetClientRect(m_hwnd, &client);
    for (HWND control : {Ctl(IDC_PROGRESS), SearchLine(m_hwnd)}) {
        const RECT mine = ClientRectOf(m_hwnd, control);
        RECT overlap;
        for (const RECT& other : with)
            EXPECT_FALSE(IntersectRect(&overlap, &mine, &other)) << Text(control);
        EXPECT_LE(mine.bottom, client.bottom) << Text(control);
    }
    WriteFileBytes(step(3) + ".seen", "");

    ASSERT_TRUE(WaitAnalysed(15000));
    EXPECT_FALSE(ProgressShown());
    EXPECT_FALSE(Exists(ProgressFile()));
    // The bar is back where the Recovering view shows it, empty.
    EXPECT_TRUE(Same(ClientRectOf(m_hwnd, Ctl(IDC_PROGRESS)), m_recoveryBar));
    EXPECT_EQ(BarPos(), 0);
    EXPECT_EQ(m_boxes.Count(), 0u);
}

// The line as it would be drawn, with its own font, at its width: whether
// all of it shows in its height. Run on the window's thread.
bool WholeTextShows(HWND line, const std::string& text, int& height)
{
    const CLinkLabel* label = static_cast<CLinkLabel*>(CWnd::FromHandlePermanent(line));
    if (!label)
        return false;
    RECT rc;
    GetClientRect(line, &rc);
    RECT needed = rc;
    HDC dc = GetDC(line);
    HGDIOBJ old = SelectObject(dc, label->GetLabelFont());
    DrawTextA(dc, text.c_str(), -1, &needed, DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(line, dc);
    height = needed.bottom - needed.top;
    return needed.bottom <= rc.bottom && needed.right <= rc.right;
}

// At the window's least size the longest lines the disk's troubles make
// show whole: the stage, the counts and the not-answering state.
TEST_F(SearchProgressViewTest, TheWholeLineShowsAtTheLeastSize)
{
    auto step = [&](int n) { return m_files.Join("step" + std::to_string(n)); };
    const std::string troubles = "\\nunreadable=123456789\\ngivenup=12345678";
    m_engine.SetScript({
        "progress|searched=0\\nsize=2000000000\\nfound=123456" + troubles +
            "\\nrecords=1000\\nrecordsize=5000000\\nended=0\\nend\\n",
        "mark|" + step(1), "waitfor|" + step(1) + ".seen",
        "progress|searched=1999999999\\nsize=2000000000\\nfound=1234567" + troubles +
            "\\nrecords=5000000\\nrecordsize=5000000\\nended=0\\nend\\n",
        "mark|" + step(2), "waitfor|" + step(2) + ".seen",
    });
    Next();
    const char* const expected[] = {
        "Reading the card's file records... 123456 pictures found - 123456789 unreadable sectors skipped"
        " - The disk is not answering: 12345678 sectors given up",
        "99% searched - 1234567 pictures found - 123456789 unreadable sectors skipped"
        " - The disk is not answering: 12345678 sectors given up",
    };
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(WaitUntil([&] { return Exists(step(n)); }, 10000)) << n;
        HWND line = SearchLine(m_hwnd);
        ASSERT_TRUE(WaitUntil([&] { return Text(line) == expected[n - 1]; })) << Text(line);
        // A time left may come too: the longest there is.
        bool fits = false, fitsWithTime = false;
        int height = 0, withTime = 0;
        Dlg().RunOnUi([&] {
            fits = WholeTextShows(line, Text(line), height);
            fitsWithTime = WholeTextShows(line, Text(line) + " - about 59 minutes left", withTime);
        });
        EXPECT_TRUE(fits) << n << ": " << height << " pixels high";
        EXPECT_TRUE(fitsWithTime) << n << ": " << withTime << " pixels high";
        // With QV_LOOK_MS set, held that long for a screenshot.
        if (const char* ms = getenv("QV_LOOK_MS"))
            Pump(static_cast<DWORD>(atoi(ms)));
        WriteFileBytes(step(n) + ".seen", "");
    }
    ASSERT_TRUE(WaitAnalysed(15000));
}

}  // namespace
