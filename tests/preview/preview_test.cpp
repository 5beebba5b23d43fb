// The picture preview over a host of the test's own: it opens on the item
// asked for, steps in whatever order the host's list has at that moment,
// keeps the host's ticks, tells damaged files apart, and decodes a camera
// photo without the window stopping to answer.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "PicturePreview.h"
#include "RawSamples.h"
#include "TestPictures.h"
#include "UiTest.h"
#include "WindowTest.h"

using namespace uitest;
using namespace Gdiplus::DllExports;
using Showing = CPicturePreview::Showing;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// The list of a main window: items in the order it shows them now.
class FakeHost : public IPreviewHost {
public:
    void SetShown(const std::vector<int>& items)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_shown = items;
    }
    void SetPath(int item, const std::string& path)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_paths[item] = path;
    }
    void Tick(int item, bool ticked)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (ticked)
            m_ticked.insert(item);
        else
            m_ticked.erase(item);
    }
    bool Ticked(int item)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_ticked.count(item) != 0;
    }
    std::vector<int> Steps()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_steps;
    }

    int ShownCount() override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<int>(m_shown.size());
    }
    int ItemAt(int position) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return position >= 0 && position < static_cast<int>(m_shown.size()) ? m_shown[static_cast<size_t>(position)]
                                                                              : -1;
    }
    int PositionOf(int item) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto at = std::find(m_shown.begin(), m_shown.end(), item);
        return at == m_shown.end() ? -1 : static_cast<int>(at - m_shown.begin());
    }
    CString PicturePath(int item) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto at = m_paths.find(item);
        return at == m_paths.end() ? CString() : CString(at->second);
    }
    CString PictureTitle(int item) override { return CString("f000000") + std::to_string(item).c_str() + ".jpg"; }
    CString PictureDetails(int item) override
    {
        return CString("Found at sector ") + std::to_string(1000 + item).c_str() + "\r\n4000 x 3000 pixels";
    }
    bool IsTicked(int item) override { return Ticked(item); }
    void SetTicked(int item, bool ticked) override { Tick(item, ticked); }
    void OnPreviewStep(int item) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_steps.push_back(item);
    }

private:
    std::mutex m_lock;
    std::vector<int> m_shown;
    std::map<int, std::string> m_paths;
    std::set<int> m_ticked;
    std::vector<int> m_steps;
};

const UINT kRun = WM_APP + 77;

