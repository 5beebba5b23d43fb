// Camera RAW files of each family laid out as the makers' public layouts
// describe them, small and made in memory around the JPEGs a test gives:
// for the RAW readers natively and for the thumbnails under Wine. The raw
// data is a few bytes of nothing: no reader may look at it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rawsamples {

// A TIFF structure built front to back: blobs first, then the directories
// that point at them (children before parents, so every offset is known).
class Tiff {
public:
    enum Type : unsigned { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kUndefined = 7 };
    struct Tag {
        unsigned tag;
        unsigned type;
        uint32_t count;
        uint32_t value;  // the value itself when it fits in four bytes, else where it is
    };

    // header: the first bytes (with the first directory's offset at 4), or
    // a plain TIFF header in the byte order chosen.
    explicit Tiff(bool bigEndian, std::string header = std::string()) : m_big(bigEndian)
    {
        m_bytes = header.empty() ? std::string(bigEndian ? "MM\0*" : "II*\0", 4) + std::string(4, '\0') : header;
    }

    size_t Blob(const std::string& data, size_t align = 2)
    {
        while (m_bytes.size() % align)
            m_bytes += '\0';
        const size_t at = m_bytes.size();
        m_bytes += data;
        return at;
    }
    static Tag Long(unsigned tag, uint32_t value) { return {tag, kLong, 1, value}; }
    Tag Short(unsigned tag, unsigned value) const
    {
        // Left-justified in the value field, in the file's byte order.
        return {tag, kShort, 1, m_big ? value << 16 : value};
    }
    Tag Ascii(unsigned tag, const std::string& text)
    {
        const std::string z = text + '\0';
        if (z.size() <= 4) {
            uint32_t value = 0;
            for (size_t i = 0; i < z.size(); ++i)
                value |= static_cast<uint32_t>(static_cast<unsigned char>(z[i])) << (m_big ? 24 - 8 * i : 8 * i);
            return {tag, kAscii, static_cast<uint32_t>(z.size()), value};
        }
        return {tag, kAscii, static_cast<uint32_t>(z.size()), static_cast<uint32_t>(Blob(z))};
    }
    Tag Longs(unsigned tag, const std::vector<uint32_t>& values)
    {
        if (values.size() == 1)
            return Long(tag, values[0]);
        std::string data;
        for (uint32_t v : values)
            Put32(data, v);
        return {tag, kLong, static_cast<uint32_t>(values.size()), static_cast<uint32_t>(Blob(data))};
    }
    // A directory of tags; where it is.
    size_t Directory(const std::vector<Tag>& tags, uint32_t next = 0)
    {
        std::string data;
        Put16(data, static_cast<unsigned>(tags.size()));
        for (const Tag& t : tags) {
            Put16(data, t.tag);
            Put16(data, t.type);
            Put32(data, t.count);
            Put32(data, t.value);
        }
        Put32(data, next);
        return Blob(data);
    }
    void SetFirst(uint32_t at, size_t where = 4)
    {
        std::string data;
        Put32(data, at);
        m_bytes.replace(where, 4, data);
    }
    const std::string& Bytes() const { return m_bytes; }
    std::string& Bytes() { return m_bytes; }

    void Put16(std::string& s, unsigned v) const
    {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
        s += m_big ? std::string{b[1], b[0]} : std::string{b[0], b[1]};
    }
    void Put32(std::string& s, uint32_t v) const
    {
        if (m_big) {
            Put16(s, v >> 16);
            Put16(s, v & 0xFFFF);
        } else {
            Put16(s, v & 0xFFFF);
            Put16(s, v >> 16);
        }
    }

private:
    bool m_big;
    std::string m_bytes;
};

