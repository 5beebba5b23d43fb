// libFuzzer target: the window's own readers of picture files, on arbitrary
// bytes: the JPEG header walk, the Exif and TIFF tags, and where a camera's
// RAW keeps its JPEGs and plain RGB copies (TIFF directories, CR3's boxes,
// RAF's header), and a large BMP's or TIFF's rows sampled for a thumbnail.
// Nothing they give may point outside the bytes, or be larger than them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "BmpSampled.h"
#include "JpegLayout.h"
#include "JpegSegments.h"
#include "RawLayout.h"
#include "TiffSampled.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CJpegSegments segments(data, size);
  JpegSegment segment;
  while (segments.Next(segment)) {
    if (segment.offset > size) __builtin_trap();
  }

  JpegLayout jpeg;
  ReadJpegLayout(data, size, jpeg);
  if (jpeg.thumbLength && (jpeg.thumbOffset > size || jpeg.thumbLength > size - jpeg.thumbOffset)) __builtin_trap();
  if (jpeg.orientation > 8) __builtin_trap();
  JpegLayout tags;
  ReadTiffTags(data, size, tags);

  MemoryBytes file(data, size);
  RawLayout raw;
  const bool known = ReadRawLayout(file, raw);
  if (!known && !raw.jpegs.empty()) __builtin_trap();
  if (raw.orientation > 8) __builtin_trap();
  for (const EmbeddedJpeg& embedded : raw.jpegs) {
    if (embedded.offset > size || embedded.length > size - embedded.offset || embedded.length < 4) __builtin_trap();
    if (data[embedded.offset] != 0xFF || data[embedded.offset + 1] != 0xD8) __builtin_trap();
    if (!embedded.width || !embedded.height) __builtin_trap();
  }
  if (!known && !raw.rgbCopies.empty()) __builtin_trap();
  for (const RgbCopy& copy : raw.rgbCopies) {
    // Every strip it names is there to be read, within the pixel bound.
    std::vector<unsigned char> rows;
    if (!ReadRgbCopy(file, copy, rows) || rows.size() != static_cast<size_t>(copy.width) * copy.height * 3)
      __builtin_trap();
  }
  if ((raw.SmallestRgb(64, 64) == nullptr) != raw.rgbCopies.empty()) __builtin_trap();
  const EmbeddedJpeg* smallest = raw.Smallest(64, 64);
  const EmbeddedJpeg* largest = raw.Largest();
  if ((smallest == nullptr) != raw.jpegs.empty() || (largest == nullptr) != raw.jpegs.empty()) __builtin_trap();
  // A sampled copy is smaller than the picture and holds no more pixels
  // than the file has bytes.
  for (int kind = 0; kind < 2; ++kind) {
    SampledPicture sampled;
    const bool made = kind == 0 ? SampleBmp(file, 8, 8, sampled) : SampleTiff(file, 8, 8, sampled);
    if (!made) continue;
    if (!sampled.width || !sampled.height || sampled.width > sampled.fullWidth || sampled.height > sampled.fullHeight)
      __builtin_trap();
    if (sampled.bgr.size() != static_cast<size_t>(sampled.width) * sampled.height * 3 || sampled.bgr.size() > size)
      __builtin_trap();
  }
  return 0;
}
