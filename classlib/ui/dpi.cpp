#include "classlib/ui/dpi.h"

#include "classlib/ui/gdi_handles.h"

namespace {

// GetDpiForWindow and GetDpiForSystem came with Windows 10 1607; the
// program also runs where user32 lacks them, so both are looked up.
using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
using GetDpiForSystemProc = UINT(WINAPI*)();

template <class Proc>
Proc User32Proc(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

int ValidOrDesign(UINT dpi) { return dpi > 0 && dpi < 10000 ? static_cast<int>(dpi) : DesignPixelsPerInch; }

}  // namespace

int SystemPixelsPerInch() {
    static const auto getDpiForSystem = User32Proc<GetDpiForSystemProc>("GetDpiForSystem");
    if (getDpiForSystem) return ValidOrDesign(getDpiForSystem());
    gdi::WindowDC screen(nullptr);
    return ValidOrDesign(screen.Get() ? static_cast<UINT>(GetDeviceCaps(screen.Get(), LOGPIXELSY)) : 0);
}

int WindowPixelsPerInch(HWND Window) {
    static const auto getDpiForWindow = User32Proc<GetDpiForWindowProc>("GetDpiForWindow");
    if (Window && getDpiForWindow) {
        // 0 for an invalid window.
        if (const UINT dpi = getDpiForWindow(Window)) return ValidOrDesign(dpi);
    }
    return SystemPixelsPerInch();
}