inline std::string Big16(unsigned v)
{
    return std::string{static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

inline std::string Big32(uint32_t v)
{
    return Big16(v >> 16) + Big16(v & 0xFFFF);
}

// What a sample file tells, the same for every family.
const char kMake[] = "Canon";
const char kModel[] = "Canon EOS R6";
const char kTaken[] = "2023:06:01 09:30:15";
const char kLens[] = "RF24-105mm F4 L IS USM";
const unsigned kSensorWidth = 6000, kSensorHeight = 4000;

// The Exif directory: date taken, lens, the picture's pixel size.
inline uint32_t ExifDirectory(Tiff& t, unsigned width = kSensorWidth, unsigned height = kSensorHeight)
{
    return static_cast<uint32_t>(t.Directory({t.Ascii(0x9003, kTaken), t.Ascii(0xA434, kLens),
                                              Tiff::Long(0xA002, width), Tiff::Long(0xA003, height)}));
}

// Canon's CR2: IFD0 the large JPEG as its one strip, IFD1 the small one by
// JPEGInterchangeFormat, IFD3 the raw data (lossless JPEG, sizes in the Exif).
inline std::string Cr2(const std::string& small, const std::string& large, unsigned orientation = 1,
                       const std::string& lossless = std::string())
{
    Tiff t(false, std::string("II*\0\0\0\0\0CR\x02\0\0\0\0\0", 16));
    const uint32_t largeAt = static_cast<uint32_t>(t.Blob(large));
    const uint32_t smallAt = static_cast<uint32_t>(t.Blob(small));
    const std::string raw = lossless.empty() ? std::string(64, '\x5A') : lossless;
    const uint32_t rawAt = static_cast<uint32_t>(t.Blob(raw));
    const uint32_t exif = ExifDirectory(t);
    const uint32_t ifd3 = static_cast<uint32_t>(t.Directory(
        {t.Short(0x0103, 6), Tiff::Long(0x0111, rawAt), Tiff::Long(0x0117, static_cast<uint32_t>(raw.size()))}));
    const uint32_t ifd1 = static_cast<uint32_t>(t.Directory({t.Short(0x0103, 6), Tiff::Long(0x0201, smallAt),
                                                             Tiff::Long(0x0202, static_cast<uint32_t>(small.size()))},
                                                            ifd3));
    const uint32_t ifd0 = static_cast<uint32_t>(t.Directory(
        {t.Short(0x0103, 6), t.Ascii(0x010F, kMake), t.Ascii(0x0110, kModel), Tiff::Long(0x0111, largeAt),
         t.Short(0x0112, orientation), Tiff::Long(0x0117, static_cast<uint32_t>(large.size())),
         Tiff::Long(0x8769, exif)},
        ifd1));
    t.SetFirst(ifd0);
    return t.Bytes();
}

// Nikon's NEF (big-endian), and the same layout for ARW, PEF, SRW and DNG:
// IFD0 a small RGB copy, SubIFDs a JPEG by JPEGInterchangeFormat and the
// raw data (colour filter array) whose size is the sensor's.
inline std::string Nef(const std::string& small, const std::string& large, unsigned orientation = 1)
{
    Tiff t(true);
    const uint32_t largeAt = static_cast<uint32_t>(t.Blob(large));
    const uint32_t smallAt = static_cast<uint32_t>(t.Blob(small));
    const uint32_t rawAt = static_cast<uint32_t>(t.Blob(std::string(64, '\x5A')));
    const uint32_t exif = static_cast<uint32_t>(t.Directory({t.Ascii(0x9003, kTaken), t.Ascii(0xA434, kLens)}));
    const uint32_t jpegs = static_cast<uint32_t>(t.Directory({Tiff::Long(0x00FE, 1), t.Short(0x0103, 6),
                                                              Tiff::Long(0x0201, largeAt),
                                                              Tiff::Long(0x0202, static_cast<uint32_t>(large.size()))}));
    const uint32_t thumbs = static_cast<uint32_t>(t.Directory({Tiff::Long(0x00FE, 1), t.Short(0x0103, 6),
                                                               Tiff::Long(0x0201, smallAt),
                                                               Tiff::Long(0x0202, static_cast<uint32_t>(small.size()))}));
    const uint32_t raw = static_cast<uint32_t>(
        t.Directory({Tiff::Long(0x00FE, 0), Tiff::Long(0x0100, kSensorWidth), Tiff::Long(0x0101, kSensorHeight),
                     t.Short(0x0103, 34713), t.Short(0x0106, 32803), Tiff::Long(0x0111, rawAt),
                     Tiff::Long(0x0117, 64)}));
    Tiff::Tag subs = t.Longs(0x014A, {jpegs, thumbs, raw});
    const uint32_t ifd0 = static_cast<uint32_t>(t.Directory(
        {Tiff::Long(0x00FE, 1), Tiff::Long(0x0100, 160), Tiff::Long(0x0101, 120), t.Short(0x0103, 1),
         t.Short(0x0106, 2), t.Ascii(0x010F, kMake), t.Ascii(0x0110, kModel), t.Short(0x0112, orientation), subs,
         Tiff::Long(0x8769, exif)}));
    t.SetFirst(ifd0);
    return t.Bytes();
}

// Adobe's DNG: the raw directory's DefaultCropSize is the picture's size.
inline std::string Dng(const std::string& large)
{
    Tiff t(false);
    const uint32_t largeAt = static_cast<uint32_t>(t.Blob(large));
    const uint32_t exif = ExifDirectory(t, 1, 1);
    const uint32_t raw = static_cast<uint32_t>(t.Directory(
        {Tiff::Long(0x00FE, 0), Tiff::Long(0x0100, kSensorWidth + 48), Tiff::Long(0x0101, kSensorHeight + 32),
         t.Short(0x0103, 7), t.Short(0x0106, 32803), Tiff::Long(0x0111, largeAt + 16), Tiff::Long(0x0117, 16),
         Tiff::Long(0xC620, 0)}));
    // DefaultCropSize: two LONGs, held apart.
    std::string crop;
    t.Put32(crop, kSensorWidth);
    t.Put32(crop, kSensorHeight);
    const uint32_t cropAt = static_cast<uint32_t>(t.Blob(crop));
    std::string& bytes = t.Bytes();
    // Point the crop entry (the directory's last) at its two values.
    const size_t entry = raw + 2 + 7 * 12;
    std::string count, value;
    t.Put32(count, 2);
    t.Put32(value, cropAt);
    bytes.replace(entry + 4, 4, count);
    bytes.replace(entry + 8, 4, value);
    const uint32_t preview = static_cast<uint32_t>(t.Directory(
        {Tiff::Long(0x00FE, 1), t.Short(0x0103, 7), t.Short(0x0106, 6), Tiff::Long(0x0111, largeAt),
         Tiff::Long(0x0117, static_cast<uint32_t>(large.size()))}));
    Tiff::Tag subs = t.Longs(0x014A, {raw, preview});
    const uint32_t ifd0 = static_cast<uint32_t>(
        t.Directory({Tiff::Long(0x00FE, 1), t.Ascii(0x010F, kMake), t.Ascii(0x0110, kModel), subs,
                     Tiff::Long(0x8769, exif)}));
    t.SetFirst(ifd0);
    return t.Bytes();
}

// Plain RGB rows of w x h: blue, its top-left quarter red, so that a test
// sees the picture's way up.
inline std::string CornerRgb(unsigned w, unsigned h)
{
    std::string rows;
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x)
            rows += x < w / 4 && y < h / 4 ? std::string("\xFF\x00\x00", 3) : std::string("\x20\x40\xC0", 3);
    }
    return rows;
}

