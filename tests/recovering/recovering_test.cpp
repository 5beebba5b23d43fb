// Recovering the ticked pictures: progress, summary, save folder, failures.
#include "Harness.h"
#include "PictureColumns.h"

#include <algorithm>

using namespace harness;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const char kSummaryQuestion[] = "\n\nDo you want to view recovered files?";

class RecoveringTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        m_data = std::make_unique<TempFolder>("data");
        m_out = std::make_unique<TempFolder>("out");
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        m_data.reset();
        m_out.reset();
    }

    // n pictures found on the card, one of them in a sub-folder, taken in
    // and shown in the analysed view.
    void Analysed(int n)
    {
        CreateDirectoryA(m_data->Join("temp").c_str(), nullptr);
        for (int i = 0; i < n; ++i) {
            const std::string name = "f" + std::to_string(100 + i) + ".bmp";
            const std::string path = i == 0 ? m_data->Join(name) : m_data->Join("temp\\" + name);
            m_bytes.push_back(MakeBmp(8 + i, 6, i + 1));
            WriteFileBytes(path, m_bytes.back());
        }
        OpenReady();
        m_object->SetSaveFolder(m_out->Path());
        SearchWriting(m_data->Path());
        ASSERT_TRUE(WaitUntil([&] { return InAnalysedView(m_dlg) && ItemCount(List()) == n; },
                              10000 + 400 * static_cast<DWORD>(n)));
        ASSERT_EQ(ItemCount(List()), n);
    }

    HWND List() { return Item(m_dlg, IDC_PICTURE_LIST); }
    std::string CountLine() { return Text(uitest::CountLine(m_dlg)); }
    // The lower right corner of the item's thumbnail as the list draws it,
    // where a recovered picture has its mark.
    uint32_t MarkCorner(int item)
    {
        HWND list = List();
        LVITEMA lv = {};
        lv.mask = LVIF_IMAGE;
        lv.iItem = item;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lv));
        HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
        HGDIOBJ old = SelectObject(dc, bitmap);
        ImageList_Draw(images, lv.iImage, dc, 0, 0, ILD_NORMAL);
        const COLORREF pixel = GetPixel(dc, 64 - 12, 64 - 6);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return pixel;
    }
    static bool IsGreen(COLORREF pixel)
    {
        return GetGValue(pixel) > 120 && GetRValue(pixel) < 60 && GetBValue(pixel) < 60;
    }
    std::string Progress() { return Text(Item(m_dlg, IDC_PROGRESS_TEXT)); }
    std::string NameOf(int item) { return analysis::CellText(List(), item); }
    std::string OriginalOf(int item) { return ReadFileBytes(ListedPath(item)); }

    // Presses Recover and waits for the summary question; every progress
    // text seen on the way is collected.
    SeenBox RecoverAndWaitForSummary(MessageBoxWatcher& boxes, std::vector<std::string>* texts = nullptr)
    {
        const size_t before = boxes.Count();
        PostCommand(m_dlg, IDC_RECOVER);
        std::vector<std::string> seen;
        WaitUntil([&] {
            // The box first: the copy's last step stays in view while it is
            // open, so the text read after it is the last one.
            const bool asked = boxes.Count() > before;
            const std::string text = Progress();
            if (Visible(Item(m_dlg, IDC_PROGRESS_TEXT)) && (seen.empty() || seen.back() != text))
                seen.push_back(text);
            if (text == "Recovering photo " + std::to_string(m_lastCount) + " of " + std::to_string(m_lastCount) &&
                m_lastBar < 0)
                m_lastBar = ProgressPos(m_dlg);
            return asked;
        }, 20000);
        if (texts)
            *texts = seen;
        if (boxes.Count() <= before)
            return SeenBox{"", "<no box>", 0};
        return boxes.Seen()[before];
    }

    static std::string Numbered(const std::string& name, int n)
    {
        const size_t dot = name.rfind('.');
        return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
    }

    // A folder of exactly length characters below the save folder.
    std::string LongFolder(int length)
    {
        std::string folder = m_out->Path();
        while (static_cast<int>(folder.size()) < length) {
            const int part = std::min(60, length - static_cast<int>(folder.size()) - 1);
            folder += "\\" + std::string(static_cast<size_t>(part), 'd');
            EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        }
        EXPECT_EQ(static_cast<int>(folder.size()), length);
        return folder;
    }

    // The visible children of the window whose rectangles meet, by id.
    std::string Overlaps()
    {
        std::vector<std::pair<int, RECT>> shown;
        for (HWND child = GetWindow(m_dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!Visible(child))
                continue;
            RECT rc;
            GetWindowRect(child, &rc);
            shown.emplace_back(GetDlgCtrlID(child), rc);
        }
        std::string found;
        for (size_t i = 0; i < shown.size(); ++i) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                RECT both;
                if (IntersectRect(&both, &shown[i].second, &shown[j].second))
                    found += std::to_string(shown[i].first) + "/" + std::to_string(shown[j].first) + " ";
            }
        }
        return found;
    }

    // The folder Recover made inside save for the search (save: the save
    // folder, m_out when empty), and in it where the pictures found by
    // their contents go.
    std::string RecoveryFolder(const std::string& save = "")
    {
        const std::string in = save.empty() ? m_out->Path() : save;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((in + "\\Quorvane recovery *").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return in + "\\<no recovery folder>";
        FindClose(find);
        return in + "\\" + entry.cFileName;
    }
    std::string Copies(const std::string& save = "") { return RecoveryFolder(save) + "\\Found by contents"; }
    std::string CopyOf(int item, const std::string& save = "") { return Copies(save) + "\\" + NameOf(item); }

    std::unique_ptr<TempFolder> m_data;
    std::unique_ptr<TempFolder> m_out;
    std::vector<std::string> m_bytes;
    int m_lastCount = 0;
    int m_lastBar = -1;
};

