// TPNGButton on pixels painted into a memory bitmap and under real mouse
// messages sent to a real window.
#include "classlib/ui/forms.h"
#include "classlib/ui/png_button.h"
#include "tests/classlib/ui/png_maker.h"
#include "tests/classlib/ui/ui_test_support.h"

#include <gtest/gtest.h>

namespace {

TPNGObject Solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    TPNGObject img;
    img.LoadFromBytes(MakeSolidRgba(w, h, r, g, b, a));
    return img;
}

constexpr DWORD White = 0x00FFFFFF;
constexpr DWORD Red = 0x00FF0000;  // as a 32-bit DIB pixel
constexpr DWORD Blue = 0x000000FF;
constexpr DWORD Green = 0x0000FF00;

// Paints the button onto a white memory bitmap of its size.
struct Painted {
    explicit Painted(TPNGButton& b) : dib(b.Width(), b.Height()) {
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x) dib.Row(y)[x] = White;
        b.PaintTo(dib.DC());
        GdiFlush();
    }
    DWORD At(int x, int y) const { return dib.Row(y)[x] & 0xFFFFFF; }
    // The top-left pixel of the given colour, or (-1, -1).
    POINT Find(DWORD colour) const {
        for (int y = 0; y < dib.Height(); ++y)
            for (int x = 0; x < dib.Width(); ++x)
                if (At(x, y) == colour) return POINT{x, y};
        return POINT{-1, -1};
    }
    gdi::Dib32 dib;
};

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        form->SetColor(clWhite);
        button = new TPNGButton(form.get());
        button->SetParent(form.get());
        button->SetButtonStyle(pbsNoFrame);
    }
    void TearDown() override { form.reset(); }

    std::unique_ptr<TForm> form;
    TPNGButton* button = nullptr;
};

}  // namespace

TEST_F(ButtonTest, StartsAsTheDefaultTwentyThreePixelButton) {
    TPNGButton fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 23);
    EXPECT_EQ(fresh.Height(), 23);
    EXPECT_EQ(fresh.State(), 0);
    EXPECT_FALSE(fresh.MouseInside());
    EXPECT_EQ(fresh.ButtonLayout(), pbsImageAbove);
    EXPECT_EQ(fresh.ButtonStyle(), pbsDefault);
    EXPECT_TRUE(fresh.ImageNormal().Empty());
    EXPECT_TRUE(fresh.ImageDisabled().Empty());
}

TEST_F(ButtonTest, DisabledCopyDividesAlphaByThree) {
    const PngLayout s{
        .width = 2,
        .height = 1,
        .colorType = PNG_COLOR_TYPE_RGB_ALPHA,
        .rows = {{255, 0, 0, 255, 255, 0, 0, 2}},
    };
    TPNGObject img;
    img.LoadFromBytes(MakePng(s));
    button->SetBounds(0, 0, 2, 1);
    button->SetImageNormal(img);
    button->SetEnabled(false);
    EXPECT_EQ(button->State(), 2);
    ASSERT_NE(button->ImageDisabled().AlphaScanline(0), nullptr);
    EXPECT_EQ(button->ImageDisabled().AlphaScanline(0)[0], 85);
    EXPECT_EQ(button->ImageDisabled().AlphaScanline(0)[1], 0);
    EXPECT_EQ(button->ImageNormal().AlphaScanline(0)[0], 255) << "the normal image must stay as it was";

    // Painted: red at alpha 85 over white, and the alpha-2 pixel vanished.
    Painted p(*button);
    const unsigned gb = (0 * 85 + 255 * 170 + 127) / 255;
    EXPECT_EQ(p.At(0, 0), (0xFFu << 16) | (gb << 8) | gb);
    EXPECT_EQ(p.At(1, 0), White);

    button->SetEnabled(true);
    EXPECT_EQ(button->State(), 0);
    Painted again(*button);
    EXPECT_EQ(again.At(0, 0), Red);
}

TEST_F(ButtonTest, DisabledCopyOfOpaqueAndPaletteImages) {
    // An RGB image without alpha gets an opaque channel first: 255 / 3.
    const PngLayout rgb{.colorType = PNG_COLOR_TYPE_RGB, .rows = {{1, 2, 3}}};
    TPNGObject opaque;
    opaque.LoadFromBytes(MakePng(rgb));
    button->SetImageNormal(opaque);
    EXPECT_EQ(button->ImageDisabled().AlphaScanline(0)[0], 85);

    // A palette image becomes fully opaque and is not dimmed further.
    const PngLayout pal{
        .width = 2,
        .colorType = PNG_COLOR_TYPE_PALETTE,
        .rows = {{0, 1}},
        .palette = {{9, 9, 9}, {8, 8, 8}},
        .trnsAlpha = {0, 40},
    };
    TPNGObject paletted;
    paletted.LoadFromBytes(MakePng(pal));
    button->SetImageNormal(paletted);
    EXPECT_EQ(button->ImageDisabled().Transparency(), std::vector<std::uint8_t>({255, 255}));
    EXPECT_EQ(button->ImageDisabled().PixelAlpha(0, 0), 255);
}

