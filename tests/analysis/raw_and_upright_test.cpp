// Camera RAW finds drawn from the JPEGs they carry, with the sensor's size,
// camera, lens and date; a RAW without a usable one shown by its details;
// and every picture, its Exif thumbnail and its stated size turned upright
// as its Exif orientation says.
#include "AnalysisHarness.h"

#include "PictureDescription.h"
#include "PictureSource.h"
#include "RawSamples.h"
#include "Thumbnail.h"

using namespace analysis;
using namespace rawsamples;

namespace {

using namespace Gdiplus::DllExports;

uint32_t PixelOf(const DecodedPicture& picture, int x, int y)
{
    Gdiplus::ARGB argb = 0;
    GdipBitmapGetPixel(picture.image.Get(), picture.srcX + x, picture.srcY + y, &argb);
    return argb & 0xFFFFFF;
}

class RawPictureTest : public ::testing::Test {
protected:
    std::string Save(const char* name, const std::string& bytes)
    {
        const std::string path = m_files.Join(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    std::string Jpeg(int w, int h, uint32_t rgb) { return JpegBytes(m_files, "part.jpg", w, h, rgb); }

    TempFolder m_files{"raw"};
};

}  // namespace

TEST_F(RawPictureTest, EachFamilyShowsItsSmallestFittingJpegAndItsLargestWhole)
{
    // Small blue, large red; both 3:2 like the sensor.
    const std::string small = Jpeg(120, 80, 0x0000FF), large = Jpeg(480, 320, 0xFF0000);
    struct Family {
        const char* name;
        std::string bytes;
        uint32_t thumbColour;  // the small one where the family carries it
    };
    const Family families[] = {
        {"a.cr2", Cr2(small, large), 0x0000FF}, {"a.nef", Nef(small, large), 0x0000FF},
        {"a.dng", Dng(large), 0xFF0000},        {"a.rw2", Rw2(large), 0xFF0000},
        {"a.orf", Orf(large), 0xFF0000},        {"a.cr3", Cr3(small, large), 0x0000FF},
        {"a.raf", Raf(large), 0xFF0000},
    };
    for (const Family& family : families) {
        SCOPED_TRACE(family.name);
        const std::string path = Save(family.name, family.bytes);
        ThumbnailPixels pixels;
        PictureDetails details;
        ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels, &details));
        // 6000 x 4000 is drawn at (0, 11) 64 x 42.
        EXPECT_TRUE(Near(pixels[32 * 64 + 32], family.thumbColour)) << std::hex << pixels[32 * 64 + 32];
        EXPECT_TRUE(Near(pixels[4 * 64 + 32], 0xFFFFFF, 8));
        EXPECT_EQ(details.width, kSensorWidth);
        EXPECT_EQ(details.height, kSensorHeight);
        EXPECT_EQ(details.bytes, family.bytes.size());
        if (std::string(family.name) != "a.raf") {
            EXPECT_EQ(details.camera, kModel);
            EXPECT_EQ(details.taken, kTaken);
            EXPECT_EQ(details.lens, kLens);
            // The tooltip and the preview's details name both.
            CPictureItems items;
            items.Add(path.c_str(), pixels, details, true);
            const std::string told = DescribePicture(items, 0).GetString();
            EXPECT_NE(told.find(std::string("\r\nCamera: ") + kModel + "\r\nLens: " + kLens), std::string::npos)
                << told;
        }

        CPictureSource source(path.c_str());
        EXPECT_EQ(source.Type(), kTypeRaw);
        const DecodedPicture whole = source.Whole();
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole.image.Width(), 480u);
        EXPECT_EQ(whole.width, kSensorWidth);
        EXPECT_TRUE(Near(PixelOf(whole, 240, 160), 0xFF0000));
    }

    // A RAW that does not tell its sensor's size: drawn in its largest
    // JPEG's shape, its size not told (not a JPEG's taken for it).
    std::string untold = Raf(Jpeg(480, 320, 0xFF0000));
    untold.replace(92, 8, std::string(8, '\0'));
    ThumbnailPixels shaped;
    PictureDetails noSize;
    ASSERT_TRUE(RenderThumbnail(Save("untold.raf", untold).c_str(), shaped, &noSize));
    EXPECT_TRUE(Near(shaped[32 * 64 + 32], 0xFF0000));
    EXPECT_TRUE(Near(shaped[4 * 64 + 32], 0xFFFFFF, 8));
    EXPECT_EQ(noSize.width, 0u);
    EXPECT_EQ(noSize.height, 0u);

    // A JPEG too small to fill the thumbnail is passed over for one that does.
    ThumbnailPixels pixels;
    ASSERT_TRUE(RenderThumbnail(Save("tiny.cr2", Cr2(Jpeg(48, 32, 0x00FF00), large)).c_str(), pixels));
    EXPECT_TRUE(Near(pixels[32 * 64 + 32], 0xFF0000)) << std::hex << pixels[32 * 64 + 32];
}

