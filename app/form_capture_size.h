// The capture-area frame: a borderless, translucent, always-on-top window
// with a wide aqua band around a transparent inside. It is dragged by its
// band, resized at its outer edge or with Shift and the arrow keys, moved
// with the arrow keys, and snapped onto the window under the pointer while
// the search icon is held. Every change hands its screen rectangle to
// OnCaptureRectChanged. Width and height stay at least 120 and multiples
// of 4.
#pragma once

#include "classlib/runtime/timer.h"
#include "classlib/ui/extctrls.h"
#include "classlib/ui/forms.h"

#include <windows.h>

#include <functional>

// The smallest width and height of a capture rectangle.
constexpr int MinCaptureSize = 120;

// V minus the remainder of V divided by 4 (toward zero).
int RoundDownTo4(int V);

// What the child-window search hands to its callback.
struct TChildSearch {
    HWND Found = nullptr;
    POINT Pt{};
};

// Told the frame's screen rectangle each time it changes.
using TCaptureRectEvent = std::function<void(TObject* Sender, const RECT& Rect)>;

class TFormCaptureSize : public TForm {
public:
    explicit TFormCaptureSize(TComponent* AOwner);

    TShape* ShapeWindowSize = nullptr;
    TImage* ImgSearchWindow = nullptr;
    TTimer* TimerSearchWindow = nullptr;

    TCaptureRectEvent OnCaptureRectChanged;

    void SetSize(int W, int H);
    // The rectangle last handed to OnCaptureRectChanged, in screen pixels.
    RECT CaptureRect() const { return FCaptureRect; }
    void UpdateCaptureRect();
    void SnapToWindowUnderCursor();
    static bool IsLeftButtonDown();

    // Handlers bound by the form description.
    void FormCreate(TObject* Sender);
    void FormResize(TObject* Sender);
    void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    // The frame belongs to the main window: the system's close (Alt+F4,
    // WM_CLOSE) is refused, the program closes through the main window.
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void ShapeWindowSizeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ShapeWindowSizeMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void ImgSearchWindowMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ImgSearchWindowMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void TimerSearchWindowTimer(TObject* Sender);
    // WM_NCHITTEST: the edge zones resize the borderless window.
    void HitTestBorder(TMessage& Message);

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

private:
    int FDragX = 0;
    int FDragY = 0;
    RECT FCaptureRect{};
};

extern TFormCaptureSize* FormCaptureSize;
