#include "classlib/ui/png_button.h"

#include <vector>

TPNGButton::TPNGButton(TComponent* AOwner)
    : TGraphicControl(AOwner),
      FImageDown(std::make_unique<TPNGObject>()),
      FImageNormal(std::make_unique<TPNGObject>()),
      FImageDisabled(std::make_unique<TPNGObject>()),
      FImageOver(std::make_unique<TPNGObject>()) {
    FCaptureMouse = true;
    TControl::SetBounds(Left(), Top(), 23, 23);
}

TPNGButton::~TPNGButton() = default;

void TPNGButton::SetButtonLayout(TPNGButtonLayout Value) {
    FButtonLayout = Value;
    Repaint();
}

void TPNGButton::SetButtonStyle(TPNGButtonStyle Value) {
    FButtonStyle = Value;
    Repaint();
}

void TPNGButton::SetCaption(const std::wstring& Value) {
    FCaption = Value;
    Repaint();
}

void TPNGButton::SetImageNormal(const TPNGObject& Value) {
    FImageNormal->Assign(Value);
    MakeDisabledImage();
    Repaint();
}

void TPNGButton::SetImageDown(const TPNGObject& Value) {
    FImageDown->Assign(Value);
    Repaint();
}

void TPNGButton::SetImageOver(const TPNGObject& Value) {
    FImageOver->Assign(Value);
    Repaint();
}

void TPNGButton::SetState(std::uint8_t Value) {
    FState = Value;
    Repaint();
}

void TPNGButton::MakeDisabledImage() {
    FImageDisabled->Assign(*FImageNormal);
    FImageDisabled->CreateAlpha();
    if (FImageDisabled->HasPalette()) return;  // a palette image is not dimmed further
    for (int y = 0; y < FImageDisabled->Height(); ++y) {
        std::uint8_t* alpha = FImageDisabled->AlphaScanline(y);
        if (!alpha) continue;
        for (int x = 0; x < FImageDisabled->Width(); ++x) alpha[x] = static_cast<std::uint8_t>(alpha[x] / 3);
    }
}

void TPNGButton::EnabledChanged() {
    if (!Enabled()) MakeDisabledImage();
    SetState(Enabled() ? 0 : 2);
}

void TPNGButton::MouseEnter() {
    if (!Enabled()) return;
    if (OnMouseEnter) OnMouseEnter(this);
    FMouseInside = true;
    Repaint();
}

void TPNGButton::MouseLeave() {
    if (!Enabled()) return;
    if (OnMouseExit) OnMouseExit(this);
    FMouseInside = false;
    Repaint();
}

void TPNGButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FState == 0 && Button == mbLeft) SetState(1);
    TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TPNGButton::MouseMove(TShiftState Shift, int X, int Y) {
    if (X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight() && !FMouseInside && FState != 1) {
        FMouseInside = true;
        Repaint();
    }
    TGraphicControl::MouseMove(Shift, X, Y);
}

void TPNGButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FState == 1) SetState(0);
    TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TPNGButton::Click() {
    if (FState == 1) SetState(0);
    TGraphicControl::Click();
}

void TPNGButton::Paint() {
    TCanvas& canvas = Canvas();  // already holds the control's font
    const bool pressed = FState == 1 && FMouseInside;

    const TPNGObject* image = FImageNormal.get();
    if (pressed && !FImageDown->Empty())
        image = FImageDown.get();
    else if (FMouseInside && !FImageOver->Empty() && Enabled())
        image = FImageOver.get();
    else if (FState == 2 && !FImageDisabled->Empty())
        image = FImageDisabled.get();

    // The images are drawn for 96 dpi and grow with the form's resolution.
    const int imageWidth = ScaledPixels(image->Width()), imageHeight = ScaledPixels(image->Height());
    int iw = imageWidth, ih = imageHeight;
    int tw = 0, th = 0;
    if (!FCaption.empty()) {
        const SIZE ext = canvas.TextExtent(FCaption);
        tw = ext.cx;
        th = ext.cy;
        ih += ScaledPixels(4);
    }
    const int W = Width(), H = Height();
    const int off = pressed ? 2 : 0;

    int imageX = (W - iw) / 2 + off;
    int textX = (W - tw) / 2 + off;
    int textY = (H - th) / 2;
    int imageY = (H - ih) / 2;
    switch (FButtonLayout) {
    case pbsImageAbove:
        imageY = (H - ih - th) / 2;
        textY = imageY + ih;
        break;
    case pbsImageBellow:
        textY = (H - ih - th) / 2;
        imageY = textY + th;
        break;
    case pbsImageLeft:
        imageX = (W - iw - tw) / 2;
        textX = imageX + iw + ScaledPixels(5);
        break;
    case pbsImageRight:
        textX = (W - iw - tw) / 2;
        imageX = textX + tw + ScaledPixels(5);
        break;
    }
    imageY += off;
    textY += off;

    RECT client = ClientRect();
    switch (FButtonStyle) {
    case pbsFlat:
        if (FState != 2) {
            RECT r = client;
            if (pressed)
                Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
            else if (FMouseInside || FState == 1)
                Frame3D(canvas, r, clBtnHighlight, clBtnShadow, 1);
        }
        break;
    case pbsDefault:
        DrawButtonFace(canvas, client, 1, pressed);
        break;
    case pbsNoFrame:
        break;
    }

    canvas.Brush().SetStyle(bsClear);
    image->Draw(canvas, imageX, imageY, imageWidth, imageHeight);
    if (FState == 2) canvas.Font().SetColor(clGrayText);
    canvas.TextRect(client, textX, textY, FCaption);
}

void TPNGButton::DefineProperties(TFiler& Filer) {
    auto define = [&](const wchar_t* name, void (TPNGButton::*set)(const TPNGObject&)) {
        Filer.DefineBinaryProperty(
            name,
            [this, set](TStream& s) {
                std::vector<std::uint8_t> bytes(static_cast<size_t>(s.Size()));
                if (!bytes.empty()) s.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
                TPNGObject loaded;
                if (!bytes.empty()) loaded.LoadFromBytes(bytes);
                (this->*set)(loaded);
            },
            // Descriptions are written by hand; images are not written back.
            [](TStream&) {}, false);
    };
    define(L"ImageNormal", &TPNGButton::SetImageNormal);
    define(L"ImageDown", &TPNGButton::SetImageDown);
    define(L"ImageOver", &TPNGButton::SetImageOver);
}

const TPropertyTable& TPNGButton::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TPNGButton>(L"TPNGButton", &TGraphicControl::ClassProperties())
            .Enumeration(L"ButtonLayout", {L"pbsImageAbove", L"pbsImageBellow", L"pbsImageLeft", L"pbsImageRight"},
                         &TPNGButton::ButtonLayout, &TPNGButton::SetButtonLayout)
            .String(L"Caption", &TPNGButton::Caption, &TPNGButton::SetCaption)
            .Enumeration(L"ButtonStyle", {L"pbsDefault", L"pbsFlat", L"pbsNoFrame"}, &TPNGButton::ButtonStyle,
                         &TPNGButton::SetButtonStyle)
            .Event(L"OnMouseEnter", &TPNGButton::OnMouseEnter)
            .Event(L"OnMouseExit", &TPNGButton::OnMouseExit)
            .Build();
    return table;
}
