#include "signature.h"

#include <cstring>

#include "view.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QV_AVX2 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {
namespace {

bool jpegHead(const uint8_t* p) {
  if (p[1] != 0xD8 || p[2] != 0xFF) return false;
  uint8_t m = p[3];
  return (m >= 0xE0 && m <= 0xEF) || m == 0xDB || m == 0xC4 || m == 0xC0 || m == 0xC2 ||
         m == 0xFE || m == 0xDD;
}

bool bmpHead(const uint8_t* p) {
  if (p[1] != 'M' || le32(p + 6) != 0) return false;
  uint32_t dib = le32(p + 14);
  return dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124;
}

}  // namespace

StartFinder::StartFinder(unsigned mask) {
  auto add = [&](PicType t, uint8_t a, uint8_t b) {
    if (!(mask & typeBit(t))) return;
    first_[pairs_] = a;
    second_[pairs_] = b;
    const uint8_t bit = uint8_t(1u << pairs_);
    firstLo_[a & 15] |= bit;
    firstHi_[a >> 4] |= bit;
    secondLo_[b & 15] |= bit;
    secondHi_[b >> 4] |= bit;
    ++pairs_;
  };
  add(PicType::Jpg, 0xFF, 0xD8);
  add(PicType::Png, 0x89, 'P');
  add(PicType::Gif, 'G', 'I');
  add(PicType::Bmp, 'B', 'M');
  add(PicType::Tif, 'I', 'I');
  add(PicType::Tif, 'M', 'M');
#ifdef QV_AVX2
  wide_ = __builtin_cpu_supports("avx2");
#endif
}

#ifdef QV_AVX2
#define QV_TARGET_AVX2 __attribute__((target("avx2")))
namespace {
QV_TARGET_AVX2 inline __m256i table(const uint8_t* t) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t)));
}
// Each byte's bits: the pairs whose byte it can be by both its nibbles.
QV_TARGET_AVX2 inline __m256i classes(__m256i v, __m256i lo, __m256i hi) {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  return _mm256_and_si256(_mm256_shuffle_epi8(lo, _mm256_and_si256(v, nibble)),
                          _mm256_shuffle_epi8(hi, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
}
}  // namespace

// Four table look-ups per 32 positions instead of two compares per pair.
QV_TARGET_AVX2 bool StartFinder::nextWide(const uint8_t* p, size_t& i, size_t to) const {
  const __m256i lo1 = table(firstLo_), hi1 = table(firstHi_), lo2 = table(secondLo_), hi2 = table(secondHi_);
  const __m256i zero = _mm256_setzero_si256();
  for (; i + 32 <= to; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 1));
    const __m256i hit = _mm256_and_si256(classes(x, lo1, hi1), classes(y, lo2, hi2));
    if (unsigned none = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hit, zero))); none != 0xFFFFFFFFu) {
      i += size_t(__builtin_ctz(~none));
      return true;
    }
  }
  return false;
}
#else
bool StartFinder::nextWide(const uint8_t*, size_t&, size_t) const { return false; }
#endif

size_t StartFinder::next(const uint8_t* p, size_t from, size_t to) const {
  if (!pairs_) return to;
  size_t i = from;
  if (wide_ && nextWide(p, i, to)) return i;
#if defined(__SSE2__) || defined(QV_AVX2)
  __m128i a[6], b[6];
  for (int k = 0; k < pairs_; ++k) {
    a[k] = _mm_set1_epi8(char(first_[k]));
    b[k] = _mm_set1_epi8(char(second_[k]));
  }
  for (; i + 16 <= to; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
    __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(x, a[0]), _mm_cmpeq_epi8(y, b[0]));
    for (int k = 1; k < pairs_; ++k)
      hit = _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(x, a[k]), _mm_cmpeq_epi8(y, b[k])));
    if (int bits = _mm_movemask_epi8(hit)) return i + size_t(__builtin_ctz(unsigned(bits)));
  }
#endif
  for (; i < to; ++i)
    for (int k = 0; k < pairs_; ++k)
      if (p[i] == first_[k] && p[i + 1] == second_[k]) return i;
  return to;
}

int candidateType(const uint8_t* p, unsigned mask) {
  int t = -1;
  switch (p[0]) {
    case 0xFF:
      if (jpegHead(p)) t = int(PicType::Jpg);
      break;
    case 0x89:
      if (std::memcmp(p + 1, "PNG\r\n\x1a\n", 7) == 0) t = int(PicType::Png);
      break;
    case 'G':
      if (std::memcmp(p + 1, "IF8", 3) == 0 && (p[4] == '7' || p[4] == '9') && p[5] == 'a')
        t = int(PicType::Gif);
      break;
    case 'B':
      if (bmpHead(p)) t = int(PicType::Bmp);
      break;
    case 'I':
      if (p[1] == 'I' && p[2] == 42 && p[3] == 0) t = int(PicType::Tif);
      break;
    case 'M':
      if (p[1] == 'M' && p[2] == 0 && p[3] == 42) t = int(PicType::Tif);
      break;
    default:
      break;
  }
  return t >= 0 && (mask & (1u << t)) ? t : -1;
}

bool looksLikeFileStart(const uint8_t* p) {
  int t = candidateType(p, kAllTypes);
  if (t < 0) return false;
  switch (PicType(t)) {
    case PicType::Jpg:
      return (p[3] == 0xE0 && std::memcmp(p + 6, "JFIF\0", 5) == 0) ||
             (p[3] == 0xE1 && std::memcmp(p + 6, "Exif\0", 5) == 0);
    case PicType::Tif: {
      uint32_t ifd = p[0] == 'I' ? le32(p + 4) : be32(p + 4);
      return ifd >= 8 && ifd < (1u << 30);
    }
    default:
      return true;
  }
}

}  // namespace qv
