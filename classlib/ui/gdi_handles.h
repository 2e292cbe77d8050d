// Owners of GDI handles: objects, memory DCs, window DCs and selections.
#pragma once

#include "shared/owner.h"

#include <windows.h>

namespace gdi {

// Owns one GDI object (font, pen, brush, bitmap, region) and deletes it.
template <class H>
using GdiObject = TGdiObject<H>;

// A memory device context compatible with the screen (or with another DC).
class MemoryDC : public TMemoryDC {
public:
    explicit MemoryDC(HDC compatible = nullptr) noexcept : TMemoryDC(CreateCompatibleDC(compatible)) {}
};

// The DC of a window's client area (or of the screen for a null window).
using WindowDC = TWindowDC;

// Selects an object into a DC for the lifetime of the guard.
using SelectGuard = TSelectGuard;

// A top-down 32-bit DIB section with its pixels, selected into its own DC.
class Dib32 {
public:
    Dib32(int width, int height) noexcept;
    Dib32(const Dib32&) = delete;
    Dib32& operator=(const Dib32&) = delete;
    ~Dib32();

    bool Valid() const noexcept { return FBits != nullptr; }
    HDC DC() const noexcept { return FDC.Get(); }
    HBITMAP Bitmap() const noexcept { return FBitmap.Get(); }
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    // Pixel as 0x00RRGGBB (the DIB's blue-green-red-unused byte order).
    DWORD* Row(int y) const noexcept { return FBits + static_cast<size_t>(y) * FWidth; }

private:
    int FWidth;
    int FHeight;
    MemoryDC FDC;
    GdiObject<HBITMAP> FBitmap;
    HGDIOBJ FOld = nullptr;
    DWORD* FBits = nullptr;
};

}  // namespace gdi