TEST_F(RecoveringTest, ThreeTickedPicturesProgressThenSummaryThenResultsKept)
{
    MessageBoxWatcher boxes;
    Analysed(4);
    // The unticked picture stays behind.
    ASSERT_TRUE(SetTicked(List(), 1, false));
    m_lastCount = 3;

    std::vector<std::string> texts;
    const SeenBox summary = RecoverAndWaitForSummary(boxes, &texts);
    EXPECT_EQ(summary.caption, "Quorvane");
    EXPECT_EQ(summary.text, std::string("3 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(summary.buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(summary.icon);

    // Every step was shown, in order, ending at 3 of 3 with a full bar.
    std::vector<std::string> steps;
    for (const std::string& t : texts) {
        if (t != "Recovering photo 0 of 3")
            steps.push_back(t);
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"Recovering photo 1 of 3", "Recovering photo 2 of 3",
                                               "Recovering photo 3 of 3"}));
    EXPECT_EQ(m_lastBar, 3);

    // No: nothing opened, the results stay with every find, the recovered
    // ones unticked and counted; New search goes back to the drives.
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    EXPECT_TRUE(m_object->Opened().empty());
    EXPECT_EQ(ItemCount(List()), 4);
    EXPECT_EQ(ProgressPos(m_dlg), 0);
    EXPECT_FALSE(Visible(Item(m_dlg, IDC_PROGRESS)));
    for (int item = 0; item < 4; ++item)
        EXPECT_FALSE(Ticked(List(), item)) << item;
    EXPECT_EQ(CountLine(), "4 of 4 pictures shown - 0 ticked (0 bytes) - 3 recovered");
    PostCommand(m_dlg, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return InReadyView(m_dlg); }));
    EXPECT_FALSE(Visible(Item(m_dlg, IDC_NEW_SEARCH)));

    for (int item = 0; item < 4; ++item) {
        const std::string copy = CopyOf(item);
        if (item == 1) {
            EXPECT_FALSE(Exists(copy));
        } else {
            EXPECT_EQ(ReadFileBytes(copy), OriginalOf(item)) << copy;
        }
    }
    // The data folder is only read.
    EXPECT_TRUE(Exists(ListedPath(0)));
}

