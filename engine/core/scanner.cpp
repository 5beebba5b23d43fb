#include "scanner.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "block_reader.h"
#include "block_search.h"
#include "damaged_part.h"
#include "iso_media.h"
#include "jpeg_followers.h"
#include "jpeg_fragments.h"
#include "lock.h"
#include "png_fragments.h"
#include "jpeg_stream.h"
#include "recognizers.h"
#include "signature.h"
#include "tiff_walk.h"
#include "window.h"

namespace qv {
namespace {

uint64_t nextSectorStart(uint64_t pos) { return (pos / kSectorSize + 1) * kSectorSize; }

// Work for joining JPEGs at the start of a search, and at most ever saved up.
constexpr uint64_t kJoinCreditStart = 128 << 20;
constexpr uint64_t kMaxJoinCredit = 1 << 30;

// Pictures whose contents no check can tell from foreign data: if another
// file starts at a sector inside one, the picture was fragmented and what
// follows is not its data.
//
// HEIC, AVIF, CR3 and WebP cannot be checked inside either. Their own Exif
// (a TIFF header) may lie at a sector start, and a CR3's JPEG previews may;
// a HEIC's and an AVIF's pictures are HEVC and AV1 data, so a JPEG that
// starts at a sector inside one is another file's.
bool foreignToIsoOrWebp(const Find& f, const uint8_t* p) {
  const int t = candidateType(p, kAllTypes);
  if (t == int(PicType::Tif)) return false;
  return !(t == int(PicType::Jpg) && f.type == PicType::Raw);
}

// A TIFF-based camera RAW holds its own JPEG previews, often at sector
// starts: only a file start that is not one of the blocks its directories
// reference is foreign.
bool holdsForeignFile(PicType t, Window& w, const Find& f) {
  const bool isoOrWebp = t == PicType::Heic || t == PicType::Avif || t == PicType::Webp ||
                         (t == PicType::Raw && f.ext && std::strcmp(f.ext, "cr3") == 0);
  const bool tiffRaw = t == PicType::Raw && !isoOrWebp;
  if (t != PicType::Bmp && t != PicType::Tif && t != PicType::Gif && !isoOrWebp && !tiffRaw) return false;
  std::vector<uint64_t> own;
  bool ownRead = false;
  uint8_t head[kSignatureBytes];
  for (uint64_t s = nextSectorStart(f.offset); s + kSignatureBytes <= f.offset + f.length; s += kSectorSize) {
    size_t avail = 0;
    const uint8_t* p = w.at(s, avail);
    if (!p) return false;
    if (avail < kSignatureBytes) {
      WindowView(w, s).read(0, head, kSignatureBytes);
      p = head;
    }
    if (!looksLikeFileStart(p)) continue;
    if (isoOrWebp) {
      if (foreignToIsoOrWebp(f, p)) return true;
      continue;
    }
    if (!tiffRaw) return true;
    if (!ownRead) {
      WindowView file(w, f.offset);
      if (!rawBlockStarts(file, f.length, own)) return true;
      std::sort(own.begin(), own.end());
      ownRead = true;
    }
    if (!std::binary_search(own.begin(), own.end(), s - f.offset)) return true;
  }
  return false;
}

// Blocks searched ahead of the scan. The scan's own thread works through
// queued blocks too while it waits for one.
class Searchers {
 public:
  struct Job {
    BlockWork work;
    bool done = false;
  };

