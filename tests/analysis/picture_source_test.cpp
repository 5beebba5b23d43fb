// A find opened as a picture: the JPEG header walk under every reader, the
// decoder each type goes to, what a source tells before and after it has a
// picture, what a damaged JPEG still gives, and the screen-sized copy the
// preview keeps.
#include "AnalysisHarness.h"

#include "JpegSegments.h"
#include "PictureSource.h"
#include "Thumbnail.h"

using namespace analysis;

namespace {

using namespace Gdiplus::DllExports;

std::string Segment(unsigned char marker, const std::string& body)
{
    std::string s = "\xFF";
    s += static_cast<char>(marker);
    s += static_cast<char>((body.size() + 2) >> 8);
    s += static_cast<char>((body.size() + 2) & 0xFF);
    return s + body;
}

std::vector<JpegSegment> Walk(const std::string& bytes)
{
    std::vector<JpegSegment> segments;
    CJpegSegments walk(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    JpegSegment segment;
    while (walk.Next(segment))
        segments.push_back(segment);
    return segments;
}

}  // namespace

TEST(JpegSegments, GivesEachHeaderSegmentUpToTheScan)
{
    // Fill bytes and a marker that stands alone are stepped over; the scan
    // is the last segment, whatever follows it.
    const std::string header = std::string("\xFF\xD8\xFF", 3) + Segment(0xE0, "JFIF") + std::string("\xFF\xD0", 2) +
                               Segment(0xDB, std::string(65, '\x01')) + Segment(0xC0, std::string(11, '\x02')) +
                               Segment(0xDA, std::string(8, '\x03'));
    const std::string file = header + std::string("\x12\x34\xFF\xD9", 4) + Segment(0xE1, "after");
    const std::vector<JpegSegment> segments = Walk(file);
    ASSERT_EQ(segments.size(), 4u);
    const unsigned char markers[] = {0xE0, 0xDB, 0xC0, 0xDA};
    const size_t lengths[] = {4, 65, 11, 8};
    for (size_t i = 0; i < segments.size(); ++i) {
        EXPECT_EQ(segments[i].marker, markers[i]) << i;
        EXPECT_EQ(segments[i].length, lengths[i]) << i;
        EXPECT_TRUE(segments[i].Within(file.size())) << i;
    }
    EXPECT_EQ(file.substr(segments[0].offset, 4), "JFIF");
    EXPECT_EQ(segments[3].offset + 8, header.size());
    EXPECT_TRUE(IsJpegFrameMarker(0xC0) && IsJpegFrameMarker(0xC2) && IsJpegFrameMarker(0xCF));
    EXPECT_FALSE(IsJpegFrameMarker(0xC4) || IsJpegFrameMarker(0xC8) || IsJpegFrameMarker(0xCC));

    // Not a JPEG's start, the end of image, bytes that are no marker and a
    // length below 2 end the walk.
    EXPECT_TRUE(Walk(file.substr(2)).empty());
    EXPECT_TRUE(Walk(std::string("\xFF\xD8\xFF\xD9", 4) + Segment(0xE0, "JFIF")).empty());
    EXPECT_EQ(Walk(std::string("\xFF\xD8", 2) + Segment(0xE0, "JFIF") + "x" + Segment(0xDB, "q")).size(), 1u);
    EXPECT_TRUE(Walk(std::string("\xFF\xD8\xFF\xE0\x00\x01", 6) + Segment(0xDB, "q")).empty());

    // Cut anywhere: a segment whose body runs past the bytes is given as
    // not within them, and none starts past them.
    for (size_t size = 0; size <= header.size(); ++size) {
        for (const JpegSegment& segment : Walk(file.substr(0, size))) {
            EXPECT_LE(segment.offset, size) << size;
            EXPECT_EQ(segment.Within(size), segment.offset + segment.length <= size) << size;
        }
    }
}

class PictureSourceTest : public ::testing::Test {
protected:
    std::string Save(const char* name, const std::string& bytes)
    {
        const std::string path = m_files.Join(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    TempFolder m_files{"source"};
};

TEST_F(PictureSourceTest, CameraPhotoIsKnownFromItsFirstBytesAndStandsForItselfInEveryCopy)
{
    const std::string photo = JpegBytes(m_files, "main.jpg", 300, 200, 0xFF0000);
    const std::string thumb = JpegBytes(m_files, "thumb.jpg", 150, 100, 0x0000FF);
    const std::string file = WithExifThumbnail(photo, thumb);
    CPictureSource source(Save("camera.jpg", file).c_str());
    EXPECT_EQ(source.Type(), kTypeJpeg);
    EXPECT_TRUE(source.Draws());
    EXPECT_EQ(source.Bytes(), file.size());
    // Nothing drawn yet: no size in the details, but the head's.
    EXPECT_EQ(source.Details().width, 0u);
    unsigned width = 0, height = 0;
    ASSERT_TRUE(source.HeadSize(width, height));
    EXPECT_EQ(width, 300u);
    EXPECT_EQ(height, 200u);

    const DecodedPicture small = source.SmallCopy();
    ASSERT_TRUE(small);
    EXPECT_EQ(small.image.Width(), 150u);
    EXPECT_EQ(small.width, 300u);
    EXPECT_EQ(small.height, 200u);
    EXPECT_EQ(source.Details().width, 300u);
    EXPECT_EQ(source.Details().bytes, file.size());

    // Too small a photo for its eighth to fill the thumbnail: no reduced
    // copy; the whole one is its own size.
    EXPECT_FALSE(source.Reduced(64, 43));
    const DecodedPicture whole = source.Whole();
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole.image.Width(), 300u);
    EXPECT_EQ(whole.width, 300u);
    EXPECT_EQ(whole.srcHeight, 200);
}

TEST_F(PictureSourceTest, EachTypeGoesToItsDecoder)
{
    // A RAW is drawn only from the pictures it carries: IFD0's plain RGB
    // strips are one (as a DNG's thumbnail is), but not taken for its
    // sensor's size.
    ASSERT_TRUE(SavePicture(m_files.Join("a.tif"), 40, 30, 0x00FF00, L"image/tiff"));
    std::string tiff = ReadFileBytes(m_files.Join("a.tif"));
    CPictureSource raw(Save("a.nef", tiff).c_str());
    EXPECT_EQ(raw.Type(), kTypeRaw);
    EXPECT_TRUE(raw.Draws());
    EXPECT_TRUE(raw.DrawsCarriedOnly());
    EXPECT_FALSE(raw.SmallCopy());
    const DecodedPicture carried = raw.Whole();
    ASSERT_TRUE(carried);
    EXPECT_EQ(carried.image.Width(), 40u);
    EXPECT_FALSE(raw.Salvage());
    EXPECT_EQ(raw.Details().width, 0u);

    // The same bytes as a TIFF are drawn; as a HEIC they go to libheif,
    // never to GDI+, and libheif refuses them.
    CPictureSource drawn(m_files.Join("a.tif").c_str());
    EXPECT_TRUE(drawn.Draws());
    const DecodedPicture picture = drawn.Whole();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture.width, 40u);
    EXPECT_EQ(drawn.Details().height, 30u);
    CPictureSource heic(Save("a.heic", tiff).c_str());
    EXPECT_TRUE(heic.Draws());
    EXPECT_FALSE(heic.Whole());
    EXPECT_EQ(heic.Details().bytes, tiff.size());