// A filter hides pictures from Recover without changing them: what is
// copied is the ticked pictures shown; clearing the filter brings the hidden
// ones back with their ticks.
TEST_F(RecoveringTest, WithAFilterOnlyTheShownTickedPicturesAreCopied)
{
    MessageBoxWatcher boxes;
    CreateDirectoryA(m_data->Join("temp").c_str(), nullptr);
    const char* const names[] = {"f100.bmp", "f101.bmp", "f102.gif", "f103.gif"};
    for (int i = 0; i < 4; ++i)
        WriteFileBytes(m_data->Join(std::string("temp\\") + names[i]), MakeBmp(8 + i, 6, i + 1));
    OpenReady();
    m_object->SetSaveFolder(m_out->Path());
    SearchWriting(m_data->Path());
    ASSERT_TRUE(WaitUntil([&] { return InAnalysedView(m_dlg) && ItemCount(List()) == 4; }, 10000));
    ASSERT_TRUE(SetTicked(List(), 0, false));
    ASSERT_TRUE(SetTicked(List(), 3, false));

    // The GIF type unticked in the filter bar, as a click does.
    HWND bar = FilterBar(m_dlg);
    HWND gif = ChildWithText(bar, "Button", "GIF");
    ASSERT_EQ(Text(gif), "GIF (2)");
    SendMessageA(gif, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(List()) == 2; }));
    SendMessageA(gif, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(List()) == 4; }));
    EXPECT_FALSE(Ticked(List(), 0));
    EXPECT_TRUE(Ticked(List(), 1));
    EXPECT_TRUE(Ticked(List(), 2));
    EXPECT_FALSE(Ticked(List(), 3));
    SendMessageA(gif, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(List()) == 2; }));

    m_lastCount = 1;
    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    EXPECT_EQ(summary.text, std::string("1 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(FilesIn(Copies()), (std::vector<std::string>{"f101.bmp"}));
    // The results come back filtered as they were; clearing the filter
    // shows the hidden pictures with their ticks.
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    EXPECT_TRUE(Visible(bar));
    EXPECT_TRUE(IsWindowEnabled(bar));
    EXPECT_EQ(ItemCount(List()), 2);
    SendMessageA(gif, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(List()) == 4; }));
    EXPECT_FALSE(Ticked(List(), 1));
    EXPECT_TRUE(Ticked(List(), 2));
}

TEST_F(RecoveringTest, YesOpensTheSaveFolder)
{
    MessageBoxWatcher boxes;
    Analysed(1);
    boxes.Answer(IDYES);
    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    EXPECT_EQ(summary.text, std::string("1 files recovered.") + kSummaryQuestion);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    // The recovery folder is opened: the pictures are there.
    EXPECT_EQ(m_object->Opened(), std::vector<std::string>{RecoveryFolder()});
}

TEST_F(RecoveringTest, NothingTickedAsksForAPictureAndStaysAnalysed)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    PostCommand(m_dlg, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return !Ticked(List(), 0) && !Ticked(List(), 1); }));

    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Quorvane");
    EXPECT_EQ(boxes.Seen()[0].text, "Please tick at least one picture to recover.");
    Pump(400);
    EXPECT_TRUE(InAnalysedView(m_dlg));
    EXPECT_FALSE(Visible(Item(m_dlg, IDC_PROGRESS)));
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(RecoveringTest, PictureDeletedMeanwhileIsNotCountedAsRecovered)
{
    MessageBoxWatcher boxes;
    Analysed(3);
    const std::string gone = ListedPath(1);
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    m_lastCount = 3;

    std::vector<std::string> texts;
    const SeenBox summary = RecoverAndWaitForSummary(boxes, &texts);
    EXPECT_EQ(summary.text, std::string("2 files recovered.\n\n1 files could not be copied because they have been "
                                        "deleted since the analysis.") + kSummaryQuestion);
    // The counter moved on past the missing file without showing it.
    EXPECT_EQ(texts.back(), "Recovering photo 3 of 3");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Recovering photo 2 of 3"), 0);
    EXPECT_EQ(m_lastBar, 3);
    EXPECT_TRUE(Exists(CopyOf(0)));
    EXPECT_FALSE(Exists(CopyOf(1)));
    EXPECT_TRUE(Exists(CopyOf(2)));
}

TEST_F(RecoveringTest, SaveFolderOneLevelMissingIsCreated)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    const std::string folder = m_out->Join("New");
    m_object->SetSaveFolder(folder);

    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    EXPECT_EQ(summary.text, std::string("2 files recovered.") + kSummaryQuestion);
    EXPECT_TRUE(IsFolder(folder.c_str()));
    EXPECT_EQ(ReadFileBytes(CopyOf(0, folder)), OriginalOf(0));
    EXPECT_EQ(ReadFileBytes(CopyOf(1, folder)), OriginalOf(1));
}

