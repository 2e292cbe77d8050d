// The behaviour of controls that the program's windows rely on, on real
// windows: combo boxes, spin edits, radio grouping, edits, pickers,
// progress bars, forms' close handling and layered hit-testing.
#include "classlib/ui/comctrls.h"
#include "classlib/ui/extctrls.h"
#include "classlib/ui/forms.h"
#include "classlib/ui/stdctrls.h"
#include "tests/classlib/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 50, 400, 300);
    }
    void TearDown() override { form.reset(); }

    template <class T>
    T* Make(TWinControl* parent = nullptr) {
        auto* c = new T(form.get());
        c->SetParent(parent ? parent : form.get());
        return c;
    }

    std::unique_ptr<TForm> form;
};

// What the platform sends when the user picks an item of a combo box.
void UserSelects(TComboBox* combo, int index) {
    SendMessageW(combo->Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(combo->Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo->Handle()));
}

}  // namespace

TEST_F(ControlsTest, ComboIndexFromCodeRunsNoChangeAndFindIgnoresCase) {
    auto* combo = Make<TComboBox>();
    combo->SetItemsVector({L"MPEG4", L"MPEG1", L"MP3"});
    int changes = 0;
    combo->OnChange = [&](TObject*) { ++changes; };

    combo->SetItemIndex(2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(combo->Text(), L"MP3");
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCURSEL, 0, 0), 2);

    UserSelects(combo, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), L"MPEG1");

    EXPECT_EQ(combo->FindItem(L"mpeg4"), 0);
    EXPECT_EQ(combo->FindItem(L"Mp3"), 2);
    EXPECT_EQ(combo->FindItem(L"MPEG"), -1) << "only exact matches";
    EXPECT_EQ(combo->FindItem(L""), -1);

    combo->SetItemIndex(7);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), L"");
    combo->SetItemIndex(0);
    combo->Items().Clear();
    EXPECT_EQ(combo->ItemIndex(), -1) << "no selection once the items are gone";
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 0);
}

