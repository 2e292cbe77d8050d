// Descriptions shaped like the program's own windows load, and the windows
// they make have the declared looks: a progress dialog, a translucent frame
// and a part of a main window with its hidden groups and timers.
#include "classlib/runtime/timer.h"
#include "classlib/ui/comctrls.h"
#include "classlib/ui/extctrls.h"
#include "classlib/ui/forms.h"
#include "classlib/ui/png_button.h"
#include "classlib/ui/stdctrls.h"
#include "tests/classlib/ui/png_maker.h"
#include "tests/classlib/ui/ui_test_support.h"

#include <gtest/gtest.h>

namespace {

class TProgressDialog : public TForm {
public:
    explicit TProgressDialog(TComponent* AOwner) : TForm(AOwner) {}
    TProgressBar* ProgressBarStatus = nullptr;
    TLabel* LabelStatus = nullptr;
    TButton* BtnCancel = nullptr;
    TButton* BtnOpenDir = nullptr;
    TButton* BtnClose = nullptr;
    int closes = 0;
    void BtnCloseClick(TObject*) { ++closes; }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TProgressDialog>(L"TProgressDialog", &TForm::ClassProperties())
                .Method(L"BtnCloseClick", &TProgressDialog::BtnCloseClick)
                .Field(L"ProgressBarStatus", &TProgressDialog::ProgressBarStatus)
                .Field(L"LabelStatus", &TProgressDialog::LabelStatus)
                .Field(L"BtnCancel", &TProgressDialog::BtnCancel)
                .Field(L"BtnOpenDir", &TProgressDialog::BtnOpenDir)
                .Field(L"BtnClose", &TProgressDialog::BtnClose)
                .Build();
        return table;
    }
};

const char ProgressDialog[] = R"(TProgressDialog FormProgress {
  Caption = "進捗状況"
  BorderStyle = bsDialog
  BorderIcons = []
  FormStyle = fsStayOnTop
  Position = poMainFormCenter
  ClientWidth = 409
  ClientHeight = 114
  Font.Name = "ＭＳ Ｐゴシック"
  Font.Height = -12
  Font.Charset = SHIFTJIS_CHARSET
  TProgressBar ProgressBarStatus {
    Left = 16
    Top = 12
    Width = 377
    Height = 17
    TabOrder = 0
  }
  TLabel LabelStatus {
    Left = 16
    Top = 36
    Width = 377
    Height = 29
    Caption = "LabelStatus"
    Alignment = taCenter
    AutoSize = False
  }
  TButton BtnCancel {
    Left = 79
    Top = 79
    Width = 75
    Height = 25
    Caption = "キャンセル"
    TabOrder = 3
  }
  TButton BtnOpenDir {
    Left = 167
    Top = 79
    Width = 75
    Height = 25
    Caption = "保存先を開く"
    TabOrder = 2
  }
  TButton BtnClose {
    Left = 255
    Top = 79
    Width = 75
    Height = 25
    Caption = "閉じる"
    TabOrder = 1
    OnClick = BtnCloseClick
  }
}
)";

class TFrame : public TForm {
public:
    explicit TFrame(TComponent* AOwner) : TForm(AOwner) {}
    TShape* ShapeWindowSize = nullptr;
    TImage* ImgSearchWindow = nullptr;
    TTimer* TimerSearchWindow = nullptr;
    int resizes = 0;
    std::vector<WORD> keys;
    void FormResize(TObject*) {
        ++resizes;
        if (Width() < 120) SetWidth(120);
    }
    void FormKeyDown(TObject*, WORD& Key, TShiftState) { keys.push_back(Key); }
    void ShapeDown(TObject*, TMouseButton, TShiftState, int, int) {}
    void ShapeMove(TObject*, TShiftState, int, int) {}
    void ImgDown(TObject*, TMouseButton, TShiftState, int, int) {}
    void ImgUp(TObject*, TMouseButton, TShiftState, int, int) {}
    void Tick(TObject*) {}

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table = TPropertyTableBuilder<TFrame>(L"TFrame", &TForm::ClassProperties())
                                                .Method(L"FormResize", &TFrame::FormResize)
                                                .Method(L"FormKeyDown", &TFrame::FormKeyDown)
                                                .Method(L"ShapeDown", &TFrame::ShapeDown)
                                                .Method(L"ShapeMove", &TFrame::ShapeMove)
                                                .Method(L"ImgDown", &TFrame::ImgDown)
                                                .Method(L"ImgUp", &TFrame::ImgUp)
                                                .Method(L"Tick", &TFrame::Tick)
                                                .Field(L"ShapeWindowSize", &TFrame::ShapeWindowSize)
                                                .Field(L"ImgSearchWindow", &TFrame::ImgSearchWindow)
                                                .Field(L"TimerSearchWindow", &TFrame::TimerSearchWindow)
                                                .Build();
        return table;
    }
};

