// Form descriptions: the parser's values and errors, and the loader on a
// real form (nested components, events, fields, binary blocks) and on
// descriptions that do not fit, which must leave nothing behind.
#include "classlib/ui/comctrls.h"
#include "classlib/ui/extctrls.h"
#include "classlib/ui/form_description.h"
#include "classlib/ui/forms.h"
#include "classlib/ui/png_button.h"
#include "classlib/ui/stdctrls.h"
#include "classlib/ui/ui_errors.h"
#include "classlib/runtime/timer.h"
#include "tests/classlib/ui/png_maker.h"
#include "tests/classlib/ui/ui_test_support.h"

#include <gtest/gtest.h>

namespace {

std::string ParseError(const std::string& text) {
    try {
        ParseFormDescription(text, L"test");
    } catch (const EFormDescriptionError& e) {
        return Narrow(e.Message());
    }
    return "(no error)";
}

class TLoaderForm : public TForm {
public:
    explicit TLoaderForm(TComponent* AOwner) : TForm(AOwner) {}

    TGroupBox* GBOuter = nullptr;
    TButton* BtnGo = nullptr;
    TComboBox* CBKind = nullptr;
    TPNGButton* pngStart = nullptr;
    TImage* ImgIcon = nullptr;
    TTimer* TimerTick = nullptr;
    TLabel* lblInner = nullptr;

    int clicks = 0;
    TObject* lastSender = nullptr;
    bool created = false;
    void BtnGoClick(TObject* Sender) {
        ++clicks;
        lastSender = Sender;
    }
    void FormCreate(TObject*) { created = true; }
    void TimerTickTimer(TObject*) {}
    void KeyHandler(TObject*, WORD&, TShiftState) {}

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TLoaderForm>(L"TLoaderForm", &TForm::ClassProperties())
                .Method(L"BtnGoClick", &TLoaderForm::BtnGoClick)
                .Method(L"FormCreate", &TLoaderForm::FormCreate)
                .Method(L"TimerTickTimer", &TLoaderForm::TimerTickTimer)
                .Method(L"KeyHandler", &TLoaderForm::KeyHandler)
                .Field(L"GBOuter", &TLoaderForm::GBOuter)
                .Field(L"BtnGo", &TLoaderForm::BtnGo)
                .Field(L"CBKind", &TLoaderForm::CBKind)
                .Field(L"pngStart", &TLoaderForm::pngStart)
                .Field(L"ImgIcon", &TLoaderForm::ImgIcon)
                .Field(L"TimerTick", &TLoaderForm::TimerTick)
                .Field(L"lblInner", &TLoaderForm::lblInner)
                .Build();
        return table;
    }
};

std::vector<std::uint8_t> SmallBitmap() {
    TBitmap bmp;
    bmp.SetSize(3, 2);
    bmp.SetPixel(2, 1, clRed);
    return bmp.SaveToBytes();
}

std::string GoodDescription() {
    return R"(# A form with every kind of value.
TLoaderForm LoaderForm {
  Caption = "ローダー \"test\""
  ClientWidth = 300
  ClientHeight = 200
  Color = clBtnFace
  Font.Name = "Tahoma"
  Font.Height = -12
  Font.Charset = SHIFTJIS_CHARSET
  Font.Style = [fsBold]
  BorderIcons = [biSystemMenu, biMinimize]
  OnCreate = FormCreate

  TGroupBox GBOuter {
    Left = 8
    Top = 8
    Width = 200
    Height = 150
    Caption = "外側"
    TButton BtnGo {
      Left = 10  // a comment
      Top = 20
      Caption = "Go"
      Tag = 7
      OnClick = BtnGoClick
    }
    TLabel lblInner {
      Left = 10
      Top = 60
      Caption = "line one\r\nline two"
      Font.Color = $0000FF
    }
  }
  TComboBox CBKind {
    Left = 210
    Top = 8
    Items = ("MPEG4", "MPEG1"
             "MP3")
    ItemIndex = 1
  }
  TPNGButton pngStart {
    Left = 210
    Top = 60
    Width = 40
    Height = 30
    ButtonStyle = pbsFlat
    ButtonLayout = pbsImageLeft
    Caption = ""
    ImageNormal = )" +
           HexBlock(MakeSolidRgba(4, 3, 1, 2, 3, 255)) + R"(
    OnClick = BtnGoClick
  }
  TImage ImgIcon {
    Left = 260
    Top = 3
    Anchors = [akTop, akRight]
    Picture = )" +
           HexBlock(SmallBitmap()) + R"(
  }
  TTimer TimerTick {
    Enabled = False
    Interval = 500
    OnTimer = TimerTickTimer
  }
  TLabel {
    Caption = "unnamed"
  }
}
)";
}

}  // namespace