// Runs the test's code on the window's thread when sent kRun.
class RunnerWindow : public CWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kRun) {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 1;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

bool Blue(COLORREF c)
{
    return GetBValue(c) > 200 && GetRValue(c) < 60 && GetGValue(c) < 60;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_ui = std::make_unique<UiThread>([this] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
            wc.lpszClassName = "PreviewTestOwner";
            ::RegisterClassA(&wc);
            HWND owner = ::CreateWindowExA(0, wc.lpszClassName, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                                           900, 700, nullptr, nullptr, wc.hInstance, nullptr);
            m_ownerHwnd = owner;
            m_runner.SubclassWindow(::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                      wc.hInstance, nullptr));
            m_preview = std::make_unique<CPicturePreview>();
            m_ready = true;
            // The program's loops: every message is offered to the preview first.
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                if (AfxPreTranslateMessage(&msg))
                    continue;
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            m_preview.reset();
            if (::IsWindow(m_ownerHwnd))
                ::DestroyWindow(m_ownerHwnd);
            m_runner.DestroyWindow();
        });
        ASSERT_TRUE(WaitUntil([this] { return m_ready.load(); }, 30000));
    }

    void TearDown() override
    {
        ::PostThreadMessageA(m_ui->ThreadId(), WM_QUIT, 0, 0);
        EXPECT_TRUE(m_ui->WaitFinished(30000));
        m_ui.reset();
    }

    // Runs fn on the window's thread and waits for it.
    void Ui(const std::function<void()>& fn) { ::SendMessageA(m_runner.m_hWnd, kRun, 0, reinterpret_cast<LPARAM>(&fn)); }
    // The same, but gives up after timeoutMs; false when the thread did not answer.
    bool UiWithin(const std::function<void()>& fn, UINT timeoutMs)
    {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutA(m_runner.m_hWnd, kRun, 0, reinterpret_cast<LPARAM>(&fn), SMTO_NORMAL, timeoutMs,
                                     &result) != 0;
    }

    void Open(int item)
    {
        Ui([&] { m_preview->Open(m_ownerHwnd, m_host, item); });
        m_hwnd = m_preview->m_hWnd;
    }
    int ShownItem()
    {
        int item = -2;
        Ui([&] { item = m_preview->Item(); });
        return item;
    }
    Showing Shows()
    {
        Showing showing = Showing::Nothing;
        Ui([&] { showing = m_preview->GetShowing(); });
        return showing;
    }
    void Changed() { Ui([&] { m_preview->OnPicturesChanged(); }); }
    HWND Control(int id) { return ::GetDlgItem(m_hwnd, id); }
    bool Enabled(int id) { return ::IsWindowEnabled(Control(id)) != FALSE; }
    std::string Position() { return Text(Control(CPicturePreview::IDC_PREVIEW_POSITION)); }
    // Presses the key and waits for the preview to show item.
    bool KeyTo(WORD key, int item)
    {
        PressKey(m_hwnd, key);
        return WaitUntil([&] { return ShownItem() == item; }, 3000);
    }
    // A point in the middle of the picture area, in client coordinates.
    POINT PictureMiddle()
    {
        RECT details, previous;
        ::GetWindowRect(Control(CPicturePreview::IDC_PREVIEW_DETAILS), &details);
        ::GetWindowRect(Control(CPicturePreview::IDC_PREVIEW_PREVIOUS), &previous);
        POINT left = {details.left, previous.top};
        ::ScreenToClient(m_hwnd, &left);
        return {left.x / 2, left.y / 2};
    }
    COLORREF MiddleColour()
    {
        const POINT middle = PictureMiddle();
        return PixelAt(m_hwnd, middle.x, middle.y);
    }

    FakeHost m_host;
    TempFolder m_files{"preview"};
    RunnerWindow m_runner;
    HWND m_ownerHwnd = nullptr;
    HWND m_hwnd = nullptr;
    std::unique_ptr<CPicturePreview> m_preview;
    std::atomic<bool> m_ready{false};
    std::unique_ptr<UiThread> m_ui;
};

