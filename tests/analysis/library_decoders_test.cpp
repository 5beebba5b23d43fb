// HEIC, AVIF and WebP finds read through the decoder libraries beside the
// program, from samples made with Debian's own encoders (a 160 x 120 blue
// picture with a red top-left corner): the whole picture the right way up,
// the cheap copy a thumbnail takes, the thumbnail itself, and a file cut
// short refused without harm.
#include "AnalysisHarness.h"

#include "PictureDescription.h"
#include "PictureSource.h"
#include "Thumbnail.h"

using namespace analysis;

namespace {

using namespace Gdiplus::DllExports;

std::string Sample(const char* name) { return std::string(LIBRARY_SAMPLES) + "\\" + name; }

uint32_t PixelAt(const DecodedPicture& picture, int x, int y)
{
    Gdiplus::ARGB argb = 0;
    GdipBitmapGetPixel(picture.image.Get(), x, y, &argb);
    return argb & 0xFFFFFF;
}

class LibraryDecoders : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};

}  // namespace

TEST_F(LibraryDecoders, EachFormatDecodesWholeAndUpright)
{
    for (const char* name : {"thumbed.heic", "plain.heic", "plain.avif", "lossy.webp", "lossless.webp"}) {
        SCOPED_TRACE(name);
        CPictureSource source(Sample(name).c_str());
        ASSERT_TRUE(source.Draws());
        const DecodedPicture picture = source.Whole();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture.width, 160u);
        EXPECT_EQ(picture.height, 120u);
        EXPECT_EQ(picture.srcWidth, 160);
        EXPECT_EQ(picture.srcHeight, 120);
        EXPECT_TRUE(Near(PixelAt(picture, 5, 5), 0xFF0000)) << std::hex << PixelAt(picture, 5, 5);
        EXPECT_TRUE(Near(PixelAt(picture, 150, 110), 0x2040C0)) << std::hex << PixelAt(picture, 150, 110);
        EXPECT_TRUE(Near(PixelAt(picture, 60, 10), 0x2040C0)) << std::hex << PixelAt(picture, 60, 10);
        EXPECT_EQ(source.Details().width, 160u);
        EXPECT_EQ(source.Details().height, 120u);
    }
}

TEST_F(LibraryDecoders, CheapCopiesStandForTheWholePicture)
{
    // A HEIC's own thumbnail item, no decode of the photo; none in a HEIC
    // without one (the thumbnail then decodes the photo).
    CPictureSource thumbed(Sample("thumbed.heic").c_str());
    DecodedPicture small = thumbed.Reduced(64, 48);
    ASSERT_TRUE(small);
    EXPECT_EQ(small.srcWidth, 96);
    EXPECT_EQ(small.srcHeight, 72);
    EXPECT_EQ(small.width, 160u);
    EXPECT_EQ(small.height, 120u);
    EXPECT_TRUE(Near(PixelAt(small, 3, 3), 0xFF0000));
    // Asked for more than the thumbnail holds: none.
    EXPECT_FALSE(thumbed.Reduced(128, 96));
    CPictureSource plain(Sample("plain.heic").c_str());
    EXPECT_FALSE(plain.Reduced(64, 48));

    // A WebP is scaled while it decodes.
    CPictureSource webp(Sample("lossy.webp").c_str());
    DecodedPicture scaled = webp.Reduced(32, 24);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled.srcWidth, 32);
    EXPECT_EQ(scaled.srcHeight, 24);
    EXPECT_EQ(scaled.width, 160u);
    EXPECT_EQ(scaled.height, 120u);
}

TEST_F(LibraryDecoders, ThumbnailsAreDrawnNotThePlaceholder)
{
    for (const char* name : {"thumbed.heic", "plain.heic", "plain.avif", "lossless.webp"}) {
        SCOPED_TRACE(name);
        ThumbnailPixels pixels;
        PictureDetails details;
        ASSERT_TRUE(RenderThumbnail(Sample(name).c_str(), pixels, &details));
        // 160 x 120 fills the width: the corner's red at the top left of
        // the picture's band, blue at its right.
        const ThumbnailRect fit = FitThumbnail(160, 120);
        EXPECT_TRUE(Near(pixels[(fit.y + 2) * kThumbSize + fit.x + 2], 0xFF0000));
        EXPECT_TRUE(Near(pixels[(fit.y + fit.height - 3) * kThumbSize + fit.x + fit.width - 3], 0x2040C0));
        EXPECT_EQ(details.width, 160u);
        EXPECT_EQ(details.height, 120u);
    }
}

