// Assignment, binary properties through the filers, and the published-
// property table: properties, events and fields set by name.
#include "classlib/runtime/component.h"
#include "classlib/runtime/lists.h"
#include "classlib/runtime/persistent.h"
#include "classlib/runtime/properties.h"
#include "classlib/runtime/timer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A block of bytes streamed as the property "data": a 4-byte length, then
// the bytes. Stored unless the ancestor holds the same bytes.
class TBlob : public TPersistent {
public:
    std::vector<uint8_t> Bytes;

    void Assign(TPersistent* Source) override {
        if (auto* other = dynamic_cast<TBlob*>(Source)) {
            if (other != this) Bytes = other->Bytes;
            return;
        }
        TPersistent::Assign(Source);
    }

protected:
    void AssignTo(TPersistent* Dest) override { Dest->Assign(this); }
    void DefineProperties(TFiler& Filer) override {
        auto* ancestor = dynamic_cast<TBlob*>(Filer.Ancestor());
        const bool hasData = !ancestor || ancestor->Bytes != Bytes;
        Filer.DefineBinaryProperty(
            L"data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
    }

private:
    void ReadData(TStream& s) {
        uint32_t n = 0;
        s.ReadBuffer(&n, 4);
        if (n > s.Size() - s.Position()) throw EReadError(L"data is shorter than its length");
        Bytes.resize(n);
        if (n) s.ReadBuffer(Bytes.data(), n);
    }
    void WriteData(TStream& s) {
        const uint32_t n = static_cast<uint32_t>(Bytes.size());
        s.WriteBuffer(&n, 4);
        if (n) s.WriteBuffer(Bytes.data(), n);
    }
};

class TOther : public TPersistent {};

TEST(RuntimePersistentTest, DefaultAssignmentRaisesTheAssignmentError) {
    TBlob blob;
    TOther other;
    try {
        other.Assign(&blob);
        FAIL() << "no error";
    } catch (const EAssignError& e) {
        EXPECT_EQ(e.Message(), L"Cannot assign a TBlob to a TOther");
    }
    EXPECT_THROW(blob.Assign(nullptr), EAssignError);
    EXPECT_THROW(blob.Assign(&other), EConvertError);
}

TEST(RuntimePersistentTest, AssignToThatHandsBackEndsInTheAssignmentError) {
    // TBlob::AssignTo hands the call to the target's Assign, whose default
    // hands it back: the second round raises instead of recursing forever.
    TBlob blob;
    TStringList list;
    EXPECT_THROW(list.Assign(&blob), EAssignError);
    // And a normal assignment still works afterwards on this thread.
    TBlob copy;
    blob.Bytes = {1, 2, 3};
    copy.Assign(&blob);
    EXPECT_EQ(copy.Bytes, blob.Bytes);
}

TEST(RuntimePersistentTest, BinaryPropertyRoundTripWithoutAncestor) {
    TBlob source;
    source.Bytes = {0xDE, 0xAD, 0xBE, 0xEF, 0x00};
    const auto stored = WriteBinaryProperties(source);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, L"data");
    ASSERT_EQ(stored[0].Data.size(), 4u + 5u);
    EXPECT_EQ(stored[0].Data[0], 5);

    TBlob target;
    EXPECT_TRUE(ReadBinaryProperty(target, L"DATA", stored[0].Data));
    EXPECT_EQ(target.Bytes, source.Bytes);
    EXPECT_FALSE(ReadBinaryProperty(target, L"other", stored[0].Data));
}

