#include "app/form_capture_start_size.h"

TFormCaptureStartSize* FormCaptureStartSize = nullptr;

TFormCaptureStartSize::TFormCaptureStartSize(TComponent* AOwner) : TForm(AOwner) {
    LoadFromResource(L"TFORMCAPTURESTARTSIZE");
}

void TFormCaptureStartSize::FormCreate(TObject*) {
    auto* main = dynamic_cast<TCustomForm*>(Application->MainForm());
    if (main && main != this) {
        SetOwnerWindow(main->Handle());
        SetLeft(main->Left() + main->Width() + 100);
    }
    SetDoubleBuffered(true);
    SetTop(0);
    SetSize(320, 240);
}

void TFormCaptureStartSize::SetSize(int W, int H) {
    SetWidth(W);
    SetHeight(H);
}

void TFormCaptureStartSize::FormShow(TObject*) {
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TFormCaptureStartSize::FormClose(TObject*, TCloseAction&) {
    SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

const TPropertyTable& TFormCaptureStartSize::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TFormCaptureStartSize>(L"TFormCaptureStartSize", &TForm::ClassProperties())
            .Method(L"FormCreate", &TFormCaptureStartSize::FormCreate)
            .Method(L"FormShow", &TFormCaptureStartSize::FormShow)
            .Method(L"FormClose", &TFormCaptureStartSize::FormClose)
            .Field(L"ShapeWindowSize", &TFormCaptureStartSize::ShapeWindowSize)
            .Build();
    return table;
}
