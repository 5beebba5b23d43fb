// Where a camera's RAW file keeps the JPEG pictures it carries of itself,
// and what it tells of the photo: the sensor's size, the camera, the lens,
// the date taken and which way up it was held. The raw data itself is
// never read. Portable: the file is read through ByteSource, only the
// directories and the few bytes each JPEG starts with, so a 60 MB file
// costs a few reads. Every offset and length read from the file is checked
// against its size before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Random access to a file's bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // length bytes at offset into to; false when they are not all there.
    virtual bool Read(uint64_t offset, size_t length, unsigned char* to) = 0;
};

// A byte source over bytes at hand.
class MemoryBytes : public ByteSource {
public:
    MemoryBytes(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, size_t length, unsigned char* to) override;

private:
    const unsigned char* m_data;
    size_t m_size;
};

// A JPEG picture inside the file: the whole of it lies within the file,
// starts with a JPEG's start and has a frame GDI+ can read (baseline or
// progressive, not the lossless kind raw data is kept in).
struct EmbeddedJpeg {
    uint64_t offset = 0;
    uint64_t length = 0;
    unsigned width = 0;  // its frame's size
    unsigned height = 0;
};

// A small copy of the picture kept as plain 8-bit RGB rows, uncompressed
// (a DNG's thumbnail in IFD0, a reduced copy in a SubIFD): its strips,
// each checked to lie within the file and to hold its rows.
struct RgbCopy {
    unsigned width = 0;
    unsigned height = 0;
    unsigned rowsPerStrip = 0;
    std::vector<uint64_t> strips;  // where each strip starts
};

struct RawLayout {
    // The sensor's picture size (not a preview's); 0 when the file does not tell.
    unsigned width = 0;
    unsigned height = 0;
    std::string make, model, lens;
    std::string taken;    // "YYYY:MM:DD HH:MM:SS", local time; or empty
    unsigned orientation = 0;  // Exif orientation 1 to 8; 0 when not told
    // Each usable JPEG once, in the order found.
    std::vector<EmbeddedJpeg> jpegs;
    // Each usable RGB copy once, in the order found.
    std::vector<RgbCopy> rgbCopies;

    // The smallest at least minWidth x minHeight, or else the largest;
    // nullptr when there is none.
    const EmbeddedJpeg* Smallest(unsigned minWidth, unsigned minHeight) const;
    const EmbeddedJpeg* Largest() const;
    // The same choice among the RGB copies.
    const RgbCopy* SmallestRgb(unsigned minWidth, unsigned minHeight) const;
    const RgbCopy* LargestRgb() const;
};

// Bounds on an RGB copy worth reading (a DNG's thumbnail is 256 x 171).
const uint64_t kMaxRgbPixels = 16ull * 1024 * 1024;

// Reads a RAW file of any of the families (TIFF-based: CR2, NEF, NRW, ARW,
// SR2, SRF, DNG, PEF, SRW, ORF, RW2, RWL; Canon's CR3; Fujifilm's RAF).
// False when the file is none of them; layout then holds nothing.
bool ReadRawLayout(ByteSource& file, RawLayout& layout);

// The copy's rows top down, width * 3 bytes each (red, green, blue); false
// when a strip cannot be read.
bool ReadRgbCopy(ByteSource& file, const RgbCopy& copy, std::vector<unsigned char>& rows);
