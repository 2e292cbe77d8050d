#include "classlib/ui/graphics.h"

#include "classlib/runtime/exceptions.h"
#include "classlib/ui/ui_errors.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace gdi {

Dib32::Dib32(int width, int height) noexcept : width_(width), height_(height) {
    if (width <= 0 || height <= 0 || !dc_.Get()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) return;
    old_ = SelectObject(dc_.Get(), bitmap_.Get());
    bits_ = static_cast<DWORD*>(bits);
}

Dib32::~Dib32() {
    if (old_) SelectObject(dc_.Get(), old_);
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

constexpr NamedColor kColorNames[] = {
    {L"clBlack", clBlack},       {L"clMaroon", clMaroon},     {L"clGreen", clGreen},
    {L"clOlive", clOlive},       {L"clNavy", clNavy},         {L"clPurple", clPurple},
    {L"clTeal", clTeal},         {L"clGray", clGray},         {L"clSilver", clSilver},
    {L"clRed", clRed},           {L"clLime", clLime},         {L"clYellow", clYellow},
    {L"clBlue", clBlue},         {L"clFuchsia", clFuchsia},   {L"clAqua", clAqua},
    {L"clWhite", clWhite},       {L"clNone", clNone},         {L"clDefault", clDefault},
    {L"clScrollBar", clScrollBar}, {L"clBackground", clBackground},
    {L"clWindow", clWindow},     {L"clWindowFrame", clWindowFrame},
    {L"clWindowText", clWindowText}, {L"clBtnFace", clBtnFace},
    {L"clBtnShadow", clBtnShadow}, {L"clBtnHighlight", clBtnHighlight},
    {L"clBtnText", clBtnText},   {L"clGrayText", clGrayText},
    {L"cl3DDkShadow", cl3DDkShadow}, {L"cl3DLight", cl3DLight},
    {L"clHighlight", clHighlight}, {L"clHighlightText", clHighlightText},
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

constexpr NamedCharset kCharsets[] = {
    {L"ANSI_CHARSET", ANSI_CHARSET},       {L"DEFAULT_CHARSET", DEFAULT_CHARSET},
    {L"SYMBOL_CHARSET", SYMBOL_CHARSET},   {L"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
    {L"HANGEUL_CHARSET", HANGEUL_CHARSET}, {L"GB2312_CHARSET", GB2312_CHARSET},
    {L"CHINESEBIG5_CHARSET", CHINESEBIG5_CHARSET}, {L"OEM_CHARSET", OEM_CHARSET},
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
        for (const auto& c : kCharsets)
            if (_wcsicmp(c.name, id->Name.c_str()) == 0) return c.value;
        throw EPropertyError(L"\"" + id->Name + L"\" is not a character set name");
    }
    throw EPropertyError(L"property \"" + property + L"\" takes a character set: a number or a name such as SHIFTJIS_CHARSET");
}

TPropertyTable ExtendTable(const TPropertyTable& built, std::vector<TPropInfo> extra) {
    std::vector<TPropInfo> all = built.OwnProperties();
    for (auto& p : extra) all.push_back(std::move(p));
    return TPropertyTable(built.ClassName(), built.Parent(), std::move(all), {}, {});
}

bool ColorFromName(const std::wstring& name, TColor& out) {
    for (const auto& c : kColorNames) {
        if (_wcsicmp(c.name, name.c_str()) == 0) {
            out = c.color;
            return true;
        }
    }
    return false;
}

// ---- TFont

TFont::TFont() : name_(L"Tahoma"), height_(-11) {}

TFont::TFont(const TFont& other)
    : TPersistent(), name_(other.name_), height_(other.height_), color_(other.color_),
      style_(other.style_), charset_(other.charset_) {}

TFont& TFont::operator=(const TFont& other) {
    if (this != &other) {
        name_ = other.name_;
        height_ = other.height_;
        color_ = other.color_;
        style_ = other.style_;
        charset_ = other.charset_;
        Changed();
    }
    return *this;
}

void TFont::SetName(const std::wstring& v) { if (v != name_) { name_ = v; Changed(); } }
void TFont::SetHeight(int v) { if (v != height_) { height_ = v; Changed(); } }
int TFont::Size() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }
void TFont::SetColor(TColor v) { if (v != color_) { color_ = v; Changed(); } }
void TFont::SetStyle(TFontStyles v) { if (v != style_) { style_ = v; Changed(); } }
void TFont::SetCharset(BYTE v) { if (v != charset_) { charset_ = v; Changed(); } }

void TFont::Changed() {
    handle_.Reset();
    if (OnChange) OnChange();
}

HFONT TFont::Handle() const {
    if (!handle_) {
        LOGFONTW lf{};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
        lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
        lf.lfCharSet = charset_;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        wcsncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
        handle_.Reset(CreateFontIndirectW(&lf));
    }
    return handle_.Get();
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
        TPropertyTable built =
            TPropertyTableBuilder<TFont>(L"TFont", &TPersistent::ClassProperties())
                .String(L"Name", &TFont::Name, &TFont::SetName)
                .Integer(L"Height", &TFont::Height, &TFont::SetHeight)
                .Integer(L"Size", &TFont::Size, &TFont::SetSize)
                .Set(L"Style", {L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"}, &TFont::Style,
                     &TFont::SetStyle)
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
    static const TPropertyTable table = ExtendTable(
        TPropertyTableBuilder<TBrush>(L"TBrush", &TPersistent::ClassProperties())
            .Enumeration(L"Style", {L"bsSolid", L"bsClear"}, &TBrush::Style, &TBrush::SetStyle)
            .Build(),
        {ColorProperty<TBrush>(L"Color", &TBrush::Color, &TBrush::SetColor)});
    return table;
}

HPEN TPen::Handle() const {
    if (!handle_) {
        int style = PS_SOLID;
        switch (style_) {
            case psDash: style = PS_DASH; break;
            case psDot: style = PS_DOT; break;
            case psClear: style = PS_NULL; break;
            default: break;
        }
        handle_.Reset(CreatePen(style, width_, ColorToRGB(color_)));
    }
    return handle_.Get();
}

HBRUSH TBrush::Handle() const {
    if (!handle_) {
        if (style_ == bsClear) {
            LOGBRUSH lb{BS_NULL, 0, 0};
            handle_.Reset(CreateBrushIndirect(&lb));
        } else {
            handle_.Reset(CreateSolidBrush(ColorToRGB(color_)));
        }
    }
    return handle_.Get();
}

// ---- TBitmap

TBitmap::TBitmap(const TBitmap& other) { *this = other; }

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this == &other) return *this;
    if (other.Empty()) {
        bitmap_.Reset();
        bits_ = nullptr;
        width_ = height_ = stride_ = 0;
        return *this;
    }
    Create(other.width_, other.height_);
    std::memcpy(bits_, other.bits_, static_cast<size_t>(stride_) * height_);
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
    if (!bmp) throw EInvalidGraphic(L"cannot create a bitmap of " + std::to_wstring(width) + L" x " +
                                    std::to_wstring(height) + L" pixels");
    bitmap_ = std::move(bmp);
    bits_ = static_cast<std::uint8_t*>(bits);
    width_ = width;
    height_ = height;
    stride_ = ((width * 3) + 3) & ~3;
}