TEST(RuntimePersistentTest, BinaryPropertyAgainstAnAncestor) {
    TBlob object, same, different;
    object.Bytes = {1, 2};
    same.Bytes = {1, 2};
    different.Bytes = {3};
    EXPECT_TRUE(WriteBinaryProperties(object, &same).empty());
    EXPECT_EQ(WriteBinaryProperties(object, &different).size(), 1u);
    TOther unrelated;
    EXPECT_EQ(WriteBinaryProperties(object, &unrelated).size(), 1u);
    // An empty object is stored as its four length bytes.
    TBlob empty;
    const auto stored = WriteBinaryProperties(empty);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Data, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(RuntimePersistentTest, ShortBinaryValueIsRefusedByItsReader) {
    TBlob target;
    target.Bytes = {9};
    EXPECT_THROW(ReadBinaryProperty(target, L"data", {10, 0, 0, 0, 1}), EReadError);
    EXPECT_THROW(ReadBinaryProperty(target, L"data", {1, 0}), EReadError);
}

// A component publishing one property of every kind.
enum TMode { mdFirst, mdSecond, mdThird };

class TGadget : public TComponent {
public:
    using TComponent::TComponent;

    int Width() const { return FWidth; }
    void SetWidth(int v) {
        FWidth = v;
        ++WidthWrites;
    }
    int WidthWrites = 0;
    TMode Mode = mdFirst;
    bool Visible = true;
    std::wstring Caption;
    double Ratio = 0;
    unsigned Anchors = 0;
    TGadget* Buddy = nullptr;
    TStringList Items;
    TBlob Picture;
    TNotifyEvent OnClick;
    std::function<void(TObject*, const std::wstring&, int)> OnLine;
    const TNotifyEvent& OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = std::move(e); }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TGadget>(L"TGadget", &TComponent::ClassProperties())
                .Integer(L"Width", &TGadget::Width, &TGadget::SetWidth, 10)
                .Enumeration(L"Mode", {L"mdFirst", L"mdSecond", L"mdThird"}, &TGadget::Mode, mdFirst)
                .Boolean(L"Visible", &TGadget::Visible, true)
                .String(L"Caption", &TGadget::Caption)
                .Float(L"Ratio", &TGadget::Ratio)
                .Set(L"Anchors", {L"akLeft", L"akTop", L"akRight", L"akBottom"}, &TGadget::Anchors)
                .Component<TGadget>(L"Buddy", &TGadget::Buddy, &TGadget::Buddy)
                .Object(L"Items", &TGadget::Items)
                .Object(L"Picture", &TGadget::Picture)
                .Event(L"OnClick", &TGadget::OnClick)
                .Event(L"OnLine", &TGadget::OnLine)
                .Event(L"OnChange", &TGadget::OnChange, &TGadget::SetOnChange)
                .Build();
        return table;
    }

private:
    int FWidth = 10;
    TNotifyEvent FOnChange;
};

// The form-like root that owns the gadgets and publishes handlers and fields.
class TPanelForm : public TComponent {
public:
    using TComponent::TComponent;
    TGadget* Gadget1 = nullptr;
    TTimer* Timer1 = nullptr;
    std::vector<std::wstring> Calls;

    void Gadget1Click(TObject* Sender) { Calls.push_back(L"click " + static_cast<TComponent*>(Sender)->Name()); }
    void Gadget1Line(TObject*, const std::wstring& line, int kind) {
        Calls.push_back(L"line " + line + L" " + std::to_wstring(kind));
    }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TPanelForm>(L"TPanelForm", &TComponent::ClassProperties())
                .Method(L"Gadget1Click", &TPanelForm::Gadget1Click)
                .Method(L"Gadget1Line", &TPanelForm::Gadget1Line)
                .Field(L"Gadget1", &TPanelForm::Gadget1)
                .Field(L"Timer1", &TPanelForm::Timer1)
                .Build();
        return table;
    }
};

TEST(RuntimePropertyTableTest, LookupIsCaseInsensitiveAndIncludesTheParents) {
    const TPropertyTable& t = TGadget::ClassProperties();
    ASSERT_NE(t.FindProperty(L"width"), nullptr);
    EXPECT_EQ(t.FindProperty(L"WIDTH")->Kind, TPropertyKind::Integer);
    ASSERT_NE(t.FindProperty(L"Name"), nullptr);
    ASSERT_NE(t.FindProperty(L"Tag"), nullptr);
    EXPECT_EQ(t.FindProperty(L"Nothing"), nullptr);
    const auto all = t.AllProperties();
    ASSERT_GE(all.size(), 13u);
    EXPECT_EQ(all[0]->Name, L"Name");
    EXPECT_EQ(all[1]->Name, L"Tag");
    EXPECT_EQ(all[2]->Name, L"Width");
    EXPECT_EQ(std::get<int64_t>(*t.FindProperty(L"Width")->Default), 10);
}