// A plain RGB copy's tags (8 bits a sample, uncompressed) with its rows in
// strips of rowsPerStrip rows.
inline std::vector<Tiff::Tag> RgbCopyTags(Tiff& t, unsigned w, unsigned h, unsigned rowsPerStrip)
{
    const std::string rows = CornerRgb(w, h);
    std::vector<uint32_t> offsets, lengths;
    const size_t stripBytes = static_cast<size_t>(w) * 3 * rowsPerStrip;
    for (size_t at = 0; at < rows.size(); at += stripBytes) {
        const std::string strip = rows.substr(at, stripBytes);
        offsets.push_back(static_cast<uint32_t>(t.Blob(strip)));
        lengths.push_back(static_cast<uint32_t>(strip.size()));
    }
    std::string bits;
    for (int i = 0; i < 3; ++i)
        t.Put16(bits, 8);
    const Tiff::Tag bitsTag{0x0102, Tiff::kShort, 3, static_cast<uint32_t>(t.Blob(bits))};
    return {Tiff::Long(0x0100, w),       Tiff::Long(0x0101, h),     bitsTag,
            t.Short(0x0103, 1),          t.Short(0x0106, 2),        t.Longs(0x0111, offsets),
            t.Short(0x0115, 3),          Tiff::Long(0x0116, rowsPerStrip), t.Longs(0x0117, lengths)};
}

