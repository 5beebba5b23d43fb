#include "signature.h"

#include <cstring>

#include "iso_media.h"
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

// A TIFF header may lead to a plain TIFF or to a camera RAW: the recogniser
// tells them apart, and the scan keeps the find only if its type is wanted.
int tiffHead(unsigned mask) { return mask & (typeBit(PicType::Tif) | typeBit(PicType::Raw)) ? int(PicType::Tif) : -1; }

}  // namespace

void StartFinder::add(uint8_t a, uint8_t b) {
  for (int k = 0; k < pairs_; ++k)
    if (first_[k] == a && second_[k] == b) return;
  first_[pairs_] = a;
  second_[pairs_] = b;
  ++pairs_;
  int c = 0;
  while (c < classes_ && classSecond_[c] != b) ++c;
  if (c == classes_) classSecond_[classes_++] = b;
  const uint8_t bit = uint8_t(1u << c);
  firstLo_[a & 15] |= bit;
  firstHi_[a >> 4] |= bit;
  secondLo_[b & 15] |= bit;
  secondHi_[b >> 4] |= bit;
}

StartFinder::StartFinder(unsigned mask) {
  auto want = [&](PicType t) { return (mask & typeBit(t)) != 0; };
  if (want(PicType::Jpg)) add(0xFF, 0xD8);
  if (want(PicType::Png)) add(0x89, 'P');
  if (want(PicType::Gif)) add('G', 'I');
  if (want(PicType::Bmp)) add('B', 'M');
  // TIFF headers lead to TIFFs and TIFF-based camera RAWs; Olympus's and
  // Panasonic's RAW headers start with the same two bytes.
  if (want(PicType::Tif) || want(PicType::Raw)) {
    add('I', 'I');
    add('M', 'M');
  }
  if (want(PicType::Raw)) add('F', 'U');  // FUJIFILMCCD-RAW
  if (want(PicType::Webp)) add('R', 'I');  // RIFF
  // ISO media (HEIC, AVIF, CR3): the box type "ftyp" four bytes into the
  // file (isoMediaType); the scan starts the candidate there.
  if (want(PicType::Raw) || want(PicType::Heic) || want(PicType::Avif)) add('f', 't');
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
  // The wide search's classes may let a mixture through: checked here.
  while (wide_ && nextWide(p, i, to)) {
    if (isPair(p[i], p[i + 1])) return i;
    ++i;
  }
#if defined(__SSE2__) || defined(QV_AVX2)
  __m128i a[kMaxPairs], b[kMaxPairs];
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
      if (p[1] != 'I') break;
      if (p[2] == 42 && p[3] == 0) return tiffHead(mask);
      // Olympus ORF (IIRO, IIRS) and Panasonic RW2/RWL (IIU\0).
      if ((p[2] == 'R' && (p[3] == 'O' || p[3] == 'S')) || (p[2] == 'U' && p[3] == 0)) t = int(PicType::Raw);
      break;
    case 'M':
      if (p[1] != 'M') break;
      if (p[2] == 0 && p[3] == 42) return tiffHead(mask);
      if (p[2] == 'O' && p[3] == 'R') t = int(PicType::Raw);  // Olympus ORF, big-endian
      break;
    case 'F':
      if (std::memcmp(p, "FUJIFILMCCD-RAW ", 16) == 0) t = int(PicType::Raw);
      break;
    case 'R':
      if (std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WEBP", 4) == 0) t = int(PicType::Webp);
      break;
    default:
      break;
  }
  return t >= 0 && (mask & (1u << t)) ? t : -1;
}

bool looksLikeFileStart(const uint8_t* p) {
  int t = candidateType(p, kAllTypes);
  if (t < 0) return isoMediaType(p, kAllTypes) >= 0;
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