TEST_F(LibraryDecoders, AFileCutShortIsRefusedEveryTime)
{
    CPictureSource cut(Sample("cut.heic").c_str());
    EXPECT_TRUE(cut.Draws());
    EXPECT_FALSE(cut.Reduced(64, 48));
    EXPECT_FALSE(cut.Whole());
    EXPECT_EQ(cut.Details().width, 0u);
    // Asked again (the thumbnail, then the preview): the same answer.
    ThumbnailPixels pixels;
    EXPECT_FALSE(RenderThumbnail(Sample("cut.heic").c_str(), pixels));
    EXPECT_FALSE(RenderThumbnail(Sample("cut.heic").c_str(), pixels));
    // Not a file at all.
    EXPECT_FALSE(CPictureSource(Sample("missing.webp").c_str()).Whole());
}

TEST_F(LibraryDecoders, PhoneDetailsComeFromTheExifItemButNotItsTurn)
{
    // The Exif item says orientation 6; the file's own boxes hold no turn,
    // and they are what libheif shows: the picture stays as stored.
    CPictureSource source(Sample("exif.heic").c_str());
    const PictureDetails& details = source.Details();
    EXPECT_EQ(details.taken, "2024:07:14 15:32:08");
    EXPECT_EQ(details.camera, "Quorvane Test Phone 1");
    EXPECT_EQ(details.lens, "Quorvane Test Lens 4.2mm f/1.8");
    const DecodedPicture picture = source.Whole();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture.width, 160u);
    EXPECT_EQ(picture.height, 120u);
    EXPECT_TRUE(Near(PixelAt(picture, 5, 5), 0xFF0000)) << std::hex << PixelAt(picture, 5, 5);
    // A HEIC without one has no date or camera, and is not refused for it.
    CPictureSource plain(Sample("plain.heic").c_str());
    EXPECT_TRUE(plain.Details().taken.empty());
    EXPECT_TRUE(plain.Details().camera.empty());
    EXPECT_TRUE(plain.Details().lens.empty());
    EXPECT_TRUE(plain.Whole());
}

TEST_F(LibraryDecoders, TheDateTakenIsToldBesideTheRecordsDate)
{
    // A deleted phone photo: the file system's date first, the moment its
    // Exif item says it was taken after it.
    ThumbnailPixels pixels;
    PictureDetails details;
    ASSERT_TRUE(RenderThumbnail(Sample("exif.heic").c_str(), pixels, &details));
    CPictureItems items;
    items.Add(Sample("exif.heic").c_str(), pixels, details, true);
    items.SetRecord(0, "\\DCIM\\100APPLE", true);
    SYSTEMTIME st = {2024, 7, 0, 14, 15, 32, 8, 0};
    FILETIME taken;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &taken));
    ASSERT_EQ(items.Taken(0), static_cast<uint64_t>(taken.dwHighDateTime) << 32 | taken.dwLowDateTime);
    ASSERT_NE(items.Date(0), items.Taken(0));
    const std::string told = DescribePicture(items, 0).GetString();
    EXPECT_NE(told.find("\r\nDate: " + std::string(LocalDateText(items.Date(0)).GetString()) + "\r\nTaken: " +
                        LocalDateText(items.Taken(0)).GetString() + "\r\nCamera: Quorvane Test Phone 1"),
              std::string::npos)
        << told;
    // Found by its contents, the date taken is the date: told once.
    CPictureItems found;
    found.Add(Sample("exif.heic").c_str(), pixels, details, true);
    const std::string once = DescribePicture(found, 0).GetString();
    EXPECT_NE(once.find("\r\nDate: " + std::string(LocalDateText(items.Taken(0)).GetString())), std::string::npos);
    EXPECT_EQ(once.find("Taken: "), std::string::npos) << once;
}