TEST_F(ControlsTest, SpinEditClampsAndReadsNonNumbersAsZero) {
    auto* spin = Make<TSpinEdit>();
    spin->SetMinValue(0);
    spin->SetMaxValue(59);
    spin->SetMaxLength(2);
    spin->SetValue(75);
    EXPECT_EQ(spin->Value(), 59);
    spin->SetValue(-3);
    EXPECT_EQ(spin->Value(), 0);
    spin->SetValue(12);
    EXPECT_EQ(spin->Text(), L"12");

    // Typed text is read from the window.
    SetWindowTextW(spin->Handle(), L"ab");
    EXPECT_EQ(spin->Text(), L"ab");
    EXPECT_EQ(spin->Value(), 0);
    SetWindowTextW(spin->Handle(), L" 7 ");
    EXPECT_EQ(spin->Value(), 7);

    // The arrow keys step within the range.
    SendMessageW(spin->Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(spin->Value(), 8);
    spin->SetValue(59);
    SendMessageW(spin->Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(spin->Value(), 59);

    // Equal bounds mean no range at all.
    auto* free = Make<TSpinEdit>();
    free->SetValue(100000);
    EXPECT_EQ(free->Value(), 100000);
}

TEST_F(ControlsTest, RadioButtonsAreGroupedByTheirParent) {
    auto* a = Make<TRadioButton>();
    auto* b = Make<TRadioButton>();
    auto* box = Make<TGroupBox>();
    auto* c = Make<TRadioButton>(box);
    int clicks = 0;
    a->OnClick = b->OnClick = c->OnClick = [&](TObject*) { ++clicks; };

    a->SetChecked(true);
    c->SetChecked(true);
    EXPECT_EQ(clicks, 0) << "setting Checked from code runs no click handler";
    EXPECT_TRUE(a->Checked());
    EXPECT_TRUE(c->Checked());

    SendMessageW(b->Handle(), BM_CLICK, 0, 0);  // a real click
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
    EXPECT_EQ(SendMessageW(a->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(c->Checked()) << "another parent is another group";

    auto* check = Make<TCheckBox>();
    bool seen = false;
    check->OnClick = [&](TObject*) { seen = check->Checked(); };
    SendMessageW(check->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(seen) << "the box is checked when its click handler runs";
    check->SetChecked(false);
    EXPECT_EQ(SendMessageW(check->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(ControlsTest, EditChangeRunsForNewTextOnly) {
    auto* edit = Make<TEdit>();
    edit->SetReadOnly(true);
    std::vector<std::wstring> seen;
    edit->OnChange = [&](TObject*) { seen.push_back(edit->Text()); };
    edit->SetText(L"120");
    edit->SetText(L"120");
    SetWindowTextW(edit->Handle(), L"240");  // as the platform reports typing
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"120", L"240"}));
    EXPECT_TRUE(GetWindowLongW(edit->Handle(), GWL_STYLE) & ES_READONLY);
}

TEST_F(ControlsTest, TimePickerKeepsTheTimeOfDayAndProgressBarItsRange) {
    auto* picker = Make<TDateTimePicker>();
    picker->SetKind(dtkTime);
    picker->SetTime(45000.75);
    EXPECT_DOUBLE_EQ(picker->Time(), 0.75);
    EXPECT_DOUBLE_EQ(picker->DateTime(), 0.75);
    SYSTEMTIME st{};
    ASSERT_EQ(SendMessageW(picker->Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)), GDT_VALID);
    EXPECT_EQ(st.wHour, 18);
    EXPECT_EQ(st.wMinute, 0);

    auto* bar = Make<TProgressBar>();
    bar->SetMin(0);
    bar->SetMax(10);
    bar->SetPosition(12);
    EXPECT_EQ(bar->Position(), 10);
    EXPECT_EQ(SendMessageW(bar->Handle(), PBM_GETPOS, 0, 0), 10);
    bar->SetPosition(-1);
    EXPECT_EQ(bar->Position(), 0);
    bar->SetMax(0);
    EXPECT_EQ(bar->Position(), 0);
}

TEST_F(ControlsTest, CloseAsksTheFormAndHidesIt) {
    form->Show();
    bool allow = false;
    int closes = 0;
    form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
    form->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(closes, 0);
    allow = true;
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_TRUE(IsWindow(form->Handle())) << "a form that is not the main form is only hidden";
}

TEST_F(ControlsTest, KeyDownAndMessageHandlerOfAForm) {
    std::vector<WORD> keys;
    TShiftState lastShift = 0;
    form->OnKeyDown = [&](TObject*, WORD& key, TShiftState shift) {
        keys.push_back(key);
        lastShift = shift;
    };
    SendMessageW(form->Handle(), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(keys, std::vector<WORD>{VK_LEFT});
    EXPECT_EQ(lastShift & ssShift, 0u);

    form->SetMessageHandler(WM_NCHITTEST, [&](TMessage& m) {
        form->Default(m);
        if (m.Result == HTCLIENT) m.Result = HTCAPTION;
    });
    RECT r;
    GetClientRect(form->Handle(), &r);
    POINT p{r.right / 2, r.bottom / 2};
    ClientToScreen(form->Handle(), &p);
    EXPECT_EQ(SendMessageW(form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTCAPTION);
}

TEST_F(ControlsTest, ShapeFollowsClientAndImageKeepsRightDistance) {
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 320, 240);
    auto* shape = Make<TShape>();
    shape->SetAlign(alClient);
    auto* image = Make<TImage>();
    image->SetBounds(282, 3, 25, 25);
    image->SetAnchors(akTop | akRight);
    form->SetBounds(50, 50, 400, 260);
    EXPECT_EQ(shape->Width(), 400);
    EXPECT_EQ(shape->Height(), 260);
    EXPECT_EQ(image->Left(), 362);
    EXPECT_EQ(image->Top(), 3);
}

TEST_F(ControlsTest, TransparentColourIsNeitherDrawnNorHit) {
    // A white window below, a translucent fuchsia-keyed frame above it.
    TForm below(nullptr);
    below.SetBorderStyle(bsNone);
    below.SetColor(clWhite);
    below.SetBounds(600, 300, 300, 300);
    below.Show();

    form->SetBorderStyle(bsNone);
    form->SetFormStyle(fsStayOnTop);
    form->SetBounds(650, 350, 200, 200);
    form->SetColor(clFuchsia);
    form->SetTransparentColorValue(clFuchsia);
    form->SetTransparentColor(true);
    form->SetAlphaBlend(true);
    form->SetAlphaBlendValue(255);
    auto* band = Make<TShape>();
    band->SetAlign(alClient);
    band->Brush().SetStyle(bsClear);
    band->Pen().SetColor(clAqua);
    band->Pen().SetWidth(30);
    int presses = 0;
    band->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++presses; };
    form->Show();
    PumpMessages(10);

    EXPECT_EQ(WindowFromPoint(POINT{750, 450}), below.Handle()) << "the keyed inside lets the mouse through";
    EXPECT_EQ(WindowFromPoint(POINT{655, 450}), form->Handle()) << "the band takes the mouse";

    gdi::WindowDC screen(nullptr);
    EXPECT_EQ(GetPixel(screen.Get(), 750, 450), RGB(255, 255, 255)) << "the keyed inside is not drawn";
    EXPECT_EQ(GetPixel(screen.Get(), 655, 450), RGB(0, 255, 255)) << "the band is drawn";
}

TEST(Forms, MainFormCloseEndsTheApplicationAndDestroyRunsOnce) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    ASSERT_EQ(Application->MainForm(), main);
    main->SetBounds(100, 100, 400, 300);
    TForm* dialog = nullptr;
    Application->CreateForm(dialog);
    dialog->SetBounds(0, 0, 200, 100);
    dialog->SetPosition(poMainFormCenter);
    dialog->Show();
    EXPECT_EQ(dialog->Left(), 200);
    EXPECT_EQ(dialog->Top(), 200);

    int destroyed = 0;
    main->OnDestroy = [&](TObject*) { ++destroyed; };
    main->Show();
    SendMessageW(main->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Application->Terminated());
    DestroyApplicationForms();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(Application->ComponentCount(), 0);
}

TEST_F(ControlsTest, GraphicControlsInAGroupBoxTakeTheMouse) {
    form->SetBorderStyle(bsNone);
    form->SetFormStyle(fsStayOnTop);
    form->SetBounds(100, 100, 300, 200);
    auto* box = Make<TGroupBox>();
    box->SetBounds(10, 10, 200, 150);
    auto* label = new TLabel(form.get());
    label->SetParent(box);
    label->SetAutoSize(false);
    label->SetBounds(20, 30, 60, 20);
    int downs = 0, clicks = 0;
    label->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        ++downs;
        EXPECT_EQ(x, 5);
        EXPECT_EQ(y, 6);
    };
    label->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    PumpMessages();

    POINT inLabel{25, 36};
    ClientToScreen(box->Handle(), &inLabel);
    EXPECT_EQ(WindowFromPoint(inLabel), box->Handle());
    SendMessageW(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 36));
    SendMessageW(box->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(25, 36));
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, SpinEditArrowsFollowTheEdit) {
    auto* box = Make<TGroupBox>();
    auto* spin = Make<TSpinEdit>(box);
    spin->SetBounds(10, 20, 80, 22);
    HWND arrows = FindWindowExW(box->Handle(), nullptr, UPDOWN_CLASSW, nullptr);
    ASSERT_NE(arrows, nullptr);
    RECT e, a;
    GetWindowRect(spin->Handle(), &e);
    GetWindowRect(arrows, &a);
    EXPECT_EQ(a.left, e.right) << "the arrows sit right of the edit";
    EXPECT_EQ(a.right - e.left, 80) << "edit and arrows fill the control's width";
    // A click on the up arrow steps the value.
    spin->SetMaxValue(10);
    spin->SetValue(3);
    SendMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 3));
    SendMessageW(arrows, WM_LBUTTONUP, 0, MAKELPARAM(8, 3));
    PumpMessages();
    EXPECT_EQ(spin->Value(), 4);
    spin->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(arrows));
    // Moving the spin edit elsewhere takes its arrows along.
    spin->SetParent(form.get());
    EXPECT_FALSE(IsWindow(arrows));
    EXPECT_NE(FindWindowExW(form->Handle(), nullptr, UPDOWN_CLASSW, nullptr), nullptr);
}

