// Where camera RAW files keep their JPEGs, plain RGB copies and details.
// Longer than most files here (about 880 lines): one reader per family of RAW
// (TIFF-based with their SubIFDs and maker notes, CR3's boxes, RAF's header),
// each small, sharing the bounded IFD walk at the top; apart, each would
// repeat it.
#include "RawLayout.h"

#include <algorithm>
#include <cstring>

#include "JpegLayout.h"
#include "JpegSegments.h"

namespace {

// Bounds on what a damaged or hostile file can make the walk do.
const size_t kMaxDirectories = 32;
const unsigned kMaxEntries = 1024;
const size_t kMaxSubDirectories = 8;
const size_t kMaxJpegs = 16;
const size_t kMaxRgbCopies = 4;
const size_t kMaxStrips = 4096;
// A JPEG's first bytes: an Exif block (at most 64 KiB) and the frame after it.
const size_t kJpegHead = 66 * 1024;
// Blocks read whole to be parsed in memory (a CR3's metadata boxes).
const size_t kMaxBlock = 256 * 1024;

// The TIFF types a number is read from.
const unsigned kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7, kIfd = 13;

unsigned TypeSize(unsigned type)
{
    switch (type) {
    case kByte:
    case kAscii:
    case kUndefined:
        return 1;
    case kShort:
        return 2;
    case kLong:
    case kIfd:
        return 4;
    case kRational:
        return 8;
    default:
        return 0;
    }
}

uint32_t Big32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

unsigned Big16(const unsigned char* p)
{
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}

// The range lies within a file of size bytes (no overflow).
bool Within(uint64_t offset, uint64_t length, uint64_t size)
{
    return offset <= size && length <= size - offset;
}

struct Entry {
    unsigned tag = 0;
    unsigned type = 0;
    uint32_t count = 0;
    unsigned char value[4] = {};
};

// One directory's tags that matter here.
struct Directory {
    unsigned width = 0, height = 0;
    unsigned compression = 0, photometric = 0;
    bool fullSize = true;  // NewSubfileType 0 (or absent): not a reduced copy
    uint32_t jpegOffset = 0, jpegLength = 0;
    uint32_t stripOffset = 0, stripLength = 0;
    unsigned strips = 0;
    // What an uncompressed RGB copy needs told (TIFF's defaults otherwise).
    unsigned samples = 1, planar = 1, rowsPerStrip = 0;
    bool eightBits = false;  // BitsPerSample 8 for each sample
    unsigned cropWidth = 0, cropHeight = 0;  // DNG's DefaultCropSize
};

class RawReader {
public:
    RawReader(ByteSource& file, RawLayout& layout) : m_file(file), m_size(file.Size()), m_layout(layout) {}

    bool ReadTiffFamily(const unsigned char* head);
    bool ReadCr3();
    bool ReadRaf(const unsigned char* head);
    // Fills what the RAW's own tags left unsaid from its JPEGs' Exif blocks.
    void FillFromJpegs();
    void ChooseSensorSize();
    // Adds the small copy each JPEG carries in its own Exif block (a RAF's
    // preview has one, as many cameras' do): a thumbnail drawn from it
    // costs a few kilobytes, not the preview's scan.
    void AddCarriedThumbnails();

private:
    unsigned U16(const unsigned char* p) const { return m_big ? Big16(p) : static_cast<unsigned>(p[1]) << 8 | p[0]; }
    uint32_t U32(const unsigned char* p) const
    {
        return m_big ? Big32(p)
                     : static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
                           static_cast<uint32_t>(p[1]) << 8 | p[0];
    }

    bool ReadAt(uint64_t offset, size_t length, unsigned char* to)
    {
        return Within(offset, length, m_size) && m_file.Read(offset, length, to);
    }
    // The directory at base + offset, its entries and the next one's offset.
    bool ReadDirectory(uint64_t base, uint32_t offset, std::vector<Entry>& entries, uint32_t& next);
    // An entry's first values as numbers (SHORT, LONG, IFD, RATIONAL as
    // their quotient); no more than max.
    std::vector<uint32_t> Numbers(uint64_t base, const Entry& entry, size_t max);
    uint32_t Number(uint64_t base, const Entry& entry)
    {
        const std::vector<uint32_t> values = Numbers(base, entry, 1);
        return values.empty() ? 0 : values[0];
    }
    std::string Ascii(uint64_t base, const Entry& entry);