TEST(FormDescriptionParser, ReadsEveryKindOfValue) {
    const TFormDescNode n = ParseFormDescription(R"(TX X {
  A = 12
  B = -0x10
  C = $FF
  D = 1.5
  E = "a\tb\u00e9"
  F = True
  G = clRed
  H = [x, y]
  I = ()
  J = hex { 0a0B
            ff }
  Sub.Prop = "s"
  TY Child { }
})",
                                                 L"t");
    EXPECT_EQ(n.ClassName, L"TX");
    EXPECT_EQ(n.Name, L"X");
    ASSERT_EQ(n.Properties.size(), 11u);
    EXPECT_EQ(std::get<int64_t>(n.Properties[0].Value), 12);
    EXPECT_EQ(std::get<int64_t>(n.Properties[1].Value), -16);
    EXPECT_EQ(std::get<int64_t>(n.Properties[2].Value), 255);
    EXPECT_DOUBLE_EQ(std::get<double>(n.Properties[3].Value), 1.5);
    EXPECT_EQ(std::get<std::wstring>(n.Properties[4].Value), L"a\tb\u00e9");
    EXPECT_EQ(std::get<bool>(n.Properties[5].Value), true);
    EXPECT_EQ(std::get<TIdent>(n.Properties[6].Value).Name, L"clRed");
    EXPECT_EQ(std::get<TSetValue>(n.Properties[7].Value).Items, (std::vector<std::wstring>{L"x", L"y"}));
    EXPECT_TRUE(std::get<TStringsValue>(n.Properties[8].Value).Items.empty());
    EXPECT_EQ(std::get<TBinaryValue>(n.Properties[9].Value).Bytes, (std::vector<uint8_t>{0x0A, 0x0B, 0xFF}));
    EXPECT_EQ(n.Properties[10].Path, L"Sub.Prop");
    EXPECT_EQ(n.Properties[10].Line, 13);
    ASSERT_EQ(n.Children.size(), 1u);
    EXPECT_EQ(n.Children[0].Line, 14);
}

TEST(FormDescriptionParser, ErrorsNameTheLineAndTheFault) {
    EXPECT_EQ(ParseError(""), "Form description \"test\", line 1: the description is empty");
    EXPECT_NE(ParseError("TX X {\n  A = 1\n").find("line 1: the block of \"X\" is not closed"), std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = \"open\n}").find("line 2: text is not closed"), std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = hex { 0A B }\n}").find("line 2: the bytes of \"A\" have an odd number"),
              std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = hex { 0G }\n}").find("'G' is not a hexadecimal digit"), std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A =\n  B = 2\n}").find("line 2: property \"A\" has no value"), std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = 1\n  a = 2\n}").find("line 3: property \"a\" is set twice (first on line 2)"),
              std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = 99999999999999999999\n}").find("not a whole number in range"),
              std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = [x, 1]\n}").find("expected a name or ']'"), std::string::npos);
    EXPECT_NE(ParseError("TX X { } extra").find("after the end of the form's block"), std::string::npos);
    EXPECT_NE(ParseError("TX X {\n  A = @\n}").find("line 2: unexpected character '@'"), std::string::npos);
    EXPECT_NE(ParseError(std::string("TX X { A = \"\xC3\x28\" }")).find("not valid UTF-8"), std::string::npos);
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "TX {\n";
    EXPECT_NE(ParseError(deep).find("line 65: components are nested more than 64 levels deep"), std::string::npos);
}