std::string FrameDescription() {
    TBitmap icon;
    icon.SetSize(25, 25);
    return R"(TFrame FormCaptureSize {
  BorderStyle = bsNone
  FormStyle = fsStayOnTop
  AlphaBlend = True
  AlphaBlendValue = 120
  Color = clFuchsia
  TransparentColor = True
  TransparentColorValue = clFuchsia
  DoubleBuffered = True
  ClientWidth = 360
  ClientHeight = 240
  Font.Name = "ＭＳ Ｐゴシック"
  Font.Height = -12
  Font.Charset = SHIFTJIS_CHARSET
  OnResize = FormResize
  OnKeyDown = FormKeyDown
  TShape ShapeWindowSize {
    Align = alClient
    Brush.Style = bsClear
    Pen.Color = clAqua
    Pen.Width = 30
    OnMouseDown = ShapeDown
    OnMouseMove = ShapeMove
  }
  TImage ImgSearchWindow {
    Left = 332
    Top = 3
    Width = 25
    Height = 25
    Anchors = [akTop, akRight]
    Picture = )" +
           HexBlock(icon.SaveToBytes()) + R"(
    OnMouseDown = ImgDown
    OnMouseUp = ImgUp
  }
  TTimer TimerSearchWindow {
    Enabled = False
    Interval = 500
    OnTimer = Tick
  }
}
)";
}

}  // namespace

TEST(ProgramForms, ProgressDialogHasTheDeclaredLooks) {
    TProgressDialog dialog(nullptr);
    dialog.LoadFromText(ProgressDialog, L"FormProgress");
    HWND wnd = dialog.Handle();
    const LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
    const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU) << "no title-bar buttons at all";
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    RECT client;
    GetClientRect(wnd, &client);
    EXPECT_EQ(client.right, 409);
    EXPECT_EQ(client.bottom, 114);
    wchar_t caption[64] = {};
    GetWindowTextW(wnd, caption, 64);
    EXPECT_STREQ(caption, L"進捗状況");

    ASSERT_NE(dialog.LabelStatus, nullptr);
    EXPECT_EQ(dialog.LabelStatus->Width(), 377) << "fixed size";
    EXPECT_EQ(dialog.LabelStatus->Height(), 29);
    EXPECT_EQ(dialog.LabelStatus->Alignment(), taCenter);
    EXPECT_EQ(dialog.ProgressBarStatus->Max(), 100);
    // Tab order puts the close button first after the bar.
    EXPECT_EQ(GetNextDlgTabItem(wnd, dialog.ProgressBarStatus->Handle(), FALSE), dialog.BtnClose->Handle());
    wchar_t text[64] = {};
    GetWindowTextW(dialog.BtnOpenDir->Handle(), text, 64);
    EXPECT_STREQ(text, L"保存先を開く");
    SendMessageW(dialog.BtnClose->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.closes, 1);
}

TEST(ProgramForms, TranslucentFrameLayersAndKeepsItsParts) {
    TFrame frame(nullptr);
    frame.LoadFromText(FrameDescription(), L"FormCaptureSize");
    HWND wnd = frame.Handle();
    EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CAPTION);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(wnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(255, 0, 255));
    EXPECT_EQ(alpha, 120);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(frame.ShapeWindowSize->Width(), 360);
    EXPECT_EQ(frame.ShapeWindowSize->Pen().Width(), 30);
    EXPECT_FALSE(frame.TimerSearchWindow->Enabled());

    // Resizing: the shape follows, the image keeps its right distance, the
    // resize handler can correct the size from inside.
    frame.SetWidth(60);
    EXPECT_EQ(frame.Width(), 120);
    EXPECT_EQ(frame.ShapeWindowSize->Width(), 120);
    EXPECT_EQ(frame.ImgSearchWindow->Left(), 120 - 28);
    EXPECT_GT(frame.resizes, 0);

    // Owned by another window, as the frames are by the main window.
    TForm owner(nullptr);
    frame.SetOwnerWindow(owner.Handle());
    EXPECT_EQ(GetWindow(wnd, GW_OWNER), owner.Handle());

    SendMessageW(wnd, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(frame.keys, std::vector<WORD>{VK_RIGHT});
}

