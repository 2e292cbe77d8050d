// The windows at the screen's resolution: the main window and the progress
// dialog laid out for it (sizes and fonts scaled from their descriptions'
// 96 dpi), the capture-area frame in screen pixels whatever it is. In each
// window every visible control lies inside its parent's client area, no two
// visible controls of one parent overlap, and texts and check glyphs have
// room. The same tests run at 96 dpi with the other window tests and at
// 144 and 192 dpi in Wine environments of their own (CMakeLists.txt).
#include "classlib/ui/dpi.h"
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using apptest::Narrow;
using apptest::ProgramWindows;

int Dpi() { return SystemPixelsPerInch(); }
int Scaled(int v) { return MulDiv(v, Dpi(), 96); }

struct Placed {
    std::string name;
    RECT rect;  // in the parent's client coordinates
    // Filling the client area, the parent's surface (the frame's band):
    // the other controls lie on it.
    bool surface = false;
};

std::string NameOf(HWND w) {
    if (TWinControl* c = TWinControl::FromHandle(w); c && !c->Name().empty()) return Narrow(c->Name());
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (TWinControl* c = TWinControl::FromHandle(w)) return Narrow(c->Name()) + "(" + Narrow(cls) + " of it)";
    return Narrow(cls);
}

// The visible controls directly on Parent: its child windows as the platform
// has placed them (a spin edit's arrows are a window of their own) and its
// windowless controls.
std::vector<Placed> VisibleControlsOn(TWinControl& parent) {
    std::vector<Placed> placed;
    for (HWND w = GetWindow(parent.Handle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w)) continue;
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, parent.Handle(), reinterpret_cast<POINT*>(&r), 2);
        placed.push_back({NameOf(w), r});
    }
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        placed.push_back(
            {c->Name().empty() ? Narrow(c->Caption()) : Narrow(c->Name()), c->BoundsRect(), c->Align() == alClient});
    }
    return placed;
}

// Inside the client area, apart from each other, on every level.
void ExpectLaidOut(TWinControl& parent, const std::string& where) {
    RECT client;
    GetClientRect(parent.Handle(), &client);
    const std::vector<Placed> placed = VisibleControlsOn(parent);
    for (size_t i = 0; i < placed.size(); ++i) {
        const RECT& r = placed[i].rect;
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << placed[i].name << " (" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom
            << ") lies outside the client area " << client.right << "x" << client.bottom << " of " << where;
        for (size_t j = i + 1; j < placed.size(); ++j) {
            if (placed[i].surface || placed[j].surface) continue;
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &r, &placed[j].rect))
                << placed[i].name << " and " << placed[j].name << " overlap in " << where;
        }
    }
    for (int i = 0; i < parent.ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(parent.Controls(i));
            w && w->AcceptsControls() && w->Visible() && w->HandleAllocated())
            ExpectLaidOut(*w, Narrow(w->Name()));
}

SIZE TextSize(const TFont& font, const std::wstring& text, UINT flags = DT_SINGLELINE) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.Handle());
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return SIZE{r.right, r.bottom};
}

RECT WindowRectOf(const TWinControl& c) {
    RECT r;
    GetWindowRect(c.Handle(), &r);
    return r;
}

// A check box or radio button shows its whole glyph and caption.
void ExpectCheckRoom(const TWinControl& c) {
    const RECT r = WindowRectOf(c);
    const SIZE text = TextSize(c.Font(), c.Caption());
    const int glyph = GetSystemMetrics(SM_CXMENUCHECK);
    EXPECT_GE(r.right - r.left, glyph + text.cx + 4) << Narrow(c.Name()) << ": caption cut";
    EXPECT_GE(r.bottom - r.top, std::max<int>(glyph, text.cy)) << Narrow(c.Name()) << ": glyph or caption clipped";
}

// A drop-down list shows every item whole beside its button.
void ExpectComboRoom(TComboBox& c) {
    const RECT r = WindowRectOf(c);
    for (const std::wstring& item : c.ItemsVector()) {
        const SIZE text = TextSize(c.Font(), item);
        EXPECT_GE(r.right - r.left, text.cx + GetSystemMetrics(SM_CXVSCROLL) + 8)
            << Narrow(c.Name()) << ": \"" << Narrow(item) << "\" is cut";
        EXPECT_GE(r.bottom - r.top, text.cy + 4) << Narrow(c.Name()) << ": the text is taller than the box";
    }
}

