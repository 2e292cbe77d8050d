#include "classlib/ui/png_codec.h"

#include "classlib/ui/ui_errors.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <string>

namespace {

// Images larger than this in either direction are refused before any pixel
// memory is allocated.
constexpr png_uint_32 MaxDimension = 16384;
constexpr unsigned long long MaxPixels = 16ull * 1024 * 1024;

// State shared with libpng's callbacks. libpng reports errors by calling
// the error callback, which must not return: it longjmps back to the
// setjmp in the decoding step. No C++ object with a destructor lives in the
// frames between, so the jump skips nothing that needs cleaning up.
struct ReadState {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    char message[256];
};

void OnError(png_structp png, png_const_charp msg) {
    auto* st = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(st->message, sizeof st->message, "%s", msg ? msg : "unknown error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, png_size_t length) {
    auto* st = static_cast<ReadState*>(png_get_io_ptr(png));
    if (length > st->size - st->pos) png_error(png, "unexpected end of PNG data");
    std::memcpy(out, st->data + st->pos, length);
    st->pos += length;
}

struct Header {
    png_uint_32 width, height;
    int colorType, bitDepth;
    bool hasTrns;
    int channels;         // after the transformations set up
    png_size_t rowBytes;  // after the transformations set up
};

// Owns the read and info structs.
class PngReader {
public:
    PngReader(ReadState& st) {
        FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, &st, OnError, OnWarning);
        if (FPng) FInfo = png_create_info_struct(FPng);
        if (FPng) png_set_read_fn(FPng, &st, OnRead);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader() {
        if (FPng) png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr);
    }
    bool Ok() const { return FPng && FInfo; }
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
};

// Reads the header and sets up the transformations to 8-bit channels.
// Returns false after a libpng error (the message is in the state).
bool ReadHeader(png_structp png, png_infop info, Header* h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, MaxDimension, MaxDimension);
    png_read_info(png, info);
    png_get_IHDR(png, info, &h->width, &h->height, &h->bitDepth, &h->colorType, nullptr, nullptr, nullptr);
    h->hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (h->bitDepth == 16) png_set_strip_16(png);
    if (h->colorType == PNG_COLOR_TYPE_PALETTE) {
        if (h->bitDepth < 8) png_set_packing(png);
    } else {
        if (h->colorType == PNG_COLOR_TYPE_GRAY && h->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (h->hasTrns) png_set_tRNS_to_alpha(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    h->channels = png_get_channels(png, info);
    h->rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

EInvalidGraphic Malformed(const char* what) {
    return EInvalidGraphic(L"PNG data cannot be read: " + std::wstring(what, what + std::strlen(what)));
}

}  // namespace

int TPNGObject::Channels() const {
    switch (FType) {
    case TPngColorType::RGB:
    case TPngColorType::RGBA:
        return 3;
    default:
        return 1;
    }
}

void TPNGObject::Clear() { *this = TPNGObject(); }

void TPNGObject::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data || size < 8 || std::memcmp(data, Signature, 8) != 0) throw Malformed("the PNG signature is missing");

    ReadState st{data, size, 0, {}};
    PngReader reader(st);
    if (!reader.Ok()) throw EInvalidGraphic(L"PNG decoder could not be created");

    Header h{};
    if (!ReadHeader(reader.FPng, reader.FInfo, &h)) throw Malformed(st.message);

    if (static_cast<unsigned long long>(h.width) * h.height > MaxPixels)
        throw Malformed(
            ("an image of " + std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels is too large")
                .c_str());

    TPNGObject img;
    img.FWidth = static_cast<int>(h.width);
    img.FHeight = static_cast<int>(h.height);
    switch (h.colorType) {
    case PNG_COLOR_TYPE_GRAY:
        img.FType = h.hasTrns ? TPngColorType::GreyAlpha : TPngColorType::Grey;
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        img.FType = TPngColorType::GreyAlpha;
        break;
    case PNG_COLOR_TYPE_PALETTE:
        img.FType = TPngColorType::Palette;
        break;
    case PNG_COLOR_TYPE_RGB:
        img.FType = h.hasTrns ? TPngColorType::RGBA : TPngColorType::RGB;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        img.FType = TPngColorType::RGBA;
        break;
    default:
        throw Malformed("unknown colour type");
    }
    const int expected = img.Channels() + (img.HasAlphaChannel() ? 1 : 0);
    if (h.channels != expected || h.rowBytes != static_cast<png_size_t>(h.width) * h.channels)
        throw Malformed("unexpected pixel layout after decoding");

    if (img.FType == TPngColorType::Palette) {
        png_colorp pal = nullptr;
        int count = 0;
        if (!png_get_PLTE(reader.FPng, reader.FInfo, &pal, &count) || count <= 0)
            throw Malformed("the palette is missing");
        for (int i = 0; i < count; ++i) img.FPalette.push_back({pal[i].red, pal[i].green, pal[i].blue});
        png_bytep trans = nullptr;
        int transCount = 0;
        if (h.hasTrns && png_get_tRNS(reader.FPng, reader.FInfo, &trans, &transCount, nullptr) && trans)
            img.FTransparency.assign(trans, trans + std::min(transCount, count));
    }

    // Decode interleaved rows, then split colour and alpha.
    std::vector<std::uint8_t> raw(h.rowBytes * h.height);
    std::vector<png_bytep> rows(h.height);
    for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = raw.data() + h.rowBytes * y;
    if (!ReadRows(reader.FPng, reader.FInfo, rows.data())) throw Malformed(st.message);

    const std::size_t count = static_cast<std::size_t>(h.width) * h.height;
    const int colour = img.Channels();
    if (!img.HasAlphaChannel()) {
        img.FPixels = std::move(raw);
    } else {
        img.FPixels.resize(count * colour);
        img.FAlpha.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* p = &raw[i * (colour + 1)];
            std::memcpy(&img.FPixels[i * colour], p, colour);
            img.FAlpha[i] = p[colour];
        }
    }
    *this = std::move(img);
}

void TPNGObject::CreateAlpha() {
    if (Empty()) return;
    switch (FType) {
    case TPngColorType::Palette:
        FTransparency.assign(FPalette.size(), 255);
        break;
    case TPngColorType::Grey:
        FType = TPngColorType::GreyAlpha;
        FAlpha.assign(static_cast<std::size_t>(FWidth) * FHeight, 255);
        break;
    case TPngColorType::RGB:
        FType = TPngColorType::RGBA;
        FAlpha.assign(static_cast<std::size_t>(FWidth) * FHeight, 255);
        break;
    default:
        break;
    }
}

std::uint8_t* TPNGObject::AlphaScanline(int y) {
    if (!HasAlphaChannel() || y < 0 || y >= FHeight) return nullptr;
    return FAlpha.data() + static_cast<std::size_t>(y) * FWidth;
}

const std::uint8_t* TPNGObject::AlphaScanline(int y) const { return const_cast<TPNGObject*>(this)->AlphaScanline(y); }

COLORREF TPNGObject::PixelColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
    const std::size_t i = static_cast<std::size_t>(y) * FWidth + x;
    switch (FType) {
    case TPngColorType::Grey:
    case TPngColorType::GreyAlpha:
        return RGB(FPixels[i], FPixels[i], FPixels[i]);
    case TPngColorType::Palette: {
        const std::uint8_t idx = FPixels[i];
        if (idx >= FPalette.size()) return 0;  // index past the palette: black
        const auto& e = FPalette[idx];
        return RGB(e.red, e.green, e.blue);
    }
    default:
        return RGB(FPixels[i * 3], FPixels[i * 3 + 1], FPixels[i * 3 + 2]);
    }
}