TEST_F(PreviewTest, OpensOnTheItemAboveItsOwnerAndClosesWithIt)
{
    m_host.SetShown({3, 0, 4, 1, 2});
    m_host.Tick(4, true);
    Open(4);
    ASSERT_TRUE(m_hwnd);
    EXPECT_EQ(ShownItem(), 4);
    EXPECT_EQ(Text(m_hwnd), "Preview - f0000004.jpg");
    EXPECT_EQ(Text(Control(CPicturePreview::IDC_PREVIEW_DETAILS)), "Found at sector 1004\r\n4000 x 3000 pixels");
    EXPECT_EQ(Position(), "3 of 5");
    EXPECT_EQ(::SendMessageA(Control(CPicturePreview::IDC_PREVIEW_TICK), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(Enabled(CPicturePreview::IDC_PREVIEW_PREVIOUS));
    EXPECT_TRUE(Enabled(CPicturePreview::IDC_PREVIEW_NEXT));

    // A top-level window of its own class, owned by the main window, about
    // 800 x 600 and centred on it.
    char cls[64] = {};
    ::GetClassNameA(m_hwnd, cls, sizeof cls);
    EXPECT_STREQ(cls, CPicturePreview::kClassName);
    EXPECT_EQ(::GetWindow(m_hwnd, GW_OWNER), m_ownerHwnd);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrA(m_hwnd, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
              static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
    RECT rc, owner;
    ::GetWindowRect(m_hwnd, &rc);
    ::GetWindowRect(m_ownerHwnd, &owner);
    EXPECT_EQ(rc.right - rc.left, 800);
    EXPECT_EQ(rc.bottom - rc.top, 600);
    EXPECT_NEAR((rc.left + rc.right) / 2, (owner.left + owner.right) / 2, 2);
    EXPECT_NEAR((rc.top + rc.bottom) / 2, (owner.top + owner.bottom) / 2, 2);

    // Opened again: the same window, on the new item.
    Open(1);
    EXPECT_EQ(m_preview->m_hWnd, m_hwnd);
    EXPECT_EQ(ShownItem(), 1);
    EXPECT_EQ(Text(m_hwnd), "Preview - f0000001.jpg");
    EXPECT_EQ(Position(), "4 of 5");

    // Escape closes it; the main window closing takes it along.
    PressKey(m_hwnd, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return ShownItem() == -1; }));
    EXPECT_FALSE(::IsWindow(m_hwnd));
    Open(2);
    ASSERT_TRUE(::IsWindow(m_hwnd));
    Ui([&] { ::DestroyWindow(m_ownerHwnd); });
    EXPECT_FALSE(::IsWindow(m_hwnd));
    bool open = true;
    Ui([&] { open = m_preview->IsOpen(); });
    EXPECT_FALSE(open);
    EXPECT_EQ(ShownItem(), -1);
}

TEST_F(PreviewTest, StepsInTheListsOrderOfTheMomentAsItGrowsSortsAndFilters)
{
    m_host.SetShown({3, 0, 4});
    Open(0);
    ASSERT_TRUE(KeyTo(VK_RIGHT, 4));
    EXPECT_EQ(Position(), "3 of 3");
    EXPECT_FALSE(Enabled(CPicturePreview::IDC_PREVIEW_NEXT));
    PressKey(m_hwnd, VK_RIGHT);
    Pump(200);
    EXPECT_EQ(ShownItem(), 4);

    // New finds during the search.
    m_host.SetShown({3, 0, 4, 1, 2});
    Changed();
    EXPECT_TRUE(Enabled(CPicturePreview::IDC_PREVIEW_NEXT));
    EXPECT_EQ(Position(), "3 of 5");

    // The buttons step as the keys do; the first one stops.
    PostCommand(m_hwnd, CPicturePreview::IDC_PREVIEW_PREVIOUS);
    ASSERT_TRUE(WaitUntil([&] { return ShownItem() == 0; }, 3000));
    ASSERT_TRUE(KeyTo(VK_LEFT, 3));
    EXPECT_FALSE(Enabled(CPicturePreview::IDC_PREVIEW_PREVIOUS));
    PressKey(m_hwnd, VK_LEFT);
    Pump(200);
    EXPECT_EQ(ShownItem(), 3);

    // Sorted anew without a word to the preview: the next step still
    // follows the order the list has now.
    m_host.SetShown({2, 1, 4, 0, 3});
    ASSERT_TRUE(KeyTo(VK_LEFT, 0));

    // Filtered out while shown: it stays, and the steps go to its
    // neighbours of the moment.
    m_host.SetShown({2, 1, 4, 3});
    Changed();
    EXPECT_EQ(ShownItem(), 0);
    EXPECT_EQ(Position(), "Not in the list now (4 shown)");
    ASSERT_TRUE(KeyTo(VK_RIGHT, 3));
    m_host.SetShown({2, 1, 4});
    Changed();
    EXPECT_FALSE(Enabled(CPicturePreview::IDC_PREVIEW_NEXT));
    ASSERT_TRUE(KeyTo(VK_LEFT, 4));
    ASSERT_TRUE(KeyTo(VK_HOME, 2));

    EXPECT_EQ(m_host.Steps(), (std::vector<int>{4, 0, 3, 0, 3, 4, 2}));
}

TEST_F(PreviewTest, TickBoxShowsAndSetsTheHostsTick)
{
    m_host.SetShown({0, 1});
    m_host.Tick(0, true);
    Open(0);
    HWND tick = Control(CPicturePreview::IDC_PREVIEW_TICK);
    EXPECT_EQ(::SendMessageA(tick, BM_GETCHECK, 0, 0), BST_CHECKED);

    // Space, with the focus on a button: the tick, not the button.
    PressKey(m_hwnd, VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return !m_host.Ticked(0); }, 3000));
    EXPECT_EQ(::SendMessageA(tick, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(ShownItem(), 0);

    // The box itself.
    ::SendMessageA(tick, BM_CLICK, 0, 0);
    EXPECT_TRUE(m_host.Ticked(0));

    // Unticked in the main window's list.
    m_host.Tick(0, false);
    Changed();
    EXPECT_EQ(::SendMessageA(tick, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    m_host.Tick(1, true);
    ASSERT_TRUE(KeyTo(VK_RIGHT, 1));
    EXPECT_EQ(::SendMessageA(tick, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(m_host.Ticked(0));
}

TEST_F(PreviewTest, FilesThatDoNotDecodeShowThePlaceholderAndSaySo)
{
    // Not a picture; no file at all; a JPEG cut after its headers, whose
    // Exif thumbnail shows until the decode fails.
    const std::string photo =
        WithExifThumbnail(JpegBytes(m_files, "solid.jpg", 300, 200, 0xFF0000), JpegBytes(m_files, "solid.jpg", 150, 100, 0x0000FF));
    const size_t scan = photo.rfind("\xFF\xDA");  // the main image's, after the thumbnail's
    ASSERT_NE(scan, std::string::npos);
    WriteFileBytes(m_files.Join("cut.jpg"), photo.substr(0, scan));
    WriteFileBytes(m_files.Join("text.jpg"), std::string(5000, 'x'));
    WriteFileBytes(m_files.Join("good.jpg"), photo);
    m_host.SetPath(0, m_files.Join("text.jpg"));
    m_host.SetPath(1, m_files.Join("missing.jpg"));
    m_host.SetPath(2, m_files.Join("cut.jpg"));
    m_host.SetPath(3, m_files.Join("good.jpg"));
    m_host.SetShown({0, 1, 2, 3});

    HWND message = nullptr;
    for (int item = 0; item < 4; ++item) {
        if (item == 0) {
            Open(0);
            message = Control(CPicturePreview::IDC_PREVIEW_MESSAGE);
        } else if (item == 2) {
            // Asked in the same turn: the failed decode may be back soon after.
            Showing shown = Showing::Nothing;
            Ui([&] {
                m_preview->Step(+1);
                shown = m_preview->GetShowing();
            });
            EXPECT_EQ(shown, Showing::Thumbnail);
        } else {
            ASSERT_TRUE(KeyTo(VK_RIGHT, item));
        }
        if (item == 3)
            break;
        ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Damaged; }, 10000)) << item;
        EXPECT_TRUE(Visible(message));
        EXPECT_EQ(Text(message), CPicturePreview::kDamagedText);
        // The placeholder above the text: something not white in the middle.
        ::UpdateWindow(m_hwnd);
        Pump(100);
        const POINT middle = PictureMiddle();
        RECT text;
        ::GetWindowRect(message, &text);
        POINT top = {text.left, text.top};
        ::ScreenToClient(m_hwnd, &top);
        int coloured = 0;
        for (int y = top.y - 70; y < top.y; y += 4) {
            for (int x = middle.x - 32; x < middle.x + 32; x += 4)
                coloured += (PixelAt(m_hwnd, x, y) & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
        }
        EXPECT_GT(coloured, 20) << item;
    }
    // A sound picture after them: no text, the picture itself.
    ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Picture; }, 10000));
    EXPECT_FALSE(Visible(message));
    Pump(100);
    const COLORREF middle = MiddleColour();
    EXPECT_GT(GetRValue(middle), 200);
    EXPECT_LT(GetBValue(middle), 60);
}

