// Joining a JPEG's pieces (jpeg_fragments.h). Longer than most files here
// (about 500 lines): one search, the Joiner, whose bounds, candidates and
// trial joins share its decoder states and would only be passed around if cut.
#include "jpeg_fragments.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>

#include "jpeg_stream.h"
#include "recognizers.h"

namespace qv {
namespace {

constexpr size_t kMaxPieces = 16;
constexpr uint64_t kMaxCluster = 64 << 10;
// How far after a piece the next one is looked for: 16 MiB, on small
// clusters only this many of them.
constexpr uint64_t kMaxGap = 16 << 20;
constexpr uint64_t kMaxGapClusters = 4096;
// How far before where the picture turned rough the break may lie (the
// roughness is told over 32 MCUs), and how far back the rows before it are
// looked at.
constexpr uint64_t kBack = 8 << 10;
// How far back the decoder's states are kept, to find where the picture
// turned rough and to go back to; further back, one every kStride MCUs.
constexpr uint64_t kHistory = 128 << 10;
constexpr uint32_t kStride = 64;
// How far before the fault the break may lie: random data and free space
// stop fitting within a few hundred bytes.
constexpr uint64_t kNear = 2 << 10;
// Zero bytes in a row that entropy-coded data never holds (it would decode
// as blocks full of ones), and how many bytes of a place are looked at
// before decoding from it.
constexpr size_t kZeroRun = kJpegZeroRun;
constexpr uint64_t kCheck = 512;
// Clean data after a join that makes it a candidate.
constexpr uint64_t kProve = 2 << 10;
// The MCUs compared against the row above: at most one row, and no further
// than this after the join.
constexpr uint64_t kDcReach = 64 << 10;
// MCUs this close before a fault may hold data from elsewhere already.
constexpr uint64_t kFaultDelay = 1 << 10;
// A join's MCUs against the rows above, as rough as the rows before it:
// at most this much rougher. From the first few on the trial stops once
// they are so much rougher that the rest could not make up for it: the
// bound falls from 3 times at 8 MCUs towards kMaxFit.
constexpr double kMaxFit = 1.5;
constexpr uint32_t kEarlyMcus = 8;
constexpr double kEarlySlack = 12;
// Pictures of up to this many MCUs are checked whole once joined (a
// 64-megapixel photo has a quarter of a million); larger ones are not.
constexpr uint32_t kMaxCheckedMcus = 1 << 20;
// More candidates than this for one break: data that fits anywhere.
constexpr size_t kMaxCandidates = 64;
// Of those, the best fitting ones tried in turn; and joins tried for one
// picture in all: every path tried is one more chance for a wrong one to end
// right by chance.
constexpr size_t kMaxTries = 4;
constexpr size_t kMaxJoins = 24;

using Dc = std::array<int, 4>;

bool eoiAt(View& v, uint64_t pos) { return v.byte(pos) == 0xFF && v.byte(pos + 1) == 0xD9; }

class Joiner {
 public:
  Joiner(Window& w, uint64_t start, uint64_t budget)
      : w_(w), maxLen_(std::min(maxPictureSize(PicType::Jpg), w.size() - start)), budget_(budget) {
    pieces_.push_back({0, start});
  }

  uint64_t spent() const { return spent_; }

  JpegPieces run() {
    JpegPieces none;
    PiecesView v(w_, pieces_);
    if (!stream_.open(v, maxLen_)) return none;
    const uint32_t row = stream_.mcusPerRow();
    above_ = stream_.mcus() > row ? row : 1;
    old_.assign(size_t(above_) * 2 + 2, OldDc{UINT32_MAX, Dc{}});
    recent_.assign(1, stream_.start());
    JpegStreamState end;
    if (!follow(stream_.start(), end)) return none;
    if (pieces_.size() < 2) return none;
    // The joined picture, read like any other.
    PiecesView joined(w_, pieces_);
    const uint64_t length = recognizeJpeg(joined, maxPictureSize(PicType::Jpg)).length;
    if (length < end.pos + 2) return none;
    PiecesView check(w_, pieces_);
    if (!jpegDataFits(check, length) || !smoothThroughout()) return none;
    return JpegPieces{pieces_, length};
  }

 private:
  struct Candidate {
    uint64_t b, d;
    double fit;      // roughness after the join against before
    uint64_t level;  // the largest cluster size it allows
  };
  // A cluster size of a piece at b in the picture and at `offset` from its
  // start on the disk: the largest that divides both, up to what the joins
  // so far allow.
  uint64_t levelOf(uint64_t b, uint64_t offset) const {
    uint64_t c = cluster_;
    while (c > kSectorSize && (b % c || offset % c)) c /= 2;
    return c;
  }

