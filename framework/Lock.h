// The lock of the program's shared state: a critical section and a scoped
// guard over it. A flag read without the lock is an atomic value.
#pragma once

#include <windows.h>
#include <atomic>

class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { ::EnterCriticalSection(&m_cs); }
    void Unlock() { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CScopedLock {
public:
    explicit CScopedLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CScopedLock() { m_cs.Unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    CCriticalSection& m_cs;
};

// A flag written under the lock and read without it.
typedef std::atomic<bool> CAtomicFlag;