void TBitmap::SetSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        bitmap_.Reset();
        bits_ = nullptr;
        width_ = height_ = stride_ = 0;
        return;
    }
    Create(width, height);
    std::memset(bits_, 0xFF, static_cast<size_t>(stride_) * height_);
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
    if (ih.biPlanes != 1 || (ih.biBitCount != 24 && ih.biBitCount != 32) ||
        ih.biCompression != BI_RGB)
        throw EInvalidGraphic(L"only uncompressed 24- and 32-bit bitmaps can be read (this one has " +
                              std::to_wstring(ih.biBitCount) + L" bits per pixel)");
    const long long w = ih.biWidth;
    const long long h = ih.biHeight < 0 ? -static_cast<long long>(ih.biHeight) : ih.biHeight;
    if (w <= 0 || h <= 0 || w > 32768 || h > 32768)
        throw EInvalidGraphic(L"bitmap size " + std::to_wstring(w) + L" x " + std::to_wstring(h) +
                              L" is out of range");
    const long long bpp = ih.biBitCount / 8;
    const long long srcStride = ((w * bpp) + 3) & ~3LL;
    const long long need = static_cast<long long>(fh.bfOffBits) + srcStride * h;
    if (fh.bfOffBits < sizeof fh + ih.biSize || need > static_cast<long long>(data.size()))
        throw EInvalidGraphic(L"bitmap pixel data is truncated: " + std::to_wstring(need) +
                              L" bytes needed, " + std::to_wstring(data.size()) + L" present");
    TBitmap loaded;
    loaded.Create(static_cast<int>(w), static_cast<int>(h));
    const bool topDown = ih.biHeight < 0;
    for (long long y = 0; y < h; ++y) {
        const std::uint8_t* src = data.data() + fh.bfOffBits + srcStride * y;
        // Our rows are bottom-up; a top-down file's row y is our row h-1-y.
        std::uint8_t* dst = loaded.bits_ + loaded.stride_ * (topDown ? h - 1 - y : y);
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
    ih.biWidth = width_;
    ih.biHeight = height_;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    const size_t pixels = static_cast<size_t>(stride_) * height_;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels);
    std::vector<std::uint8_t> out(fh.bfSize);
    std::memcpy(out.data(), &fh, sizeof fh);
    std::memcpy(out.data() + sizeof fh, &ih, sizeof ih);
    std::memcpy(out.data() + fh.bfOffBits, bits_, pixels);
    return out;
}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return clNone;
    GdiFlush();
    const std::uint8_t* p = bits_ + static_cast<size_t>(stride_) * (height_ - 1 - y) + x * 3;
    return RGB(p[2], p[1], p[0]);
}

