// Camera photos are drawn from their Exif thumbnail: its colours, cropped
// to the photo's shape where the camera added bars, a large photo without
// one from its DC values, and the full picture when the Exif one is
// damaged. The reader of the JPEG's first bytes never
// points outside the bytes it was given.
#include "AnalysisHarness.h"

#include <optional>

#include "JpegLayout.h"
#include "PictureDecode.h"
#include "Thumbnail.h"

using namespace analysis;

namespace {

using namespace Gdiplus::DllExports;

class ExifThumbnailTest : public ::testing::Test {
protected:
    // As on the window's thumbnail workers, whose COM lets a JPEG copy go
    // straight to the system's JPEG decoder, held while they run.
    void SetUp() override
    {
        m_com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        m_jpegDecoder.emplace();
    }
    void TearDown() override
    {
        m_jpegDecoder.reset();
        if (SUCCEEDED(m_com))
            CoUninitialize();
    }
    HRESULT m_com = E_FAIL;
    std::optional<CJpegDecoderAtHand> m_jpegDecoder;
    ThumbnailPixels Render(const std::string& bytes, bool* picture = nullptr)
    {
        const std::string path = m_files.Join("photo.jpg");
        WriteFileBytes(path, bytes);
        ThumbnailPixels pixels;
        const bool drawn = RenderThumbnail(path.c_str(), pixels);
        if (picture)
            *picture = drawn;
        return pixels;
    }
    TempFolder m_files{"exif"};
};

TEST_F(ExifThumbnailTest, PhotoIsDrawnFromItsThumbnailInThePhotosPlace)
{
    // The photo is red, its thumbnail blue: blue shows that no full decode
    // was made. 300 x 200 is placed at (0, 11) 64 x 42.
    const std::string photo = JpegBytes(m_files, "main.jpg", 300, 200, 0xFF0000);
    const std::string thumb = JpegBytes(m_files, "thumb.jpg", 150, 100, 0x0000FF);
    bool picture = false;
    const ThumbnailPixels pixels = Render(WithExifThumbnail(photo, thumb), &picture);
    EXPECT_TRUE(picture);
    EXPECT_TRUE(Near(pixels[32 * 64 + 32], 0x0000FF));
    EXPECT_TRUE(Near(pixels[13 * 64 + 32], 0x0000FF));
    EXPECT_TRUE(Near(pixels[8 * 64 + 32], 0xFFFFFF, 8));
    EXPECT_TRUE(Near(pixels[56 * 64 + 32], 0xFFFFFF, 8));
}

// A large thumbnail is drawn from a copy with the pixels it shows: the
// camera's 150 x 100 copy would be blown up in a 256 box, so the photo
// itself is drawn (red, 256 x 170 at y 43). A picture smaller than the box
// keeps its own size.
TEST_F(ExifThumbnailTest, LargeThumbnailsAreDrawnFromEnoughPixels)
{
    const std::string photo = JpegBytes(m_files, "main.jpg", 1200, 800, 0xFF0000);
    const std::string thumb = JpegBytes(m_files, "thumb.jpg", 150, 100, 0x0000FF);
    const std::string path = m_files.Join("large.jpg");
    WriteFileBytes(path, WithExifThumbnail(photo, thumb));
    ThumbnailPixels pixels;
    ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels, nullptr, 256));
    ASSERT_EQ(pixels.size(), 256u * 256u);
    EXPECT_TRUE(Near(pixels[128 * 256 + 128], 0xFF0000));
    EXPECT_TRUE(Near(pixels[46 * 256 + 3], 0xFF0000));
    EXPECT_TRUE(Near(pixels[38 * 256 + 128], 0xFFFFFF, 8));
    EXPECT_TRUE(Near(pixels[218 * 256 + 128], 0xFFFFFF, 8));
    // The small box still takes the camera's copy.
    ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels));
    EXPECT_TRUE(Near(pixels[32 * 64 + 32], 0x0000FF));

    const std::string icon = m_files.Join("icon.png");
    ASSERT_TRUE(SavePicture(icon, 24, 24, 0x00C000, L"image/png"));
    ASSERT_TRUE(RenderThumbnail(icon.c_str(), pixels, nullptr, 128));
    EXPECT_TRUE(Near(pixels[64 * 128 + 64], 0x00C000));
    EXPECT_TRUE(Near(pixels[53 * 128 + 53], 0x00C000));
    EXPECT_TRUE(Near(pixels[50 * 128 + 64], 0xFFFFFF, 8));
    EXPECT_TRUE(Near(pixels[64 * 128 + 77], 0xFFFFFF, 8));
}