TEST_F(RecoveringTest, SaveFolderTwoLevelsMissingIsRefusedAndNothingCopied)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    const std::string folder = m_out->Join("A\\B");
    m_object->SetSaveFolder(folder);

    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Quorvane");
    EXPECT_EQ(boxes.Seen()[0].text, "Output directory \"" + folder + "\" does not exists.");
    // One message, no summary, nothing made, and Recover can be pressed again.
    ASSERT_TRUE(WaitUntil([&] { return InAnalysedView(m_dlg); }));
    Pump(500);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(Exists(m_out->Join("A")));
    EXPECT_FALSE(Visible(Item(m_dlg, IDC_PROGRESS)));

    // With the parent there, the same press goes through.
    CreateDirectoryA(m_out->Join("A").c_str(), nullptr);
    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    EXPECT_EQ(summary.text, std::string("2 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(ReadFileBytes(CopyOf(1, folder)), OriginalOf(1));
}

// A folder of the recovery folder's name that is there already (the
// user's own, or an earlier search's of the same drive and day) is never
// added to: the recovery gets a folder of its own, " (2)".
TEST_F(RecoveringTest, ARecoveryFolderNameTakenGetsANumberAndTheFolderThereIsLeft)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    SYSTEMTIME today;
    GetLocalTime(&today);
    char name[64];
    // The name of the day and of the card searched, B:.
    wsprintfA(name, "Quorvane recovery %04u-%02u-%02u B", today.wYear, today.wMonth, today.wDay);
    const std::string taken = m_out->Join(name);
    ASSERT_TRUE(CreateDirectoryA(taken.c_str(), nullptr));
    WriteFileBytes(taken + "\\" + NameOf(0), "the user's own file");

    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("2 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(FilesIn(taken), std::vector<std::string>{NameOf(0)});
    EXPECT_EQ(ReadFileBytes(taken + "\\" + NameOf(0)), "the user's own file");
    const std::string own = taken + " (2)\\Found by contents\\";
    EXPECT_EQ(ReadFileBytes(own + NameOf(0)), OriginalOf(0));
    EXPECT_EQ(ReadFileBytes(own + NameOf(1)), OriginalOf(1));
    // Nothing loose in the save folder.
    EXPECT_TRUE(FilesIn(m_out->Path()).empty());
}

// Pictures found under the names of ones already recovered: recovering
// more of the results adds to the same folder, nothing recovered before is
// replaced, and a picture that is already there is not copied again. (A new
// search recovers into a folder of its own: see the test above.)
TEST_F(RecoveringTest, RecoveringTwiceIntoOneFolderKeepsEveryDifferentPicture)
{
    MessageBoxWatcher boxes;
    // Two finds of one name, in two of the engine's folders, and another.
    CreateDirectoryA(m_data->Join("temp").c_str(), nullptr);
    const std::string firstBytes = MakeBmp(8, 6, 1);
    const std::string secondBytes = MakeBmp(12, 7, 40);
    const std::string sameBytes = MakeBmp(9, 6, 2);
    WriteFileBytes(m_data->Join("f100.bmp"), firstBytes);
    WriteFileBytes(m_data->Join("temp\\f100.bmp"), secondBytes);
    WriteFileBytes(m_data->Join("temp\\f101.bmp"), sameBytes);
    OpenReady();
    m_object->SetSaveFolder(m_out->Path());
    SearchWriting(m_data->Path());
    ASSERT_TRUE(WaitUntil([&] { return InAnalysedView(m_dlg) && ItemCount(List()) == 3; }, 10000));
    // Told apart by their sizes, as the details view shows them.
    int first = -1, second = -1, same = -1;
    for (int item = 0; item < 3; ++item) {
        const std::string size = analysis::CellText(List(), item, kColumnDimensions);
        (size == "8 x 6" ? first : size == "12 x 7" ? second : same) = item;
    }
    ASSERT_TRUE(first >= 0 && second >= 0 && same >= 0);

    ASSERT_TRUE(SetTicked(List(), second, false));
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("2 files recovered.") + kSummaryQuestion);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    // The other f100.bmp, and f101.bmp once more.
    ASSERT_TRUE(SetTicked(List(), second, true));
    ASSERT_TRUE(SetTicked(List(), same, true));
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("2 files recovered.") + kSummaryQuestion);

    std::vector<std::string> files = FilesIn(Copies());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"f100 (2).bmp", "f100.bmp", "f101.bmp"}));
    EXPECT_EQ(ReadFileBytes(Copies() + "\\f100.bmp"), firstBytes);
    EXPECT_EQ(ReadFileBytes(Copies() + "\\f100 (2).bmp"), secondBytes);
    EXPECT_EQ(ReadFileBytes(Copies() + "\\f101.bmp"), sameBytes);
    // The record lists each copy once, in the one recovery folder.
    const std::string record = ReadFileBytes(RecoveryFolder() + "\\Recovered pictures.csv");
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 4);
    EXPECT_NE(record.find("\"Found by contents\\f100 (2).bmp\""), std::string::npos);
}