    // Walks the directory at base + offset and those it leads to.
    void WalkDirectory(uint64_t base, uint32_t offset, bool chain);
    void ReadExif(uint64_t base, uint32_t offset);
    void ReadOlympusNote(uint64_t at, uint32_t length, uint64_t tiffBase);
    void ReadNikonNote(uint64_t at, uint32_t length);
    void AddJpeg(uint64_t offset, uint64_t length);
    // The directory's strips as an uncompressed 8-bit RGB copy, when it is one.
    void AddRgbCopy(uint64_t base, const Directory& dir, bool first, const Entry& offsets, const Entry& lengths);

    // The first box of type within [from, end) (ISO base media); its body's range.
    bool FindBox(uint64_t from, uint64_t end, const char* type, const unsigned char* uuid, uint64_t& body,
                 uint64_t& bodyEnd);
    void ReadCr3Jpeg(uint64_t body, uint64_t bodyEnd, size_t sizeAt);
    void ReadCr3Tags(uint64_t body, uint64_t bodyEnd);

    ByteSource& m_file;
    uint64_t m_size;
    RawLayout& m_layout;
    bool m_big = false;
    std::vector<uint64_t> m_seen;  // directories walked, by their place in the file
    std::vector<Directory> m_directories;
    unsigned m_exifWidth = 0, m_exifHeight = 0;
    unsigned m_sensorWidth = 0, m_sensorHeight = 0;  // told outright (Panasonic's borders)
    std::vector<std::string> m_jpegHeads;             // each JPEG's first bytes, for FillFromJpegs
};

bool RawReader::ReadDirectory(uint64_t base, uint32_t offset, std::vector<Entry>& entries, uint32_t& next)
{
    entries.clear();
    next = 0;
    const uint64_t at = base + offset;
    if (offset < 8 || std::find(m_seen.begin(), m_seen.end(), at) != m_seen.end() ||
        m_seen.size() >= kMaxDirectories)
        return false;
    unsigned char count[2];
    if (!ReadAt(at, 2, count))
        return false;
    const unsigned n = U16(count);
    if (n == 0 || n > kMaxEntries)
        return false;
    std::vector<unsigned char> bytes(static_cast<size_t>(n) * 12 + 4);
    // The next directory's offset may be cut off at the file's end.
    if (!ReadAt(at + 2, bytes.size(), bytes.data()) && !ReadAt(at + 2, bytes.size() - 4, bytes.data()))
        return false;
    m_seen.push_back(at);
    for (unsigned i = 0; i < n; ++i) {
        const unsigned char* p = bytes.data() + static_cast<size_t>(i) * 12;
        Entry entry;
        entry.tag = U16(p);
        entry.type = U16(p + 2);
        entry.count = U32(p + 4);
        std::memcpy(entry.value, p + 8, 4);
        entries.push_back(entry);
    }
    next = U32(bytes.data() + static_cast<size_t>(n) * 12);
    return true;
}

std::vector<uint32_t> RawReader::Numbers(uint64_t base, const Entry& entry, size_t max)
{
    std::vector<uint32_t> values;
    const unsigned size = TypeSize(entry.type);
    if (size == 0 || size == 1 || entry.count == 0)
        return values;
    const size_t count = std::min<size_t>(entry.count, max);
    std::vector<unsigned char> bytes(count * size);
    if (static_cast<uint64_t>(entry.count) * size <= 4)
        std::memcpy(bytes.data(), entry.value, bytes.size());
    else if (!ReadAt(base + U32(entry.value), bytes.size(), bytes.data()))
        return values;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* p = bytes.data() + i * size;
        if (entry.type == kShort) {
            values.push_back(U16(p));
        } else if (entry.type == kRational) {
            const uint32_t denominator = U32(p + 4);
            values.push_back(denominator ? U32(p) / denominator : 0);
        } else {
            values.push_back(U32(p));
        }
    }
    return values;
}

