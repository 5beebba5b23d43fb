// What a filter or sort change costs at scale: the real main window is
// given N finds (default 50,000) with names, sizes, dates and records as a
// search of a computer's disk gives them (photos, icons, web pictures), and
// each change is made through the filter bar and timed until the list has
// drawn it. Also prints what the finds cost in memory. Run by
// scripts/bench-filter under Wine; prints figures, asserts nothing.
#include "AnalysisHarness.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <random>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// Whether any of the item is inside the list's client area.
bool InViewAt(HWND list, int item)
{
    RECT rc = {LVIR_BOUNDS, 0, 0, 0};
    RECT client, both;
    GetClientRect(list, &client);
    return SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rc)) &&
           IntersectRect(&both, &rc, &client);
}

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Committed memory (Wine leaves PrivateUsage at 0).
double PrivateMB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

// Every JPEG in QV_BENCH_PHOTOS but the camera's small copies.
std::vector<std::string> Photos()
{
    std::vector<std::string> photos;
    const char* folder = std::getenv("QV_BENCH_PHOTOS");
    if (!folder || !*folder)
        return photos;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(folder) + "\\*.jpg").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return photos;
    do {
        if (!std::strstr(found.cFileName, "-thumb"))
            photos.push_back(std::string(folder) + "\\" + found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return photos;
}

double PeakMB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakPagefileUsage) / (1024.0 * 1024.0);
}

