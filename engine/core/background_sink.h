// Hands finds to another sink on a thread of its own, so writing the files
// overlaps with reading and scanning. The bytes are copied first (the
// scanner's blocks are reused); big finds and a full queue make the scanner
// wait instead of holding more memory.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

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
  struct Job {
    Find find;
    std::vector<uint8_t> bytes;  // at least find.length, reused
  };
  void run();

  FindSink& inner_;
  const size_t maxPending_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Job> jobs_;
  std::vector<std::vector<uint8_t>> spare_;  // fresh memory costs page faults
  size_t pending_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace qv
