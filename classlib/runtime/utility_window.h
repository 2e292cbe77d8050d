// Hidden utility windows: an invisible window on the creating thread whose
// window procedure is a method (any callable taking a TMessage). Components
// use one to receive private messages (posted from other threads or from the
// platform) and window timers on the GUI thread. Messages the method leaves
// unhandled are passed on with DefaultHandler.
//
// An exception that escapes the method is handed to the application's error
// display, never to the platform.
#pragma once

#include <windows.h>

#include <functional>

// A window message as a window procedure method receives it.
struct TMessage {
    HWND Handle;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

using TWndMethod = std::function<void(TMessage& Message)>;

// The platform's default processing of the message; sets Message.Result.
void DefaultHandler(TMessage& Message);

// Creates a hidden window on the calling thread that hands its messages to
// method. EOSError when it cannot be created.
HWND AllocateHWnd(TWndMethod method);
// Destroys a window made by AllocateHWnd (on the thread that made it).
void DeallocateHWnd(HWND wnd);

// An owner of one utility window.
class TUtilityWindow {
public:
    explicit TUtilityWindow(TWndMethod method) : FHandle(AllocateHWnd(std::move(method))) {}
    ~TUtilityWindow() { DeallocateHWnd(FHandle); }
    TUtilityWindow(const TUtilityWindow&) = delete;
    TUtilityWindow& operator=(const TUtilityWindow&) = delete;
    HWND Handle() const noexcept { return FHandle; }

private:
    HWND FHandle;
};
