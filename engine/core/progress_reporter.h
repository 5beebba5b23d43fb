// Writes the search's progress every so often on a thread of its own, and
// once more with the final figures when the search is over.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "lock.h"
#include "progress_file.h"

namespace qv {

class ProgressReporter {
 public:
  using Sample = std::function<SearchProgress()>;
  // Replaces the progress file with the text; false if it could not.
  using Write = std::function<bool(const std::string& text)>;

  ProgressReporter(Sample sample, Write write, std::chrono::milliseconds every);
  ~ProgressReporter();
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  // Stops the thread and writes the final figures with "ended" set, trying
  // a few times: the reader may hold the file for a moment.
  void finish(SearchProgress last);

 private:
  void run();
  void stop();

  Sample sample_;
  Write write_;
  const std::chrono::milliseconds every_;
  Mutex mu_;
  CondVar cv_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace qv
