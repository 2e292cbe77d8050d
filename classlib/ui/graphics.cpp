#include "classlib/ui/graphics.h"

#include "classlib/runtime/exceptions.h"
#include "classlib/ui/ui_errors.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace gdi {

Dib32::Dib32(int width, int height) noexcept : FWidth(width), FHeight(height) {
    if (width <= 0 || height <= 0 || !FDC.Get()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap.Reset(CreateDIBSection(FDC.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!FBitmap) return;
    FOld = SelectObject(FDC.Get(), FBitmap.Get());
    FBits = static_cast<DWORD*>(bits);
}

Dib32::~Dib32() {
    if (FOld) SelectObject(FDC.Get(), FOld);
}

}  // namespace gdi

COLORREF ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

namespace {

struct NamedColor {
    const wchar_t* name;
    TColor color;
};

constexpr NamedColor ColorNames[] = {
    {L"clBlack", clBlack},
    {L"clMaroon", clMaroon},
    {L"clGreen", clGreen},
    {L"clOlive", clOlive},
    {L"clNavy", clNavy},
    {L"clPurple", clPurple},
    {L"clTeal", clTeal},
    {L"clGray", clGray},
    {L"clSilver", clSilver},
    {L"clRed", clRed},
    {L"clLime", clLime},
    {L"clYellow", clYellow},
    {L"clBlue", clBlue},
    {L"clFuchsia", clFuchsia},
    {L"clAqua", clAqua},
    {L"clWhite", clWhite},
    {L"clNone", clNone},
    {L"clDefault", clDefault},
    {L"clScrollBar", clScrollBar},
    {L"clBackground", clBackground},
    {L"clWindow", clWindow},
    {L"clWindowFrame", clWindowFrame},
    {L"clWindowText", clWindowText},
    {L"clBtnFace", clBtnFace},
    {L"clBtnShadow", clBtnShadow},
    {L"clBtnHighlight", clBtnHighlight},
    {L"clBtnText", clBtnText},
    {L"clGrayText", clGrayText},
    {L"cl3DDkShadow", cl3DDkShadow},
    {L"cl3DLight", cl3DLight},
    {L"clHighlight", clHighlight},
    {L"clHighlightText", clHighlightText},
};

int ScreenPixelsPerInch() {
    gdi::WindowDC screen(nullptr);
    int ppi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    return ppi > 0 ? ppi : 96;
}

}  // namespace

namespace {

struct NamedCharset {
    const wchar_t* name;
    BYTE value;
};

constexpr NamedCharset Charsets[] = {
    {L"ANSI_CHARSET", ANSI_CHARSET},
    {L"DEFAULT_CHARSET", DEFAULT_CHARSET},
    {L"SYMBOL_CHARSET", SYMBOL_CHARSET},
    {L"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
    {L"HANGEUL_CHARSET", HANGEUL_CHARSET},
    {L"GB2312_CHARSET", GB2312_CHARSET},
    {L"CHINESEBIG5_CHARSET", CHINESEBIG5_CHARSET},
    {L"OEM_CHARSET", OEM_CHARSET},
};

}  // namespace

TColor ColorFromValue(const TPropertyValue& value, const std::wstring& property) {
    if (const auto* n = std::get_if<int64_t>(&value)) {
        if (*n < INT32_MIN || *n > static_cast<int64_t>(UINT32_MAX))
            throw EPropertyError(L"colour " + std::to_wstring(*n) + L" of \"" + property + L"\" is out of range");
        return static_cast<TColor>(static_cast<std::uint32_t>(*n));
    }
    if (const auto* id = std::get_if<TIdent>(&value)) {
        TColor c;
        if (ColorFromName(id->Name, c)) return c;
        throw EPropertyError(L"\"" + id->Name + L"\" is not a colour name (property \"" + property + L"\")");
    }
    throw EPropertyError(L"property \"" + property + L"\" takes a colour: a number or a name such as clBtnFace");
}

BYTE CharsetFromValue(const TPropertyValue& value, const std::wstring& property) {
    if (const auto* n = std::get_if<int64_t>(&value)) {
        if (*n < 0 || *n > 255)
            throw EPropertyError(L"character set " + std::to_wstring(*n) + L" is out of range 0..255");
        return static_cast<BYTE>(*n);
    }
    if (const auto* id = std::get_if<TIdent>(&value)) {
        for (const auto& c : Charsets)
            if (_wcsicmp(c.name, id->Name.c_str()) == 0) return c.value;
        throw EPropertyError(L"\"" + id->Name + L"\" is not a character set name");
    }
    throw EPropertyError(L"property \"" + property +
                         L"\" takes a character set: a number or a name such as SHIFTJIS_CHARSET");
}

TPropertyTable ExtendTable(const TPropertyTable& built, std::vector<TPropInfo> extra) {
    std::vector<TPropInfo> all = built.OwnProperties();
    for (auto& p : extra) all.push_back(std::move(p));
    return TPropertyTable(built.ClassName(), built.Parent(), std::move(all), {}, {});
}

bool ColorFromName(const std::wstring& name, TColor& out) {
    for (const auto& c : ColorNames) {
        if (_wcsicmp(c.name, name.c_str()) == 0) {
            out = c.color;
            return true;
        }
    }
    return false;
}

// ---- TFont

TFont::TFont() : FName(L"Tahoma"), FHeight(-11) {}

TFont::TFont(const TFont& other)
    : TPersistent(),
      FName(other.FName),
      FHeight(other.FHeight),
      FColor(other.FColor),
      FStyle(other.FStyle),
      FCharset(other.FCharset) {}

TFont& TFont::operator=(const TFont& other) {
    if (this != &other) {
        FName = other.FName;
        FHeight = other.FHeight;
        FColor = other.FColor;
        FStyle = other.FStyle;
        FCharset = other.FCharset;
        Changed();
    }
    return *this;
}

void TFont::SetName(const std::wstring& v) {
    if (v != FName) {
        FName = v;
        Changed();
    }
}
void TFont::SetHeight(int v) {
    if (v != FHeight) {
        FHeight = v;
        Changed();
    }
}
int TFont::Size() const { return -MulDiv(FHeight, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }
void TFont::SetColor(TColor v) {
    if (v != FColor) {
        FColor = v;
        Changed();
    }
}
void TFont::SetStyle(TFontStyles v) {
    if (v != FStyle) {
        FStyle = v;
        Changed();
    }
}
void TFont::SetCharset(BYTE v) {
    if (v != FCharset) {
        FCharset = v;
        Changed();
    }
}

void TFont::Changed() {
    FHandle.Reset();
    if (OnChange) OnChange();
}

HFONT TFont::Handle() const {
    if (!FHandle) {
        LOGFONTW lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & fsItalic) ? TRUE : FALSE;
        lf.lfUnderline = (FStyle & fsUnderline) ? TRUE : FALSE;
        lf.lfStrikeOut = (FStyle & fsStrikeOut) ? TRUE : FALSE;
        lf.lfCharSet = FCharset;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        wcsncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
        FHandle.Reset(CreateFontIndirectW(&lf));
    }
    return FHandle.Get();
}

void TFont::Assign(TPersistent* Source) {
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        *this = *f;
        return;
    }
    TPersistent::Assign(Source);
}

const TPropertyTable& TFont::ClassProperties() {
    static const TPropertyTable table = [] {
        TPropertyTable built = TPropertyTableBuilder<TFont>(L"TFont", &TPersistent::ClassProperties())
                                   .String(L"Name", &TFont::Name, &TFont::SetName)
                                   .Integer(L"Height", &TFont::Height, &TFont::SetHeight)
                                   .Integer(L"Size", &TFont::Size, &TFont::SetSize)
                                   .Set(L"Style", {L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"},
                                        &TFont::Style, &TFont::SetStyle)
                                   .Build();
        TPropInfo charset;
        charset.Name = L"Charset";
        charset.Kind = TPropertyKind::Integer;
        charset.Set = [](TPersistent& o, const TPropertyValue& v, TComponent*) {
            dynamic_cast<TFont&>(o).SetCharset(CharsetFromValue(v, L"Charset"));
        };
        charset.Get = [](const TPersistent& o) {
            return TPropertyValue(static_cast<int64_t>(dynamic_cast<const TFont&>(o).Charset()));
        };
        return ExtendTable(built, {ColorProperty<TFont>(L"Color", &TFont::Color, &TFont::SetColor), charset});
    }();
    return table;
}

// ---- TPen, TBrush

const TPropertyTable& TPen::ClassProperties() {
    static const TPropertyTable table = ExtendTable(
        TPropertyTableBuilder<TPen>(L"TPen", &TPersistent::ClassProperties())
            .Integer(L"Width", &TPen::Width, &TPen::SetWidth)
            .Enumeration(L"Style", {L"psSolid", L"psDash", L"psDot", L"psClear"}, &TPen::Style, &TPen::SetStyle)
            .Build(),
        {ColorProperty<TPen>(L"Color", &TPen::Color, &TPen::SetColor)});
    return table;
}

const TPropertyTable& TBrush::ClassProperties() {
    static const TPropertyTable table =
        ExtendTable(TPropertyTableBuilder<TBrush>(L"TBrush", &TPersistent::ClassProperties())
                        .Enumeration(L"Style", {L"bsSolid", L"bsClear"}, &TBrush::Style, &TBrush::SetStyle)
                        .Build(),
                    {ColorProperty<TBrush>(L"Color", &TBrush::Color, &TBrush::SetColor)});
    return table;
}

HPEN TPen::Handle() const {
    if (!FHandle) {
        int style = PS_SOLID;
        switch (FStyle) {
        case psDash:
            style = PS_DASH;
            break;
        case psDot:
            style = PS_DOT;
            break;
        case psClear:
            style = PS_NULL;
            break;
        default:
            break;
        }
        FHandle.Reset(CreatePen(style, FWidth, ColorToRGB(FColor)));
    }
    return FHandle.Get();
}

HBRUSH TBrush::Handle() const {
    if (!FHandle) {
        if (FStyle == bsClear) {
            LOGBRUSH lb{BS_NULL, 0, 0};
            FHandle.Reset(CreateBrushIndirect(&lb));
        } else {
            FHandle.Reset(CreateSolidBrush(ColorToRGB(FColor)));
        }
    }
    return FHandle.Get();
}

// ---- TBitmap

TBitmap::TBitmap(const TBitmap& other) { *this = other; }

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this == &other) return *this;
    if (other.Empty()) {
        FBitmap.Reset();
        FBits = nullptr;
        FWidth = FHeight = FStride = 0;
        return *this;
    }
    Create(other.FWidth, other.FHeight);
    std::memcpy(FBits, other.FBits, static_cast<size_t>(FStride) * FHeight);
    return *this;
}

