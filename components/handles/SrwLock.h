#pragma once
// The one lock of the kit: a slim reader/writer lock taken exclusively. The programs are built on
// the win32 thread model, whose runtime has no std::mutex; this meets the same Lockable
// requirements, so std::lock_guard and std::unique_lock take it. Not recursive; never moved.
#include <windows.h>

class CSrwLock {
public:
    CSrwLock() = default;
    CSrwLock(const CSrwLock&) = delete;
    CSrwLock& operator=(const CSrwLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&m_lock); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&m_lock) != FALSE; }
    void unlock() { ReleaseSRWLockExclusive(&m_lock); }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};