// A push button's caption lies inside its edges.
void ExpectButtonRoom(const TWinControl& c) {
    const RECT r = WindowRectOf(c);
    const SIZE text = TextSize(c.Font(), c.Caption());
    EXPECT_GE(r.right - r.left, text.cx + 2) << Narrow(c.Name()) << ": caption cut";
    EXPECT_GE(r.bottom - r.top, text.cy + 4) << Narrow(c.Name()) << ": caption clipped";
}

TEST(HighDpiLayout, MainWindow) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    EXPECT_EQ(m.PixelsPerInch(), Dpi());
    EXPECT_EQ(m.ClientWidth(), Scaled(427));
    EXPECT_EQ(m.Font().Height(), -Scaled(12));
    EXPECT_EQ(m.lblCaptureTime->Font().Height(), -Scaled(12)) << "a font of its own scales too";
    ASSERT_TRUE(m.IsExpanded());
    EXPECT_GE(m.ClientHeight(), Scaled(637)) << "expanded, the whole client area shows";
    if (Dpi() == 96) {
        EXPECT_EQ(m.Height(), ExpandedHeight);
    }

    // lblTimeWait is shown while waiting for the start time.
    m.lblTimeWait->SetVisible(true);
    ExpectLaidOut(m, "the main window");
    m.lblTimeWait->SetVisible(false);

    for (TWinControl* c : std::initializer_list<TWinControl*>{m.CBRecRange, m.RBRecNow, m.RBRecStart, m.RBRecTime,
                                                              m.CBContainCursor, m.RBUseAudioDevice, m.RBUseLoopBack})
        ExpectCheckRoom(*c);
    for (TComboBox* c : {m.CBCompressorListVideo, m.CBFPS, m.CBMovieSize, m.CBMovieType, m.CBMovieQuality})
        ExpectComboRoom(*c);

    // Collapsed, the buttons show and everything from CBRecRange down is
    // below the client area.
    m.SetExpanded(false);
    ProgramWindows::Pump();
    EXPECT_FALSE(m.IsExpanded());
    if (Dpi() == 96) {
        EXPECT_EQ(m.Height(), CollapsedHeight);
    }
    EXPECT_LE(m.ClientHeight(), m.CBRecRange->Top());
    EXPECT_GE(m.ClientHeight(), m.pngCaptureStart->Top() + m.pngCaptureStart->Height());
    m.SetExpanded(true);
    EXPECT_TRUE(m.IsExpanded());
}

TEST(HighDpiLayout, ProgressDialog) {
    ProgramWindows windows;
    TFormProgress& p = *FormProgress;
    EXPECT_EQ(p.ClientWidth(), Scaled(409));
    EXPECT_EQ(p.ClientHeight(), Scaled(114));
    EXPECT_EQ(p.Font().Height(), -Scaled(12));
    p.SetStatus(L"変換処理を行っています\r\n(50.00%完了 / 残り時間：00時間00分03秒)");
    p.Show();
    ProgramWindows::Pump();
    ExpectLaidOut(p, "the progress dialog");
    for (TButton* b : {p.BtnCancel, p.BtnOpenDir, p.BtnClose}) ExpectButtonRoom(*b);
    // Both lines of a status fit the label.
    const SIZE status = TextSize(p.LabelStatus->Font(), p.LabelStatus->Caption(), 0);
    EXPECT_GE(p.LabelStatus->Width(), status.cx);
    EXPECT_GE(p.LabelStatus->Height(), status.cy);
    p.Hide();
}

TEST(HighDpiLayout, ProgressDialogOverTheCollapsedMainWindowKeepsItsTitleBarOnTheScreen) {
    ProgramWindows windows;
    FormMain->SetExpanded(false);
    FormMain->SetBounds(0, 0, FormMain->Width(), FormMain->Height());
    ASSERT_LT(FormMain->Height(), FormProgress->Height()) << "the dialog is the taller one";
    FormProgress->Show();
    ProgramWindows::Pump();
    RECT r;
    GetWindowRect(FormProgress->Handle(), &r);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(r.top, work.top);
    EXPECT_GE(r.left, work.left);
    // Still over the main window, centred across it.
    RECT main;
    GetWindowRect(FormMain->Handle(), &main);
    EXPECT_NEAR((r.left + r.right) / 2, (main.left + main.right) / 2, 1);
    EXPECT_LT(r.top, main.bottom);
    FormProgress->Hide();
}

