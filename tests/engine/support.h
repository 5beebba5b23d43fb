// Shared helpers of the engine tests: sample files and small builders.
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace qvtest {

inline std::string samples() { return QV_SAMPLES; }
inline std::string pic(const std::string& name) { return samples() + "/pics/" + name; }
inline std::string smallPic(const std::string& name) { return samples() + "/small/" + name; }

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

inline const std::vector<std::string>& allPictures() {
  static const std::vector<std::string> names = {
      "base.jpg", "prog.jpg", "restart.jpg", "exif.jpg", "exif_aligned.jpg", "mpf.jpg",
      "plain.png", "many_idat.png", "alpha.png", "palette.png", "gray.png", "static.gif",
      "static87.gif", "anim.gif", "pal8.bmp", "rle8.bmp", "true24.bmp", "v5.bmp", "os2.bmp",
      "le_strips.tif", "be_strips.tif", "le_tiles.tif", "be_tiles.tif"};
  return names;
}

}  // namespace qvtest