void TBitmap::Create(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as bitmap files are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    gdi::GdiObject<HBITMAP> bmp(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp)
        throw EInvalidGraphic(L"cannot create a bitmap of " + std::to_wstring(width) + L" x " +
                              std::to_wstring(height) + L" pixels");
    FBitmap = std::move(bmp);
    FBits = static_cast<std::uint8_t*>(bits);
    FWidth = width;
    FHeight = height;
    FStride = ((width * 3) + 3) & ~3;
}

void TBitmap::SetSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        FBitmap.Reset();
        FBits = nullptr;
        FWidth = FHeight = FStride = 0;
        return;
    }
    Create(width, height);
    std::memset(FBits, 0xFF, static_cast<size_t>(FStride) * FHeight);
}

void TBitmap::LoadFromBytes(const std::vector<std::uint8_t>& data) {
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    if (data.size() < sizeof fh + sizeof ih)
        throw EInvalidGraphic(L"bitmap data is too short (" + std::to_wstring(data.size()) + L" bytes)");
    std::memcpy(&fh, data.data(), sizeof fh);
    std::memcpy(&ih, data.data() + sizeof fh, sizeof ih);
    if (fh.bfType != 0x4D42) throw EInvalidGraphic(L"bitmap data does not start with \"BM\"");
    if (ih.biSize < sizeof ih) throw EInvalidGraphic(L"bitmap header is too short");
    if (ih.biPlanes != 1 || (ih.biBitCount != 24 && ih.biBitCount != 32) || ih.biCompression != BI_RGB)
        throw EInvalidGraphic(L"only uncompressed 24- and 32-bit bitmaps can be read (this one has " +
                              std::to_wstring(ih.biBitCount) + L" bits per pixel)");
    const long long w = ih.biWidth;
    const long long h = ih.biHeight < 0 ? -static_cast<long long>(ih.biHeight) : ih.biHeight;
    if (w <= 0 || h <= 0 || w > 32768 || h > 32768)
        throw EInvalidGraphic(L"bitmap size " + std::to_wstring(w) + L" x " + std::to_wstring(h) + L" is out of range");
    const long long bpp = ih.biBitCount / 8;
    const long long srcStride = ((w * bpp) + 3) & ~3LL;
    const long long need = static_cast<long long>(fh.bfOffBits) + srcStride * h;
    if (fh.bfOffBits < sizeof fh + ih.biSize || need > static_cast<long long>(data.size()))
        throw EInvalidGraphic(L"bitmap pixel data is truncated: " + std::to_wstring(need) + L" bytes needed, " +
                              std::to_wstring(data.size()) + L" present");
    TBitmap loaded;
    loaded.Create(static_cast<int>(w), static_cast<int>(h));
    const bool topDown = ih.biHeight < 0;
    for (long long y = 0; y < h; ++y) {
        const std::uint8_t* src = data.data() + fh.bfOffBits + srcStride * y;
        // Our rows are bottom-up; a top-down file's row y is our row h-1-y.
        std::uint8_t* dst = loaded.FBits + loaded.FStride * (topDown ? h - 1 - y : y);
        for (long long x = 0; x < w; ++x) {
            dst[x * 3 + 0] = src[x * bpp + 0];
            dst[x * 3 + 1] = src[x * bpp + 1];
            dst[x * 3 + 2] = src[x * bpp + 2];
        }
    }
    *this = loaded;
}

