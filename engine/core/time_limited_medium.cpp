#include "time_limited_medium.h"
#include "lock.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace qv {

struct TimeLimitedMedium::Reader {
  Mutex mu;
  CondVar cv;
  bool asked = false, back = false, quit = false, leftBehind = false;
  uint64_t offset = 0;
  std::vector<uint8_t> buf;
  size_t got = 0;
  bool gaveUp = false;

  static void run(std::shared_ptr<Reader> r, Medium* disk) {
    std::unique_lock<Mutex> lock(r->mu);
    for (;;) {
      r->cv.wait(lock, [&] { return r->asked || r->quit; });
      if (r->quit) return;
      lock.unlock();
      bool gaveUp = false;
      const size_t got = disk->readSome(r->offset, r->buf.data(), r->buf.size(), gaveUp);
      lock.lock();
      r->got = got;
      r->gaveUp = gaveUp;
      r->asked = false;
      r->back = true;
      // Nobody waits for a reader left behind: its read is over, so is it.
      if (r->leftBehind) return;
      r->cv.notify_all();
    }
  }
};

TimeLimitedMedium::TimeLimitedMedium(Medium& inner, std::chrono::milliseconds limit) : inner_(inner), limit_(limit) {}

TimeLimitedMedium::~TimeLimitedMedium() {
  std::lock_guard<Mutex> lock(mu_);
  for (auto& r : idle_) {
    std::lock_guard<Mutex> rl(r->mu);
    r->quit = true;
    r->cv.notify_all();
  }
}

std::shared_ptr<TimeLimitedMedium::Reader> TimeLimitedMedium::idleReader() {
  {
    std::lock_guard<Mutex> lock(mu_);
    if (!idle_.empty()) {
      auto r = idle_.back();
      idle_.pop_back();
      return r;
    }
  }
  auto r = std::make_shared<Reader>();
  std::thread(Reader::run, r, &inner_).detach();
  return r;
}

size_t TimeLimitedMedium::readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) {
  gaveUp = false;
  auto r = idleReader();
  std::unique_lock<Mutex> lock(r->mu);
  r->offset = offset;
  r->buf.resize(n);
  r->back = false;
  r->asked = true;
  r->cv.notify_all();
  if (!r->cv.wait_for(lock, limit_, [&] { return r->back; })) {
    r->leftBehind = true;
    lock.unlock();
    gaveUp = true;
    ++givenUpReads_;
    givenUpBytes_ += n;
    std::lock_guard<Mutex> l(mu_);
    abandoned_.push_back(r);
    return 0;
  }
  const size_t got = std::min(r->got, n);
  std::memcpy(buf, r->buf.data(), got);
  gaveUp = r->gaveUp;
  lock.unlock();
  std::lock_guard<Mutex> l(mu_);
  idle_.push_back(std::move(r));
  return got;
}

uint64_t TimeLimitedMedium::abandonedReads() const {
  std::lock_guard<Mutex> lock(const_cast<Mutex&>(mu_));
  uint64_t n = 0;
  for (const auto& r : abandoned_) {
    std::lock_guard<Mutex> rl(r->mu);
    n += !r->back;
  }
  return n;
}

}  // namespace qv
