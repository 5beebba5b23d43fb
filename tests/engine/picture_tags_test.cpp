// The window's readers of a camera RAW's layout, natively: where each
// family keeps its JPEGs and what it tells of the photo, and that nothing
// the file says can point the readers outside it.
#include <gtest/gtest.h>

#include "../support/RawSamples.h"
#include "JpegLayout.h"
#include "RawLayout.h"

using namespace rawsamples;

namespace {

// The header of a JPEG of w x h (frame marker sof) and filler up to about
// size bytes: enough for the readers, which never decode the data.
std::string FakeJpeg(unsigned w, unsigned h, size_t size = 200, unsigned char sof = 0xC0)
{
    std::string j("\xFF\xD8\xFF\xDB\x00\x04\x00\x01", 8);
    j += std::string("\xFF", 1) + static_cast<char>(sof) + Big16(17) + '\x08' + Big16(h) + Big16(w) + '\x03' +
         std::string(9, '\x11');
    j += std::string("\xFF\xDA\x00\x08", 4) + std::string(6, '\x01');
    if (j.size() + 2 < size)
        j += std::string(size - j.size() - 2, '\x33');
    return j + "\xFF\xD9";
}

struct Read {
    bool known = false;
    RawLayout layout;
};

Read ReadOf(const std::string& bytes)
{
    MemoryBytes file(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    Read read;
    read.known = ReadRawLayout(file, read.layout);
    return read;
}

void ExpectDetails(const RawLayout& layout, bool withLens = true)
{
    EXPECT_EQ(layout.width, kSensorWidth);
    EXPECT_EQ(layout.height, kSensorHeight);
    EXPECT_EQ(layout.make, kMake);
    EXPECT_EQ(layout.model, kModel);
    EXPECT_EQ(layout.taken, kTaken);
    if (withLens)
        EXPECT_EQ(layout.lens, kLens);
}

}  // namespace

TEST(RawLayout, EachFamilyGivesItsJpegsAndTheSensorsDetails)
{
    const std::string small = FakeJpeg(160, 120), large = FakeJpeg(1620, 1080, 900);
    struct Family {
        const char* name;
        std::string bytes;
        size_t jpegs;
        bool lens;
    };
    const Family families[] = {
        {"CR2", Cr2(small, large, 6), 2, true},  {"NEF", Nef(small, large, 8), 2, true},
        {"DNG", Dng(large), 1, true},            {"RW2", Rw2(large), 1, true},
        {"ORF", Orf(large), 1, true},            {"CR3", Cr3(small, large, 6), 2, true},
    };
    for (const Family& family : families) {
        SCOPED_TRACE(family.name);
        const Read read = ReadOf(family.bytes);
        ASSERT_TRUE(read.known);
        ExpectDetails(read.layout, family.lens);
        ASSERT_EQ(read.layout.jpegs.size(), family.jpegs);
        const EmbeddedJpeg* largest = read.layout.Largest();
        ASSERT_NE(largest, nullptr);
        EXPECT_EQ(largest->width, 1620u);
        EXPECT_EQ(largest->height, 1080u);
        EXPECT_EQ(family.bytes.substr(static_cast<size_t>(largest->offset), static_cast<size_t>(largest->length)),
                  large);
        // The smallest that fills 64 x 43; nothing is that small, or too
        // large a wish: the largest.
        const EmbeddedJpeg* thumb = read.layout.Smallest(64, 43);
        EXPECT_EQ(thumb->width, family.jpegs == 2 ? 160u : 1620u);
        EXPECT_EQ(read.layout.Smallest(200, 200), largest);
        EXPECT_EQ(read.layout.Smallest(4000, 4000), largest);
    }
    EXPECT_EQ(ReadOf(Cr2(small, large, 6)).layout.orientation, 6u);
    EXPECT_EQ(ReadOf(Nef(small, large, 8)).layout.orientation, 8u);
    EXPECT_EQ(ReadOf(Cr3(small, large, 5)).layout.orientation, 5u);
    EXPECT_EQ(ReadOf(Dng(large)).layout.orientation, 0u);

    // RAF: the JPEG its header names, the sensor's records; the rest of the
    // details come from the JPEG's own Exif block (here none).
    const Read raf = ReadOf(Raf(large));
    ASSERT_TRUE(raf.known);
    EXPECT_EQ(raf.layout.width, kSensorWidth);
    EXPECT_EQ(raf.layout.height, kSensorHeight);
    ASSERT_EQ(raf.layout.jpegs.size(), 1u);
    EXPECT_EQ(raf.layout.jpegs[0].offset, 160u);

    // A RAF whose JPEG carries its own Exif block, as the cameras write it:
    // the camera from it, and the small copy in it a JPEG of the RAW too,
    // the one a thumbnail takes.
    Tiff exif(false);
    const std::string thumb = FakeJpeg(160, 120);
    const uint32_t thumbAt = static_cast<uint32_t>(exif.Blob(thumb));
    const uint32_t ifd1 = static_cast<uint32_t>(exif.Directory(
        {Tiff::Long(0x0201, thumbAt), Tiff::Long(0x0202, static_cast<uint32_t>(thumb.size()))}));
    exif.SetFirst(static_cast<uint32_t>(
        exif.Directory({exif.Ascii(0x010F, "FUJIFILM"), exif.Ascii(0x0110, "X-T3")}, ifd1)));
    const std::string app1 = "Exif" + std::string(2, '\0') + exif.Bytes();
    const std::string preview = FakeJpeg(1920, 1280, 4000);
    const std::string carrying = preview.substr(0, 2) + "\xFF\xE1" + Big16(static_cast<unsigned>(app1.size() + 2)) +
                                 app1 + preview.substr(2);
    const Read fuji = ReadOf(Raf(carrying));
    ASSERT_EQ(fuji.layout.jpegs.size(), 2u);
    EXPECT_EQ(fuji.layout.model, "X-T3");
    EXPECT_EQ(fuji.layout.width, kSensorWidth);
    const EmbeddedJpeg* carried = fuji.layout.Smallest(64, 43);
    ASSERT_NE(carried, nullptr);
    EXPECT_EQ(carried->width, 160u);
    EXPECT_EQ(carried->height, 120u);
    EXPECT_EQ(carried->offset, 160u + 2 + 4 + 6 + thumbAt);
    EXPECT_EQ(carried->length, thumb.size());
    EXPECT_EQ(fuji.layout.Largest()->width, 1920u);
    // A small copy said to run past its block is not taken.
    std::string past = carrying;
    const std::string length = std::string("\x02\x02\x04\x00\x01\x00\x00\x00", 8);
    ASSERT_NE(past.find(length), std::string::npos);
    past[past.find(length) + 8] = '\xF0';
    past[past.find(length) + 9] = '\x7F';
    EXPECT_EQ(ReadOf(Raf(past)).layout.jpegs.size(), 1u);

    // Not a RAW: nothing.
    EXPECT_FALSE(ReadOf(large).known);
    EXPECT_FALSE(ReadOf(std::string(40, '\0')).known);
    EXPECT_TRUE(ReadOf(large).layout.jpegs.empty());
}

TEST(RawLayout, RefusesWhatIsNotAPictureOrLiesOutsideTheFile)
{
    const std::string small = FakeJpeg(160, 120), large = FakeJpeg(1620, 1080, 900);
    // The raw data kept as a lossless JPEG (CR2's IFD3) is no picture.
    const Read lossless = ReadOf(Cr2(small, large, 1, FakeJpeg(6000, 4000, 100, 0xC3)));
    EXPECT_EQ(lossless.layout.jpegs.size(), 2u);
    for (const EmbeddedJpeg& jpeg : lossless.layout.jpegs)
        EXPECT_NE(jpeg.width, 6000u);

    // A preview whose offset points past the end, or whose length runs past
    // it: refused; the details stay.
    const std::string file = Nef(small, large);
    const Read whole = ReadOf(file);
    ASSERT_EQ(whole.layout.jpegs.size(), 2u);
    const uint64_t largeAt = whole.layout.Largest()->offset;
    for (const uint32_t offset : {static_cast<uint32_t>(file.size() + 1000), 0xFFFFFFF0u}) {
        std::string moved = file;
        const std::string from = Big32(static_cast<uint32_t>(largeAt)), to = Big32(offset);
        moved.replace(moved.find(std::string("\x02\x01\x00\x04\x00\x00\x00\x01", 8) + from) + 8, 4, to);
        const Read read = ReadOf(moved);
        ASSERT_TRUE(read.known);
        EXPECT_EQ(read.layout.jpegs.size(), 1u);
        EXPECT_EQ(read.layout.Largest()->width, 160u);
        EXPECT_EQ(read.layout.width, kSensorWidth);
    }
    std::string longer = file;
    const std::string length = Big32(static_cast<uint32_t>(large.size()));
    longer.replace(longer.find(std::string("\x02\x02\x00\x04\x00\x00\x00\x01", 8) + length) + 8, 4,
                   Big32(static_cast<uint32_t>(file.size())));
    EXPECT_EQ(ReadOf(longer).layout.jpegs.size(), 1u);

    // Cut short anywhere, every JPEG given lies within what is left.
    for (const std::string& sample : {Cr2(small, large), Nef(small, large), Rw2(large), Orf(large), Cr3(small, large),
                                      Raf(large), Dng(large)}) {
        for (size_t size = 0; size < sample.size(); size += 7) {
            const Read read = ReadOf(sample.substr(0, size));
            for (const EmbeddedJpeg& jpeg : read.layout.jpegs)
                EXPECT_LE(jpeg.offset + jpeg.length, size);
        }
    }
}

TEST(RawLayout, PlainRgbCopiesOfADngWithoutJpegs)
{
    // IFD0's thumbnail in strips of 7 rows (the last one short) and a
    // larger reduced copy in a SubIFD; the raw data's directory is neither.
    const std::string file = DngWithoutJpeg(40, 30, 7, 200, 150);
    const Read read = ReadOf(file);
    ASSERT_TRUE(read.known);
    EXPECT_TRUE(read.layout.jpegs.empty());
    EXPECT_EQ(read.layout.width, kSensorWidth);
    EXPECT_EQ(read.layout.make, kMake);
    ASSERT_EQ(read.layout.rgbCopies.size(), 2u);
    const RgbCopy* small = read.layout.SmallestRgb(32, 24);
    const RgbCopy* large = read.layout.LargestRgb();
    ASSERT_TRUE(small && large);
    EXPECT_EQ(small->width, 40u);
    EXPECT_EQ(small->strips.size(), 5u);
    EXPECT_EQ(large->width, 200u);
    EXPECT_EQ(read.layout.SmallestRgb(100, 100), large);
    EXPECT_EQ(read.layout.SmallestRgb(1000, 1000), large);

    MemoryBytes bytes(reinterpret_cast<const unsigned char*>(file.data()), file.size());
    std::vector<unsigned char> rows;
    ASSERT_TRUE(ReadRgbCopy(bytes, *small, rows));
    EXPECT_EQ(std::string(rows.begin(), rows.end()), CornerRgb(40, 30));

    // Cut anywhere, a copy is offered only with every strip whole.
    for (size_t size = 0; size < file.size(); size += 37) {
        const std::string cut = file.substr(0, size);
        MemoryBytes part(reinterpret_cast<const unsigned char*>(cut.data()), cut.size());
        RawLayout layout;
        ReadRawLayout(part, layout);
        for (const RgbCopy& copy : layout.rgbCopies)
            EXPECT_TRUE(ReadRgbCopy(part, copy, rows)) << size;
    }
}

TEST(RawLayout, RgbCopiesThatAreNotPlainEightBitRgbAreRefused)
{
    const std::string file = DngWithoutJpeg(40, 30, 30);
    ASSERT_EQ(ReadOf(file).layout.rgbCopies.size(), 1u);
    // An entry of IFD0 changed: tag, type, count, value (little-endian).
    const auto changed = [&](unsigned tag, uint32_t value, uint32_t count = 1) {
        std::string bytes = file;
        uint32_t ifd0 = 0;
        for (int b = 3; b >= 0; --b)
            ifd0 = ifd0 << 8 | static_cast<unsigned char>(bytes[4 + b]);
        const unsigned entries = static_cast<unsigned char>(bytes[ifd0]);
        for (unsigned i = 0; i < entries; ++i) {
            const size_t at = ifd0 + 2 + 12 * i;
            if ((static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
                 static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8) != tag)
                continue;
            for (int b = 0; b < 4; ++b) {
                bytes[at + 4 + b] = static_cast<char>(count >> (8 * b));
                bytes[at + 8 + b] = static_cast<char>(value >> (8 * b));
            }
        }
        return ReadOf(bytes).layout.rgbCopies.size();
    };
    EXPECT_EQ(changed(0x0103, 5), 0u);       // LZW
    EXPECT_EQ(changed(0x0106, 1), 0u);       // grey
    EXPECT_EQ(changed(0x0115, 4), 0u);       // a fourth sample
    EXPECT_EQ(changed(0x0102, 16, 1), 0u);   // 16 bits
    EXPECT_EQ(changed(0x0117, 40 * 3 * 30 - 1), 0u);  // a strip short of its rows
    EXPECT_EQ(changed(0x0111, static_cast<uint32_t>(file.size()) - 100), 0u);  // running past the end
    EXPECT_EQ(changed(0x0111, 0xFFFFFFF0u), 0u);
    EXPECT_EQ(changed(0x0101, 100000), 0u);  // more rows than its strips hold

    // Thirty one-row strips all laid over the same row: refused, so that a
    // small file cannot make a large picture.
    Tiff t(false);
    const uint32_t row = static_cast<uint32_t>(t.Blob(CornerRgb(40, 1)));
    std::string bits;
    for (int i = 0; i < 3; ++i)
        t.Put16(bits, 8);
    const Tiff::Tag bitsTag{0x0102, Tiff::kShort, 3, static_cast<uint32_t>(t.Blob(bits))};
    t.SetFirst(static_cast<uint32_t>(t.Directory(
        {Tiff::Long(0x0100, 40), Tiff::Long(0x0101, 30), bitsTag, t.Short(0x0103, 1), t.Short(0x0106, 2),
         t.Longs(0x0111, std::vector<uint32_t>(30, row)), t.Short(0x0115, 3), Tiff::Long(0x0116, 1),
         t.Longs(0x0117, std::vector<uint32_t>(30, 120))})));
    EXPECT_TRUE(ReadOf(t.Bytes()).known);
    EXPECT_TRUE(ReadOf(t.Bytes()).layout.rgbCopies.empty());
}

namespace {

// A NEF (big-endian) whose preview lies in Nikon's maker note (little-endian,
// offsets from its own TIFF header), at start within the note.
std::string NefWithNotePreview(const std::string& preview, uint32_t start = 0)
{
    Tiff note(false);
    const uint32_t jpegAt = static_cast<uint32_t>(note.Blob(preview));
    const uint32_t pv = static_cast<uint32_t>(note.Directory(
        {Tiff::Long(0x0201, start ? start : jpegAt), Tiff::Long(0x0202, static_cast<uint32_t>(preview.size()))}));
    note.SetFirst(static_cast<uint32_t>(note.Directory({{0x0011, 13, 1, pv}})));
    const std::string noteBytes = std::string("Nikon\0\x02\x10\0\0", 10) + note.Bytes();
    Tiff t(true);
    const uint32_t noteAt = static_cast<uint32_t>(t.Blob(noteBytes, 4));
    const uint32_t exif = static_cast<uint32_t>(t.Directory(
        {t.Ascii(0x9003, kTaken), {0x927C, Tiff::kUndefined, static_cast<uint32_t>(noteBytes.size()), noteAt}}));
    t.SetFirst(static_cast<uint32_t>(
        t.Directory({t.Ascii(0x010F, "NIKON CORPORATION"), t.Ascii(0x0110, "NIKON D3"), Tiff::Long(0x8769, exif)})));
    return t.Bytes();
}

}  // namespace

TEST(RawLayout, NikonMakerNoteKeepsAPreviewOfItsOwn)
{
    const std::string preview = FakeJpeg(640, 424, 300);
    const std::string file = NefWithNotePreview(preview);
    const Read read = ReadOf(file);
    ASSERT_TRUE(read.known);
    ASSERT_EQ(read.layout.jpegs.size(), 1u);
    EXPECT_EQ(read.layout.jpegs[0].width, 640u);
    EXPECT_EQ(file.substr(read.layout.jpegs[0].offset, preview.size()), preview);
    EXPECT_EQ(read.layout.taken, kTaken);

    // Its start past the file's end, or so far that the sum wraps: refused.
    for (uint32_t start : {static_cast<uint32_t>(file.size()), 0xFFFFFFF0u})
        EXPECT_TRUE(ReadOf(NefWithNotePreview(preview, start)).layout.jpegs.empty()) << start;
    // Cut short anywhere, what is given lies within what is left.
    for (size_t size = 0; size < file.size(); size += 3) {
        for (const EmbeddedJpeg& jpeg : ReadOf(file.substr(0, size)).layout.jpegs)
            EXPECT_LE(jpeg.offset + jpeg.length, size);
    }
}

TEST(RawLayout, DirectoriesThatLeadInCirclesAreWalkedOnce)
{
    Tiff t(false);
    const uint32_t jpegAt = static_cast<uint32_t>(t.Blob(FakeJpeg(320, 240)));
    // IFD0 points at itself as the next directory and as its own SubIFD.
    const uint32_t at = static_cast<uint32_t>(t.Bytes().size());
    t.Directory({t.Short(0x0103, 6), Tiff::Long(0x014A, at), Tiff::Long(0x0201, jpegAt), Tiff::Long(0x0202, 200)},
                at);
    t.SetFirst(at);
    const Read read = ReadOf(t.Bytes());
    ASSERT_TRUE(read.known);
    EXPECT_EQ(read.layout.jpegs.size(), 1u);
}

TEST(ExifTags, OrientationLensAndPixelSize)
{
    Tiff t(false);
    const uint32_t exif = ExifDirectory(t, 4032, 3024);
    t.SetFirst(static_cast<uint32_t>(t.Directory({t.Ascii(0x010F, kMake), t.Short(0x0112, 6), Tiff::Long(0x8769, exif)})));
    JpegLayout tags;
    ReadTiffTags(reinterpret_cast<const unsigned char*>(t.Bytes().data()), t.Bytes().size(), tags);
    EXPECT_EQ(tags.orientation, 6u);
    EXPECT_EQ(tags.lens, kLens);
    EXPECT_EQ(tags.taken, kTaken);
    EXPECT_EQ(tags.exifWidth, 4032u);
    EXPECT_EQ(tags.exifHeight, 3024u);

    // An orientation out of range is none.
    Tiff bad(false);
    bad.SetFirst(static_cast<uint32_t>(bad.Directory({bad.Short(0x0112, 9)})));
    JpegLayout none;
    ReadTiffTags(reinterpret_cast<const unsigned char*>(bad.Bytes().data()), bad.Bytes().size(), none);
    EXPECT_EQ(none.orientation, 0u);
}
