#include "app/form_capture_size.h"

#include <windowsx.h>

TFormCaptureSize* FormCaptureSize = nullptr;

namespace {

BOOL CALLBACK FindChildUnderPoint(HWND Window, LPARAM Data) {
    auto* search = reinterpret_cast<TChildSearch*>(Data);
    if (!IsWindowVisible(Window)) return TRUE;
    RECT r;
    if (!GetWindowRect(Window, &r) || !PtInRect(&r, search->Pt)) return TRUE;
    EnumChildWindows(Window, FindChildUnderPoint, Data);
    if (!search->Found) {
        search->Found = Window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int RoundDownTo4(int V) { return V - V % 4; }

TFormCaptureSize::TFormCaptureSize(TComponent* AOwner) : TForm(AOwner) { LoadFromResource(L"TFORMCAPTURESIZE"); }

void TFormCaptureSize::FormCreate(TObject*) {
    auto* main = dynamic_cast<TCustomForm*>(Application->MainForm());
    if (main && main != this) {
        SetOwnerWindow(main->Handle());
        SetLeft(main->Left() + main->Width());
    }
    SetDoubleBuffered(true);
    SetTop(0);
    SetMessageHandler(WM_NCHITTEST, [this](TMessage& m) { HitTestBorder(m); });
    SetSize(320, 240);
}

void TFormCaptureSize::SetSize(int W, int H) {
    SetWidth(W);
    SetHeight(H);
}

void TFormCaptureSize::FormResize(TObject*) {
    if (Width() < MinCaptureSize) SetWidth(MinCaptureSize);
    if (Height() < MinCaptureSize) SetHeight(MinCaptureSize);
    UpdateCaptureRect();
}

void TFormCaptureSize::UpdateCaptureRect() {
    const POINT p = ShapeWindowSize ? ShapeWindowSize->ClientToScreen(POINT{0, 0}) : ClientToScreen(POINT{0, 0});
    SetWidth(RoundDownTo4(Width()));
    SetHeight(RoundDownTo4(Height()));
    const int w = ShapeWindowSize ? ShapeWindowSize->Width() : ClientWidth();
    const int h = ShapeWindowSize ? ShapeWindowSize->Height() : ClientHeight();
    FCaptureRect = RECT{p.x, p.y, p.x + w, p.y + h};
    if (OnCaptureRectChanged) OnCaptureRectChanged(this, FCaptureRect);
}

void TFormCaptureSize::HitTestBorder(TMessage& Message) {
    Default(Message);
    POINT pt{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    ScreenToClient(Handle(), &pt);
    const int x = pt.x, y = pt.y, W = Width(), H = Height();
    if (x < 5 && y < 5)
        Message.Result = HTTOPLEFT;
    else if (x > W - 5 && y < 5)
        Message.Result = HTTOPRIGHT;
    else if (x < 5 && y > H - 5)
        Message.Result = HTBOTTOMLEFT;
    else if (x > W - 5 && y > H - 5)
        Message.Result = HTBOTTOMRIGHT;
    else if (x < 5)
        Message.Result = HTLEFT;
    else if (y < 5)
        Message.Result = HTTOP;
    else if (x > W - 5)
        Message.Result = HTRIGHT;
    else if (y > H - 5)
        Message.Result = HTBOTTOM;
}

void TFormCaptureSize::ShapeWindowSizeMouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
    FDragX = X;
    FDragY = Y;
}

void TFormCaptureSize::ShapeWindowSizeMouseMove(TObject*, TShiftState Shift, int X, int Y) {
    if (!(Shift & ssLeft)) return;
    SetLeft(X + Left() - FDragX);
    SetTop(Y + Top() - FDragY);
    UpdateCaptureRect();
}

void TFormCaptureSize::FormCloseQuery(TObject*, bool& CanClose) {
    // Hidden while idle, the frame could not be shown again.
    CanClose = false;
}

void TFormCaptureSize::FormKeyDown(TObject*, WORD& Key, TShiftState Shift) {
    if (Key < VK_LEFT || Key > VK_DOWN) return;
    const bool resize = (Shift & ssShift) != 0;
    int dx = 0, dy = 0;
    switch (Key) {
    case VK_LEFT:
        dx = -1;
        break;
    case VK_UP:
        dy = -1;
        break;
    case VK_RIGHT:
        dx = 1;
        break;
    default:
        dy = 1;
        break;
    }
    if (resize) {
        SetWidth(Width() + 4 * dx);
        SetHeight(Height() + 4 * dy);
    } else {
        SetLeft(Left() + dx);
        SetTop(Top() + dy);
    }
    UpdateCaptureRect();
}

void TFormCaptureSize::ImgSearchWindowMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32646)));  // IDC_SIZEALL
    TimerSearchWindow->SetEnabled(true);
}

void TFormCaptureSize::ImgSearchWindowMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    TimerSearchWindow->SetEnabled(false);
}

void TFormCaptureSize::TimerSearchWindowTimer(TObject*) {
    if (IsLeftButtonDown()) {
        SnapToWindowUnderCursor();
        FormResize(this);
    } else {
        TimerSearchWindow->SetEnabled(false);
    }
}

bool TFormCaptureSize::IsLeftButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }

void TFormCaptureSize::SnapToWindowUnderCursor() {
    POINT pt;
    if (!GetCursorPos(&pt)) return;
    HWND w0 = WindowFromPoint(pt);
    if (!w0) return;
    TChildSearch search;
    search.Pt = pt;
    EnumChildWindows(w0, FindChildUnderPoint, reinterpret_cast<LPARAM>(&search));
    if (!search.Found) search.Found = w0;
    RECT r;
    if (!GetWindowRect(search.Found, &r)) return;
    SetLeft(r.left);
    SetWidth(r.right - r.left);
    SetTop(r.top);
    SetHeight(r.bottom - r.top);
}

const TPropertyTable& TFormCaptureSize::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TFormCaptureSize>(L"TFormCaptureSize", &TForm::ClassProperties())
            .Method(L"FormCreate", &TFormCaptureSize::FormCreate)
            .Method(L"FormResize", &TFormCaptureSize::FormResize)
            .Method(L"FormKeyDown", &TFormCaptureSize::FormKeyDown)
            .Method(L"FormCloseQuery", &TFormCaptureSize::FormCloseQuery)
            .Method(L"ShapeWindowSizeMouseDown", &TFormCaptureSize::ShapeWindowSizeMouseDown)
            .Method(L"ShapeWindowSizeMouseMove", &TFormCaptureSize::ShapeWindowSizeMouseMove)
            .Method(L"ImgSearchWindowMouseDown", &TFormCaptureSize::ImgSearchWindowMouseDown)
            .Method(L"ImgSearchWindowMouseUp", &TFormCaptureSize::ImgSearchWindowMouseUp)
            .Method(L"TimerSearchWindowTimer", &TFormCaptureSize::TimerSearchWindowTimer)
            .Field(L"ShapeWindowSize", &TFormCaptureSize::ShapeWindowSize)
            .Field(L"ImgSearchWindow", &TFormCaptureSize::ImgSearchWindow)
            .Field(L"TimerSearchWindow", &TFormCaptureSize::TimerSearchWindow)
            .Build();
    return table;
}