TEST(HighDpiLayout, CaptureFrameStaysInScreenPixels) {
    ProgramWindows windows;
    TFormCaptureSize& f = *FormCaptureSize;
    EXPECT_FALSE(f.Scaled());
    EXPECT_EQ(f.PixelsPerInch(), 96) << "its description is never scaled";
    EXPECT_EQ(f.Width(), 320);
    EXPECT_EQ(f.Height(), 240);
    EXPECT_EQ(f.ShapeWindowSize->Pen().Width(), 30);
    EXPECT_EQ(f.ImgSearchWindow->Width(), 25);
    // The edits hold the frame's physical screen rectangle.
    RECT r;
    GetWindowRect(f.Handle(), &r);
    EXPECT_EQ(FormMain->EditCapturePosLeft->Text(), std::to_wstring(r.left));
    EXPECT_EQ(FormMain->EditCapturePosRigth->Text(), std::to_wstring(r.right));
    EXPECT_EQ(FormMain->EditCapturePosBottom->Text(), std::to_wstring(r.bottom));
    ExpectLaidOut(f, "the capture-area frame");
    EXPECT_EQ(FormCaptureStartSize->ShapeWindowSize->Pen().Width(), 5);
    EXPECT_EQ(FormCaptureStartSize->Width(), 320);
}

// A move to a monitor of another resolution, as the platform reports it to
// a per-monitor aware window.
void SendDpiChanged(TCustomForm& form, int dpi, RECT suggested) {
    SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

RECT Grown(const TCustomForm& form, int dpi) {
    RECT r;
    GetWindowRect(form.Handle(), &r);
    const int frameW = form.Width() - form.ClientWidth(), frameH = form.Height() - form.ClientHeight();
    return RECT{r.left, r.top, r.left + frameW + MulDiv(form.ClientWidth(), dpi, form.PixelsPerInch()),
                r.top + frameH + MulDiv(form.ClientHeight(), dpi, form.PixelsPerInch())};
}

TEST(HighDpiLayout, MainWindowFollowsAMoveToAMonitorOfAnotherResolution) {
    ProgramWindows windows;
    TFormMain& m = *FormMain;
    const int start = m.PixelsPerInch();
    const RECT before = m.GBAudioConfig->BoundsRect();
    const int font = m.Font().Height();
    const int twice = start * 2;
    SendDpiChanged(m, twice, Grown(m, twice));
    ProgramWindows::Pump();
    EXPECT_EQ(m.PixelsPerInch(), twice);
    EXPECT_EQ(m.Font().Height(), font * 2);
    EXPECT_EQ(m.GBAudioConfig->Left(), before.left * 2);
    EXPECT_EQ(m.GBAudioConfig->Width(), (before.right - before.left) * 2);
    EXPECT_TRUE(m.IsExpanded()) << "still expanded, at the new resolution's height";
    ExpectLaidOut(m, "the main window at twice the resolution");

    m.SetExpanded(false);
    SendDpiChanged(m, start, Grown(m, start));
    ProgramWindows::Pump();
    EXPECT_EQ(m.PixelsPerInch(), start);
    EXPECT_FALSE(m.IsExpanded()) << "still collapsed";
    EXPECT_EQ(m.Font().Height(), font);
    const RECT after = m.GBAudioConfig->BoundsRect();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
    m.SetExpanded(true);
    ExpectLaidOut(m, "the main window back at its resolution");
}

TEST(HighDpiLayout, CaptureFrameKeepsItsScreenPixelsOnAMoveToAMonitorOfAnotherResolution) {
    ProgramWindows windows;
    TFormCaptureSize& f = *FormCaptureSize;
    RECT r;
    GetWindowRect(f.Handle(), &r);
    SendDpiChanged(f, Dpi() * 2, RECT{r.left, r.top, r.left + 640, r.top + 480});
    ProgramWindows::Pump();
    RECT now;
    GetWindowRect(f.Handle(), &now);
    EXPECT_TRUE(EqualRect(&r, &now));
    EXPECT_EQ(f.ShapeWindowSize->Pen().Width(), 30);
}

}  // namespace