std::string RawReader::Ascii(uint64_t base, const Entry& entry)
{
    if (entry.type != kAscii || entry.count == 0)
        return std::string();
    const size_t count = std::min<size_t>(entry.count, 256);
    std::vector<unsigned char> bytes(count);
    if (entry.count <= 4)
        std::memcpy(bytes.data(), entry.value, count);
    else if (!ReadAt(base + U32(entry.value), count, bytes.data()))
        return std::string();
    std::string text;
    for (size_t i = 0; i < count && bytes[i]; ++i)
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

void RawReader::AddJpeg(uint64_t offset, uint64_t length)
{
    if (length < 4 || !Within(offset, length, m_size) || m_layout.jpegs.size() >= kMaxJpegs)
        return;
    for (const EmbeddedJpeg& known : m_layout.jpegs) {
        if (known.offset == offset)
            return;
    }
    std::string head(static_cast<size_t>(std::min<uint64_t>(length, kJpegHead)), '\0');
    if (!m_file.Read(offset, head.size(), reinterpret_cast<unsigned char*>(&head[0])))
        return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    CJpegSegments segments(bytes, head.size());
    JpegSegment segment;
    while (segments.Next(segment)) {
        if (!IsJpegFrameMarker(segment.marker))
            continue;
        // Baseline, extended and progressive Huffman frames only: the
        // lossless kind holds raw sensor data, which is not a picture.
        if (segment.marker > 0xC2 || segment.length < 5 || !segment.Within(head.size()))
            return;
        EmbeddedJpeg jpeg;
        jpeg.offset = offset;
        jpeg.length = length;
        jpeg.height = Big16(bytes + segment.offset + 1);
        jpeg.width = Big16(bytes + segment.offset + 3);
        if (jpeg.width == 0 || jpeg.height == 0)
            return;
        m_layout.jpegs.push_back(jpeg);
        m_jpegHeads.push_back(std::move(head));
        return;
    }
}

void RawReader::AddRgbCopy(uint64_t base, const Directory& dir, bool first, const Entry& offsets,
                           const Entry& lengths)
{
    // Uncompressed (TIFF's default), RGB, three 8-bit samples each pixel
    // side by side; IFD0 or a reduced copy (NewSubfileType 1), not the
    // full-size data of a SubIFD.
    if (dir.compression > 1 || dir.photometric != 2 || dir.samples != 3 || !dir.eightBits || dir.planar != 1 ||
        (dir.fullSize && !first) || m_layout.rgbCopies.size() >= kMaxRgbCopies)
        return;
    if (dir.width == 0 || dir.height == 0 || static_cast<uint64_t>(dir.width) * dir.height > kMaxRgbPixels)
        return;
    const unsigned rows = dir.rowsPerStrip && dir.rowsPerStrip < dir.height ? dir.rowsPerStrip : dir.height;
    const uint64_t count = (static_cast<uint64_t>(dir.height) + rows - 1) / rows;
    if (count > kMaxStrips || offsets.count != count || lengths.count != count)
        return;
    const std::vector<uint32_t> starts = Numbers(base, offsets, kMaxStrips);
    const std::vector<uint32_t> sizes = Numbers(base, lengths, kMaxStrips);
    if (starts.size() != count || sizes.size() != count)
        return;
    const uint64_t rowBytes = static_cast<uint64_t>(dir.width) * 3;
    RgbCopy copy;
    copy.width = dir.width;
    copy.height = dir.height;
    copy.rowsPerStrip = rows;
    // Strips laid over one another are no picture: together they must fit
    // in the file, so a small file cannot make a large one.
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t need = std::min<uint64_t>(rows, dir.height - i * rows) * rowBytes;
        total += need;
        if (sizes[i] < need || !Within(base + starts[i], need, m_size) || total > m_size)
            return;
        copy.strips.push_back(base + starts[i]);
    }
    for (const RgbCopy& known : m_layout.rgbCopies) {
        if (known.strips.front() == copy.strips.front())
            return;
    }
    m_layout.rgbCopies.push_back(std::move(copy));
}

void RawReader::ReadExif(uint64_t base, uint32_t offset)
{
    std::vector<Entry> entries;
    uint32_t next = 0;
    if (!ReadDirectory(base, offset, entries, next))
        return;
    for (const Entry& entry : entries) {
        switch (entry.tag) {
        case 0x9003: {
            const std::string date = Ascii(base, entry);
            if (date.size() >= 19)
                m_layout.taken = date.substr(0, 19);
            break;
        }
        case 0xA434:
            if (m_layout.lens.empty())
                m_layout.lens = Ascii(base, entry);
            break;
        case 0xA002:
            m_exifWidth = Number(base, entry);
            break;
        case 0xA003:
            m_exifHeight = Number(base, entry);
            break;
        case 0x927C:
            if (entry.count > 4) {
                ReadNikonNote(base + U32(entry.value), entry.count);
                ReadOlympusNote(base + U32(entry.value), entry.count, base);
            }
            break;
        default:
            break;
        }
    }
}