  Searchers(unsigned extraThreads, unsigned types) : finder_(types), types_(types) {
    for (unsigned i = 0; i < extraThreads; ++i) threads_.emplace_back([this] { run(); });
  }
  ~Searchers() {
    {
      std::lock_guard<Mutex> lock(mu_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
  }
  Searchers(const Searchers&) = delete;
  Searchers& operator=(const Searchers&) = delete;

  void submit(Job* j) {
    {
      std::lock_guard<Mutex> lock(mu_);
      queue_.push_back(j);
    }
    wake_.notify_one();
  }

  void wait(Job* j) {
    std::unique_lock<Mutex> lock(mu_);
    while (!j->done) {
      if (queue_.empty()) {
        done_.wait(lock);
        continue;
      }
      Job* k = take();
      lock.unlock();
      work(k);
      lock.lock();
    }
  }

 private:
  Job* take() {
    Job* k = queue_.front();
    queue_.pop_front();
    return k;
  }
  void work(Job* k) {
    searchBlock(k->work, finder_, types_);
    {
      std::lock_guard<Mutex> lock(mu_);
      k->done = true;
    }
    done_.notify_all();
  }
  void run() {
    std::unique_lock<Mutex> lock(mu_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      Job* k = take();
      lock.unlock();
      work(k);
      lock.lock();
    }
  }

  const StartFinder finder_;
  const unsigned types_;
  Mutex mu_;
  CondVar wake_, done_;
  std::deque<Job*> queue_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

unsigned threadsFor(const ScanOptions& opts) {
  if (opts.threads) return opts.threads;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores ? cores : 1;
}

class Scan {
 public:
  Scan(ByteSource& src, const ScanOptions& opts, FindSink& sink)
      : opts_(opts), sink_(sink), total_(src.size()), reader_(src, opts.blockSize, opts.readAhead),
        w_(src, reader_, opts.maxHold), finder_(opts.types) {}

  ScanStats run() {
    if (threadsFor(opts_) > 1) return runSearchers(threadsFor(opts_));
    uint64_t pos = 0;
    while (pos < total_) {
      w_.advanceTo(pos);
      size_t avail = 0;
      const uint8_t* block = w_.at(pos, avail);
      if (!block) break;
      pos = span(pos, block, avail);
      if (opts_.progress) opts_.progress->searched.store(std::min(pos, total_), std::memory_order_relaxed);
    }
    stats_.bytes = total_;
    return stats_;
  }

 private:
  // The same scan with the blocks searched and their candidates checked on
  // several threads, a few blocks ahead; what is done with each candidate
  // is decided here, in order, exactly as above. Reading stays one stream.
  ScanStats runSearchers(unsigned threads) {
    Searchers searchers(threads - 1, opts_.types);
    std::deque<std::unique_ptr<Searchers::Job>> jobs;
    // Blocks queued ahead: a block whose photo takes long to check must not
    // leave the other threads without work, so about three a thread (each
    // holds its block and what its candidates reach into; 4 MiB a block).
    const size_t depth = std::min<size_t>(3 * threads + 2, 32);
    const uint64_t ahead = std::max<uint64_t>(opts_.checkAhead, 2 * kSignatureBytes);
    uint64_t pos = 0, queued = 0;
    while (pos < total_) {
      while (jobs.size() < depth && queued < total_) {
        auto j = std::make_unique<Searchers::Job>();
        BlockWork& work = j->work;
        work.start = queued;
        work.end = std::min<uint64_t>(total_, queued + opts_.blockSize);
        work.total = total_;
        work.blocks = w_.held(work.start, std::min(total_, work.end + ahead));
        queued = work.end;
        // Blocks come at multiples of the block size; anything else is
        // searched here the plain way.
        if (work.blocks.empty() || work.blocks.front()->offset != work.start) work.blocks.clear();
        if (work.blocks.empty()) j->done = true;
        else searchers.submit(j.get());
        jobs.push_back(std::move(j));
      }
      Searchers::Job& j = *jobs.front();
      searchers.wait(&j);
      const uint64_t end = j.work.end;
      if (j.work.blocks.empty()) {
        while (pos < end) {
          size_t avail = 0;
          const uint8_t* block = w_.at(pos, avail);
          if (!block) break;
          pos = span(pos, block, size_t(std::min<uint64_t>(avail, end - pos)));
        }
      }
      for (const BlockCandidate& c : j.work.found)
        if (c.pos + c.lead >= pos) {
          // An ISO media file whose head the worker could not read (it
          // starts in the block before) is looked at as the scan alone would.
          const uint64_t found = c.lead && !c.known ? isoCandidate(c.pos + c.lead)
                                                    : candidate(c.pos, c.type, c.known ? &c.r : nullptr);
          if (found) pos = found;
        }
      pos = std::max(pos, end);
      jobs.pop_front();
      // The blocks of the jobs still out start at end.
      w_.advanceTo(end);
      if (opts_.progress) opts_.progress->searched.store(std::min(pos, total_), std::memory_order_relaxed);
    }
    for (auto& j : jobs) searchers.wait(j.get());
    stats_.bytes = total_;
    return stats_;
  }

  // Looks at every byte of [pos, pos + n); returns where to go on. Heads
  // that lie wholly in the block are checked in place, the last few from a
  // copy that reaches into the next block.
  uint64_t span(uint64_t pos, const uint8_t* p, size_t n) {
    const size_t inPlace = n >= kSignatureBytes ? n - kSignatureBytes + 1 : 0;
    for (size_t i = finder_.next(p, 0, inPlace); i < inPlace; i = finder_.next(p, i + 1, inPlace))
      if (uint64_t end = candidate(pos + i, p + i)) return end;
    uint8_t tail[2 * kSignatureBytes] = {};
    const uint64_t at = pos + inPlace;
    WindowView(w_, at).read(0, tail, size_t(std::min<uint64_t>(sizeof tail - 1, total_ - at)));
    const size_t rest = n - inPlace;
    for (size_t i = finder_.next(tail, 0, rest); i < rest; i = finder_.next(tail, i + 1, rest))
      if (uint64_t end = candidate(at + i, tail + i)) return end;
    return pos + n;
  }

  // The candidate at s; the end of the picture found there, or 0.
  uint64_t candidate(uint64_t s, const uint8_t* head) {
    if (head[0] == 'f' && head[1] == 't') return head[2] == 'y' && head[3] == 'p' ? isoCandidate(s) : 0;
    int t = candidateType(head, opts_.types);
    return t < 0 ? 0 : candidate(s, PicType(t), nullptr);
  }

  // "ftyp" at hit: an ISO media file starts kIsoTypeAt bytes before, maybe
  // in the block before. One that would start inside a find is none (the
  // find's end was recorded in shadowEnd_).
  uint64_t isoCandidate(uint64_t hit) {
    if (hit < kIsoTypeAt || hit - kIsoTypeAt < shadowEnd_) return 0;
    const uint64_t s = hit - kIsoTypeAt;
    uint8_t head[kSignatureBytes] = {};
    WindowView(w_, s).read(0, head, size_t(std::min<uint64_t>(sizeof head, total_ - s)));
    const int t = isoMediaType(head, opts_.types);
    return t < 0 ? 0 : candidate(s, PicType(t), nullptr);
  }

  // checked: what the recogniser and the JPEG data check made of it, when
  // that was worked out ahead.
  uint64_t candidate(uint64_t s, PicType type, const Recognition* checked) {
    if (s < shadowEnd_) return 0;
    ++stats_.candidates;
    Recognition r;
    if (checked) {
      r = *checked;
    } else {
      WindowView view(w_, s);
      r = recognize(type, view, std::min(maxPictureSize(type), total_ - s));
      if (type == PicType::Jpg && r.length) {
        WindowView check(w_, s);
        if (!jpegDataFits(check, r.length)) r.brokeAt = r.length, r.length = 0;
      }
    }
    if (!r.length) {
      shadowEnd_ = std::max(shadowEnd_, s + r.shadow);
      // Files on a disk start at sector starts; a picture inside another
      // file has no clusters of its own to be split across.
      if (type == PicType::Jpg && r.brokeAt && s % kSectorSize == 0) {
        // Joining is paid for by the search: beyond a start, at most a
        // quarter as many bytes of work as bytes searched, so that a disk
        // full of broken photos cannot make the search crawl.
        joinCredit_ = std::min(kMaxJoinCredit, joinCredit_ + (s - creditedTo_) / 4);
        creditedTo_ = s;
        uint64_t spent = 0;
        JpegPieces pieces = findJpegPieces(w_, s, std::min(kJpegJoinBudget, joinCredit_), &spent);
        joinCredit_ -= std::min(joinCredit_, spent);
        if (pieces.length) {
          // Other files between the pieces are still to be found: no skipping.
          PiecesView joined(w_, pieces.pieces);
          sink_.onFind(Find{type, s, pieces.length}, joined);
          found();
          return 0;
        }
      }
      if (type == PicType::Png && s % kSectorSize == 0) {
        PngPieces pieces = findPngPieces(w_, s);
        if (pieces.length) {
          PiecesView joined(w_, pieces.pieces);
          sink_.onFind(Find{type, s, pieces.length}, joined);
          found();
          return 0;
        }
      }
      return damaged(s, type, r);
    }
    const PicType kind = foundType(type, r);
    if (!(opts_.types & typeBit(kind))) {
      // A type the user left out (a camera RAW behind a TIFF header): what
      // lies inside it (its previews) is not a picture of its own either.
      shadowEnd_ = std::max(shadowEnd_, s + r.length);
      return 0;
    }
    if (type == PicType::Jpg) r.length = withFollowingJpegs(w_, s, r.length, std::min(maxPictureSize(type), total_ - s));
    Find f{kind, s, r.length};
    f.ext = r.ext;
    if (holdsForeignFile(kind, w_, f)) return 0;
    WindowView data(w_, s);
    sink_.onFind(f, data);
    found();
    // Nothing starts inside it: the scan goes on after it, and an ISO media
    // candidate met there may not reach back into it.
    shadowEnd_ = std::max(shadowEnd_, s + r.length);
    return s + r.length;
  }

  // What is left of a picture that is not whole and was not joined: its
  // good part (damaged_part.h), written marked damaged, or nothing. The scan
  // goes on right after what was written, so that whatever overwrote the
  // rest is still searched. Returns as candidate() does.
  uint64_t damaged(uint64_t s, PicType type, const Recognition& r) {
    // A JPEG whose markers failed before its data began has no rows.
    if (type == PicType::Jpg && !r.brokeAt) return 0;
    if (type != PicType::Jpg && type != PicType::Png && type != PicType::Gif) return 0;
    WindowView view(w_, s);
    const DamagedPart part = damagedPart(type, view, std::min(maxPictureSize(type), total_ - s));
    if (!part.length) return 0;
    Find f{type, s, part.length};
    f.damaged = true;
    f.decodes = part.decodes;
    WindowView data(w_, s);
    sink_.onFind(f, data);
    found();
    shadowEnd_ = std::max(shadowEnd_, s + part.length);
    return s + part.length;
  }

  void found() {
    ++stats_.finds;
    if (opts_.progress) opts_.progress->found.store(stats_.finds, std::memory_order_relaxed);
  }

  const ScanOptions& opts_;
  FindSink& sink_;
  const uint64_t total_;
  BlockReader reader_;
  Window w_;
  const StartFinder finder_;
  uint64_t shadowEnd_ = 0;
  uint64_t joinCredit_ = kJoinCreditStart, creditedTo_ = 0;
  ScanStats stats_;
};

}  // namespace

ScanStats scan(ByteSource& src, const ScanOptions& opts, FindSink& sink) { return Scan(src, opts, sink).run(); }

}  // namespace qv
