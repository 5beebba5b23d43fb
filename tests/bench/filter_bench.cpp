// What a filter or sort change costs at scale: the real main window is
// given N finds (default 50,000) with names, sizes, dates and records as a
// search of a computer's disk gives them (photos, icons, web pictures), and
// each change is made through the filter bar and timed until the list has
// drawn it. Also prints what the finds cost in memory. Run by
// scripts/bench-filter under Wine; prints figures, asserts nothing.
#include "AnalysisHarness.h"

#include <psapi.h>

#include <cstdio>
#include <random>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

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

class FilterBench : public WindowFixture {};

TEST_F(FilterBench, Changes)
{
    const char* count = std::getenv("QV_BENCH_FINDS");
    const int n = count && *count ? std::atoi(count) : 50000;
    Open();
    HWND list = Ctl(IDC_PICTURE_LIST);
    SetWindowPos(list, nullptr, 0, 0, 760, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowWindow(Dlg().FilterBar(), SW_SHOW);

    double before = 0, after = 0, took = 0;
    Dlg().RunOnUi([&] {
        Dlg().ClearPictureList();
        before = PrivateMB();
        const double start = Now();
        std::mt19937 rng(7);
        const ThumbnailPixels pixels(static_cast<size_t>(kThumbSize * kThumbSize), 0x8080C0);
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
            Dlg().AddThumbnail(pixels, name, details, true);
            ++Dlg().NextItem();
            // The photos come from the file system's records, most of them deleted.
            if (kind < 3)
                Dlg().SetRecord(i, "\\DCIM\\100CANON", kind < 2);
        }
        Dlg().ShowPictureCount();
        took = Now() - start;
        after = PrivateMB();
    });
    std::printf("finds:                               %d\n", n);
    std::printf("taken in (no decoding):              %8.3f s\n", took);
    std::printf("memory for them:                     %8.1f MB (%.0f bytes a find, of which %u the thumbnail)\n",
                after - before, (after - before) * 1024 * 1024 / n, static_cast<unsigned>(CPictureItems::kThumbBytes));

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
}

}  // namespace
