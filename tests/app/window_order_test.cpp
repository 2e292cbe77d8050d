// Where the main window goes in the order of top-level windows when a
// recording starts.
//
// SetUiState(usRecording) sends the main window to the bottom with
// SetWindowPos(HWND_BOTTOM) and SWP_NOMOVE | SWP_NOSIZE, without
// SWP_NOACTIVATE. On Windows that places the window below every other
// top-level window, active or not, so the windows behind it come to the
// front.
//
// Wine 8 does otherwise: on the active window the call without
// SWP_NOACTIVATE leaves it above the others (a window that lay below
// another one is even raised). Only with SWP_NOACTIVATE does the window go
// below another top-level window. The program keeps the Windows call as it
// stands; this test records what Wine does with it, so that a change in
// Wine's behaviour shows up here.
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

namespace {

using apptest::ProgramWindows;

// Whether upper comes before lower in the order of top-level windows.
bool Above(HWND upper, HWND lower) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == upper) return true;
        if (w == lower) return false;
    }
    return false;
}

// A plain top-level window over part of the main window, shown without
// taking the activation; it comes to the top of the order.
class OtherWindow {
public:
    OtherWindow()
        : FHandle(CreateWindowExW(0, L"STATIC", L"other window", WS_POPUP | WS_BORDER, 10, 10, 200, 200, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr)) {
        if (FHandle) ShowWindow(FHandle, SW_SHOWNOACTIVATE);
    }
    ~OtherWindow() {
        if (FHandle) DestroyWindow(FHandle);
    }
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;
    HWND Handle() const { return FHandle; }

private:
    HWND FHandle;
};

TEST(WindowOrder, RecordingStartKeepsTheActiveMainWindowOnTopUnderWine) {
    ProgramWindows windows;
    const HWND main = FormMain->Handle();
    SetForegroundWindow(main);
    ProgramWindows::Pump();
    OtherWindow other;
    ASSERT_TRUE(other.Handle());
    ProgramWindows::Pump();
    ASSERT_EQ(GetActiveWindow(), main);
    ASSERT_TRUE(Above(other.Handle(), main));

    FormMain->SetUiState(usRecording);
    ProgramWindows::Pump();
    // Windows: the main window is now below the other window.
    EXPECT_TRUE(Above(main, other.Handle())) << "Wine: HWND_BOTTOM without SWP_NOACTIVATE puts it on top";
    EXPECT_EQ(GetActiveWindow(), main);

    // The same call with SWP_NOACTIVATE does what Windows does without it.
    SetWindowPos(main, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ProgramWindows::Pump();
    EXPECT_TRUE(Above(other.Handle(), main));
}

}  // namespace