TEST_F(RawPictureTest, OnlyASensorSizedJpegGivesTheThumbnailFromItsEighth)
{
    // No small JPEG: the thumbnail from the large one's DC values, an
    // eighth of its size, standing for the sensor's picture.
    const std::string path = Save("big.dng", Dng(Jpeg(1200, 800, 0x00C000)));
    CPictureSource source(path.c_str());
    const DecodedPicture reduced = source.Reduced(64, 43);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced.image.Width(), 150u);
    EXPECT_EQ(reduced.image.Height(), 100u);
    EXPECT_EQ(reduced.width, kSensorWidth);
    EXPECT_TRUE(Near(PixelOf(reduced, 75, 50), 0x00C000));
    // Asked for more than its eighth has: the JPEG decoded whole.
    EXPECT_EQ(CPictureSource(path.c_str()).Reduced(300, 200).image.Width(), 1200u);
}

TEST_F(RawPictureTest, PreviewOutsideTheFileIsRefusedAndTheDetailsStay)
{
    const std::string small = Jpeg(120, 80, 0x0000FF), large = Jpeg(480, 320, 0xFF0000);
    const std::string file = Nef(small, large);
    // The large JPEG's offset moved past the end: the small one is the
    // whole picture now.
    std::string outside = file;
    const size_t largeAt = outside.find(large);
    const std::string from = std::string("\x02\x01\x00\x04\x00\x00\x00\x01", 8) + Big32(static_cast<uint32_t>(largeAt));
    ASSERT_NE(outside.find(from), std::string::npos);
    outside.replace(outside.find(from) + 8, 4, Big32(static_cast<uint32_t>(file.size() + 4096)));
    CPictureSource moved(Save("moved.nef", outside).c_str());
    const DecodedPicture whole = moved.Whole();
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole.image.Width(), 120u);

    // Both outside, or running past the end: no picture, not a fault; the
    // sensor's size, the camera and the date are still told.
    std::string none = outside;
    const std::string smallLength =
        std::string("\x02\x02\x00\x04\x00\x00\x00\x01", 8) + Big32(static_cast<uint32_t>(small.size()));
    ASSERT_NE(none.find(smallLength), std::string::npos);
    none.replace(none.find(smallLength) + 8, 4, Big32(0xFFFFFF00u));
    const std::string path = Save("none.nef", none);
    ThumbnailPixels pixels;
    PictureDetails details;
    EXPECT_FALSE(RenderThumbnail(path.c_str(), pixels, &details));
    EXPECT_EQ(pixels[32 * 64 + 32], 0xFFFFFFu);
    EXPECT_EQ(details.width, kSensorWidth);
    EXPECT_EQ(details.height, kSensorHeight);
    EXPECT_EQ(details.camera, kModel);
    EXPECT_EQ(details.taken, kTaken);
    CPictureSource source(path.c_str());
    EXPECT_TRUE(source.DrawsCarriedOnly());
    EXPECT_FALSE(source.Whole());
    EXPECT_FALSE(source.Reduced(64, 43));
}

