// Lays fuzz input out like a disk: the input is cut at each kPieceMark and
// every piece starts on a sector boundary, the gap before it zero-filled.
// Pictures start on sectors on a real disk, and byte-level mutations would
// almost never keep them there; with the mark (it is in the dictionaries)
// the fuzzer can put several pictures and garbage between them on sectors.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "types.h"

namespace qvfuzz {

constexpr char kPieceMark[] = "<<sector>>";
constexpr size_t kPieceMarkSize = sizeof kPieceMark - 1;
// Many marks in a row must not make a huge disk of zeros.
constexpr size_t kMaxLaidOut = 1 << 20;

inline std::vector<uint8_t> layOutInSectors(const uint8_t* data, size_t size) {
  std::vector<uint8_t> disk;
  size_t start = 0;
  for (;;) {
    const uint8_t* hit = nullptr;
    for (size_t i = start; i + kPieceMarkSize <= size; ++i) {
      if (std::memcmp(data + i, kPieceMark, kPieceMarkSize) == 0) {
        hit = data + i;
        break;
      }
    }
    size_t end = hit ? size_t(hit - data) : size;
    if (disk.size() + (end - start) > kMaxLaidOut) break;
    disk.insert(disk.end(), data + start, data + end);
    if (!hit) break;
    size_t padded = (disk.size() + qv::kSectorSize - 1) / qv::kSectorSize * qv::kSectorSize;
    if (padded > kMaxLaidOut) break;
    disk.resize(padded, 0);
    start = end + kPieceMarkSize;
  }
  return disk;
}

}  // namespace qvfuzz
