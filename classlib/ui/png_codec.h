// PNG images: decoding with libpng, alpha access and drawing with per-pixel
// alpha blending.
#pragma once

#include "classlib/ui/graphics.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The pixel layouts an image keeps after decoding. Every channel holds 8
// bits: smaller depths are widened, 16-bit channels keep their high byte.
// A grey or colour image with a transparent colour key is decoded as grey
// with alpha or colour with alpha.
enum class TPngColorType { Grey, GreyAlpha, Palette, RGB, RGBA };

struct TPngPaletteEntry {
    std::uint8_t red, green, blue;
};

class TPNGObject {
public:
    TPNGObject() = default;
    TPNGObject(const TPNGObject&) = default;
    TPNGObject& operator=(const TPNGObject&) = default;
    TPNGObject(TPNGObject&&) noexcept = default;
    TPNGObject& operator=(TPNGObject&&) noexcept = default;

    // Decodes a whole PNG file held in memory. Throws EInvalidGraphic with
    // the reason for data that is not a readable PNG image; the image keeps
    // what it held before.
    void LoadFromBytes(const std::uint8_t* data, std::size_t size);
    void LoadFromBytes(const std::vector<std::uint8_t>& data) { LoadFromBytes(data.data(), data.size()); }

    void Assign(const TPNGObject& other) { *this = other; }
    void Clear();

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    TPngColorType ColorType() const { return FType; }

    bool HasPalette() const { return FType == TPngColorType::Palette; }
    const std::vector<TPngPaletteEntry>& Palette() const { return FPalette; }
    // Alpha of each palette entry; entries past its end are opaque.
    const std::vector<std::uint8_t>& Transparency() const { return FTransparency; }

    // True for grey with alpha and colour with alpha.
    bool HasAlphaChannel() const { return FType == TPngColorType::GreyAlpha || FType == TPngColorType::RGBA; }
    // Gives the image an opaque alpha channel when it has none: grey becomes
    // grey with alpha, colour becomes colour with alpha, every alpha 255. A
    // palette image instead gets a transparency of 255 for every palette
    // entry, replacing what it had.
    void CreateAlpha();
    // The alpha bytes of row y (Width() of them), or nullptr for an image
    // without an alpha channel or a row outside the image.
    std::uint8_t* AlphaScanline(int y);
    const std::uint8_t* AlphaScanline(int y) const;

    // Colour and alpha of one pixel as the image shows it.
    COLORREF PixelColor(int x, int y) const;
    std::uint8_t PixelAlpha(int x, int y) const;

    // Draws the image with its top-left corner at (x, y), each pixel blended
    // by its alpha over what the DC already shows.
    void Draw(HDC dc, int x, int y) const;
    void Draw(TCanvas& canvas, int x, int y) const { Draw(canvas.Handle(), x, y); }
    // The same, the image stretched to width x height (bilinear, on colours
    // weighted by their alpha); at its own size exactly Draw.
    void Draw(HDC dc, int x, int y, int width, int height) const;
    void Draw(TCanvas& canvas, int x, int y, int width, int height) const {
        Draw(canvas.Handle(), x, y, width, height);
    }

private:
    int Channels() const;

    int FWidth = 0;
    int FHeight = 0;
    TPngColorType FType = TPngColorType::RGB;
    std::vector<std::uint8_t> FPixels;  // rows of grey, palette index or R,G,B
    std::vector<std::uint8_t> FAlpha;   // rows of alpha for GreyAlpha and RGBA
    std::vector<TPngPaletteEntry> FPalette;
    std::vector<std::uint8_t> FTransparency;
};