std::uint8_t TPNGObject::PixelAlpha(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
    const std::size_t i = static_cast<std::size_t>(y) * FWidth + x;
    if (HasAlphaChannel()) return FAlpha[i];
    if (FType == TPngColorType::Palette) {
        const std::uint8_t idx = FPixels[i];
        return idx < FTransparency.size() ? FTransparency[idx] : 255;
    }
    return 255;
}

void TPNGObject::Draw(HDC dc, int x, int y, int width, int height) const {
    if (width == FWidth && height == FHeight) {
        Draw(dc, x, y);
        return;
    }
    if (Empty() || !dc || width <= 0 || height <= 0) return;
    gdi::Dib32 area(width, height);
    if (!area.Valid()) return;
    BitBlt(area.DC(), 0, 0, width, height, dc, x, y, SRCCOPY);
    GdiFlush();
    // Source position of a target pixel's centre, split into the pixel to
    // its upper left and the weight (0..256) of the next one.
    struct Tap {
        int at, next, weight;
    };
    auto taps = [](int target, int source) {
        std::vector<Tap> t(static_cast<size_t>(target));
        for (int i = 0; i < target; ++i) {
            const double pos = std::max(0.0, (i + 0.5) * source / target - 0.5);
            const int at = std::min(static_cast<int>(pos), source - 1);
            t[static_cast<size_t>(i)] = {at, std::min(at + 1, source - 1), static_cast<int>((pos - at) * 256 + 0.5)};
        }
        return t;
    };
    const std::vector<Tap> cols = taps(width, FWidth), rows = taps(height, FHeight);
    for (int row = 0; row < height; ++row) {
        const Tap& ty = rows[static_cast<size_t>(row)];
        DWORD* dst = area.Row(row);
        for (int col = 0; col < width; ++col) {
            const Tap& tx = cols[static_cast<size_t>(col)];
            // Premultiplied sum of the four neighbours, weights totalling 65536.
            unsigned a = 0, r = 0, g = 0, b = 0;
            const int px[2] = {tx.at, tx.next}, py[2] = {ty.at, ty.next};
            const unsigned wx[2] = {static_cast<unsigned>(256 - tx.weight), static_cast<unsigned>(tx.weight)};
            const unsigned wy[2] = {static_cast<unsigned>(256 - ty.weight), static_cast<unsigned>(ty.weight)};
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    const unsigned w = wx[i] * wy[j];
                    if (!w) continue;
                    const unsigned pa = PixelAlpha(px[i], py[j]);
                    const COLORREF c = PixelColor(px[i], py[j]);
                    a += pa * w;
                    r += GetRValue(c) * pa / 255 * w;
                    g += GetGValue(c) * pa / 255 * w;
                    b += GetBValue(c) * pa / 255 * w;
                }
            const unsigned alpha = (a + 32768) >> 16;
            if (alpha == 0) continue;
            const unsigned d = dst[col];
            auto over = [&](unsigned premultiplied, unsigned below) {
                return std::min(255u, ((premultiplied + 32768) >> 16) + (below * (255 - alpha) + 127) / 255);
            };
            dst[col] = (over(r, (d >> 16) & 0xFF) << 16) | (over(g, (d >> 8) & 0xFF) << 8) | over(b, d & 0xFF);
        }
    }
    BitBlt(dc, x, y, width, height, area.DC(), 0, 0, SRCCOPY);
}

