// Where the parts of a JPEG file that a thumbnail needs lie: the frame's
// size and, when the camera stored one, the small Exif picture in APP1.
// Read from the first bytes of the file; nothing here trusts a field
// without checking it against the bytes at hand.
#pragma once

#include <cstddef>
#include <string>

struct JpegLayout {
    unsigned width = 0;
    unsigned height = 0;
    // The embedded JPEG, as a range of the bytes given; length 0 when none.
    size_t thumbOffset = 0;
    size_t thumbLength = 0;
    // From the Exif block: the camera's make and model, and when the photo
    // was taken ("YYYY:MM:DD HH:MM:SS", local time); empty when not there.
    std::string make;
    std::string model;
    std::string taken;
    // The lens's name (Exif LensModel); empty when not there.
    std::string lens;
    // Which way up the stored pixels are shown (Exif orientation 1 to 8);
    // 0 when not told.
    unsigned orientation = 0;
    // The Exif's pixel size of the picture (PixelXDimension and
    // PixelYDimension); 0 when not there.
    unsigned exifWidth = 0;
    unsigned exifHeight = 0;
};

// The make, model, date taken, lens, orientation and Exif pixel size of a
// TIFF structure (an Exif block's body
// after "Exif\0\0", or a TIFF file's first bytes). Fields not found are left
// as they are.
void ReadTiffTags(const unsigned char* tiff, size_t size, JpegLayout& layout);

// False when the bytes are no JPEG start or the frame header is not among
// them (it then has to be decoded in full).
bool ReadJpegLayout(const unsigned char* data, size_t size, JpegLayout& layout);