std::vector<std::uint8_t> TBitmap::SaveToBytes() const {
    if (Empty()) return {};
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = FWidth;
    ih.biHeight = FHeight;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    const size_t pixels = static_cast<size_t>(FStride) * FHeight;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels);
    std::vector<std::uint8_t> out(fh.bfSize);
    std::memcpy(out.data(), &fh, sizeof fh);
    std::memcpy(out.data() + sizeof fh, &ih, sizeof ih);
    std::memcpy(out.data() + fh.bfOffBits, FBits, pixels);
    return out;
}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
    GdiFlush();
    const std::uint8_t* p = FBits + static_cast<size_t>(FStride) * (FHeight - 1 - y) + x * 3;
    return RGB(p[2], p[1], p[0]);
}

void TBitmap::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    GdiFlush();
    COLORREF rgb = ColorToRGB(c);
    std::uint8_t* p = FBits + static_cast<size_t>(FStride) * (FHeight - 1 - y) + x * 3;
    p[0] = GetBValue(rgb);
    p[1] = GetGValue(rgb);
    p[2] = GetRValue(rgb);
}

// ---- TCanvas

TCanvas::TCanvas() {
    FFont.OnChange = [this] {
        if (FSelected) SelectObject(FDC, FFont.Handle());
    };
    FPen.OnChange = [this] {
        if (FSelected) SelectObject(FDC, FPen.Handle());
    };
    FBrush.OnChange = [this] {
        if (FSelected) SelectObject(FDC, FBrush.Handle());
    };
}