TEST_F(RawPictureTest, DngWithoutJpegIsDrawnFromItsPlainRgbCopies)
{
    // IFD0's 96 x 64 thumbnail in strips of 5 rows, a 480 x 320 reduced
    // copy in a SubIFD: blue, their top-left quarter red.
    const std::string file = DngWithoutJpeg(96, 64, 5, 480, 320);
    const std::string path = Save("rgb.dng", file);
    ThumbnailPixels pixels;
    PictureDetails details;
    ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels, &details));
    // Drawn at (0, 11) 64 x 42, the red quarter 16 x 10.
    EXPECT_TRUE(Near(pixels[14 * 64 + 4], 0xFF0000)) << std::hex << pixels[14 * 64 + 4];
    EXPECT_TRUE(Near(pixels[32 * 64 + 40], 0x2040C0)) << std::hex << pixels[32 * 64 + 40];
    EXPECT_TRUE(Near(pixels[4 * 64 + 32], 0xFFFFFF, 8));
    EXPECT_EQ(details.width, kSensorWidth);
    EXPECT_EQ(details.height, kSensorHeight);
    EXPECT_EQ(details.camera, kModel);
    CPictureItems items;
    items.Add(path.c_str(), pixels, details, true);
    // Deleted with a record: its date taken is told beside the record's.
    items.SetRecord(0, "\\DCIM", true);
    const std::string told = DescribePicture(items, 0).GetString();
    EXPECT_EQ(told.find("carries no preview"), std::string::npos) << told;
    ASSERT_NE(items.Taken(0), 0u);
    EXPECT_NE(told.find("\r\nTaken: " + std::string(LocalDateText(items.Taken(0)).GetString())), std::string::npos)
        << told;

    CPictureSource source(path.c_str());
    const DecodedPicture reduced = source.Reduced(64, 43);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced.image.Width(), 96u);
    EXPECT_EQ(reduced.width, kSensorWidth);
    const DecodedPicture whole = CPictureSource(path.c_str()).Whole();
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole.image.Width(), 480u);
    EXPECT_EQ(whole.image.Height(), 320u);
    EXPECT_TRUE(Near(PixelOf(whole, 10, 10), 0xFF0000));
    EXPECT_TRUE(Near(PixelOf(whole, 300, 200), 0x2040C0));

    // Only the thumbnail: it is the preview too.
    const DecodedPicture only = CPictureSource(Save("thumb.dng", DngWithoutJpeg(96, 64, 64)).c_str()).Whole();
    ASSERT_TRUE(only);
    EXPECT_EQ(only.image.Width(), 96u);
}

TEST_F(RawPictureTest, TurnedRawStandsUpright)
{
    // Held upright (orientation 6): the sensor's 6000 x 4000 is 4000 x 6000,
    // drawn at (11, 0) 42 x 64.
    const std::string path = Save("portrait.cr2", Cr2(Jpeg(120, 80, 0x0000FF), Jpeg(480, 320, 0xFF0000), 6));
    ThumbnailPixels pixels;
    PictureDetails details;
    ASSERT_TRUE(RenderThumbnail(path.c_str(), pixels, &details));
    EXPECT_EQ(details.width, kSensorHeight);
    EXPECT_EQ(details.height, kSensorWidth);
    EXPECT_TRUE(Near(pixels[4 * 64 + 32], 0x0000FF));
    EXPECT_TRUE(Near(pixels[32 * 64 + 4], 0xFFFFFF, 8));
    CPictureSource source(path.c_str());
    const DecodedPicture whole = source.Whole();
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole.image.Width(), 320u);
    EXPECT_EQ(whole.image.Height(), 480u);
}

// ---------------------------------------------------------------------------
// Exif orientation 1 to 8 on a JPEG and its Exif thumbnail.

namespace {

// A 96 x 64 picture, grey, marked red at its top-left corner and green at
// its top-right one (a quarter of each side), saved as a JPEG.
std::string MarkedJpeg(const TempFolder& folder, int w, int h)
{
    const std::string path = folder.Join("marked.jpg");
    Gdiplus::GpBitmap* bitmap = nullptr;
    GdipCreateBitmapFromScan0(w, h, 0, PixelFormat24bppRGB, nullptr, &bitmap);
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(bitmap, &graphics);
    GdipGraphicsClear(graphics, 0xFF808080u);
    const struct {
        uint32_t argb;
        int x;
    } marks[] = {{0xFFFF0000u, 0}, {0xFF00FF00u, w - w / 4}};
    for (const auto& mark : marks) {
        Gdiplus::GpSolidFill* brush = nullptr;
        GdipCreateSolidFill(mark.argb, &brush);
        GdipFillRectangleI(graphics, brush, mark.x, 0, w / 4, h / 4);
        GdipDeleteBrush(brush);
    }
    GdipDeleteGraphics(graphics);
    CLSID jpeg;
    EncoderFor(L"image/jpeg", jpeg);
    const std::wstring wide(path.begin(), path.end());
    GdipSaveImageToFile(bitmap, wide.c_str(), &jpeg, nullptr);
    GdipDisposeImage(bitmap);
    return ReadFileBytes(path);
}

// The JPEG with an Exif block: IFD0 says the orientation, IFD1 names thumb.
std::string WithOrientation(const std::string& main, const std::string& thumb, unsigned orientation)
{
    std::string tiff("II*\0", 4);
    Put32(tiff, 8);
    Put16(tiff, 1);  // IFD0: the orientation
    Put16(tiff, 0x0112), Put16(tiff, 3), Put32(tiff, 1), Put32(tiff, orientation);
    Put32(tiff, 8 + 2 + 12 + 4);  // IFD1 right after
    Put16(tiff, 2);
    const unsigned thumbAt = 26 + 2 + 24 + 4;
    Put16(tiff, 0x0201), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, thumbAt);
    Put16(tiff, 0x0202), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, static_cast<unsigned>(thumb.size()));
    Put32(tiff, 0);
    tiff += thumb;
    return WithExif(main, tiff);
}

