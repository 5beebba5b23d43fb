// Thumbnails and the picture list: the fit of a picture into 64 x 64, the
// drawn pixels, the decode test, items with their own paths, and clearing.
#include "AnalysisHarness.h"

#include "BoxThumbnails.h"
#include "PictureColumns.h"
#include "Thumbnail.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

struct Fit {
    unsigned w, h;
    int x, y, width, height;
};

TEST(FitThumbnail, WorkedSizes)
{
    const Fit cases[] = {
        {640, 480, 0, 7, 64, 48}, {480, 640, 7, 0, 48, 64}, {1024, 768, 0, 8, 64, 48},
        {100, 100, 0, 0, 63, 63}, {32, 16, 0, 16, 64, 32},  {1, 1, 0, 0, 64, 64},
        {16, 16, 0, 0, 64, 64},   {64, 64, 0, 0, 64, 64},   {3, 7, 18, 0, 27, 64},
    };
    for (const Fit& c : cases) {
        const ThumbnailRect rc = FitThumbnail(c.w, c.h);
        EXPECT_EQ(rc.x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(rc.y, c.y) << c.w << "x" << c.h;
        EXPECT_EQ(rc.width, c.width) << c.w << "x" << c.h;
        EXPECT_EQ(rc.height, c.height) << c.w << "x" << c.h;
    }
}

// In the medium and large boxes a picture that fits is drawn at its own
// size, centred (an icon stays an icon); a larger one fills the box along
// its longer side. The small box keeps its worked sizes.
TEST(FitThumbnail, LargerBoxesNeverEnlarge)
{
    struct BoxFit {
        unsigned w, h;
        int box, x, y, width, height;
    };
    const BoxFit cases[] = {
        {24, 24, 256, 116, 116, 24, 24},  {256, 256, 256, 0, 0, 256, 256}, {100, 20, 128, 14, 54, 100, 20},
        {4000, 3000, 256, 0, 32, 256, 192}, {3000, 4000, 256, 32, 0, 192, 256}, {200, 100, 128, 0, 32, 128, 64},
        {5000, 1, 256, 0, 127, 256, 1},   {16, 16, 64, 0, 0, 64, 64},      {100, 100, 64, 0, 0, 63, 63},
    };
    for (const BoxFit& c : cases) {
        const ThumbnailRect rc = FitThumbnailIn(c.w, c.h, c.box);
        EXPECT_EQ(rc.x, c.x) << c.w << "x" << c.h << " in " << c.box;
        EXPECT_EQ(rc.y, c.y) << c.w << "x" << c.h << " in " << c.box;
        EXPECT_EQ(rc.width, c.width) << c.w << "x" << c.h << " in " << c.box;
        EXPECT_EQ(rc.height, c.height) << c.w << "x" << c.h << " in " << c.box;
    }
}

// A plain window with a picture list, on a thread of its own, that hands
// the list its notifications and messages as the main window does, and
// records what the list tells it.
class ListWindow : public IPictureListHost {
public:
    ListWindow() : m_ui([this] { Run(); }) { m_hwnd = m_ui.WaitForWindow(kCaption); }
    ~ListWindow()
    {
        if (m_hwnd)
            PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    }

    void RunOnUi(const std::function<void()>& fn) { SendMessageA(m_hwnd, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn)); }
    CPictureList& List() { return m_list; }
    HIMAGELIST Images() const { return m_list.Images(); }
    HWND ListWindowHandle() const { return m_listWindow; }
    void AddPicture(const std::string& source, const std::string& itemPath) { ListPicture(m_list, source, itemPath); }
    void AddThumbnail(const ThumbnailPixels& pixels, const std::string& path) { ListThumbnail(m_list, pixels, path); }
    std::vector<int> Opened()
    {
        std::vector<int> opened;
        RunOnUi([&] { opened = m_opened; });
        return opened;
    }
    int TicksChanged()
    {
        int changed = 0;
        RunOnUi([&] { changed = m_ticksChanged; });
        return changed;
    }

    std::vector<int> SizesChosen()
    {
        std::vector<int> chosen;
        RunOnUi([&] { chosen = m_sizesChosen; });
        return chosen;
    }

    void OnTicksChanged() override { ++m_ticksChanged; }
    void OnOpenPicture(int position) override { m_opened.push_back(position); }
    void OnThumbnailSizeChosen(int box) override { m_sizesChosen.push_back(box); }
    void OnSortChosen(PictureSort sort) override { m_sortsChosen.push_back(sort); }
    std::vector<PictureSort> SortsChosen()
    {
        std::vector<PictureSort> chosen;
        RunOnUi([&] { chosen = m_sortsChosen; });
        return chosen;
    }

private:
    static constexpr const char* kCaption = "Picture list host";
    static const UINT kRunOnUi = WM_APP + 92;

    void Run()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = "QvPictureListHost";
        RegisterClassA(&wc);
        HWND host = CreateWindowExA(0, wc.lpszClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 660, 400,
                                    nullptr, nullptr, wc.hInstance, this);
        m_listWindow = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_ICON |
                                       LVS_OWNERDATA, 0, 0, 600, 300, host,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PICTURE_LIST)), wc.hInstance,
                                       nullptr);
        m_list.Attach(m_listWindow, *this);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (m_list.PreTranslate(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<ListWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        LRESULT result = 0;
        switch (message) {
        case WM_NOTIFY:
            if (self && self->m_list.OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
                return result;
            break;
        case kRunOnUi:
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        case WM_CLOSE:
            self->m_list.Detach();
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    CPictureList m_list;
    HWND m_hwnd = nullptr;
    HWND m_listWindow = nullptr;
    std::vector<int> m_opened;
    std::vector<int> m_sizesChosen;
    std::vector<PictureSort> m_sortsChosen;
    int m_ticksChanged = 0;
    UiThread m_ui;
};

class PictureListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(m_window.ListWindowHandle(), nullptr); }

    ListWindow& Dlg() { return m_window; }
    HWND Ctl(int) { return m_window.ListWindowHandle(); }
    std::string PicturePath(int position)
    {
        std::string path;
        m_window.RunOnUi([&] { path = m_window.List().PathAt(position).GetString(); });
        return path;
    }

    ListWindow m_window;
    TempFolder m_files{"pictures"};
};

class ThumbnailTest : public ::testing::Test {
protected:
    // The thumbnail as the list gets it: a 64 x 64 bitmap of the drawn pixels.
    Pixels Thumbnail(const std::string& path, bool* drawn = nullptr)
    {
        ThumbnailPixels pixels;
        const bool picture = RenderThumbnail(path.c_str(), pixels);
        if (drawn)
            *drawn = picture;
        HBITMAP bitmap = ThumbnailBitmap(pixels);
        EXPECT_NE(bitmap, nullptr);
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 64);
        EXPECT_EQ(info.bmHeight, 64);
        Pixels drawnPixels = BitmapPixels(bitmap);
        DeleteObject(bitmap);
        return drawnPixels;
    }
    bool Decodes(const std::string& path)
    {
        ThumbnailPixels pixels;
        return RenderThumbnail(path.c_str(), pixels);
    }

    TempFolder m_files{"pictures"};
};