// A camera's RAW that carries no JPEG of itself, or a phone's HEIC, is not
// drawn, even where its bytes would decode as something else: the
// placeholder, with words that do not call it damaged.
TEST_F(PreviewTest, PicturesOfTypesNotDrawnSayWhy)
{
    const std::string jpeg = JpegBytes(m_files, "plain.jpg", 160, 120, 0x0000FF);
    WriteFileBytes(m_files.Join("DSC_0001.NEF"), jpeg);
    WriteFileBytes(m_files.Join("IMG_0002.HEIC"), std::string(3000, 'h'));
    m_host.SetPath(0, m_files.Join("DSC_0001.NEF"));
    m_host.SetPath(1, m_files.Join("IMG_0002.HEIC"));
    m_host.SetPath(2, m_files.Join("plain.jpg"));
    m_host.SetShown({0, 1, 2});
    Open(0);
    HWND message = Control(CPicturePreview::IDC_PREVIEW_MESSAGE);
    ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Undrawn; }, 10000));
    EXPECT_TRUE(Visible(message));
    EXPECT_EQ(Text(message),
              "This RAW file carries no preview picture to show; Recover copies the file as it was found.");
    // A HEIC is drawn through its library: one that does not decode is
    // damaged, not of a type the preview cannot show.
    ASSERT_TRUE(KeyTo(VK_RIGHT, 1));
    ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Damaged; }, 10000));
    EXPECT_EQ(Text(message), CPicturePreview::kDamagedText);
    ASSERT_TRUE(KeyTo(VK_RIGHT, 2));
    ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Picture; }, 10000));
    EXPECT_FALSE(Visible(message));
}