TEST(FormDescriptionLoader, BuildsNestedComponentsBindsEventsAndFields) {
    TLoaderForm form(nullptr);
    form.LoadFromText(GoodDescription(), L"LoaderForm");

    EXPECT_TRUE(form.created);
    EXPECT_EQ(form.Name(), L"LoaderForm");
    EXPECT_EQ(form.Caption(), L"ローダー \"test\"");
    EXPECT_EQ(form.ClientWidth(), 300);
    EXPECT_EQ(form.ClientHeight(), 200);
    EXPECT_EQ(form.Font().Charset(), SHIFTJIS_CHARSET);
    EXPECT_EQ(form.Font().Style(), static_cast<unsigned>(fsBold));
    EXPECT_EQ(form.BorderIcons(), static_cast<unsigned>(biSystemMenu | biMinimize));

    ASSERT_NE(form.GBOuter, nullptr);
    ASSERT_NE(form.BtnGo, nullptr);
    ASSERT_NE(form.lblInner, nullptr);
    EXPECT_EQ(form.BtnGo->Parent(), form.GBOuter);
    EXPECT_EQ(form.lblInner->Parent(), form.GBOuter);
    EXPECT_EQ(form.GBOuter->Parent(), &form);
    EXPECT_EQ(form.BtnGo->Owner(), &form);
    EXPECT_EQ(GetParent(form.BtnGo->Handle()), form.GBOuter->Handle());
    EXPECT_EQ(form.BtnGo->Tag(), 7);
    // Fonts follow the parent unless set; the label's own colour breaks that.
    EXPECT_EQ(form.BtnGo->Font().Name(), L"Tahoma");
    EXPECT_EQ(form.lblInner->Font().Color(), 0x0000FF);
    EXPECT_FALSE(form.lblInner->ParentFont());
    // An auto-sized label with two lines is taller than one line.
    EXPECT_GT(form.lblInner->Height(), form.lblInner->Font().Height() * -2 - 1);

    ASSERT_NE(form.CBKind, nullptr);
    EXPECT_EQ(form.CBKind->Items().Count(), 3);
    EXPECT_EQ(form.CBKind->ItemIndex(), 1);
    EXPECT_EQ(form.CBKind->Text(), L"MPEG1");

    ASSERT_NE(form.pngStart, nullptr);
    EXPECT_EQ(form.pngStart->ImageNormal().Width(), 4);
    EXPECT_EQ(form.pngStart->ImageDisabled().AlphaScanline(0)[0], 85);
    EXPECT_EQ(form.pngStart->ButtonStyle(), pbsFlat);
    EXPECT_EQ(form.pngStart->ButtonLayout(), pbsImageLeft);

    ASSERT_NE(form.ImgIcon, nullptr);
    EXPECT_EQ(form.ImgIcon->Picture().Width(), 3);
    EXPECT_EQ(form.ImgIcon->Picture().Pixel(2, 1), clRed);

    ASSERT_NE(form.TimerTick, nullptr);
    EXPECT_FALSE(form.TimerTick->Enabled());
    EXPECT_EQ(form.TimerTick->Interval(), 500u);
    EXPECT_TRUE(static_cast<bool>(form.TimerTick->OnTimer));

    // Events are bound to the form's handlers: a real click of the button.
    SendMessageW(form.BtnGo->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.clicks, 1);
    EXPECT_EQ(form.lastSender, form.BtnGo);
    form.pngStart->Click();
    EXPECT_EQ(form.clicks, 2);
    EXPECT_EQ(form.lastSender, form.pngStart);

    // The image anchored right keeps its distance from the right edge.
    const int gap = form.ClientWidth() - form.ImgIcon->Left();
    form.SetClientWidth(400);
    EXPECT_EQ(form.ClientWidth() - form.ImgIcon->Left(), gap);
}

namespace {

// Loads text into a fresh form; returns the error text and checks that the
// failed load left no component behind.
std::string LoadError(const std::string& text) {
    TLoaderForm form(nullptr);
    std::string error = "(no error)";
    try {
        form.LoadFromText(text, L"LoaderForm");
    } catch (const EFormDescriptionError& e) {
        error = Narrow(e.Message());
    }
    EXPECT_EQ(form.ComponentCount(), 0) << error;
    EXPECT_EQ(form.ControlCount(), 0) << error;
    EXPECT_EQ(form.BtnGo, nullptr);
    EXPECT_FALSE(form.created) << "OnCreate ran after a failed load";
    return error;
}

std::string WithButton(const std::string& body) {
    return "TLoaderForm LoaderForm {\n  TGroupBox GBOuter {\n    TButton BtnGo {\n" + body + "\n    }\n  }\n}\n";
}

}  // namespace

