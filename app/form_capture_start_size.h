// The recording frame: a borderless, always-on-top window of which only a
// 5-pixel red band shows, placed around the recorded rectangle while
// recording when the user asked for it.
#pragma once

#include "classlib/ui/extctrls.h"
#include "classlib/ui/forms.h"

class TFormCaptureStartSize : public TForm {
public:
    explicit TFormCaptureStartSize(TComponent* AOwner);

    TShape* ShapeWindowSize = nullptr;

    void SetSize(int W, int H);

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();
};

extern TFormCaptureStartSize* FormCaptureStartSize;