TEST_F(ExifThumbnailTest, BarsOfAThumbnailInAnotherShapeAreCroppedOff)
{
    // A 3:2 photo with a 4:3 thumbnail that carries it between black bars
    // of 7 pixels, as 160 x 107 of picture would leave.
    const std::string photo = JpegBytes(m_files, "main.jpg", 300, 200, 0xFF0000);
    const std::string thumb = JpegBytes(m_files, "thumb.jpg", 160, 120, 0x00FF00, 7);
    const ThumbnailPixels pixels = Render(WithExifThumbnail(photo, thumb));
    int black = 0;
    for (int y = 12; y < 52; ++y) {
        for (int x = 0; x < 64; ++x)
            black += Near(pixels[static_cast<size_t>(y * 64 + x)], 0x000000, 60) ? 1 : 0;
    }
    EXPECT_EQ(black, 0);
    EXPECT_TRUE(Near(pixels[32 * 64 + 32], 0x00FF00));
    EXPECT_TRUE(Near(pixels[5 * 64 + 32], 0xFFFFFF, 8));
}

TEST_F(ExifThumbnailTest, LargePhotoWithoutAThumbnailIsDrawnFromItsEighth)
{
    // Four colours, one a quarter, tell the channels, the sides and the
    // top from one another.
    const std::string path = m_files.Join("quarters.jpg");
    Gdiplus::GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(1024, 768, 0, PixelFormat24bppRGB, nullptr, &bitmap), Gdiplus::Ok);
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(bitmap, &graphics);
    const uint32_t quarters[4] = {0xFF0000, 0x00C000, 0x0000FF, 0xFFFF00};
    for (int q = 0; q < 4; ++q) {
        Gdiplus::GpSolidFill* brush = nullptr;
        GdipCreateSolidFill(0xFF000000u | quarters[q], &brush);
        GdipFillRectangleI(graphics, brush, q % 2 * 512, q / 2 * 384, 512, 384);
        GdipDeleteBrush(brush);
    }
    GdipDeleteGraphics(graphics);
    CLSID jpeg;
    ASSERT_TRUE(EncoderFor(L"image/jpeg", jpeg));
    const std::wstring wide(path.begin(), path.end());
    ASSERT_EQ(GdipSaveImageToFile(bitmap, wide.c_str(), &jpeg, nullptr), Gdiplus::Ok);
    GdipDisposeImage(bitmap);

    const CGdiBitmap eighth = DecodeJpegEighth(path.c_str());
    ASSERT_TRUE(eighth);
    EXPECT_EQ(eighth.Width(), 128u);
    EXPECT_EQ(eighth.Height(), 96u);

    // 1024 x 768 is placed at (0, 8) 64 x 48: each quarter 32 x 24.
    ThumbnailPixels pixels;
    PictureDetails details;
    ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels, &details));
    EXPECT_EQ(details.width, 1024u);
    EXPECT_EQ(details.height, 768u);
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(Near(pixels[static_cast<size_t>((8 + 12 + q / 2 * 24) * 64 + 16 + q % 2 * 32)], quarters[q])) << q;
    EXPECT_TRUE(Near(pixels[3 * 64 + 32], 0xFFFFFF, 8));

    // Not a JPEG of that kind: nothing.
    EXPECT_FALSE(DecodeJpegEighth(m_files.Join("none.jpg").c_str()));
}

// Cameras that shoot black and white may keep a one-component (grey)
// thumbnail: it is drawn in its own grey level, not taken for a failure.
TEST_F(ExifThumbnailTest, GreyThumbnailIsDrawnGrey)
{
    // A 96 x 96 grey JPEG of level 96 (ImageMagick: xc:gray(96), -colorspace Gray).
    const char* hex =
        "ffd8ffe000104a46494600010100000100010000ffdb0043000302020302020303030304030304050805050404050a07"
        "0706080c0a0c0c0b0a0b0b0d0e12100d0e110e0b0b1016101113141515150c0f171816141812141514ffc0000b080060"
        "006001011100ffc4001500010100000000000000000000000000000007ffc40014100100000000000000000000000000"
        "000000ffda0008010100003f009500000000000000000000000000000000000000000000000000000000000000000000"
        "0000ffd9";
    std::string thumb;
    for (const char* h = hex; h[0] && h[1]; h += 2)
        thumb += static_cast<char>(std::stoi(std::string(h, 2), nullptr, 16));
    const std::string photo = JpegBytes(m_files, "main.jpg", 300, 300, 0xFF0000);
    bool picture = false;
    const ThumbnailPixels pixels = Render(WithExifThumbnail(photo, thumb), &picture);
    EXPECT_TRUE(picture);
    EXPECT_TRUE(Near(pixels[32 * 64 + 32], 0x606060, 3)) << std::hex << pixels[32 * 64 + 32];
    EXPECT_TRUE(Near(pixels[2 * 64 + 2], 0x606060, 3)) << std::hex << pixels[2 * 64 + 2];
}