TEST(RuntimePropertyTableTest, SetsPropertiesOfEveryKindByName) {
    TPanelForm form(nullptr);
    auto* g = new TGadget(&form);
    auto* buddy = new TGadget(&form);
    SetPropertyValue(*g, L"Name", std::wstring(L"Gadget1"), &form);
    buddy->SetName(L"Buddy1");
    SetPropertyValue(*g, L"Width", int64_t{320}, &form);
    SetPropertyValue(*g, L"mode", TIdent{L"mdThird"}, &form);
    SetPropertyValue(*g, L"Visible", TIdent{L"False"}, &form);
    SetPropertyValue(*g, L"Caption", std::wstring(L"録画開始"), &form);
    SetPropertyValue(*g, L"Ratio", 1.5, &form);
    SetPropertyValue(*g, L"Anchors", TSetValue{{L"akLeft", L"akBottom"}}, &form);
    SetPropertyValue(*g, L"Buddy", TIdent{L"Buddy1"}, &form);
    SetPropertyValue(*g, L"Items.Strings", TStringsValue{{L"30", L"25", L"20"}}, &form);
    SetPropertyValue(*g, L"Picture.data", TBinaryValue{{2, 0, 0, 0, 7, 8}}, &form);
    SetPropertyValue(*g, L"Tag", int64_t{2}, &form);

    EXPECT_EQ(g->Name(), L"Gadget1");
    EXPECT_EQ(g->Width(), 320);
    EXPECT_EQ(g->Mode, mdThird);
    EXPECT_FALSE(g->Visible);
    EXPECT_EQ(g->Caption, L"録画開始");
    EXPECT_DOUBLE_EQ(g->Ratio, 1.5);
    EXPECT_EQ(g->Anchors, 0b1001u);
    EXPECT_EQ(g->Buddy, buddy);
    EXPECT_EQ(g->Items.Text(), L"30\r\n25\r\n20\r\n");
    EXPECT_EQ(g->Picture.Bytes, (std::vector<uint8_t>{7, 8}));
    EXPECT_EQ(g->Tag(), 2);

    EXPECT_EQ(std::get<TIdent>(GetPropertyValue(*g, L"Mode")).Name, L"mdThird");
    EXPECT_EQ(std::get<TSetValue>(GetPropertyValue(*g, L"Anchors")).Items,
              (std::vector<std::wstring>{L"akLeft", L"akBottom"}));
    EXPECT_EQ(std::get<TIdent>(GetPropertyValue(*g, L"Buddy")).Name, L"Buddy1");
    EXPECT_EQ(std::get<int64_t>(GetPropertyValue(*g, L"Width")), 320);
}