namespace {

// A w x h JPEG, red in its left half and blue in its right, made in folder.
std::string HalvesJpeg(const TempFolder& folder, int w, int h)
{
    const std::string path = folder.Join("halves.jpg");
    if (!SavePicture(path, w, h, 0xFF0000, L"image/jpeg"))
        return std::string();
    Gdiplus::GpBitmap* bitmap = nullptr;
    const std::wstring wide(path.begin(), path.end());
    GdipCreateBitmapFromFile(wide.c_str(), &bitmap);
    Gdiplus::GpBitmap* copy = nullptr;
    GdipCloneBitmapAreaI(0, 0, w, h, PixelFormat24bppRGB, bitmap, &copy);
    GdipDisposeImage(bitmap);
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(copy, &graphics);
    Gdiplus::GpSolidFill* blue = nullptr;
    GdipCreateSolidFill(0xFF0000FFu, &blue);
    GdipFillRectangleI(graphics, blue, w / 2, 0, w - w / 2, h);
    GdipDeleteBrush(blue);
    GdipDeleteGraphics(graphics);
    CLSID jpeg;
    EncoderFor(L"image/jpeg", jpeg);
    GdipSaveImageToFile(copy, wide.c_str(), &jpeg, nullptr);
    GdipDisposeImage(copy);
    return ReadFileBytes(path);
}

}  // namespace

// A camera's RAW is shown large from the largest JPEG it carries, upright:
// held on its side (orientation 6), the stored left half is the top.
TEST_F(PreviewTest, RawIsShownFromItsLargestJpegUpright)
{
    const std::string large = HalvesJpeg(m_files, 480, 320);
    ASSERT_FALSE(large.empty());
    const std::string small = JpegBytes(m_files, "small.jpg", 120, 80, 0x00FF00);
    WriteFileBytes(m_files.Join("IMG_0001.CR2"), rawsamples::Cr2(small, large, 6));
    m_host.SetPath(0, m_files.Join("IMG_0001.CR2"));
    m_host.SetShown({0});
    Open(0);
    ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Picture; }, 10000));
    EXPECT_FALSE(Visible(Control(CPicturePreview::IDC_PREVIEW_MESSAGE)));
    Pump(100);
    const POINT middle = PictureMiddle();
    const COLORREF above = PixelAt(m_hwnd, middle.x, middle.y - 40);
    const COLORREF below = PixelAt(m_hwnd, middle.x, middle.y + 40);
    EXPECT_TRUE(GetRValue(above) > 200 && GetBValue(above) < 60) << std::hex << above;
    EXPECT_TRUE(Blue(below)) << std::hex << below;
}