TEST_F(ExifThumbnailTest, DamagedThumbnailFallsBackToThePictureItself)
{
    const std::string photo = JpegBytes(m_files, "main.jpg", 120, 80, 0xFF0000);
    const std::string damaged = std::string("\xFF\xD8\xFF\xDB", 4) + std::string(300, '\x55');
    bool picture = false;
    const ThumbnailPixels pixels = Render(WithExifThumbnail(photo, damaged), &picture);
    EXPECT_TRUE(picture);
    EXPECT_TRUE(Near(pixels[32 * 64 + 32], 0xFF0000));

    // Neither the thumbnail nor the picture decodes: no picture, white.
    const std::string cut = WithExifThumbnail(photo, damaged).substr(0, 400);
    const ThumbnailPixels none = Render(cut, &picture);
    EXPECT_FALSE(picture);
    EXPECT_EQ(none[32 * 64 + 32], 0xFFFFFFu);
}

TEST(JpegLayout, ReadsTheFrameAndThumbnailAndNeverPointsOutside)
{
    TempFolder files("layout");
    const std::string thumb = JpegBytes(files, "thumb.jpg", 40, 30, 0x0000FF);
    const std::string file = WithExifThumbnail(JpegBytes(files, "main.jpg", 300, 200, 0xFF0000), thumb);
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());

    JpegLayout layout;
    ASSERT_TRUE(ReadJpegLayout(bytes, file.size(), layout));
    EXPECT_EQ(layout.width, 300u);
    EXPECT_EQ(layout.height, 200u);
    ASSERT_EQ(layout.thumbLength, thumb.size());
    EXPECT_EQ(file.substr(layout.thumbOffset, layout.thumbLength), thumb);

    // Cut anywhere, or with any byte of the Exif block changed, the range
    // stays inside the bytes given.
    for (size_t size = 0; size < file.size() && size < 2000; ++size) {
        JpegLayout cut;
        ReadJpegLayout(bytes, size, cut);
        EXPECT_LE(cut.thumbOffset + cut.thumbLength, size) << size;
    }
    const size_t exifEnd = 4 + 6 + 44 + thumb.size();
    for (size_t at = 2; at < exifEnd && at < 200; ++at) {
        for (unsigned char value : {0x00, 0x01, 0x7F, 0xFF}) {
            std::string changed = file;
            changed[at] = static_cast<char>(value);
            JpegLayout bad;
            ReadJpegLayout(reinterpret_cast<const unsigned char*>(changed.data()), changed.size(), bad);
            EXPECT_LE(bad.thumbOffset + bad.thumbLength, changed.size()) << at;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// What the thumbnail's pass tells of each file, for the list's details.

namespace {

// An Exif block with the camera's make and model, the date taken in the
// Exif directory, and thumb as its thumbnail, put after the main JPEG's start.
std::string WithCameraExif(const std::string& main, const std::string& thumb)
{
    const std::string make("Canon\0", 6);
    const std::string model("Canon EOS 5D\0", 13);
    const std::string taken("2019:07:14 16:05:09\0", 20);
    const std::string lens("EF50mm f/1.8 II\0", 16);
    const unsigned strings = 8 + 2 + 3 * 12 + 4;
    const unsigned exifIfd = strings + 6 + 13;
    const unsigned dateAt = exifIfd + 2 + 2 * 12 + 4;
    const unsigned lensAt = dateAt + 20;
    const unsigned ifd1 = lensAt + 16;
    const unsigned thumbAt = ifd1 + 2 + 2 * 12 + 4;

    std::string tiff = "II*";
    tiff += '\0';
    Put32(tiff, 8);
    Put16(tiff, 3);
    Put16(tiff, 0x010F), Put16(tiff, 2), Put32(tiff, 6), Put32(tiff, strings);
    Put16(tiff, 0x0110), Put16(tiff, 2), Put32(tiff, 13), Put32(tiff, strings + 6);
    Put16(tiff, 0x8769), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, exifIfd);
    Put32(tiff, ifd1);
    tiff += make + model;
    Put16(tiff, 2);
    Put16(tiff, 0x9003), Put16(tiff, 2), Put32(tiff, 20), Put32(tiff, dateAt);
    Put16(tiff, 0xA434), Put16(tiff, 2), Put32(tiff, 16), Put32(tiff, lensAt);
    Put32(tiff, 0);
    tiff += taken + lens;
    Put16(tiff, 2);
    Put16(tiff, 0x0201), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, thumbAt);
    Put16(tiff, 0x0202), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, static_cast<unsigned>(thumb.size()));
    Put32(tiff, 0);
    tiff += thumb;
    return WithExif(main, tiff);
}