TEST(RuntimePropertyTableTest, WrongValuesAndUnknownNamesAreRefusedWithoutChanges) {
    TPanelForm form(nullptr);
    auto* g = new TGadget(&form);
    SetPropertyValue(*g, L"Width", int64_t{5}, &form);
    const int writes = g->WidthWrites;
    EXPECT_THROW(SetPropertyValue(*g, L"Width", std::wstring(L"wide"), &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Mode", TIdent{L"mdFourth"}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Mode", int64_t{3}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Visible", TIdent{L"Maybe"}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Anchors", TSetValue{{L"akMiddle"}}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Height", int64_t{1}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Width", int64_t{1} << 40, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Width.Sub", int64_t{1}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Buddy", TIdent{L"Missing"}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Picture.other", TBinaryValue{{0, 0, 0, 0}}, &form), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"Name", std::wstring(L"bad name"), &form), EComponentError);
    EXPECT_EQ(g->WidthWrites, writes);
    EXPECT_EQ(g->Width(), 5);
    EXPECT_EQ(g->Mode, mdFirst);
    EXPECT_TRUE(g->Visible);
}

TEST(RuntimePropertyTableTest, EventsAreBoundByHandlerNameToTheRoot) {
    TPanelForm form(nullptr);
    auto* g = new TGadget(&form);
    g->SetName(L"Gadget1");
    SetPropertyValue(*g, L"OnClick", TIdent{L"gadget1click"}, &form);
    BindEvent(*g, L"OnLine", form, L"Gadget1Line");
    ASSERT_TRUE(g->OnClick);
    ASSERT_TRUE(g->OnLine);
    g->OnClick(g);
    g->OnLine(g, L"time=12.34", 1);
    EXPECT_EQ(form.Calls, (std::vector<std::wstring>{L"click Gadget1", L"line time=12.34 1"}));
    EXPECT_TRUE(std::get<bool>(GetPropertyValue(*g, L"OnClick")));

    BindEvent(*g, L"OnChange", form, L"Gadget1Click");
    ASSERT_TRUE(g->OnChange());
    g->OnChange()(g);
    EXPECT_EQ(form.Calls.back(), L"click Gadget1");
    EXPECT_THROW(BindEvent(*g, L"OnChange", form, L"Gadget1Line"), EPropertyError);

    // A handler of another signature, or none of that name, is refused.
    EXPECT_THROW(BindEvent(*g, L"OnClick", form, L"Gadget1Line"), EPropertyError);
    EXPECT_THROW(BindEvent(*g, L"OnClick", form, L"NoSuchHandler"), EPropertyError);
    EXPECT_THROW(BindEvent(*g, L"Width", form, L"Gadget1Click"), EPropertyError);
    EXPECT_THROW(SetPropertyValue(*g, L"OnClick", TIdent{L"Gadget1Click"}, nullptr), EPropertyError);
    // Clearing.
    SetPropertyValue(*g, L"OnClick", TPropertyValue{}, &form);
    EXPECT_FALSE(g->OnClick);
}

TEST(RuntimePropertyTableTest, PublishedFieldsReceiveComponentsByName) {
    TPanelForm form(nullptr);
    auto* g = new TGadget(&form);
    g->SetName(L"Gadget1");
    EXPECT_TRUE(BindPublishedField(form, *g));
    EXPECT_EQ(form.Gadget1, g);
    auto* wrong = new TGadget(&form);
    wrong->SetName(L"Timer1");
    EXPECT_THROW(BindPublishedField(form, *wrong), EPropertyError);
    EXPECT_EQ(form.Timer1, nullptr);
    auto* timer = TTimer::ClassProperties().FindProperty(L"Interval");
    EXPECT_NE(timer, nullptr);
    auto* unnamed = new TGadget(&form);
    EXPECT_FALSE(BindPublishedField(form, *unnamed));
}

TEST(RuntimePropertyTableTest, TimerIntervalOutsideItsRangeIsRefused) {
    TTimer timer(nullptr);
    timer.SetEnabled(false);
    EXPECT_THROW(SetPropertyValue(timer, L"Interval", int64_t{-1}), EPropertyError);
    EXPECT_EQ(timer.Interval(), 1000u);
}

TEST(RuntimePropertyTableTest, TimerPropertiesAndEventFromADescription) {
    TPanelForm form(nullptr);
    const TComponentClass* cls = FindComponentClass(L"TTimer");
    ASSERT_NE(cls, nullptr);
    TComponent* made = cls->Create(&form);
    made->SetName(L"Timer1");
    ASSERT_TRUE(BindPublishedField(form, *made));
    SetPropertyValue(*made, L"Enabled", TIdent{L"False"}, &form);
    SetPropertyValue(*made, L"Interval", int64_t{500}, &form);
    SetPropertyValue(*made, L"OnTimer", TIdent{L"Gadget1Click"}, &form);
    ASSERT_NE(form.Timer1, nullptr);
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.Timer1->Interval(), 500u);
    ASSERT_TRUE(form.Timer1->OnTimer);
    form.Timer1->OnTimer(form.Timer1);
    EXPECT_EQ(form.Calls, (std::vector<std::wstring>{L"click Timer1"}));
}

}  // namespace
