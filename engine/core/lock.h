// A mutex and a condition variable for hand-offs between threads that
// happen at every block or find: the engine's blocks read ahead, searched
// and written out, and the window's thumbnails.
//
// On Windows they are the system's slim reader/writer lock and condition
// variable. The C++ library's own there (over winpthreads) wait on kernel
// events and semaphores: each hand-off that wakes a thread is a system call,
// and under Wine a request to its server, which the engine, the window's
// thumbnail workers and its user interface all queue at during a search.
// The slim lock waits within the process (under Wine on Linux, on a futex).
// Elsewhere they are the standard ones.
//
// Both are used as the standard ones are: with std::lock_guard and
// std::unique_lock, wait with a predicate, wait_for with a predicate.
#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qv {

#ifdef _WIN32

class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();
  bool try_lock();

 private:
  friend class CondVar;
  void* srw_ = nullptr;  // SRWLOCK_INIT
};

class CondVar {
 public:
  CondVar() = default;
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;
  void notify_one();
  void notify_all();
  // May also return without a notify, as the standard one may.
  void wait(std::unique_lock<Mutex>& lock);
  template <class Pred>
  void wait(std::unique_lock<Mutex>& lock, Pred ready) {
    while (!ready()) wait(lock);
  }
  // What ready() says at the end: true when it came true in time.
  template <class Rep, class Period, class Pred>
  bool wait_for(std::unique_lock<Mutex>& lock, const std::chrono::duration<Rep, Period>& time, Pred ready) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + ceil<milliseconds>(time);
    while (!ready()) {
      const auto left = ceil<milliseconds>(until - steady_clock::now()).count();
      if (left <= 0) return ready();
      waitMs(lock, static_cast<unsigned long>(std::min<long long>(left, 0x7fffffff)));
    }
    return true;
  }

 private:
  void waitMs(std::unique_lock<Mutex>& lock, unsigned long ms);
  void* cv_ = nullptr;  // CONDITION_VARIABLE_INIT
};

#else

using Mutex = std::mutex;
using CondVar = std::condition_variable;

#endif

}  // namespace qv
