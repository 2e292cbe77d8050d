// Shared by the Pixenta tests: registration of the library beside the test
// program, creation of the filter through COM, and a full-screen window
// painted with a pattern in which every pixel's colour names its position.
#pragma once

#include "shared/unit_const_list.h"
#include "tests/fixtures/graph_test_support.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pixentatest {

inline std::wstring LibraryPath() { return graphtest::ProgramFolder() + L"Pixenta.dll"; }

// Runs regsvr32 on the library; its exit code, or -1.
inline int RunRegsvr32(const std::wstring& arguments) { return static_cast<int>(testsupport::RunRegsvr32(arguments)); }

inline int RegisterLibrary() { return RunRegsvr32(L"/s \"" + LibraryPath() + L"\""); }
inline int UnregisterLibrary() { return RunRegsvr32(L"/s /u \"" + LibraryPath() + L"\""); }

inline ComPtr<IBaseFilter> CreateFilter() {
    ComPtr<IBaseFilter> filter;
    CoCreateInstance(CLSID_ScreenCaptureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
    return filter;
}

inline ComPtr<IVideoCaptureFilterConfig> Config(IUnknown* object) {
    ComPtr<IVideoCaptureFilterConfig> config;
    object->QueryInterface(IID_IVideoCaptureFilterConfig, config.PutVoid());
    return config;
}

// The colour the pattern gives a screen position, as B, G, R bytes.
struct Bgr {
    BYTE B, G, R;
    bool operator==(const Bgr&) const = default;
};
inline Bgr PatternAt(int x, int y) {
    return Bgr{static_cast<BYTE>((((x >> 8) & 7) << 3) | ((y >> 8) & 7) | 0x80), static_cast<BYTE>(y & 0xFF),
               static_cast<BYTE>(x & 0xFF)};
}

// A top-most borderless window over the whole primary display, painted with
// the pattern. Messages are pumped by Pump().
class PatternWindow {
public:
    PatternWindow() {
        Width = GetSystemMetrics(SM_CXSCREEN);
        Height = GetSystemMetrics(SM_CYSCREEN);
        Pixels.resize(static_cast<size_t>(Width) * Height);
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                const Bgr c = PatternAt(x, y);
                Pixels[static_cast<size_t>(y) * Width + x] = (DWORD{c.R} << 16) | (DWORD{c.G} << 8) | c.B;
            }
        }
        WNDCLASSW wc{};
        wc.lpfnWndProc = &PatternWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PixentaPatternWindow";
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        RegisterClassW(&wc);
        Handle = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"pattern", WS_POPUP | WS_VISIBLE, 0, 0, Width,
                                 Height, nullptr, nullptr, wc.hInstance, this);
        UpdateWindow(Handle);
        Pump(600);
    }
    ~PatternWindow() {
        if (Handle) DestroyWindow(Handle);
        Pump(50);
    }

    // Processes messages for the given time.
    static void Pump(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(5);
        } while (GetTickCount() - start < milliseconds);
    }

    HWND Handle = nullptr;
    int Width = 0;
    int Height = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<PatternWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_PAINT && self) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = self->Width;
            info.bmiHeader.biHeight = -self->Height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            SetDIBitsToDevice(dc, 0, 0, self->Width, self->Height, 0, 0, 0, self->Height, self->Pixels.data(), &info,
                              DIB_RGB_COLORS);
            EndPaint(hwnd, &ps);
            return 0;
        }
        if (message == WM_ERASEBKGND) return 1;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    std::vector<DWORD> Pixels;
};

// Pixel (x, y) of a bottom-up 24-bit frame, y counted from the top.
inline Bgr FramePixel(const std::vector<BYTE>& frame, int width, int height, int x, int y) {
    const size_t row = ((static_cast<size_t>(width) * 24 + 31) / 32) * 4;
    const size_t offset = (static_cast<size_t>(height - 1 - y)) * row + static_cast<size_t>(x) * 3;
    return Bgr{frame[offset], frame[offset + 1], frame[offset + 2]};
}

// Puts the arrow cursor over the pattern at the screen point; true when it shows.
inline bool ShowArrowAt(const PatternWindow& window, int x, int y) {
    SetForegroundWindow(window.Handle);
    SetCursorPos(x, y);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    PatternWindow::Pump(200);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) && info.flags == CURSOR_SHOWING;
}

}  // namespace pixentatest
