// libFuzzer target: the MCU-by-MCU JPEG data check on arbitrary bytes, which
// must decide exactly as the simple reference check does, also when the
// bytes come in small pieces; and the eighth-sized picture made from the
// same decode, which needs the whole data.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "../jpeg_stream_reference.h"
#include "jpeg_dc_picture.h"
#include "jpeg_stream.h"

namespace {

// The bytes in spans of at most 5.
class PiecesView : public qv::View {
 public:
  PiecesView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override {
    if (pos >= size_) return nullptr;
    avail = std::min<size_t>(5, size_ - size_t(pos));
    return data_ + pos;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using qvtest::runStream;
  qv::MemoryView v(data, size);
  PiecesView pieces(data, size);
  const qvtest::StreamOutcome ref = runStream<qvref::JpegStream, qvref::JpegStreamState>(v, size);
  if (!(runStream<qv::JpegStream, qv::JpegStreamState>(v, size) == ref)) std::abort();
  if (!(runStream<qv::JpegStream, qv::JpegStreamState>(pieces, size) == ref)) std::abort();
  if (qv::jpegDataFits(v, size) != (!ref.opened || (ref.done && ref.end < size))) std::abort();
  qv::DcPicture picture;
  // A baseline one's only when its data decodes to its end; one the stream
  // does not open may be a progressive one's first scans.
  if (qv::jpegDcPicture(pieces, size, picture) &&
      ((ref.opened && !ref.done) || picture.rgb.size() != size_t(picture.width) * picture.height * 3))
    std::abort();
  // What decodes of a damaged one: a whole picture's size, whenever given;
  // the same picture as the whole one's when the data is whole.
  qv::DcPicture part;
  if (qv::jpegDcPicture(pieces, size, part, true)) {
    if (part.rgb.size() != size_t(part.width) * part.height * 3) std::abort();
    if (!picture.rgb.empty() && part.rgb != picture.rgb) std::abort();
  }
  return 0;
}
