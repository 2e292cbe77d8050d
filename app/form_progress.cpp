#include "app/form_progress.h"

#include "classlib/ui/shell.h"

#include <algorithm>

TFormProgress* FormProgress = nullptr;

TFormProgress::TFormProgress(TComponent* AOwner) : TForm(AOwner) { LoadFromResource(L"TFORMPROGRESS"); }

void TFormProgress::SetRange(int Min, int Max) {
    ProgressBarStatus->SetMin(Min);
    ProgressBarStatus->SetMax(Max);
    ProgressBarStatus->SetPosition(Min);
}

void TFormProgress::SetPosition(int Value) {
    ProgressBarStatus->SetPosition(Value > ProgressBarStatus->Max() ? ProgressBarStatus->Max() : Value);
}

int TFormProgress::Maximum() const { return ProgressBarStatus->Max(); }

int TFormProgress::Position() const { return ProgressBarStatus->Position(); }

void TFormProgress::SetStatus(const std::wstring& Text) { LabelStatus->SetCaption(Text); }

void TFormProgress::EnableOpenDir(bool Enabled) { BtnOpenDir->SetEnabled(Enabled); }

void TFormProgress::EnableCancel(bool Enabled) { BtnCancel->SetEnabled(Enabled); }

void TFormProgress::EnableClose(bool Enabled) {
    BtnClose->SetEnabled(Enabled);
    BtnCancel->SetEnabled(!Enabled);
}

void TFormProgress::SetOpenDir(const std::wstring& Path) { FOpenDirPath = Path; }

void TFormProgress::ClearOutcome() {
    FCancelled = false;
    FFailed.store(false);
}

void TFormProgress::FormCreate(TObject*) { SetStatus(L""); }

void TFormProgress::FormShow(TObject*) {
    FCancelled = false;
    // Centred over the main window every time, wherever that window is now.
    auto* main = dynamic_cast<TCustomForm*>(Application->MainForm());
    if (main && main != this) {
        RECT r;
        GetWindowRect(main->Handle(), &r);
        int x = r.left + ((r.right - r.left) - Width()) / 2;
        int y = r.top + ((r.bottom - r.top) - Height()) / 2;
        // Over a collapsed main window the dialog is the taller one: it is
        // kept inside the work area of that window's monitor, title bar
        // first, so that it can always be seen and moved.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromWindow(main->Handle(), MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT& area = monitor.rcWork;
            x = std::max<int>(area.left, std::min<int>(x, area.right - Width()));
            y = std::max<int>(area.top, std::min<int>(y, area.bottom - Height()));
        }
        SetBounds(x, y, Width(), Height());
    }
}

void TFormProgress::FormCloseQuery(TObject*, bool& CanClose) {
    // The dialog has no way out but its close button: hiding it any other
    // way would leave the main window disabled for good.
    CanClose = false;
    if (BtnClose->Enabled()) BtnCloseClick(BtnClose);
}

void TFormProgress::BtnOpenDirClick(TObject*) { ShellOpen(Handle(), FOpenDirPath); }

void TFormProgress::BtnCancelClick(TObject*) {
    if (Application->ShowMessageBox(L"キャンセルしてよろしいですか？", Application->Title(), MB_YESNO) == IDYES)
        FCancelled = true;
}

void TFormProgress::BtnCloseClick(TObject*) {
    Hide();
    if (OnClosed) OnClosed(this);
}

const TPropertyTable& TFormProgress::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TFormProgress>(L"TFormProgress", &TForm::ClassProperties())
            .Method(L"FormCreate", &TFormProgress::FormCreate)
            .Method(L"FormShow", &TFormProgress::FormShow)
            .Method(L"FormCloseQuery", &TFormProgress::FormCloseQuery)
            .Method(L"BtnOpenDirClick", &TFormProgress::BtnOpenDirClick)
            .Method(L"BtnCancelClick", &TFormProgress::BtnCancelClick)
            .Method(L"BtnCloseClick", &TFormProgress::BtnCloseClick)
            .Field(L"ProgressBarStatus", &TFormProgress::ProgressBarStatus)
            .Field(L"LabelStatus", &TFormProgress::LabelStatus)
            .Field(L"BtnCancel", &TFormProgress::BtnCancel)
            .Field(L"BtnOpenDir", &TFormProgress::BtnOpenDir)
            .Field(L"BtnClose", &TFormProgress::BtnClose)
            .Build();
    return table;
}
