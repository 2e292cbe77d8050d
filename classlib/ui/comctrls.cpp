#include "classlib/ui/comctrls.h"

#include "classlib/runtime/text.h"

#include <commctrl.h>

#include <cmath>

// ---- TSpinEdit

namespace {
constexpr int ArrowWidth = 16;
}

TSpinEdit::TSpinEdit(TComponent* AOwner) : TEdit(AOwner) {
    TControl::SetBounds(0, 0, 121, 22);
    SetCaption(L"0");
}

TSpinEdit::~TSpinEdit() { DestroyArrows(); }

void TSpinEdit::DestroyArrows() {
    // The arrows die with their parent window; only a window that is still
    // ours is destroyed here.
    if (FArrows && IsWindow(FArrows) && GetPropW(FArrows, L"TavrelControl") == this) {
        RemovePropW(FArrows, L"TavrelControl");
        DestroyWindow(FArrows);
    }
    FArrows = nullptr;
}

int TSpinEdit::Clamp(int v) const {
    if (FMaxValue != FMinValue) {
        if (v < FMinValue) v = FMinValue;
        if (v > FMaxValue) v = FMaxValue;
    }
    return v;
}

int TSpinEdit::Value() const {
    int v = 0;
    if (!TryStrToInt(Trim(Text()), v)) return 0;
    return v;
}

void TSpinEdit::SetValue(int v) { SetText(IntToStr(Clamp(v))); }

void TSpinEdit::Step(int delta) {
    if (ReadOnly() || !Enabled()) return;
    SetValue(Value() + delta);
}

void TSpinEdit::InitializeHandle() {
    TEdit::InitializeHandle();
    DestroyArrows();
    // The arrows are a sibling of the edit; their scroll messages reach the
    // parent, which hands them back to this control.
    FArrows = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | (Visible() ? WS_VISIBLE : 0) | UDS_ARROWKEYS, 0, 0,
                              ScaledPixels(ArrowWidth), Height(), GetParent(FHandle), nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (FArrows) {
        SetPropW(FArrows, L"TavrelControl", this);
        SendMessageW(FArrows, UDM_SETRANGE32, 0, 100);
        SendMessageW(FArrows, UDM_SETPOS32, 0, 50);
        EnableWindow(FArrows, Enabled());
        PlaceArrows();
    }
}

void TSpinEdit::PlaceArrows() {
    if (!FHandle) return;
    const int arrowWidth = ScaledPixels(ArrowWidth);
    const int editWidth = Width() > arrowWidth ? Width() - arrowWidth : Width();
    SetWindowPos(FHandle, nullptr, Left(), Top(), editWidth, Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    if (FArrows)
        SetWindowPos(FArrows, nullptr, Left() + editWidth, Top(), arrowWidth, Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TSpinEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    PlaceArrows();
}

void TSpinEdit::VisibleChanged() {
    TEdit::VisibleChanged();
    if (FArrows) ShowWindow(FArrows, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TSpinEdit::EnabledChanged() {
    TEdit::EnabledChanged();
    if (FArrows) EnableWindow(FArrows, Enabled());
}

void TSpinEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CN_BASE + WM_VSCROLL:
        if (LOWORD(Message.WParam) == SB_THUMBPOSITION) {
            const int pos = static_cast<int>(SendMessageW(FArrows, UDM_GETPOS32, 0, 0));
            if (pos > 50) Step(FIncrement);
            if (pos < 50) Step(-FIncrement);
            SendMessageW(FArrows, UDM_SETPOS32, 0, 50);
        }
        Message.Result = 0;
        return;
    case WM_KEYDOWN:
        if (Message.WParam == VK_UP || Message.WParam == VK_DOWN) {
            Step(Message.WParam == VK_UP ? FIncrement : -FIncrement);
            Message.Result = 0;
            return;
        }
        break;
    case WM_SIZE: {
        // The edit is narrower than the control by the arrows' width.
        DefaultProc(Message);
        return;
    }
    default:
        break;
    }
    TEdit::WndProc(Message);
}

const TPropertyTable& TSpinEdit::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TSpinEdit>(L"TSpinEdit", &TEdit::ClassProperties())
                                            .Integer(L"MinValue", &TSpinEdit::MinValue, &TSpinEdit::SetMinValue)
                                            .Integer(L"MaxValue", &TSpinEdit::MaxValue, &TSpinEdit::SetMaxValue)
                                            .Integer(L"Increment", &TSpinEdit::Increment, &TSpinEdit::SetIncrement)
                                            .Integer(L"Value", &TSpinEdit::Value, &TSpinEdit::SetValue)
                                            .Build();
    return table;
}

// ---- TDateTimePicker

TDateTimePicker::TDateTimePicker(TComponent* AOwner) : TWinControl(AOwner) {
    SetTabStop(true);
    SetColor(clWindow);
    TControl::SetBounds(0, 0, 186, 21);
}

void TDateTimePicker::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = DATETIMEPICK_CLASSW;
    if (FKind == dtkTime) Params.Style |= DTS_TIMEFORMAT;
}

