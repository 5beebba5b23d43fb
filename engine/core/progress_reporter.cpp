#include "progress_reporter.h"

namespace qv {

ProgressReporter::ProgressReporter(Sample sample, Write write, std::chrono::milliseconds every)
    : sample_(std::move(sample)), write_(std::move(write)), every_(every) {
  thread_ = std::thread([this] { run(); });
}

ProgressReporter::~ProgressReporter() { stop(); }

void ProgressReporter::stop() {
  {
    std::lock_guard<Mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ProgressReporter::run() {
  std::unique_lock<Mutex> lock(mu_);
  for (;;) {
    // A write that fails (the reader holds the file) is simply made again
    // at the next turn with newer figures.
    lock.unlock();
    write_(formatProgress(sample_()));
    lock.lock();
    if (cv_.wait_for(lock, every_, [this] { return stop_; })) return;
  }
}

void ProgressReporter::finish(SearchProgress last) {
  stop();
  last.ended = true;
  const std::string text = formatProgress(last);
  for (int attempt = 0; attempt < 20 && !write_(text); ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace qv