namespace {

RECT WindowRectIn(HWND w, HWND parent) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

TEST_F(ControlsTest, ScalingToAResolutionScalesEveryControlOnceAndBack) {
    form->SetBorderStyle(bsSingle);
    form->SetClientWidth(300);
    form->SetClientHeight(200);
    form->Font().SetHeight(-12);
    auto* box = Make<TGroupBox>();
    box->SetBounds(10, 10, 201, 101);
    auto* left = Make<TButton>(box);
    left->SetBounds(5, 21, 51, 25);
    auto* right = Make<TButton>(box);
    right->SetBounds(56, 21, 51, 25);  // touching the left one
    auto* bold = Make<TLabel>(box);
    bold->SetBounds(5, 60, 10, 10);
    bold->SetCaption(L"太字のラベル");
    bold->Font().SetStyle(fsBold);  // a font of its own
    auto* anchored = Make<TButton>();
    anchored->SetBounds(250, 10, 40, 20);
    anchored->SetAnchors(akTop | akRight);
    auto* shape = Make<TShape>();
    shape->SetAlign(alClient);
    auto* spin = Make<TSpinEdit>();
    spin->SetBounds(10, 150, 60, 21);
    const RECT boldAt96 = bold->BoundsRect();

    bool told = false;
    form->OnAfterMonitorDpiChanged = [&](TObject*, int, int) { told = true; };
    form->ScaleTo(144);
    EXPECT_FALSE(told) << "only a move between monitors is reported";
    EXPECT_EQ(form->PixelsPerInch(), 144);
    EXPECT_EQ(form->ClientWidth(), 450);
    EXPECT_EQ(form->ClientHeight(), 300);
    EXPECT_EQ(form->Font().Height(), -18);
    EXPECT_EQ(box->Font().Height(), -18) << "the parent's font";
    EXPECT_EQ(bold->Font().Height(), -18);
    EXPECT_EQ(bold->Font().Style(), static_cast<TFontStyles>(fsBold));
    EXPECT_EQ(box->BoundsRect().left, 15);
    EXPECT_EQ(box->BoundsRect().right, 317);  // 211 * 1.5 rounded
    // Edges are scaled, so touching controls neither overlap nor part.
    const RECT l = WindowRectIn(left->Handle(), box->Handle()), r = WindowRectIn(right->Handle(), box->Handle());
    EXPECT_EQ(l.right, r.left);
    EXPECT_EQ(l.left, 8);
    EXPECT_EQ(r.right, 161);
    // The anchored control moves with the scaling only, not again with the
    // wider client area.
    EXPECT_EQ(anchored->Left(), 375);
    EXPECT_EQ(anchored->Width(), 60);
    EXPECT_EQ(shape->Width(), 450);
    EXPECT_EQ(shape->Height(), 300);
    // An auto-sized label fits its text in the larger font.
    EXPECT_GT(bold->Width(), boldAt96.right - boldAt96.left);
    EXPECT_EQ(bold->Left(), 8);
    // The spin arrows are scaled with the edit.
    HWND arrows = FindWindowExW(form->Handle(), nullptr, UPDOWN_CLASSW, nullptr);
    ASSERT_NE(arrows, nullptr);
    const RECT a = WindowRectIn(arrows, form->Handle());
    EXPECT_EQ(a.right - a.left, 24);
    EXPECT_EQ(a.right, 15 + 90);

    // Back to 96 dpi through the platform's message, with its rectangle.
    RECT w;
    GetWindowRect(form->Handle(), &w);
    RECT suggested{w.left, w.top, w.left + (w.right - w.left) - 150, w.top + (w.bottom - w.top) - 100};
    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_TRUE(told);
    EXPECT_EQ(form->PixelsPerInch(), 96);
    GetWindowRect(form->Handle(), &w);
    EXPECT_TRUE(EqualRect(&w, &suggested));
    EXPECT_EQ(form->Font().Height(), -12);
    EXPECT_EQ(bold->Font().Height(), -12);
    EXPECT_EQ(box->BoundsRect().left, 10);
    EXPECT_EQ(box->BoundsRect().right, 211);
    EXPECT_EQ(anchored->Left(), 250);
    EXPECT_EQ(shape->Width(), form->ClientWidth());
    EXPECT_EQ(bold->Left(), 5);
    EXPECT_EQ(bold->Width(), boldAt96.right - boldAt96.left);
}

TEST_F(ControlsTest, AFormInScreenPixelsKeepsItsSizeOnAMoveBetweenMonitors) {
    form->SetScaled(false);
    auto* button = Make<TButton>();
    button->SetBounds(10, 10, 50, 20);
    RECT before;
    GetWindowRect(form->Handle(), &before);
    RECT suggested{before.left, before.top, before.left + 800, before.top + 600};
    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    RECT after;
    GetWindowRect(form->Handle(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(form->PixelsPerInch(), 96);
    EXPECT_EQ(button->Width(), 50);
}