// Olympus keeps its preview in the maker note: a directory of its own whose
// camera settings (0x2020) name the preview's start and length, counted
// from the note's start ("OLYMPUS\0"), or, in older cameras, from the TIFF
// header ("OLYMP\0") with the preview's place in the note's own directory.
void RawReader::ReadOlympusNote(uint64_t at, uint32_t length, uint64_t tiffBase)
{
    unsigned char head[12];
    if (length < 12 || !ReadAt(at, sizeof head, head))
        return;
    uint64_t base;
    uint32_t first;
    const bool wasBig = m_big;
    if (std::memcmp(head, "OLYMPUS\0", 8) == 0 && (head[8] == 'I' || head[8] == 'M') && head[9] == head[8]) {
        base = at;
        first = 12;
        m_big = head[8] == 'M';
    } else if (std::memcmp(head, "OLYMP\0", 6) == 0) {
        base = tiffBase;
        if (at + 8 < base || at + 8 - base > 0xFFFFFFFFu)
            return;
        first = static_cast<uint32_t>(at + 8 - base);
    } else {
        return;
    }
    std::vector<Entry> entries;
    uint32_t next = 0;
    if (ReadDirectory(base, first, entries, next)) {
        uint32_t start = 0, size = 0, settings = 0;
        for (const Entry& entry : entries) {
            if (entry.tag == 0x2020)
                settings = U32(entry.value);
            else if (entry.tag == 0x0088)
                start = Number(base, entry);
            else if (entry.tag == 0x0089)
                size = Number(base, entry);
        }
        if (start && size)
            AddJpeg(base + start, size);
        if (settings && ReadDirectory(base, settings, entries, next)) {
            start = size = 0;
            for (const Entry& entry : entries) {
                if (entry.tag == 0x0101)
                    start = Number(base, entry);
                else if (entry.tag == 0x0102)
                    size = Number(base, entry);
            }
            if (start && size)
                AddJpeg(base + start, size);
        }
    }
    m_big = wasBig;
}

// Nikon's maker note (its third kind): "Nikon\0", a version, then a TIFF
// header of its own that its offsets count from. Its PreviewIFD (0x0011)
// names a JPEG by its start and length (0x0201, 0x0202).
void RawReader::ReadNikonNote(uint64_t at, uint32_t length)
{
    unsigned char head[18];
    if (length < 18 || !ReadAt(at, sizeof head, head) || std::memcmp(head, "Nikon\0", 6) != 0 ||
        !((head[10] == 'I' || head[10] == 'M') && head[11] == head[10]))
        return;
    const bool wasBig = m_big;
    m_big = head[10] == 'M';
    const uint64_t base = at + 10;
    std::vector<Entry> entries;
    uint32_t next = 0;
    if (U16(head + 12) == 42 && ReadDirectory(base, U32(head + 14), entries, next)) {
        uint32_t preview = 0;
        for (const Entry& entry : entries) {
            if (entry.tag == 0x0011)
                preview = Number(base, entry);
        }
        if (preview && ReadDirectory(base, preview, entries, next)) {
            uint32_t start = 0, size = 0;
            for (const Entry& entry : entries) {
                if (entry.tag == 0x0201)
                    start = Number(base, entry);
                else if (entry.tag == 0x0202)
                    size = Number(base, entry);
            }
            if (start && size)
                AddJpeg(base + start, size);
        }
    }
    m_big = wasBig;
}

