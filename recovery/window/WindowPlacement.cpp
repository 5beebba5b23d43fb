#include "WindowPlacement.h"

#include <cstdio>
#include <cstdlib>

#include "SettingsFiles.h"

namespace {

// One whole number at text, up to the next comma or the end; text moves past
// the comma. False for anything else (empty, a sign alone, other characters).
bool NextNumber(const char*& text, long& value)
{
    const char* start = text;
    if (*text == '-')
        ++text;
    if (*text < '0' || *text > '9')
        return false;
    while (*text >= '0' && *text <= '9')
        ++text;
    // Places are far smaller than this; longer runs are not a place.
    if (text - start > 9)
        return false;
    value = std::strtol(start, nullptr, 10);
    if (*text == ',')
        ++text;
    else if (*text != '\0')
        return false;
    return true;
}

}  // namespace

CString CWindowPlacement::Format(const RECT& place, bool maximised)
{
    char text[80];
    std::snprintf(text, sizeof(text), "%ld,%ld,%ld,%ld,%d", static_cast<long>(place.left),
                  static_cast<long>(place.top), static_cast<long>(place.right), static_cast<long>(place.bottom),
                  maximised ? 1 : 0);
    return text;
}

bool CWindowPlacement::Parse(const CString& text, RECT& place, bool& maximised)
{
    const char* at = text.GetString();
    long values[5];
    for (int i = 0; i < 5; ++i) {
        if (!NextNumber(at, values[i]))
            return false;
        // A comma after the last number is not the form either.
        if ((i < 4) != (at[-1] == ','))
            return false;
    }
    if (*at != '\0' || (values[4] != 0 && values[4] != 1))
        return false;
    if (values[2] <= values[0] || values[3] <= values[1])
        return false;
    place = RECT{values[0], values[1], values[2], values[3]};
    maximised = values[4] == 1;
    return true;
}

bool CWindowPlacement::Read(HWND window, RECT& place, bool& maximised)
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (!::GetWindowPlacement(window, &wp))
        return false;
    place = wp.rcNormalPosition;
    // Minimised when it ends, it comes back as it was before.
    maximised = wp.showCmd == SW_SHOWMAXIMIZED ||
                (wp.showCmd == SW_SHOWMINIMIZED && (wp.flags & WPF_RESTORETOMAXIMIZED) != 0);
    return true;
}

void CWindowPlacement::Restore(HWND window, SIZE least)
{
    RECT place;
    bool maximised = false;
    if (!Parse(ReadWindowPlace(), place, maximised))
        return;
    if (place.right - place.left < least.cx)
        place.right = place.left + least.cx;
    if (place.bottom - place.top < least.cy)
        place.bottom = place.top + least.cy;
    // The screen it was on may be gone (a second monitor unplugged, a
    // smaller desktop): a window there could not be reached.
    if (!::MonitorFromRect(&place, MONITOR_DEFAULTTONULL))
        return;

    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (!::GetWindowPlacement(window, &wp))
        return;
    wp.rcNormalPosition = place;
    wp.flags = 0;
    // Not shown yet: it is shown, at this place, when the dialog opens.
    const bool shown = ::IsWindowVisible(window) != FALSE;
    wp.showCmd = maximised ? SW_SHOWMAXIMIZED : (shown ? SW_SHOWNORMAL : SW_HIDE);
    // Maximised, it is shown at once, and told so before it is maximised.
    if (::SetWindowPlacement(window, &wp) && ::IsWindowVisible(window))
        m_known = Read(window, m_opened, m_openedMaximised);
}

void CWindowPlacement::Opened(HWND window)
{
    // Placed by now: restored, or centred by the dialog when it was not.
    if (!m_known)
        m_known = Read(window, m_opened, m_openedMaximised);
}

void CWindowPlacement::Remember(HWND window) const
{
    RECT place;
    bool maximised = false;
    if (!Read(window, place, maximised))
        return;
    // Never shown (the program ended at its start), or where it opened.
    if (!m_known || (EqualRect(&place, &m_opened) && maximised == m_openedMaximised))
        return;
    WriteWindowPlace(Format(place, maximised));
}