// Pixels strictly inside the drawn rectangle carry the picture's colour;
// pixels outside it stay white. The rectangle's border is left out: the
// scaling filter blends it, and Wine's GDI+ (which does not do bicubic)
// fades an enlarged picture's last source pixel out to the right and bottom.
void ExpectPlaced(const Pixels& pixels, const ThumbnailRect& rc, int sourceWidth, uint32_t colour,
                  const std::string& what)
{
    const int fade = std::max(1, (rc.width + sourceWidth - 1) / sourceWidth);
    int wrongInside = 0;
    int wrongOutside = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y * 64 + x)];
            const bool inside = x > rc.x && x < rc.x + rc.width - fade && y > rc.y && y < rc.y + rc.height - fade;
            const bool outside = x < rc.x - 1 || x > rc.x + rc.width || y < rc.y - 1 || y > rc.y + rc.height;
            if (inside && !Near(p, colour))
                ++wrongInside;
            if (outside && !Near(p, 0xFFFFFF, 8))
                ++wrongOutside;
        }
    }
    EXPECT_EQ(wrongInside, 0) << what;
    EXPECT_EQ(wrongOutside, 0) << what;
    // The top-left corner of the drawing is the picture's own colour.
    EXPECT_TRUE(Near(pixels[static_cast<size_t>((rc.y + 1) * 64 + rc.x + 1)], colour)) << what;
}

TEST_F(ThumbnailTest, ThumbnailsAreFittedOnWhite)
{
    struct Size {
        int w, h;
    };
    const Size sizes[] = {{640, 480}, {480, 640}, {100, 100}, {32, 16}, {1, 1}, {16, 16}};
    for (const Size& size : sizes) {
        const std::string name = std::to_string(size.w) + "x" + std::to_string(size.h);
        const std::string path = m_files.Join(name + ".png");
        ASSERT_TRUE(SavePicture(path, size.w, size.h, 0x2040C0, L"image/png")) << name;
        const Pixels pixels = Thumbnail(path);
        const ThumbnailRect rc = FitThumbnail(static_cast<unsigned>(size.w), static_cast<unsigned>(size.h));
        ExpectPlaced(pixels, rc, size.w, 0x2040C0, name);
    }

    // The truncation leaves the last column and row of a 100 x 100 picture
    // white.
    const Pixels square = Thumbnail(m_files.Join("100x100.png"));
    for (int i = 0; i < 63; ++i) {
        EXPECT_TRUE(Near(square[static_cast<size_t>(i * 64 + 63)], 0xFFFFFF, 8)) << i;
        EXPECT_TRUE(Near(square[static_cast<size_t>(63 * 64 + i)], 0xFFFFFF, 8)) << i;
    }
    EXPECT_TRUE(Near(square[30 * 64 + 61], 0x2040C0));
}

TEST_F(ThumbnailTest, UndecodableSourceGivesWhiteThumbnail)
{
    const std::string broken = m_files.Join("broken.jpg");
    WriteFileBytes(broken, "not a picture at all");
    bool drawn = true;
    for (const std::string& path : {broken, m_files.Join("missing.png")}) {
        const Pixels pixels = Thumbnail(path, &drawn);
        EXPECT_FALSE(drawn) << path;
        for (uint32_t p : pixels)
            ASSERT_EQ(p, 0xFFFFFFu) << path;
    }
}