void TPNGObject::Draw(HDC dc, int x, int y) const {
    if (Empty() || !dc) return;
    gdi::Dib32 area(FWidth, FHeight);
    if (!area.Valid()) return;
    // Take what is under the image, blend over it, and put it back.
    BitBlt(area.DC(), 0, 0, FWidth, FHeight, dc, x, y, SRCCOPY);
    GdiFlush();
    for (int row = 0; row < FHeight; ++row) {
        DWORD* dst = area.Row(row);
        for (int col = 0; col < FWidth; ++col) {
            const unsigned a = PixelAlpha(col, row);
            if (a == 0) continue;
            const COLORREF c = PixelColor(col, row);
            const unsigned sr = GetRValue(c), sg = GetGValue(c), sb = GetBValue(c);
            if (a == 255) {
                dst[col] = (sr << 16) | (sg << 8) | sb;
                continue;
            }
            const unsigned d = dst[col];
            const unsigned dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
            const unsigned r = (sr * a + dr * (255 - a) + 127) / 255;
            const unsigned g = (sg * a + dg * (255 - a) + 127) / 255;
            const unsigned b = (sb * a + db * (255 - a) + 127) / 255;
            dst[col] = (r << 16) | (g << 8) | b;
        }
    }
    BitBlt(dc, x, y, FWidth, FHeight, area.DC(), 0, 0, SRCCOPY);
}
