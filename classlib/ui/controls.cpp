#include "classlib/ui/controls.h"

#include "classlib/runtime/application.h"
#include "classlib/ui/dpi.h"
#include "classlib/ui/forms.h"

#include <windowsx.h>

#include <algorithm>

namespace {

constexpr wchar_t ControlProp[] = L"TavrelControl";
constexpr wchar_t ControlWindowClass[] = L"TavrelWindow";

// The control the pointer is over (GUI thread only).
TControl* gMouseControl = nullptr;

void SetMouseControl(TControl* c) {
    if (c == gMouseControl) return;
    TControl* old = gMouseControl;
    gMouseControl = c;
    if (old) old->MouseLeave();
    if (c && gMouseControl == c) c->MouseEnter();
}

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

void RegisterWindowClass() {
    static const bool done = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ControlWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
        if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = ControlWindowClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)done;
}

}  // namespace

TShiftState MouseShiftState(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

// ---- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    FFont.OnChange = [this] {
        if (!FFontFromParent) FParentFont = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (gMouseControl == this) gMouseControl = nullptr;
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (AParent == this) throw EInvalidOperation(L"a control cannot be its own parent");
    if (FParent) FParent->RemoveControl(this);
    if (AParent) {
        AParent->InsertControl(this);
        if (FParentFont) ParentFontChanged();
        if (FParentColor) ParentColorChanged();
        if (FAlign == alClient) SetBounds(0, 0, AParent->ClientWidth(), AParent->ClientHeight());
    }
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    BoundsChanged();
}

POINT TControl::ClientToScreen(POINT p) const {
    if (!FParent) return p;
    return FParent->ClientToScreen(POINT{p.x + FLeft, p.y + FTop});
}

void TControl::SetVisible(bool v) {
    if (v == FVisible) return;
    FVisible = v;
    VisibleChanged();
}

void TControl::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    EnabledChanged();
}

void TControl::SetParentFont(bool v) {
    FParentFont = v;
    if (v) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!FParentFont || !FParent) return;
    FFontFromParent = true;
    FFont.Assign(FParent->Font());
    FFontFromParent = false;
}

void TControl::SetColor(TColor v) {
    FParentColor = false;
    if (v == FColor) return;
    FColor = v;
    ColorChanged();
}

void TControl::SetParentColor(bool v) {
    FParentColor = v;
    if (v) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent) return;
    if (FColor != FParent->Color()) {
        FColor = FParent->Color();
        ColorChanged();
    }
}

void TControl::SetCaption(const std::wstring& v) {
    if (v == FCaption) return;
    FCaption = v;
    TextChanged();
}

void TControl::SetAnchors(TAnchors v) { FAnchors = v; }

void TControl::SetAlign(TAlign v) {
    FAlign = v;
    if (v == alClient && FParent) SetBounds(0, 0, FParent->ClientWidth(), FParent->ClientHeight());
}

void TControl::ParentResized(int oldWidth, int oldHeight, int newWidth, int newHeight) {
    if (FAlign == alClient) {
        SetBounds(0, 0, newWidth, newHeight);
        return;
    }
    const int dw = newWidth - oldWidth, dh = newHeight - oldHeight;
    int l = FLeft, t = FTop, w = FWidth, h = FHeight;
    if (FAnchors & akRight) {
        if (FAnchors & akLeft)
            w += dw;
        else
            l += dw;
    }
    if (FAnchors & akBottom) {
        if (FAnchors & akTop)
            h += dh;
        else
            t += dh;
    }
    SetBounds(l, t, w, h);
}

void TControl::ChangeScale(int NewPixelsPerInch, int OldPixelsPerInch) {
    if (NewPixelsPerInch == OldPixelsPerInch) return;
    if (!FParentFont) FFont.SetHeight(ScalePixels(FFont.Height(), NewPixelsPerInch, OldPixelsPerInch));
    if (FAlign == alClient && FParent) {
        SetBounds(0, 0, FParent->ClientWidth(), FParent->ClientHeight());
        return;
    }
    // Edges rather than sizes, so that controls side by side stay apart.
    auto scale = [&](int v) { return ScalePixels(v, NewPixelsPerInch, OldPixelsPerInch); };
    const int l = scale(FLeft), t = scale(FTop);
    SetBounds(l, t, scale(FLeft + FWidth) - l, scale(FTop + FHeight) - t);
}