void TDateTimePicker::InitializeHandle() {
    TWinControl::InitializeHandle();
    PushValue();
}

void TDateTimePicker::PushValue() {
    if (!FHandle) return;
    TDateTime v = FDateTime;
    if (FKind == dtkTime) v += ::Date();  // the control needs a date
    if (v < 1) v = ::Date();
    const TDateParts d = DecodeDate(v);
    const TTimeParts t = DecodeTime(v);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(d.Year);
    st.wMonth = static_cast<WORD>(d.Month);
    st.wDay = static_cast<WORD>(d.Day);
    st.wHour = static_cast<WORD>(t.Hour);
    st.wMinute = static_cast<WORD>(t.Minute);
    st.wSecond = static_cast<WORD>(t.Second);
    SendMessageW(FHandle, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

void TDateTimePicker::SetKind(TDateTimeKind v) {
    if (v == FKind) return;
    FKind = v;
    if (v == dtkTime) FDateTime = Time();
    RecreateHandle();
}

void TDateTimePicker::SetDateTime(TDateTime v) {
    FDateTime = FKind == dtkTime ? v - std::floor(v) : v;
    PushValue();
}

TDateTime TDateTimePicker::Time() const { return FDateTime - std::floor(FDateTime); }

void TDateTimePicker::SetTime(TDateTime v) {
    const double t = v - std::floor(v);
    SetDateTime(FKind == dtkTime ? t : std::floor(FDateTime) + t);
}

bool TDateTimePicker::CNNotify(NMHDR* hdr, LRESULT& result) {
    if (hdr->code != static_cast<UINT>(DTN_DATETIMECHANGE)) return false;
    auto* change = reinterpret_cast<NMDATETIMECHANGE*>(hdr);
    if (change->dwFlags == GDT_VALID) {
        const SYSTEMTIME& st = change->st;
        TDateTime v = 0;
        TDateTime d = 0, t = 0;
        if (TryEncodeDate(st.wYear, st.wMonth, st.wDay, d) && TryEncodeTime(st.wHour, st.wMinute, st.wSecond, 0, t))
            v = d + t;
        FDateTime = FKind == dtkTime ? v - std::floor(v) : v;
    }
    if (OnChange) OnChange(this);
    result = 0;
    return true;
}

const TPropertyTable& TDateTimePicker::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TDateTimePicker>(L"TDateTimePicker", &TWinControl::ClassProperties())
            .Enumeration(L"Kind", {L"dtkDate", L"dtkTime"}, &TDateTimePicker::Kind, &TDateTimePicker::SetKind)
            .Float(L"DateTime", &TDateTimePicker::DateTime, &TDateTimePicker::SetDateTime)
            .Float(L"Time", &TDateTimePicker::Time, &TDateTimePicker::SetTime)
            .Event(L"OnChange", &TDateTimePicker::OnChange)
            .Build();
    return table;
}

// ---- TProgressBar

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) { TControl::SetBounds(0, 0, 150, 17); }

void TProgressBar::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = PROGRESS_CLASSW;
}

void TProgressBar::InitializeHandle() {
    TWinControl::InitializeHandle();
    SendMessageW(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
    SendMessageW(FHandle, PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
}

void TProgressBar::SetMin(int v) {
    FMin = v;
    if (FMax < FMin) FMax = FMin;
    if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
    SetPosition(FPosition);
}

void TProgressBar::SetMax(int v) {
    FMax = v;
    if (FMin > FMax) FMin = FMax;
    if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
    SetPosition(FPosition);
}

void TProgressBar::SetPosition(int v) {
    if (v < FMin) v = FMin;
    if (v > FMax) v = FMax;
    FPosition = v;
    if (FHandle) SendMessageW(FHandle, PBM_SETPOS, static_cast<WPARAM>(v), 0);
}

const TPropertyTable& TProgressBar::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TProgressBar>(L"TProgressBar", &TWinControl::ClassProperties())
            .Integer(L"Min", &TProgressBar::Min, &TProgressBar::SetMin)
            .Integer(L"Max", &TProgressBar::Max, &TProgressBar::SetMax)
            .Integer(L"Position", &TProgressBar::Position, &TProgressBar::SetPosition)
            .Build();
    return table;
}