TCanvas::TCanvas(HDC dc) : TCanvas() { FDC = dc; }

TCanvas::~TCanvas() { Deselect(); }

void TCanvas::SetHandle(HDC dc) {
    if (dc == FDC) return;
    Deselect();
    FDC = dc;
}

void TCanvas::Select() {
    if (!FDC) return;
    // Handles are recreated after a change, so select every time.
    HGDIOBJ f = SelectObject(FDC, FFont.Handle());
    HGDIOBJ p = SelectObject(FDC, FPen.Handle());
    HGDIOBJ b = SelectObject(FDC, FBrush.Handle());
    if (!FSelected) {
        FOldFont = f;
        FOldPen = p;
        FOldBrush = b;
        FSelected = true;
    }
    SetTextColor(FDC, ColorToRGB(FFont.Color()));
    if (FBrush.Style() == bsClear) {
        SetBkMode(FDC, TRANSPARENT);
    } else {
        SetBkMode(FDC, OPAQUE);
        SetBkColor(FDC, ColorToRGB(FBrush.Color()));
    }
}

void TCanvas::Deselect() {
    if (!FSelected || !FDC) return;
    if (FOldFont) SelectObject(FDC, FOldFont);
    if (FOldPen) SelectObject(FDC, FOldPen);
    if (FOldBrush) SelectObject(FDC, FOldBrush);
    FOldFont = FOldPen = FOldBrush = nullptr;
    FSelected = false;
}

