// TTimer: a window timer component. While Enabled and Interval > 0, OnTimer runs every Interval milliseconds on the
// thread that created the timer (the GUI thread), as that thread processes messages. Enabled and Interval may be
// changed from any thread: a change made on another thread is handed to the timer's thread, which applies the latest
// state when it next processes messages.
#pragma once

#include "classlib/runtime/component.h"
#include "classlib/runtime/utility_window.h"

#include <atomic>
#include <memory>

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const noexcept { return FEnabled.load(); }
    void SetEnabled(bool value);
    unsigned Interval() const noexcept { return FInterval.load(); }
    void SetInterval(unsigned value);
    // Called at every tick (when assigned).
    TNotifyEvent OnTimer;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    // Calls OnTimer; derived timers may override.
    virtual void Timer();

private:
    void UpdateTimer();
    void ApplyState();
    void WndProc(TMessage& Message);

    std::atomic<bool> FEnabled{true};
    std::atomic<unsigned> FInterval{1000};
    unsigned long FThreadID;
    bool FRunning = false;  // a platform timer is set (timer thread only)
    std::unique_ptr<TUtilityWindow> FWindow;
};
