// The filter bar's type boxes as the finds come in: each shows its count,
// is wide enough for it and keeps its place in the row, and a new count
// draws again only what it changed.
#include "AnalysisHarness.h"

#include "FilterBar.h"
#include "PictureItems.h"

using namespace analysis;

namespace {

// A plain window holding a filter bar, on a thread of its own.
class BarWindow {
public:
    BarWindow() : m_ui([this] { Run(); }) { m_hwnd = m_ui.WaitForWindow(kCaption); }
    ~BarWindow()
    {
        if (m_hwnd)
            PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    }

    void RunOnUi(const std::function<void()>& fn) { SendMessageA(m_hwnd, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn)); }
    CFilterBar& Bar() { return m_bar; }

private:
    static constexpr const char* kCaption = "Filter bar host";
    static const UINT kRunOnUi = WM_APP + 93;

    void Run()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = "QvFilterBarHost";
        RegisterClassA(&wc);
        HWND host = CreateWindowExA(0, wc.lpszClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                                    0, 0, 900, 200, nullptr, nullptr, wc.hInstance, this);
        const RECT place = {0, 0, 860, CFilterBar::Height()};
        if (m_bar.Create(*CWnd::FromHandle(host), place, 1))
            m_bar.ShowWindow(SW_SHOW);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case kRunOnUi:
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    CFilterBar m_bar;
    HWND m_hwnd = nullptr;
    UiThread m_ui;
};

void AddFinds(CPictureItems& items, const char* extension, int count)
{
    for (int i = 0; i < count; ++i)
        items.Add(("C:\\f" + std::to_string(items.Count()) + extension).c_str(), ThumbnailPixels(64 * 64, 0));
}

struct Box {
    std::string text;
    RECT place;  // in the bar
    int textWidth;
    bool waitsToBeDrawn;
};

// The shown type boxes from left to right, read on the bar's thread before
// anything it invalidated has been drawn.
std::vector<Box> ShownBoxes(HWND bar)
{
    std::vector<Box> boxes;
    for (HWND child : ChildrenOfClass(bar, "Button")) {
        if (!IsWindowVisible(child) || Text(child).find('(') == std::string::npos)
            continue;
        Box box;
        box.text = Text(child);
        GetWindowRect(child, &box.place);
        MapWindowPoints(nullptr, bar, reinterpret_cast<POINT*>(&box.place), 2);
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        SIZE size = {};
        GetTextExtentPoint32A(dc, box.text.c_str(), static_cast<int>(box.text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        box.textWidth = size.cx;
        box.waitsToBeDrawn = GetUpdateRect(child, nullptr, FALSE) != FALSE;
        boxes.push_back(box);
    }
    std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.place.left < b.place.left; });
    return boxes;
}

void ExpectInARowEachWideEnough(const std::vector<Box>& boxes)
{
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_GT(boxes[i].place.right - boxes[i].place.left, boxes[i].textWidth) << boxes[i].text;
        if (i > 0) {
            EXPECT_GT(boxes[i].place.left, boxes[i - 1].place.right) << boxes[i - 1].text << " / " << boxes[i].text;
            EXPECT_EQ(boxes[i].place.top, boxes[0].place.top) << boxes[i].text;
        }
    }
}

const Box* Find(const std::vector<Box>& boxes, const std::string& prefix)
{
    for (const Box& box : boxes) {
        if (box.text.compare(0, prefix.size(), prefix) == 0)
            return &box;
    }
    return nullptr;
}

TEST(FilterBar, TypeBoxesFollowTheirCountsAndANewCountDrawsOnlyWhatItChanged)
{
    BarWindow window;
    const HWND bar = window.Bar().m_hWnd;
    ASSERT_TRUE(bar);
    CPictureItems items;
    AddFinds(items, ".jpg", 9);
    AddFinds(items, ".gif", 1);
    AddFinds(items, ".webp", 2);
    std::vector<Box> boxes;
    window.RunOnUi([&] {
        window.Bar().SetTypeCounts(items);
        boxes = ShownBoxes(bar);
    });
    Pump(200);
    ASSERT_TRUE(Find(boxes, "JPEG (9)"));
    ASSERT_TRUE(Find(boxes, "GIF (1)"));
    ASSERT_TRUE(Find(boxes, "WebP (2)"));  // a later format's box, once one is found
    ExpectInARowEachWideEnough(boxes);

    // A count with a digit more widens its box: the boxes after it move on.
    const RECT gifBefore = Find(boxes, "GIF")->place;
    AddFinds(items, ".jpg", 1);
    window.RunOnUi([&] {
        window.Bar().SetTypeCounts(items);
        boxes = ShownBoxes(bar);
    });
    Pump(200);
    ASSERT_TRUE(Find(boxes, "JPEG (10)"));
    ExpectInARowEachWideEnough(boxes);
    EXPECT_GT(Find(boxes, "GIF")->place.left, gifBefore.left);

    // A count as wide as the last: only its own box waits to be drawn; the
    // other boxes, the bar and its lists stay as they are.
    window.RunOnUi([&] { boxes = ShownBoxes(bar); });
    const Box before = *Find(boxes, "JPEG");
    AddFinds(items, ".jpg", 1);
    std::vector<HWND> waiting;
    window.RunOnUi([&] {
        window.Bar().SetTypeCounts(items);
        boxes = ShownBoxes(bar);
        if (GetUpdateRect(bar, nullptr, FALSE))
            waiting.push_back(bar);
        for (HWND list : ChildrenOfClass(bar, "ComboBox")) {
            if (GetUpdateRect(list, nullptr, FALSE))
                waiting.push_back(list);
        }
    });
    const Box* jpeg = Find(boxes, "JPEG (11)");
    ASSERT_TRUE(jpeg);
    ASSERT_EQ(jpeg->textWidth, before.textWidth) << "the font's digits are not all as wide";
    EXPECT_TRUE(EqualRect(&jpeg->place, &before.place));
    for (const Box& box : boxes) {
        if (&box != jpeg) {
            EXPECT_FALSE(box.waitsToBeDrawn) << box.text;
        }
    }
    EXPECT_TRUE(waiting.empty()) << waiting.size() << " windows wait to be drawn";
    ExpectInARowEachWideEnough(boxes);
}

}  // namespace
