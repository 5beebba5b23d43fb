// Hands finds to another sink on a thread of its own, so writing the files
// overlaps with reading and scanning. The bytes are copied first (the
// scanner's blocks are reused); big finds and a full queue make the scanner
// wait instead of holding more memory.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lock.h"
#include "scanner.h"

namespace qv {

class BackgroundSink : public FindSink {
 public:
  BackgroundSink(FindSink& inner, size_t maxPending);
  ~BackgroundSink() override;  // writes what is still queued
  BackgroundSink(const BackgroundSink&) = delete;
  BackgroundSink& operator=(const BackgroundSink&) = delete;

  void onFind(const Find& find, View& data) override;

 private:
  // Memory for a find's bytes, left uninitialised: it is copied into at once.
  struct Buffer {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
  };
  struct Job {
    Find find;
    Buffer buffer;  // at least find.length, reused
  };
  void run();
  // The smallest spare that holds n bytes, else a new one; under mu_.
  Buffer bufferFor(size_t n);
  // Keeps b for a later find while the spares stay within maxPending_.
  void keep(Buffer b);

  FindSink& inner_;
  const size_t maxPending_;
  Mutex mu_;
  CondVar cv_;
  std::deque<Job> jobs_;
  std::vector<Buffer> spare_;  // fresh memory costs page faults
  size_t spareBytes_ = 0;
  size_t pending_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace qv
