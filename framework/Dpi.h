// Sizes for the screen's resolution. The program's places and sizes are
// written for 96 dots per inch (100%); each goes through Scale with the dots
// per inch of the monitor its window is on, so that every control, font and
// picture box keeps its proportions at 125%, 150%, 200%.
#pragma once

#include <windows.h>

namespace dpi {

// What the program's pixel figures are written for.
const UINT kDesigned = 96;

// The dots per inch of the monitor window is on (GetDpiForWindow where
// Windows has it), else of the screen; kDesigned when neither tells.
UINT Of(HWND window);

// pixels at kDesigned, at dpi (rounded to the nearest pixel).
inline int Scale(int pixels, UINT dpi)
{
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDesigned));
}
// A size or place given at one resolution, at another.
inline int Rescale(int pixels, UINT from, UINT to)
{
    return from ? ::MulDiv(pixels, static_cast<int>(to), static_cast<int>(from)) : pixels;
}
RECT Rescale(const RECT& rc, UINT from, UINT to);

}  // namespace dpi