TEST_F(ThumbnailTest, DecodeTest)
{
    struct Case {
        const char* name;
        const wchar_t* mime;
    };
    const Case real[] = {{"a.jpg", L"image/jpeg"}, {"a.png", L"image/png"}, {"a.bmp", L"image/bmp"},
                         {"a.tif", L"image/tiff"}, {"a.gif", nullptr}};
    for (const Case& c : real) {
        if (c.mime)
            ASSERT_TRUE(SavePicture(m_files.Join(c.name), 20, 10, 0x808080, c.mime)) << c.name;
        else
            WriteFileBytes(m_files.Join(c.name), TinyGif());
    }
    // A picture under a misleading name still decodes: content decides.
    ASSERT_TRUE(SavePicture(m_files.Join("png-named.jpg"), 8, 8, 0x808080, L"image/png"));
    WriteFileBytes(m_files.Join("damaged.jpg"), std::string("\xFF\xD8\xFF\xE0", 4) + "truncated");
    WriteFileBytes(m_files.Join("empty.png"), "");
    WriteFileBytes(m_files.Join("text.gif"), "GIF? no");

    for (const Case& c : real)
        EXPECT_TRUE(Decodes(m_files.Join(c.name))) << c.name;
    EXPECT_TRUE(Decodes(m_files.Join("png-named.jpg")));
    for (const char* bad : {"damaged.jpg", "empty.png", "text.gif", "missing.bmp"})
        EXPECT_FALSE(Decodes(m_files.Join(bad))) << bad;
    EXPECT_FALSE(Decodes(""));
}

TEST_F(PictureListTest, ItemsCarryTheirOwnPathsTickedInOrder)
{
    const std::string red = m_files.Join("red.png");
    const std::string blue = m_files.Join("blue.png");
    ASSERT_TRUE(SavePicture(red, 40, 40, 0xFF0000, L"image/png"));
    ASSERT_TRUE(SavePicture(blue, 40, 40, 0x0000FF, L"image/png"));
    const HWND list = Ctl(IDC_PICTURE_LIST);
    SetWindowPos(list, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        // The second item shows the red picture but carries its own path, as
        // the placeholder does for a file that does not decode.
        Dlg().AddPicture(red.c_str(), "C:\\data\\Photo.jpg");
        Dlg().AddPicture(red.c_str(), "C:\\data\\photo.jpg");
    });
    // Unticking by hand does not change how the next item arrives.
    ASSERT_TRUE(ClickTickBox(list, 0));
    ASSERT_TRUE(WaitUntil([&] { return !Ticked(list, 0); }));
    Dlg().RunOnUi([&] {
        Dlg().AddPicture(blue.c_str(), blue.c_str());
    });

    ASSERT_EQ(ItemCount(list), 3);
    EXPECT_FALSE(Ticked(list, 0));
    EXPECT_TRUE(Ticked(list, 1));
    EXPECT_TRUE(Ticked(list, 2));
    EXPECT_EQ(PicturePath(0), "C:\\data\\Photo.jpg");
    EXPECT_EQ(PicturePath(1), "C:\\data\\photo.jpg");
    EXPECT_EQ(PicturePath(2), blue);
    // Each item is labelled with its own file's name, not the picture's.
    const char* const names[] = {"Photo.jpg", "photo.jpg", "blue.png"};
    for (int i = 0; i < 3; ++i) {
        char text[16] = "x";
        LVITEMA lv = {};
        lv.pszText = text;
        lv.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&lv));
        EXPECT_STREQ(text, names[i]);
    }
    EXPECT_TRUE(Near(ItemPixels(list, 1)[32 * 64 + 32], 0xFF0000));
    EXPECT_TRUE(Near(ItemPixels(list, 2)[32 * 64 + 32], 0x0000FF));

    // A second click ticks again; a click beside the box changes nothing; a
    // double click is two clicks, as in any list with tick boxes.
    ASSERT_TRUE(ClickTickBox(list, 0));
    ASSERT_TRUE(WaitUntil([&] { return Ticked(list, 0); }));
    ASSERT_TRUE(ClickTickBox(list, 2, 2));
    // ... and opens no preview.
    Pump(300);
    EXPECT_TRUE(Dlg().Opened().empty());
    RECT icon = {LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&icon)));
    const LPARAM middle = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(list, WM_LBUTTONUP, 0, middle);
    Pump(300);
    EXPECT_TRUE(Ticked(list, 1));
    EXPECT_TRUE(Ticked(list, 2));
    // The window heard of every tick the user changed (its count line).
    EXPECT_EQ(Dlg().TicksChanged(), 4);

    // A double click on the picture opens it, and so does Enter on the
    // selected one; neither ticks.
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, middle);
    PostMessageA(list, WM_LBUTTONUP, 0, middle);
    ASSERT_TRUE(WaitUntil([&] { return Dlg().Opened().size() == 1; }));
    EXPECT_EQ(Dlg().Opened()[0], 1);
    SelectRow(list, 2);
    PostMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitUntil([&] { return Dlg().Opened().size() == 2; }));
    EXPECT_EQ(Dlg().Opened()[1], 2);
    EXPECT_TRUE(Ticked(list, 1));
    EXPECT_TRUE(Ticked(list, 2));

    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        // Emptying an empty list is harmless.
        Dlg().List().Clear();
    });
    EXPECT_EQ(ItemCount(list), 0);
}