void RawReader::WalkDirectory(uint64_t base, uint32_t offset, bool chain)
{
    std::vector<Entry> entries;
    uint32_t next = 0;
    if (!ReadDirectory(base, offset, entries, next))
        return;
    const bool first = m_seen.size() == 1;
    Directory dir;
    Entry stripOffsets, stripLengths;
    std::vector<uint32_t> subDirectories;
    uint32_t exif = 0;
    unsigned borders[4] = {};  // Panasonic's sensor top, left, bottom, right
    for (const Entry& entry : entries) {
        switch (entry.tag) {
        case 0x00FE:
            dir.fullSize = (Number(base, entry) & 1) == 0;
            break;
        case 0x0100:
            dir.width = Number(base, entry);
            break;
        case 0x0101:
            dir.height = Number(base, entry);
            break;
        case 0x0103:
            dir.compression = Number(base, entry);
            break;
        case 0x0106:
            dir.photometric = Number(base, entry);
            break;
        case 0x0102: {
            const std::vector<uint32_t> bits = Numbers(base, entry, 4);
            dir.eightBits = !bits.empty() && bits.size() == entry.count &&
                            std::all_of(bits.begin(), bits.end(), [](uint32_t b) { return b == 8; });
            break;
        }
        case 0x0111:
            dir.strips = entry.count;
            dir.stripOffset = Number(base, entry);
            stripOffsets = entry;
            break;
        case 0x0115:
            dir.samples = Number(base, entry);
            break;
        case 0x0116:
            dir.rowsPerStrip = Number(base, entry);
            break;
        case 0x0117:
            dir.stripLength = Number(base, entry);
            stripLengths = entry;
            break;
        case 0x011C:
            dir.planar = Number(base, entry);
            break;
        case 0x0201:
            dir.jpegOffset = Number(base, entry);
            break;
        case 0x0202:
            dir.jpegLength = Number(base, entry);
            break;
        case 0x010F:
            if (m_layout.make.empty())
                m_layout.make = Ascii(base, entry);
            break;
        case 0x0110:
            if (m_layout.model.empty())
                m_layout.model = Ascii(base, entry);
            break;
        case 0x0112:
            if (first) {
                const uint32_t orientation = Number(base, entry);
                if (orientation >= 1 && orientation <= 8)
                    m_layout.orientation = orientation;
            }
            break;
        case 0x0132:
            if (m_layout.taken.empty()) {
                const std::string date = Ascii(base, entry);
                if (date.size() >= 19)
                    m_layout.taken = date.substr(0, 19);
            }
            break;
        case 0x014A:
            subDirectories = Numbers(base, entry, kMaxSubDirectories);
            break;
        case 0x8769:
            exif = Number(base, entry);
            break;
        case 0xC620: {
            const std::vector<uint32_t> crop = Numbers(base, entry, 2);
            if (crop.size() == 2) {
                dir.cropWidth = crop[0];
                dir.cropHeight = crop[1];
            }
            break;
        }
        case 0x0002:
        case 0x0003:
        case 0x0004:
        case 0x0005:
        case 0x0006:
        case 0x0007:
            // Panasonic's IFD0: the sensor's size and its picture's borders.
            if (first && entry.type == kShort) {
                const uint32_t value = Number(base, entry);
                if (entry.tag == 0x0002)
                    m_sensorWidth = value;
                else if (entry.tag == 0x0003)
                    m_sensorHeight = value;
                else
                    borders[entry.tag - 4] = value;
            }
            break;
        case 0x002E:
            // Panasonic's JpgFromRaw: the JPEG is the entry's own value.
            if (first && entry.type == kUndefined && entry.count > 4)
                AddJpeg(base + U32(entry.value), entry.count);
            break;
        default:
            break;
        }
    }
    if (borders[2] > borders[0] && borders[3] > borders[1]) {
        m_sensorWidth = borders[3] - borders[1];
        m_sensorHeight = borders[2] - borders[0];
    }
    if (dir.jpegOffset && dir.jpegLength)
        AddJpeg(base + dir.jpegOffset, dir.jpegLength);
    // A JPEG kept as the directory's one strip (Canon's IFD0, some
    // previews); a lossless one is raw data and is refused by its frame.
    if ((dir.compression == 6 || dir.compression == 7) && dir.strips == 1 && dir.stripLength &&
        dir.photometric != 32803 && dir.photometric != 34892)
        AddJpeg(base + dir.stripOffset, dir.stripLength);
    AddRgbCopy(base, dir, first, stripOffsets, stripLengths);
    m_directories.push_back(dir);

    if (exif)
        ReadExif(base, exif);
    for (uint32_t sub : subDirectories)
        WalkDirectory(base, sub, false);
    if (chain && next)
        WalkDirectory(base, next, true);
}

bool RawReader::ReadTiffFamily(const unsigned char* head)
{
    if (head[0] == 'M' && head[1] == 'M')
        m_big = true;
    else if (head[0] == 'I' && head[1] == 'I')
        m_big = false;
    else
        return false;
    const unsigned magic = U16(head + 2);
    // TIFF; Olympus' "RO" and "RS"; Panasonic's 0x55.
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55)
        return false;
    WalkDirectory(0, U32(head + 4), true);
    return !m_seen.empty();
}

