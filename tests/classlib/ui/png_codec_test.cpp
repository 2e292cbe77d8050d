// TPNGObject: decoding every colour type, alpha handling, malformed data,
// and drawing with alpha onto a real memory DC.
#include "classlib/ui/png_codec.h"
#include "classlib/ui/ui_errors.h"
#include "tests/classlib/ui/png_maker.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

std::vector<std::uint8_t> Row(std::initializer_list<int> v) {
    std::vector<std::uint8_t> r;
    for (int x : v) r.push_back(static_cast<std::uint8_t>(x));
    return r;
}

TPNGObject Load(const std::vector<std::uint8_t>& bytes) {
    TPNGObject img;
    img.LoadFromBytes(bytes);
    return img;
}

}  // namespace

TEST(PngDecode, GreyAndGreyAlpha) {
    const PngLayout g{.width = 2, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY, .rows = {Row({0, 200})}};
    TPNGObject grey = Load(MakePng(g));
    EXPECT_EQ(grey.ColorType(), TPngColorType::Grey);
    EXPECT_EQ(grey.PixelColor(1, 0), RGB(200, 200, 200));
    EXPECT_EQ(grey.PixelAlpha(1, 0), 255);
    EXPECT_EQ(grey.AlphaScanline(0), nullptr);

    const PngLayout ga{
        .width = 2,
        .height = 1,
        .colorType = PNG_COLOR_TYPE_GRAY_ALPHA,
        .rows = {Row({10, 20, 30, 40})},
    };
    TPNGObject greyAlpha = Load(MakePng(ga));
    EXPECT_EQ(greyAlpha.ColorType(), TPngColorType::GreyAlpha);
    ASSERT_NE(greyAlpha.AlphaScanline(0), nullptr);
    EXPECT_EQ(greyAlpha.AlphaScanline(0)[0], 20);
    EXPECT_EQ(greyAlpha.AlphaScanline(0)[1], 40);
    EXPECT_EQ(greyAlpha.PixelColor(1, 0), RGB(30, 30, 30));
}

