// Finding the pictures that matter among many: what the filters show and
// in what order, the filter bar and Select All acting on what is shown,
// the names, tooltips and count line, the preview opened from the list,
// and the engine's finds file read while it is written.
#include "AnalysisHarness.h"

#include "PictureColumns.h"
#include "SettingsFiles.h"

#include "PictureDescription.h"
#include "PicturePreview.h"
#include "PictureView.h"
#include "finds_file.h"

using namespace analysis;

namespace {

struct Find {
    const char* path;
    unsigned width, height;
    uint64_t bytes;
    const char* taken;
    int record;  // 0 none, 1 present, 2 deleted
    const char* folder;
};

// Six finds of every kind: a camera photo found by its contents, an icon
// still on the disk, a deleted photo taken at the same moment as the first,
// a web picture, a deleted scan taken earlier, and a file that does not decode.
const Find kFinds[] = {
    {"C:\\d\\d0001\\a.jpg", 4000, 3000, 2000000, "2019:07:14 16:05:09", 0, ""},
    {"C:\\d\\d0001\\icon.png", 16, 16, 500, "", 1, "\\Windows\\Icons"},
    {"C:\\d\\d0001\\IMG_2.jpg", 4000, 3000, 2000000, "2019:07:14 16:05:09", 2, "\\DCIM\\100CANON"},
    {"C:\\d\\d0001\\logo.gif", 300, 200, 5000, "", 0, ""},
    {"C:\\d\\d0001\\scan.tif", 800, 600, 900000, "2018:01:01 10:00:00", 2, "\\Scans"},
    {"C:\\d\\d0001\\broken.bmp", 0, 0, 1000, "", 0, ""},
};

void AddFind(CPictureItems& items, const Find& find)
{
    PictureDetails details;
    details.width = find.width;
    details.height = find.height;
    details.bytes = find.bytes;
    details.taken = find.taken;
    items.Add(find.path, ThumbnailPixels(), details, find.width > 0);
    if (find.record)
        items.SetRecord(items.Count() - 1, find.folder, find.record == 2);
}

std::vector<int> Shown(const CPictureItems& items, const PictureFilter& filter, PictureSort sort)
{
    CPictureView view;
    view.Set(items, filter, sort);
    return view.Items();
}

using Order = std::vector<int>;

TEST(PictureView, FiltersAloneAndTogether)
{
    CPictureItems items;
    for (const Find& find : kFinds)
        AddFind(items, find);

    PictureFilter all;
    EXPECT_EQ(Shown(items, all, PictureSort::Found), (Order{0, 1, 2, 3, 4, 5}));

    PictureFilter noJpeg;
    noJpeg.types[kTypeJpeg] = false;
    EXPECT_EQ(Shown(items, noJpeg, PictureSort::Found), (Order{1, 3, 4, 5}));
    PictureFilter deleted;
    deleted.deletedOnly = true;  // what may still be on the disk goes; finds without a record stay
    EXPECT_EQ(Shown(items, deleted, PictureSort::Found), (Order{0, 2, 3, 4, 5}));
    PictureFilter large;
    large.minSide = 200;  // 300 x 200 stays, 16 x 16 and the undecodable go
    EXPECT_EQ(Shown(items, large, PictureSort::Found), (Order{0, 2, 3, 4}));
    PictureFilter heavy;
    heavy.minBytes = 10 * 1024;
    EXPECT_EQ(Shown(items, heavy, PictureSort::Found), (Order{0, 2, 4}));
    PictureFilter text;
    text.text = "dcim";  // in a folder, case ignored
    EXPECT_EQ(Shown(items, text, PictureSort::Found), (Order{2}));
    text.text = "Img_";  // in a name
    EXPECT_EQ(Shown(items, text, PictureSort::Found), (Order{2}));
    text.text = "nowhere";
    EXPECT_EQ(Shown(items, text, PictureSort::Found), (Order{}));

    PictureFilter together;
    together.types[kTypeGif] = false;
    together.deletedOnly = true;
    together.minSide = 200;
    EXPECT_EQ(Shown(items, together, PictureSort::Found), (Order{0, 2, 4}));
    together.text = "s";  // scan.tif, and \DCIM\100CANON has no s
    EXPECT_EQ(Shown(items, together, PictureSort::Found), (Order{4}));

    // The later formats by their own types; a RAW, whose size the window
    // does not know, stays when small pictures are hidden; a HEIC or WebP
    // is drawn, so an unknown size means it did not decode, as for a JPEG.
    AddFind(items, {"C:\\d\\IMG_0001.CR2", 0, 0, 25000000, "", 2, "\\DCIM"});
    AddFind(items, {"C:\\d\\phone.HEIC", 0, 0, 2000000, "", 0, ""});
    AddFind(items, {"C:\\d\\f1.webp", 0, 0, 20000, "", 0, ""});
    EXPECT_EQ(items.TypeCount(kTypeRaw), 1);
    EXPECT_EQ(items.TypeCount(kTypeHeic), 1);
    EXPECT_EQ(items.TypeCount(kTypeWebp), 1);
    PictureFilter noRaw;
    noRaw.types[kTypeRaw] = false;
    noRaw.types[kTypeWebp] = false;
    EXPECT_EQ(Shown(items, noRaw, PictureSort::Found), (Order{0, 1, 2, 3, 4, 5, 7}));
    EXPECT_EQ(Shown(items, large, PictureSort::Found), (Order{0, 2, 3, 4, 6}));
}

TEST(PictureView, SortsKeepTheOrderFoundOnTies)
{
    CPictureItems items;
    for (const Find& find : kFinds)
        AddFind(items, find);
    const PictureFilter all;
    // 0 and 2 were taken at the same moment; undated ones come last.
    EXPECT_EQ(Shown(items, all, PictureSort::NewestFirst), (Order{0, 2, 4, 1, 3, 5}));
    EXPECT_EQ(Shown(items, all, PictureSort::OldestFirst), (Order{4, 0, 2, 1, 3, 5}));
    EXPECT_EQ(Shown(items, all, PictureSort::LargestFirst), (Order{0, 2, 4, 3, 1, 5}));
    EXPECT_EQ(Shown(items, all, PictureSort::Name), (Order{0, 5, 1, 2, 3, 4}));

    // New finds join sorted, after their equals; hidden ones not at all.
    CPictureView view;
    PictureFilter large;
    large.minSide = 100;
    view.Set(items, large, PictureSort::NewestFirst);
    EXPECT_EQ(view.Items(), (Order{0, 2, 4, 3}));
    AddFind(items, {"C:\\d\\d0002\\scan2.tif", 800, 600, 900000, "2018:01:01 10:00:00", 0, ""});
    EXPECT_EQ(view.Add(items, 6), 3);
    AddFind(items, {"C:\\d\\d0002\\tiny.png", 10, 10, 90, "", 0, ""});
    EXPECT_EQ(view.Add(items, 7), -1);
    EXPECT_EQ(view.Items(), (Order{0, 2, 4, 6, 3}));
    EXPECT_EQ(view.PositionOf(6), 3);
    EXPECT_EQ(view.PositionOf(7), -1);
    EXPECT_EQ(view.ItemAt(5), -1);

    // A record that comes later moves its find where the filter now says.
    PictureFilter deleted;
    deleted.deletedOnly = true;
    view.Set(items, deleted, PictureSort::Found);
    EXPECT_EQ(view.PositionOf(1), -1);
    items.SetRecord(1, "\\Windows\\Icons", true);
    view.Update(items, 1);
    EXPECT_EQ(view.Items(), (Order{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(PictureDescription, SaysWhatIsKnown)
{
    CPictureItems items;
    for (const Find& find : kFinds)
        AddFind(items, find);
    const std::string deleted = DescribePicture(items, 2).GetString();
    EXPECT_NE(deleted.find("IMG_2.jpg\r\n"), std::string::npos) << deleted;
    EXPECT_NE(deleted.find("Deleted; was in \\DCIM\\100CANON"), std::string::npos) << deleted;
    EXPECT_NE(deleted.find("JPEG, 4000 x 3000 pixels, 1.9 MB (2,000,000 bytes)"), std::string::npos) << deleted;
    EXPECT_NE(deleted.find("Date: "), std::string::npos) << deleted;
    const std::string found = DescribePicture(items, 5).GetString();
    EXPECT_NE(found.find("Found by its contents"), std::string::npos) << found;
    EXPECT_NE(found.find("cannot be shown"), std::string::npos) << found;
    EXPECT_EQ(found.find("pixels"), std::string::npos) << found;
    // A picture of a type the window does not draw is not called damaged.
    AddFind(items, {"C:\\d\\IMG_0001.CR2", 0, 0, 25000000, "", 2, "\\DCIM"});
    const std::string raw = DescribePicture(items, 6).GetString();
    EXPECT_NE(raw.find("\r\nRAW, 23.8 MB (25,000,000 bytes)\r\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find("This RAW file carries no preview picture to show; Recover copies the file as it was found."),
              std::string::npos) << raw;
    EXPECT_EQ(raw.find("damaged"), std::string::npos) << raw;
    // A photo whose data does not check out whole: marked with its share,
    // and no longer ticked; one whose share is not known says so too.
    AddFind(items, {"C:\\d\\IMG_0102.jpg", 1600, 1200, 1080000, "", 0, ""});
    EXPECT_TRUE(items.Ticked(7));
    items.SetRecord(7, "\\DCIM", true, true, 49);
    EXPECT_FALSE(items.Ticked(7));
    EXPECT_TRUE(items.Damaged(7));
    const std::string half = DescribePicture(items, 7).GetString();
    EXPECT_NE(half.find("\r\nDamaged: about 49% of the picture could be read"), std::string::npos) << half;
    items.SetRecord(1, "\\Windows\\Icons", false, true, -1);
    const std::string unknown = DescribePicture(items, 1).GetString();
    EXPECT_NE(unknown.find("\r\nDamaged: part of the picture may be missing or wrong."), std::string::npos) << unknown;
    EXPECT_EQ(DescribePicture(items, 0).Find("Damaged"), -1);
    // A damaged picture found by its contents stays a content find.
    AddFind(items, {"C:\\d\\f0000081920.jpg", 640, 480, 90000, "", 0, ""});
    items.SetDamaged(8, 35);
    EXPECT_EQ(items.State(8), FindState::Found);
    EXPECT_EQ(items.Folder(8), "");
    EXPECT_FALSE(items.Ticked(8));
    EXPECT_EQ(items.DamagedShare(8), 35);
    // A RAW that carries no JPEG of itself still tells its sensor's size.
    PictureDetails sensor;
    sensor.width = 6000;
    sensor.height = 4000;
    sensor.bytes = 30000000;
    items.Add("C:\\d\\IMG_0003.CR3", ThumbnailPixels(), sensor, false);
    const std::string sized = DescribePicture(items, 9).GetString();
    EXPECT_NE(sized.find("\r\nRAW, 6000 x 4000 pixels, "), std::string::npos) << sized;
    EXPECT_NE(sized.find("carries no preview picture"), std::string::npos) << sized;
    EXPECT_EQ(sized.find("Lens:"), std::string::npos) << sized;
    // Camera and lens each on a line of their own, each find's own.
    PictureDetails tagged = sensor;
    tagged.camera = "Nikon Z 6";
    tagged.lens = "NIKKOR Z 24-70mm f/4 S";
    items.Add("C:\\d\\DSC_0001.NEF", ThumbnailPixels(), tagged, true);
    tagged.lens = "NIKKOR Z 50mm f/1.8 S";
    items.Add("C:\\d\\DSC_0002.NEF", ThumbnailPixels(), tagged, true);
    EXPECT_EQ(items.Lens(10), "NIKKOR Z 24-70mm f/4 S");
    EXPECT_EQ(items.Lens(11), "NIKKOR Z 50mm f/1.8 S");
    EXPECT_EQ(items.Camera(11), "Nikon Z 6");
    const std::string lens = DescribePicture(items, 11).GetString();
    EXPECT_NE(lens.find("\r\nCamera: Nikon Z 6\r\nLens: NIKKOR Z 50mm f/1.8 S"), std::string::npos) << lens;
    // A deleted short name whose first letter FAT lost says so; a name of
    // a file still there keeps its underscore without a word.
    items.Add("C:\\d\\_MG_0009.jpg", ThumbnailPixels(), PictureDetails(), true);
    items.Add("C:\\d\\_MG_0010.jpg", ThumbnailPixels(), PictureDetails(), true);
    items.SetRecord(12, "\\DCIM", true);
    items.SetRecord(13, "\\DCIM", false);
    EXPECT_NE(DescribePicture(items, 12).Find("The first letter of its name was lost when it was deleted"), -1);
    EXPECT_EQ(DescribePicture(items, 13).Find("first letter"), -1);
    EXPECT_EQ(std::string(CountLine(1240, 38512, 812, 2469606195ull).GetString()),
              "1,240 of 38,512 pictures shown - 812 ticked (2.3 GB)");
}

class FindingTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
        m_list = Ctl(IDC_PICTURE_LIST);
        SetWindowPos(m_list, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    // The engine's lines that write pictures p<first>.png ... (side x side),
    // each once the one before it is listed, so that the list's order is
    // the order written (see Listed).
    std::vector<std::string> Writes(int first, int n, int side)
    {
        std::vector<std::string> lines;
        for (int i = first; i < first + n; ++i) {
            const std::string name = "p" + std::to_string(i) + ".png";
            EXPECT_TRUE(SavePicture(m_files.Join(name), side, side, 0x102030u * static_cast<uint32_t>(i + 1),
                                    L"image/png"));
            if (i > first)
                lines.push_back("waitfor|" + Marker(i - 1));
            lines.push_back("copy|" + m_files.Join(name) + "|" + name);
        }
        return lines;
    }
    // Next, as the user presses it, with the engine following these lines.
    void Search(const std::vector<std::string>& lines)
    {
        m_engine.SetScript(lines);
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
    }
    // Waits for pictures p<first>... to be listed one by one, letting the
    // engine write each next one.
    bool Listed(int first, int n)
    {
        for (int i = first; i < first + n; ++i) {
            if (!WaitUntil([&] { return ItemCount(m_list) > i; }, 15000))
                return false;
            WriteFileBytes(Marker(i), "");
        }
        return true;
    }
    std::string Marker(int i) const { return m_files.Join("listed" + std::to_string(i)); }
    // The picture the preview shows, by the name in its caption; empty when
    // it is not open.
    std::string PreviewShows()
    {
        HWND preview = FindWindowA(CPicturePreview::kClassName, nullptr);
        if (!preview || !IsWindowVisible(preview))
            return std::string();
        const std::string caption = Text(preview);
        const std::string lead = "Preview - ";
        return caption.compare(0, lead.size(), lead) == 0 ? caption.substr(lead.size()) : std::string();
    }

    EngineInstall m_engine;
    TempFolder m_files{"finding"};
    HWND m_list = nullptr;
};

TEST_F(FindingTest, FilterBarChoosesWhatIsShownAndSelectAllActsOnIt)
{
    // Five pictures, then a sixth once the test lets the engine go on.
    const std::string release = m_files.Join("release");
    std::vector<std::string> lines = Writes(0, 3, 40);
    const std::vector<std::string> large = Writes(3, 2, 300);
    lines.push_back("waitfor|" + Marker(2));
    lines.insert(lines.end(), large.begin(), large.end());
    lines.push_back("waitfor|" + release);
    const std::vector<std::string> late = Writes(5, 1, 40);
    lines.insert(lines.end(), late.begin(), late.end());
    Search(lines);
    ASSERT_TRUE(Listed(0, 5));
    const uint64_t bytes = ReadFileBytes(m_files.Join("p0.png")).size() + ReadFileBytes(m_files.Join("p1.png")).size() +
                           ReadFileBytes(m_files.Join("p2.png")).size() + ReadFileBytes(m_files.Join("p3.png")).size() +
                           ReadFileBytes(m_files.Join("p4.png")).size();
    ASSERT_TRUE(WaitUntil([&] { return Dlg().CountText() == std::string(CountLine(5, 5, 5, bytes).GetString()); }))
        << Dlg().CountText();

    // "Hide pictures smaller than 200 x 200", chosen as the user does.
    HWND sizes = ComboWithEntry(Dlg().FilterBar(), "Hide pictures smaller than 200 x 200");
    ASSERT_NE(sizes, nullptr);
    ChooseEntry(sizes, 2);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 2; }));
    EXPECT_EQ(ShownName(0), "p3.png");
    EXPECT_EQ(ShownName(1), "p4.png");
    EXPECT_EQ(Dlg().CountText().substr(0, 34), "2 of 5 pictures shown - 2 ticked (");

    // Typing in the find box narrows the list at once.
    HWND find = NthChild(Dlg().FilterBar(), "Edit", 0);
    SetWindowTextA(find, "P4");
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 1; }));
    EXPECT_EQ(ShownName(0), "p4.png");
    // A new find that the filter hides is counted, not shown.
    WriteFileBytes(release, "");
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_TRUE(WaitUntil([&] { return Dlg().CountText().substr(0, 21) == "1 of 6 pictures shown"; }))
        << Dlg().CountText();
    EXPECT_EQ(ItemCount(m_list), 1);
    SetWindowTextA(find, "");
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 2; }));

    // Untick All unticks what is shown; the hidden small ones keep theirs.
    PostCommand(Dlg().m_hWnd, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return !Ticked(m_list, 0) && !Ticked(m_list, 1); }));
    EXPECT_EQ(Dlg().CountText().substr(0, 33), "2 of 6 pictures shown - 0 ticked ");

    // Sorted by name, and back to every picture, the hidden ones ticked as
    // they were.
    HWND sort = ComboWithEntry(Dlg().FilterBar(), "Name, A to Z");
    ASSERT_NE(sort, nullptr);
    ChooseEntry(sort, 4);
    ChooseEntry(sizes, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 6; }));
    // The pictures that came back have places of their own.
    RECT first = {LVIR_BOUNDS, 0, 0, 0};
    RECT last = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(m_list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    ASSERT_TRUE(SendMessageA(m_list, LVM_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&last)));
    EXPECT_FALSE(EqualRect(&first, &last));
    EXPECT_GT(last.left, first.left);
    const char* const byName[] = {"p0.png", "p1.png", "p2.png", "p3.png", "p4.png", "p5.png"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ShownName(i), byName[i]);
        EXPECT_EQ(Ticked(m_list, i), i < 3 || i == 5) << i;
    }
}

