// A recursive critical section and its scoped lock.
#pragma once

#include <windows.h>

class TBCCritSec {
public:
    TBCCritSec() { InitializeCriticalSection(&FSection); }
    ~TBCCritSec() { DeleteCriticalSection(&FSection); }
    TBCCritSec(const TBCCritSec&) = delete;
    TBCCritSec& operator=(const TBCCritSec&) = delete;

    void Lock() { EnterCriticalSection(&FSection); }
    void Unlock() { LeaveCriticalSection(&FSection); }
    // True when the calling thread holds the section.
    bool OwnedByCurrentThread() const {
        return FSection.OwningThread == reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
    }

private:
    CRITICAL_SECTION FSection;
};

// Holds the section for the lifetime of the object.
class TBCAutoLock {
public:
    explicit TBCAutoLock(TBCCritSec& section) : FSection(section) { FSection.Lock(); }
    explicit TBCAutoLock(TBCCritSec* section) : TBCAutoLock(*section) {}
    ~TBCAutoLock() { FSection.Unlock(); }
    TBCAutoLock(const TBCAutoLock&) = delete;
    TBCAutoLock& operator=(const TBCAutoLock&) = delete;

private:
    TBCCritSec& FSection;
};