    // A file of no picture type's extension is read as a JPEG; a PNG's
    // bytes still decode whole through GDI+.
    ASSERT_TRUE(SavePicture(m_files.Join("a.png"), 20, 10, 0x0000FF, L"image/png"));
    CPictureSource unnamed(Save("picture.dat", ReadFileBytes(m_files.Join("a.png"))).c_str());
    EXPECT_EQ(unnamed.Type(), kTypeJpeg);
    EXPECT_FALSE(unnamed.SmallCopy());
    EXPECT_EQ(unnamed.Whole().width, 20u);

    // Gone: nothing, and nothing known.
    CPictureSource gone(m_files.Join("gone.jpg").c_str());
    EXPECT_FALSE(gone.SmallCopy());
    EXPECT_FALSE(gone.Whole());
    EXPECT_FALSE(gone.Salvage());
    EXPECT_EQ(gone.Details().bytes, 0u);
}

TEST_F(PictureSourceTest, DamagedJpegGivesWhatDecodesOfItStandingForThePhoto)
{
    // 500 x 500: the eighth is 63 x 63, the whole picture it stands for
    // 504 x 504 until the head has told the photo's own size. Red above
    // blue, cut short in the blue.
    const std::string path = m_files.Join("whole.jpg");
    Gdiplus::GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(500, 500, 0, PixelFormat24bppRGB, nullptr, &bitmap), Gdiplus::Ok);
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(bitmap, &graphics);
    GdipGraphicsClear(graphics, 0xFF0000FFu);
    Gdiplus::GpSolidFill* red = nullptr;
    GdipCreateSolidFill(0xFFFF0000u, &red);
    GdipFillRectangleI(graphics, red, 0, 0, 500, 250);
    GdipDeleteBrush(red);
    GdipDeleteGraphics(graphics);
    CLSID jpeg;
    ASSERT_TRUE(EncoderFor(L"image/jpeg", jpeg));
    const std::wstring wide(path.begin(), path.end());
    ASSERT_EQ(GdipSaveImageToFile(bitmap, wide.c_str(), &jpeg, nullptr), Gdiplus::Ok);
    GdipDisposeImage(bitmap);
    const std::string whole = ReadFileBytes(path);
    const std::string cutPath = Save("cut.jpg", whole.substr(0, whole.size() * 3 / 4));

