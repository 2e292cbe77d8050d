#include "classlib/ui/stdctrls.h"

#include "classlib/runtime/text.h"

// ---- TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetParentColor(true);
    FCaptureMouse = true;
    TControl::SetBounds(0, 0, 65, 17);
}

UINT TLabel::TextFlags() const {
    UINT flags = DT_NOPREFIX | DT_EXPANDTABS;
    if (FWordWrap) flags |= DT_WORDBREAK;
    switch (FAlignment) {
    case taRightJustify:
        flags |= DT_RIGHT;
        break;
    case taCenter:
        flags |= DT_CENTER;
        break;
    default:
        flags |= DT_LEFT;
        break;
    }
    return flags;
}

void TLabel::AdjustSize() {
    // While a description is loaded the size waits for all properties.
    if (!FAutoSize || (ComponentState() & csLoading)) return;
    gdi::WindowDC screen(nullptr);
    gdi::SelectGuard font(screen.Get(), Font().Handle());
    RECT r{0, 0, FWordWrap ? Width() : 0, 0};
    std::wstring text = Caption().empty() ? std::wstring(L" ") : Caption();
    DrawTextW(screen.Get(), text.c_str(), static_cast<int>(text.size()), &r, TextFlags() | DT_CALCRECT);
    SetBounds(Left(), Top(), FWordWrap ? Width() : r.right, r.bottom);
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustSize();
}

void TLabel::ChangeScale(int NewPixelsPerInch, int OldPixelsPerInch) {
    TGraphicControl::ChangeScale(NewPixelsPerInch, OldPixelsPerInch);
    AdjustSize();
}

void TLabel::Paint() {
    TCanvas& c = Canvas();
    RECT r = ClientRect();
    if (!FTransparent) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(r);
    }
    c.Brush().SetStyle(bsClear);
    if (!Enabled()) c.Font().SetColor(clGrayText);
    c.DrawText(r, Caption(), TextFlags());
}

const TPropertyTable& TLabel::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TLabel>(L"TLabel", &TGraphicControl::ClassProperties())
            .Enumeration(L"Alignment", {L"taLeftJustify", L"taRightJustify", L"taCenter"}, &TLabel::Alignment,
                         &TLabel::SetAlignment)
            .Boolean(L"AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
            .Boolean(L"WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap)
            .Boolean(L"Transparent", &TLabel::Transparent, &TLabel::SetTransparent)
            .Build();
    return table;
}

// ---- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetTabStop(true);
    TControl::SetBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = L"BUTTON";
    Params.Style |= BS_PUSHBUTTON;
}

void TButton::CNCommand(WORD code) {
    if (code == BN_CLICKED) Click();
}

const TPropertyTable& TButton::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TButton>(L"TButton", &TWinControl::ClassProperties()).Build();
    return table;
}

// ---- TEdit

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetTabStop(true);
    SetColor(clWindow);
    TControl::SetBounds(0, 0, 121, 21);
}

void TEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = L"EDIT";
    Params.Style |= ES_AUTOHSCROLL;
    if (FReadOnly) Params.Style |= ES_READONLY;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::InitializeHandle() {
    TWinControl::InitializeHandle();
    SendMessageW(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
}

void TEdit::SetReadOnly(bool v) {
    FReadOnly = v;
    if (FHandle) SendMessageW(FHandle, EM_SETREADONLY, v, 0);
}

void TEdit::SetMaxLength(int v) {
    FMaxLength = v < 0 ? 0 : v;
    if (FHandle) SendMessageW(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
}

void TEdit::TextChanged() {
    if (FHandle) {
        FSettingText = true;
        SetWindowTextW(FHandle, Caption().c_str());
        FSettingText = false;
    }
    Change();
}

void TEdit::CNCommand(WORD code) {
    if (code != EN_CHANGE || FSettingText || !FHandle) return;
    const int n = GetWindowTextLengthW(FHandle);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(FHandle, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    if (text == Caption()) return;
    FSettingText = true;
    SetCaption(text);  // runs Change() through TextChanged
    FSettingText = false;
}

void TEdit::Change() {
    if (ComponentState() & csLoading) return;
    if (OnChange) OnChange(this);
}

const TPropertyTable& TEdit::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TEdit>(L"TEdit", &TWinControl::ClassProperties())
                                            .String(L"Text", &TEdit::Text, &TEdit::SetText)
                                            .Boolean(L"ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly)
                                            .Integer(L"MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength)
                                            .Event(L"OnChange", &TEdit::OnChange)
                                            .Build();
    return table;
}

// ---- TButtonControl

TButtonControl::TButtonControl(TComponent* AOwner, DWORD buttonStyle, int width)
    : TWinControl(AOwner), FButtonStyle(buttonStyle) {
    SetTabStop(true);
    SetParentColor(true);
    TControl::SetBounds(0, 0, width, 17);
}

void TButtonControl::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = L"BUTTON";
    Params.Style |= FButtonStyle;
}

void TButtonControl::InitializeHandle() {
    TWinControl::InitializeHandle();
    SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TButtonControl::SetChecked(bool v) {
    FChecked = v;
    if (FHandle) SendMessageW(FHandle, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TButtonControl(AOwner, BS_CHECKBOX, 97) {}

void TCheckBox::CNCommand(WORD code) {
    if (code != BN_CLICKED) return;
    SetChecked(!FChecked);
    Click();
}

const TPropertyTable& TCheckBox::ClassProperties() {
    static const TPropertyTable table = TPropertyTableBuilder<TCheckBox>(L"TCheckBox", &TWinControl::ClassProperties())
                                            .Boolean(L"Checked", &TCheckBox::Checked, &TCheckBox::SetChecked)
                                            .Build();
    return table;
}

// ---- TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner, BS_RADIOBUTTON, 113) {}

void TRadioButton::SetChecked(bool v) {
    TButtonControl::SetChecked(v);
    if (v && Parent()) {
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i));
            if (other && other != this && other->FChecked) other->SetChecked(false);
        }
    }
}

void TRadioButton::CNCommand(WORD code) {
    if (code != BN_CLICKED) return;
    if (!FChecked) SetChecked(true);
    Click();
}

const TPropertyTable& TRadioButton::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TRadioButton>(L"TRadioButton", &TWinControl::ClassProperties())
            .Boolean(L"Checked", &TRadioButton::Checked, &TRadioButton::SetChecked)
            .Build();
    return table;
}

// ---- TGroupBox

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetParentColor(true);
    TControl::SetBounds(0, 0, 185, 105);
}

void TGroupBox::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = L"BUTTON";
    Params.Style |= BS_GROUPBOX;
    Params.Style &= ~static_cast<DWORD>(WS_TABSTOP);
    Params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TGroupBox::WndProc(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        // The platform's group box leaves its inside unpainted.
        RECT r;
        GetClientRect(Message.Handle, &r);
        gdi::GdiObject<HBRUSH> brush(CreateSolidBrush(ColorToRGB(Color())));
        FillRect(reinterpret_cast<HDC>(Message.WParam), &r, brush.Get());
        Message.Result = 1;
        return;
    }
    if (Message.Msg == WM_NCHITTEST) {
        // The platform's group box lets the mouse through to its parent;
        // ours takes it, for the controls painted on it.
        DefaultProc(Message);
        if (Message.Result == HTTRANSPARENT) Message.Result = HTCLIENT;
        return;
    }
    TWinControl::WndProc(Message);
}

