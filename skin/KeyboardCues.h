// The keyboard's marks on the controls that draw themselves: the underlined
// access key and the focus rectangle, shown or hidden as Windows says for
// the window (WM_QUERYUISTATE: hidden until the keyboard is used).
#pragma once

#include <windows.h>

#include <string>

// text ready for DrawText without DT_NOPREFIX: every '&' of its own doubled,
// and the first letter equal to key (either case) marked to be underlined.
// Without key, or without that letter, nothing is underlined.
std::string TextWithAccessKey(const char* text, char key);

// DT_HIDEPREFIX while the window hides its access keys, else 0.
UINT AccessKeyDrawFlags(HWND control);
// Whether the window hides its focus rectangles now.
bool FocusCuesHidden(HWND control);