    CPictureSource unread(cutPath.c_str());
    const DecodedPicture eighth = unread.Salvage();
    ASSERT_TRUE(eighth);
    EXPECT_EQ(eighth.image.Width(), 63u);
    EXPECT_EQ(eighth.width, 504u);

    CPictureSource read(cutPath.c_str());
    unsigned width = 0, height = 0;
    ASSERT_TRUE(read.HeadSize(width, height));
    const DecodedPicture salvaged = read.Salvage();
    ASSERT_TRUE(salvaged);
    EXPECT_EQ(salvaged.width, 500u);
    EXPECT_EQ(salvaged.height, 500u);
    EXPECT_EQ(read.Details().width, 500u);

    // Its thumbnail is drawn, red at the top; the list counts it a picture.
    ThumbnailPixels pixels;
    PictureDetails details;
    EXPECT_TRUE(RenderThumbnail(cutPath.c_str(), pixels, &details));
    EXPECT_TRUE(Near(pixels[4 * 64 + 32], 0xFF0000)) << std::hex << pixels[4 * 64 + 32];
    EXPECT_EQ(details.width, 500u);

    // Nothing of a file that is no JPEG's data.
    EXPECT_FALSE(CPictureSource(Save("none.jpg", std::string(4000, 'x')).c_str()).Salvage());
}

TEST(DecodedPicture, FittedCopyIsNeverEnlargedAndStandsForTheSamePicture)
{
    Gdiplus::GpBitmap* made = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(400, 300, 0, PixelFormat24bppRGB, nullptr, &made), Gdiplus::Ok);
    DecodedPicture picture = DecodedPicture::Whole(CGdiBitmap(made));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture.srcWidth, 400);
    EXPECT_EQ(picture.width, 400u);

    const DecodedPicture smaller = FittedCopy(picture, 200, 200);
    ASSERT_TRUE(smaller);
    EXPECT_EQ(smaller.image.Width(), 200u);
    EXPECT_EQ(smaller.image.Height(), 150u);
    EXPECT_EQ(smaller.srcWidth, 200);
    EXPECT_EQ(smaller.width, 400u);
    EXPECT_EQ(smaller.height, 300u);
    const DecodedPicture same = FittedCopy(picture, 4000, 4000);
    ASSERT_TRUE(same);
    EXPECT_EQ(same.image.Width(), 400u);

    // A part of the image standing for a larger picture: the part alone,
    // still standing for that picture.
    picture.srcX = 100;
    picture.srcWidth = 200;
    picture.width = 1600;
    picture.height = 1200;
    const DecodedPicture part = FittedCopy(picture, 100, 100);
    ASSERT_TRUE(part);
    EXPECT_EQ(part.image.Width(), 67u);
    EXPECT_EQ(part.image.Height(), 100u);
    EXPECT_EQ(part.width, 1600u);

    // The bitmap goes with a move and is disposed of once.
    DecodedPicture moved = std::move(picture);
    EXPECT_FALSE(picture);
    EXPECT_TRUE(moved);
    moved.image = CGdiBitmap();
    EXPECT_FALSE(FittedCopy(moved, 100, 100));
}