enum Corner { kTopLeft, kTopRight, kBottomRight, kBottomLeft };

// Where a picture's stored top-left and top-right corners are seen, by the
// Exif standard's words: orientation n shows the stored 0th row as the
// visual top (1, 2), bottom (3, 4), left side (5, 8) or right side (6, 7),
// and the 0th column as the visual left (1, 4), right (2, 3), top (5, 6)
// or bottom (7, 8).
const Corner kRedAt[9] = {kTopLeft, kTopLeft, kTopRight, kBottomRight, kBottomLeft,
                          kTopLeft, kTopRight, kBottomRight, kBottomLeft};
const Corner kGreenAt[9] = {kTopRight, kTopRight, kTopLeft, kBottomLeft, kBottomRight,
                            kBottomLeft, kBottomRight, kTopRight, kTopLeft};

// The colour an eighth of the way in from a corner of a w x h picture.
uint32_t ColourAt(const DecodedPicture& picture, Corner corner)
{
    const int w = picture.srcWidth, h = picture.srcHeight;
    const int x = corner == kTopLeft || corner == kBottomLeft ? w / 8 : w - 1 - w / 8;
    const int y = corner == kTopLeft || corner == kTopRight ? h / 8 : h - 1 - h / 8;
    return PixelOf(picture, x, y);
}

}  // namespace

TEST(Upright, EachExifOrientationTurnsThePictureItsThumbnailAndItsSize)
{
    TempFolder files("upright");
    const std::string main = MarkedJpeg(files, 96, 64);
    const std::string thumb = MarkedJpeg(files, 48, 32);
    for (unsigned orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string path = files.Join("turned" + std::to_string(orientation) + ".jpg");
        const std::string bytes = WithOrientation(main, thumb, orientation);
        WriteFileBytes(path, bytes);
        const bool turnsOver = orientation >= 5;

        CPictureSource source(path.c_str());
        unsigned width = 0, height = 0;
        ASSERT_TRUE(source.HeadSize(width, height));
        EXPECT_EQ(width, turnsOver ? 64u : 96u);
        EXPECT_EQ(height, turnsOver ? 96u : 64u);
        for (bool small : {true, false}) {
            SCOPED_TRACE(small ? "thumbnail" : "picture");
            const DecodedPicture picture = small ? source.SmallCopy() : source.Whole();
            ASSERT_TRUE(picture);
            EXPECT_EQ(picture.width, width);
            EXPECT_EQ(picture.height, height);
            EXPECT_EQ(picture.srcWidth, (small ? 48 : 96) * (turnsOver ? 2 : 3) / 3);
            EXPECT_TRUE(Near(ColourAt(picture, kRedAt[orientation]), 0xFF0000)) << std::hex
                                                                                 << ColourAt(picture, kRedAt[orientation]);
            EXPECT_TRUE(Near(ColourAt(picture, kGreenAt[orientation]), 0x00FF00))
                << std::hex << ColourAt(picture, kGreenAt[orientation]);
        }
        EXPECT_EQ(source.Details().width, width);

        // The file itself is left as it was.
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }

    // The list's thumbnail of a photo held upright: 42 x 64 at (11, 0),
    // red at its top right.
    ThumbnailPixels pixels;
    PictureDetails details;
    ASSERT_TRUE(RenderThumbnail(files.Join("turned6.jpg").c_str(), pixels, &details));
    EXPECT_EQ(details.width, 64u);
    EXPECT_EQ(details.height, 96u);
    EXPECT_TRUE(Near(pixels[4 * 64 + 50], 0xFF0000)) << std::hex << pixels[4 * 64 + 50];
    EXPECT_TRUE(Near(pixels[60 * 64 + 50], 0x00FF00)) << std::hex << pixels[60 * 64 + 50];
    EXPECT_TRUE(Near(pixels[32 * 64 + 4], 0xFFFFFF, 8));
}
