// The capture-area frame and the recording frame, built with the program's
// other windows: placement, translucency, the edge zones, keys, dragging,
// the 120-pixel minimum, rounding to 4, presets and snapping onto real
// windows under the pointer.
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

#include <windowsx.h>

namespace {

using apptest::Narrow;
using apptest::ProgramWindows;

struct Edits {
    int left, top, right, bottom;
};

Edits ReadEdits() {
    return Edits{StrToInt(FormMain->EditCapturePosLeft->Text()), StrToInt(FormMain->EditCapturePosTop->Text()),
                 StrToInt(FormMain->EditCapturePosRigth->Text()), StrToInt(FormMain->EditCapturePosBottom->Text())};
}

LRESULT HitTest(HWND wnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(wnd, &p);
    return SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
}

TEST(CaptureFrame, StartsBesideTheMainWindowAndFillsTheEdits) {
    ProgramWindows windows;
    const int x = FormMain->Left() + FormMain->Width();
    EXPECT_EQ(FormCaptureSize->Left(), x);
    EXPECT_EQ(FormCaptureSize->Top(), 0);
    EXPECT_EQ(FormCaptureSize->Width(), 320);
    EXPECT_EQ(FormCaptureSize->Height(), 240);
    EXPECT_TRUE(FormCaptureSize->Visible()) << "shown with the main window";
    const Edits e = ReadEdits();
    EXPECT_EQ(e.left, x);
    EXPECT_EQ(e.top, 0);
    EXPECT_EQ(e.right, x + 320);
    EXPECT_EQ(e.bottom, 240);
    EXPECT_EQ(FormMain->FSettings->CapturePosLeft, x);
    EXPECT_EQ(FormMain->FSettings->CaptureSize().x, 320);
    EXPECT_EQ(FormMain->lblCapturePosSize->Caption(), L"（幅：320　高さ：240）");
    EXPECT_EQ(GetWindow(FormCaptureSize->Handle(), GW_OWNER), FormMain->Handle());
    EXPECT_EQ(FormCaptureSize->ImgSearchWindow->Left(), 320 - 28) << "the icon keeps to the right edge";

    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(FormCaptureSize->Handle(), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 120);
    EXPECT_EQ(key, RGB(255, 0, 255));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_TRUE(GetWindowLongW(FormCaptureSize->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(FormCaptureSize->ShapeWindowSize->Pen().Color(), RGB(0, 255, 255));
    EXPECT_EQ(FormCaptureSize->ShapeWindowSize->Pen().Width(), 30);
}

TEST(CaptureFrame, EdgeZonesAreFiveAndFourPixelsWide) {
    ProgramWindows windows;
    const HWND f = FormCaptureSize->Handle();
    const int W = FormCaptureSize->Width(), H = FormCaptureSize->Height();
    EXPECT_EQ(HitTest(f, 0, 0), HTTOPLEFT);
    EXPECT_EQ(HitTest(f, W - 1, 4), HTTOPRIGHT);
    EXPECT_EQ(HitTest(f, 4, H - 1), HTBOTTOMLEFT);
    EXPECT_EQ(HitTest(f, W - 4, H - 4), HTBOTTOMRIGHT);
    EXPECT_EQ(HitTest(f, 4, 100), HTLEFT);
    EXPECT_NE(HitTest(f, 5, 100), HTLEFT);
    EXPECT_EQ(HitTest(f, 100, 4), HTTOP);
    EXPECT_EQ(HitTest(f, W - 4, 100), HTRIGHT);
    EXPECT_NE(HitTest(f, W - 5, 100), HTRIGHT);
    EXPECT_EQ(HitTest(f, 100, H - 4), HTBOTTOM);
    EXPECT_NE(HitTest(f, 100, H - 5), HTBOTTOM);
    EXPECT_EQ(HitTest(f, 15, 100), HTCLIENT) << "the band takes the mouse";
    EXPECT_EQ(HitTest(f, W / 2, H / 2), HTTRANSPARENT) << "the inside lets it through";
}

TEST(CaptureFrame, SizesAreRoundedTo4AndAtLeast120) {
    ProgramWindows windows;
    FormCaptureSize->SetWidth(203);
    EXPECT_EQ(FormCaptureSize->Width(), 200);
    EXPECT_EQ(ReadEdits().right - ReadEdits().left, 200);
    FormCaptureSize->SetSize(50, 7);
    EXPECT_EQ(FormCaptureSize->Width(), 120);
    EXPECT_EQ(FormCaptureSize->Height(), 120);
    EXPECT_EQ(ReadEdits().bottom - ReadEdits().top, 120);
    EXPECT_EQ(RoundDownTo4(203), 200);
    EXPECT_EQ(RoundDownTo4(120), 120);
    EXPECT_EQ(RoundDownTo4(-7), -4);
}

TEST(CaptureFrame, ArrowKeysMoveAndShiftArrowsResize) {
    ProgramWindows windows;
    TFormCaptureSize& f = *FormCaptureSize;
    const int x = f.Left(), y = f.Top();
    WORD key = VK_RIGHT;
    f.FormKeyDown(&f, key, 0);
    key = VK_DOWN;
    f.FormKeyDown(&f, key, ssCtrl);
    EXPECT_EQ(f.Left(), x + 1);
    EXPECT_EQ(f.Top(), y + 1);
    EXPECT_EQ(ReadEdits().left, x + 1);
    EXPECT_EQ(ReadEdits().top, y + 1);
    key = VK_LEFT;
    f.FormKeyDown(&f, key, ssAlt);
    key = VK_UP;
    f.FormKeyDown(&f, key, 0);
    EXPECT_EQ(f.Left(), x);
    EXPECT_EQ(f.Top(), y);

    key = VK_RIGHT;
    f.FormKeyDown(&f, key, ssShift);
    key = VK_DOWN;
    f.FormKeyDown(&f, key, ssShift | ssCtrl);
    EXPECT_EQ(f.Width(), 324);
    EXPECT_EQ(f.Height(), 244);
    EXPECT_EQ(ReadEdits().right, x + 324);
    f.SetSize(120, 120);
    key = VK_LEFT;
    f.FormKeyDown(&f, key, ssShift);
    key = VK_UP;
    f.FormKeyDown(&f, key, ssShift);
    EXPECT_EQ(f.Width(), 120) << "116 is raised to 120";
    EXPECT_EQ(f.Height(), 120);
    key = L'A';
    f.FormKeyDown(&f, key, ssShift);
    EXPECT_EQ(f.Left(), x);
    EXPECT_EQ(f.Width(), 120);
}

TEST(CaptureFrame, DraggingTheBandMovesTheFrame) {
    ProgramWindows windows;
    TFormCaptureSize& f = *FormCaptureSize;
    const int x = f.Left(), y = f.Top();
    f.ShapeWindowSizeMouseDown(f.ShapeWindowSize, mbLeft, ssLeft, 10, 12);
    f.ShapeWindowSizeMouseMove(f.ShapeWindowSize, ssLeft, 40, 17);
    EXPECT_EQ(f.Left(), x + 30);
    EXPECT_EQ(f.Top(), y + 5);
    EXPECT_EQ(ReadEdits().left, x + 30);
    f.ShapeWindowSizeMouseMove(f.ShapeWindowSize, 0, 90, 90);
    EXPECT_EQ(f.Left(), x + 30) << "no move without the left button";
}

TEST(CaptureFrame, PresetButtonsSizeAndShowTheFrame) {
    ProgramWindows windows;
    FormCaptureSize->Hide();
    const std::pair<TPNGButton*, POINT> presets[] = {
        {FormMain->pngBtnCaptureSizeIPod, {320, 240}},   {FormMain->pngBtnCaptureSizeIPodWide, {320, 180}},
        {FormMain->pngBtnCaptureSizeIPhone, {480, 320}}, {FormMain->pngBtnCaptureSizeIPhoneWide, {480, 270}},
        {FormMain->pngBtnCaptureSizeIPad, {1024, 768}},  {FormMain->pngBtnCaptureSizeIPadWide, {1024, 576}}};
    for (const auto& [button, size] : presets) {
        ASSERT_TRUE(button->OnClick);
        button->OnClick(button);
        EXPECT_EQ(FormCaptureSize->Width(), size.x) << Narrow(button->Name());
        EXPECT_EQ(FormCaptureSize->Height(), RoundDownTo4(size.y)) << Narrow(button->Name()) << ": 270 becomes 268";
        EXPECT_TRUE(FormCaptureSize->Visible());
    }
    TPNGButton extra(nullptr);
    for (int tag : {7, 8}) {
        extra.SetTag(tag);
        FormMain->pngBtnCaptureAreaClick(&extra);
        EXPECT_EQ(FormCaptureSize->Height(), tag == 7 ? 768 : 576);
    }
}

// A plain top-level window of the test, with optional children.
class TestWindow {
public:
    TestWindow(int x, int y, int w, int h, HWND parent = nullptr, bool visible = true) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.lpszClassName = L"TavrelSnapTarget";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        const DWORD style = (parent ? WS_CHILD : WS_POPUP) | (visible ? WS_VISIBLE : 0);
        FHandle = CreateWindowExW(parent ? 0 : WS_EX_TOPMOST, L"TavrelSnapTarget", L"", style, x, y, w, h, parent,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() {
        if (FHandle) DestroyWindow(FHandle);
    }
    HWND Handle() const { return FHandle; }

private:
    HWND FHandle = nullptr;
};

TEST(CaptureFrame, SnapsOntoTheWindowUnderThePointer) {
    ProgramWindows windows;
    TestWindow target(1300, 700, 250, 97);
    ASSERT_TRUE(target.Handle());
    ProgramWindows::Pump();
    ASSERT_TRUE(SetCursorPos(1400, 740));
    ProgramWindows::Pump();
    FormCaptureSize->SnapToWindowUnderCursor();
    FormCaptureSize->FormResize(FormCaptureSize);
    EXPECT_EQ(FormCaptureSize->Left(), 1300);
    EXPECT_EQ(FormCaptureSize->Top(), 700);
    EXPECT_EQ(FormCaptureSize->Width(), 248);
    EXPECT_EQ(FormCaptureSize->Height(), 120);
    const Edits e = ReadEdits();
    EXPECT_EQ(e.left, 1300);
    EXPECT_EQ(e.right, 1548);
    EXPECT_EQ(e.bottom, 820);
}

TEST(CaptureFrame, SnapsOntoTheDeepestVisibleChildNeverAHiddenOne) {
    ProgramWindows windows;
    TestWindow parent(1200, 600, 400, 300);
    TestWindow shown(10, 10, 150, 130, parent.Handle());
    TestWindow inner(20, 20, 124, 100, shown.Handle());
    TestWindow hidden(200, 10, 150, 150, parent.Handle(), false);
    ProgramWindows::Pump();

    SetCursorPos(1200 + 10 + 20 + 5, 600 + 10 + 20 + 5);
    FormCaptureSize->SnapToWindowUnderCursor();
    FormCaptureSize->FormResize(FormCaptureSize);
    EXPECT_EQ(FormCaptureSize->Left(), 1230);
    EXPECT_EQ(FormCaptureSize->Top(), 630);
    EXPECT_EQ(FormCaptureSize->Width(), 124);
    EXPECT_EQ(FormCaptureSize->Height(), 120) << "100 raised to the minimum";

    SetCursorPos(1200 + 250, 600 + 50);
    FormCaptureSize->SnapToWindowUnderCursor();
    FormCaptureSize->FormResize(FormCaptureSize);
    EXPECT_EQ(FormCaptureSize->Left(), 1200) << "the hidden child is passed over";
    EXPECT_EQ(FormCaptureSize->Width(), 400);
    EXPECT_EQ(FormCaptureSize->Height(), 300);
}

TEST(CaptureFrame, SearchTimerRunsWhileTheButtonIsHeld) {
    ProgramWindows windows;
    TFormCaptureSize& f = *FormCaptureSize;
    f.ImgSearchWindowMouseDown(f.ImgSearchWindow, mbLeft, ssLeft, 3, 3);
    EXPECT_TRUE(f.TimerSearchWindow->Enabled());
    EXPECT_EQ(f.TimerSearchWindow->Interval(), 500u);
    f.ImgSearchWindowMouseUp(f.ImgSearchWindow, mbLeft, 0, 3, 3);
    EXPECT_FALSE(f.TimerSearchWindow->Enabled());
    f.TimerSearchWindow->SetEnabled(true);
    const int x = f.Left();
    ASSERT_FALSE(TFormCaptureSize::IsLeftButtonDown());
    f.TimerSearchWindowTimer(f.TimerSearchWindow);
    EXPECT_FALSE(f.TimerSearchWindow->Enabled()) << "released: the first tick switches it off";
    EXPECT_EQ(f.Left(), x);
}

TEST(RecordingFrame, HiddenBesideTheMainWindowWithARedBand) {
    ProgramWindows windows;
    TFormCaptureStartSize& f = *FormCaptureStartSize;
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(f.Left(), FormMain->Left() + FormMain->Width() + 100);
    EXPECT_EQ(f.Top(), 0);
    EXPECT_EQ(f.Width(), 320);
    EXPECT_EQ(f.Height(), 240);
    EXPECT_EQ(f.ShapeWindowSize->Pen().Color(), RGB(255, 0, 0));
    EXPECT_EQ(f.ShapeWindowSize->Pen().Width(), 5);
    EXPECT_EQ(GetWindow(f.Handle(), GW_OWNER), FormMain->Handle());
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(f.Handle(), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(key, RGB(255, 255, 255));

    f.Show();
    EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    f.Close();
    EXPECT_FALSE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(f.Visible());
}

}  // namespace