TEST_F(PreviewTest, CameraPhotoDecodesWhileTheWindowAnswersAndOnlyTheNewestStep)
{
    const std::string big = ReadFileBytes(BIG_JPEG);
    ASSERT_GT(big.size(), 100000u);
    const std::string photo = WithExifThumbnail(big, JpegBytes(m_files, "solid.jpg", 160, 120, 0x0000FF));
    std::vector<int> items;
    for (int item = 0; item < 8; ++item) {
        const std::string path = m_files.Join("big" + std::to_string(item) + ".jpg");
        WriteFileBytes(path, photo);
        m_host.SetPath(item, path);
        items.push_back(item);
    }
    m_host.SetShown(items);

    Showing first = Showing::Nothing;
    Ui([&] {
        m_preview->Open(m_ownerHwnd, m_host, 0);
        first = m_preview->GetShowing();
        ::UpdateWindow(m_preview->m_hWnd);
    });
    m_hwnd = m_preview->m_hWnd;
    EXPECT_EQ(first, Showing::Thumbnail);
    EXPECT_TRUE(Blue(MiddleColour()));

    // The window answers within 200 ms all along; the decode takes longer
    // than that, or nothing here would show that it ran on another thread.
    int answeredWhileDecoding = 0;
    Showing now = Showing::Thumbnail;
    const DWORD start = ::GetTickCount();
    while (now != Showing::Picture && ::GetTickCount() - start < 60000) {
        ASSERT_TRUE(UiWithin([&] { now = m_preview->GetShowing(); }, 200));
        if (now == Showing::Thumbnail)
            ++answeredWhileDecoding;
        ::Sleep(20);
    }
    ASSERT_EQ(now, Showing::Picture);
    EXPECT_GE(answeredWhileDecoding, 3);
    Pump(100);
    const COLORREF full = MiddleColour();
    EXPECT_FALSE(Blue(full));
    EXPECT_GT(GetRValue(full), 150);

    // Seven steps at once: the decode under way finishes, the last step's
    // follows, none of those between.
    int before = 0;
    Ui([&] {
        before = m_preview->DecodesStarted();
        for (int i = 0; i < 7; ++i)
            m_preview->Step(+1);
    });
    EXPECT_EQ(ShownItem(), 7);
    ASSERT_TRUE(WaitUntil([&] { return Shows() == Showing::Picture; }, 60000));
    Pump(500);
    int after = 0;
    Ui([&] { after = m_preview->DecodesStarted(); });
    EXPECT_LE(after - before, 2);
}

// The controls' places in client co-ordinates, by id.
std::map<int, RECT> ControlPlaces(HWND window)
{
    std::map<int, RECT> places;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rc;
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rc), 2);
        places[::GetDlgCtrlID(child)] = rc;
    }
    return places;
}