namespace {

// An uncompressed BMP of width x height pixels (24 or 32 bits, bottom-up or
// top-down): gradients across and down with a disc in the middle, as a
// photo or a screenshot is mostly smooth areas and edges.
std::string BmpBytes(int width, int height, int bits, bool topDown)
{
    const uint32_t stride = (static_cast<uint32_t>(width) * bits / 8 + 3) & ~3u;
    std::string file(54 + static_cast<size_t>(stride) * height, '\0');
    auto put32 = [&file](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<char>(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(topDown ? -height : height));
    file[26] = 1;
    file[28] = static_cast<char>(bits);
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        char* row = &file[54 + static_cast<size_t>(stored) * stride];
        for (int x = 0; x < width; ++x, row += bits / 8) {
            const int dx = x - width / 2, dy = y - height / 2;
            const bool disc = dx * dx + dy * dy < height * height / 9;
            row[0] = static_cast<char>(disc ? 40 : 255 * y / height);    // blue
            row[1] = static_cast<char>(disc ? 200 : 128);                // green
            row[2] = static_cast<char>(disc ? 230 : 255 * x / width);    // red
        }
    }
    return file;
}

// An uncompressed RGB TIFF of the same picture as BmpBytes, little-endian,
// in strips of rowsPerStrip rows placed after its directory.
std::string TiffBytes(int width, int height, uint32_t rowsPerStrip)
{
    const uint32_t strips = (static_cast<uint32_t>(height) + rowsPerStrip - 1) / rowsPerStrip;
    const uint32_t stride = static_cast<uint32_t>(width) * 3;
    const uint32_t entries = 10;
    const uint32_t bitsAt = 8 + 2 + 12 * entries + 4;
    const uint32_t offsetsAt = bitsAt + 6, countsAt = offsetsAt + 4 * strips, dataAt = countsAt + 4 * strips;
    std::string file = "II*";
    file += '\0';
    Put32(file, 8);
    Put16(file, entries);
    auto entry = [&file](unsigned tag, unsigned type, uint32_t count, uint32_t value) {
        Put16(file, tag), Put16(file, type), Put32(file, count), Put32(file, value);
    };
    entry(256, 4, 1, static_cast<uint32_t>(width));
    entry(257, 4, 1, static_cast<uint32_t>(height));
    entry(258, 3, 3, bitsAt);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 2);
    entry(273, 4, strips, offsetsAt);
    entry(277, 3, 1, 3);
    entry(278, 4, 1, rowsPerStrip);
    entry(279, 4, strips, countsAt);
    entry(284, 3, 1, 1);
    Put32(file, 0);
    Put16(file, 8), Put16(file, 8), Put16(file, 8);
    for (uint32_t s = 0; s < strips; ++s)
        Put32(file, dataAt + s * rowsPerStrip * stride);
    for (uint32_t s = 0; s < strips; ++s)
        Put32(file, std::min<uint32_t>(rowsPerStrip, static_cast<uint32_t>(height) - s * rowsPerStrip) * stride);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int dx = x - width / 2, dy = y - height / 2;
            const bool disc = dx * dx + dy * dy < height * height / 9;
            file += static_cast<char>(disc ? 230 : 255 * x / width);  // red
            file += static_cast<char>(disc ? 200 : 128);              // green
            file += static_cast<char>(disc ? 40 : 255 * y / height);  // blue
        }
    }
    return file;
}

// The mean difference of the pixels' channels.
double MeanDifference(const ThumbnailPixels& a, const ThumbnailPixels& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            sum += std::abs(Channel(a[i], shift) - Channel(b[i], shift));
    return sum / (3.0 * a.size());
}

}  // namespace