TEST(PngDecode, LowBitDepthsAndSixteenBitsBecomeEightBits) {
    const PngLayout one{
        .width = 8,
        .height = 1,
        .colorType = PNG_COLOR_TYPE_GRAY,
        .bitDepth = 1,
        .rows = {Row({0xA0})},  // 1 0 1 0 0 0 0 0,
    };
    TPNGObject bw = Load(MakePng(one));
    EXPECT_EQ(bw.PixelColor(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(bw.PixelColor(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(bw.PixelColor(2, 0), RGB(255, 255, 255));

    const PngLayout deep{
        .width = 1,
        .height = 1,
        .colorType = PNG_COLOR_TYPE_RGB_ALPHA,
        .bitDepth = 16,
        .rows = {Row({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x80, 0x00})},
    };
    TPNGObject rgba16 = Load(MakePng(deep));
    EXPECT_EQ(rgba16.PixelColor(0, 0), RGB(0x12, 0x56, 0x9A));
    EXPECT_EQ(rgba16.PixelAlpha(0, 0), 0x80);
}

TEST(PngDecode, PaletteWithAndWithoutTransparency) {
    PngLayout p{
        .width = 3,
        .height = 1,
        .colorType = PNG_COLOR_TYPE_PALETTE,
        .rows = {Row({2, 1, 0})},
        .palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
    };
    TPNGObject plain = Load(MakePng(p));
    EXPECT_TRUE(plain.HasPalette());
    EXPECT_EQ(plain.Palette().size(), 3u);
    EXPECT_TRUE(plain.Transparency().empty());
    EXPECT_EQ(plain.PixelColor(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(plain.PixelAlpha(0, 0), 255);

    p.trnsAlpha = {0, 128};  // the third entry stays opaque
    TPNGObject trans = Load(MakePng(p));
    EXPECT_EQ(trans.PixelAlpha(2, 0), 0);
    EXPECT_EQ(trans.PixelAlpha(1, 0), 128);
    EXPECT_EQ(trans.PixelAlpha(0, 0), 255);
    EXPECT_EQ(trans.AlphaScanline(0), nullptr);

    // Four-bit indices are unpacked to one byte each.
    PngLayout p4 = p;
    p4.bitDepth = 4;
    p4.width = 2;
    p4.trnsAlpha.clear();
    p4.rows = {Row({0x21})};
    TPNGObject packed = Load(MakePng(p4));
    EXPECT_EQ(packed.PixelColor(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(packed.PixelColor(1, 0), RGB(0, 255, 0));
}

TEST(PngDecode, RgbRgbaColourKeyAndInterlace) {
    PngLayout rgb{
        .width = 2,
        .height = 2,
        .colorType = PNG_COLOR_TYPE_RGB,
        .rows = {Row({1, 2, 3, 4, 5, 6}), Row({7, 8, 9, 10, 11, 12})},
    };
    TPNGObject a = Load(MakePng(rgb));
    EXPECT_EQ(a.ColorType(), TPngColorType::RGB);
    EXPECT_EQ(a.Width(), 2);
    EXPECT_EQ(a.Height(), 2);
    EXPECT_EQ(a.PixelColor(1, 1), RGB(10, 11, 12));

    rgb.interlaced = true;
    TPNGObject inter = Load(MakePng(rgb));
    EXPECT_EQ(inter.PixelColor(0, 1), RGB(7, 8, 9));
    EXPECT_EQ(inter.PixelColor(1, 0), RGB(4, 5, 6));

    rgb.interlaced = false;
    rgb.greyKey = true;
    rgb.key.red = 4;
    rgb.key.green = 5;
    rgb.key.blue = 6;
    TPNGObject keyed = Load(MakePng(rgb));
    EXPECT_EQ(keyed.ColorType(), TPngColorType::RGBA);
    EXPECT_EQ(keyed.PixelAlpha(1, 0), 0);
    EXPECT_EQ(keyed.PixelAlpha(0, 0), 255);

    TPNGObject rgba = Load(MakeSolidRgba(3, 2, 9, 8, 7, 77));
    EXPECT_TRUE(rgba.HasAlphaChannel());
    EXPECT_EQ(rgba.AlphaScanline(1)[2], 77);
    EXPECT_EQ(rgba.AlphaScanline(2), nullptr);  // past the last row
}

TEST(PngAlpha, CreateAlphaGivesOpaqueChannelOrOpaquePalette) {
    const PngLayout g{.width = 2, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY, .rows = {Row({5, 6})}};
    TPNGObject grey = Load(MakePng(g));
    grey.CreateAlpha();
    EXPECT_EQ(grey.ColorType(), TPngColorType::GreyAlpha);
    EXPECT_EQ(grey.AlphaScanline(0)[1], 255);
    EXPECT_EQ(grey.PixelColor(1, 0), RGB(6, 6, 6));

    const PngLayout rgb{.colorType = PNG_COLOR_TYPE_RGB, .rows = {Row({1, 2, 3})}};
    TPNGObject colour = Load(MakePng(rgb));
    colour.CreateAlpha();
    EXPECT_EQ(colour.ColorType(), TPngColorType::RGBA);
    EXPECT_EQ(colour.AlphaScanline(0)[0], 255);

    const PngLayout p{
        .width = 2,
        .colorType = PNG_COLOR_TYPE_PALETTE,
        .rows = {Row({0, 1})},
        .palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}},
        .trnsAlpha = {0, 10},
    };
    TPNGObject pal = Load(MakePng(p));
    pal.CreateAlpha();
    EXPECT_TRUE(pal.HasPalette());
    EXPECT_EQ(pal.Transparency(), std::vector<std::uint8_t>({255, 255, 255}));
    EXPECT_EQ(pal.PixelAlpha(0, 0), 255);

    // An image that already has alpha keeps it.
    TPNGObject rgba = Load(MakeSolidRgba(1, 1, 0, 0, 0, 3));
    rgba.CreateAlpha();
    EXPECT_EQ(rgba.AlphaScanline(0)[0], 3);
}

TEST(PngAlpha, CopyIsIndependent) {
    TPNGObject src = Load(MakeSolidRgba(2, 2, 1, 2, 3, 200));
    TPNGObject copy;
    copy.Assign(src);
    copy.AlphaScanline(0)[0] = 1;
    EXPECT_EQ(src.AlphaScanline(0)[0], 200);
    EXPECT_EQ(copy.Width(), 2);
    TPNGObject empty;
    copy.Assign(empty);
    EXPECT_TRUE(copy.Empty());
}

TEST(PngMalformed, BadDataIsRefusedAndTheImageKeepsItsPicture) {
    const std::vector<std::uint8_t> good = MakeSolidRgba(4, 4, 10, 20, 30, 255);
    TPNGObject img = Load(MakeSolidRgba(1, 1, 1, 1, 1, 1));

    auto expectError = [&](const std::vector<std::uint8_t>& bytes, const char* fragment) {
        try {
            img.LoadFromBytes(bytes);
            ADD_FAILURE() << "no error for " << fragment;
        } catch (const EInvalidGraphic& e) {
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        }
        EXPECT_EQ(img.Width(), 1) << "image changed after a failed load";
    };

    expectError({}, "signature");
    expectError({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}, "signature");
    // Cut inside the image data.
    expectError(std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() - 20), "PNG data cannot be read");
    // Cut inside the header.
    expectError(std::vector<std::uint8_t>(good.begin(), good.begin() + 20), "end of PNG data");
    // A flipped byte in the header breaks its checksum.
    std::vector<std::uint8_t> badCrc = good;
    badCrc[20] ^= 0x40;
    expectError(badCrc, "PNG data cannot be read");
    // A header claiming 100000 x 100000 pixels is refused before allocating.
    std::vector<std::uint8_t> huge = MakeSolidRgba(1, 1, 0, 0, 0, 0);
    huge[16] = 0x00;
    huge[17] = 0x01;
    huge[18] = 0x86;
    huge[19] = 0xA0;  // width 100000
    huge[20] = 0x00;
    huge[21] = 0x01;
    huge[22] = 0x86;
    huge[23] = 0xA0;  // height 100000
    const png_uint_32 crc = static_cast<png_uint_32>(crc32(0, huge.data() + 12, 17));
    huge[29] = crc >> 24;
    huge[30] = (crc >> 16) & 0xFF;
    huge[31] = (crc >> 8) & 0xFF;
    huge[32] = crc & 0xFF;
    expectError(huge, "PNG data cannot be read");
    // 8192 x 8192 is within the size limits but too many pixels to decode.
    huge[16] = 0x00;
    huge[17] = 0x00;
    huge[18] = 0x20;
    huge[19] = 0x00;
    huge[20] = 0x00;
    huge[21] = 0x00;
    huge[22] = 0x20;
    huge[23] = 0x00;
    const png_uint_32 crc2 = static_cast<png_uint_32>(crc32(0, huge.data() + 12, 17));
    huge[29] = crc2 >> 24;
    huge[30] = (crc2 >> 16) & 0xFF;
    huge[31] = (crc2 >> 8) & 0xFF;
    huge[32] = crc2 & 0xFF;
    expectError(huge, "8192 x 8192 pixels is too large");
}

TEST(PngDraw, BlendsEachPixelByItsAlphaOverTheDc) {
    gdi::Dib32 target(6, 4);
    ASSERT_TRUE(target.Valid());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) target.Row(y)[x] = 0x00204060;  // R 0x20 G 0x40 B 0x60

    const PngLayout s{
        .width = 3,
        .height = 1,
        .colorType = PNG_COLOR_TYPE_RGB_ALPHA,
        .rows = {Row({255, 255, 255, 255, 255, 0, 0, 128, 10, 20, 30, 0})},
    };
    TPNGObject img = Load(MakePng(s));
    img.Draw(target.DC(), 2, 1);
    GdiFlush();

    EXPECT_EQ(target.Row(1)[2], 0x00FFFFFFu);  // opaque white
    // 50% red over (0x20, 0x40, 0x60): (255*128 + 32*127 + 127) / 255 etc.
    const unsigned r = (255 * 128 + 0x20 * 127 + 127) / 255;
    const unsigned g = (0 * 128 + 0x40 * 127 + 127) / 255;
    const unsigned b = (0 * 128 + 0x60 * 127 + 127) / 255;
    EXPECT_EQ(target.Row(1)[3], (r << 16) | (g << 8) | b);
    EXPECT_EQ(target.Row(1)[4], 0x00204060u);  // alpha 0 leaves the background
    EXPECT_EQ(target.Row(1)[1], 0x00204060u);  // outside the image
    EXPECT_EQ(target.Row(0)[2], 0x00204060u);

    // Drawing partly outside the DC is clipped, not an error.
    img.Draw(target.DC(), 5, 3);
    GdiFlush();
    EXPECT_EQ(target.Row(3)[5], 0x00FFFFFFu);
}

TEST(PngDraw, StretchedKeepsTheEdgesAndLetsNoColourOfTransparentPixelsIn) {
    gdi::Dib32 target(8, 2);
    ASSERT_TRUE(target.Valid());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) target.Row(y)[x] = 0x00808080;

    // Opaque red, opaque blue, then white and black whose alpha is 0.
    const PngLayout s{
        .width = 2,
        .height = 2,
        .colorType = PNG_COLOR_TYPE_RGB_ALPHA,
        .rows = {Row({255, 0, 0, 255, 0, 0, 255, 255}), Row({255, 255, 255, 255, 0, 0, 0, 0})},
    };
    TPNGObject img = Load(MakePng(s));
    img.Draw(target.DC(), 0, 0, 4, 4);  // twice the size; rows 2 and 3 fall outside the DC
    GdiFlush();
    EXPECT_EQ(target.Row(0)[0], 0x00FF0000u);
    EXPECT_EQ(target.Row(0)[3], 0x000000FFu);
    // A quarter of the way from red to blue.
    EXPECT_EQ(target.Row(0)[1], 0x00BF0040u);
    EXPECT_EQ(target.Row(0)[4], 0x00808080u) << "nothing drawn beside the image";

    // Bottom row at twice the size: white fading into the background, not
    // into the transparent pixel's black.
    gdi::Dib32 bottom(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) bottom.Row(y)[x] = 0x00808080;
    img.Draw(bottom.DC(), 0, 0, 4, 4);
    GdiFlush();
    EXPECT_EQ(bottom.Row(3)[0], 0x00FFFFFFu);
    EXPECT_EQ(bottom.Row(3)[3], 0x00808080u);
    const unsigned mid = bottom.Row(3)[1] & 0xFF;
    EXPECT_EQ(bottom.Row(3)[1], mid * 0x010101u) << "a grey, no colour cast";
    EXPECT_GT(mid, 0x80u);

    // At its own size it is exactly the plain drawing.
    gdi::Dib32 a(2, 2), b(2, 2);
    img.Draw(a.DC(), 0, 0);
    img.Draw(b.DC(), 0, 0, 2, 2);
    GdiFlush();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(a.Row(y)[x], b.Row(y)[x]);
}

TEST(PngMalformed, PaletteIndexPastThePaletteIsNeverReadPastIt) {
    const PngLayout p{
        .width = 2,
        .colorType = PNG_COLOR_TYPE_PALETTE,
        .rows = {Row({1, 200})},
        .palette = {{10, 20, 30}, {40, 50, 60}},
    };
    std::vector<std::uint8_t> bytes;
    try {
        bytes = MakePng(p);
    } catch (const std::exception&) {
        GTEST_SKIP() << "the encoder refuses such data";
    }
    TPNGObject img;
    try {
        img.LoadFromBytes(bytes);
    } catch (const EInvalidGraphic&) {
        return;  // refusing it is as good
    }
    EXPECT_EQ(img.PixelColor(0, 0), RGB(40, 50, 60));
    EXPECT_EQ(img.PixelColor(1, 0), RGB(0, 0, 0));
    gdi::Dib32 target(2, 1);
    img.Draw(target.DC(), 0, 0);
    GdiFlush();
    EXPECT_EQ(target.Row(0)[1] & 0xFFFFFF, 0u);
}