// New items reach the screen, and so does a change that was waiting to be
// drawn when they came (the list draws only what changed).
TEST_F(PictureListTest, NewItemsAndWaitingChangesAreDrawn)
{
    const HWND list = Ctl(IDC_PICTURE_LIST);
    SetWindowPos(list, HWND_TOP, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOACTIVATE);
    // The pixels of an item's tick box as drawn, read on the window's thread
    // (thousands of hit tests).
    auto drawnTickBox = [&](int item) {
        std::vector<COLORREF> pixels;
        Dlg().RunOnUi([&] {
            RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
            SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&bounds));
            HDC dc = GetDC(list);
            for (int y = bounds.top; y < bounds.bottom; ++y) {
                for (int x = bounds.left; x < bounds.right; ++x) {
                    LVHITTESTINFO hit = {};
                    hit.pt = {x, y};
                    if (SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == item &&
                        (hit.flags & LVHT_ONITEMSTATEICON))
                        pixels.push_back(GetPixel(dc, x, y));
                }
            }
            ReleaseDC(list, dc);
        });
        return pixels;
    };
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        for (int i = 0; i < 2; ++i)
            Dlg().AddThumbnail(ThumbnailPixels(64 * 64, 0xFF0000), ("C:\\red" + std::to_string(i) + ".jpg").c_str());
        Dlg().List().ShowCount();
    });
    Pump(300);
    const std::vector<COLORREF> ticked = drawnTickBox(0);
    ASSERT_FALSE(ticked.empty());
    ASSERT_EQ(drawnTickBox(1), ticked);

    Dlg().RunOnUi([&] {
        Dlg().List().SetTicks({1}, false);
        Dlg().AddThumbnail(ThumbnailPixels(64 * 64, 0x0000FF), "C:\\blue.jpg");
        Dlg().List().ShowCount();
    });
    Pump(300);
    EXPECT_EQ(drawnTickBox(0), ticked);
    EXPECT_NE(drawnTickBox(1), ticked);
    EXPECT_EQ(drawnTickBox(2), ticked);
    RECT icon = {LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&icon)));
    EXPECT_EQ(PixelAt(list, (icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2), RGB(0, 0, 255));
    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
}

// The control draws from a few hundred image slots; an item whose slot went
// to later items gets its own thumbnail back, never another item's, and a
// list emptied and filled again shows none of the old thumbnails.
TEST_F(PictureListTest, ThumbnailsStayWithTheirItemsWhenSlotsAreReused)
{
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    const HWND list = Ctl(IDC_PICTURE_LIST);
    const int count = 600;  // more than twice the slots
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        for (int i = 0; i < count; ++i)
            Dlg().AddThumbnail(ThumbnailPixels(64 * 64, colours[i % 3]), ("C:\\p" + std::to_string(i) + ".jpg").c_str());
        Dlg().List().ShowCount();
    });
    ASSERT_EQ(ItemCount(list), count);
    // Twice through: the second pass finds every slot taken by others.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(Near(ItemPixels(list, i)[32 * 64 + 32], colours[i % 3], 8)) << i;
    }
    EXPECT_EQ(PicturePath(299), "C:\\p299.jpg");

    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        Dlg().AddThumbnail(ThumbnailPixels(64 * 64, 0xFFFF00), "C:\\new.jpg");
        Dlg().AddThumbnail(ThumbnailPixels(64 * 64, 0x00FFFF), "C:\\new2.jpg");
        Dlg().List().ShowCount();
    });
    ASSERT_EQ(ItemCount(list), 2);
    EXPECT_TRUE(Near(ItemPixels(list, 0)[32 * 64 + 32], 0xFFFF00, 8));
    EXPECT_TRUE(Near(ItemPixels(list, 1)[32 * 64 + 32], 0x00FFFF, 8));
    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
}

// The space bar ticks and unticks the selected items together, the way the
// focused one goes; the other items keep their ticks. (The list control
// then leaves only the focused item selected, so the next press is its.)
TEST_F(PictureListTest, SpaceTogglesTheSelectedItems)
{
    const std::string red = m_files.Join("red.png");
    ASSERT_TRUE(SavePicture(red, 40, 40, 0xFF0000, L"image/png"));
    const HWND list = Ctl(IDC_PICTURE_LIST);
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        for (int i = 0; i < 4; ++i)
            Dlg().AddPicture(red.c_str(), red.c_str());
    });
    ASSERT_EQ(ItemCount(list), 4);
    SelectRow(list, 1);
    SelectRow(list, 3);

    PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(list, WM_KEYUP, VK_SPACE, 0xC0000001);
    ASSERT_TRUE(WaitUntil([&] { return !Ticked(list, 3); }));
    EXPECT_FALSE(Ticked(list, 1));
    EXPECT_TRUE(Ticked(list, 0));
    EXPECT_TRUE(Ticked(list, 2));

    PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(list, WM_KEYUP, VK_SPACE, 0xC0000001);
    ASSERT_TRUE(WaitUntil([&] { return Ticked(list, 3); }));
    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
}

// Whether any of the item is inside the list's client area.
bool InView(HWND list, int item)
{
    RECT rc = {LVIR_BOUNDS, 0, 0, 0};
    RECT client, both;
    GetClientRect(list, &client);
    return SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rc)) &&
           IntersectRect(&both, &rc, &client);
}

// During a search the list follows the newest find only while the user
// looks at it: not once they scrolled away, nor while a picture is selected.
TEST_F(PictureListTest, NewFindsAreFollowedOnlyWhileTheUserLooksAtTheNewest)
{
    const HWND list = Ctl(IDC_PICTURE_LIST);
    int listed = 0;
    auto addAndFollow = [&](int count) {
        Dlg().RunOnUi([&] {
            for (int i = 0; i < count; ++i, ++listed)
                Dlg().AddThumbnail(ThumbnailPixels(64 * 64, 0x00FF00), "C:\\f" + std::to_string(listed) + ".jpg");
            Dlg().List().ShowCount();
        });
        // As in a search: the list's scroll step comes a tick after its new items.
        Pump(100);
        Dlg().RunOnUi([&] { Dlg().List().ScrollToLast(); });
        Pump(100);
    };
    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
    addAndFollow(120);
    ASSERT_TRUE(InView(list, listed - 1));
    ASSERT_FALSE(InView(list, 0));

    // Scrolled to the top, the user stays there.
    PostMessageA(list, LVM_SCROLL, 0, -100000);
    ASSERT_TRUE(WaitUntil([&] { return InView(list, 0); }));
    addAndFollow(40);
    EXPECT_TRUE(InView(list, 0));
    EXPECT_FALSE(InView(list, listed - 1));

    // A picture selected holds the list where it is.
    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
    listed = 0;
    addAndFollow(120);
    addAndFollow(40);
    ASSERT_TRUE(InView(list, listed - 1)) << "followed from batch to batch";
    SelectRow(list, listed - 1);
    const int selected = listed - 1;
    addAndFollow(40);
    EXPECT_TRUE(InView(list, selected));
    EXPECT_FALSE(InView(list, listed - 1));
    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
}

}  // namespace