// A folder of the arrangement that cannot be made (a file has its name)
// refuses its pictures; one deleted since the analysis is gone. The
// arrangement is chosen beside Recover.
TEST_F(RecoveringTest, BothKindsOfFailureInOneSentence)
{
    MessageBoxWatcher boxes;
    Analysed(3);
    ASSERT_TRUE(SetTicked(List(), 1, false));
    ASSERT_TRUE(SetTicked(List(), 2, false));
    m_lastCount = 1;
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("1 files recovered.") + kSummaryQuestion);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));

    // None of these has a date: "By date taken" puts them into Undated,
    // which is a file here.
    HWND arrangement = ArrangementBox(m_dlg);
    ASSERT_TRUE(Visible(arrangement));
    EXPECT_EQ(Text(arrangement), "Original folders");
    ChooseEntry(arrangement, 1);
    EXPECT_EQ(Text(arrangement), "By date taken");
    WriteFileBytes(RecoveryFolder() + "\\Undated", "not a folder");
    ASSERT_TRUE(SetTicked(List(), 1, true));
    ASSERT_TRUE(SetTicked(List(), 2, true));
    ASSERT_TRUE(DeleteFileA(ListedPath(1).c_str()));

    m_lastCount = 2;
    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    EXPECT_EQ(summary.text, std::string("0 files recovered.\n\n2 files could not be copied because 1 have been deleted "
                                        "since the analysis and the save folder could not be written to for "
                                        "the other 1.") +
                                kSummaryQuestion);
    EXPECT_EQ(ReadFileBytes(RecoveryFolder() + "\\Undated"), "not a folder");
    EXPECT_EQ(FilesIn(Copies()), std::vector<std::string>{NameOf(0)});
    // The choice is kept for the next start.
    EXPECT_NE(ReadFileBytes(std::string(GetModuleFolder().GetString()) + "settings.ini").find("arrange=By date taken"),
              std::string::npos);
    DeleteFileA((GetModuleFolder() + "settings.ini").GetString());
}

TEST_F(RecoveringTest, EmptySaveFolderAsksForOneAndRecoverWorksAfterBrowse)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    m_object->SetSaveFolder("");
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    const std::vector<std::string> cwdBefore = FilesIn(cwd);

    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Quorvane");
    EXPECT_EQ(boxes.Seen()[0].text,
              "Please choose a folder to save the recovered pictures in with 'Browse', then press 'Recover' again.");
    EXPECT_EQ(boxes.Seen()[0].buttons, static_cast<UINT>(MB_OK));
    Pump(500);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_TRUE(InAnalysedView(m_dlg));
    EXPECT_FALSE(Visible(Item(m_dlg, IDC_PROGRESS)));
    EXPECT_EQ(ItemCount(List()), 2);
    EXPECT_EQ(FilesIn(cwd), cwdBefore);
    EXPECT_TRUE(FilesIn(Copies()).empty());

    // Browse is there in the analysed view; the folder chosen is used.
    ASSERT_TRUE(Visible(Item(m_dlg, IDC_BROWSE)));
    m_object->QueuePick(m_out->Path());
    PostCommand(m_dlg, IDC_BROWSE);
    ASSERT_TRUE(WaitUntil([&] { return Text(Item(m_dlg, IDC_SAVE_DIR)) == m_out->Path(); }));
    EXPECT_TRUE(InAnalysedView(m_dlg));
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("2 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(ReadFileBytes(CopyOf(0)), OriginalOf(0));
    EXPECT_EQ(ReadFileBytes(CopyOf(1)), OriginalOf(1));
    DeleteFileA((GetModuleFolder() + "settings.ini").GetString());
}

