// CRC-32 as PNG uses it (ISO 3309, reflected 0xEDB88320).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qv {

// Continue a CRC: start with crc32Update(0, ...).
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t n);

}  // namespace qv
