// Colours, fonts, pens, brushes, bitmaps and the canvas over a GDI device
// context.
#pragma once

#include "classlib/runtime/persistent.h"
#include "classlib/ui/gdi_handles.h"
#include "classlib/ui/ui_properties.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A colour (TColor): 0x00BBGGRR, or a system colour (high bit set, low
// byte the COLOR_ index), or one of the two special values below.

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);

// The RGB value GDI takes for a colour (system colours resolved now).
COLORREF ColorToRGB(TColor color);

// Looks a colour up by its name ("clRed", "clBtnFace", ...).
bool ColorFromName(const std::wstring& name, TColor& out);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

// A font description; the GDI font is made when first asked for and again
// after every change.
class TFont : public TPersistent {
public:
    TFont();
    TFont(const TFont& other);
    TFont& operator=(const TFont& other);
    void Assign(const TFont& other) { *this = other; }
    void Assign(TPersistent* Source) override;
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

    const std::wstring& Name() const { return FName; }
    void SetName(const std::wstring& v);
    // Negative: character height in pixels; positive: cell height.
    int Height() const { return FHeight; }
    void SetHeight(int v);
    // Points at the screen's resolution.
    int Size() const;
    void SetSize(int points);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles v);
    BYTE Charset() const { return FCharset; }
    void SetCharset(BYTE v);

    HFONT Handle() const;
    // Called after every change.
    std::function<void()> OnChange;

private:
    void Changed();

    std::wstring FName;
    int FHeight;
    TColor FColor = clWindowText;
    TFontStyles FStyle = 0;
    BYTE FCharset = DEFAULT_CHARSET;
    mutable gdi::GdiObject<HFONT> FHandle;
};

enum TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TPersistent {
public:
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();
    TColor Color() const { return FColor; }
    void SetColor(TColor v) {
        FColor = v;
        Changed();
    }
    int Width() const { return FWidth; }
    void SetWidth(int v) {
        FWidth = v < 1 ? 1 : v;
        Changed();
    }
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle v) {
        FStyle = v;
        Changed();
    }
    void Assign(const TPen& o) {
        FColor = o.FColor;
        FWidth = o.FWidth;
        FStyle = o.FStyle;
        Changed();
    }
    void Assign(TPersistent* Source) override {
        if (auto* p = dynamic_cast<TPen*>(Source))
            Assign(*p);
        else
            TPersistent::Assign(Source);
    }

    HPEN Handle() const;
    std::function<void()> OnChange;

private:
    void Changed() {
        FHandle.Reset();
        if (OnChange) OnChange();
    }

    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    mutable gdi::GdiObject<HPEN> FHandle;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TPersistent {
public:
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();
    TColor Color() const { return FColor; }
    void SetColor(TColor v) {
        FColor = v;
        Changed();
    }
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle v) {
        FStyle = v;
        Changed();
    }
    void Assign(const TBrush& o) {
        FColor = o.FColor;
        FStyle = o.FStyle;
        Changed();
    }
    void Assign(TPersistent* Source) override {
        if (auto* b = dynamic_cast<TBrush*>(Source))
            Assign(*b);
        else
            TPersistent::Assign(Source);
    }

    HBRUSH Handle() const;
    std::function<void()> OnChange;

private:
    void Changed() {
        FHandle.Reset();
        if (OnChange) OnChange();
    }

    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    mutable gdi::GdiObject<HBRUSH> FHandle;
};

class TCanvas;

// A device-independent 24-bit bitmap.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);

    // Reads a bitmap file (file header, info header, pixels) held in
    // memory: 24 or 32 bits per pixel, uncompressed. Throws EInvalidGraphic
    // for anything else, leaving the bitmap unchanged.
    void LoadFromBytes(const std::vector<std::uint8_t>& data);
    std::vector<std::uint8_t> SaveToBytes() const;
    void SetSize(int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    HBITMAP Handle() const { return FBitmap.Get(); }
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor c);

private:
    void Create(int width, int height);

    int FWidth = 0;
    int FHeight = 0;
    gdi::GdiObject<HBITMAP> FBitmap;
    std::uint8_t* FBits = nullptr;  // bottom-up rows of BGR, 4-byte aligned
    int FStride = 0;
};

// Drawing on a device context with a current font, pen and brush. The canvas
// does not own the DC; it selects its objects into it while it holds it and
// puts the DC's own objects back when it lets go.
class TCanvas {
public:
    TCanvas();
    explicit TCanvas(HDC dc);
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    ~TCanvas();

    HDC Handle() const { return FDC; }
    void SetHandle(HDC dc);

    TFont& Font() { return FFont; }
    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }

    SIZE TextExtent(const std::wstring& text);
    int TextWidth(const std::wstring& text) { return TextExtent(text).cx; }
    int TextHeight(const std::wstring& text) { return TextExtent(text).cy; }
    void TextOut(int x, int y, const std::wstring& text);
    // Draws text at (x, y) clipped to rect.
    void TextRect(const RECT& rect, int x, int y, const std::wstring& text);
    // Text laid out in rect with DrawText flags (DT_CENTER, DT_WORDBREAK...).
    void DrawText(RECT rect, const std::wstring& text, UINT flags);

    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    void FillRect(const RECT& r);
    void FrameRect(const RECT& r);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Draw(int x, int y, const TBitmap& bitmap);
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor c);

private:
    friend class CanvasState;
    void Select();
    void Deselect();

    HDC FDC = nullptr;
    TFont FFont;
    TPen FPen;
    TBrush FBrush;
    HGDIOBJ FOldFont = nullptr;
    HGDIOBJ FOldPen = nullptr;
    HGDIOBJ FOldBrush = nullptr;
    bool FSelected = false;
};

// A raised or sunken frame of the given width inside rect: top and left in
// top, bottom and right in bottom. rect shrinks by width on every side.
void Frame3D(TCanvas& canvas, RECT& rect, TColor top, TColor bottom, int width);

// The platform's push-button face over rect in the current look: a rounded
// outer frame, a bevel of bevelWidth, sunken when down. Returns the
// rectangle inside the bevel.
RECT DrawButtonFace(TCanvas& canvas, const RECT& rect, int bevelWidth, bool down);