namespace {

// A record that comes for a listed picture moves it or hides it as the
// filter says, and the control hears of it; a filter applied keeps the
// focused picture focused where it goes.
TEST_F(PictureListTest, RecordsAndFiltersMoveTheShownPictures)
{
    const HWND list = Ctl(IDC_PICTURE_LIST);
    PictureFilter deletedOnly;
    deletedOnly.deletedOnly = true;
    bool reordered = true;
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        for (const char* name : {"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"})
            Dlg().AddThumbnail(ThumbnailPixels(64 * 64, 0x808080), name);
        Dlg().List().ApplyFilter(deletedOnly, PictureSort::Found);
        // Found by their contents: shown by "deleted only".
        FindRecord deleted;
        deleted.deleted = true;
        Dlg().List().UpdateFind(0, deleted);
        reordered = Dlg().List().Reordered();
    });
    EXPECT_FALSE(reordered);
    ASSERT_EQ(ItemCount(list), 3);

    Dlg().RunOnUi([&] {
        FindRecord present;
        present.folder = "\\DCIM";
        Dlg().List().UpdateFind(1, present);
        reordered = Dlg().List().Reordered();
        Dlg().List().ShowCount();
    });
    EXPECT_TRUE(reordered);
    ASSERT_EQ(ItemCount(list), 2);
    EXPECT_EQ(PicturePath(0), "C:\\a.jpg");
    EXPECT_EQ(PicturePath(1), "C:\\c.jpg");

    SelectRow(list, 1);
    PictureFilter text;
    text.text = "c.jpg";
    Dlg().RunOnUi([&] { Dlg().List().ApplyFilter(text, PictureSort::Found); });
    ASSERT_EQ(ItemCount(list), 1);
    EXPECT_EQ(PicturePath(0), "C:\\c.jpg");
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED), 0);
    Dlg().RunOnUi([&] { Dlg().List().ApplyFilter(PictureFilter(), PictureSort::Found); });
    ASSERT_EQ(ItemCount(list), 3);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED), 2);
    CPictureList::Counts counts;
    Dlg().RunOnUi([&] { counts = Dlg().List().Count(); });
    EXPECT_EQ(counts.shown, 3);
    EXPECT_EQ(counts.ticked, 3);
}

}  // namespace

namespace {

// The pixel at x, y of the list's image for the item, drawn box x box.
uint32_t ImagePixelAt(HWND list, HIMAGELIST images, int item, int x, int y)
{
    const int index = ImageIndex(list, item);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 256, 256);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, target);
    PatBlt(dc, 0, 0, 256, 256, BLACKNESS);
    ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    return static_cast<uint32_t>(GetRValue(c)) << 16 | static_cast<uint32_t>(GetGValue(c)) << 8 | GetBValue(c);
}

int IconSize(HIMAGELIST images)
{
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    return cx == cy ? cx : -1;
}

