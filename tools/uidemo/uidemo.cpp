// A look at the window library: a form with every control kind and image
// buttons in their states, and a translucent frame that can be dragged by
// its band. Both come from form descriptions compiled into the program.
#include "classlib/runtime/application.h"
#include "classlib/ui/comctrls.h"
#include "classlib/ui/extctrls.h"
#include "classlib/ui/forms.h"
#include "classlib/ui/png_button.h"
#include "classlib/ui/stdctrls.h"

class TDemoForm : public TForm {
public:
    explicit TDemoForm(TComponent* AOwner) : TForm(AOwner) { LoadFromResource(L"TDEMOFORM"); }

    TPNGButton* pngNormal = nullptr;
    TPNGButton* pngOver = nullptr;
    TPNGButton* pngDown = nullptr;
    TPNGButton* pngDisabled = nullptr;
    TPNGButton* pngLeft = nullptr;
    TPNGButton* pngRight = nullptr;
    TLabel* lblTitle = nullptr;
    TGroupBox* GBSettings = nullptr;
    TLabel* lblEdit = nullptr;
    TEdit* EditDir = nullptr;
    TLabel* lblCombo = nullptr;
    TComboBox* CBType = nullptr;
    TCheckBox* CBCursor = nullptr;
    TRadioButton* RBNow = nullptr;
    TRadioButton* RBUntil = nullptr;
    TSpinEdit* SEMinutes = nullptr;
    TLabel* lblMinutes = nullptr;
    TDateTimePicker* DTStart = nullptr;
    TButton* BtnOk = nullptr;
    TGroupBox* GBShapes = nullptr;
    TShape* ShapeBand = nullptr;
    TShape* ShapeRed = nullptr;
    TImage* ImgSearch = nullptr;
    TProgressBar* ProgressBar = nullptr;
    TLabel* lblStatus = nullptr;

    void FormCreate(TObject*) {
        SetBounds(20, 20, Width(), Height());
        // Show the hover and pressed looks without a pointer.
        pngOver->MouseEnter();
        pngDown->MouseEnter();
        pngDown->MouseDown(mbLeft, ssLeft, 1, 1);
    }
    void ButtonClick(TObject* Sender) {
        ProgressBar->SetPosition(ProgressBar->Position() >= 100 ? 0 : ProgressBar->Position() + 10);
        lblStatus->SetCaption(L"押されたボタン: " + static_cast<TComponent*>(Sender)->Name());
    }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table = TPropertyTableBuilder<TDemoForm>(L"TDemoForm", &TForm::ClassProperties())
                                                .Method(L"FormCreate", &TDemoForm::FormCreate)
                                                .Method(L"ButtonClick", &TDemoForm::ButtonClick)
                                                .Field(L"pngNormal", &TDemoForm::pngNormal)
                                                .Field(L"pngOver", &TDemoForm::pngOver)
                                                .Field(L"pngDown", &TDemoForm::pngDown)
                                                .Field(L"pngDisabled", &TDemoForm::pngDisabled)
                                                .Field(L"pngLeft", &TDemoForm::pngLeft)
                                                .Field(L"pngRight", &TDemoForm::pngRight)
                                                .Field(L"lblTitle", &TDemoForm::lblTitle)
                                                .Field(L"GBSettings", &TDemoForm::GBSettings)
                                                .Field(L"lblEdit", &TDemoForm::lblEdit)
                                                .Field(L"EditDir", &TDemoForm::EditDir)
                                                .Field(L"lblCombo", &TDemoForm::lblCombo)
                                                .Field(L"CBType", &TDemoForm::CBType)
                                                .Field(L"CBCursor", &TDemoForm::CBCursor)
                                                .Field(L"RBNow", &TDemoForm::RBNow)
                                                .Field(L"RBUntil", &TDemoForm::RBUntil)
                                                .Field(L"SEMinutes", &TDemoForm::SEMinutes)
                                                .Field(L"lblMinutes", &TDemoForm::lblMinutes)
                                                .Field(L"DTStart", &TDemoForm::DTStart)
                                                .Field(L"BtnOk", &TDemoForm::BtnOk)
                                                .Field(L"GBShapes", &TDemoForm::GBShapes)
                                                .Field(L"ShapeBand", &TDemoForm::ShapeBand)
                                                .Field(L"ShapeRed", &TDemoForm::ShapeRed)
                                                .Field(L"ImgSearch", &TDemoForm::ImgSearch)
                                                .Field(L"ProgressBar", &TDemoForm::ProgressBar)
                                                .Field(L"lblStatus", &TDemoForm::lblStatus)
                                                .Build();
        return table;
    }
};

class TFrameForm : public TForm {
public:
    explicit TFrameForm(TComponent* AOwner) : TForm(AOwner) { LoadFromResource(L"TFRAMEFORM"); }

    TShape* ShapeWindowSize = nullptr;

    void ShapeMouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
        FDragX = X;
        FDragY = Y;
    }
    void ShapeMouseMove(TObject*, TShiftState Shift, int X, int Y) {
        if (Shift & ssLeft) SetBounds(X + Left() - FDragX, Y + Top() - FDragY, Width(), Height());
    }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table = TPropertyTableBuilder<TFrameForm>(L"TFrameForm", &TForm::ClassProperties())
                                                .Method(L"ShapeMouseDown", &TFrameForm::ShapeMouseDown)
                                                .Method(L"ShapeMouseMove", &TFrameForm::ShapeMouseMove)
                                                .Field(L"ShapeWindowSize", &TFrameForm::ShapeWindowSize)
                                                .Build();
        return table;
    }

private:
    int FDragX = 0;
    int FDragY = 0;
};

int main() {
    try {
        Application->Initialize();
        Application->SetTitle(L"uidemo");
        TDemoForm* demo = nullptr;
        Application->CreateForm(demo);
        TFrameForm* frame = nullptr;
        Application->CreateForm(frame);
        frame->SetBounds(demo->Left() + demo->Width() + 20, 40, frame->Width(), frame->Height());
        frame->Show();
        Application->Run();
        DestroyApplicationForms();
    } catch (...) {
        Application->HandleException(nullptr);
        return 1;
    }
    return 0;
}
