// Worker threads and the synchronous call to the GUI thread.
#include "classlib/runtime/thread.h"

#include "classlib/runtime/exceptions.h"

#include <windows.h>

#include <process.h>

#include <condition_variable>
#include <deque>

namespace {

std::atomic<unsigned long> gMainThreadID{GetCurrentThreadId()};

struct SyncRequest {
    const TThreadMethod* Method;
    std::exception_ptr Error;
    bool Done = false;
};

struct SyncQueue {
    std::mutex Lock;
    std::condition_variable DoneSignal;
    std::deque<SyncRequest*> Pending;
    HANDLE Event = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set while calls are pending
    std::function<void()> Wake;
};

SyncQueue& Queue() {
    static SyncQueue q;
    return q;
}

thread_local TThread* tCurrentThread = nullptr;

}  // namespace

unsigned long MainThreadID() { return gMainThreadID.load(); }
void SetMainThreadID(unsigned long id) { gMainThreadID.store(id); }
bool IsMainThread() { return GetCurrentThreadId() == gMainThreadID.load(); }

void* SyncEvent() { return Queue().Event; }

void SetWakeMainThread(std::function<void()> wake) {
    SyncQueue& q = Queue();
    std::lock_guard lock(q.Lock);
    q.Wake = std::move(wake);
}

bool CheckSynchronize() {
    if (!IsMainThread()) return false;
    SyncQueue& q = Queue();
    bool ran = false;
    for (;;) {
        SyncRequest* request;
        {
            std::lock_guard lock(q.Lock);
            if (q.Pending.empty()) {
                ResetEvent(q.Event);
                return ran;
            }
            request = q.Pending.front();
            q.Pending.pop_front();
        }
        try {
            (*request->Method)();
        } catch (...) {
            request->Error = std::current_exception();
        }
        ran = true;
        {
            std::lock_guard lock(q.Lock);
            request->Done = true;
        }
        q.DoneSignal.notify_all();
    }
}

TThread::TThread() = default;

TThread::~TThread() {
    if (FHandle && GetCurrentThreadId() != FThreadID) TerminateAndWait();
}

void TThread::Start() {
    if (FStarted) throw EThread(L"Cannot call Start on a running or finished thread");
    unsigned id = 0;
    // Suspended first, so the handle and id are stored before the thread
    // can finish (and free itself).
    const uintptr_t h = _beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id);
    if (!h) throw EThread(L"Thread creation error: " + std::to_wstring(GetLastError()));
    FHandle.Reset(reinterpret_cast<HANDLE>(h));
    FThreadID = id;
    FStarted = true;
    HANDLE handle = FHandle.Get();
    ResumeThread(handle);  // `this` may be gone after this call
}

unsigned long TThread::WaitFor() {
    if (!FHandle) return static_cast<unsigned long>(FReturnValue);
    if (GetCurrentThreadId() == FThreadID) throw EThread(L"A thread cannot wait for itself");
    HANDLE handle = FHandle.Get();
    if (IsMainThread()) {
        // Keep serving synchronous calls (and sent messages) while waiting,
        // so a worker blocked in Synchronize can finish.
        HANDLE handles[2] = {handle, Queue().Event};
        for (;;) {
            const DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
            if (r == WAIT_OBJECT_0) break;
            if (r == WAIT_OBJECT_0 + 1) {
                CheckSynchronize();
            } else if (r == WAIT_OBJECT_0 + 2) {
                MSG msg;
                PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers sent messages
            } else {
                WaitForSingleObject(handle, INFINITE);
                break;
            }
        }
    } else {
        WaitForSingleObject(handle, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeThread(handle, &code);
    return code;
}

void TThread::TerminateAndWait() {
    Terminate();
    if (FHandle && GetCurrentThreadId() != FThreadID) WaitFor();
}

void TThread::DoTerminate() {
    if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

unsigned __stdcall TThread::ThreadProc(void* self) {
    TThread* thread = static_cast<TThread*>(self);
    tCurrentThread = thread;
    if (!thread->Terminated()) {
        try {
            thread->Execute();
        } catch (...) {
            thread->FFatalException = std::current_exception();
        }
    }
    const int result = thread->FReturnValue;
    try {
        thread->DoTerminate();
    } catch (...) {}
    thread->FFinished.store(true);
    // Read at the very end: the thread may have asked for it in Execute, or
    // its owner while it ran.
    if (thread->FFreeOnTerminate.load()) delete thread;
    tCurrentThread = nullptr;
    return static_cast<unsigned>(result);
}

void TThread::Synchronize(const TThreadMethod& method) { Synchronize(this, method); }

void TThread::Synchronize(TThread*, const TThreadMethod& method) {
    if (!method) return;
    if (IsMainThread()) {
        method();
        return;
    }
    SyncQueue& q = Queue();
    SyncRequest request{&method, nullptr, false};
    std::function<void()> wake;
    {
        std::lock_guard lock(q.Lock);
        q.Pending.push_back(&request);
        SetEvent(q.Event);
        wake = q.Wake;
    }
    if (wake) wake();
    {
        std::unique_lock lock(q.Lock);
        q.DoneSignal.wait(lock, [&] { return request.Done; });
    }
    if (request.Error) std::rethrow_exception(request.Error);
}

TThread* TThread::CurrentThread() { return tCurrentThread; }
