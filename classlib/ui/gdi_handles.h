// Owners of GDI handles: objects, memory DCs, window DCs and selections.
#pragma once

#include <windows.h>

#include <utility>

namespace gdi {

// Owns one GDI object (font, pen, brush, bitmap, region) and deletes it.
template <class H>
class GdiObject {
public:
    GdiObject() noexcept = default;
    explicit GdiObject(H h) noexcept : h_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~GdiObject() { Reset(); }

    void Reset(H h = nullptr) noexcept {
        if (h_) DeleteObject(h_);
        h_ = h;
    }
    H Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }

private:
    H h_ = nullptr;
};

// A memory device context compatible with the screen (or with another DC).
class MemoryDC {
public:
    explicit MemoryDC(HDC compatible = nullptr) noexcept : dc_(CreateCompatibleDC(compatible)) {}
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() { if (dc_) DeleteDC(dc_); }
    HDC Get() const noexcept { return dc_; }

private:
    HDC dc_;
};

// The DC of a window's client area (or of the screen for a null window).
class WindowDC {
public:
    explicit WindowDC(HWND wnd) noexcept : wnd_(wnd), dc_(GetDC(wnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() { if (dc_) ReleaseDC(wnd_, dc_); }
    HDC Get() const noexcept { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// Selects an object into a DC for the lifetime of the guard.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() { if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A top-down 32-bit DIB section with its pixels, selected into its own DC.
class Dib32 {
public:
    Dib32(int width, int height) noexcept;
    Dib32(const Dib32&) = delete;
    Dib32& operator=(const Dib32&) = delete;
    ~Dib32();

    bool Valid() const noexcept { return bits_ != nullptr; }
    HDC DC() const noexcept { return dc_.Get(); }
    HBITMAP Bitmap() const noexcept { return bitmap_.Get(); }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    // Pixel as 0x00RRGGBB (the DIB's blue-green-red-unused byte order).
    DWORD* Row(int y) const noexcept { return bits_ + static_cast<size_t>(y) * width_; }

private:
    int width_;
    int height_;
    MemoryDC dc_;
    GdiObject<HBITMAP> bitmap_;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

}  // namespace gdi