bool RawReader::FindBox(uint64_t from, uint64_t end, const char* type, const unsigned char* uuid, uint64_t& body,
                        uint64_t& bodyEnd)
{
    end = std::min(end, m_size);
    for (int boxes = 0; boxes < 64 && from + 8 <= end; ++boxes) {
        unsigned char header[32];
        if (!ReadAt(from, 8, header))
            return false;
        uint64_t size = Big32(header);
        uint64_t start = from + 8;
        if (size == 1) {
            if (!ReadAt(from + 8, 8, header + 8))
                return false;
            size = static_cast<uint64_t>(Big32(header + 8)) << 32 | Big32(header + 12);
            start = from + 16;
        } else if (size == 0) {
            size = end - from;
        }
        if (size < start - from || size > end - from)
            return false;
        const uint64_t boxEnd = from + size;
        if (std::memcmp(header + 4, type, 4) == 0) {
            if (!uuid) {
                body = start;
                bodyEnd = boxEnd;
                return true;
            }
            unsigned char id[16];
            if (start + 16 <= boxEnd && ReadAt(start, 16, id) && std::memcmp(id, uuid, 16) == 0) {
                body = start + 16;
                bodyEnd = boxEnd;
                return true;
            }
        }
        from = boxEnd;
    }
    return false;
}

// Canon's THMB and PRVW boxes: a few fields, the JPEG's length at sizeAt
// of the body, the JPEG from the body's 16th byte.
void RawReader::ReadCr3Jpeg(uint64_t body, uint64_t bodyEnd, size_t sizeAt)
{
    unsigned char fields[16];
    if (body + 16 > bodyEnd || !ReadAt(body, 16, fields))
        return;
    const uint32_t length = Big32(fields + sizeAt);
    const uint64_t jpeg = body + 16;
    if (length > bodyEnd - jpeg)
        return;
    AddJpeg(jpeg, length);
}

// CMT1 is IFD0 as a TIFF structure of its own, CMT2 the Exif directory.
void RawReader::ReadCr3Tags(uint64_t body, uint64_t bodyEnd)
{
    for (const char* type : {"CMT1", "CMT2"}) {
        uint64_t tags = 0, tagsEnd = 0;
        if (!FindBox(body, bodyEnd, type, nullptr, tags, tagsEnd) || tagsEnd - tags > kMaxBlock)
            continue;
        std::vector<unsigned char> bytes(static_cast<size_t>(tagsEnd - tags));
        if (!ReadAt(tags, bytes.size(), bytes.data()))
            continue;
        JpegLayout found;
        ReadTiffTags(bytes.data(), bytes.size(), found);
        if (m_layout.make.empty())
            m_layout.make = found.make;
        if (m_layout.model.empty())
            m_layout.model = found.model;
        if (m_layout.taken.empty() || (type[3] == '2' && !found.taken.empty()))
            m_layout.taken = found.taken;
        if (m_layout.lens.empty())
            m_layout.lens = found.lens;
        if (!m_layout.orientation && type[3] == '1')
            m_layout.orientation = found.orientation;
        if (found.exifWidth && found.exifHeight) {
            m_exifWidth = found.exifWidth;
            m_exifHeight = found.exifHeight;
        }
    }
}