// The label says what its click does to the pictures shown: it offers to
// untick them at first (they come ticked), then to tick them, and so on; a
// tick changed by hand in between leaves its offer as it was.
TEST_F(FindingTest, SelectAllTicksAndUnticksEveryPicture)
{
    Search(Writes(0, 4, 40));
    ASSERT_TRUE(Listed(0, 4));
    ASSERT_TRUE(WaitAnalysed());
    HWND label = Ctl(IDC_SELECT_ALL);
    const DWORD ex = static_cast<DWORD>(SendMessageA(m_list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    ASSERT_TRUE(ex & LVS_EX_CHECKBOXES);
    // Unticked by hand: a click on the item's tick box.
    auto untick = [&](int item) {
        return ClickTickBox(m_list, item) && WaitUntil([&] { return !Ticked(m_list, item); });
    };
    ASSERT_TRUE(untick(1));
    EXPECT_EQ(Text(label), "Unselect All Photos");

    PostCommand(m_hwnd, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Select All Photos"; }));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(Ticked(m_list, i)) << i;

    PostCommand(m_hwnd, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Unselect All Photos"; }));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Ticked(m_list, i)) << i;

    // Unticked by hand: the label still offers to untick, and does it to all.
    ASSERT_TRUE(untick(2));
    PostCommand(m_hwnd, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Select All Photos"; }));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(Ticked(m_list, i)) << i;
}

// The View box beside the filters switches the list to the details and to
// larger thumbnails, and remembers the choice. In the details a header click
// sets the Sort box where it has that order, and the box's order shows as
// the header's arrow.
TEST_F(FindingTest, ViewBoxAndHeaderSortKeepStepWithTheSortBox)
{
    const std::string settings = std::string(GetModuleFolder().GetString()) + "settings.ini";
    const bool hadSettings = GetFileAttributesA(settings.c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::string before = hadSettings ? ReadFileBytes(settings) : std::string();
    std::vector<std::string> lines = Writes(0, 3, 40);
    const std::vector<std::string> large = Writes(3, 2, 300);
    lines.push_back("waitfor|" + Marker(2));
    lines.insert(lines.end(), large.begin(), large.end());
    Search(lines);
    ASSERT_TRUE(Listed(0, 5));
    ASSERT_TRUE(WaitAnalysed());
    SetWindowPos(m_list, nullptr, 0, 0, 1000, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND view = ComboWithEntry(Dlg().FilterBar(), "Large thumbnails");
    ASSERT_NE(view, nullptr);
    ChooseEntry(view, 2);
    ASSERT_TRUE(WaitUntil([&] { return ReadListView() == "256"; }));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(ListView_GetImageList(m_list, LVSIL_NORMAL), &cx, &cy);
    EXPECT_EQ(cx, 256);

    ChooseEntry(view, 3);
    ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongA(m_list, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT; }));
    EXPECT_EQ(ReadListView(), "details");
    HWND sort = ComboWithEntry(Dlg().FilterBar(), "Size, largest first");
    ASSERT_NE(sort, nullptr);
    HWND header = ListView_GetHeader(m_list);
    RECT rc = {};
    ASSERT_TRUE(Header_GetItemRect(header, kColumnDimensions, &rc));
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(sort, CB_GETCURSEL, 0, 0) == 3; }));
    std::vector<std::string> byHeader;
    for (int i = 0; i < 5; ++i)
        byHeader.push_back(ShownName(i));
    EXPECT_EQ(byHeader[0], "p3.png");
    EXPECT_EQ(byHeader[1], "p4.png");
    // The same order from the box.
    ChooseEntry(sort, 0);
    ASSERT_TRUE(WaitUntil([&] { return ShownName(0) == "p0.png"; }));
    ChooseEntry(sort, 3);
    ASSERT_TRUE(WaitUntil([&] { return ShownName(0) == "p3.png"; }));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ShownName(i), byHeader[static_cast<size_t>(i)]) << i;
    HDITEMA item = {};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, kColumnDimensions, &item);
    EXPECT_EQ(item.fmt & (HDF_SORTUP | HDF_SORTDOWN), HDF_SORTDOWN);

    // An order the box does not have leaves it empty.
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(sort, CB_GETCURSEL, 0, 0) == CB_ERR; }));
    // The 40 x 40 ones first now, the 300 x 300 ones last.
    EXPECT_LT(ShownName(2), "p3.png");
    EXPECT_GE(ShownName(3), "p3.png");

    ChooseEntry(view, 0);
    ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongA(m_list, GWL_STYLE) & LVS_TYPEMASK) == LVS_ICON; }));
    EXPECT_EQ(ReadListView(), "64");
    if (hadSettings)
        WriteFileBytes(settings, before);
    else
        DeleteFileA(settings.c_str());
}