const TPropertyTable& TGroupBox::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TGroupBox>(L"TGroupBox", &TWinControl::ClassProperties()).Build();
    return table;
}

// ---- TComboBox

namespace {
// Room for one item of the dropped-down list, at 96 dpi.
constexpr int DropDownItemHeight = 18;
}  // namespace

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner), FItems(std::make_unique<TStringList>()) {
    SetTabStop(true);
    SetColor(clWindow);
    TControl::SetBounds(0, 0, 145, 21);
    FItems->OnChange = [this](TObject*) { ItemsChanged(); };
}

TComboBox::~TComboBox() { FItems->OnChange = nullptr; }

void TComboBox::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ClassName = L"COMBOBOX";
    Params.Style |= WS_VSCROLL;
    switch (FStyle) {
    case csDropDown:
        Params.Style |= CBS_DROPDOWN | CBS_AUTOHSCROLL;
        break;
    case csSimple:
        Params.Style |= CBS_SIMPLE;
        break;
    default:
        Params.Style |= CBS_DROPDOWNLIST;
        break;
    }
    // The window's height includes the dropped-down list.
    Params.Height = Height() + FDropDownCount * ScaledPixels(DropDownItemHeight);
}

void TComboBox::InitializeHandle() {
    TWinControl::InitializeHandle();
    SendMessageW(FHandle, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < FItems->Count(); ++i)
        SendMessageW(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems->Strings(i).c_str()));
    SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex), 0);
}

void TComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FHandle)
        SetWindowPos(FHandle, nullptr, Left(), Top(), Width(),
                     Height() + FDropDownCount * ScaledPixels(DropDownItemHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TComboBox::SetStyle(TComboBoxStyle v) {
    if (v == FStyle) return;
    FStyle = v;
    RecreateHandle();
}

void TComboBox::ItemsChanged() {
    if (FItemIndex >= FItems->Count()) FItemIndex = -1;
    if (FHandle) InitializeHandle();
}

void TComboBox::SetItemIndex(int v) {
    if (v < -1 || v >= FItems->Count()) v = -1;
    FItemIndex = v;
    if (FHandle) SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(v), 0);
}

std::wstring TComboBox::Text() const {
    if (FItemIndex < 0 || FItemIndex >= FItems->Count()) return {};
    return FItems->Strings(FItemIndex);
}

int TComboBox::FindItem(const std::wstring& text) const {
    if (FHandle) {
        const LRESULT r =
            SendMessageW(FHandle, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
        return r == CB_ERR ? -1 : static_cast<int>(r);
    }
    for (int i = 0; i < FItems->Count(); ++i)
        if (SameText(FItems->Strings(i), text)) return i;
    return -1;
}

void TComboBox::CNCommand(WORD code) {
    if (code != CBN_SELCHANGE || !FHandle) return;
    const LRESULT sel = SendMessageW(FHandle, CB_GETCURSEL, 0, 0);
    FItemIndex = sel == CB_ERR ? -1 : static_cast<int>(sel);
    Change();
}

void TComboBox::Change() {
    if (OnChange) OnChange(this);
}

const TPropertyTable& TComboBox::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TComboBox>(L"TComboBox", &TWinControl::ClassProperties())
            .Enumeration(L"Style", {L"csDropDown", L"csSimple", L"csDropDownList"}, &TComboBox::Style,
                         &TComboBox::SetStyle)
            .Strings(L"Items", &TComboBox::ItemsVector, &TComboBox::SetItemsVector)
            .Integer(L"ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex)
            .Integer(L"DropDownCount", &TComboBox::DropDownCount, &TComboBox::SetDropDownCount)
            .Event(L"OnChange", &TComboBox::OnChange)
            .Build();
    return table;
}