TEST_F(LibraryDecoders, APhonesPortraitIsTurnedOnceEverywhere)
{
    // Stored on its side and turned by the file's irot (its Exif says 6 as
    // well, and is not applied again): 120 x 160, the red corner top right.
    CPictureSource source(Sample("turned.heic").c_str());
    const DecodedPicture whole = source.Whole();
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole.srcWidth, 120);
    EXPECT_EQ(whole.srcHeight, 160);
    EXPECT_EQ(whole.width, 120u);
    EXPECT_EQ(whole.height, 160u);
    EXPECT_TRUE(Near(PixelAt(whole, 112, 5), 0xFF0000)) << std::hex << PixelAt(whole, 112, 5);
    EXPECT_TRUE(Near(PixelAt(whole, 5, 5), 0x2040C0)) << std::hex << PixelAt(whole, 5, 5);
    EXPECT_EQ(source.Details().width, 120u);
    EXPECT_EQ(source.Details().height, 160u);

    // Its thumbnail item turned the same way, standing for the whole.
    CPictureSource thumbed(Sample("turned.heic").c_str());
    const DecodedPicture small = thumbed.Reduced(48, 64);
    ASSERT_TRUE(small);
    EXPECT_EQ(small.srcWidth, 72);
    EXPECT_EQ(small.srcHeight, 96);
    EXPECT_EQ(small.width, 120u);
    EXPECT_EQ(small.height, 160u);
    EXPECT_TRUE(Near(PixelAt(small, 68, 3), 0xFF0000)) << std::hex << PixelAt(small, 68, 3);
    EXPECT_FALSE(thumbed.Reduced(80, 64));

    // The list's thumbnail: 48 x 64 at (8, 0), red at its top right.
    ThumbnailPixels pixels;
    PictureDetails details;
    ASSERT_TRUE(RenderThumbnail(Sample("turned.heic").c_str(), pixels, &details));
    EXPECT_TRUE(Near(pixels[3 * kThumbSize + 52], 0xFF0000)) << std::hex << pixels[3 * kThumbSize + 52];
    EXPECT_TRUE(Near(pixels[3 * kThumbSize + 11], 0x2040C0)) << std::hex << pixels[3 * kThumbSize + 11];
    EXPECT_TRUE(Near(pixels[32 * kThumbSize + 3], 0xFFFFFF, 8));
    EXPECT_EQ(details.width, 120u);
    EXPECT_EQ(details.height, 160u);
}

TEST_F(LibraryDecoders, APhonesGridIsJoinedAndItsThumbnailItemDrawsTheList)
{
    // 256 x 192 as four 128 x 96 tiles: red, green; blue, yellow.
    const struct {
        int x, y;
        uint32_t rgb;
    } quarters[] = {{20, 20, 0xFF0000}, {236, 20, 0x00C000}, {20, 172, 0x2040C0}, {236, 172, 0xFFFF00}};
    for (const char* name : {"grid.heic", "grid_bare.heic"}) {
        SCOPED_TRACE(name);
        CPictureSource source(Sample(name).c_str());
        const PictureDetails& details = source.Details();
        EXPECT_EQ(details.camera, "Quorvane Test Phone 1");
        EXPECT_EQ(details.taken, "2024:07:14 15:32:08");
        const DecodedPicture whole = source.Whole();
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole.srcWidth, 256);
        EXPECT_EQ(whole.srcHeight, 192);
        for (const auto& quarter : quarters)
            EXPECT_TRUE(Near(PixelAt(whole, quarter.x, quarter.y), quarter.rgb))
                << quarter.x << "," << quarter.y << " " << std::hex << PixelAt(whole, quarter.x, quarter.y);
        EXPECT_EQ(source.Details().width, 256u);
        EXPECT_EQ(source.Details().height, 192u);

        // The list's thumbnail: the thumbnail item where there is one, else
        // the grid decoded; both the four quarters in their places.
        ThumbnailPixels pixels;
        ASSERT_TRUE(RenderThumbnail(Sample(name).c_str(), pixels));
        const ThumbnailRect fit = FitThumbnail(256, 192);
        EXPECT_TRUE(Near(pixels[(fit.y + 3) * kThumbSize + fit.x + 3], 0xFF0000));
        EXPECT_TRUE(Near(pixels[(fit.y + 3) * kThumbSize + fit.x + fit.width - 4], 0x00C000));
        EXPECT_TRUE(Near(pixels[(fit.y + fit.height - 4) * kThumbSize + fit.x + 3], 0x2040C0));
        EXPECT_TRUE(Near(pixels[(fit.y + fit.height - 4) * kThumbSize + fit.x + fit.width - 4], 0xFFFF00));
    }
    // The thumbnail item, standing for the whole grid; none in the other.
    const DecodedPicture small = CPictureSource(Sample("grid.heic").c_str()).Reduced(64, 48);
    ASSERT_TRUE(small);
    EXPECT_EQ(small.srcWidth, 96);
    EXPECT_EQ(small.srcHeight, 72);
    EXPECT_EQ(small.width, 256u);
    EXPECT_EQ(small.height, 192u);
    EXPECT_TRUE(Near(PixelAt(small, 90, 66), 0xFFFF00)) << std::hex << PixelAt(small, 90, 66);
    EXPECT_FALSE(CPictureSource(Sample("grid_bare.heic").c_str()).Reduced(64, 48));
}
