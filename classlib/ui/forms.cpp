#include "classlib/ui/forms.h"

#include "classlib/runtime/timer.h"
#include "classlib/ui/comctrls.h"
#include "classlib/ui/dpi.h"
#include "classlib/ui/extctrls.h"
#include "classlib/ui/form_description.h"
#include "classlib/ui/png_button.h"
#include "classlib/ui/stdctrls.h"

#include <commctrl.h>
#include <windowsx.h>

void RegisterUiClasses() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc,
                                 ICC_STANDARD_CLASSES | ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        RegisterComponentClass<TLabel>(L"TLabel");
        RegisterComponentClass<TButton>(L"TButton");
        RegisterComponentClass<TEdit>(L"TEdit");
        RegisterComponentClass<TCheckBox>(L"TCheckBox");
        RegisterComponentClass<TRadioButton>(L"TRadioButton");
        RegisterComponentClass<TGroupBox>(L"TGroupBox");
        RegisterComponentClass<TComboBox>(L"TComboBox");
        RegisterComponentClass<TSpinEdit>(L"TSpinEdit");
        RegisterComponentClass<TDateTimePicker>(L"TDateTimePicker");
        RegisterComponentClass<TProgressBar>(L"TProgressBar");
        RegisterComponentClass<TShape>(L"TShape");
        RegisterComponentClass<TImage>(L"TImage");
        RegisterComponentClass<TPNGButton>(L"TPNGButton");
        if (!FindComponentClass(L"TTimer")) RegisterComponentClass<TTimer>(L"TTimer");
        return true;
    }();
    (void)done;
}

void DestroyApplicationForms() {
    for (int i = Application->ComponentCount() - 1; i >= 0; --i)
        if (auto* form = dynamic_cast<TCustomForm*>(Application->Components(i))) form->DoDestroy();
    Application->DestroyForms();
}

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    RegisterUiClasses();
    TControl::SetVisible(false);
    SetParentFont(false);
    TControl::SetBounds(0, 0, 320, 240);
    CreateHandle();
    // Tab and arrow navigation between the form's child controls.
    FDialogFilter = Application->AddMessageFilter([this](MSG& msg) {
        if (!FHandle || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
        if (msg.hwnd == FHandle || !IsChild(FHandle, msg.hwnd)) return false;
        return IsDialogMessageW(FHandle, &msg) != FALSE;
    });
}

TCustomForm::~TCustomForm() {
    Application->RemoveMessageFilter(FDialogFilter);
    if (Application->MainForm() == this) Application->SetMainForm(nullptr);
}

void TCustomForm::LoadFromText(std::string_view Text, std::wstring_view Source) {
    LoadFormDescription(*this, Text, Source);
    if (FScaled) ScaleTo(WindowPixelsPerInch(FHandle));
    if (OnCreate) {
        try {
            OnCreate(this);
        } catch (...) {
            Application->HandleException(this);
        }
    }
}

void TCustomForm::LoadFromResource(const std::wstring& ResourceName, HMODULE Module) {
    LoadFromText(FormDescriptionResource(ResourceName, Module), ResourceName);
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    Params.ClassName.clear();
    DWORD style = WS_POPUP | WS_CLIPCHILDREN;
    DWORD ex = WS_EX_CONTROLPARENT;
    const bool sysMenu = (FBorderIcons & biSystemMenu) != 0;
    switch (FBorderStyle) {
    case bsNone:
        break;
    case bsSingle:
    case bsToolWindow:
        style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        style |= WS_CAPTION | DS_MODALFRAME;
        ex |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (FBorderStyle != bsNone && sysMenu) {
        style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
            if (FBorderIcons & biMinimize) style |= WS_MINIMIZEBOX;
            if (FBorderIcons & biMaximize) style |= WS_MAXIMIZEBOX;
        }
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) ex |= WS_EX_TOOLWINDOW;
    if (FFormStyle == fsStayOnTop) ex |= WS_EX_TOPMOST;
    if (FAlphaBlend || FTransparentColor) ex |= WS_EX_LAYERED;
    if (!Enabled()) style |= WS_DISABLED;
    Params.Style = style;
    Params.ExStyle = ex;
    Params.Parent = nullptr;
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
}

void TCustomForm::InitializeHandle() {
    TWinControl::InitializeHandle();
    UpdateLayered();
}

