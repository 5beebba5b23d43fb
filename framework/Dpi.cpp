#include "Dpi.h"

namespace dpi {

UINT Of(HWND window)
{
    // Windows 10 (1607) and later: the window's own monitor.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        const UINT value = getDpiForWindow(window);
        if (value > 0)
            return value;
    }
    HDC screen = ::GetDC(nullptr);
    const int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return value > 0 ? static_cast<UINT>(value) : kDesigned;
}

RECT Rescale(const RECT& rc, UINT from, UINT to)
{
    return RECT{Rescale(rc.left, from, to), Rescale(rc.top, from, to), Rescale(rc.right, from, to),
                Rescale(rc.bottom, from, to)};
}

}  // namespace dpi