// A DNG from a camera that writes no JPEG: IFD0 a small plain RGB copy of
// thumbW x thumbH (as converters write their thumbnail), a SubIFD the raw
// data, and, when previewW is given, a larger plain RGB copy in a SubIFD
// marked reduced.
inline std::string DngWithoutJpeg(unsigned thumbW, unsigned thumbH, unsigned rowsPerStrip, unsigned previewW = 0,
                                  unsigned previewH = 0)
{
    Tiff t(false);
    const uint32_t rawAt = static_cast<uint32_t>(t.Blob(std::string(64, '\x5A')));
    const uint32_t raw = static_cast<uint32_t>(t.Directory(
        {Tiff::Long(0x00FE, 0), Tiff::Long(0x0100, kSensorWidth), Tiff::Long(0x0101, kSensorHeight),
         t.Short(0x0103, 1), t.Short(0x0106, 32803), Tiff::Long(0x0111, rawAt), Tiff::Long(0x0117, 64)}));
    std::vector<uint32_t> subs = {raw};
    if (previewW) {
        std::vector<Tiff::Tag> tags = RgbCopyTags(t, previewW, previewH, previewH);
        tags.insert(tags.begin(), Tiff::Long(0x00FE, 1));
        subs.push_back(static_cast<uint32_t>(t.Directory(tags)));
    }
    const uint32_t exif = ExifDirectory(t, 1, 1);
    std::vector<Tiff::Tag> tags = RgbCopyTags(t, thumbW, thumbH, rowsPerStrip);
    tags.insert(tags.begin(), Tiff::Long(0x00FE, 1));
    tags.insert(tags.begin() + 6, t.Ascii(0x010F, kMake));
    tags.insert(tags.begin() + 7, t.Ascii(0x0110, kModel));
    tags.push_back(t.Longs(0x014A, subs));
    tags.push_back(Tiff::Long(0x8769, exif));
    t.SetFirst(static_cast<uint32_t>(t.Directory(tags)));
    return t.Bytes();
}

// Panasonic's RW2: its own header, the sensor's size and borders in IFD0,
// the JPEG as the value of tag 0x2E.
inline std::string Rw2(const std::string& large)
{
    Tiff t(false, std::string("IIU\0\x08\0\0\0", 8));
    const uint32_t largeAt = static_cast<uint32_t>(t.Blob(large));
    const uint32_t ifd0 = static_cast<uint32_t>(
        t.Directory({t.Short(0x0002, kSensorWidth + 40), t.Short(0x0003, kSensorHeight + 20), t.Short(0x0004, 10),
                     t.Short(0x0005, 20), t.Short(0x0006, kSensorHeight + 10), t.Short(0x0007, kSensorWidth + 20),
                     {0x002E, Tiff::kUndefined, static_cast<uint32_t>(large.size()), largeAt}, t.Ascii(0x010F, kMake),
                     t.Ascii(0x0110, kModel), Tiff::Long(0x8769, ExifDirectory(t))}));
    t.SetFirst(ifd0);
    return t.Bytes();
}

