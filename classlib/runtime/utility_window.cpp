// Hidden utility windows whose window procedure is a method.
#include "classlib/runtime/utility_window.h"

#include "classlib/runtime/application.h"
#include "classlib/runtime/exceptions.h"

namespace {

const wchar_t UtilityWindowClass[] = L"TavrelUtilityWindow";

LRESULT CALLBACK UtilityWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* method = reinterpret_cast<TWndMethod*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!method || !*method || msg == WM_NCCREATE || msg == WM_NCDESTROY) return DefWindowProcW(wnd, msg, wp, lp);
    TMessage m{wnd, msg, wp, lp, 0};
    // A copy, so a method that frees its own window does not free the
    // callable that is running.
    const TWndMethod local = *method;
    try {
        local(m);
    } catch (...) {
        Application->HandleException(nullptr, std::current_exception());
    }
    return m.Result;
}

ATOM RegisterUtilityClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = UtilityWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = UtilityWindowClass;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

}  // namespace

void DefaultHandler(TMessage& Message) {
    Message.Result = DefWindowProcW(Message.Handle, Message.Msg, Message.WParam, Message.LParam);
}

HWND AllocateHWnd(TWndMethod method) {
    if (!RegisterUtilityClass()) RaiseLastOSError();
    auto* stored = new TWndMethod(std::move(method));
    HWND wnd = CreateWindowExW(0, UtilityWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), stored);
    if (!wnd) {
        const DWORD code = GetLastError();
        delete stored;
        RaiseOSError(code ? code : ERROR_CANNOT_MAKE);
    }
    return wnd;
}

void DeallocateHWnd(HWND wnd) {
    if (!wnd || !IsWindow(wnd)) return;
    auto* method = reinterpret_cast<TWndMethod*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    DestroyWindow(wnd);
    delete method;
}