bool RawReader::ReadCr3()
{
    static const unsigned char kCanonMetadata[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                                     0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
    static const unsigned char kCanonPreview[16] = {0xEA, 0xF4, 0x2B, 0x5E, 0x1C, 0x98, 0x4B, 0x88,
                                                    0xB9, 0xFB, 0xB7, 0xDC, 0x40, 0x6E, 0x4D, 0x16};
    uint64_t moov = 0, moovEnd = 0, meta = 0, metaEnd = 0;
    if (FindBox(0, m_size, "moov", nullptr, moov, moovEnd) &&
        FindBox(moov, moovEnd, "uuid", kCanonMetadata, meta, metaEnd)) {
        ReadCr3Tags(meta, metaEnd);
        uint64_t thumb = 0, thumbEnd = 0;
        // THMB: version and flags, width, height, the JPEG's length.
        if (FindBox(meta, metaEnd, "THMB", nullptr, thumb, thumbEnd))
            ReadCr3Jpeg(thumb, thumbEnd, 8);
    }
    uint64_t preview = 0, previewEnd = 0, prvw = 0, prvwEnd = 0;
    // The preview's uuid box: eight bytes, then PRVW (two fields, width,
    // height, one more, the JPEG's length).
    if (FindBox(0, m_size, "uuid", kCanonPreview, preview, previewEnd) &&
        FindBox(preview + 8, previewEnd, "PRVW", nullptr, prvw, prvwEnd))
        ReadCr3Jpeg(prvw, prvwEnd, 12);
    return meta != 0 || prvw != 0;
}

bool RawReader::ReadRaf(const unsigned char* head)
{
    // Big-endian: the JPEG's offset and length, then the sensor's records'.
    AddJpeg(Big32(head + 84), Big32(head + 88));
    const uint32_t records = Big32(head + 92), recordsLength = Big32(head + 96);
    if (recordsLength >= 4 && recordsLength <= kMaxBlock && Within(records, recordsLength, m_size)) {
        std::vector<unsigned char> bytes(recordsLength);
        if (ReadAt(records, bytes.size(), bytes.data())) {
            const uint32_t count = Big32(bytes.data());
            size_t at = 4;
            unsigned full[2] = {}, cropped[2] = {};
            for (uint32_t i = 0; i < count && i < 256 && at + 4 <= bytes.size(); ++i) {
                const unsigned tag = Big16(&bytes[at]), size = Big16(&bytes[at + 2]);
                at += 4;
                if (size > bytes.size() - at)
                    break;
                // Height, then width.
                if ((tag == 0x0100 || tag == 0x0111) && size >= 4) {
                    unsigned* into = tag == 0x0100 ? full : cropped;
                    into[0] = Big16(&bytes[at + 2]);
                    into[1] = Big16(&bytes[at]);
                }
                at += size;
            }
            const unsigned* size = cropped[0] && cropped[1] ? cropped : full;
            m_sensorWidth = size[0];
            m_sensorHeight = size[1];
        }
    }
    return true;
}

void RawReader::FillFromJpegs()
{
    for (const std::string& head : m_jpegHeads) {
        JpegLayout exif;
        ReadJpegLayout(reinterpret_cast<const unsigned char*>(head.data()), head.size(), exif);
        if (m_layout.make.empty())
            m_layout.make = exif.make;
        if (m_layout.model.empty())
            m_layout.model = exif.model;
        if (m_layout.taken.empty())
            m_layout.taken = exif.taken;
        if (m_layout.lens.empty())
            m_layout.lens = exif.lens;
        if (!m_layout.orientation)
            m_layout.orientation = exif.orientation;
    }
}

void RawReader::AddCarriedThumbnails()
{
    const size_t count = m_jpegHeads.size();
    for (size_t i = 0; i < count; ++i) {
        JpegLayout exif;
        const std::string& head = m_jpegHeads[i];
        ReadJpegLayout(reinterpret_cast<const unsigned char*>(head.data()), head.size(), exif);
        if (exif.thumbLength == 0 || exif.thumbOffset > head.size() ||
            exif.thumbLength > head.size() - exif.thumbOffset)
            continue;
        // AddJpeg checks it lies within the file and reads its frame.
        AddJpeg(m_layout.jpegs[i].offset + exif.thumbOffset, exif.thumbLength);
    }
}

void RawReader::ChooseSensorSize()
{
    // Told outright; a DNG's crop of its raw data; the raw data's own
    // directory (colour filter array or linear raw); the Exif's pixel size;
    // a full-size directory that is none of the JPEGs.
    unsigned width = m_sensorWidth, height = m_sensorHeight;
    for (const Directory& dir : m_directories) {
        if (width && height)
            break;
        if (dir.fullSize && dir.cropWidth && dir.cropHeight) {
            width = dir.cropWidth;
            height = dir.cropHeight;
        }
    }
    uint64_t largest = 0;
    for (const Directory& dir : m_directories) {
        if (width && height)
            break;
        const uint64_t area = static_cast<uint64_t>(dir.width) * dir.height;
        if ((dir.photometric == 32803 || dir.photometric == 34892) && dir.fullSize && area > largest) {
            largest = area;
            width = dir.width;
            height = dir.height;
        }
    }
    if (!width || !height) {
        width = m_exifWidth;
        height = m_exifHeight;
    }
    if (!width || !height) {
        const EmbeddedJpeg* biggest = m_layout.Largest();
        const uint64_t jpegArea = biggest ? static_cast<uint64_t>(biggest->width) * biggest->height : 0;
        for (const Directory& dir : m_directories) {
            const uint64_t area = static_cast<uint64_t>(dir.width) * dir.height;
            // Not a JPEG's directory, nor an RGB or YCbCr copy of the picture.
            if (dir.fullSize && dir.compression != 6 && dir.compression != 7 && dir.photometric != 2 &&
                dir.photometric != 6 && area > jpegArea && area > largest) {
                largest = area;
                width = dir.width;
                height = dir.height;
            }
        }
    }
    if (width && height && width <= 100000 && height <= 100000) {
        m_layout.width = width;
        m_layout.height = height;
    }
}

}  // namespace