PictureDetails DetailsOf(const std::string& path, bool* drawn = nullptr)
{
    ThumbnailPixels pixels;
    PictureDetails details;
    const bool picture = RenderThumbnail(path.c_str(), pixels, &details);
    if (drawn)
        *drawn = picture;
    return details;
}

}  // namespace

TEST_F(ExifThumbnailTest, DetailsOfEachKindOfFile)
{
    // A camera photo: its frame's size, not its thumbnail's, and its Exif.
    const std::string photo = JpegBytes(m_files, "main.jpg", 300, 200, 0xFF0000);
    const std::string camera = WithCameraExif(photo, JpegBytes(m_files, "thumb.jpg", 150, 100, 0x0000FF));
    WriteFileBytes(m_files.Join("camera.jpg"), camera);
    bool drawn = false;
    PictureDetails details = DetailsOf(m_files.Join("camera.jpg"), &drawn);
    EXPECT_TRUE(drawn);
    EXPECT_EQ(details.bytes, camera.size());
    EXPECT_EQ(details.width, 300u);
    EXPECT_EQ(details.height, 200u);
    EXPECT_EQ(details.taken, "2019:07:14 16:05:09");
    EXPECT_EQ(details.camera, "Canon EOS 5D");
    EXPECT_EQ(details.lens, "EF50mm f/1.8 II");
    EXPECT_NE(details.written, 0u);

    // A JPEG without Exif, and the other types, decoded in full.
    details = DetailsOf(m_files.Join("main.jpg"));
    EXPECT_EQ(details.width, 300u);
    EXPECT_EQ(details.height, 200u);
    EXPECT_EQ(details.taken, "");
    EXPECT_EQ(details.camera, "");
    struct Kind {
        const char* name;
        const wchar_t* mime;
    };
    const Kind kinds[] = {{"a.png", L"image/png"}, {"a.bmp", L"image/bmp"}, {"a.tif", L"image/tiff"}};
    for (const Kind& kind : kinds) {
        ASSERT_TRUE(SavePicture(m_files.Join(kind.name), 40, 30, 0x00FF00, kind.mime)) << kind.name;
        details = DetailsOf(m_files.Join(kind.name), &drawn);
        EXPECT_TRUE(drawn) << kind.name;
        EXPECT_EQ(details.width, 40u) << kind.name;
        EXPECT_EQ(details.height, 30u) << kind.name;
        EXPECT_EQ(details.bytes, ReadFileBytes(m_files.Join(kind.name)).size()) << kind.name;
    }
    WriteFileBytes(m_files.Join("a.gif"), TinyGif());
    details = DetailsOf(m_files.Join("a.gif"));
    EXPECT_EQ(details.width, 1u);
    EXPECT_EQ(details.bytes, TinyGif().size());

    // A damaged file: its size is known, nothing else.
    WriteFileBytes(m_files.Join("damaged.jpg"), std::string("\xFF\xD8\xFF\xE1\x00\x10", 6) + std::string(40, 'x'));
    details = DetailsOf(m_files.Join("damaged.jpg"), &drawn);
    EXPECT_FALSE(drawn);
    EXPECT_EQ(details.bytes, 46u);
    EXPECT_EQ(details.width, 0u);
    EXPECT_EQ(details.camera, "");

    // Exif fields that point outside the block are not read.
    std::string cut = camera.substr(0, 60);
    WriteFileBytes(m_files.Join("cut.jpg"), cut);
    details = DetailsOf(m_files.Join("cut.jpg"));
    EXPECT_EQ(details.camera, "");
    EXPECT_EQ(details.taken, "");
}

TEST(CameraName, MakeIsNotRepeated)
{
    EXPECT_EQ(CameraName("Canon", "Canon EOS 5D"), "Canon EOS 5D");
    EXPECT_EQ(CameraName("NIKON CORPORATION", "NIKON D90"), "NIKON D90");
    EXPECT_EQ(CameraName("Apple", "iPhone 12"), "Apple iPhone 12");
    EXPECT_EQ(CameraName("", "X100"), "X100");
    EXPECT_EQ(CameraName("Sony", ""), "Sony");
}