SIZE TCanvas::TextExtent(const std::wstring& text) {
    SIZE size{0, 0};
    Select();
    if (FDC) GetTextExtentPoint32W(FDC, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
    Select();
    ExtTextOutW(FDC, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const std::wstring& text) {
    Select();
    UINT opts = ETO_CLIPPED;
    if (FBrush.Style() != bsClear) opts |= ETO_OPAQUE;
    ExtTextOutW(FDC, x, y, opts, &rect, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::DrawText(RECT rect, const std::wstring& text, UINT flags) {
    Select();
    ::DrawTextW(FDC, text.c_str(), static_cast<int>(text.size()), &rect, flags);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    Select();
    ::Rectangle(FDC, left, top, right, bottom);
}

void TCanvas::FillRect(const RECT& r) {
    Select();
    ::FillRect(FDC, &r, FBrush.Handle());
}

void TCanvas::FrameRect(const RECT& r) {
    Select();
    ::FrameRect(FDC, &r, FBrush.Handle());
}

void TCanvas::MoveTo(int x, int y) {
    Select();
    MoveToEx(FDC, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Select();
    ::LineTo(FDC, x, y);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    if (bitmap.Empty() || !FDC) return;
    gdi::MemoryDC mem(FDC);
    gdi::SelectGuard sel(mem.Get(), bitmap.Handle());
    BitBlt(FDC, x, y, bitmap.Width(), bitmap.Height(), mem.Get(), 0, 0, SRCCOPY);
}

TColor TCanvas::Pixel(int x, int y) {
    COLORREF c = GetPixel(FDC, x, y);
    return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int x, int y, TColor c) { SetPixelV(FDC, x, y, ColorToRGB(c)); }

// ---- frames and faces

void Frame3D(TCanvas& canvas, RECT& rect, TColor top, TColor bottom, int width) {
    HDC dc = canvas.Handle();
    if (!dc) return;
    gdi::GdiObject<HBRUSH> topBrush(CreateSolidBrush(ColorToRGB(top)));
    gdi::GdiObject<HBRUSH> bottomBrush(CreateSolidBrush(ColorToRGB(bottom)));
    for (int i = 0; i < width; ++i) {
        const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
        if (w <= 0 || h <= 0) break;
        RECT t{rect.left, rect.top, rect.right - 1, rect.top + 1};
        RECT l{rect.left, rect.top, rect.left + 1, rect.bottom - 1};
        RECT b{rect.left, rect.bottom - 1, rect.right, rect.bottom};
        RECT r{rect.right - 1, rect.top, rect.right, rect.bottom};
        ::FillRect(dc, &t, topBrush.Get());
        ::FillRect(dc, &l, topBrush.Get());
        ::FillRect(dc, &b, bottomBrush.Get());
        ::FillRect(dc, &r, bottomBrush.Get());
        InflateRect(&rect, -1, -1);
    }
}

RECT DrawButtonFace(TCanvas& canvas, const RECT& rect, int bevelWidth, bool down) {
    HDC dc = canvas.Handle();
    RECT r = rect;
    if (!dc || r.right - r.left < 2 || r.bottom - r.top < 2) return r;
    gdi::GdiObject<HBRUSH> face(CreateSolidBrush(ColorToRGB(clBtnFace)));
    gdi::GdiObject<HBRUSH> frame(CreateSolidBrush(ColorToRGB(clWindowFrame)));
    ::FillRect(dc, &r, face.Get());
    // Outer frame with its four corner pixels left out: the rounded look.
    RECT edges[4] = {{r.left + 1, r.top, r.right - 1, r.top + 1},
                     {r.left + 1, r.bottom - 1, r.right - 1, r.bottom},
                     {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                     {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
    for (const RECT& e : edges) ::FillRect(dc, &e, frame.Get());
    InflateRect(&r, -1, -1);
    if (down) {
        // Sunken: a shadow line on the top and left, the face elsewhere.
        Frame3D(canvas, r, clBtnShadow, clBtnFace, 1);
        InflateRect(&r, -(bevelWidth - 1 > 0 ? bevelWidth - 1 : 0), -(bevelWidth - 1 > 0 ? bevelWidth - 1 : 0));
    } else {
        Frame3D(canvas, r, clBtnHighlight, clBtnShadow, bevelWidth);
    }
    return r;
}
