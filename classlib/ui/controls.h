// Controls: the visual component base TControl, the windowless
// TGraphicControl painted on its parent's surface, and TWinControl, a
// control with its own window that can hold other controls.
//
// A windowed control's window is made as soon as the control has a parent
// whose window exists (a form's window exists from its construction), and
// every property is pushed to the window when set. The control keeps its
// own copy of every value, so it reads the same with or without a window.
//
// Mouse handling of graphic controls: the parent window hands mouse
// messages to the topmost visible, enabled graphic child under the pointer.
// A control that captures the mouse keeps receiving them from a press until
// the release; the release over it after a left press is a click (Click()
// runs before MouseUp()). MouseEnter()/MouseLeave() follow the pointer over
// controls, also while another control holds the capture.
#pragma once

#include "classlib/runtime/component.h"
#include "classlib/runtime/utility_window.h"
#include "classlib/ui/graphics.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class TWinControl;
class TCustomForm;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftStateFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;

enum TAlign { alNone, alClient };

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;

// The Shift state from a mouse message's key flags.
TShiftState MouseShiftState(WPARAM keys);
// The Shift state of the keyboard now.
TShiftState KeyboardShiftState();

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    virtual int ClientWidth() const { return FWidth; }
    virtual int ClientHeight() const { return FHeight; }
    RECT ClientRect() const { return RECT{0, 0, ClientWidth(), ClientHeight()}; }
    // A point of the control's client area in screen coordinates.
    virtual POINT ClientToScreen(POINT p) const;

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);

    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool v);

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& v);
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& v) { FHint = v; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v) { FShowHint = v; }
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool v) { FParentShowHint = v; }
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors v);
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign v);

    // Repaints the control soon (or at once with Repaint).
    virtual void Invalidate();
    void Repaint();

    // The form the control sits on (itself for a form), or nullptr.
    TCustomForm* ParentForm() const;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Called by the parent's mouse handling (and by tests).
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    // Whether a press captures the mouse until the release.
    bool CapturesMouse() const { return FCaptureMouse; }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

    // Called by the parent when its client size changed from old to new.
    void ParentResized(int oldWidth, int oldHeight, int newWidth, int newHeight);

    // Scales position, size and (unless it is the parent's) font, given for
    // OldPixelsPerInch, to NewPixelsPerInch; a windowed control scales its
    // children after itself. Forms call it when they take a resolution.
    virtual void ChangeScale(int NewPixelsPerInch, int OldPixelsPerInch);
    // A length given at DesignPixelsPerInch in pixels of the control's form.
    int ScaledPixels(int DesignPixels) const;

protected:
    // Hooks after a change of the matching property.
    virtual void EnabledChanged() { Invalidate(); }
    virtual void VisibleChanged() {}
    virtual void FontChanged() { Invalidate(); }
    virtual void ColorChanged() { Invalidate(); }
    virtual void TextChanged() { Invalidate(); }
    virtual void BoundsChanged() {}
    // Font or colour of the parent changed.
    void ParentFontChanged();
    void ParentColorChanged();

    bool FCaptureMouse = false;

private:
    friend class TWinControl;
    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    TFont FFont;
    bool FParentFont = true;
    bool FFontFromParent = false;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    std::wstring FCaption;
    std::wstring FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TAnchors FAnchors = akLeft | akTop;
    TAlign FAlign = alNone;
};

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);

    // The canvas while Paint runs.
    TCanvas& Canvas() { return FCanvas; }
    // Paints the control on dc, whose origin is the control's top-left.
    void PaintTo(HDC dc);
    void Invalidate() override;

protected:
    virtual void Paint() {}
    void VisibleChanged() override;
    void BoundsChanged() override;

private:
    TCanvas FCanvas;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    HWND Handle() const { return FHandle; }
    bool HandleAllocated() const { return FHandle != nullptr; }
    void SetParent(TWinControl* AParent) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Invalidate() override;
    int ClientWidth() const override;
    int ClientHeight() const override;
    POINT ClientToScreen(POINT p) const override;
    void ChangeScale(int NewPixelsPerInch, int OldPixelsPerInch) override;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int i) const { return FControls.at(static_cast<size_t>(i)); }
    // The topmost visible graphic child at a client point, or nullptr.
    TGraphicControl* GraphicControlAt(POINT p, bool allowDisabled = false) const;

    // Whether other controls may be placed on it (forms, group boxes).
    virtual bool AcceptsControls() const { return false; }

    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool v);
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int v);
    bool Focused() const { return FHandle && GetFocus() == FHandle; }
    void SetFocus();

    TKeyEvent OnKeyDown;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

    // The control whose window is wnd (or which owns it), or nullptr.
    static TWinControl* FromHandle(HWND wnd);

    // Hands a message to the window procedure of the control.
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    struct TCreateParams {
        std::wstring ClassName;  // empty: the library's own window class
        DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD ExStyle = 0;
        HWND Parent = nullptr;
        int X = 0, Y = 0, Width = 0, Height = 0;
    };
    virtual void CreateParams(TCreateParams& Params);
    void CreateHandle();
    void DestroyHandle();
    // Pushes the control's state to a new window.
    virtual void InitializeHandle();
    // Called before the control's window is destroyed.
    virtual void HandleDestroying() {}
    // Recreates the window after a change of style.
    void RecreateHandle();

    virtual void WndProc(TMessage& Message);
    // The default processing: the standard control's own procedure, or the
    // platform's default.
    void DefaultProc(TMessage& Message);

    // Notifications from the control's own window, reflected by its parent.
    virtual void CNCommand(WORD /*code*/) {}
    virtual bool CNNotify(NMHDR* /*hdr*/, LRESULT& /*result*/) { return false; }
    virtual HBRUSH CtlColor(HDC dc);
    virtual void KeyDown(WORD& Key, TShiftState Shift);
    // The client size changed.
    virtual void Resize() {}

    // Paints background and graphic children of a window of our own class.
    virtual void PaintWindow(HDC dc);
    void PaintControls(HDC dc);
    bool OwnWindowClass() const { return FOldProc == nullptr; }

    void VisibleChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    void TextChanged() override;
    void EnabledChanged() override;

    HWND FHandle = nullptr;

private:
    friend class TControl;
    friend class TCustomForm;
    friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    void HandleMouse(TMessage& Message);
    void UpdateTabOrder();

    std::vector<TControl*> FControls;
    WNDPROC FOldProc = nullptr;
    gdi::GdiObject<HBRUSH> FBrush;
    COLORREF FBrushColor = 0;
    bool FTabStop = false;
    int FTabOrder = -1;
    TGraphicControl* FCaptureControl = nullptr;
    bool FClickPending = false;
    bool FTrackingLeave = false;
    int FClientWidth = -1;
    int FClientHeight = -1;
    // While scaled, the children are scaled explicitly: a change of the
    // client size does not move or stretch them.
    bool FScaling = false;

protected:
    // Sets a flag for its lifetime and restores it after.
    class ScalingScope {
    public:
        explicit ScalingScope(bool& flag) : FFlag(flag), FWas(flag) { flag = true; }
        ~ScalingScope() { FFlag = FWas; }
        ScalingScope(const ScalingScope&) = delete;
        ScalingScope& operator=(const ScalingScope&) = delete;

    private:
        bool& FFlag;
        bool FWas;
    };
};

// Scroll messages of a child window come back to it as CN_BASE + message.
constexpr UINT CN_BASE = 0xBC00;