TEST_F(FindingTest, TooltipTellsTheDetails)
{
    Search(Writes(0, 2, 120));
    ASSERT_TRUE(Listed(0, 2));
    ASSERT_TRUE(WaitAnalysed());
    // The pointer comes to rest on the second picture; the tip then asks
    // the window for its text.
    RECT icon = {LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(m_list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&icon)));
    PostMessageA(m_list, WM_MOUSEMOVE, 0, MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2));
    Pump(200);
    HWND tip = ToolTipFor(m_list);
    ASSERT_NE(tip, nullptr);
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = tip;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(m_list);
    info.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(Dlg().m_hWnd, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.lpszText, nullptr);
    const char* text = info.lpszText;
    const std::string shown = text;
    EXPECT_EQ(shown.substr(0, 8), "p1.png\r\n") << shown;
    EXPECT_NE(shown.find("PNG, 120 x 120 pixels"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Found by its contents"), std::string::npos) << shown;

    // Away from the pictures, the tip has nothing to say.
    PostMessageA(m_list, WM_MOUSEMOVE, 0, MAKELPARAM(590, 290));
    Pump(200);
    SendMessageA(Dlg().m_hWnd, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(info.lpszText, "");
}

TEST_F(FindingTest, PreviewOpensOnTheDoubleClickedPictureAndStepsInTheListsOrder)
{
    // Three pictures while the search goes on; a fourth once the test lets
    // the engine go on.
    const std::string release = m_files.Join("release");
    std::vector<std::string> lines = Writes(0, 3, 40);
    lines.push_back("waitfor|" + release);
    const std::vector<std::string> late = Writes(3, 1, 300);
    lines.insert(lines.end(), late.begin(), late.end());
    Search(lines);
    ASSERT_TRUE(Listed(0, 3));
    RECT icon = {LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(m_list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&icon)));
    const LPARAM middle = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
    PostMessageA(m_list, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(m_list, WM_LBUTTONUP, 0, middle);
    PostMessageA(m_list, WM_LBUTTONDBLCLK, MK_LBUTTON, middle);
    PostMessageA(m_list, WM_LBUTTONUP, 0, middle);
    ASSERT_TRUE(WaitUntil([&] { return !PreviewShows().empty(); }));
    EXPECT_EQ(PreviewShows(), "p1.png");
    // A double click beside the box changes no tick.
    EXPECT_TRUE(Ticked(m_list, 1));
    HWND preview = FindWindowA(CPicturePreview::kClassName, nullptr);
    ASSERT_NE(preview, nullptr);

    // Sorted by size, the largest first: a new larger find goes first and
    // the preview steps to it in the list's order.
    WriteFileBytes(release, "");
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 4; }, 15000));
    ChooseEntry(ComboWithEntry(Dlg().FilterBar(), "Size, largest first"), 3);
    // 300 x 300 first, then the 40 x 40 ones in the order found: p1 is at
    // place 2, the one before it is p0.
    PressKey(preview, VK_LEFT);
    EXPECT_TRUE(WaitUntil([&] { return PreviewShows() == "p0.png"; })) << PreviewShows();
    PressKey(preview, VK_LEFT);
    EXPECT_TRUE(WaitUntil([&] { return PreviewShows() == "p3.png"; })) << PreviewShows();
    // At the first picture there is no step back.
    PressKey(preview, VK_LEFT);
    Pump(300);
    EXPECT_EQ(PreviewShows(), "p3.png");
    // The list follows the preview.
    EXPECT_EQ(SendMessageA(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 0);

    // Enter on the selected picture opens it as well.
    PressKey(preview, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return PreviewShows().empty(); }));
    ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(m_list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Dlg().RunOnUi([&] { ::SetFocus(m_list); });
    PressKey(m_list, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !PreviewShows().empty(); }));
    EXPECT_EQ(PreviewShows(), "p1.png");
    // The window itself is still there: Enter did not end it.
    EXPECT_TRUE(IsWindow(Dlg().m_hWnd));
    PressKey(preview, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return PreviewShows().empty(); }));
}