  // The state after each MCU of the last kHistory bytes (the first one
  // earlier), the DC values of older MCUs as far back as two rows.
  void keep(const JpegStreamState& s) {
    recent_.push_back(s);
    while (recent_.size() > 2 && recent_[1].pos + kHistory < s.pos) {
      old_[recent_.front().mcu % old_.size()] = OldDc{recent_.front().mcu, dcOf(recent_.front())};
      recent_.pop_front();
    }
  }
  static Dc dcOf(const JpegStreamState& s) { return Dc{s.dc[0], s.dc[1], s.dc[2], s.dc[3]}; }

  // DC values of MCU m (counted from 1) on the path taken so far.
  bool dcAt(uint32_t m, Dc& out) const {
    const uint32_t first = recent_.front().mcu;
    if (m >= first && m - first < recent_.size()) {
      out = dcOf(recent_[m - first]);
      return true;
    }
    if (m < first && old_[m % old_.size()].mcu == m) {
      out = old_[m % old_.size()].dc;
      return true;
    }
    return false;
  }

  // The last state before b, as an index into recent_; -1 if none is kept.
  long checkpoint(uint64_t b) const {
    auto it = std::upper_bound(recent_.begin(), recent_.end(), b,
                               [](uint64_t pos, const JpegStreamState& s) { return pos < s.pos; });
    return it == recent_.begin() ? -1 : long(it - recent_.begin()) - 1;
  }

  // Decodes from s to the end of the picture, joining where the data stops
  // fitting. Where several places fit a break, the best fitting first: a
  // wrong one (the right piece from a little further on, which skips some
  // of the picture) ends with the wrong number of MCUs, and the next is
  // tried. end: the state after the last MCU.
  bool follow(JpegStreamState s, JpegStreamState& end) {
    PiecesView v(w_, pieces_);
    // Whole stretches at a time to where the data stops fitting, a state
    // kept every kStride MCUs; then MCU by MCU over the last kHistory bytes
    // before it, where the break is looked for.
    // Zeros decode cleanly for ever (blocks full of ones) but are never
    // data: a long run of them ends the data as a fault would.
    std::deque<JpegStreamState> marks(1, s);
    JpegStreamState x = s;
    JpegStream::Step st;
    JpegZeroRuns zeros(s.pos);
    uint64_t zeroAt = UINT64_MAX;
    while ((st = stream_.steps(v, x, x.mcu + kStride)) == JpegStream::Step::Mcu) {
      if (spent_ + (x.pos - s.pos) > budget_) return spent_ += x.pos - s.pos, false;
      if ((zeroAt = zeros.find(v, x.pos)) != UINT64_MAX) break;
      marks.push_back(x);
      while (marks.size() > 1 && marks[1].pos + kHistory < x.pos) marks.pop_front();
    }
    if (st == JpegStream::Step::Done && eoiAt(v, x.pos)) {
      end = x;
      return true;
    }
    if (marks.front().mcu != s.mcu) {
      recent_.assign(1, marks.front());
      for (OldDc& o : old_) o.mcu = UINT32_MAX;
    }
    JpegStreamState next = recent_.back();
    while ((st = stream_.step(v, next)) == JpegStream::Step::Mcu && next.pos <= zeroAt) keep(next);
    if (st == JpegStream::Step::Mcu) st = JpegStream::Step::Error;
    spent_ += (x.pos - s.pos) + (next.pos - marks.front().pos);
    if (pieces_.size() == kMaxPieces) return false;
    const uint64_t fault = st == JpegStream::Step::Done ? next.pos + 2 : next.pos;
    for (const Band& band : bands(fault)) {
      const std::vector<Candidate> options = search(band);
      for (size_t i = 0; i < options.size() && i < kMaxTries && spent_ <= budget_ && joins_ < kMaxJoins; ++i) {
        ++joins_;
        std::deque<JpegStreamState> recent = recent_;
        std::vector<OldDc> old = old_;
        const uint64_t cluster = cluster_;
        if (follow(take(options[i]), end)) return true;
        recent_ = std::move(recent);
        old_ = std::move(old);
        cluster_ = cluster;
        pieces_.pop_back();
      }
      if (spent_ > budget_) return false;
    }
    return false;
  }