// Browse keeps a drive root as "R:"; a card whose root is empty takes the
// pictures like any folder.
TEST_F(RecoveringTest, AnEmptyDriveRootTakesThePictures)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    ASSERT_TRUE(FilesIn(TEST_DRIVE "\\").empty()) << "the test drive's root is not empty";
    m_object->SetSaveFolder(TEST_DRIVE);

    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    const std::string copy0 = ReadFileBytes(CopyOf(0, TEST_DRIVE));
    const std::string copy1 = ReadFileBytes(CopyOf(1, TEST_DRIVE));
    const std::string recovery = RecoveryFolder(TEST_DRIVE);
    for (const std::string& name : FilesIn(Copies(TEST_DRIVE)))
        DeleteFileA((Copies(TEST_DRIVE) + "\\" + name).c_str());
    RemoveDirectoryA(Copies(TEST_DRIVE).c_str());
    for (const std::string& name : FilesIn(recovery))
        DeleteFileA((recovery + "\\" + name).c_str());
    EXPECT_TRUE(RemoveDirectoryA(recovery.c_str())) << recovery;
    EXPECT_EQ(summary.text, std::string("2 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(copy0, OriginalOf(0));
    EXPECT_EQ(copy1, OriginalOf(1));
}

// The save folder and Browse stay in reach in the analysed view; nothing
// visible lies over anything else there or while copying.
TEST_F(RecoveringTest, AnalysedViewOffersTheSaveFolderWithoutOverlaps)
{
    MessageBoxWatcher boxes;
    Analysed(2);
    for (int id : {IDC_SAVE_DIR, IDC_SAVE_DIR_LABEL, IDC_BROWSE})
        EXPECT_TRUE(Visible(Item(m_dlg, id))) << id;
    for (int id : {IDC_NEXT, IDC_RELOAD, IDC_DRIVE_LIST, IDC_SELECT_DRIVE_LABEL})
        EXPECT_FALSE(Visible(Item(m_dlg, id))) << id;
    EXPECT_EQ(Overlaps(), "");

    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(WaitUntil([&] { return Progress() == "Recovering photo 1 of 2"; }));
    for (int id : {IDC_SAVE_DIR, IDC_SAVE_DIR_LABEL, IDC_BROWSE, IDC_NEW_SEARCH})
        EXPECT_FALSE(Visible(Item(m_dlg, id))) << id;
    // The copy's Cancel is at hand.
    EXPECT_TRUE(Visible(Item(m_dlg, IDC_RECOVER)));
    EXPECT_EQ(Text(Item(m_dlg, IDC_RECOVER)), "Cancel");
    EXPECT_EQ(Overlaps(), "");
    ASSERT_TRUE(boxes.WaitForCount(1));
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    EXPECT_EQ(Overlaps(), "");
    PostCommand(m_dlg, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return InReadyView(m_dlg); }));
    EXPECT_EQ(Overlaps(), "");
}

// The button is the copy's Cancel: a press stops after the picture being
// copied, never starts a second run; what was copied stays and is counted,
// and the window answers all the while.
TEST_F(RecoveringTest, CancelDuringACopyKeepsWhatWasCopiedAndCountsIt)
{
    MessageBoxWatcher boxes;
    Analysed(6);
    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(WaitUntil([&] { return Progress() == "Recovering photo 2 of 6"; }));
    PostCommand(m_dlg, IDC_RECOVER);
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(m_dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer));
    ASSERT_TRUE(boxes.WaitForCount(1));
    const std::string text = boxes.Seen()[0].text;

    std::vector<std::string> copied = FilesIn(Copies());
    const int n = static_cast<int>(copied.size());
    EXPECT_GE(n, 2);
    EXPECT_LT(n, 6);
    EXPECT_EQ(text, std::to_string(n) + " files recovered.\n\nThe recovery was cancelled: " + std::to_string(6 - n) +
                        " of the 6 ticked files were not copied." + kSummaryQuestion);
    for (int item = 0; item < 6; ++item) {
        const bool there = Exists(CopyOf(item));
        EXPECT_EQ(there, item < n) << item;
        if (there) {
            EXPECT_EQ(ReadFileBytes(CopyOf(item)), OriginalOf(item));
        }
    }
    // The results: the copied ones marked and unticked, the rest still
    // ticked for the next Recover, which copies only them.
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    Pump(300);
    EXPECT_EQ(boxes.Count(), 1u);
    for (int item = 0; item < 6; ++item)
        EXPECT_EQ(Ticked(List(), item), item >= n) << item;
    EXPECT_EQ(CountLine().substr(CountLine().rfind(" - ")), " - " + std::to_string(n) + " recovered");
    m_lastCount = 6 - n;
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::to_string(6 - n) + " files recovered." + kSummaryQuestion);
    EXPECT_EQ(FilesIn(Copies()).size(), 6u);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    EXPECT_EQ(CountLine().substr(CountLine().rfind(" - ")), " - 6 recovered");
}