// A larger size keeps what the user had: the ticks, the selection and the
// focused picture in view; the larger thumbnails come from the file at that
// size (a 600 x 400 picture fills the large box's width, which its 64-pixel
// thumbnail centred could not). Ctrl + wheel steps through the sizes and
// tells the host.
TEST_F(PictureListTest, ThumbnailSizeChangeKeepsTicksSelectionAndPlace)
{
    const std::string photo = m_files.Join("photo.png");
    ASSERT_TRUE(SavePicture(photo, 600, 400, 0x2040C0, L"image/png"));
    ThumbnailPixels small;
    ASSERT_TRUE(RenderThumbnail(photo.c_str(), small));
    const HWND list = Ctl(IDC_PICTURE_LIST);
    const int count = 60;
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        for (int i = 0; i < count; ++i)
            Dlg().AddThumbnail(small, photo);
        Dlg().List().ShowCount();
        Dlg().List().SetTicks({5, 7}, false);
    });
    ASSERT_EQ(ItemCount(list), count);
    SelectRow(list, 40);
    // On a busy machine Wine's list may take a moment to give itself the
    // scroll bar the new items need; until then nothing scrolls.
    ASSERT_TRUE(WaitUntil([&] {
        ListView_EnsureVisible(list, 40, FALSE);
        return InView(list, 40);
    }));

    bool set = false, refused = true;
    Dlg().RunOnUi([&] {
        set = Dlg().List().SetThumbnailSize(256);
        refused = Dlg().List().SetThumbnailSize(100);
    });
    EXPECT_TRUE(set);
    EXPECT_FALSE(refused);
    EXPECT_EQ(IconSize(Dlg().Images()), 256);
    EXPECT_EQ(ItemCount(list), count);
    EXPECT_FALSE(Ticked(list, 5));
    EXPECT_FALSE(Ticked(list, 7));
    EXPECT_TRUE(Ticked(list, 6));
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 40);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 40);
    EXPECT_TRUE(InView(list, 40));
    // Laid out in rows of boxes at least as wide as the thumbnails.
    RECT first = {LVIR_BOUNDS, 0, 0, 0}, second = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 40, reinterpret_cast<LPARAM>(&first)));
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 41, reinterpret_cast<LPARAM>(&second)));
    const int across = second.left - first.left;
    EXPECT_TRUE((across >= 256 && across < 400) || (second.top > first.top && second.left <= first.left))
        << first.left << "," << first.top << " " << second.left << "," << second.top;
    EXPECT_LT(first.right - first.left, 400);
    // Drawn from the file at 256 x 170, left edge to right edge.
    EXPECT_TRUE(WaitUntil([&] { return Near(ImagePixelAt(list, Dlg().Images(), 40, 12, 128), 0x2040C0); }));
    EXPECT_TRUE(Near(ImagePixelAt(list, Dlg().Images(), 40, 128, 20), 0xFFFFFF, 8));
    // Ctrl + wheel towards the user: medium, then small, and no smaller.
    for (int turn = 0; turn < 3; ++turn)
        PostMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(50, 50));
    ASSERT_TRUE(WaitUntil([&] { return Dlg().SizesChosen().size() == 2; }));
    Pump(100);
    EXPECT_EQ(Dlg().SizesChosen(), (std::vector<int>{128, 64}));
    EXPECT_EQ(IconSize(Dlg().Images()), 64);
    EXPECT_FALSE(Ticked(list, 5));
    EXPECT_TRUE(InView(list, 40));
    PostMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), MAKELPARAM(50, 50));
    ASSERT_TRUE(WaitUntil([&] { return Dlg().SizesChosen().size() == 3; }));
    EXPECT_EQ(IconSize(Dlg().Images()), 128);
    Dlg().RunOnUi([&] {
        Dlg().List().SetThumbnailSize(64);
        Dlg().List().Clear();
    });
}

// Large thumbnails are held within their budget: the ones drawn longest ago
// go, and one asked for again is made again. A file that gives no picture
// is made once and keeps its small thumbnail.
TEST_F(ThumbnailTest, LargeThumbnailsStayWithinTheirBudgetAndComeBack)
{
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(m_files.Join("p" + std::to_string(i) + ".png"));
        ASSERT_TRUE(SavePicture(paths.back(), 300, 300, colours[i], L"image/png"));
    }
    const std::string broken = m_files.Join("broken.png");
    WriteFileBytes(broken, "not a picture");
    const size_t bytes = 256 * 256 * 3;
    CBoxThumbnails boxes(8 * bytes);
    boxes.SetBox(256, nullptr, 0);
    EXPECT_EQ(boxes.Capacity(256), 8u);
    auto centre = [&](int item) {
        const uint8_t* p = boxes.Get(item) + (128 * 256 + 128) * 3;
        return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    };
    const int count = 40;
    std::vector<bool> made(count + 1, false);
    size_t mostHeld = 0;
    for (int item = 0; item < count; ++item)
        boxes.Ask(item, paths[static_cast<size_t>(item % 3)].c_str());
    boxes.Ask(count, broken.c_str());
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (int item : boxes.TakeMade()) {
                made[static_cast<size_t>(item)] = true;
                EXPECT_TRUE(Near(centre(item), colours[item % 3], 8)) << item;
            }
            mostHeld = std::max(mostHeld, boxes.Held());
            return boxes.Asked() == 0 && std::count(made.begin(), made.end(), true) == count;
        },
        20000));
    EXPECT_EQ(mostHeld, 8u);
    EXPECT_FALSE(made[count]);
    // Some of the first are gone; asked again, they come back.
    int gone = -1;
    for (int item = 0; item < count && gone < 0; ++item)
        gone = boxes.Get(item) ? -1 : item;
    ASSERT_GE(gone, 0);
    boxes.Ask(count, broken.c_str());
    EXPECT_EQ(boxes.Asked(), 0u);
    boxes.Ask(gone, paths[static_cast<size_t>(gone % 3)].c_str());
    ASSERT_TRUE(WaitUntil([&] {
        boxes.TakeMade();
        return boxes.Get(gone) != nullptr;
    }));
    EXPECT_TRUE(Near(centre(gone), colours[gone % 3], 8));
    EXPECT_LE(boxes.Held(), 8u);
}