  // Where the break may lie, the likeliest first: data from elsewhere that
  // decodes cleanly for a while (another photo's with the same tables)
  // still does not fit the rows above it, so before where the picture
  // turned rough; random data and free space stop fitting within a few
  // hundred bytes of it, so the sectors just before the fault.
  struct Band {
    uint64_t lo, hi;
  };
  std::vector<Band> bands(uint64_t fault) const {
    std::vector<Band> out;
    const uint64_t floor = pieces_.back().file + kSectorSize;
    if (fault <= floor) return out;
    const uint64_t hi = (fault - 1) / kSectorSize * kSectorSize;
    const uint64_t nearLo = std::max(floor, hi > kNear ? hi - kNear : 0);
    const long since = checkpoint(pieces_.back().file);
    if (const uint32_t seam = seamAfter(recent_[since < 0 ? 0 : size_t(since)].mcu)) {
      const uint64_t seamHi = std::min(hi, recent_[seam - recent_.front().mcu].pos / kSectorSize * kSectorSize);
      if (seamHi < nearLo && seamHi >= floor) out.push_back({std::max(floor, seamHi > kBack ? seamHi - kBack : 0), seamHi});
    }
    out.push_back({nearLo, hi});
    return out;
  }

  // Breaks in [lo, hi] on every cluster size that is still possible.
  // Candidates for a break in the band, those that fit the likeliest
  // cluster size first, then the best fitting.
  std::vector<Candidate> search(const Band& band) {
    std::vector<Candidate> found;
    const FilePiece last = pieces_.back();
    const uint64_t lo = band.lo, hi = band.hi, start = pieces_.front().disk;
    if (hi < lo) return found;
    memo_.clear();
    memoFrom_ = (last.disk + (lo - last.file)) / kSectorSize;
    // The rows as they were before the earliest break that might be
    // looked at (none in the first row).
    const long earliest = checkpoint(std::max(last.file, lo > kBack ? lo - kBack : 0));
    const uint32_t first = earliest < 0 ? recent_.front().mcu : recent_[size_t(earliest)].mcu;
    const double usual = first > above_ ? usualRoughness(first, above_, above_).mean() : -1;
    for (uint64_t c = cluster_; c >= kSectorSize; c /= 2) {
      for (uint64_t b = hi / c * c; b >= lo && b > last.file; b -= c) {
        const long k = checkpoint(b);
        if (k < 0) break;
        trial_ = pieces_;
        trial_.push_back({b, 0});
        const uint64_t from = last.disk + (b - last.file);
        const double rows = before(recent_[size_t(k)].mcu, usual);
        const uint64_t maxGap = std::min(kMaxGap, c * kMaxGapClusters);
        for (uint64_t gap = c; gap <= maxGap && from + gap < w_.size(); gap += c) {
          // Both multiples of twice this size: tried on the level above.
          if (c < cluster_ && b % (2 * c) == 0 && gap % (2 * c) == 0) continue;
          if (spent_ > budget_) return {};
          trial_.back().disk = from + gap;
          if (!mayBeData(from + gap)) continue;
          const double fit = tryJoin(recent_[size_t(k)], b, rows);
          if (fit < 0) continue;
          // The same bytes from the next piece on, the break elsewhere:
          // the earliest break keeps the least of what followed the piece.
          const Candidate here{b, from + gap, fit, levelOf(b, from + gap - start)};
          auto same = std::find_if(found.begin(), found.end(),
                                   [&](const Candidate& c) { return c.d - c.b == here.d - here.b; });
          if (same == found.end()) {
            found.push_back(here);
          } else {
            const double best = std::min(same->fit, fit);
            if (here.level > same->level || (here.level == same->level && here.b < same->b)) *same = here;
            same->fit = best;
          }
          if (found.size() > kMaxCandidates) return {};
        }
        if (b < c) break;
      }
    }
    std::sort(found.begin(), found.end(), [](const Candidate& x, const Candidate& y) {
      return x.level != y.level ? x.level > y.level : x.fit < y.fit;
    });
    return found;
  }

  // The first MCU after `first` on the path taken where a stretch of MCUs
  // is much rougher against the row above than the same stretch one row
  // earlier; 0 if none.
  uint32_t seamAfter(uint32_t first) const {
    return firstSeam(std::max(first, above_) + 1, recent_.back().mcu, above_,
                     [&](uint32_t k, Dc& out) { return dcAt(k, out); });
  }
  // The same over MCUs [from, to] with DC values from `at`.
  template <class At>
  static uint32_t firstSeam(uint32_t from, uint32_t to, uint32_t above, At at) {
    const uint32_t window = std::min<uint32_t>(above, 32);
    if (window < 8 || from <= above) return 0;
    // rough[i]: the sum over the window ending at MCU from + i.
    std::vector<uint32_t> d, rough;
    Dc a, u;
    uint64_t sum = 0;
    for (uint32_t m = from; m <= to; ++m) {
      if (!at(m, a) || !at(m - above, u)) return 0;
      d.push_back(distance(a, u));
      sum += d.back();
      if (d.size() > window) sum -= d[d.size() - 1 - window];
      rough.push_back(d.size() >= window ? uint32_t(sum) : UINT32_MAX);
      const size_t i = rough.size() - 1;
      if (i >= above && rough[i] != UINT32_MAX && rough[i - above] != UINT32_MAX &&
          rough[i] > 2 * uint64_t(rough[i - above]) + 4 * window)
        return m;
    }
    return 0;
  }