TEST_F(ButtonTest, ImageLeftLayoutAndPressedOffset) {
    button->SetButtonLayout(pbsImageLeft);
    button->SetBounds(0, 0, 61, 28);
    button->SetImageNormal(Solid(60, 26, 255, 0, 0));
    EXPECT_EQ(Painted(*button).Find(Red).x, 0);
    EXPECT_EQ(Painted(*button).Find(Red).y, 1);

    // Pressed (state 1 with the pointer inside): 2 pixels down, and in the
    // side-by-side layouts not to the right.
    button->MouseEnter();
    button->MouseDown(mbLeft, ssLeft, 5, 5);
    ASSERT_EQ(button->State(), 1);
    const POINT pressed = Painted(*button).Find(Red);
    EXPECT_EQ(pressed.x, 0);
    EXPECT_EQ(pressed.y, 3);
}

TEST_F(ButtonTest, LayoutsPlaceImageAndCaption) {
    button->SetBounds(0, 0, 120, 80);
    button->SetImageNormal(Solid(20, 10, 255, 0, 0));
    button->Font().SetColor(clBlack);
    button->SetCaption(L"Go");

    // Where the caption's text extent puts things.
    TCanvas probe;
    gdi::MemoryDC mdc;
    probe.SetHandle(mdc.Get());
    probe.Font().Assign(button->Font());
    const SIZE ext = probe.TextExtent(L"Go");
    probe.SetHandle(nullptr);

    auto expectAt = [&](TPNGButtonLayout layout, int ix, int iy, int tx, int ty) {
        button->SetButtonLayout(layout);
        Painted p(*button);
        EXPECT_EQ(p.Find(Red).x, ix) << "layout " << layout;
        EXPECT_EQ(p.Find(Red).y, iy) << "layout " << layout;
        // The caption as drawn alone at the expected place.
        gdi::Dib32 ref(120, 80);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 120; ++x) ref.Row(y)[x] = White;
        TCanvas c(ref.DC());
        c.Font().Assign(button->Font());
        c.Brush().SetStyle(bsClear);
        c.TextOut(tx, ty, L"Go");
        GdiFlush();
        int differ = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 120; ++x) {
                const DWORD want = ref.Row(y)[x] & 0xFFFFFF;
                if (want != White && p.At(x, y) != want) ++differ;
            }
        EXPECT_EQ(differ, 0) << "caption misplaced in layout " << layout;
    };
    const int W = 120, H = 80, iw = 20, ih = 10 + 4, tw = ext.cx, th = ext.cy;
    // Above: the caption starts 4 pixels below the image.
    const int aboveY = (H - ih - th) / 2;
    expectAt(pbsImageAbove, (W - iw) / 2, aboveY, (W - tw) / 2, aboveY + ih);
    const int belowText = (H - ih - th) / 2;
    expectAt(pbsImageBellow, (W - iw) / 2, belowText + th, (W - tw) / 2, belowText);
    const int leftX = (W - iw - tw) / 2;
    expectAt(pbsImageLeft, leftX, (H - ih) / 2, leftX + iw + 5, (H - th) / 2);
    const int rightText = (W - iw - tw) / 2;
    expectAt(pbsImageRight, rightText + tw + 5, (H - ih) / 2, rightText, (H - th) / 2);
}

TEST_F(ButtonTest, FlatFrameAndPushButtonFace) {
    button->SetBounds(0, 0, 30, 20);
    button->SetButtonStyle(pbsFlat);
    const DWORD shadow = [] {
        COLORREF c = GetSysColor(COLOR_BTNSHADOW);
        return static_cast<DWORD>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
    }();
    const DWORD highlight = [] {
        COLORREF c = GetSysColor(COLOR_BTNHIGHLIGHT);
        return static_cast<DWORD>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
    }();
    EXPECT_EQ(Painted(*button).At(0, 0), White) << "no frame at rest";
    button->MouseEnter();
    Painted raised(*button);
    EXPECT_EQ(raised.At(0, 5), highlight);
    EXPECT_EQ(raised.At(29, 5), shadow);
    button->MouseDown(mbLeft, ssLeft, 1, 1);
    Painted sunken(*button);
    EXPECT_EQ(sunken.At(0, 5), shadow);
    EXPECT_EQ(sunken.At(29, 5), highlight);
    // Pressed but the pointer gone: the frame stays raised.
    button->MouseLeave();
    Painted away(*button);
    EXPECT_EQ(away.At(0, 5), highlight);

    // The default style paints the face colour inside a frame.
    TPNGButton face(form.get());
    face.SetParent(form.get());
    face.SetBounds(0, 0, 30, 20);
    Painted f(face);
    const COLORREF btn = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(f.At(15, 10), static_cast<DWORD>((GetRValue(btn) << 16) | (GetGValue(btn) << 8) | GetBValue(btn)));
    EXPECT_EQ(f.At(0, 0), static_cast<DWORD>((GetRValue(btn) << 16) | (GetGValue(btn) << 8) | GetBValue(btn)))
        << "rounded corner";
}

