// Window timers: ticks on the GUI thread, started and stopped from a worker.
#include "classlib/runtime/application.h"
#include "classlib/runtime/thread.h"
#include "classlib/runtime/timer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

namespace {

class TFnThread : public TThread {
public:
    explicit TFnThread(std::function<void()> body) : FBody(std::move(body)) {}
    ~TFnThread() override { TerminateAndWait(); }

protected:
    void Execute() override { FBody(); }

private:
    std::function<void()> FBody;
};

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        Application->ProcessMessages();
        Sleep(1);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs) return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    return true;
}

TEST(RuntimeTimerTest, TicksOnTheCreatingThreadWhileItProcessesMessages) {
    TTimer timer(nullptr);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    int ticks = 0;
    DWORD tickThread = 0;
    TObject* sender = nullptr;
    timer.OnTimer = [&](TObject* s) {
        ++ticks;
        tickThread = GetCurrentThreadId();
        sender = s;
    };
    timer.SetInterval(30);
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(tickThread, GetCurrentThreadId());
    EXPECT_EQ(sender, &timer);
    timer.SetEnabled(false);
    const int stopped = ticks;
    PumpFor(150);
    EXPECT_EQ(ticks, stopped);
}

TEST(RuntimeTimerTest, NoTicksWithoutMessageProcessing) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) { ++ticks; };
    timer.SetInterval(20);
    Sleep(300);
    EXPECT_EQ(ticks, 0);
    Application->ProcessMessages();
    EXPECT_LE(ticks, 1);  // the platform keeps at most one pending tick
}

TEST(RuntimeTimerTest, IntervalZeroNeverTicks) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) { ++ticks; };
    timer.SetInterval(0);
    PumpFor(100);
    EXPECT_EQ(ticks, 0);
}

TEST(RuntimeTimerTest, StartedAndStoppedFromAWorkerThread) {
    TTimer timer(nullptr);
    timer.SetEnabled(false);
    std::atomic<int> ticks{0};
    std::atomic<DWORD> tickThread{0};
    timer.OnTimer = [&](TObject*) {
        ++ticks;
        tickThread = GetCurrentThreadId();
    };
    std::atomic<bool> started{false}, stopRequested{false}, stopped{false};
    TFnThread worker([&] {
        timer.SetInterval(25);  // as a process timer's Start does, on the worker
        timer.SetEnabled(true);
        started = true;
        while (!stopRequested.load()) Sleep(1);
        timer.SetEnabled(false);
        stopped = true;
    });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return ticks.load() >= 3; }));
    EXPECT_EQ(tickThread.load(), GetCurrentThreadId());
    stopRequested = true;
    ASSERT_TRUE(PumpUntil([&] { return stopped.load(); }));
    worker.WaitFor();
    PumpFor(20);  // the change reaches the timer's thread
    const int atStop = ticks.load();
    PumpFor(150);
    EXPECT_EQ(ticks.load(), atStop);
    EXPECT_FALSE(timer.Enabled());
}

TEST(RuntimeTimerTest, ExceptionInOnTimerGoesToTheErrorDisplay) {
    std::vector<std::wstring> shown;
    Application->SetTitle(L"Tavrel3");
    Application->SetMessageBoxHandler([&](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
        shown.push_back(text + L"|" + caption + L"|" + std::to_wstring(flags));
        return IDOK;
    });
    TTimer timer(nullptr);
    timer.OnTimer = [&](TObject*) {
        timer.SetEnabled(false);
        throw EIntfCastError(L"Interface not supported");
    };
    timer.SetInterval(10);
    ASSERT_TRUE(PumpUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown[0], L"Interface not supported|Tavrel3|" + std::to_wstring(MB_OK | MB_ICONERROR));
    Application->SetMessageBoxHandler(nullptr);
}

TEST(RuntimeTimerTest, FreedWithItsOwner) {
    auto* owner = new TComponent(nullptr);
    auto* timer = new TTimer(owner);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };
    timer->SetInterval(10);
    delete owner;  // the timer goes with it; no tick reaches freed memory
    PumpFor(60);
    EXPECT_EQ(ticks, 0);
}

}  // namespace
