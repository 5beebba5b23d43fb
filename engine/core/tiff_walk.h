// The directories of a TIFF structure and everything they reference, shared
// by plain TIFF, the TIFF-based camera RAWs (CR2, NEF/NRW, ARW/SR2, DNG, PEF,
// SRW) and the RAWs that put the same structure behind a header of their own
// (Olympus ORF, Panasonic RW2/RWL).
//
// The end is the furthest byte that any directory, out-of-line value, strip,
// tile or JPEG preview (0x0201/0x0202) references, through the IFD0 chain,
// SubIFDs (0x014A), the Exif (0x8769), GPS (0x8825) and interoperability
// (0xA005) directories, Sony's SR2 private directory (0xC634 as a LONG) with
// its data block (0x7200/0x7201), and the maker note (0x927C) blob, whose own
// directory is followed where its layout is public:
//  - Nikon: "Nikon\0", two version bytes, two more, then a TIFF header of its
//    own (its own byte order; offsets count from that header); its PreviewIFD
//    (0x0011) holds a JPEG preview by 0x0201/0x0202;
//  - Canon: the maker note is a directory, offsets count from the file's start.
// A maker note directory that does not look like one (no entries, more than
// 1000) is passed over: makers' private data need not be a directory.
//
// Proof of a whole file: every reference lies before maxLen (the disk's end or
// the type's size bound) and inside the bytes the view holds; a reference
// past it means the file was cut short (length 0), whichever order the parts
// lie in on the disk.
//
// Work is bounded before anything is read or allocated: 64 directories, 1000
// entries each, 2^20 values per strip or tile list (4 MiB), every offset and
// count checked against maxLen first.
#pragma once
#include <cstdint>
#include <vector>

#include "view.h"

namespace qv {

// What the directories say about the camera, for telling RAW families apart.
struct TiffFacts {
  char make[24] = {};     // IFD0's Make (0x010F), cut, NUL-terminated
  char model[24] = {};    // IFD0's Model (0x0110)
  bool dng = false;       // DNGVersion (0xC612) in IFD0
  bool rawImage = false;  // a CFA or linear-raw image (TIFF/EP photometric
                          // 32803 or 34892, a CFAPattern 0x828E) or a maker's
                          // raw compression (Nikon 34713, Sony 32767, Samsung
                          // 32769/32770/32772, Pentax 65535)
  unsigned ifd0Compression = 0;
};

struct TiffWalkOptions {
  bool le = true;
  uint32_t firstIfd = 0;
  // Plain TIFF: the first directory must be an image (width, height, strips
  // or tiles) and use only TIFF's types. Panasonic's IFD0 has neither.
  bool strictFirst = true;
  // Maker notes' own directories followed (the RAW families; a plain TIFF
  // from a camera has one too, and reads the same).
  bool makerNotes = true;
};

// The file's length, or 0 if it is not whole. facts and starts may be null;
// starts gets the start of every referenced block (strips, tiles, previews,
// maker-note headers), relative to the file.
uint64_t walkTiff(View& v, uint64_t maxLen, const TiffWalkOptions& o, TiffFacts* facts,
                  std::vector<uint64_t>* starts);

// The starts of the blocks a RAW file (any family, by its header) references,
// for telling its own previews from a foreign file inside it; false if the
// header does not read.
bool rawBlockStarts(View& v, uint64_t maxLen, std::vector<uint64_t>& starts);

}  // namespace qv