// A photo the engine wrote damaged: unticked, marked on its thumbnail,
// counted, and hidden by the filter bar's box that comes with it.
TEST_F(FindingTest, DamagedFindsAreMarkedUntickedCountedAndCanBeHidden)
{
    EngineInstall& engine = m_engine;
    const std::string picture = m_files.Join("blue.png");
    ASSERT_TRUE(SavePicture(picture, 40, 40, 0x0000FF, L"image/png"));
    WriteFileBytes(m_files.Join("finds.txt"),
                   std::string(qv::kFindsHeader) + qv::formatFindsLine({"d0001\\Whole.png", "\\DCIM", true}) +
                       qv::formatFindsLine({"d0001\\Half.png", "\\DCIM", true, true, 49}));
    engine.SetScript({
        "copy|" + m_files.Join("finds.txt") + "|..\\..\\data.finds",
        "copy|" + picture + "|d0001\\Whole.png",
        "copy|" + picture + "|d0001\\Half.png",
    });
    HWND hide = nullptr;
    for (HWND child = GetWindow(Dlg().FilterBar(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (Text(child) == "Hide damaged pictures")
            hide = child;
    }
    ASSERT_NE(hide, nullptr);
    // Its own visibility: the bar may be hidden in this view.
    auto shown = [&] { return (GetWindowLongA(hide, GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_FALSE(shown());  // no damaged picture yet

    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_EQ(ItemCount(m_list), 2);
    const std::string whole = "Whole.png";
    const int wholeAt = ShownName(0) == whole ? 0 : 1;
    const int halfAt = 1 - wholeAt;
    EXPECT_EQ(ShownName(wholeAt), whole);
    EXPECT_TRUE(Ticked(m_list, wholeAt));
    EXPECT_FALSE(Ticked(m_list, halfAt));
    EXPECT_NE(Dlg().CountText().find(" - 1 damaged"), std::string::npos) << Dlg().CountText();
    EXPECT_TRUE(shown());
    // The mark: orange in the lower left corner of the damaged one only.
    const Pixels marked = ItemPixels(m_list, halfAt);
    const Pixels plain = ItemPixels(m_list, wholeAt);
    EXPECT_TRUE(Near(marked[57 * 64 + 11], 0xFFB000, 40));
    EXPECT_FALSE(Near(plain[57 * 64 + 11], 0xFFB000, 40));

    SendMessageA(hide, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 1; }));
    EXPECT_EQ(ShownName(0), whole);
    SendMessageA(hide, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(m_list) == 2; }));
    DeleteFileA((DataFolder() + ".finds").c_str());
}

}  // namespace
