// Without the decoder DLLs beside it (this test's folder has none), the
// program still runs: HEIC, AVIF and WebP finds are listed undrawn, with
// the words that say so, and asking for their pixels gives nothing.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <string>

#include "PictureSource.h"
#include "PictureType.h"
#include "Thumbnail.h"

TEST(NoDecoders, NewFormatsAreListedUndrawn)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    for (PictureType type : {kTypeHeic, kTypeAvif, kTypeWebp})
        EXPECT_FALSE(CanDrawPictureType(type)) << type;
    EXPECT_TRUE(CanDrawPictureType(kTypeJpeg));
    for (const char* name : {"plain.heic", "plain.avif", "lossy.webp"}) {
        const std::string path = std::string(LIBRARY_SAMPLES) + "\\" + name;
        CPictureSource source(path.c_str());
        EXPECT_FALSE(source.Draws()) << name;
        EXPECT_FALSE(source.Whole()) << name;
        ThumbnailPixels pixels;
        EXPECT_FALSE(RenderThumbnail(path.c_str(), pixels)) << name;
    }
    Gdiplus::GdiplusShutdown(token);
}
