// A JPEG in two pieces: the commonest fragmentation on a card, where
// another file was written into the clusters in between. When a JPEG's data
// breaks where another file starts, the rest is looked for right after that
// file, on each cluster size the first piece allows, and accepted only if the
// joined picture decodes cleanly.
#pragma once
#include <cstdint>

#include "view.h"
#include "window.h"

namespace qv {

struct JpegSplice {
  uint64_t firstLength = 0;  // bytes from the start of the picture
  uint64_t rest = 0;         // absolute position where the second piece starts
  uint64_t length = 0;       // the whole picture, 0 if none was found
};

// start: where the picture starts; brokeAt: Recognition::brokeAt.
JpegSplice findJpegSplice(Window& w, uint64_t start, uint64_t brokeAt);

// The joined picture's bytes.
class SplicedView : public View {
 public:
  SplicedView(Window& w, uint64_t start, const JpegSplice& s) : w_(w), start_(start), s_(s) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override;

 private:
  Window& w_;
  uint64_t start_;
  JpegSplice s_;
};

}  // namespace qv
