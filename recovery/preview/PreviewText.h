// The preview's control texts, read and set.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "Framework.h"

inline CString TextOf(HWND control)
{
    std::string text(static_cast<size_t>(std::max(0, ::GetWindowTextLengthA(control))) + 1, '\0');
    text.resize(static_cast<size_t>(std::max(0, ::GetWindowTextA(control, &text[0], static_cast<int>(text.size())))));
    return CString(std::move(text));
}

// Sets the text only when it differs; true when it did.
inline bool SetText(HWND window, const CString& text)
{
    if (TextOf(window) == text)
        return false;
    ::SetWindowTextA(window, text);
    return true;
}
