// The first given byte in a span, 16 bytes a step. The marker parser looks
// for 0xFF through all of every JPEG's data; the C library that photo.exe
// runs on under Wine (msvcrt) does memchr a byte at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {

inline const uint8_t* findByte(const uint8_t* p, size_t n, uint8_t byte) {
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi8(char(byte));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(x, want))) return p + i + __builtin_ctz(unsigned(hits));
  }
  for (; i < n; ++i)
    if (p[i] == byte) return p + i;
  return nullptr;
#else
  return static_cast<const uint8_t*>(std::memchr(p, byte, n));
#endif
}

}  // namespace qv
