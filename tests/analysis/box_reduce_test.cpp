// Large PNG and TIFF thumbnails, box-reduced before their bicubic scale:
// the same thumbnail as a bicubic scale of the whole picture, transparent
// parts on white, and damaged files of each kind handled as before.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "BoxReduce.h"
#include "TestPictures.h"
#include "Thumbnail.h"
#include "UiTest.h"
#include "WindowTest.h"

using namespace uitest;
using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// A w x h picture of colour gradients and darker blocks, its right third
// half transparent when alpha, saved as mime.
bool SavePattern(const std::string& path, int w, int h, const wchar_t* mime, bool alpha)
{
    CLSID clsid;
    if (!EncoderFor(mime, clsid))
        return false;
    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &made);
    CGdiBitmap bitmap(made);
    if (!bitmap)
        return false;
    GpRect all = {0, 0, w, h};
    BitmapData data = {};
    if (GdipBitmapLockBits(bitmap.Get(), &all, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok)
        return false;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(static_cast<char*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < w; ++x) {
            uint32_t r = (x + y) * 255u / static_cast<unsigned>(w + h), g = 255u - y * 255u / static_cast<unsigned>(h),
                     b = x * 255u / static_cast<unsigned>(w);
            if ((x / 300 + y / 300) % 2) {
                r /= 2;
                g /= 2;
            }
            const uint32_t a = alpha && x > 2 * w / 3 ? 128u : 255u;
            line[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    GdipBitmapUnlockBits(bitmap.Get(), &data);
    const std::wstring wide(path.begin(), path.end());
    return GdipSaveImageToFile(bitmap.Get(), wide.c_str(), &clsid, nullptr) == Ok;
}

// The thumbnail as a bicubic scale of the whole decoded picture draws it.
ThumbnailPixels WholeScaled(const std::string& path)
{
    ThumbnailPixels pixels(64 * 64, 0xFFFFFF);
    const std::wstring wide(path.begin(), path.end());
    GpBitmap* made = nullptr;
    GdipCreateBitmapFromFile(wide.c_str(), &made);
    CGdiBitmap picture(made);
    GdipCreateBitmapFromScan0(64, 64, 0, PixelFormat32bppRGB, nullptr, &made);
    CGdiBitmap thumb(made);
    if (!picture || !thumb)
        return pixels;
    GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(thumb.Get(), &graphics);
    GdipGraphicsClear(graphics, 0xFFFFFFFF);
    GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
    const ThumbnailRect rc = FitThumbnail(picture.Width(), picture.Height());
    GdipDrawImageRectRectI(graphics, picture.Get(), rc.x, rc.y, rc.width, rc.height, 0, 0,
                           static_cast<INT>(picture.Width()), static_cast<INT>(picture.Height()), UnitPixel, nullptr,
                           nullptr, nullptr);
    GdipDeleteGraphics(graphics);
    GpRect all = {0, 0, 64, 64};
    BitmapData data = {};
    if (GdipBitmapLockBits(thumb.Get(), &all, ImageLockModeRead, PixelFormat32bppRGB, &data) == Ok) {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                pixels[y * 64 + x] =
                    reinterpret_cast<const uint32_t*>(static_cast<const char*>(data.Scan0) + y * data.Stride)[x] &
                    0xFFFFFF;
        GdipBitmapUnlockBits(thumb.Get(), &data);
    }
    return pixels;
}

double MeanDifference(const ThumbnailPixels& a, const ThumbnailPixels& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift : {0, 8, 16})
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
    }
    return sum / (a.size() * 3.0);
}

class BoxReduceTest : public ::testing::Test {
protected:
    TempFolder m_folder{"box-reduce"};
};

// A 2560 x 1440 screenshot with half-transparent parts, and a 12-megapixel
// TIFF: within a few levels of a whole picture's bicubic scale.
TEST_F(BoxReduceTest, LargePngAndTiffLikeAWholeScale)
{
    struct Case {
        const char* name;
        int w, h;
        const wchar_t* mime;
        bool alpha;
    };
    for (const Case& c : {Case{"shot.png", 2560, 1440, L"image/png", true}, Case{"photo.tif", 4000, 3000, L"image/tiff", false},
                          Case{"tall.png", 900, 3000, L"image/png", false}}) {
        const std::string path = m_folder.Join(c.name);
        ASSERT_TRUE(SavePattern(path, c.w, c.h, c.mime, c.alpha)) << c.name;
        ThumbnailPixels pixels;
        PictureDetails details;
        ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels, &details)) << c.name;
        EXPECT_EQ(static_cast<unsigned>(c.w), details.width) << c.name;
        const double difference = MeanDifference(pixels, WholeScaled(path));
        EXPECT_LT(difference, 4.0) << c.name;
        std::printf("%s: mean difference %.2f levels\n", c.name, difference);
    }
}

