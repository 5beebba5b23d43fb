// The search's first part: what the file systems on the disk still say
// about their picture files. Every volume of the partition table (or the
// disk itself) is read by the reader of its file system; each picture file
// described there, live ones before deleted ones, is checked by its type's
// recogniser over exactly the data the record lists and written under its
// original name with its modification time: whole, or damaged (its data
// does not check out, but it starts as its type does), marked so. The
// content search then skips the pictures written here.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <set>

#include "../scanner.h"
#include "../source.h"

namespace qv {

struct RecordPassStats {
  uint64_t volumes = 0;  // volumes with a file system read
  uint64_t records = 0;  // picture files described
  uint64_t written = 0;  // handed to the sink
  uint64_t damaged = 0;  // of them, written damaged
  std::set<uint64_t> starts;  // disk offsets of the pictures written
};

// How far the pass has got, for another thread to read while it runs: bytes
// of the described pictures checked so far, and in all (0 until the volumes'
// records have all been read). A picture counts at most the disk's size.
struct RecordPassProgress {
  std::atomic<uint64_t> checked{0};
  std::atomic<uint64_t> size{0};
};

RecordPassStats writeRecordedPictures(ByteSource& src, unsigned types, FindSink& sink,
                                      RecordPassProgress* progress = nullptr);

// Counts the finds it hands on into a counter another thread may read while
// the search runs: those of the records' pass and of the content search
// alike.
class CountingSink : public FindSink {
 public:
  CountingSink(FindSink& inner, std::atomic<uint64_t>& count) : inner_(inner), count_(count) {}
  void onFind(const Find& find, View& data) override {
    inner_.onFind(find, data);
    count_.fetch_add(1, std::memory_order_relaxed);
  }

 private:
  FindSink& inner_;
  std::atomic<uint64_t>& count_;
};

// In front of the content search's sink: a picture that starts where one
// written from the records starts is that same file, written already.
class SkipRecorded : public FindSink {
 public:
  SkipRecorded(FindSink& inner, const std::set<uint64_t>& starts) : inner_(inner), starts_(starts) {}
  void onFind(const Find& find, View& data) override {
    if (!starts_.count(find.offset)) inner_.onFind(find, data);
  }

 private:
  FindSink& inner_;
  const std::set<uint64_t>& starts_;
};

}  // namespace qv
