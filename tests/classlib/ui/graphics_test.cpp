// The canvas, colours and bitmaps, on real memory DCs.
#include "classlib/ui/graphics.h"
#include "classlib/ui/ui_errors.h"
#include "tests/classlib/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

DWORD Dib(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

void Fill(gdi::Dib32& d, DWORD v) {
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x) d.Row(y)[x] = v;
}

std::vector<std::uint8_t> BitmapFile(int w, int h, int bits, bool topDown) {
    const int bpp = bits / 8;
    const int stride = ((w * bpp) + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = topDown ? -h : h;
    ih.biPlanes = 1;
    ih.biBitCount = static_cast<WORD>(bits);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    std::vector<std::uint8_t> out(fh.bfOffBits + static_cast<size_t>(stride) * h, 0);
    std::memcpy(out.data(), &fh, sizeof fh);
    std::memcpy(out.data() + sizeof fh, &ih, sizeof ih);
    // The first row in the file: blue at x = 0.
    out[fh.bfOffBits] = 255;
    return out;
}

}  // namespace

TEST(Colours, NamesAndSystemColours) {
    TColor c = 0;
    EXPECT_TRUE(ColorFromName(L"clFuchsia", c));
    EXPECT_EQ(ColorToRGB(c), RGB(255, 0, 255));
    EXPECT_TRUE(ColorFromName(L"clbtnface", c));
    EXPECT_EQ(ColorToRGB(c), GetSysColor(COLOR_BTNFACE));
    EXPECT_FALSE(ColorFromName(L"clPlaid", c));
    EXPECT_EQ(ColorToRGB(0x00F2F2F2), RGB(242, 242, 242));
}

TEST(Bitmaps, ReadsTwentyFourAndThirtyTwoBitFilesBothWaysUp) {
    TBitmap b;
    b.LoadFromBytes(BitmapFile(3, 2, 24, false));
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(0, 1), RGB(0, 0, 255)) << "the first row of a bottom-up file is the bottom row";
    b.LoadFromBytes(BitmapFile(3, 2, 24, true));
    EXPECT_EQ(b.Pixel(0, 0), RGB(0, 0, 255));
    b.LoadFromBytes(BitmapFile(2, 2, 32, true));
    EXPECT_EQ(b.Pixel(0, 0), RGB(0, 0, 255));

    TBitmap copy;
    copy.LoadFromBytes(b.SaveToBytes());
    EXPECT_EQ(copy.Pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(copy.Width(), 2);
}

TEST(Bitmaps, MalformedFilesAreRefusedAndChangeNothing) {
    TBitmap b;
    b.LoadFromBytes(BitmapFile(4, 4, 24, false));
    auto refused = [&](std::vector<std::uint8_t> bytes, const wchar_t* fragment) {
        try {
            b.LoadFromBytes(bytes);
            ADD_FAILURE() << "accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_NE(e.Message().find(fragment), std::wstring::npos) << Narrow(e.Message());
        }
        EXPECT_EQ(b.Width(), 4);
    };
    refused({}, L"too short");
    auto wrongMagic = BitmapFile(2, 2, 24, false);
    wrongMagic[0] = 'X';
    refused(wrongMagic, L"\"BM\"");
    refused(BitmapFile(2, 2, 16, false), L"16 bits per pixel");
    auto truncated = BitmapFile(8, 8, 24, false);
    truncated.resize(truncated.size() - 10);
    refused(truncated, L"truncated");
    auto huge = BitmapFile(2, 2, 24, false);
    const LONG width = 100000;
    std::memcpy(huge.data() + sizeof(BITMAPFILEHEADER) + 4, &width, sizeof width);
    refused(huge, L"out of range");
}

TEST(Canvas, ClippedTextStaysInsideItsRectangle) {
    gdi::Dib32 d(200, 40);
    Fill(d, 0xFFFFFF);
    TCanvas c(d.DC());
    c.Font().SetHeight(-16);
    c.Font().SetColor(clBlack);
    c.Brush().SetStyle(bsClear);
    const RECT clip{10, 5, 40, 30};
    c.TextRect(clip, 10, 5, L"WWWWWWWWWWWWWWWW");
    GdiFlush();
    int inside = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            if ((d.Row(y)[x] & 0xFFFFFF) == 0xFFFFFF) continue;
            const POINT p{x, y};
            (PtInRect(&clip, p) ? inside : outside)++;
        }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0);
    const SIZE ext = c.TextExtent(L"WW");
    EXPECT_GT(ext.cx, 0);
    EXPECT_EQ(ext.cy, c.TextHeight(L"W"));
}

TEST(Canvas, FramesAndButtonFace) {
    gdi::Dib32 d(20, 10);
    Fill(d, 0xFFFFFF);
    TCanvas c(d.DC());
    RECT r{0, 0, 20, 10};
    Frame3D(c, r, clRed, clBlue, 2);
    GdiFlush();
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.bottom, 8);
    EXPECT_EQ(d.Row(0)[5] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(d.Row(1)[1] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(d.Row(9)[5] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(d.Row(5)[19] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(d.Row(5)[5] & 0xFFFFFF, 0xFFFFFFu);

    Fill(d, 0);
    const RECT inner = DrawButtonFace(c, RECT{0, 0, 20, 10}, 1, false);
    GdiFlush();
    EXPECT_EQ(d.Row(0)[0] & 0xFFFFFF, Dib(GetSysColor(COLOR_BTNFACE))) << "rounded corner";
    EXPECT_EQ(d.Row(0)[5] & 0xFFFFFF, Dib(GetSysColor(COLOR_WINDOWFRAME)));
    EXPECT_EQ(d.Row(1)[5] & 0xFFFFFF, Dib(GetSysColor(COLOR_BTNHIGHLIGHT)));
    EXPECT_EQ(d.Row(8)[5] & 0xFFFFFF, Dib(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(inner.left, 2);
    DrawButtonFace(c, RECT{0, 0, 20, 10}, 1, true);
    GdiFlush();
    EXPECT_EQ(d.Row(1)[5] & 0xFFFFFF, Dib(GetSysColor(COLOR_BTNSHADOW))) << "sunken when down";
}