// The reduction itself: the largest whole factor that leaves the size asked
// for, each pixel its box's mean on white, the part that is the picture
// alone; nothing when the factor would be below 2.
TEST_F(BoxReduceTest, WholeFactorsOfThePictureOnWhite)
{
    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(1000, 520, 0, PixelFormat32bppARGB, nullptr, &made);
    DecodedPicture picture = DecodedPicture::Whole(CGdiBitmap(made));
    ASSERT_TRUE(picture);
    GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(picture.image.Get(), &graphics);
    GdipGraphicsClear(graphics, 0x80FF0000);  // half-transparent red
    GpSolidFill* black = nullptr;
    GdipCreateSolidFill(0xFF000000, &black);
    GdipFillRectangleI(graphics, black, 0, 0, 1000, 10);  // bars the picture lies between
    GdipFillRectangleI(graphics, black, 0, 510, 1000, 10);
    GdipDeleteBrush(black);
    GdipDeleteGraphics(graphics);
    picture.srcY = 10;
    picture.srcHeight = 500;

    const DecodedPicture reduced = BoxReduced(picture, 128, 64);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(142, reduced.srcWidth);  // a factor of 7
    EXPECT_EQ(71, reduced.srcHeight);
    EXPECT_EQ(1000u, reduced.width);   // still standing for the whole
    EXPECT_EQ(520u, reduced.height);
    GpRect all = {0, 0, reduced.srcWidth, reduced.srcHeight};
    BitmapData data = {};
    ASSERT_EQ(Ok, GdipBitmapLockBits(reduced.image.Get(), &all, ImageLockModeRead, PixelFormat32bppRGB, &data));
    int off = 0;
    for (int y = 0; y < reduced.srcHeight; ++y) {
        for (int x = 0; x < reduced.srcWidth; ++x) {
            const uint32_t p = reinterpret_cast<const uint32_t*>(static_cast<const char*>(data.Scan0) + y * data.Stride)[x];
            // Red at half on white, no trace of the black bars.
            if (std::abs(static_cast<int>((p >> 16) & 0xFF) - 255) > 1 || std::abs(static_cast<int>((p >> 8) & 0xFF) - 127) > 2 ||
                std::abs(static_cast<int>(p & 0xFF) - 127) > 2)
                ++off;
        }
    }
    GdipBitmapUnlockBits(reduced.image.Get(), &data);
    EXPECT_EQ(0, off);

    EXPECT_FALSE(BoxReduced(picture, 501, 64));  // 1000 / 501 is 1
    EXPECT_FALSE(BoxReduced(DecodedPicture(), 64, 64));
}

// Cut short, a large PNG and TIFF still give a thumbnail or white, and no
// more than GDI+ makes of them: never a crash or stray pixels.
TEST_F(BoxReduceTest, DamagedPngAndTiff)
{
    for (const char* name : {"cut.png", "cut.tif"}) {
        const std::string path = m_folder.Join(name);
        ASSERT_TRUE(SavePattern(path, 3000, 2000, name[5] == 'p' ? L"image/png" : L"image/tiff", false));
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        for (const size_t keep : {bytes.size() / 2, size_t(600)}) {
            std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(keep));
            ThumbnailPixels pixels;
            const bool drawn = RenderThumbnail(path.c_str(), pixels);
            ASSERT_EQ(64u * 64u, pixels.size()) << name << " " << keep;
            if (!drawn) {
                for (uint32_t p : pixels)
                    ASSERT_EQ(0xFFFFFFu, p) << name << " " << keep;
            } else {
                EXPECT_LT(MeanDifference(pixels, WholeScaled(path)), 4.0) << name << " " << keep;
            }
        }
    }
}

}  // namespace