// Recover, then recover more from the same results: only the new choices
// are copied, a picture already in the folder is not copied again, each
// recovered picture carries the green mark; New search leaves the results.
TEST_F(RecoveringTest, RecoverThenRecoverMoreThenNewSearch)
{
    MessageBoxWatcher boxes;
    Analysed(3);
    ASSERT_TRUE(SetTicked(List(), 1, false));
    ASSERT_TRUE(SetTicked(List(), 2, false));
    const uint32_t before = MarkCorner(0);
    m_lastCount = 1;
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("1 files recovered.") + kSummaryQuestion);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    EXPECT_EQ(FilesIn(Copies()), std::vector<std::string>{NameOf(0)});
    EXPECT_EQ(Text(Item(m_dlg, IDC_SELECT_ALL)), "Select All Photos");
    EXPECT_TRUE(WaitUntil([&] { return IsGreen(MarkCorner(0)); })) << std::hex << MarkCorner(0);
    EXPECT_FALSE(IsGreen(before));
    EXPECT_FALSE(IsGreen(MarkCorner(1)));
    EXPECT_EQ(CountLine(), "3 of 3 pictures shown - 0 ticked (0 bytes) - 1 recovered");

    // One more ticked by hand: only it is copied.
    ASSERT_TRUE(SetTicked(List(), 2, true));
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("1 files recovered.") + kSummaryQuestion);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    EXPECT_EQ(FilesIn(Copies()).size(), 2u);
    EXPECT_EQ(ReadFileBytes(CopyOf(2)), OriginalOf(2));
    EXPECT_TRUE(WaitUntil([&] { return IsGreen(MarkCorner(2)); }));

    // Everything ticked again: the two already there are not copied twice.
    PostCommand(m_dlg, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return Ticked(List(), 0) && Ticked(List(), 1) && Ticked(List(), 2); }));
    EXPECT_EQ(RecoverAndWaitForSummary(boxes).text, std::string("3 files recovered.") + kSummaryQuestion);
    ASSERT_TRUE(WaitUntil([&] { return InResultsView(m_dlg); }));
    std::vector<std::string> files = FilesIn(Copies());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{NameOf(0), NameOf(1), NameOf(2)}));
    EXPECT_EQ(CountLine(), "3 of 3 pictures shown - 0 ticked (0 bytes) - 3 recovered");

    PostCommand(m_dlg, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return InReadyView(m_dlg); }));
    ASSERT_NE(FilterBar(m_dlg), nullptr);
    EXPECT_FALSE(Visible(FilterBar(m_dlg)));
    ASSERT_NE(uitest::CountLine(m_dlg), nullptr);
    EXPECT_FALSE(Visible(uitest::CountLine(m_dlg)));
}

// A long copy says how long it has left, after its count.
TEST_F(RecoveringTest, ALongCopyShowsTheTimeLeft)
{
    MessageBoxWatcher boxes;
    Analysed(24);
    m_lastCount = 24;
    std::vector<std::string> texts;
    EXPECT_EQ(RecoverAndWaitForSummary(boxes, &texts).text, std::string("24 files recovered.") + kSummaryQuestion);
    std::vector<std::string> withTime;
    for (const std::string& text : texts) {
        if (text.find(" - ") != std::string::npos)
            withTime.push_back(text);
    }
    ASSERT_FALSE(withTime.empty());
    for (const std::string& text : withTime) {
        const size_t dash = text.find(" - ");
        EXPECT_EQ(text.substr(0, 17), "Recovering photo ") << text;
        EXPECT_EQ(text.substr(dash), " - less than a minute left") << text;
    }
    EXPECT_EQ(texts.back(), "Recovering photo 24 of 24");
}