TEST(ProgramForms, HiddenGroupsKeepTheirButtonsAndControlsTakeTheirColours) {
    class TMain : public TForm {
    public:
        explicit TMain(TComponent* AOwner) : TForm(AOwner) {}
        TLabel* lblTimeWait = nullptr;
        TEdit* EditSaveDir = nullptr;
        TGroupBox* GBNotUseItem = nullptr;
        TPNGButton* pngBtnCaptureSizeIPod = nullptr;
        TTimer* TimerCaptureTime = nullptr;
        void Click(TObject*) {}
        const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
        static const TPropertyTable& ClassProperties() {
            static const TPropertyTable table = TPropertyTableBuilder<TMain>(L"TMain", &TForm::ClassProperties())
                                                    .Method(L"pngBtnCaptureAreaClick", &TMain::Click)
                                                    .Field(L"lblTimeWait", &TMain::lblTimeWait)
                                                    .Field(L"EditSaveDir", &TMain::EditSaveDir)
                                                    .Field(L"GBNotUseItem", &TMain::GBNotUseItem)
                                                    .Field(L"pngBtnCaptureSizeIPod", &TMain::pngBtnCaptureSizeIPod)
                                                    .Field(L"TimerCaptureTime", &TMain::TimerCaptureTime)
                                                    .Build();
            return table;
        }
    };
    const std::string text = R"(TMain FormMain {
  Caption = "Tavrel3"
  BorderStyle = bsSingle
  BorderIcons = [biSystemMenu, biMinimize]
  ClientWidth = 427
  ClientHeight = 637
  TLabel lblTimeWait {
    Caption = "【録画開始時間まで待機しています】"
    Font.Color = clBlue
    Visible = False
  }
  TEdit EditSaveDir {
    ReadOnly = True
    TabStop = False
    Color = $F2F2F2
  }
  TGroupBox GBNotUseItem {
    Caption = "使わないボタンたち～"
    Visible = False
    TPNGButton pngBtnCaptureSizeIPod {
      Tag = 1
      Visible = False
      ButtonLayout = pbsImageAbove
      ButtonStyle = pbsDefault
      Caption = ""
      ImageNormal = )" + HexBlock(MakeSolidRgba(8, 8, 1, 2, 3, 255)) +
                             R"(
      ImageDown = )" + HexBlock(MakeSolidRgba(8, 8, 1, 2, 3, 255)) +
                             R"(
      ImageOver = )" + HexBlock(MakeSolidRgba(8, 8, 1, 2, 3, 255)) +
                             R"(
      OnClick = pngBtnCaptureAreaClick
    }
  }
  TTimer TimerCaptureTime {
    Enabled = False
    Interval = 500
  }
}
)";
    TMain main(nullptr);
    main.LoadFromText(text, L"FormMain");
    const LONG_PTR style = GetWindowLongPtrW(main.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(main.lblTimeWait->Visible());
    EXPECT_EQ(main.lblTimeWait->Font().Color(), clBlue);
    EXPECT_FALSE(GetWindowLongPtrW(main.EditSaveDir->Handle(), GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(ColorToRGB(main.EditSaveDir->Color()), RGB(242, 242, 242));
    EXPECT_FALSE(IsWindowVisible(main.GBNotUseItem->Handle()));
    EXPECT_EQ(main.pngBtnCaptureSizeIPod->Tag(), 1);
    EXPECT_EQ(main.pngBtnCaptureSizeIPod->Parent(), main.GBNotUseItem);
    EXPECT_EQ(main.pngBtnCaptureSizeIPod->ImageNormal().Width(), 8);
    EXPECT_TRUE(static_cast<bool>(main.pngBtnCaptureSizeIPod->OnClick));

    // The read-only edit paints its own background colour.
    main.Show();
    PumpMessages();
    main.EditSaveDir->SetText(L"C:\\");
    UpdateWindow(main.EditSaveDir->Handle());
    gdi::WindowDC dc(main.EditSaveDir->Handle());
    RECT r;
    GetClientRect(main.EditSaveDir->Handle(), &r);
    EXPECT_EQ(GetPixel(dc.Get(), r.right - 3, r.bottom / 2), RGB(242, 242, 242));
}