// At the large size the small thumbnails go to the cache file and are let
// go; scrolling through every find holds none of them again. The large ones
// made once come back from the cache after the pictures' files are gone,
// and so do the small ones when the user switches back to small.
TEST_F(PictureListTest, ThumbnailsLetGoComeBackFromTheCache)
{
    const uint32_t colours[] = {0xC02020, 0x20A020, 0x2040C0};
    std::vector<std::string> paths;
    std::vector<ThumbnailPixels> smalls(3);
    for (int i = 0; i < 3; ++i) {
        paths.push_back(m_files.Join("c" + std::to_string(i) + ".png"));
        ASSERT_TRUE(SavePicture(paths.back(), 300, 300, colours[i], L"image/png"));
        ASSERT_TRUE(RenderThumbnail(paths.back().c_str(), smalls[static_cast<size_t>(i)]));
    }
    TempFolder work("work");
    const HWND list = Ctl(IDC_PICTURE_LIST);
    const int count = 300;
    int held = -1;
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        Dlg().List().KeepThumbnailsIn(work.Path().c_str());
        for (int i = 0; i < count; ++i)
            Dlg().AddThumbnail(smalls[static_cast<size_t>(i % 3)], paths[static_cast<size_t>(i % 3)]);
        Dlg().List().ShowCount();
        held = Dlg().List().HeldSmallThumbnails();
    });
    EXPECT_EQ(held, count);
    EXPECT_NE(GetFileAttributesA(work.Join("thumbnails.cache").c_str()), INVALID_FILE_ATTRIBUTES);
    auto smallHeld = [&] {
        Dlg().RunOnUi([&] { held = Dlg().List().HeldSmallThumbnails(); });
        return held;
    };

    Dlg().RunOnUi([&] { Dlg().List().SetThumbnailSize(256); });
    ASSERT_TRUE(WaitUntil([&] { return smallHeld() == 0; }));
    // The first ones made from their files at 256 (the stand-in, the small
    // one in the middle, leaves x = 20 white).
    for (int item = 0; item < 3; ++item)
        EXPECT_TRUE(WaitUntil([&] { return Near(ImagePixelAt(list, Dlg().Images(), item, 20, 128), colours[item]); }))
            << item;
    for (const std::string& path : paths)
        DeleteFileA(path.c_str());
    // Through every find to the bottom: their small ones are read back as
    // stand-ins, none held again.
    for (int item = 0; item < count; item += 7) {
        Dlg().RunOnUi([&] { SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE); });
        UpdateWindow(list);
        EXPECT_TRUE(Near(ImagePixelAt(list, Dlg().Images(), item, 128, 128), colours[item % 3])) << item;
        EXPECT_EQ(smallHeld(), 0) << item;
    }

    // Medium and back: the large ones are gone from memory, and come back
    // from the cache, the files being gone.
    size_t readBefore = 0, readAfter = 0;
    Dlg().RunOnUi([&] {
        Dlg().List().SetThumbnailSize(128);
        Dlg().List().SetThumbnailSize(256);
        readBefore = Dlg().List().ThumbnailCache().ReadBack();
        SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
    });
    for (int item = 0; item < 3; ++item)
        EXPECT_TRUE(Near(ImagePixelAt(list, Dlg().Images(), item, 20, 128), colours[item])) << item;
    Dlg().RunOnUi([&] { readAfter = Dlg().List().ThumbnailCache().ReadBack(); });
    EXPECT_GE(readAfter, readBefore + 3);

    // Small again: the ones drawn come back from the cache and are held.
    Dlg().RunOnUi([&] { Dlg().List().SetThumbnailSize(64); });
    for (int item = 0; item < 6; ++item)
        EXPECT_TRUE(Near(ImagePixelAt(list, Dlg().Images(), item, 32, 32), colours[item % 3])) << item;
    EXPECT_GE(smallHeld(), 6);
    EXPECT_LT(held, count);

    Dlg().RunOnUi([&] { Dlg().List().Clear(); });
    EXPECT_EQ(GetFileAttributesA(work.Join("thumbnails.cache").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Clicks the details view's column header as a user does.
void ClickHeader(HWND list, int column)
{
    HWND header = ListView_GetHeader(list);
    RECT rc = {};
    ASSERT_TRUE(Header_GetItemRect(header, column, &rc));
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
}

int HeaderArrow(HWND list, int column)
{
    HDITEMA item = {};
    item.mask = HDI_FORMAT;
    Header_GetItem(ListView_GetHeader(list), column, &item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

// The details view shows the same pictures as rows. A click on a column's
// header sorts by it (the Date header as the Sort box's "Date, newest
// first"), a second click the other way round, the arrow showing which;
// the host hears of the order chosen.
TEST_F(PictureListTest, DetailsViewSortsByHeaderAsTheSortBoxDoes)
{
    const HWND list = Ctl(IDC_PICTURE_LIST);
    const int days[] = {14, 3, 27, 9, 21, 1};
    const uint64_t bytes[] = {5000, 90000, 700, 12000, 64000, 3000};
    Dlg().RunOnUi([&] {
        Dlg().List().Clear();
        for (int i = 0; i < 6; ++i) {
            ::PictureDetails details;
            details.bytes = bytes[i];
            details.width = 640;
            details.height = 480;
            details.taken = "2021:05:" + std::string(days[i] < 10 ? "0" : "") + std::to_string(days[i]) + " 10:00:00";
            details.camera = i % 2 ? "Canon EOS R6" : "";
            Dlg().List().Add(("C:\\d\\IMG_" + std::to_string(i) + ".jpg").c_str(), ThumbnailPixels(64 * 64, 0xFFFFFF),
                             details, true);
        }
        Dlg().List().ShowCount();
        Dlg().List().ShowDetails(true);
    });
    ASSERT_EQ(ItemCount(list), 6);
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 8);
    char text[64] = "";
    ListView_GetItemText(list, 1, kColumnState, text, sizeof text);
    EXPECT_STREQ(text, "found by contents");
    ListView_GetItemText(list, 1, kColumnDimensions, text, sizeof text);
    EXPECT_STREQ(text, "640 x 480");
    ListView_GetItemText(list, 1, kColumnCamera, text, sizeof text);
    EXPECT_STREQ(text, "Canon EOS R6");

    auto order = [&] {
        std::vector<std::string> paths;
        for (int i = 0; i < 6; ++i)
            paths.push_back(PicturePath(i));
        return paths;
    };
    // Every header in reach of the pointer.
    SetWindowPos(list, nullptr, 0, 0, 1000, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ClickHeader(list, kColumnDate);
    ASSERT_TRUE(WaitUntil([&] { return Dlg().SortsChosen().size() == 1; }));
    EXPECT_EQ(Dlg().SortsChosen().back(), PictureSort::NewestFirst);
    const std::vector<std::string> byHeader = order();
    EXPECT_EQ(byHeader.front(), "C:\\d\\IMG_2.jpg");
    EXPECT_EQ(byHeader.back(), "C:\\d\\IMG_5.jpg");
    EXPECT_EQ(HeaderArrow(list, kColumnDate), HDF_SORTDOWN);
    Dlg().RunOnUi([&] { Dlg().List().ApplyFilter(PictureFilter(), PictureSort::Found); });
    EXPECT_EQ(HeaderArrow(list, kColumnDate), 0);
    Dlg().RunOnUi([&] { Dlg().List().ApplyFilter(PictureFilter(), PictureSort::NewestFirst); });
    EXPECT_EQ(order(), byHeader);
    EXPECT_EQ(HeaderArrow(list, kColumnDate), HDF_SORTDOWN);

    // Again: the other way round.
    ClickHeader(list, kColumnDate);
    ASSERT_TRUE(WaitUntil([&] { return Dlg().SortsChosen().size() == 2; }));
    EXPECT_EQ(Dlg().SortsChosen().back(), PictureSort::OldestFirst);
    EXPECT_EQ(order(), std::vector<std::string>(byHeader.rbegin(), byHeader.rend()));
    EXPECT_EQ(HeaderArrow(list, kColumnDate), HDF_SORTUP);

    // A column the Sort box has no order for: the file size, largest first.
    ClickHeader(list, kColumnSize);
    ASSERT_TRUE(WaitUntil([&] { return Dlg().SortsChosen().size() == 3; }));
    EXPECT_EQ(PicturePath(0), "C:\\d\\IMG_1.jpg");
    EXPECT_EQ(PicturePath(5), "C:\\d\\IMG_2.jpg");
    EXPECT_EQ(HeaderArrow(list, kColumnDate), 0);
    EXPECT_EQ(HeaderArrow(list, kColumnSize), HDF_SORTDOWN);

    // Back to thumbnails, in rows again.
    Dlg().RunOnUi([&] {
        Dlg().List().SetThumbnailSize(128);
        Dlg().List().ShowDetails(false);
    });
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & LVS_TYPEMASK, LVS_ICON);
    RECT first = {LVIR_BOUNDS, 0, 0, 0}, second = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second)));
    EXPECT_EQ(first.top, second.top);
    EXPECT_GT(second.left, first.left);
    EXPECT_GE(first.top, 0);
    Dlg().RunOnUi([&] {
        Dlg().List().ApplyFilter(PictureFilter(), PictureSort::Found);
        Dlg().List().Clear();
    });
    SetWindowPos(list, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The tip of a deleted picture whose first letter was lost has a long line:
// the tip is made as wide as its widest line, no wider than the screen, so
// that it never breaks a line itself (a line it broke could run past its
// right edge), and every word of the text is still there.
TEST_F(PictureListTest, LongTipLinesFitTheTipsWidth)
{
    const HWND list = Ctl(IDC_PICTURE_LIST);
    const std::string path = m_files.Join("_MG_0412.jpg");
    ASSERT_TRUE(SavePicture(path, 40, 40, 0x3060A0, L"image/jpeg"));
    Dlg().RunOnUi([&] {
        FindRecord record;
        record.folder = "\\DCIM\\100CANON\\A folder with a long name that goes on\\and_a_part_without_any_space_in_it_at_all_x";
        record.deleted = true;
        NewFind find;
        find.path = path.c_str();
        find.pixels.assign(static_cast<size_t>(kThumbSize * kThumbSize), 0x3060A0);
        find.decodes = true;
        find.record = &record;
        Dlg().List().AddFind(find);
        Dlg().List().ShowCount();
    });
    ASSERT_EQ(ItemCount(list), 1);
    RECT icon = {LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&icon)));
    PostMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2));
    Pump(200);
    const HWND tip = Dlg().List().Tip();
    ASSERT_NE(tip, nullptr);
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = tip;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(list);
    info.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(GetParent(list), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.lpszText, nullptr);
    const std::string all = info.lpszText;
    std::string expected;
    Dlg().RunOnUi([&] { expected = Dlg().List().PictureDetails(0).GetString(); });
    ASSERT_NE(expected.find("The first letter of its name was lost"), std::string::npos) << expected;

    const int widest = static_cast<int>(SendMessageA(tip, TTM_GETMAXTIPWIDTH, 0, 0));
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(list, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_GT(widest, 0);
    EXPECT_LT(widest, monitor.rcWork.right - monitor.rcWork.left);
    HDC dc = GetDC(tip);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(tip, WM_GETFONT, 0, 0)));
    std::string words;  // the text with its line breaks as spaces
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find("\r\n", start);
        if (end == std::string::npos)
            end = all.size();
        SIZE size = {};
        GetTextExtentPoint32A(dc, all.c_str() + start, static_cast<int>(end - start), &size);
        EXPECT_LE(size.cx, widest) << all.substr(start, end - start);
        words += all.substr(start, end - start) + " ";
        start = end + 2;
    }
    SelectObject(dc, old);
    ReleaseDC(tip, dc);
    // Nothing lost: the same words in the same order.
    std::string expectedWords;
    for (char c : expected)
        expectedWords += c == '\r' ? ' ' : c == '\n' ? '\0' : c;
    expectedWords.erase(std::remove(expectedWords.begin(), expectedWords.end(), '\0'), expectedWords.end());
    const auto squeeze = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        return text;
    };
    EXPECT_EQ(squeeze(words), squeeze(expectedWords));
}

}  // namespace
