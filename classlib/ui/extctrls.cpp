#include "classlib/ui/extctrls.h"

#include <algorithm>
#include <vector>

// ---- TShape

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) {
    TControl::SetBounds(0, 0, 65, 65);
    FPen.OnChange = [this] { Invalidate(); };
    FBrush.OnChange = [this] { Invalidate(); };
}

void TShape::Paint() {
    TCanvas& c = Canvas();
    c.Pen().Assign(FPen);
    c.Brush().Assign(FBrush);
    // Keep the whole pen inside the bounds.
    const int pw = FPen.Style() == psClear ? 0 : FPen.Width();
    int x = pw / 2, y = pw / 2;
    int w = Width() - pw + 1, h = Height() - pw + 1;
    if (pw == 0) {
        w = Width();
        h = Height();
    }
    if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
        const int s = std::min(w, h);
        x += (w - s) / 2;
        y += (h - s) / 2;
        w = h = s;
    }
    HDC dc = c.Handle();
    c.MoveTo(x, y);  // selects the pen and brush
    switch (FShape) {
    case stRoundRect:
    case stRoundSquare: {
        const int r = std::min(w, h) / 4;
        RoundRect(dc, x, y, x + w, y + h, r, r);
        break;
    }
    case stEllipse:
    case stCircle:
        Ellipse(dc, x, y, x + w, y + h);
        break;
    default:
        c.Rectangle(x, y, x + w, y + h);
        break;
    }
}

const TPropertyTable& TShape::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TShape>(L"TShape", &TGraphicControl::ClassProperties())
            .Enumeration(L"Shape",
                         {L"stRectangle", L"stSquare", L"stRoundRect", L"stRoundSquare", L"stEllipse", L"stCircle"},
                         &TShape::Shape, &TShape::SetShape)
            .Object(L"Pen", &TShape::Pen)
            .Object(L"Brush", &TShape::Brush)
            .Build();
    return table;
}

// ---- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) { TControl::SetBounds(0, 0, 105, 105); }

void TImage::Paint() { Canvas().Draw(0, 0, FPicture); }

void TImage::DefineProperties(TFiler& Filer) {
    Filer.DefineBinaryProperty(
        L"Picture",
        [this](TStream& s) {
            std::vector<std::uint8_t> bytes(static_cast<size_t>(s.Size()));
            if (!bytes.empty()) s.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
            FPicture.LoadFromBytes(bytes);
            Invalidate();
        },
        [this](TStream& s) {
            const auto bytes = FPicture.SaveToBytes();
            if (!bytes.empty()) s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        },
        !FPicture.Empty());
}

const TPropertyTable& TImage::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TImage>(L"TImage", &TGraphicControl::ClassProperties())
                                            .Boolean(L"Transparent", &TImage::Transparent, &TImage::SetTransparent)
                                            .Build();
    return table;
}
