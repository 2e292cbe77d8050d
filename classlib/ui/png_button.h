// TPNGButton: a windowless button that shows PNG images with their alpha:
// a normal image, one while the pointer is over it, one while it is
// pressed, and a dimmed copy of the normal image while it is disabled. It
// can draw a caption beside the image and a push-button face or a flat
// frame.
#pragma once

#include "classlib/ui/controls.h"
#include "classlib/ui/png_codec.h"

#include <cstdint>
#include <memory>

enum TPNGButtonStyle : std::uint8_t { pbsDefault, pbsFlat, pbsNoFrame };
enum TPNGButtonLayout : std::uint8_t { pbsImageAbove, pbsImageBellow, pbsImageLeft, pbsImageRight };

class TPNGButton : public TGraphicControl {
public:
    explicit TPNGButton(TComponent* AOwner);
    ~TPNGButton() override;

    TPNGButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TPNGButtonStyle Value);
    TPNGButtonLayout ButtonLayout() const { return FButtonLayout; }
    void SetButtonLayout(TPNGButtonLayout Value);
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value);

    const TPNGObject& ImageNormal() const { return *FImageNormal; }
    void SetImageNormal(const TPNGObject& Value);
    const TPNGObject& ImageDown() const { return *FImageDown; }
    void SetImageDown(const TPNGObject& Value);
    const TPNGObject& ImageOver() const { return *FImageOver; }
    void SetImageOver(const TPNGObject& Value);
    // The dimmed copy of the normal image shown while disabled.
    const TPNGObject& ImageDisabled() const { return *FImageDisabled; }

    // 0 normal, 1 pressed, 2 disabled.
    std::uint8_t State() const { return FState; }
    bool MouseInside() const { return FMouseInside; }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;

    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Click() override;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void Paint() override;
    void EnabledChanged() override;
    void DefineProperties(TFiler& Filer) override;
    void SetState(std::uint8_t Value);
    void MakeDisabledImage();

private:
    TPNGButtonStyle FButtonStyle = pbsDefault;
    bool FMouseInside = false;
    std::wstring FCaption;
    TPNGButtonLayout FButtonLayout = pbsImageAbove;
    std::uint8_t FState = 0;
    std::unique_ptr<TPNGObject> FImageDown;
    std::unique_ptr<TPNGObject> FImageNormal;
    std::unique_ptr<TPNGObject> FImageDisabled;
    std::unique_ptr<TPNGObject> FImageOver;
};