TEST_F(PreviewTest, ControlsFollowTheWindowsEdgesAsItIsResized)
{
    m_host.SetShown({0, 1, 2});
    Open(1);
    ASSERT_TRUE(m_hwnd);
    const std::map<int, RECT> first = ControlPlaces(m_hwnd);
    RECT window;
    ::GetWindowRect(m_hwnd, &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    auto resize = [&](int w, int h) {
        Ui([&] { ::SetWindowPos(m_hwnd, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE); });
    };

    // 200 wider and 150 taller: the right-hand panel follows the right
    // edge, the row of buttons the bottom, Close both; the line of the
    // position widens between them.
    resize(width + 200, height + 150);
    std::map<int, RECT> now = ControlPlaces(m_hwnd);
    auto moved = [&](int id, int dx, int dy, int dw) {
        const RECT& a = first.at(id);
        const RECT& b = now.at(id);
        EXPECT_EQ(a.left + dx, b.left) << id;
        EXPECT_EQ(a.top + dy, b.top) << id;
        EXPECT_EQ(a.right + dx + dw, b.right) << id;
        EXPECT_EQ(a.bottom + dy, b.bottom) << id;
    };
    moved(CPicturePreview::IDC_PREVIEW_DETAILS, 200, 0, 0);
    moved(CPicturePreview::IDC_PREVIEW_TICK, 200, 0, 0);
    moved(CPicturePreview::IDC_PREVIEW_PREVIOUS, 0, 150, 0);
    moved(CPicturePreview::IDC_PREVIEW_NEXT, 0, 150, 0);
    moved(CPicturePreview::IDC_PREVIEW_POSITION, 0, 150, 200);
    moved(CPicturePreview::IDC_PREVIEW_CLOSE, 200, 150, 0);

    // Far smaller: the window keeps a least size at which nothing overlaps
    // and everything stays inside.
    resize(200, 120);
    ::GetWindowRect(m_hwnd, &window);
    EXPECT_GT(window.right - window.left, 200);
    EXPECT_GT(window.bottom - window.top, 120);
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    now = ControlPlaces(m_hwnd);
    std::vector<std::pair<int, RECT>> shown;
    for (const auto& place : now) {
        if (::IsWindowVisible(::GetDlgItem(m_hwnd, place.first)))
            shown.push_back(place);
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        RECT inside;
        ::IntersectRect(&inside, &shown[i].second, &client);
        EXPECT_TRUE(::EqualRect(&inside, &shown[i].second)) << shown[i].first;
        for (size_t j = i + 1; j < shown.size(); ++j) {
            RECT both;
            EXPECT_FALSE(::IntersectRect(&both, &shown[i].second, &shown[j].second))
                << shown[i].first << " and " << shown[j].first;
        }
    }

    // Back to the first size: every control where it was (the message over
    // the picture goes where what is shown puts it).
    resize(width, height);
    now = ControlPlaces(m_hwnd);
    for (const auto& place : first) {
        if (place.first != CPicturePreview::IDC_PREVIEW_MESSAGE) {
            EXPECT_TRUE(::EqualRect(&place.second, &now.at(place.first))) << place.first;
        }
    }
}

// Not a test: leaves a preview on the screen for a screenshot.
// PREVIEW_HOLD_MS: how long; PREVIEW_HOLD_ITEM: 7 a photo, 8 a damaged
// file; PREVIEW_HOLD_MAXIMIZED=1: maximised.
TEST_F(PreviewTest, DISABLED_HoldForScreenshot)
{
    const std::string photo = WithExifThumbnail(ReadFileBytes(BIG_JPEG), JpegBytes(m_files, "solid.jpg", 160, 120, 0x0000FF));
    WriteFileBytes(m_files.Join("photo.jpg"), photo);
    WriteFileBytes(m_files.Join("damaged.jpg"), photo.substr(0, 3000));
    m_host.SetPath(7, m_files.Join("photo.jpg"));
    m_host.SetPath(8, m_files.Join("damaged.jpg"));
    // A RAW held on its side, and one that carries no JPEG.
    const std::string large = HalvesJpeg(m_files, 480, 320);
    WriteFileBytes(m_files.Join("IMG_0009.CR2"), rawsamples::Cr2(JpegBytes(m_files, "s.jpg", 120, 80, 0x00FF00), large, 6));
    WriteFileBytes(m_files.Join("DSC_0010.NEF"), rawsamples::Nef("none", "none"));
    m_host.SetPath(9, m_files.Join("IMG_0009.CR2"));
    m_host.SetPath(10, m_files.Join("DSC_0010.NEF"));
    std::vector<int> items;
    for (int item = 0; item < 1240; ++item)
        items.push_back(item);
    m_host.SetShown(items);
    m_host.Tick(7, true);
    const char* item = getenv("PREVIEW_HOLD_ITEM");
    Open(item ? atoi(item) : 7);
    if (getenv("PREVIEW_HOLD_MAXIMIZED"))
        ::ShowWindow(m_hwnd, SW_MAXIMIZE);
    const char* hold = getenv("PREVIEW_HOLD_MS");
    Pump(hold ? static_cast<DWORD>(atoi(hold)) : 20000);
}

}  // namespace
