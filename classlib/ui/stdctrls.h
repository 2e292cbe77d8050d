// Standard controls: labels, buttons, edits, check boxes, radio buttons,
// group boxes and drop-down combo boxes.
#pragma once

#include "classlib/runtime/lists.h"
#include "classlib/ui/controls.h"

#include <memory>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Text painted on the parent's surface; with AutoSize it takes the size of
// its text. Line breaks in the caption start new lines.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v) {
        FAlignment = v;
        Invalidate();
    }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool v) {
        FAutoSize = v;
        AdjustSize();
    }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v) {
        FWordWrap = v;
        AdjustSize();
        Invalidate();
    }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) {
        FTransparent = v;
        Invalidate();
    }
    // Sizes the label to its text once its description is loaded.
    void Loaded() override;
    // An auto-sized label fits its text in the scaled font again.
    void ChangeScale(int NewPixelsPerInch, int OldPixelsPerInch) override;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void Paint() override;
    void TextChanged() override {
        AdjustSize();
        Invalidate();
    }
    void FontChanged() override {
        AdjustSize();
        Invalidate();
    }

private:
    void AdjustSize();
    UINT TextFlags() const;

    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FTransparent = true;
};

// The platform's push button.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void CNCommand(WORD code) override;
};

// A one-line edit. Setting Text from the program runs OnChange when the text
// changes, as typing does.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner);

    std::wstring Text() const { return Caption(); }
    void SetText(const std::wstring& v) { SetCaption(v); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int v);

    TNotifyEvent OnChange;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeHandle() override;
    void CNCommand(WORD code) override;
    void TextChanged() override;
    virtual void Change();

private:
    bool FReadOnly = false;
    int FMaxLength = 0;
    bool FSettingText = false;
};

// A button that holds a checked state, drawn by the platform's BUTTON class
// in the style a subclass gives it. Setting Checked from the program runs no
// OnClick.
class TButtonControl : public TWinControl {
public:
    bool Checked() const { return FChecked; }
    virtual void SetChecked(bool v);

protected:
    TButtonControl(TComponent* AOwner, DWORD buttonStyle, int width);
    void CreateParams(TCreateParams& Params) override;
    void InitializeHandle() override;

    bool FChecked = false;

private:
    DWORD FButtonStyle;
};

// A check box: a click by the user toggles it and then runs OnClick.
class TCheckBox : public TButtonControl {
public:
    explicit TCheckBox(TComponent* AOwner);
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CNCommand(WORD code) override;
};

// A radio button. Radio buttons with the same parent form one group:
// checking one unchecks the others. A click by the user checks it and then
// runs OnClick.
class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    void SetChecked(bool v) override;
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CNCommand(WORD code) override;
};

// A captioned frame around other controls.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* AOwner);
    bool AcceptsControls() const override { return true; }
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

// A combo box, normally a drop-down list. Setting ItemIndex from the program
// runs no OnChange; choosing an item in the list does.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* AOwner);
    ~TComboBox() override;

    TStringList& Items() { return *FItems; }
    std::vector<std::wstring> ItemsVector() const { return FItems->ToVector(); }
    void SetItemsVector(const std::vector<std::wstring>& v) { FItems->SetVector(v); }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int v);
    // The selected item's text (empty without a selection).
    std::wstring Text() const;
    // The index of the item equal to text ignoring letter case, or -1.
    int FindItem(const std::wstring& text) const;
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle v);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int v) { FDropDownCount = v < 1 ? 1 : v; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    TNotifyEvent OnChange;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeHandle() override;
    void CNCommand(WORD code) override;
    virtual void Change();

private:
    void ItemsChanged();

    std::unique_ptr<TStringList> FItems;
    int FItemIndex = -1;
    TComboBoxStyle FStyle = csDropDownList;
    int FDropDownCount = 8;
};