bool MemoryBytes::Read(uint64_t offset, size_t length, unsigned char* to)
{
    if (offset > m_size || length > m_size - offset)
        return false;
    if (length)
        std::memcpy(to, m_data + offset, length);
    return true;
}

namespace {

template <typename Picture>
uint64_t Area(const Picture& picture)
{
    return static_cast<uint64_t>(picture.width) * picture.height;
}

template <typename Picture>
const Picture* LargestOf(const std::vector<Picture>& pictures)
{
    const Picture* best = nullptr;
    for (const Picture& picture : pictures) {
        if (!best || Area(picture) > Area(*best))
            best = &picture;
    }
    return best;
}

template <typename Picture>
const Picture* SmallestOf(const std::vector<Picture>& pictures, unsigned minWidth, unsigned minHeight)
{
    const Picture* best = nullptr;
    for (const Picture& picture : pictures) {
        if (picture.width < minWidth || picture.height < minHeight)
            continue;
        if (!best || Area(picture) < Area(*best))
            best = &picture;
    }
    return best ? best : LargestOf(pictures);
}

}  // namespace

const EmbeddedJpeg* RawLayout::Smallest(unsigned minWidth, unsigned minHeight) const
{
    return SmallestOf(jpegs, minWidth, minHeight);
}

const EmbeddedJpeg* RawLayout::Largest() const
{
    return LargestOf(jpegs);
}

const RgbCopy* RawLayout::SmallestRgb(unsigned minWidth, unsigned minHeight) const
{
    return SmallestOf(rgbCopies, minWidth, minHeight);
}

const RgbCopy* RawLayout::LargestRgb() const
{
    return LargestOf(rgbCopies);
}

bool ReadRgbCopy(ByteSource& file, const RgbCopy& copy, std::vector<unsigned char>& rows)
{
    rows.clear();
    const uint64_t rowBytes = static_cast<uint64_t>(copy.width) * 3;
    if (copy.width == 0 || copy.height == 0 || copy.rowsPerStrip == 0 ||
        static_cast<uint64_t>(copy.width) * copy.height > kMaxRgbPixels ||
        copy.strips.size() != (copy.height + static_cast<uint64_t>(copy.rowsPerStrip) - 1) / copy.rowsPerStrip)
        return false;
    rows.resize(static_cast<size_t>(rowBytes * copy.height));
    for (size_t i = 0; i < copy.strips.size(); ++i) {
        const uint64_t first = static_cast<uint64_t>(i) * copy.rowsPerStrip;
        const uint64_t count = std::min<uint64_t>(copy.rowsPerStrip, copy.height - first);
        if (!file.Read(copy.strips[i], static_cast<size_t>(count * rowBytes), rows.data() + first * rowBytes)) {
            rows.clear();
            return false;
        }
    }
    return true;
}

bool ReadRawLayout(ByteSource& file, RawLayout& layout)
{
    layout = RawLayout();
    unsigned char head[104] = {};
    const size_t got = static_cast<size_t>(std::min<uint64_t>(file.Size(), sizeof head));
    if (got < 16 || !file.Read(0, got, head))
        return false;
    RawReader reader(file, layout);
    bool known;
    if (std::memcmp(head, "FUJIFILMCCD-RAW", 15) == 0)
        known = got >= 100 && reader.ReadRaf(head);
    else if (std::memcmp(head + 4, "ftypcrx ", 8) == 0)
        known = reader.ReadCr3();
    else
        known = reader.ReadTiffFamily(head);
    if (!known) {
        layout = RawLayout();
        return false;
    }
    reader.FillFromJpegs();
    reader.ChooseSensorSize();
    reader.AddCarriedThumbnails();
    return true;
}