// Asks the script for a screenshot (QV_BENCH_SHOTS, a folder): writes the
// name into "take" there and waits until the script has taken it.
void Screenshot(const char* name)
{
    const char* folder = std::getenv("QV_BENCH_SHOTS");
    if (!folder || !*folder)
        return;
    const std::string take = std::string(folder) + "\\take";
    WriteFileBytes(take, name);
    for (int i = 0; i < 200 && GetFileAttributesA(take.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Pump(50);
}

// The window with its list taking the finds straight from the bench, as the
// intake hands them on, and shown analysed as the analysis's end shows it:
// tens of thousands of finds cannot come the way a search brings them (a
// file each, decoded). Only this benchmark opens the window's parts.
class BenchDlg : public TestDlg {
public:
    IFindsSink& Finds() { return m_list; }
    CPictureList& List() { return m_list; }
    void Clear() { m_list.Clear(); }
    void ShowCount() { m_list.ShowCount(); }
    const CBoxThumbnails& BoxThumbnails() const { return m_list.BoxThumbnails(); }
    void ShowAnalysed() { m_monitor.EnterAnalysed(); }
};

class FilterBench : public WindowFixture {
protected:
    BenchDlg& Bench() { return static_cast<BenchDlg&>(Dlg()); }
};

TEST_F(FilterBench, Changes)
{
    const char* count = std::getenv("QV_BENCH_FINDS");
    const int n = count && *count ? std::atoi(count) : 50000;
    Open<BenchDlg>();
    HWND list = Ctl(IDC_PICTURE_LIST);
    SetWindowPos(list, nullptr, 0, 0, 760, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowWindow(Dlg().FilterBar(), SW_SHOW);

    // The view (BENCH_THUMBS) chosen before the finds come, as a user who
    // chose it at an earlier start would have it (BENCH_VIEW_FIRST=1).
    const char* thumbs = std::getenv("QV_BENCH_THUMBS");
    const char* first = std::getenv("QV_BENCH_VIEW_FIRST");
    const bool viewFirst = thumbs && *thumbs && first && *first == '1';
    // The thumbnails' cache in a work folder of the bench's own.
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "quorvane-bench-work";
    CreateDirectoryA(work.c_str(), nullptr);
    double before = 0, after = 0, took = 0;
    int heldAfter = 0;
    Dlg().RunOnUi([&] {
        Bench().List().Clear();
        Bench().List().KeepThumbnailsIn(work.c_str());
        if (viewFirst && std::string(thumbs) == "details")
            Bench().List().ShowDetails(true);
        else if (viewFirst)
            Bench().List().SetThumbnailSize(std::atoi(thumbs));
        else {
            // As a first start: the view an earlier run left is not kept.
            Bench().List().ShowDetails(false);
            Bench().List().SetThumbnailSize(kThumbSize);
        }
        before = PrivateMB();
        const double start = Now();
        std::mt19937 rng(7);
        const ThumbnailPixels pixels(static_cast<size_t>(kThumbSize * kThumbSize), 0x8080C0);
        // With real photos (QV_BENCH_PHOTOS, a folder of JPEGs) the camera
        // finds point at them, so that medium and large thumbnails are made
        // from real files.
        const std::vector<std::string> photos = Photos();
        for (int i = 0; i < n; ++i) {
            PictureDetails details;
            char name[MAX_PATH];
            const int kind = static_cast<int>(rng() % 10);
            if (kind < 3) {  // a camera photo, by its record
                std::snprintf(name, sizeof name, "C:\\Q\\data\\temp\\d%04d\\IMG_%05d.jpg", i / 250 + 1, i);
                details.width = 4000;
                details.height = 3000;
                details.bytes = 2000000 + rng() % 3000000;
                std::snprintf(name + 200, 40, "2019:%02u:%02u 12:%02u:00", 1 + rng() % 12, 1 + rng() % 28,
                              rng() % 60);
                details.taken = name + 200;
                details.camera = "Canon EOS 5D";
            } else {  // an icon or a web picture found by its contents
                std::snprintf(name, sizeof name, "C:\\Q\\data\\temp\\d%04d\\f%010u.%s", i / 250 + 1,
                              static_cast<unsigned>(i) * 17u, kind < 7 ? "png" : "gif");
                details.width = details.height = 16 + rng() % 300;
                details.bytes = 500 + rng() % 60000;
            }
            details.written = 132000000000000000ull + rng();
            // The photos come from the file system's records, most of them deleted.
            if (kind < 3 && !photos.empty())
                std::snprintf(name, sizeof name, "%s", photos[static_cast<size_t>(i) % photos.size()].c_str());
            FindRecord record;
            record.folder = "\\DCIM\\100CANON";
            record.deleted = kind < 2;
            NewFind find;
            find.path = name;
            find.pixels = pixels;
            find.details = details;
            find.decodes = true;
            find.record = kind < 3 ? &record : nullptr;
            Bench().Finds().AddFind(find);
        }
        Bench().ShowCount();
        took = Now() - start;
        after = PrivateMB();
        heldAfter = Bench().List().HeldSmallThumbnails();
    });
    std::printf("finds:                               %d\n", n);
    std::printf("taken in (no decoding):              %8.3f s\n", took);
    std::printf("memory for them:                     %8.1f MB (%.0f bytes a find, of which %u the thumbnail)\n",
                after - before, (after - before) * 1024 * 1024 / n, static_cast<unsigned>(CPictureItems::kThumbBytes));
    std::printf("small thumbnails held then:          %d\n", heldAfter);
    if (viewFirst)
        std::printf("taken in at the view asked for:      %s\n", thumbs);

    HWND bar = Dlg().FilterBar();
    // The lists by an entry of theirs, as the user knows them.
    HWND sorts = ComboWithEntry(bar, "Order found");
    HWND sides = ComboWithEntry(bar, "Pictures of any size");
    HWND bytes = ComboWithEntry(bar, "Files of any size");
    HWND deleted = ComboWithEntry(bar, "Deleted only");
    HWND find = NthChild(bar, "Edit", 0);
    auto choose = [&](HWND combo, int entry, const char* what) {
        const double start = Now();
        ChooseEntry(combo, entry);
        UpdateWindow(list);
        const double seconds = Now() - start;
        std::printf("%-36s %8.3f s  (%d shown)\n", what, seconds,
                    static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
    };
    {
        const double start = Now();
        UpdateWindow(list);
        std::printf("%-36s %8.3f s\n", "first drawing of the list:", Now() - start);
    }
    choose(sorts, 4, "sort by name:");
    choose(sorts, 1, "sort by date, newest first:");
    choose(sorts, 3, "sort by size:");
    choose(sides, 2, "hide smaller than 200 x 200 (sorted):");
    choose(sorts, 0, "order found (filtered):");
    choose(bytes, 3, "and smaller than 100 KB:");
    choose(deleted, 1, "and deleted only:");
    choose(deleted, 0, "deleted and present:");
    choose(bytes, 0, "any file size:");
    choose(sides, 0, "everything again:");
    const double start = Now();
    SetWindowTextA(find, "IMG_1");
    UpdateWindow(list);
    std::printf("%-36s %8.3f s  (%d shown)\n", "find \"IMG_1\":", Now() - start,
                static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
    SetWindowTextA(find, "");
    UpdateWindow(list);

    // The view (BENCH_THUMBS: 64, 128, 256 or "details") maximised: the
    // time to switch to it and back, the longest answer while scrolling from
    // the top to the bottom, the large thumbnails held, the peak memory.
    if (!thumbs || !*thumbs)
        return;
    const bool details = std::string(thumbs) == "details";
    const int box = details ? 0 : std::atoi(thumbs);
    Dlg().RunOnUi([&] { Bench().ShowAnalysed(); });
    ShowWindow(m_hwnd, SW_MAXIMIZE);
    ShowWindow(bar, SW_SHOW);
    Pump(500);
    UpdateWindow(m_hwnd);
    HWND view = ComboWithEntry(bar, "Details");
    const int entry = details ? 3 : box >= 256 ? 2 : box >= 128 ? 1 : 0;
    auto switchTo = [&](int to, const char* what) {
        const double start = Now();
        ChooseEntry(view, to);
        UpdateWindow(list);
        std::printf("%-36s %8.3f s\n", what, Now() - start);
    };
    switchTo(entry, "switch to the view asked for:");
    switchTo(3, "switch to the details:");
    switchTo(1, "switch to medium thumbnails:");
    switchTo(entry, "switch back to the view asked for:");
    switchTo(0, "switch to small thumbnails:");
    switchTo(entry, "and back to the view asked for:");
    Pump(3000);
    RECT client = {};
    GetClientRect(list, &client);
    int inView = 0;
    while (inView < ItemCount(list) && InViewAt(list, inView))
        ++inView;
    RECT r0 = {LVIR_BOUNDS, 0, 0, 0}, r1 = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r0));
    SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r1));
    std::printf("list:                                %ld x %ld, %d pictures in view at the top"
                " (first at %ld,%ld, second at %ld,%ld, style %lx)\n",
                client.right, client.bottom, inView, r0.left, r0.top, r1.left, r1.top,
                static_cast<long>(GetWindowLongA(list, GWL_STYLE)));
    Screenshot(details ? "details-top" : "thumbnails-top");

    // Top to bottom a few screens at a time, as a dragged scroll bar does,
    // with a pause between for the thumbnails in view to be made.
    double longest = 0;
    int slow = 0;  // answers over 100 ms
    size_t mostHeld = 0;
    int steps = 0;
    const int step = details ? client.bottom * 20 : client.bottom * 4;
    for (;;) {
        RECT before = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&before));
        const double start = Now();
        SendMessageA(list, LVM_SCROLL, 0, step);
        UpdateWindow(list);
        const double took = Now() - start;
        if (took > 0.1)
            std::printf("  slow step %d: scroll and draw %.3f s\n", steps, took);
        longest = std::max(longest, took);
        slow += took > 0.1 ? 1 : 0;
        ++steps;
        Pump(20);
        size_t held = 0;
        const double answer = Now();
        Dlg().RunOnUi([&] { held = Bench().BoxThumbnails().Held(); });
        if (Now() - answer > 0.1)
            std::printf("  slow step %d: answer %.3f s\n", steps, Now() - answer);
        longest = std::max(longest, Now() - answer);
        slow += Now() - answer > 0.1 ? 1 : 0;
        mostHeld = std::max(mostHeld, held);
        RECT after = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&after));
        if (InViewAt(list, ItemCount(list) - 1) || after.top == before.top)
            break;
    }
    // The last screen's thumbnails made.
    Pump(3000);
    Screenshot(details ? "details-bottom" : "thumbnails-bottom");
    std::printf("scrolled to the bottom:              %d steps, longest answer %.3f s, %d answers over 0.1 s\n",
                steps, longest, slow);
    std::printf("large thumbnails held at most:       %u (of at most %u)\n", static_cast<unsigned>(mostHeld),
                static_cast<unsigned>(Bench().BoxThumbnails().Capacity(box)));
    std::printf("peak memory:                         %8.1f MB (now %.1f MB)\n", PeakMB(), PrivateMB());
    int smallHeld = 0;
    Dlg().RunOnUi([&] { smallHeld = Bench().List().HeldSmallThumbnails(); });
    WIN32_FILE_ATTRIBUTE_DATA cacheFile = {};
    GetFileAttributesExA((work + "\\thumbnails.cache").c_str(), GetFileExInfoStandard, &cacheFile);
    std::printf("small thumbnails held:               %d of %d; cache file %.1f MB\n", smallHeld, n,
                (static_cast<double>(cacheFile.nFileSizeHigh) * 4294967296.0 + cacheFile.nFileSizeLow) / 1048576.0);
    if (details) {
        // Sorted by date from the header, newest first.
        HWND header = ListView_GetHeader(list);
        RECT rc = {};
        Header_GetItemRect(header, 6, &rc);
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        const double start = Now();
        SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(header, WM_LBUTTONUP, 0, at);
        UpdateWindow(list);
        std::printf("%-36s %8.3f s\n", "sort by the Date header:", Now() - start);
        SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
        UpdateWindow(list);
        Screenshot("details-by-date");
    }
}

}  // namespace
