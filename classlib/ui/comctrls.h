// Common controls: spin edits, time-of-day pickers and progress bars.
#pragma once

#include "classlib/runtime/datetime.h"
#include "classlib/ui/stdctrls.h"

// A number edit with up and down arrows. Value reads the text as a whole
// number (0 when it is none) and setting it clamps it to MinValue..MaxValue
// (when they differ).
class TSpinEdit : public TEdit {
public:
    explicit TSpinEdit(TComponent* AOwner);
    ~TSpinEdit() override;

    int MinValue() const { return FMinValue; }
    void SetMinValue(int v) { FMinValue = v; }
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int v) { FMaxValue = v; }
    int Increment() const { return FIncrement; }
    void SetIncrement(int v) { FIncrement = v; }
    int Value() const;
    void SetValue(int v);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void InitializeHandle() override;
    void HandleDestroying() override { DestroyArrows(); }
    void WndProc(TMessage& Message) override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    int Clamp(int v) const;

private:
    void Step(int delta);
    void PlaceArrows();
    void DestroyArrows();

    int FMinValue = 0;
    int FMaxValue = 0;
    int FIncrement = 1;
    HWND FArrows = nullptr;
};

enum TDateTimeKind { dtkDate, dtkTime };

// A date or time-of-day picker. In the time kind it keeps only the time of
// day of a value set into it.
class TDateTimePicker : public TWinControl {
public:
    explicit TDateTimePicker(TComponent* AOwner);

    TDateTimeKind Kind() const { return FKind; }
    void SetKind(TDateTimeKind v);
    TDateTime DateTime() const { return FDateTime; }
    void SetDateTime(TDateTime v);
    TDateTime Time() const;
    void SetTime(TDateTime v);

    TNotifyEvent OnChange;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeHandle() override;
    bool CNNotify(NMHDR* hdr, LRESULT& result) override;

private:
    void PushValue();

    TDateTimeKind FKind = dtkDate;
    TDateTime FDateTime = 0;
};

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* AOwner);

    int Min() const { return FMin; }
    void SetMin(int v);
    int Max() const { return FMax; }
    void SetMax(int v);
    // Kept within Min..Max.
    int Position() const { return FPosition; }
    void SetPosition(int v);

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeHandle() override;

private:
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
};
