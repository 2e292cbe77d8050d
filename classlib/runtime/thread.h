// TThread: a worker thread. Derive, override Execute, and call Start() (at
// the end of the derived constructor, or later). Execute polls Terminated()
// to honour Terminate(). With FreeOnTerminate the object deletes itself when
// its thread ends; otherwise its owner deletes it, and the destructor of a
// running thread asks it to terminate and waits for it (derived classes
// call TerminateAndWait() in their own destructor, before their members go).
//
// Synchronize(method) runs method on the GUI (main) thread and blocks the
// worker until it has run: the call is queued, the GUI thread is woken, and
// it runs queued calls whenever it processes messages (the application's
// message loop, ProcessMessages, or CheckSynchronize). An exception raised by
// the method is raised again in the worker. Called on the GUI thread itself,
// Synchronize runs the method at once. WaitFor on the GUI thread keeps
// running queued calls, so a worker blocked in Synchronize cannot deadlock it.
#pragma once

#include "classlib/runtime/object.h"
#include "shared/owner.h"

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>

using TThreadMethod = std::function<void()>;

// The thread that runs the GUI: the thread that initialised the
// application, or else the thread that started the program.
unsigned long MainThreadID();
void SetMainThreadID(unsigned long id);
bool IsMainThread();

// Runs the queued synchronous calls; on the GUI thread only (elsewhere it
// does nothing). Returns true when it ran at least one.
bool CheckSynchronize();
// The event the GUI thread may wait on (with MsgWaitForMultipleObjects):
// set whenever a synchronous call is queued. A HANDLE.
void* SyncEvent();
// Called whenever a synchronous call is queued, to wake the GUI thread (the
// application installs one that posts to its utility window).
void SetWakeMainThread(std::function<void()> wake);

class TThread : public TObject {
public:
    TThread();
    // A running thread is asked to terminate and waited for, unless the
    // call comes from the thread itself (FreeOnTerminate).
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the thread; EThread when it was started already or cannot be created.
    void Start();
    void Terminate() noexcept { FTerminated.store(true); }
    bool Terminated() const noexcept { return FTerminated.load(); }
    // Waits for the thread to end and returns ReturnValue.
    unsigned long WaitFor();
    // Terminate, then WaitFor when the thread runs. A derived class whose
    // Execute uses its own members calls this first in its destructor.
    void TerminateAndWait();

    bool FreeOnTerminate() const noexcept { return FFreeOnTerminate.load(); }
    void SetFreeOnTerminate(bool value) noexcept { FFreeOnTerminate.store(value); }
    bool Started() const noexcept { return FStarted; }
    bool Finished() const noexcept { return FFinished.load(); }
    unsigned long ThreadID() const noexcept { return FThreadID; }
    void* Handle() const noexcept { return FHandle.Get(); }  // HANDLE
    int ReturnValue() const noexcept { return FReturnValue; }
    // The exception that ended Execute, if any.
    std::exception_ptr FatalException() const { return FFatalException; }

    // Runs on the GUI thread (through Synchronize) after Execute returns.
    TNotifyEvent OnTerminate;

    // Runs method on the GUI thread, blocking the caller until it has run.
    void Synchronize(const TThreadMethod& method);
    static void Synchronize(TThread* thread, const TThreadMethod& method);
    // The TThread whose thread is calling, or nullptr.
    static TThread* CurrentThread();

protected:
    virtual void Execute() = 0;
    // Called on the thread after Execute, before OnTerminate.
    virtual void DoTerminate();
    void SetReturnValue(int value) noexcept { FReturnValue = value; }

private:
    static unsigned __stdcall ThreadProc(void* self);

    TKernelHandle FHandle;
    unsigned long FThreadID = 0;
    bool FStarted = false;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FFreeOnTerminate{false};
    int FReturnValue = 0;
    std::exception_ptr FFatalException;
};