  // The joined picture turns rough nowhere: a path that went through data
  // from elsewhere and still ended with the right number of MCUs shows
  // where it entered it.
  bool smoothThroughout() {
    if (above_ == 1 || stream_.mcus() > kMaxCheckedMcus) return true;
    PiecesView v(w_, pieces_);
    std::vector<Dc> all(1, Dc{});
    JpegStreamState s = stream_.start();
    while (stream_.step(v, s) == JpegStream::Step::Mcu) all.push_back(dcOf(s));
    if (all.size() != size_t(stream_.mcus()) + 1) return false;
    return firstSeam(above_ + 1, stream_.mcus(), above_, [&](uint32_t k, Dc& out) {
             out = all[k];
             return true;
           }) == 0;
  }


  // Goes on with the next piece at c: the state to decode on from.
  JpegStreamState take(const Candidate& c) {
    const long k = checkpoint(c.b);
    recent_.resize(size_t(k) + 1);
    pieces_.push_back({c.b, c.d});
    cluster_ = c.level;
    return recent_.back();
  }

  // How far the DC values of MCUs [lo, hi] lie from those of the MCU
  // `step` before: the sum over all components, and of how many MCUs.
  struct Rough {
    uint64_t size = 0;
    uint32_t n = 0;
    double mean() const { return n ? double(size) / n : -1; }
  };
  static uint32_t distance(const Dc& a, const Dc& u) {
    uint32_t r = 0;
    for (int c = 0; c < 4; ++c) r += uint32_t(std::abs(a[c] - u[c]));
    return r;
  }
  template <class At>
  static Rough roughness(uint32_t lo, uint32_t hi, uint32_t step, At at) {
    Rough r;
    Dc a, u;
    for (uint32_t m = std::max(lo, step + 1); m <= hi; ++m) {
      if (!at(m, a) || !at(m - step, u)) continue;
      r.size += distance(a, u);
      ++r.n;
    }
    return r;
  }

  // The same for the `count` MCUs up to m on the path taken.
  Rough usualRoughness(uint32_t m, uint32_t count, uint32_t step) const {
    return roughness(m >= count ? m - count + 1 : 1, m, step, [&](uint32_t k, Dc& out) { return dcAt(k, out); });
  }

  // Can the bytes at `disk` start a piece: can its first kCheck bytes be
  // entropy-coded data? There a 0xFF is only ever followed by 0x00, a
  // restart marker or the EOI, and no run of zeros is as long as kZeroRun.
  // Most places (old data, free space) fail at once, before any decoding;
  // each sector is looked at once per break.
  bool mayBeData(uint64_t disk) {
    const uint64_t sector = disk / kSectorSize;
    if (sector < memoFrom_) return true;
    if (sector - memoFrom_ >= memo_.size()) memo_.resize(size_t(sector - memoFrom_) + 1, 0);
    uint8_t& known = memo_[size_t(sector - memoFrom_)];
    if (!known) known = looksLikeData(disk) ? 2 : 1;
    return known == 2;
  }
  bool looksLikeData(uint64_t disk) {
    uint64_t pos = disk;
    const uint64_t end = disk + kCheck;
    size_t zeros = 0;
    while (pos < end) {
      size_t avail = 0;
      const uint8_t* p = w_.at(pos, avail);
      if (!p) return true;  // the end of the disk: the decoder tells
      const size_t n = size_t(std::min<uint64_t>(avail, end - pos));
      for (size_t i = 0; i < n; ++i) {
        zeros = p[i] ? 0 : zeros + 1;
        if (zeros == kZeroRun) return spent_ += i + 1, false;
        if (p[i] != 0xFF) continue;
        const int next = i + 1 < n ? p[i + 1] : WindowView(w_, pos + i + 1).byte(0);
        if (next == 0xD9 || next < 0) return spent_ += i + 1, true;
        if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) return spent_ += i + 1, false;
      }
      spent_ += n;
      pos += n;
    }
    return true;
  }