TEST(FormDescriptionLoader, MismatchesAreClearErrorsAndLeaveNothingBehind) {
    EXPECT_EQ(LoadError("TOtherForm F {\n}\n"),
              "Form description \"LoaderForm\", line 1: the description is for class \"TOtherForm\", not for "
              "\"TLoaderForm\"");
    EXPECT_EQ(LoadError("TLoaderForm LoaderForm {\n  TButton BtnGo { }\n  TWidget W { }\n}\n"),
              "Form description \"LoaderForm\", line 3: component \"W\" (TWidget): class \"TWidget\" is not known");
    const std::string unknownProp = LoadError(WithButton("      Colour = clRed"));
    EXPECT_NE(unknownProp.find("line 4: component \"BtnGo\" (TButton), property \"Colour\""), std::string::npos)
        << unknownProp;
    const std::string badHandler = LoadError(WithButton("      OnClick = NoSuchHandler"));
    EXPECT_NE(badHandler.find("component \"BtnGo\" (TButton), property \"OnClick\""), std::string::npos) << badHandler;
    EXPECT_NE(badHandler.find("NoSuchHandler"), std::string::npos) << badHandler;
    const std::string wrongSignature = LoadError(WithButton("      OnClick = KeyHandler"));
    EXPECT_NE(wrongSignature.find("property \"OnClick\""), std::string::npos) << wrongSignature;
    const std::string badEnum = LoadError(WithButton("      Visible = maybe"));
    EXPECT_NE(badEnum.find("property \"Visible\""), std::string::npos) << badEnum;
    const std::string badColour = LoadError(WithButton("      Color = clPlaid"));
    EXPECT_NE(badColour.find("\"clPlaid\" is not a colour name"), std::string::npos) << badColour;

    const std::string noField = LoadError("TLoaderForm LoaderForm {\n  TButton BtnStray { }\n}\n");
    EXPECT_EQ(noField,
              "Form description \"LoaderForm\", line 2: component \"BtnStray\" (TButton): the form \"TLoaderForm\" "
              "has no field \"BtnStray\"");
    const std::string wrongClass = LoadError("TLoaderForm LoaderForm {\n  TLabel BtnGo { }\n}\n");
    EXPECT_NE(wrongClass.find("component \"BtnGo\" (TLabel)"), std::string::npos) << wrongClass;

    const std::string badPng = LoadError(
        "TLoaderForm LoaderForm {\n  TPNGButton pngStart {\n    ImageNormal = hex { 89504E470D0A1A0A 0000 }\n  }\n}\n");
    EXPECT_NE(
        badPng.find("line 3: component \"pngStart\" (TPNGButton), property \"ImageNormal\": PNG data cannot be read"),
        std::string::npos)
        << badPng;
    const std::string badBitmap =
        LoadError("TLoaderForm LoaderForm {\n  TImage ImgIcon {\n    Picture = hex { 424D00 }\n  }\n}\n");
    EXPECT_NE(badBitmap.find("property \"Picture\": bitmap data is too short"), std::string::npos) << badBitmap;

    const std::string notContainer =
        LoadError("TLoaderForm LoaderForm {\n  TButton BtnGo {\n    TLabel lblInner { }\n  }\n}\n");
    EXPECT_NE(notContainer.find("cannot hold other controls"), std::string::npos) << notContainer;
    const std::string duplicate = LoadError("TLoaderForm LoaderForm {\n  TButton BtnGo { }\n  TButton BtnGo { }\n}\n");
    EXPECT_NE(duplicate.find("line 3: component \"BtnGo\" (TButton)"), std::string::npos) << duplicate;
}

TEST(FormDescriptionLoader, ResourceThatDoesNotExistIsAnError) {
    TLoaderForm form(nullptr);
    try {
        form.LoadFromResource(L"NO_SUCH_FORM");
        ADD_FAILURE() << "no error";
    } catch (const EFormDescriptionError& e) {
        EXPECT_EQ(e.Message(), L"Form description \"NO_SUCH_FORM\": no such resource in the program");
    }
}

TEST(FormDescriptionLoader, EveryCutOfADescriptionIsRefusedCleanly) {
    // Whatever prefix of a good description is given, the loader either
    // builds the whole form or raises a description error; nothing else.
    const std::string text = GoodDescription();
    int refused = 0;
    for (size_t cut = 0; cut < text.size(); cut += 13) {
        TLoaderForm form(nullptr);
        try {
            form.LoadFromText(text.substr(0, cut), L"cut");
        } catch (const EFormDescriptionError& e) {
            ++refused;
            EXPECT_EQ(form.ComponentCount(), 0) << Narrow(e.Message());
            EXPECT_FALSE(form.created);
            continue;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cut at " << cut << ": unexpected " << e.what();
            continue;
        }
    }
    EXPECT_GT(refused, 50);
}
