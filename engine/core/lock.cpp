#include "lock.h"

#ifdef _WIN32
#include <windows.h>

namespace qv {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the slim lock and condition variable are one pointer each");

namespace {
PSRWLOCK srw(void*& p) { return reinterpret_cast<PSRWLOCK>(&p); }
PCONDITION_VARIABLE cond(void*& p) { return reinterpret_cast<PCONDITION_VARIABLE>(&p); }
}  // namespace

void Mutex::lock() { AcquireSRWLockExclusive(srw(srw_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(srw(srw_)); }
bool Mutex::try_lock() { return TryAcquireSRWLockExclusive(srw(srw_)) != 0; }

void CondVar::notify_one() { WakeConditionVariable(cond(cv_)); }
void CondVar::notify_all() { WakeAllConditionVariable(cond(cv_)); }

void CondVar::wait(std::unique_lock<Mutex>& lock) { waitMs(lock, INFINITE); }

void CondVar::waitMs(std::unique_lock<Mutex>& lock, unsigned long ms) {
  SleepConditionVariableSRW(cond(cv_), srw(lock.mutex()->srw_), ms, 0);
}

}  // namespace qv

#endif
