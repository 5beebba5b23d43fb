// Checks the compiled resources as the program will see them: the dialog
// templates as created by the dialog manager, the images as loaded by USER32
// and GDI+, the strings, the manifest and the version record.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resource.h"
#include "version.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

INT_PTR CALLBACK TrivialProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

// QUORVANE_SHOW_MS=<ms> keeps each dialog on the screen that long, so it
// can be looked at or captured under the virtual display.
void Linger(HWND dlg) {
    const char* ms = std::getenv("QUORVANE_SHOW_MS");
    if (!ms) return;
    ShowWindow(dlg, SW_SHOW);
    DWORD end = GetTickCount() + static_cast<DWORD>(std::atoi(ms));
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(20);
    }
}

class Dialog {
public:
    explicit Dialog(int id) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        hwnd_ = CreateDialogParamA(Module(), MAKEINTRESOURCEA(id), nullptr, TrivialProc, 0);
    }
    ~Dialog() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    HWND hwnd() const { return hwnd_; }

    // Template units to pixels the way the dialog manager converts them.
    RECT Pixels(int x, int y, int cx, int cy) const {
        RECT r = {x, y, cx, cy};
        MapDialogRect(hwnd_, &r);
        return r;  // left, top, width, height
    }
    // Item rectangle in client pixels as left, top, width, height.
    RECT ItemRect(HWND item) const {
        RECT r;
        GetWindowRect(item, &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    std::vector<HWND> Children() const {
        std::vector<HWND> out;
        for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            out.push_back(c);
        return out;
    }

private:
    HWND hwnd_ = nullptr;
};

std::string ClassOf(HWND h) {
    char buf[64] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

std::string TextOf(HWND h) {
    char buf[256] = "";
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

LONG StyleOf(HWND h) { return GetWindowLongA(h, GWL_STYLE); }


bool SameClass(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// The template as stored, for what the live controls do not keep: the
// dialog manager and the controls rewrite border styles as they are created.
struct TemplateItem {
    DWORD style;
    DWORD exStyle;
    DWORD id;
};
struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<TemplateItem> items;
};

const WORD* SkipSzOrOrd(const WORD* p) {
    if (*p == 0xFFFF) return p + 2;
    while (*p) ++p;
    return p + 1;
}

Template ReadTemplate(int id) {
    Template t;
    HRSRC res = FindResourceA(Module(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (!res) return t;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(Module(), res)));
    const WORD* w = reinterpret_cast<const WORD*>(base);
    if (w[0] != 1 || w[1] != 0xFFFF) return t;  // DLGTEMPLATEEX only
    const DWORD* d = reinterpret_cast<const DWORD*>(w + 2);
    t.exStyle = d[1];
    t.style = d[2];
    w = reinterpret_cast<const WORD*>(d + 3);
    WORD count = *w++;
    w += 4;                                  // x, y, cx, cy
    w = SkipSzOrOrd(SkipSzOrOrd(w));         // menu, class
    while (*w) ++w;                          // title
    ++w;
    if (t.style & DS_SETFONT) {
        t.pointSize = w[0];
        w += 3;                              // size, weight, italic + charset
        t.font = reinterpret_cast<const wchar_t*>(w);
        w += t.font.size() + 1;
    }
    for (WORD i = 0; i < count; ++i) {
        auto at = reinterpret_cast<uintptr_t>(w);
        w = reinterpret_cast<const WORD*>((at + 3) & ~uintptr_t{3});
        d = reinterpret_cast<const DWORD*>(w);
        TemplateItem item = {d[2], d[1], 0};
        w = reinterpret_cast<const WORD*>(d + 3) + 4;
        item.id = *reinterpret_cast<const DWORD*>(w);
        w = SkipSzOrOrd(SkipSzOrOrd(w + 2));  // class, title
        w = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(w + 1) + *w);
        t.items.push_back(item);
    }
    return t;
}

struct Item {
    int id;
    const char* cls;
    const char* text;
    int x, y, cx, cy;
};

void ExpectPlaced(const Dialog& dlg, HWND item, const Item& want) {
    RECT got = dlg.ItemRect(item);
    RECT exp = dlg.Pixels(want.x, want.y, want.cx, want.cy);
    EXPECT_EQ(got.left, exp.left) << "item " << want.id;
    EXPECT_EQ(got.top, exp.top) << "item " << want.id;
    EXPECT_EQ(got.right, exp.right) << "item " << want.id << " width";
    EXPECT_EQ(got.bottom, exp.bottom) << "item " << want.id << " height";
}

// Template order, which is also the tab order.
const Item kMainItems[] = {
    {IDC_DRIVE_LIST, WC_LISTVIEWA, "", 9, 30, 453, 199},
    {IDC_NEXT, "Button", "Next", 9, 266, 50, 14},
    {IDC_BROWSE, "Button", "Browse", 410, 247, 50, 14},
    {IDC_RELOAD, "Button", "Reload", 197, 13, 50, 14},
    {IDC_RECOVER, "Button", "Recover", 409, 232, 50, 14},
    {IDC_SAVE_DIR, "Edit", "", 9, 247, 392, 12},
    {IDC_SAVE_DIR_LABEL, "Static", "Location to save recovered pictures", 9, 236, 355, 8},
    {IDC_SELECT_DRIVE_LABEL, "Static", "Select drive from where to recover the pictures", 9, 16, 175, 8},
    {IDC_PICTURE_LIST, WC_LISTVIEWA, "", 64, 263, 55, 23},
    {IDC_PROGRESS, PROGRESS_CLASSA, "", 416, 266, 49, 14},
    {IDC_PROGRESS_TEXT, "Static", "Recovering picture 1 of 20", 125, 262, 190, 8},
    {IDC_STATUS, "Static", "Recovering data, please wait", 9, 4, 305, 8},
    {IDC_HELP_LINK, "Static", "Help", 435, 16, 25, 9},
    {IDC_SETTINGS_LINK, "Static", "Settings", 394, 16, 37, 9},
    {IDC_LOADING, "Static", "Loading, please wait...", 327, 4, 100, 8},
    {IDC_SELECT_ALL, "Static", "Unselect All Pictures", 9, 279, 379, 9},
    // Its height is the dropped list's; the box itself is one line high.
    {IDC_ARRANGEMENT, "ComboBox", "", 130, 266, 80, 60},
};

TEST(MainDialog, WindowCaptionStylesAndClientSize) {
    Dialog dlg(IDD_RECOVERY);
    ASSERT_NE(dlg.hwnd(), nullptr) << "error " << GetLastError();
    HWND h = dlg.hwnd();
    EXPECT_EQ(TextOf(h), "Quorvane");
    LONG style = StyleOf(h);
    for (DWORD bit : {DWORD{WS_POPUP}, DWORD{WS_CAPTION}, DWORD{WS_SYSMENU},
                      DWORD{WS_MINIMIZEBOX}, DWORD{WS_MAXIMIZEBOX}, DWORD{WS_THICKFRAME},
                      DWORD{WS_VISIBLE}})
        EXPECT_EQ(static_cast<DWORD>(style) & bit, bit) << std::hex << bit;
    EXPECT_NE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

    Template t = ReadTemplate(IDD_RECOVERY);
    EXPECT_EQ(t.font, L"MS Sans Serif");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_NE(t.style & DS_MODALFRAME, 0u);

    RECT client;
    GetClientRect(h, &client);
    RECT want = dlg.Pixels(0, 0, 469, 307);
    EXPECT_EQ(client.right, want.right);
    EXPECT_EQ(client.bottom, want.bottom);
}

TEST(MainDialog, ItemsInTabOrderWithClassTextAndPlace) {
    Dialog dlg(IDD_RECOVERY);
    ASSERT_NE(dlg.hwnd(), nullptr);
    std::vector<HWND> kids = dlg.Children();
    ASSERT_EQ(kids.size(), sizeof kMainItems / sizeof kMainItems[0]);
    for (size_t i = 0; i < kids.size(); ++i) {
        const Item& want = kMainItems[i];
        EXPECT_EQ(GetDlgCtrlID(kids[i]), want.id) << "position " << i;
        EXPECT_TRUE(SameClass(ClassOf(kids[i]), want.cls)) << want.id << ": " << ClassOf(kids[i]);
        EXPECT_EQ(TextOf(kids[i]), want.text) << "item " << want.id;
        if (want.id == IDC_ARRANGEMENT) {
            const RECT got = dlg.ItemRect(kids[i]);
            const RECT exp = dlg.Pixels(want.x, want.y, want.cx, want.cy);
            EXPECT_EQ(got.left, exp.left);
            EXPECT_EQ(got.top, exp.top);
            EXPECT_EQ(got.right, exp.right);
        } else {
            ExpectPlaced(dlg, kids[i], want);
        }
    }

    std::set<int> tabStops;
    for (HWND k : kids)
        if (StyleOf(k) & WS_TABSTOP) tabStops.insert(GetDlgCtrlID(k));
    EXPECT_EQ(tabStops, (std::set<int>{IDC_DRIVE_LIST, IDC_NEXT, IDC_BROWSE, IDC_RELOAD,
                                       IDC_RECOVER, IDC_SAVE_DIR, IDC_PICTURE_LIST, IDC_ARRANGEMENT}));

    // Tab really walks the tab stops in template order.
    std::vector<int> walk;
    HWND first = GetNextDlgTabItem(dlg.hwnd(), nullptr, FALSE);
    for (HWND c = first; c && walk.size() < 10;) {
        walk.push_back(GetDlgCtrlID(c));
        c = GetNextDlgTabItem(dlg.hwnd(), c, FALSE);
        if (c == first) break;
    }
    // The disabled save-folder box is skipped by the dialog manager.
    EXPECT_EQ(walk, (std::vector<int>{IDC_DRIVE_LIST, IDC_NEXT, IDC_BROWSE, IDC_RELOAD,
                                      IDC_RECOVER, IDC_PICTURE_LIST, IDC_ARRANGEMENT}));
}

TEST(MainDialog, ControlStyles) {
    Dialog dlg(IDD_RECOVERY);
    ASSERT_NE(dlg.hwnd(), nullptr);
    auto style = [&](int id) { return StyleOf(GetDlgItem(dlg.hwnd(), id)); };

    LONG drives = style(IDC_DRIVE_LIST);
    EXPECT_EQ(drives & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_NE(drives & LVS_SINGLESEL, 0);
    EXPECT_NE(drives & LVS_SHOWSELALWAYS, 0);

    LONG pictures = style(IDC_PICTURE_LIST);
    EXPECT_EQ(pictures & LVS_TYPEMASK, LVS_ICON);
    EXPECT_EQ(pictures & LVS_SINGLESEL, 0) << "several pictures may be selected";
    EXPECT_EQ(pictures & LVS_AUTOARRANGE, 0);

    HWND edit = GetDlgItem(dlg.hwnd(), IDC_SAVE_DIR);
    EXPECT_FALSE(IsWindowEnabled(edit)) << "the folder is changed only through Browse";
    EXPECT_NE(StyleOf(edit) & ES_AUTOHSCROLL, 0);

    // Bordered in the template (the live controls turn this into edges).
    Template t = ReadTemplate(IDD_RECOVERY);
    ASSERT_EQ(t.items.size(), sizeof kMainItems / sizeof kMainItems[0]);
    std::set<DWORD> bordered;
    for (const TemplateItem& item : t.items)
        if (item.style & WS_BORDER) bordered.insert(item.id);
    EXPECT_EQ(bordered, (std::set<DWORD>{IDC_DRIVE_LIST, IDC_SAVE_DIR, IDC_PICTURE_LIST,
                                         IDC_PROGRESS}));

    for (int id : {IDC_NEXT, IDC_BROWSE, IDC_RELOAD, IDC_RECOVER})
        EXPECT_EQ(style(id) & BS_TYPEMASK, BS_PUSHBUTTON) << "item " << id;
    EXPECT_EQ(style(IDC_ARRANGEMENT) & 3, CBS_DROPDOWNLIST) << "a choice, not a text";

    EXPECT_EQ(style(IDC_LOADING) & SS_TYPEMASK, SS_CENTER);
    EXPECT_NE(style(IDC_LOADING) & SS_CENTERIMAGE, 0);
    for (int id : {IDC_SAVE_DIR_LABEL, IDC_SELECT_DRIVE_LABEL, IDC_PROGRESS_TEXT, IDC_STATUS,
                   IDC_HELP_LINK, IDC_SETTINGS_LINK, IDC_SELECT_ALL})
        EXPECT_EQ(style(id) & SS_TYPEMASK, SS_LEFT) << "item " << id;
    Linger(dlg.hwnd());
}

TEST(SettingsDialog, ItemsStylesAndButtonRow) {
    Dialog dlg(IDD_SETTINGS);
    ASSERT_NE(dlg.hwnd(), nullptr) << "error " << GetLastError();
    HWND h = dlg.hwnd();
    EXPECT_EQ(TextOf(h), "Settings");
    LONG style = StyleOf(h);
    for (DWORD bit : {DWORD{WS_POPUP}, DWORD{WS_CAPTION}, DWORD{WS_SYSMENU}})
        EXPECT_EQ(static_cast<DWORD>(style) & bit, bit) << std::hex << bit;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    Template t = ReadTemplate(IDD_SETTINGS);
    EXPECT_EQ(t.font, L"MS Sans Serif");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_NE(t.style & DS_MODALFRAME, 0u);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, dlg.Pixels(0, 0, 285, 0).right);

    const Item items[] = {
        {0xFFFF, "Static", "Select only file types you expect to recover", 9, 6, 136, 16},
        {IDC_DEFAULT, "Button", "Default", 168, 7, 50, 14},
        {0xFFFF, "Button", "Photos", 7, 26, 271, 34},
        {IDC_FORMAT_JPG, "Button", ".jpg", 14, 40, 27, 10},
        {IDC_FORMAT_GIF, "Button", ".gif", 69, 40, 25, 10},
        {IDC_FORMAT_PNG, "Button", ".png", 124, 40, 30, 10},
        {IDC_FORMAT_BMP, "Button", ".bmp", 179, 40, 31, 10},
        {IDC_FORMAT_TIF, "Button", ".tif", 234, 40, 23, 10},
        {0xFFFF, "Button", "Camera RAW and phone pictures", 7, 64, 271, 34},
        {IDC_FORMAT_RAW, "Button", "Camera RAW", 14, 78, 52, 10},
        {IDC_FORMAT_HEIC, "Button", ".heic", 124, 78, 30, 10},
        {IDC_FORMAT_AVIF, "Button", ".avif", 179, 78, 30, 10},
        {IDC_FORMAT_WEBP, "Button", ".webp", 234, 78, 34, 10},
    };
    std::vector<HWND> kids = dlg.Children();
    ASSERT_EQ(kids.size(), 15u);
    for (size_t i = 0; i < 13; ++i) {
        EXPECT_EQ(GetDlgCtrlID(kids[i]) & 0xFFFF, items[i].id) << "position " << i;
        EXPECT_TRUE(SameClass(ClassOf(kids[i]), items[i].cls));
        EXPECT_EQ(TextOf(kids[i]), items[i].text);
        ExpectPlaced(dlg, kids[i], items[i]);
    }
    EXPECT_NE(StyleOf(kids[0]) & WS_GROUP, 0);
    EXPECT_EQ(StyleOf(kids[0]) & SS_TYPEMASK, SS_LEFT);
    EXPECT_EQ(StyleOf(kids[2]) & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_NE(StyleOf(kids[1]) & WS_TABSTOP, 0);
    EXPECT_EQ(StyleOf(kids[8]) & BS_TYPEMASK, BS_GROUPBOX);
    // Every format's box is reached with Tab.
    for (size_t i : {3, 4, 5, 6, 7, 9, 10, 11, 12}) {
        EXPECT_EQ(StyleOf(kids[i]) & BS_TYPEMASK, BS_AUTOCHECKBOX) << items[i].text;
        EXPECT_NE(StyleOf(kids[i]) & WS_TABSTOP, 0) << items[i].text;
    }

    HWND ok = kids[13], cancel = kids[14];
    EXPECT_EQ(GetDlgCtrlID(ok), IDOK);
    EXPECT_EQ(GetDlgCtrlID(cancel), IDCANCEL);
    EXPECT_EQ(TextOf(ok), "OK");
    EXPECT_EQ(TextOf(cancel), "Cancel");
    EXPECT_EQ(StyleOf(ok) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(StyleOf(cancel) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_NE(StyleOf(ok) & WS_TABSTOP, 0);
    EXPECT_NE(StyleOf(cancel) & WS_TABSTOP, 0);
    RECT rOk = dlg.ItemRect(ok), rCancel = dlg.ItemRect(cancel);
    RECT group = dlg.ItemRect(kids[8]);
    EXPECT_EQ(rOk.left, dlg.Pixels(164, 0, 0, 0).left);
    EXPECT_EQ(rCancel.left, dlg.Pixels(228, 0, 0, 0).left);
    EXPECT_EQ(rOk.top, rCancel.top) << "side by side";
    EXPECT_EQ(rOk.right, dlg.Pixels(0, 0, 50, 14).right);
    EXPECT_GT(rOk.top, group.top + group.bottom) << "below the groups";
    EXPECT_LT(rOk.top + rOk.bottom, client.bottom) << "inside the dialog";
    EXPECT_LE(client.bottom - (rOk.top + rOk.bottom), dlg.Pixels(0, 0, 0, 10).bottom)
        << "the row sits at the bottom";
    Linger(h);
}

TEST(Images, SkinBitmapIsOneAzure634x464) {
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageA(Module(), MAKEINTRESOURCEA(IDB_SKIN), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bmp, nullptr);
    BITMAP bm = {};
    ASSERT_NE(GetObjectA(bmp, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 634);
    EXPECT_EQ(bm.bmHeight, 464);
    DeleteObject(bmp);

    HBITMAP dib = static_cast<HBITMAP>(LoadImageA(Module(), MAKEINTRESOURCEA(IDB_SKIN),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(dib, nullptr);
    DIBSECTION ds = {};
    ASSERT_EQ(GetObjectA(dib, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
    const BYTE* bits = static_cast<const BYTE*>(ds.dsBm.bmBits);
    ASSERT_NE(bits, nullptr);
    int mismatches = 0;
    for (int y = 0; y < 464; ++y)
        for (int x = 0; x < 634; ++x) {
            const BYTE* p = bits + y * ds.dsBm.bmWidthBytes + x * 3;  // B, G, R
            if (p[0] != 255 || p[1] != 128 || p[2] != 0) ++mismatches;
        }
    EXPECT_EQ(mismatches, 0);
    DeleteObject(dib);
}

TEST(Images, AppIconLoadsAtEachSize) {
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(Module(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO ii = {};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        EXPECT_TRUE(ii.fIcon);
        BITMAP bm = {};
        GetObjectA(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
        if (ii.hbmMask) DeleteObject(ii.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_NE(LoadIconA(Module(), MAKEINTRESOURCEA(IDI_APP)), nullptr);
}

TEST(Images, LinkCursorIsMonochromeHandWithHotSpotAtFingertip) {
    HCURSOR cur = LoadCursorA(Module(), MAKEINTRESOURCEA(IDC_LINK_CURSOR));
    ASSERT_NE(cur, nullptr);
    ICONINFO ii = {};
    ASSERT_TRUE(GetIconInfo(cur, &ii));
    EXPECT_FALSE(ii.fIcon);
    EXPECT_EQ(ii.xHotspot, 5u);
    EXPECT_EQ(ii.yHotspot, 0u);
    EXPECT_EQ(ii.hbmColor, nullptr) << "monochrome: AND and XOR masks only";
    ASSERT_NE(ii.hbmMask, nullptr);
    BITMAP bm = {};
    GetObjectA(ii.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    ASSERT_EQ(bm.bmHeight, 64);

    // Read both masks: AND on top, XOR below.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ii.hbmMask);
    auto andBit = [&](int x, int y) { return GetPixel(dc, x, y) != 0; };
    auto xorBit = [&](int x, int y) { return GetPixel(dc, x, y + 32) != 0; };
    // The hot spot is the black outline of the fingertip; the corner is clear.
    EXPECT_FALSE(andBit(5, 0));
    EXPECT_FALSE(xorBit(5, 0));
    EXPECT_TRUE(andBit(0, 0));
    EXPECT_FALSE(xorBit(0, 0));
    EXPECT_TRUE(andBit(31, 31));
    // White inside the finger.
    EXPECT_FALSE(andBit(5, 3));
    EXPECT_TRUE(xorBit(5, 3));
    // No inverted pixels (AND and XOR both set) anywhere.
    int inverted = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) inverted += andBit(x, y) && xorBit(x, y);
    EXPECT_EQ(inverted, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(ii.hbmMask);
}

TEST(Images, PlaceholderPngDecodesWithGdiPlus) {
    using namespace Gdiplus;
    ULONG_PTR token = 0;
    GdiplusStartupInput in;
    ASSERT_EQ(GdiplusStartup(&token, &in, nullptr), Ok);
    wchar_t path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, QUORVANE_ICON_PNG, -1, path, MAX_PATH);
    GpBitmap* bmp = nullptr;
    ASSERT_EQ(DllExports::GdipCreateBitmapFromFile(path, &bmp), Ok) << QUORVANE_ICON_PNG;
    UINT w = 0, h = 0;
    DllExports::GdipGetImageWidth(bmp, &w);
    DllExports::GdipGetImageHeight(bmp, &h);
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 64u);
    ARGB centre = 0, corner = 0xFFFFFFFF;
    DllExports::GdipBitmapGetPixel(bmp, 20, 32, &centre);
    DllExports::GdipBitmapGetPixel(bmp, 0, 0, &corner);
    EXPECT_EQ(centre >> 24, 255u) << "the picture is opaque";
    EXPECT_EQ(corner >> 24, 0u) << "its surroundings are clear";
    DllExports::GdipDisposeImage(bmp);
    GdiplusShutdown(token);
}

TEST(Strings, ApplicationTitleManifestAndVersion) {
    char title[64] = "";
    EXPECT_EQ(LoadStringA(Module(), IDS_APP_TITLE, title, sizeof title), 8);
    EXPECT_STREQ(title, "Quorvane");

    HRSRC man = FindResourceA(Module(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(man, nullptr);
    std::string xml(static_cast<const char*>(LockResource(LoadResource(Module(), man))),
                    SizeofResource(Module(), man));
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("version=\"6.0.0.0\""), std::string::npos);
    // Windows asks for elevation before the program starts.
    EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);
    // Aware of each monitor's resolution: per monitor (v2 where Windows has
    // it), and aware at all on systems older than the per-monitor setting.
    EXPECT_NE(xml.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(xml.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(xml.find("version=\"" QV_VERSION_TEXT ".0\""), std::string::npos);

    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(exe, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(QV_VERSION_MINOR, QV_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(MAKELONG(0, QV_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    char* product = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(&product), &len));
    EXPECT_STREQ(product, "Quorvane");
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ(text, QV_VERSION_TEXT);
}

TEST(HelpFile, IsACompiledHelpFile) {
    HANDLE f = CreateFileA(QUORVANE_HELP_CHM, GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << QUORVANE_HELP_CHM;
    char magic[4] = {};
    DWORD got = 0;
    ReadFile(f, magic, 4, &got, nullptr);
    LARGE_INTEGER size = {};
    GetFileSizeEx(f, &size);
    CloseHandle(f);
    EXPECT_EQ(std::string(magic, got), "ITSF");
    EXPECT_GT(size.QuadPart, 4096);
}

std::string ReadHelpSource(const std::string& name) {
    std::string text;
    HANDLE f = CreateFileA((std::string(QUORVANE_HELP_SOURCES) + "\\" + name).c_str(), GENERIC_READ,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(f);
    return text;
}

// Every value of the attribute (as `attribute="`) in text.
std::vector<std::string> AttributeValues(const std::string& text, const std::string& attribute) {
    std::vector<std::string> values;
    for (size_t at = text.find(attribute); at != std::string::npos; at = text.find(attribute, at + 1)) {
        const size_t start = at + attribute.size();
        const size_t end = text.find('"', start);
        if (end == std::string::npos)
            break;
        values.push_back(text.substr(start, end - start));
    }
    return values;
}

// The index's and the contents' entries, and the links between the pages,
// each lead to a page compiled into the help file and to an anchor that page
// has: a keyword never opens a missing page or the top of the wrong one.
TEST(HelpFile, EveryIndexEntryAndLinkLeadsToAPageAndAnchor) {
    const std::string project = ReadHelpSource("help.hhp");
    ASSERT_NE(project.find("[FILES]"), std::string::npos);
    std::set<std::string> compiled;
    for (size_t at = project.find("[FILES]"); (at = project.find('\n', at)) != std::string::npos;) {
        ++at;
        std::string line = project.substr(at, project.find_first_of("\r\n", at) - at);
        if (!line.empty())
            compiled.insert(line);
    }

    struct Target {
        std::string from, page, anchor;
    };
    std::vector<Target> targets;
    const auto add = [&](const std::string& from, const std::string& local) {
        const size_t hash = local.find('#');
        targets.push_back({from, local.substr(0, hash), hash == std::string::npos ? "" : local.substr(hash + 1)});
    };
    for (const char* list : {"help.hhk", "help.hhc"}) {
        const std::string text = ReadHelpSource(list);
        ASSERT_FALSE(text.empty()) << list;
        const auto names = AttributeValues(text, "<param name=\"Name\" value=\"");
        const auto locals = AttributeValues(text, "<param name=\"Local\" value=\"");
        EXPECT_GE(locals.size(), 9u) << list;
        if (std::string(list) == "help.hhk") {
            EXPECT_EQ(names.size(), locals.size()) << "an index keyword without its page";
        }
        for (const std::string& local : locals)
            add(list, local);
    }
    for (const std::string& page : compiled) {
        if (page.size() < 4 || page.compare(page.size() - 4, 4, ".htm") != 0)
            continue;
        for (const std::string& href : AttributeValues(ReadHelpSource(page), "href=\"")) {
            if (href.find(':') == std::string::npos && href.find(".css") == std::string::npos)
                add(page, href.front() == '#' ? page + href : href);
        }
    }
    for (const Target& target : targets) {
        EXPECT_EQ(compiled.count(target.page), 1u) << target.from << " leads to " << target.page
                                                   << ", which is not compiled into the help file";
        const std::string page = ReadHelpSource(target.page);
        ASSERT_FALSE(page.empty()) << target.from << " leads to " << target.page << ", which is not there";
        if (!target.anchor.empty()) {
            EXPECT_NE(page.find("name=\"" + target.anchor + "\""), std::string::npos)
                << target.from << " leads to " << target.page << "#" << target.anchor << ", which has no such anchor";
        }
    }
}

}  // namespace
