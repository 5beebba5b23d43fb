#include "background_sink.h"

namespace qv {

BackgroundSink::BackgroundSink(FindSink& inner, size_t maxPending)
    : inner_(inner), maxPending_(maxPending) {
  thread_ = std::thread([this] { run(); });
}

BackgroundSink::~BackgroundSink() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void BackgroundSink::onFind(const Find& find, View& data) {
  if (find.length > maxPending_) {
    // Too big to copy: wait until the writer is idle, then write directly.
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    lock.unlock();
    inner_.onFind(find, data);
    return;
  }
  const size_t n = static_cast<size_t>(find.length);
  Job job{find, {}};
  {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return pending_ + n <= maxPending_; });
    pending_ += n;
    if (!spare_.empty()) {
      job.bytes = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  if (job.bytes.size() < n) job.bytes.resize(n);
  if (!data.read(0, job.bytes.data(), n)) {
    std::lock_guard<std::mutex> lock(mu_);
    pending_ -= n;
    spare_.push_back(std::move(job.bytes));
    cv_.notify_all();
    return;
  }
  std::lock_guard<std::mutex> lock(mu_);
  jobs_.push_back(std::move(job));
  cv_.notify_all();
}

void BackgroundSink::run() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
    }
    const size_t n = static_cast<size_t>(job.find.length);
    MemoryView view(job.bytes.data(), n);
    inner_.onFind(job.find, view);
    {
      std::lock_guard<std::mutex> lock(mu_);
      pending_ -= n;
      busy_ = false;
      if (spare_.size() < 16) spare_.push_back(std::move(job.bytes));
    }
    cv_.notify_all();
  }
}

}  // namespace qv
