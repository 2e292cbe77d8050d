// Writes small PNG files in memory for the tests, with libpng's encoder.
#pragma once

#include <png.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

struct PngLayout {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    // Rows of samples as libpng expects them for colorType and bitDepth
    // (packed for depths below 8, big-endian pairs for 16).
    std::vector<std::vector<std::uint8_t>> rows{};
    std::vector<png_color> palette{};
    std::vector<std::uint8_t> trnsAlpha{};  // palette transparency
    bool greyKey = false;                   // tRNS colour key for grey/RGB
    png_color_16 key{};
};

namespace png_maker_detail {
inline void Write(png_structp png, png_bytep data, png_size_t len) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + len);
}
inline void Flush(png_structp) {}
inline bool Encode(png_structp png, png_infop info, const PngLayout& s, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.trnsAlpha.empty())
        png_set_tRNS(png, info, s.trnsAlpha.data(), static_cast<int>(s.trnsAlpha.size()), nullptr);
    if (s.greyKey) png_set_tRNS(png, info, nullptr, 0, &s.key);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}
}  // namespace png_maker_detail

inline std::vector<std::uint8_t> MakePng(const PngLayout& s) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, png_maker_detail::Write, png_maker_detail::Flush);
    std::vector<png_bytep> rows;
    for (auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    const bool ok = png_maker_detail::Encode(png, info, s, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!ok) throw std::runtime_error("test PNG could not be encoded");
    return out;
}

// An 8-bit RGBA image filled with one colour and alpha.
inline std::vector<std::uint8_t> MakeSolidRgba(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                               std::uint8_t a) {
    PngLayout s;
    s.width = w;
    s.height = h;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < h; ++y) {
        std::vector<std::uint8_t> row;
        row.resize(static_cast<std::size_t>(w) * 4);
        for (int x = 0; x < w; ++x) {
            row[x * 4] = r;
            row[x * 4 + 1] = g;
            row[x * 4 + 2] = b;
            row[x * 4 + 3] = a;
        }
        s.rows.push_back(row);
    }
    return MakePng(s);
}