// A large BMP's thumbnail from the rows a box filter samples is the whole
// decode's (the same bytes under a name of no type, which GDI+ decodes
// whole); one too small for it, or cut short, is decoded whole as before.
TEST_F(PictureSourceTest, LargeBmpIsSampledNotDecodedWhole)
{
    struct Case {
        const char* name;
        int width, height, bits;
        bool topDown;
    };
    for (const Case& c : {Case{"wide.bmp", 2400, 1600, 24, false}, Case{"tall.bmp", 1001, 1999, 32, true}}) {
        SCOPED_TRACE(c.name);
        const std::string bytes = BmpBytes(c.width, c.height, c.bits, c.topDown);
        const std::string path = Save(c.name, bytes);
        CPictureSource source(path.c_str());
        const DecodedPicture reduced = source.Reduced(64, 64);
        ASSERT_TRUE(reduced);
        EXPECT_EQ(reduced.width, static_cast<unsigned>(c.width));
        EXPECT_EQ(reduced.height, static_cast<unsigned>(c.height));
        EXPECT_LT(reduced.image.Width(), static_cast<UINT>(c.width) / 4);
        EXPECT_GE(reduced.image.Width(), 128u);
        EXPECT_GE(reduced.image.Height(), 128u);

        ThumbnailPixels sampled, whole;
        ASSERT_TRUE(RenderThumbnail(path.c_str(), sampled));
        ASSERT_TRUE(RenderThumbnail(Save("same.dat", bytes).c_str(), whole));
        // They differ at the disc's edge: the box filter smooths it where
        // GDI+ scaling the whole picture straight to 64 x 64 samples it.
        EXPECT_LT(MeanDifference(sampled, whole), 5.0);

        // Cut short: nothing sampled, and the thumbnail is what a whole
        // decode gives of the cut file (if anything).
        const std::string cut = bytes.substr(0, bytes.size() / 2);
        const std::string cutPath = Save("cut.bmp", cut);
        EXPECT_FALSE(CPictureSource(cutPath.c_str()).Reduced(64, 64));
        ThumbnailPixels cutSampled, cutWhole;
        EXPECT_EQ(RenderThumbnail(cutPath.c_str(), cutSampled), RenderThumbnail(Save("cut.dat", cut).c_str(), cutWhole));
        EXPECT_EQ(cutSampled, cutWhole);
    }
    // Small enough to decode whole.
    CPictureSource small(Save("small.bmp", BmpBytes(200, 150, 24, false)).c_str());
    EXPECT_FALSE(small.Reduced(64, 64));
    EXPECT_EQ(small.Whole().width, 200u);
}

// A large uncompressed TIFF is sampled from its strips like a BMP, close to
// the whole decode's thumbnail; cut short, or compressed, it is decoded
// whole.
TEST_F(PictureSourceTest, LargeUncompressedTiffIsSampledFromItsStrips)
{
    const std::string bytes = TiffBytes(1800, 1200, 16);
    const std::string path = Save("scan.tif", bytes);
    CPictureSource source(path.c_str());
    const DecodedPicture reduced = source.Reduced(64, 64);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced.width, 1800u);
    EXPECT_EQ(reduced.height, 1200u);
    EXPECT_LT(reduced.image.Width(), 1800u / 4);
    EXPECT_GE(reduced.image.Height(), 128u);
    ThumbnailPixels sampled, whole;
    ASSERT_TRUE(RenderThumbnail(path.c_str(), sampled));
    ASSERT_TRUE(RenderThumbnail(Save("scan.dat", bytes).c_str(), whole));
    EXPECT_LT(MeanDifference(sampled, whole), 5.0);

    const std::string cut = bytes.substr(0, bytes.size() / 2);
    const std::string cutPath = Save("cut.tif", cut);
    EXPECT_FALSE(CPictureSource(cutPath.c_str()).Reduced(64, 64));
    ThumbnailPixels cutSampled, cutWhole;
    EXPECT_EQ(RenderThumbnail(cutPath.c_str(), cutSampled), RenderThumbnail(Save("cut.dat", cut).c_str(), cutWhole));
    EXPECT_EQ(cutSampled, cutWhole);

    // A width beyond the file's bytes (a damaged directory): not sampled,
    // and nothing of that size is held.
    std::string wide = bytes;
    wide.replace(8 + 2 + 8, 4, std::string("\xff\xff\xff\x7f", 4));
    EXPECT_FALSE(CPictureSource(Save("wide.tif", wide).c_str()).Reduced(64, 64));

    // LZW (compression 5): not sampled.
    std::string lzw = bytes;
    lzw[8 + 2 + 12 * 3 + 8] = 5;
    EXPECT_FALSE(CPictureSource(Save("lzw.tif", lzw).c_str()).Reduced(64, 64));
}
