#include "KeyboardCues.h"

#include <cctype>

std::string TextWithAccessKey(const char* text, char key)
{
    std::string drawn;
    bool marked = key == 0;
    const int wanted = std::tolower(static_cast<unsigned char>(key));
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '&') {
            drawn += "&&";
            continue;
        }
        if (!marked && std::tolower(static_cast<unsigned char>(*c)) == wanted) {
            drawn += '&';
            marked = true;
        }
        drawn += *c;
    }
    return drawn;
}

UINT AccessKeyDrawFlags(HWND control)
{
    const LRESULT state = ::SendMessageA(control, WM_QUERYUISTATE, 0, 0);
    return (state & UISF_HIDEACCEL) ? DT_HIDEPREFIX : 0;
}

bool FocusCuesHidden(HWND control)
{
    return (::SendMessageA(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
}