void TCustomForm::UpdateStyle() {
    if (!FHandle) return;
    TCreateParams p;
    CreateParams(p);
    const LONG_PTR visible = GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(FHandle, GWL_STYLE, static_cast<LONG_PTR>(p.Style) | visible);
    SetWindowLongPtrW(FHandle, GWL_EXSTYLE, static_cast<LONG_PTR>(p.ExStyle & ~static_cast<DWORD>(WS_EX_TOPMOST)));
    SetWindowPos(FHandle, FFormStyle == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateLayered();
}

void TCustomForm::UpdateLayered() {
    if (!FHandle) return;
    LONG_PTR ex = GetWindowLongPtrW(FHandle, GWL_EXSTYLE);
    if (FAlphaBlend || FTransparentColor) {
        if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(FHandle, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        DWORD flags = 0;
        if (FAlphaBlend) flags |= LWA_ALPHA;
        if (FTransparentColor) flags |= LWA_COLORKEY;
        SetLayeredWindowAttributes(FHandle, ColorToRGB(FTransparentColorValue),
                                   static_cast<BYTE>(FAlphaBlend ? FAlphaBlendValue : 255), flags);
    } else if (ex & WS_EX_LAYERED) {
        SetWindowLongPtrW(FHandle, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

void TCustomForm::PaintSurface(const RECT& area) {
    RECT client;
    GetClientRect(FHandle, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    RECT r = area;
    if (!FSurface || FSurface->Width() != client.right || FSurface->Height() != client.bottom) {
        FSurface = std::make_unique<gdi::Dib32>(client.right, client.bottom);
        r = client;
    }
    if (!FSurface->Valid()) {
        FSurface.reset();
        return;
    }
    const int saved = SaveDC(FSurface->DC());
    IntersectClipRect(FSurface->DC(), r.left, r.top, r.right, r.bottom);
    PaintWindow(FSurface->DC());
    RestoreDC(FSurface->DC(), saved);
    GdiFlush();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == FBorderStyle) return;
    const int cw = ClientWidth(), ch = ClientHeight();
    FBorderStyle = v;
    UpdateStyle();
    SetClientWidth(cw);
    SetClientHeight(ch);
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
    FBorderIcons = v;
    UpdateStyle();
}

void TCustomForm::SetFormStyle(TFormStyle v) {
    FFormStyle = v;
    UpdateStyle();
}

void TCustomForm::SetAlphaBlend(bool v) {
    FAlphaBlend = v;
    UpdateLayered();
}
void TCustomForm::SetAlphaBlendValue(int v) {
    FAlphaBlendValue = v < 0 ? 0 : v > 255 ? 255 : v;
    UpdateLayered();
}
void TCustomForm::SetTransparentColor(bool v) {
    FTransparentColor = v;
    UpdateLayered();
}
void TCustomForm::SetTransparentColorValue(TColor v) {
    FTransparentColorValue = v;
    UpdateLayered();
}

void TCustomForm::SetOwnerWindow(HWND owner) {
    if (FHandle) SetWindowLongPtrW(FHandle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomForm::SetClientWidth(int v) {
    if (!FHandle) return;
    RECT w, c;
    GetWindowRect(FHandle, &w);
    GetClientRect(FHandle, &c);
    SetBounds(Left(), Top(), v + (w.right - w.left) - c.right, Height());
}

void TCustomForm::SetClientHeight(int v) {
    if (!FHandle) return;
    RECT w, c;
    GetWindowRect(FHandle, &w);
    GetClientRect(FHandle, &c);
    SetBounds(Left(), Top(), Width(), v + (w.bottom - w.top) - c.bottom);
}

void TCustomForm::ScaleTo(int NewPixelsPerInch, const RECT* Suggested) {
    if (NewPixelsPerInch <= 0 || NewPixelsPerInch == FPixelsPerInch) return;
    const int old = FPixelsPerInch;
    // Set first: controls size their own parts (spin arrows, lists) by it.
    FPixelsPerInch = NewPixelsPerInch;
    auto scale = [&](int v) { return ScalePixels(v, NewPixelsPerInch, old); };
    const int cw = ClientWidth(), ch = ClientHeight();
    {
        const ScalingScope scaling(FScaling);
        if (!ParentFont()) Font().SetHeight(scale(Font().Height()));
        if (Suggested && FHandle) {
            SetWindowPos(FHandle, nullptr, Suggested->left, Suggested->top, Suggested->right - Suggested->left,
                         Suggested->bottom - Suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SetClientWidth(scale(cw));
            SetClientHeight(scale(ch));
        }
    }
    const std::vector<TControl*> children = FControls;
    for (TControl* c : children) c->ChangeScale(NewPixelsPerInch, old);
}

void TCustomForm::TextChanged() {
    if (FHandle) SetWindowTextW(FHandle, Caption().c_str());
}

void TCustomForm::ColorChanged() { TWinControl::ColorChanged(); }

void TCustomForm::Resize() {
    if (OnResize) OnResize(this);
}

void TCustomForm::PlaceOnFirstShow() {
    if (FPlaced) return;
    FPlaced = true;
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    if (FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) {
        auto* main = dynamic_cast<TCustomForm*>(Application->MainForm());
        HWND ref = nullptr;
        if (FPosition == poOwnerFormCenter) ref = GetWindow(FHandle, GW_OWNER);
        if (!ref && main && main != this) ref = main->Handle();
        if (ref) GetWindowRect(ref, &area);
    }
    if (FPosition == poScreenCenter || FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) {
        const int x = area.left + ((area.right - area.left) - Width()) / 2;
        const int y = area.top + ((area.bottom - area.top) - Height()) / 2;
        SetBounds(x, y, Width(), Height());
    }
}

void TCustomForm::SetVisible(bool v) {
    if (v == Visible()) return;
    if (v) {
        PlaceOnFirstShow();
        if (OnShow) OnShow(this);
        TControl::SetVisible(true);
        if (FHandle) ShowWindow(FHandle, SW_SHOW);
    } else {
        if (OnHide) OnHide(this);
        TControl::SetVisible(false);
        if (FHandle) ShowWindow(FHandle, SW_HIDE);
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    if (FHandle) {
        SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        if (FFormStyle == fsStayOnTop)
            SetWindowPos(FHandle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) return;
    if (Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    if (action == caMinimize && FHandle)
        ShowWindow(FHandle, SW_MINIMIZE);
    else
        Hide();
}

void TCustomForm::DoDestroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            Application->HandleException(this);
        }
    }
}

void TCustomForm::SetMessageHandler(UINT Msg, TMessageHandler Handler) {
    if (Handler)
        FMessageHandlers[Msg] = std::move(Handler);
    else
        FMessageHandlers.erase(Msg);
}

void TCustomForm::Default(TMessage& Message) {
    const bool was = FInMessageHandler;
    FInMessageHandler = true;
    try {
        WndProc(Message);
    } catch (...) {
        FInMessageHandler = was;
        throw;
    }
    FInMessageHandler = was;
}

void TCustomForm::WndProc(TMessage& Message) {
    if (!FInMessageHandler) {
        auto it = FMessageHandlers.find(Message.Msg);
        if (it != FMessageHandlers.end()) {
            TMessageHandler handler = it->second;
            handler(Message);
            return;
        }
    }
    const bool nested = FInMessageHandler;
    FInMessageHandler = false;
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{FInMessageHandler, nested};
    switch (Message.Msg) {
    case WM_CLOSE:
        Close();
        Message.Result = 0;
        return;
    case WM_PAINT:
        if (FTransparentColor) {
            // Paint through a kept surface so hit tests can see the key colour.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Message.Handle, &ps);
            PaintSurface(ps.rcPaint);
            if (FSurface)
                BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                       ps.rcPaint.bottom - ps.rcPaint.top, FSurface->DC(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
            EndPaint(Message.Handle, &ps);
            Message.Result = 0;
            return;
        }
        break;
    case WM_NCHITTEST:
        DefaultProc(Message);
        if (FTransparentColor && Message.Result == HTCLIENT) {
            // Pixels of the transparent colour let the mouse through.
            POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            ScreenToClient(Message.Handle, &p);
            RECT client;
            GetClientRect(Message.Handle, &client);
            if (!FSurface || FSurface->Width() != client.right || FSurface->Height() != client.bottom)
                PaintSurface(client);
            if (FSurface && p.x >= 0 && p.y >= 0 && p.x < FSurface->Width() && p.y < FSurface->Height()) {
                GdiFlush();
                const DWORD px = FSurface->Row(p.y)[p.x] & 0xFFFFFF;
                const COLORREF key = ColorToRGB(FTransparentColorValue);
                if (px == ((static_cast<DWORD>(GetRValue(key)) << 16) | (GetGValue(key) << 8) | GetBValue(key)))
                    Message.Result = HTTRANSPARENT;
            }
        }
        return;
    case WM_DPICHANGED:
        // Sent to per-monitor aware windows: LOWORD(wParam) is the new
        // resolution, lParam the suggested window rectangle for it.
        if (FScaled && Message.LParam) {
            const int old = FPixelsPerInch;
            const int dpi = LOWORD(Message.WParam);
            ScaleTo(dpi, reinterpret_cast<const RECT*>(Message.LParam));
            if (OnAfterMonitorDpiChanged && dpi != old) OnAfterMonitorDpiChanged(this, old, dpi);
            Message.Result = 0;
            return;
        }
        // A form in screen pixels keeps its size.
        Message.Result = 0;
        return;
    case WM_MOVE: {
        DefaultProc(Message);
        RECT r;
        GetWindowRect(Message.Handle, &r);
        TControl::SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
        return;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (Message.Handle == FHandle) {
            WORD key = static_cast<WORD>(Message.WParam);
            KeyDown(key, KeyboardShiftState());
            if (!key) {
                Message.Result = 0;
                return;
            }
        }
        DefaultProc(Message);
        return;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

const TPropertyTable& TCustomForm::ClassProperties() {
    static const TPropertyTable table = ExtendTable(
        TPropertyTableBuilder<TCustomForm>(L"TCustomForm", &TWinControl::ClassProperties())
            .Integer(L"ClientWidth", &TCustomForm::ClientWidthProp, &TCustomForm::SetClientWidth)
            .Integer(L"ClientHeight", &TCustomForm::ClientHeightProp, &TCustomForm::SetClientHeight)
            .Enumeration(L"BorderStyle",
                         {L"bsNone", L"bsSingle", L"bsSizeable", L"bsDialog", L"bsToolWindow", L"bsSizeToolWin"},
                         &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle)
            .Set(L"BorderIcons", {L"biSystemMenu", L"biMinimize", L"biMaximize", L"biHelp"}, &TCustomForm::BorderIcons,
                 &TCustomForm::SetBorderIcons)
            .Enumeration(L"FormStyle", {L"fsNormal", L"fsStayOnTop"}, &TCustomForm::FormStyle,
                         &TCustomForm::SetFormStyle)
            .Enumeration(L"Position",
                         {L"poDesigned", L"poDefault", L"poScreenCenter", L"poMainFormCenter", L"poOwnerFormCenter"},
                         &TCustomForm::Position, &TCustomForm::SetPosition)
            .Boolean(L"DoubleBuffered", &TCustomForm::DoubleBuffered, &TCustomForm::SetDoubleBuffered)
            .Boolean(L"KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview)
            .Boolean(L"Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled, true)
            .Boolean(L"AlphaBlend", &TCustomForm::AlphaBlend, &TCustomForm::SetAlphaBlend)
            .Integer(L"AlphaBlendValue", &TCustomForm::AlphaBlendValue, &TCustomForm::SetAlphaBlendValue)
            .Boolean(L"TransparentColor", &TCustomForm::TransparentColor, &TCustomForm::SetTransparentColor)
            .Event(L"OnCreate", &TCustomForm::OnCreate)
            .Event(L"OnShow", &TCustomForm::OnShow)
            .Event(L"OnHide", &TCustomForm::OnHide)
            .Event(L"OnResize", &TCustomForm::OnResize)
            .Event(L"OnDestroy", &TCustomForm::OnDestroy)
            .Event(L"OnCloseQuery", &TCustomForm::OnCloseQuery)
            .Event(L"OnClose", &TCustomForm::OnClose)
            .Event(L"OnAfterMonitorDpiChanged", &TCustomForm::OnAfterMonitorDpiChanged)
            .Build(),
        {ColorProperty<TCustomForm>(L"TransparentColorValue", &TCustomForm::TransparentColorValue,
                                    &TCustomForm::SetTransparentColorValue)});
    return table;
}
