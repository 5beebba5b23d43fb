// A decoded picture ready to draw, its GDI+ bitmap owned: the thumbnails
// and the preview hold one and draw from it, whichever way it was had.
#pragma once

namespace Gdiplus {
class GpBitmap;
}

// Owns one GDI+ bitmap and disposes of it. Moves, never copies.
class CGdiBitmap {
public:
    CGdiBitmap() = default;
    explicit CGdiBitmap(Gdiplus::GpBitmap* bitmap) : m_bitmap(bitmap) {}
    ~CGdiBitmap();
    CGdiBitmap(CGdiBitmap&& other) noexcept : m_bitmap(other.Release()) {}
    CGdiBitmap& operator=(CGdiBitmap&& other) noexcept;
    CGdiBitmap(const CGdiBitmap&) = delete;
    CGdiBitmap& operator=(const CGdiBitmap&) = delete;

    Gdiplus::GpBitmap* Get() const { return m_bitmap; }
    explicit operator bool() const { return m_bitmap != nullptr; }
    // 0 for none.
    unsigned Width() const;
    unsigned Height() const;
    void Reset(Gdiplus::GpBitmap* bitmap = nullptr);
    // Gives the bitmap up to the caller, who disposes of it.
    Gdiplus::GpBitmap* Release();

private:
    Gdiplus::GpBitmap* m_bitmap = nullptr;
};

// An image, the part of it that is the picture (a camera's thumbnail may
// carry bars), and the size of the picture it stands for: a smaller copy
// (an Exif thumbnail, a DC eighth, a screen-sized copy) stands for the
// whole photo, drawn at that photo's shape.
struct DecodedPicture {
    CGdiBitmap image;
    int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
    unsigned width = 0, height = 0;

    explicit operator bool() const { return static_cast<bool>(image); }

    // The whole of image, standing for a picture of width x height (its own
    // size when 0).
    static DecodedPicture Whole(CGdiBitmap image, unsigned width = 0, unsigned height = 0);
};

// A copy of picture at most maxWidth x maxHeight (never enlarged), on
// white where it is transparent, standing for the same picture. Drawing
// reads the pixels: empty when they do not decode.
DecodedPicture FittedCopy(const DecodedPicture& picture, int maxWidth, int maxHeight);

// Turns the picture as Exif orientation 1 to 8 says its stored pixels are
// shown: the image, the part of it that is the picture, and the size it
// stands for (5 to 8 swap width and height). Other values leave it as it
// is; so does a turn GDI+ refuses (the picture then stays as stored).
void TurnUpright(DecodedPicture& picture, unsigned orientation);