TEST_F(ButtonTest, ImageChoiceFollowsStateAndPointer) {
    button->SetBounds(0, 0, 10, 10);
    button->SetImageNormal(Solid(10, 10, 255, 0, 0));
    button->SetImageOver(Solid(10, 10, 0, 255, 0));
    button->SetImageDown(Solid(10, 10, 0, 0, 255));
    EXPECT_EQ(Painted(*button).At(5, 5), Red);
    button->MouseEnter();
    EXPECT_EQ(Painted(*button).At(5, 5), Green);
    // Disabled while the pointer is over it: the dimmed copy, not the over image.
    button->SetEnabled(false);
    EXPECT_TRUE(button->MouseInside());
    const DWORD dimmed = Painted(*button).At(5, 5);
    EXPECT_NE(dimmed, Green);
    EXPECT_EQ(dimmed >> 16, 0xFFu);
    // Hovering a disabled button changes nothing.
    button->MouseLeave();
    EXPECT_TRUE(button->MouseInside());
    button->MouseEnter();
    EXPECT_EQ(Painted(*button).At(5, 5), dimmed);
    button->SetEnabled(true);
    EXPECT_EQ(button->State(), 0);
}

TEST_F(ButtonTest, RealMouseMessagesPressDragAwayAndClick) {
    form->SetFormStyle(fsStayOnTop);
    form->Show();
    button->SetBounds(10, 10, 40, 30);
    button->SetImageNormal(Solid(40, 30, 255, 0, 0));
    button->SetImageDown(Solid(40, 30, 0, 0, 255));
    button->SetImageOver(Solid(40, 30, 0, 255, 0));
    int clicks = 0, enters = 0, exits = 0;
    button->OnClick = [&](TObject*) {
        ++clicks;
        EXPECT_EQ(button->State(), 0) << "the button is released before the click handler runs";
    };
    button->OnMouseEnter = [&](TObject*) { ++enters; };
    button->OnMouseExit = [&](TObject*) { ++exits; };
    PumpMessages();
    HWND wnd = form->Handle();
    auto send = [&](UINT msg, WPARAM keys, int x, int y) {
        SendMessageW(wnd, msg, keys, MAKELPARAM(x, y));
        PumpMessages(1);
    };
    auto screenPixel = [&](int x, int y) {
        UpdateWindow(wnd);
        gdi::WindowDC dc(wnd);
        return GetPixel(dc.Get(), x, y);
    };

    send(WM_MOUSEMOVE, 0, 20, 20);
    EXPECT_TRUE(button->MouseInside());
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(screenPixel(20, 20), RGB(0, 255, 0)) << "over image on the screen";

    // A right-button press does not press the button.
    send(WM_RBUTTONDOWN, MK_RBUTTON, 20, 20);
    EXPECT_EQ(button->State(), 0);
    send(WM_RBUTTONUP, 0, 20, 20);
    EXPECT_EQ(clicks, 0);

    send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    EXPECT_EQ(button->State(), 1);
    EXPECT_EQ(GetCapture(), wnd) << "the form holds the mouse for the pressed button";
    EXPECT_EQ(screenPixel(22, 22), RGB(0, 0, 255)) << "down image, 2 pixels lower";

    // Dragging off: the normal image, the button still down.
    send(WM_MOUSEMOVE, MK_LBUTTON, 200, 150);
    EXPECT_FALSE(button->MouseInside());
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(button->State(), 1);
    EXPECT_EQ(screenPixel(20, 20), RGB(255, 0, 0));
    // And back: the down image again.
    send(WM_MOUSEMOVE, MK_LBUTTON, 25, 25);
    EXPECT_TRUE(button->MouseInside());
    EXPECT_EQ(screenPixel(22, 22), RGB(0, 0, 255));

    // Releasing inside clicks.
    send(WM_LBUTTONUP, 0, 25, 25);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), 0);
    EXPECT_NE(GetCapture(), wnd);

    // Pressing, leaving and releasing outside does not click.
    send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    send(WM_MOUSEMOVE, MK_LBUTTON, 200, 150);
    send(WM_LBUTTONUP, 0, 200, 150);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->State(), 0);

    // A double click clicks once, for its first press and release.
    send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    send(WM_LBUTTONUP, 0, 20, 20);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, 20, 20);
    send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(button->State(), 0);

    // A button disabled by its own click handler is not clicked again.
    button->OnClick = [&](TObject*) {
        ++clicks;
        button->SetEnabled(false);
    };
    send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(button->State(), 2);
    button->SetEnabled(true);
    // Disabled between press and release: no click.
    send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    button->SetEnabled(false);
    send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_EQ(clicks, 3);
    button->SetEnabled(true);

    // A disabled button takes no press.
    button->SetEnabled(false);
    send(WM_MOUSEMOVE, 0, 20, 20);
    send(WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    send(WM_LBUTTONUP, 0, 20, 20);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(button->State(), 2);
}