int TControl::ScaledPixels(int DesignPixels) const {
    const TCustomForm* form = ParentForm();
    return ScalePixels(DesignPixels, form ? form->PixelsPerInch() : DesignPixelsPerInch, DesignPixelsPerInch);
}

void TControl::Invalidate() {}

void TControl::Repaint() {
    Invalidate();
    if (FParent && FParent->Handle()) UpdateWindow(FParent->Handle());
}

TCustomForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c) {
        if (auto* f = dynamic_cast<TCustomForm*>(const_cast<TControl*>(c))) return f;
        c = c->FParent;
    }
    return nullptr;
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}
void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

const TPropertyTable& TControl::ClassProperties() {
    static const TPropertyTable table = ExtendTable(
        TPropertyTableBuilder<TControl>(L"TControl", &TComponent::ClassProperties())
            .Integer(L"Left", &TControl::Left, &TControl::SetLeft)
            .Integer(L"Top", &TControl::Top, &TControl::SetTop)
            .Integer(L"Width", &TControl::Width, &TControl::SetWidth)
            .Integer(L"Height", &TControl::Height, &TControl::SetHeight)
            .Boolean(L"Visible", &TControl::Visible, &TControl::SetVisible, true)
            .Boolean(L"Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
            .Object(L"Font", static_cast<TFont& (TControl::*)()>(&TControl::Font))
            .Boolean(L"ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
            .Boolean(L"ParentColor", &TControl::ParentColor, &TControl::SetParentColor)
            .String(L"Caption", &TControl::Caption, &TControl::SetCaption)
            .String(L"Hint", &TControl::Hint, &TControl::SetHint)
            .Boolean(L"ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
            .Boolean(L"ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true)
            .Set(L"Anchors", {L"akLeft", L"akTop", L"akRight", L"akBottom"}, &TControl::Anchors, &TControl::SetAnchors)
            .Enumeration(L"Align", {L"alNone", L"alClient"}, &TControl::Align, &TControl::SetAlign)
            .Event(L"OnClick", &TControl::OnClick)
            .Event(L"OnDblClick", &TControl::OnDblClick)
            .Event(L"OnMouseDown", &TControl::OnMouseDown)
            .Event(L"OnMouseUp", &TControl::OnMouseUp)
            .Event(L"OnMouseMove", &TControl::OnMouseMove)
            .Build(),
        {ColorProperty<TControl>(L"Color", &TControl::Color, &TControl::SetColor)});
    return table;
}

// ---- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) { FCaptureMouse = true; }

void TGraphicControl::PaintTo(HDC dc) {
    FCanvas.SetHandle(dc);
    FCanvas.Font().Assign(Font());
    try {
        Paint();
    } catch (...) {
        FCanvas.SetHandle(nullptr);
        throw;
    }
    FCanvas.SetHandle(nullptr);
}

void TGraphicControl::Invalidate() {
    TWinControl* p = Parent();
    if (!p || !p->Handle()) return;
    RECT r = BoundsRect();
    InvalidateRect(p->Handle(), &r, TRUE);
}

void TGraphicControl::VisibleChanged() {
    TWinControl* p = Parent();
    if (p && p->Handle()) {
        RECT r = BoundsRect();
        InvalidateRect(p->Handle(), &r, TRUE);
    }
}

void TGraphicControl::BoundsChanged() {
    // The old place was invalidated by the caller's previous paint; both
    // old and new areas need repainting, so repaint the parent.
    TWinControl* p = Parent();
    if (p && p->Handle()) InvalidateRect(p->Handle(), nullptr, TRUE);
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    // Children leave while this is still a TWinControl.
    while (!FControls.empty()) FControls.back()->SetParent(nullptr);
    DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
    if (!wnd) return nullptr;
    return static_cast<TWinControl*>(GetPropW(wnd, ControlProp));
}

void TWinControl::InsertControl(TControl* c) {
    FControls.push_back(c);
    c->FParent = this;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        if (FHandle) {
            if (w->FHandle)
                ::SetParent(w->FHandle, FHandle);
            else
                w->CreateHandle();
        }
    } else if (FHandle) {
        c->Invalidate();
    }
}

void TWinControl::RemoveControl(TControl* c) {
    if (FCaptureControl == c) {
        FCaptureControl = nullptr;
        if (FHandle && GetCapture() == FHandle) ReleaseCapture();
    }
    if (gMouseControl == c) gMouseControl = nullptr;
    auto it = std::find(FControls.begin(), FControls.end(), c);
    if (it == FControls.end()) return;
    FControls.erase(it);
    c->FParent = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
        w->DestroyHandle();
    } else if (FHandle) {
        RECT r = c->BoundsRect();
        InvalidateRect(FHandle, &r, TRUE);
    }
}

void TWinControl::SetParent(TWinControl* AParent) { TControl::SetParent(AParent); }

void TWinControl::CreateParams(TCreateParams& Params) {
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (Visible()) Params.Style |= WS_VISIBLE;
    if (!Enabled()) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    Params.Parent = Parent() ? Parent()->Handle() : nullptr;
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    TCreateParams p;
    CreateParams(p);
    if ((p.Style & WS_CHILD) && !p.Parent) return;  // made when parented
    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (p.ClassName.empty()) {
        RegisterWindowClass();
        HWND wnd = CreateWindowExW(p.ExStyle, ControlWindowClass, Caption().c_str(), p.Style, p.X, p.Y, p.Width,
                                   p.Height, p.Parent, nullptr, inst, this);
        if (!wnd) RaiseLastOSError();
        FHandle = wnd;
    } else {
        HWND wnd = CreateWindowExW(p.ExStyle, p.ClassName.c_str(), Caption().c_str(), p.Style, p.X, p.Y, p.Width,
                                   p.Height, p.Parent, nullptr, inst, nullptr);
        if (!wnd) RaiseLastOSError();
        FHandle = wnd;
        SetPropW(wnd, ControlProp, this);
        FOldProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindowProc)));
    }
    InitializeHandle();
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
}

