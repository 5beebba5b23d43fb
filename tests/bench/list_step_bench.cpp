// What one step of the picture list costs on this platform, with nothing of
// the program around it: an owner-data icon view of 64 x 64 images, as the
// main window's, told of 4 new items every 40 ms (LVM_SETITEMCOUNT, then
// LVM_ARRANGE for list controls that do not place such items themselves)
// and scrolled to the last one, up to 1,000 items. Prints the average, the
// 90th percentile and the longest of each. Run by scripts/bench-list; a
// benchmark, not a test.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int kItems = 1000;
const int kStep = 4;

HWND g_list;
int g_count;
std::vector<double> g_count_ms, g_arrange_ms, g_scroll_ms;

double NowMs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Report(const char* what, std::vector<double> ms)
{
    double sum = 0;
    for (double m : ms)
        sum += m;
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s average %6.1f ms, 90%% under %6.1f ms, longest %6.1f ms\n", what,
                sum / static_cast<double>(ms.size()), ms[ms.size() * 9 / 10], ms.back());
}

void Step(HWND window)
{
    g_count += kStep;
    const double start = NowMs();
    SendMessageA(g_list, LVM_SETITEMCOUNT, g_count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    const double counted = NowMs();
    SendMessageA(g_list, LVM_ARRANGE, LVA_DEFAULT, 0);
    const double arranged = NowMs();
    SendMessageA(g_list, LVM_ENSUREVISIBLE, g_count - 1, TRUE);
    g_count_ms.push_back(counted - start);
    g_arrange_ms.push_back(arranged - counted);
    g_scroll_ms.push_back(NowMs() - arranged);
    if (g_count >= kItems) {
        KillTimer(window, 1);
        Report("LVM_SETITEMCOUNT", g_count_ms);
        Report("LVM_ARRANGE", g_arrange_ms);
        Report("scroll to the last item", g_scroll_ms);
        PostQuitMessage(0);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        if (info->hdr.code == LVN_GETDISPINFOA) {
            if (info->item.mask & LVIF_IMAGE)
                info->item.iImage = info->item.iItem % 4;
            if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 0)
                info->item.pszText[0] = '\0';
        }
        return 0;
    }
    case WM_TIMER:
        Step(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HIMAGELIST MakeImages()
{
    HIMAGELIST images = ImageList_Create(64, 64, ILC_COLOR24, 4, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    for (int i = 0; i < 4; ++i) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT rect = {0, 0, 64, 64};
        HBRUSH brush = CreateSolidBrush(RGB(60 * i, 255 - 60 * i, 128));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
        SelectObject(dc, old);
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return images;
}

}  // namespace

int main()
{
    InitCommonControls();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ListStepBench";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    // The main window's list is 830 x 560.
    HWND window = CreateWindowA(wc.lpszClassName, "List step", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 860, 620,
                                nullptr, nullptr, wc.hInstance, nullptr);
    g_list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_ICON | LVS_OWNERDATA,
                             10, 10, 830, 560, window, nullptr, wc.hInstance, nullptr);
    SendMessageA(g_list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(MakeImages()));
    SetTimer(window, 1, 40, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