// Olympus' ORF: the raw data in IFD0, the preview in the maker note's
// camera settings, counted from the note's start.
inline std::string Orf(const std::string& large)
{
    Tiff t(false, std::string("IIRO\0\0\0\0", 8));
    const uint32_t rawAt = static_cast<uint32_t>(t.Blob(std::string(64, '\x5A')));
    // The note: its header, its directory naming the camera settings, the
    // settings' directory, the preview; offsets from the note's start.
    Tiff laid(false, std::string("OLYMPUS\0II\x03\0", 12));
    const uint32_t settingsAt = 12 + 2 + 12 + 4;
    const uint32_t jpegAt = settingsAt + 2 + 2 * 12 + 4;
    laid.Directory({{0x2020, 13, 1, settingsAt}});
    laid.Directory({Tiff::Long(0x0101, jpegAt), Tiff::Long(0x0102, static_cast<uint32_t>(large.size()))});
    laid.Blob(large);
    const std::string makerNote = laid.Bytes();
    const uint32_t makerAt = static_cast<uint32_t>(t.Blob(makerNote, 4));
    const uint32_t exif = static_cast<uint32_t>(
        t.Directory({t.Ascii(0x9003, kTaken), t.Ascii(0xA434, kLens),
                     {0x927C, Tiff::kUndefined, static_cast<uint32_t>(makerNote.size()), makerAt}}));
    const uint32_t ifd0 = static_cast<uint32_t>(
        t.Directory({Tiff::Long(0x0100, kSensorWidth), Tiff::Long(0x0101, kSensorHeight), t.Short(0x0103, 1),
                     t.Short(0x0106, 32803), t.Ascii(0x010F, kMake), t.Ascii(0x0110, kModel),
                     Tiff::Long(0x0111, rawAt), Tiff::Long(0x0117, 64), Tiff::Long(0x8769, exif)}));
    t.SetFirst(ifd0);
    return t.Bytes();
}

inline std::string Box(const char* type, const std::string& body)
{
    return Big32(static_cast<uint32_t>(body.size() + 8)) + std::string(type, 4) + body;
}

// Canon's CR3: ftyp "crx ", moov holding Canon's uuid box (CMT1 with IFD0,
// CMT2 with the Exif directory, THMB), the preview's uuid box with PRVW.
inline std::string Cr3(const std::string& small, const std::string& large, unsigned orientation = 1)
{
    const std::string canon("\x85\xC0\xB6\x87\x82\x0F\x11\xE0\x81\x11\xF4\xCE\x46\x2B\x6A\x48", 16);
    const std::string preview("\xEA\xF4\x2B\x5E\x1C\x98\x4B\x88\xB9\xFB\xB7\xDC\x40\x6E\x4D\x16", 16);
    Tiff cmt1(false);
    cmt1.SetFirst(static_cast<uint32_t>(cmt1.Directory(
        {cmt1.Ascii(0x010F, kMake), cmt1.Ascii(0x0110, kModel), cmt1.Short(0x0112, orientation)})));
    Tiff cmt2(false);
    cmt2.SetFirst(ExifDirectory(cmt2));
    const std::string thmb = Box("THMB", Big32(0) + Big16(160) + Big16(120) +
                                             Big32(static_cast<uint32_t>(small.size())) + Big16(1) + Big16(0) + small);
    const std::string moov =
        Box("moov", Box("uuid", canon + Box("CNCV", "CanonCR3_001/00.09.00/00.00.00") + Box("CMT1", cmt1.Bytes()) +
                                    Box("CMT2", cmt2.Bytes()) + thmb));
    const std::string prvw = Box("uuid", preview + std::string(8, '\0') +
                                             Box("PRVW", Big32(0) + Big16(1) + Big16(1620) + Big16(1080) + Big16(1) +
                                                             Big32(static_cast<uint32_t>(large.size())) + large));
    return Box("ftyp", std::string("crx \0\0\0\x01crx isom", 16)) + moov + prvw + Box("mdat", std::string(64, 'Z'));
}

// Fujifilm's RAF: its header names the JPEG and the sensor's records
// (0x100 the full size, 0x111 the picture's, height before width).
inline std::string Raf(const std::string& large)
{
    std::string head = "FUJIFILMCCD-RAW 0201FF383501";
    head += std::string("X-T3").append(28, '\0');
    head += "0100" + std::string(20, '\0');
    const uint32_t jpegAt = 160;
    std::string records = Big32(2) + Big16(0x100) + Big16(4) + Big16(kSensorHeight + 24) + Big16(kSensorWidth + 48) +
                          Big16(0x111) + Big16(4) + Big16(kSensorHeight) + Big16(kSensorWidth);
    const uint32_t recordsAt = jpegAt + static_cast<uint32_t>(large.size());
    head += Big32(jpegAt) + Big32(static_cast<uint32_t>(large.size())) + Big32(recordsAt) +
            Big32(static_cast<uint32_t>(records.size())) + Big32(0) + Big32(0);
    head.resize(jpegAt, '\0');
    return head + large + records;
}

}  // namespace rawsamples
