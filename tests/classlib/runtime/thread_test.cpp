// Worker threads and the synchronous call to the GUI thread, under a real
// message loop.
#include "classlib/runtime/application.h"
#include "classlib/runtime/thread.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Runs a function as its Execute.
class TFnThread : public TThread {
public:
    explicit TFnThread(std::function<void(TFnThread&)> body) : FBody(std::move(body)) {}
    ~TFnThread() override { TerminateAndWait(); }
    using TThread::SetReturnValue;
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TFnThread&)> FBody;
};

// Processes messages (as ExecuteAndWait does) until done() or a time limit.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs) return false;
        Application->ProcessMessages();
        Sleep(0);
    }
    return true;
}

TEST(RuntimeThreadTest, SynchronizeFromSeveralWorkersWhileTheGuiProcessesMessages) {
    const DWORD gui = GetCurrentThreadId();
    constexpr int Workers = 4, Calls = 50;
    int counter = 0;  // touched only on the GUI thread
    std::atomic<int> wrongThread{0}, finished{0};
    std::vector<std::unique_ptr<TFnThread>> workers;
    for (int w = 0; w < Workers; ++w) {
        workers.push_back(std::make_unique<TFnThread>([&](TFnThread& self) {
            for (int i = 0; i < Calls; ++i) {
                self.Synchronize([&] {
                    if (GetCurrentThreadId() != gui) ++wrongThread;
                    ++counter;
                });
            }
            ++finished;
        }));
        workers.back()->Start();
    }
    ASSERT_TRUE(PumpUntil([&] { return finished.load() == Workers; }));
    for (auto& w : workers) w->WaitFor();
    EXPECT_EQ(counter, Workers * Calls);
    EXPECT_EQ(wrongThread.load(), 0);
}

TEST(RuntimeThreadTest, ExceptionInTheCallIsRaisedAgainInTheWorker) {
    std::wstring caught;
    std::string caughtStd;
    std::atomic<bool> done{false};
    TFnThread worker([&](TFnThread& self) {
        try {
            self.Synchronize([] { throw EConvertError(L"'12:34' is not a valid floating point value"); });
        } catch (const EConvertError& e) {
            caught = e.Message();
        }
        try {
            self.Synchronize([] { throw std::runtime_error("plain"); });
        } catch (const std::runtime_error& e) {
            caughtStd = e.what();
        }
        done = true;
    });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.WaitFor();
    EXPECT_EQ(caught, L"'12:34' is not a valid floating point value");
    EXPECT_EQ(caughtStd, "plain");
}

TEST(RuntimeThreadTest, WorkerStaysBlockedUntilTheGuiProcessesMessages) {
    std::atomic<bool> ran{false}, returned{false};
    TFnThread worker([&](TFnThread& self) {
        self.Synchronize([&] { ran = true; });
        returned = true;
    });
    worker.Start();
    Sleep(300);
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(returned.load());
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    EXPECT_TRUE(ran.load());
}

TEST(RuntimeThreadTest, IdleMessageLoopWakesForASynchronousCall) {
    std::atomic<bool> done{false};
    TFnThread worker([&](TFnThread& self) {
        Sleep(100);
        self.Synchronize([&] { done = true; });
    });
    worker.Start();
    // HandleMessage waits when there is nothing to do; the queued call
    // must wake it.
    const DWORD start = GetTickCount();
    while (!done.load() && GetTickCount() - start < 10000) Application->HandleMessage();
    EXPECT_TRUE(done.load());
}

TEST(RuntimeThreadTest, ForeignModalLoopStillRunsSynchronousCalls) {
    // A modal loop of the platform (a dialog, a message box) dispatches
    // messages without knowing the queue; the application's window runs it.
    Application->ProcessMessages();  // creates the application's window
    std::atomic<bool> ran{false};
    TFnThread worker([&](TFnThread& self) { self.Synchronize([&] { ran = true; }); });
    worker.Start();
    const DWORD start = GetTickCount();
    MSG msg;
    while (!ran.load() && GetTickCount() - start < 10000) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            Sleep(1);
        }
    }
    EXPECT_TRUE(ran.load());
}

TEST(RuntimeThreadTest, WaitForOnTheGuiThreadServesSynchronousCalls) {
    int calls = 0;
    TFnThread worker([&](TFnThread& self) {
        for (int i = 0; i < 10; ++i) self.Synchronize([&] { ++calls; });
        self.SetReturnValue(7);
    });
    worker.Start();
    EXPECT_EQ(worker.WaitFor(), 7u);  // would deadlock if WaitFor ignored the queue
    EXPECT_EQ(calls, 10);
    EXPECT_TRUE(worker.Finished());
}

TEST(RuntimeThreadTest, FreeOnTerminateFreesItselfAfterOnTerminateOnTheGui) {
    static std::atomic<bool> destroyed{false};
    struct TSelfFreeing : TThread {
        ~TSelfFreeing() override { destroyed = true; }
        void Execute() override {
            while (!Terminated()) Sleep(1);
        }
    };
    destroyed = false;
    auto* t = new TSelfFreeing;
    DWORD terminateThread = 0;
    t->OnTerminate = [&](TObject*) { terminateThread = GetCurrentThreadId(); };
    t->SetFreeOnTerminate(true);
    t->Start();
    Sleep(20);
    t->Terminate();  // the last touch: it may be gone any moment now
    ASSERT_TRUE(PumpUntil([&] { return destroyed.load(); }));
    EXPECT_EQ(terminateThread, GetCurrentThreadId());
}

TEST(RuntimeThreadTest, DestroyingARunningThreadTerminatesAndWaits) {
    std::atomic<int> loops{0};
    {
        TFnThread worker([&](TFnThread& self) {
            while (!self.Terminated()) {
                ++loops;
                Sleep(1);
            }
        });
        worker.Start();
        while (loops.load() < 3) Sleep(1);
    }
    const int after = loops.load();
    Sleep(30);
    EXPECT_EQ(loops.load(), after);
    EXPECT_GT(after, 0);
}

TEST(RuntimeThreadTest, ExceptionEndingExecuteIsKeptAndStartTwiceIsRefused) {
    TFnThread worker([](TFnThread&) { throw EListError(L"boom"); });
    worker.Start();
    worker.WaitFor();
    ASSERT_TRUE(worker.FatalException());
    EXPECT_THROW(std::rethrow_exception(worker.FatalException()), EListError);
    EXPECT_THROW(worker.Start(), EThread);
}

TEST(RuntimeThreadTest, SynchronizeOnTheGuiThreadRunsAtOnce) {
    bool ran = false;
    TThread::Synchronize(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(IsMainThread());
    EXPECT_FALSE(CheckSynchronize());
}

}  // namespace
