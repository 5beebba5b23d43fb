#include "background_sink.h"

#include <algorithm>

namespace qv {

BackgroundSink::BackgroundSink(FindSink& inner, size_t maxPending)
    : inner_(inner), maxPending_(maxPending) {
  thread_ = std::thread([this] { run(); });
}

BackgroundSink::~BackgroundSink() {
  {
    std::lock_guard<Mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void BackgroundSink::onFind(const Find& find, View& data) {
  if (find.length > maxPending_) {
    // Too big to copy: wait until the writer is idle, then write directly.
    std::unique_lock<Mutex> lock(mu_);
    cv_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    lock.unlock();
    inner_.onFind(find, data);
    return;
  }
  const size_t n = static_cast<size_t>(find.length);
  Job job{find, {}};
  {
    std::unique_lock<Mutex> lock(mu_);
    cv_.wait(lock, [&] { return pending_ + n <= maxPending_; });
    pending_ += n;
    job.buffer = bufferFor(n);
  }
  if (!data.read(0, job.buffer.bytes.get(), n)) {
    std::lock_guard<Mutex> lock(mu_);
    pending_ -= n;
    keep(std::move(job.buffer));
    cv_.notify_all();
    return;
  }
  std::lock_guard<Mutex> lock(mu_);
  jobs_.push_back(std::move(job));
  cv_.notify_all();
}

BackgroundSink::Buffer BackgroundSink::bufferFor(size_t n) {
  size_t best = spare_.size();
  for (size_t i = 0; i < spare_.size(); ++i)
    if (spare_[i].size >= n && (best == spare_.size() || spare_[i].size < spare_[best].size)) best = i;
  Buffer b;
  if (best < spare_.size()) {
    b = std::move(spare_[best]);
    spare_[best] = std::move(spare_.back());
    spare_.pop_back();
    spareBytes_ -= b.size;
    return b;
  }
  // None fits: a new one, a little larger so that it fits more finds later;
  // the smallest spares make room for it in what is kept.
  b.size = std::max<size_t>(n + n / 4, 64 << 10);
  while (!spare_.empty() && spareBytes_ + b.size > maxPending_) {
    size_t smallest = 0;
    for (size_t i = 1; i < spare_.size(); ++i)
      if (spare_[i].size < spare_[smallest].size) smallest = i;
    spareBytes_ -= spare_[smallest].size;
    spare_[smallest] = std::move(spare_.back());
    spare_.pop_back();
  }
  b.bytes.reset(new uint8_t[b.size]);
  return b;
}

void BackgroundSink::keep(Buffer b) {
  if (spareBytes_ + b.size > maxPending_) return;
  spareBytes_ += b.size;
  spare_.push_back(std::move(b));
}

void BackgroundSink::run() {
  for (;;) {
    Job job;
    {
      std::unique_lock<Mutex> lock(mu_);
      cv_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
    }
    const size_t n = static_cast<size_t>(job.find.length);
    MemoryView view(job.buffer.bytes.get(), n);
    inner_.onFind(job.find, view);
    {
      std::lock_guard<Mutex> lock(mu_);
      pending_ -= n;
      busy_ = false;
      keep(std::move(job.buffer));
    }
    cv_.notify_all();
  }
}

}  // namespace qv
