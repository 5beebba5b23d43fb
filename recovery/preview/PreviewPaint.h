// The preview's painting: the whole client area drawn off screen, the
// picture area framed and white, and in it the picture fitted (never
// enlarged, centred) or the placeholder of one that cannot be shown.
#pragma once

#include <windows.h>

#include "PreviewDecoder.h"

// Paints window (between BeginPaint and EndPaint on dc) with image in
// area; the placeholder stands a line above the middle, over its message.
void PaintPreview(HWND window, HDC dc, const RECT& dirty, const RECT& area, const PreviewImage& image,
                  const CGdiBitmap& placeholder, int lineHeight);