// After a cancel the analysis may still be taking in its last files; the
// copy must not start then, since both runs share the batch counters.
TEST_F(RecoveringTest, RecoverWaitsForAPendingRescan)
{
    MessageBoxWatcher boxes;
    for (int i = 0; i < 2; ++i)
        WriteFileBytes(m_data->Join("f" + std::to_string(100 + i) + ".bmp"), MakeBmp(8 + i, 6, i + 1));
    OpenReady();
    m_object->SetSaveFolder(m_out->Path());
    SearchWriting(m_data->Path(), true);
    ASSERT_TRUE(WaitUntil([&] { return Text(Item(m_dlg, IDC_RECOVER)) == "Cancel" && ItemCount(List()) == 2; },
                          10000));
    // Cancel, answered Yes, and Recover at once, before the pass that takes
    // in the last files after the engine's stop has come.
    boxes.Answer(IDYES);
    const HWND dlg = m_dlg;
    const HWND button = Item(dlg, IDC_RECOVER);
    m_object->RunOnUi([&] {
        for (int press = 0; press < 2; ++press)
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_RECOVER, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    });
    ASSERT_TRUE(boxes.WaitForCount(2));
    EXPECT_EQ(boxes.Seen()[0].text, "Quorvane is currently analyzing disk, are you sure you want to cancel?");
    EXPECT_EQ(boxes.Seen()[1].text,
              "Please wait until the last pictures found have been listed, then press 'Recover' again.");
    // The pending pass runs and ends analysed again, nothing copied.
    ASSERT_TRUE(WaitUntil([&] { return InAnalysedView(m_dlg) && ItemCount(List()) == 2; }));
    Pump(500);
    EXPECT_FALSE(Visible(Item(m_dlg, IDC_PROGRESS)));
    EXPECT_TRUE(FilesIn(Copies()).empty());
    EXPECT_EQ(ItemCount(List()), 2);

    m_lastCount = 2;
    const SeenBox summary = RecoverAndWaitForSummary(boxes);
    EXPECT_EQ(summary.text, std::string("2 files recovered.") + kSummaryQuestion);
}

// Closing while copying asks first (the finds not yet recovered would be
// left); No lets the copy go on, Yes ends the window and the copy with it.
TEST_F(RecoveringTest, ClosingWhileCopyingAsksFirst)
{
    MessageBoxWatcher boxes;
    Analysed(12);
    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(WaitUntil([&] { return Progress() == "Recovering photo 1 of 12"; }));
    PostMessageA(m_dlg, WM_CLOSE, 0, 0);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Confirm");
    EXPECT_EQ(boxes.Seen()[0].text.rfind("12 pictures were found and have not been recovered.\n\n", 0), 0u);
    EXPECT_EQ(boxes.Seen()[0].buttons, static_cast<UINT>(MB_YESNO));
    ASSERT_TRUE(WaitUntil([&] { return Progress() == "Recovering photo 3 of 12"; }));
    EXPECT_FALSE(m_ui->Finished());

    boxes.Answer(IDYES);
    ASSERT_TRUE(CloseAndWait());
    EXPECT_EQ(m_result.load(), IDCANCEL);
    EXPECT_EQ(boxes.Count(), 2u);
    // The copy stopped with the window: not every picture got there.
    EXPECT_LT(FilesIn(Copies()).size(), 12u);
}

// Escape and Enter while copying, with the focus in the picture list: the
// window stays and the copy runs to its summary.
TEST_F(RecoveringTest, EscapeAndEnterWhileCopyingChangeNothing)
{
    MessageBoxWatcher boxes;
    Analysed(4);
    PostCommand(m_dlg, IDC_RECOVER);
    ASSERT_TRUE(WaitUntil([&] { return Progress() == "Recovering photo 1 of 4"; }));
    HWND list = List();
    m_object->RunOnUi([&] { ::SetFocus(list); });
    PressKey(m_dlg, VK_ESCAPE);
    m_object->RunOnUi([&] { ::SetFocus(list); });
    PressKey(m_dlg, VK_RETURN);
    Pump(200);
    EXPECT_FALSE(m_ui->Finished());
    EXPECT_EQ(boxes.Count(), 0u);
    ASSERT_TRUE(boxes.WaitForCount(1, 15000));
    EXPECT_EQ(boxes.Seen()[0].text, std::string("4 files recovered.") + kSummaryQuestion);
    EXPECT_EQ(FilesIn(Copies()).size(), 4u);
    EXPECT_FALSE(m_ui->Finished());
}

}  // namespace