  // The rows before the break at b, against which a join there is
  // measured: those just before it, or before the earliest break looked at
  // (`usual`) if that is smoother, in case the data before b is already
  // from elsewhere. In the first row, where the MCUs after the join can
  // only be held against the part of it before the join, how far each MCU
  // lies from the one to its left: pictures are about as rough across as
  // down. -1 if there is too little to compare.
  double before(uint32_t m0, double usual) const {
    if (m0 < above_) return m0 >= kEarlyMcus ? usualRoughness(m0, m0, 1).mean() : -1;
    double local = usualRoughness(m0, above_, above_).mean();
    if (usual >= 0 && (local < 0 || usual < local)) local = usual;
    return local;
  }

  // Does the data decode on cleanly across the break at b (trial_ as the
  // pieces), for kProve bytes or to its end, and do the MCUs after the join
  // continue the picture: their DC values against those of the MCUs above
  // no rougher than `rows` before? How much rougher (1: as rough), or -1 if
  // it does not fit. After a join in the first row the row below it tells.
  double tryJoin(const JpegStreamState& from, uint64_t b, double rows) {
    PiecesView t(w_, trial_);
    JpegStreamState x = from;
    after_.clear();
    ends_.clear();
    const uint32_t m0 = from.mcu;
    const uint32_t step = above_;
    bool fault = false, done = false;
    uint64_t sum = 0;
    uint32_t n = 0;
    Dc u;
    while (x.mcu < m0 + above_ || x.pos < b + kProve) {
      if (x.pos > b + kDcReach) break;
      const JpegStream::Step st = stream_.step(t, x);
      if (st != JpegStream::Step::Mcu) {
        done = st == JpegStream::Step::Done && eoiAt(t, x.pos);
        fault = !done;
        break;
      }
      after_.push_back(dcOf(x));
      ends_.push_back(x.pos);
      // Most places that decode (the data of other photos with the same
      // tables) are far rougher from the first MCUs on.
      const uint32_t above = x.mcu - step;
      if (rows >= 0 && x.mcu > step && (above > m0 ? (u = after_[above - m0 - 1], true) : dcAt(above, u))) {
        sum += distance(after_.back(), u);
        if (++n >= kEarlyMcus && double(sum) / n + 1 > (kMaxFit + kEarlySlack / n) * (rows + 1)) break;
      }
    }
    spent_ += x.pos - from.pos;
    if (fault && x.pos < b + kProve) return -1;
    if (!done && !fault && x.pos < b + kProve) return -1;
    // Near a fault the data may already come from the next break.
    if (fault)
      while (!ends_.empty() && ends_.back() + kFaultDelay > x.pos) ends_.pop_back(), after_.pop_back();
    auto path = [&](uint32_t m, Dc& out) {
      if (m <= m0) return dcAt(m, out);
      if (m - m0 - 1 >= after_.size()) return false;
      out = after_[m - m0 - 1];
      return true;
    };
    const Rough after = roughness(m0 + 1, m0 + uint32_t(after_.size()), step, path);
    // Nothing to compare: a picture of one MCU row or column.
    if (!after.n || rows < 0) return !after.n && rows < 0 && above_ == 1 ? 1 : -1;
    // The same picture goes on about as rough as before (within a tenth or
    // two); another one, even from the same camera, is rougher.
    const double fit = (after.mean() + 1) / (rows + 1);
    // Much smoother than before: the rows before were not the picture's.
    return fit <= kMaxFit && fit * kMaxFit >= 1 ? fit : -1;
  }

  Window& w_;
  const uint64_t maxLen_;
  JpegStream stream_;
  std::vector<FilePiece> pieces_, trial_;
  std::deque<JpegStreamState> recent_;
  struct OldDc {
    uint32_t mcu;
    Dc dc;
  };
  std::vector<OldDc> old_;
  std::vector<Dc> after_;
  std::vector<uint64_t> ends_;
  uint32_t above_ = 1;
  uint64_t cluster_ = kMaxCluster;
  const uint64_t budget_;
  uint64_t spent_ = 0;
  // Per break: which sectors mayBeData found cannot start a piece (1) or
  // can (2), from sector memoFrom_ on.
  std::vector<uint8_t> memo_;
  uint64_t memoFrom_ = 0;
  size_t joins_ = 0;
};

}  // namespace

JpegPieces findJpegPieces(Window& w, uint64_t start, uint64_t budget, uint64_t* spent) {
  Joiner j(w, start, budget);
  JpegPieces p = j.run();
  if (spent) *spent += j.spent();
  return p;
}

}  // namespace qv