void TWinControl::InitializeHandle() {
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    HandleDestroying();
    HWND wnd = FHandle;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    if (GetCapture() == wnd) ReleaseCapture();
    if (FOldProc) {
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOldProc));
        FOldProc = nullptr;
    }
    RemovePropW(wnd, ControlProp);
    FHandle = nullptr;
    DestroyWindow(wnd);
}

void TWinControl::RecreateHandle() {
    if (!FHandle) return;
    DestroyHandle();
    CreateHandle();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FHandle) {
        RECT r;
        GetWindowRect(FHandle, &r);
        HWND parent = GetParent(FHandle);
        if (parent && (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD))
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        if (r.left != Left() || r.top != Top() || r.right - r.left != Width() || r.bottom - r.top != Height())
            SetWindowPos(FHandle, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int TWinControl::ClientWidth() const {
    if (!FHandle) return Width();
    RECT r;
    GetClientRect(FHandle, &r);
    return r.right;
}

int TWinControl::ClientHeight() const {
    if (!FHandle) return Height();
    RECT r;
    GetClientRect(FHandle, &r);
    return r.bottom;
}

POINT TWinControl::ClientToScreen(POINT p) const {
    if (!FHandle) return TControl::ClientToScreen(p);
    ::ClientToScreen(FHandle, &p);
    return p;
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::ChangeScale(int NewPixelsPerInch, int OldPixelsPerInch) {
    if (NewPixelsPerInch == OldPixelsPerInch) return;
    {
        const ScalingScope scaling(FScaling);
        TControl::ChangeScale(NewPixelsPerInch, OldPixelsPerInch);
    }
    const std::vector<TControl*> children = FControls;
    for (TControl* c : children) c->ChangeScale(NewPixelsPerInch, OldPixelsPerInch);
}

void TWinControl::SetTabStop(bool v) {
    FTabStop = v;
    if (FHandle) {
        LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
        style = v ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrW(FHandle, GWL_STYLE, style);
    }
}

void TWinControl::SetTabOrder(int v) {
    FTabOrder = v;
    if (Parent()) Parent()->UpdateTabOrder();
}

void TWinControl::UpdateTabOrder() {
    std::vector<TWinControl*> wins;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FTabOrder >= 0) wins.push_back(w);
    std::stable_sort(wins.begin(), wins.end(), [](auto* a, auto* b) { return a->FTabOrder < b->FTabOrder; });
    HWND after = HWND_TOP;
    for (TWinControl* w : wins) {
        if (!w->FHandle) continue;
        SetWindowPos(w->FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = w->FHandle;
    }
}

void TWinControl::SetFocus() {
    if (FHandle) ::SetFocus(FHandle);
}

void TWinControl::VisibleChanged() {
    if (FHandle) ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
    if (FHandle) EnableWindow(FHandle, Enabled());
    Invalidate();
}

void TWinControl::FontChanged() {
    if (FHandle) {
        SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
        Invalidate();
    }
    for (TControl* c : FControls) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
    Invalidate();
    for (TControl* c : FControls) c->ParentColorChanged();
}

void TWinControl::TextChanged() {
    if (FHandle) SetWindowTextW(FHandle, Caption().c_str());
}

TGraphicControl* TWinControl::GraphicControlAt(POINT p, bool allowDisabled) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        auto* g = dynamic_cast<TGraphicControl*>(*it);
        if (!g || !g->Visible() || (!allowDisabled && !g->Enabled())) continue;
        RECT r = g->BoundsRect();
        if (PtInRect(&r, p)) return g;
    }
    return nullptr;
}

HBRUSH TWinControl::CtlColor(HDC dc) {
    const COLORREF c = ColorToRGB(Color());
    if (!FBrush || FBrushColor != c) {
        FBrush.Reset(CreateSolidBrush(c));
        FBrushColor = c;
    }
    SetBkColor(dc, c);
    SetTextColor(dc, ColorToRGB(Enabled() ? Font().Color() : clGrayText));
    return FBrush.Get();
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{FHandle, msg, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

void TWinControl::DefaultProc(TMessage& Message) {
    if (!Message.Handle) {
        Message.Result = 0;
        return;
    }
    if (FOldProc)
        Message.Result = CallWindowProcW(FOldProc, Message.Handle, Message.Msg, Message.WParam, Message.LParam);
    else
        Message.Result = DefWindowProcW(Message.Handle, Message.Msg, Message.WParam, Message.LParam);
}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* c : FControls) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
        RECT r = g->BoundsRect();
        if (!RectVisible(dc, &r)) continue;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        POINT org;
        GetViewportOrgEx(dc, &org);
        SetViewportOrgEx(dc, org.x + r.left, org.y + r.top, nullptr);
        try {
            g->PaintTo(dc);
        } catch (...) {
            RestoreDC(dc, saved);
            throw;
        }
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintWindow(HDC dc) {
    RECT r;
    GetClientRect(FHandle, &r);
    gdi::GdiObject<HBRUSH> bg(CreateSolidBrush(ColorToRGB(Color())));
    FillRect(dc, &r, bg.Get());
    PaintControls(dc);
}

void TWinControl::HandleMouse(TMessage& Message) {
    const POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    const TShiftState shift = MouseShiftState(Message.WParam);

    // Which control the pointer is over, for enter and leave.
    RECT client;
    GetClientRect(FHandle, &client);
    TControl* under = nullptr;
    if (PtInRect(&client, p)) {
        POINT screen = p;
        ::ClientToScreen(FHandle, &screen);
        HWND top = WindowFromPoint(screen);
        if (top == FHandle || GetCapture() == FHandle) {
            under = GraphicControlAt(p, true);
            if (!under) under = this;
        }
    }
    if (Message.Msg == WM_MOUSEMOVE) {
        SetMouseControl(under);
        if (!FTrackingLeave) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, FHandle, 0};
            FTrackingLeave = TrackMouseEvent(&tme) != FALSE;
        }
    }

    TGraphicControl* target = FCaptureControl ? FCaptureControl : GraphicControlAt(p);
    auto local = [&](TControl* c) { return POINT{p.x - c->Left(), p.y - c->Top()}; };
    TMouseButton button = mbLeft;
    switch (Message.Msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        button = mbRight;
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        button = mbMiddle;
        break;
    default:
        break;
    }
    switch (Message.Msg) {
    case WM_MOUSEMOVE:
        if (target) {
            const POINT lp = local(target);
            target->MouseMove(shift, lp.x, lp.y);
        } else {
            MouseMove(shift, p.x, p.y);
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        const bool dbl =
            Message.Msg == WM_LBUTTONDBLCLK || Message.Msg == WM_RBUTTONDBLCLK || Message.Msg == WM_MBUTTONDBLCLK;
        if (target) {
            if (!FCaptureControl && target->CapturesMouse()) {
                FCaptureControl = target;
                SetCapture(FHandle);
            }
            // Only a plain left press can end in a click; the second
            // press of a double click does not.
            if (button == mbLeft) FClickPending = !dbl;
            if (dbl && button == mbLeft) target->DblClick();
            const POINT lp = local(target);
            target->MouseDown(button, shift | (dbl ? static_cast<unsigned>(ssDouble) : 0u), lp.x, lp.y);
        } else {
            if (dbl && button == mbLeft) DblClick();
            MouseDown(button, shift | (dbl ? static_cast<unsigned>(ssDouble) : 0u), p.x, p.y);
        }
        break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (FCaptureControl) {
            TGraphicControl* c = FCaptureControl;
            FCaptureControl = nullptr;
            if (GetCapture() == FHandle) ReleaseCapture();
            const RECT r = c->BoundsRect();
            const bool click = button == mbLeft && FClickPending && c->Enabled() && PtInRect(&r, p);
            FClickPending = false;
            if (click) c->Click();
            // The click handler may have freed or moved the control.
            if (std::find(FControls.begin(), FControls.end(), c) != FControls.end()) {
                const POINT lp = local(c);
                c->MouseUp(button, shift, lp.x, lp.y);
            }
        } else if (target) {
            const POINT lp = local(target);
            target->MouseUp(button, shift, lp.x, lp.y);
        } else {
            MouseUp(button, shift, p.x, p.y);
        }
        break;
    default:
        break;
    }
}

void TWinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        if (Message.LParam) {
            TWinControl* child = FromHandle(reinterpret_cast<HWND>(Message.LParam));
            if (child && child != this) {
                child->CNCommand(HIWORD(Message.WParam));
                Message.Result = 0;
                return;
            }
        }
        break;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(Message.LParam);
        TWinControl* child = hdr ? FromHandle(hdr->hwndFrom) : nullptr;
        if (child && child != this) {
            LRESULT r = 0;
            if (child->CNNotify(hdr, r)) {
                Message.Result = r;
                return;
            }
        }
        break;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        if (Message.LParam) {
            TWinControl* child = FromHandle(reinterpret_cast<HWND>(Message.LParam));
            if (child && child != this) {
                child->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
                Message.Result = 0;
                return;
            }
        }
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
        TWinControl* child = FromHandle(reinterpret_cast<HWND>(Message.LParam));
        if (child && child != this) {
            Message.Result = reinterpret_cast<LRESULT>(child->CtlColor(reinterpret_cast<HDC>(Message.WParam)));
            return;
        }
        break;
    }
    case WM_ERASEBKGND:
        if (OwnWindowClass()) {
            Message.Result = 1;
            return;
        }
        break;
    case WM_PAINT:
        if (OwnWindowClass()) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Message.Handle, &ps);
            RECT r;
            GetClientRect(Message.Handle, &r);
            gdi::Dib32 buffer(std::max<LONG>(1, r.right), std::max<LONG>(1, r.bottom));
            if (buffer.Valid()) {
                IntersectClipRect(buffer.DC(), ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
                PaintWindow(buffer.DC());
                BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                       ps.rcPaint.bottom - ps.rcPaint.top, buffer.DC(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
            } else {
                PaintWindow(dc);
            }
            EndPaint(Message.Handle, &ps);
            Message.Result = 0;
            return;
        }
        DefaultProc(Message);
        if (std::any_of(FControls.begin(), FControls.end(),
                        [](TControl* c) { return dynamic_cast<TGraphicControl*>(c) && c->Visible(); })) {
            gdi::WindowDC dc(Message.Handle);
            PaintControls(dc.Get());
        }
        return;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        HandleMouse(Message);
        break;
    case WM_MOUSELEAVE: {
        FTrackingLeave = false;
        TControl* c = gMouseControl;
        if (c == this || (c && c->Parent() == this)) SetMouseControl(nullptr);
        break;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(Message.LParam) != FHandle) FCaptureControl = nullptr;
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        WORD key = static_cast<WORD>(Message.WParam);
        TCustomForm* form = ParentForm();
        if (form && form != this && form->KeyPreview())
            static_cast<TWinControl*>(form)->KeyDown(key, KeyboardShiftState());
        if (key) KeyDown(key, KeyboardShiftState());
        if (!key) {
            Message.Result = 0;
            return;
        }
        Message.WParam = key;
        break;
    }
    case WM_SIZE: {
        DefaultProc(Message);
        RECT w;
        GetWindowRect(Message.Handle, &w);
        HWND parent = GetParent(Message.Handle);
        if (parent && (GetWindowLongW(Message.Handle, GWL_STYLE) & WS_CHILD))
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&w), 2);
        TControl::SetBounds(w.left, w.top, w.right - w.left, w.bottom - w.top);
        RECT c;
        GetClientRect(Message.Handle, &c);
        if (c.right != FClientWidth || c.bottom != FClientHeight) {
            const int ow = FClientWidth, oh = FClientHeight;
            FClientWidth = c.right;
            FClientHeight = c.bottom;
            if (ow >= 0 && !FScaling) {
                const std::vector<TControl*> children = FControls;
                for (TControl* child : children) child->ParentResized(ow, oh, c.right, c.bottom);
            }
            Resize();
        }
        return;
    }
    default:
        break;
    }
    DefaultProc(Message);
}

const TPropertyTable& TWinControl::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TWinControl>(L"TWinControl", &TControl::ClassProperties())
                                            .Boolean(L"TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop)
                                            .Integer(L"TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
                                            .Event(L"OnKeyDown", &TWinControl::OnKeyDown)
                                            .Build();
    return table;
}

LRESULT CALLBACK ControlWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (cs->lpCreateParams) {
            auto* control = static_cast<TWinControl*>(cs->lpCreateParams);
            SetPropW(wnd, ControlProp, control);
            control->FHandle = wnd;
        }
    }
    TWinControl* control = TWinControl::FromHandle(wnd);
    if (!control) return DefWindowProcW(wnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        WNDPROC old = control->FOldProc;
        RemovePropW(wnd, ControlProp);
        control->FHandle = nullptr;
        control->FOldProc = nullptr;
        return old ? CallWindowProcW(old, wnd, msg, wParam, lParam) : DefWindowProcW(wnd, msg, wParam, lParam);
    }
    TMessage m{wnd, msg, wParam, lParam, 0};
    try {
        control->WndProc(m);
    } catch (...) {
        Application->HandleException(control);
    }
    return m.Result;
}