void TBitmap::SetPixel(int x, int y, TColor c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    GdiFlush();
    COLORREF rgb = ColorToRGB(c);
    std::uint8_t* p = bits_ + static_cast<size_t>(stride_) * (height_ - 1 - y) + x * 3;
    p[0] = GetBValue(rgb);
    p[1] = GetGValue(rgb);
    p[2] = GetRValue(rgb);
}

// ---- TCanvas

TCanvas::TCanvas() {
    font_.OnChange = [this] { if (selected_) SelectObject(dc_, font_.Handle()); };
    pen_.OnChange = [this] { if (selected_) SelectObject(dc_, pen_.Handle()); };
    brush_.OnChange = [this] { if (selected_) SelectObject(dc_, brush_.Handle()); };
}

TCanvas::TCanvas(HDC dc) : TCanvas() { dc_ = dc; }

TCanvas::~TCanvas() { Deselect(); }

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) return;
    Deselect();
    dc_ = dc;
}

void TCanvas::Select() {
    if (!dc_) return;
    // Handles are recreated after a change, so select every time.
    HGDIOBJ f = SelectObject(dc_, font_.Handle());
    HGDIOBJ p = SelectObject(dc_, pen_.Handle());
    HGDIOBJ b = SelectObject(dc_, brush_.Handle());
    if (!selected_) {
        oldFont_ = f;
        oldPen_ = p;
        oldBrush_ = b;
        selected_ = true;
    }
    SetTextColor(dc_, ColorToRGB(font_.Color()));
    if (brush_.Style() == bsClear) {
        SetBkMode(dc_, TRANSPARENT);
    } else {
        SetBkMode(dc_, OPAQUE);
        SetBkColor(dc_, ColorToRGB(brush_.Color()));
    }
}

void TCanvas::Deselect() {
    if (!selected_ || !dc_) return;
    if (oldFont_) SelectObject(dc_, oldFont_);
    if (oldPen_) SelectObject(dc_, oldPen_);
    if (oldBrush_) SelectObject(dc_, oldBrush_);
    oldFont_ = oldPen_ = oldBrush_ = nullptr;
    selected_ = false;
}

SIZE TCanvas::TextExtent(const std::wstring& text) {
    SIZE size{0, 0};
    Select();
    if (dc_) GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
    Select();
    ExtTextOutW(dc_, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const std::wstring& text) {
    Select();
    UINT opts = ETO_CLIPPED;
    if (brush_.Style() != bsClear) opts |= ETO_OPAQUE;
    ExtTextOutW(dc_, x, y, opts, &rect, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::DrawText(RECT rect, const std::wstring& text, UINT flags) {
    Select();
    ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, flags);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    Select();
    ::Rectangle(dc_, left, top, right, bottom);
}

void TCanvas::FillRect(const RECT& r) {
    Select();
    ::FillRect(dc_, &r, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& r) {
    Select();
    ::FrameRect(dc_, &r, brush_.Handle());
}

void TCanvas::MoveTo(int x, int y) {
    Select();
    MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Select();
    ::LineTo(dc_, x, y);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    if (bitmap.Empty() || !dc_) return;
    gdi::MemoryDC mem(dc_);
    gdi::SelectGuard sel(mem.Get(), bitmap.Handle());
    BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), mem.Get(), 0, 0, SRCCOPY);
}

TColor TCanvas::Pixel(int x, int y) {
    COLORREF c = GetPixel(dc_, x, y);
    return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int x, int y, TColor c) { SetPixelV(dc_, x, y, ColorToRGB(c)); }

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
