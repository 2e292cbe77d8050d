// Window timers on a utility window of the creating thread.
#include "classlib/runtime/timer.h"

#include "classlib/runtime/application.h"
#include "classlib/runtime/exceptions.h"

namespace {
// Private message of the timer's window: apply Enabled and Interval.
constexpr UINT UpdateTimerMessage = WM_USER + 1;
constexpr UINT_PTR TimerId = 1;
}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FThreadID(GetCurrentThreadId()) {
    FWindow = std::make_unique<TUtilityWindow>([this](TMessage& m) { WndProc(m); });
    ApplyState();
}

TTimer::~TTimer() {
    FEnabled.store(false);
    if (FRunning && FWindow) KillTimer(FWindow->Handle(), TimerId);
    FRunning = false;
    FWindow.reset();
}

void TTimer::SetEnabled(bool value) {
    if (FEnabled.exchange(value) == value) return;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
    if (FInterval.exchange(value) == value) return;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!FWindow) return;
    if (GetCurrentThreadId() == FThreadID) {
        ApplyState();
    } else if (!PostMessageW(FWindow->Handle(), UpdateTimerMessage, 0, 0)) {
        RaiseLastOSError();
    }
}

void TTimer::ApplyState() {
    const HWND wnd = FWindow->Handle();
    if (FRunning) KillTimer(wnd, TimerId);
    FRunning = false;
    const unsigned interval = FInterval.load();
    if (FEnabled.load() && interval > 0) {
        if (!SetTimer(wnd, TimerId, interval, nullptr)) throw EOSError(L"Not enough timers available", GetLastError());
        FRunning = true;
    }
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

void TTimer::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_TIMER:
        // A tick that was queued before the timer was switched off is dropped.
        if (Message.WParam == TimerId && FEnabled.load() && FInterval.load() > 0) {
            try {
                Timer();
            } catch (...) {
                Application->HandleException(this, std::current_exception());
            }
        }
        break;
    case UpdateTimerMessage:
        ApplyState();
        break;
    default:
        DefaultHandler(Message);
        break;
    }
}

const TPropertyTable& TTimer::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TTimer>(L"TTimer", &TComponent::ClassProperties())
                                            .Boolean(L"Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
                                            .Integer(L"Interval", &TTimer::Interval, &TTimer::SetInterval, 1000)
                                            .Event(L"OnTimer", &TTimer::OnTimer)
                                            .Build();
    return table;
}

void RegisterRuntimeComponentClasses() {
    // Only registers what is not registered yet, so a program's own
    // registration of the same name stays.
    RegisterComponentClassIfAbsent(
        TComponentClass{L"TTimer", [](TComponent* owner) -> TComponent* { return new TTimer(owner); }});
}
