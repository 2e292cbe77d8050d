// Graphic controls: rectangle shapes and images.
#pragma once

#include "classlib/ui/controls.h"

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A shape drawn with its pen and brush; the pen lies inside the bounds.
class TShape : public TGraphicControl {
public:
    explicit TShape(TComponent* AOwner);

    TShapeType Shape() const { return FShape; }
    void SetShape(TShapeType v) {
        FShape = v;
        Invalidate();
    }
    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void Paint() override;

private:
    TShapeType FShape = stRectangle;
    TPen FPen;
    TBrush FBrush;
};

// A bitmap painted at the control's top-left corner. The description stores
// the picture as the bytes of a bitmap file in the property "Picture".
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);

    TBitmap& Picture() { return FPicture; }
    void SetPicture(const TBitmap& v) {
        FPicture = v;
        Invalidate();
    }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) {
        FTransparent = v;
        Invalidate();
    }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void Paint() override;
    void DefineProperties(TFiler& Filer) override;

private:
    TBitmap FPicture;
    bool FTransparent = false;
};
