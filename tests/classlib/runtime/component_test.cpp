// Components: ownership, destruction order, notifications, names, the
// component QueryInterface and the class registry.
#include "classlib/runtime/component.h"
#include "classlib/runtime/lists.h"

#include <gtest/gtest.h>

#include <servprov.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> gLog;

// Records its destruction and every notification it receives.
class TRecorder : public TComponent {
public:
    TRecorder(TComponent* owner, const std::wstring& name) : TComponent(owner) { SetName(name); }
    ~TRecorder() override {
        // Free the owned components while this class can still hear of it.
        DestroyComponents();
        gLog.push_back(L"destroy " + Name());
    }
    TComponent* Partner = nullptr;
    std::vector<TComponent*> Inserted;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opInsert) Inserted.push_back(c);
        gLog.push_back(Name() + (op == TOperation::opInsert ? L" insert " : L" remove ") + c->Name());
        if (op == TOperation::opRemove && c == Partner) Partner = nullptr;
    }
};

class TServiceComponent : public TImplements<TComponent, IServiceProvider> {
public:
    using TImplements::TImplements;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID, REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
};

class RuntimeComponentTest : public ::testing::Test {
protected:
    void SetUp() override { gLog.clear(); }
};

TEST_F(RuntimeComponentTest, OwnerFreesOwnedInReverseOrderAndNotifiesTheRest) {
    auto* owner = new TRecorder(nullptr, L"Owner");
    new TRecorder(owner, L"A");
    new TRecorder(owner, L"B");
    new TRecorder(owner, L"C");
    EXPECT_EQ(owner->ComponentCount(), 3);
    gLog.clear();
    delete owner;
    // C goes first; the owner tells the components it still owns, last
    // first, and then hears of it itself.
    const std::vector<std::wstring> expected = {
        L"destroy C",  L"B remove C",     L"A remove C", L"Owner remove C", L"destroy B",
        L"A remove B", L"Owner remove B", L"destroy A",  L"Owner remove A", L"destroy Owner",
    };
    EXPECT_EQ(gLog, expected);
}

TEST_F(RuntimeComponentTest, InsertIsAnnouncedToTheOwnerAndItsComponents) {
    TRecorder owner(nullptr, L"Owner");
    auto* a = new TRecorder(&owner, L"A");
    auto* b = new TRecorder(&owner, L"B");
    EXPECT_EQ(a->Inserted, (std::vector<TComponent*>{b}));
    EXPECT_EQ(owner.Inserted, (std::vector<TComponent*>{a, b}));
    EXPECT_EQ(owner.Components(1), b);
}

TEST_F(RuntimeComponentTest, FreeingOneOwnedComponentClearsSiblingReferences) {
    TRecorder owner(nullptr, L"Owner");
    auto* graph = new TRecorder(&owner, L"Graph");
    auto* filter = new TRecorder(&owner, L"Filter");
    filter->Partner = graph;
    delete graph;
    EXPECT_EQ(filter->Partner, nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.FindComponent(L"graph"), nullptr);
    EXPECT_EQ(owner.FindComponent(L"FILTER"), filter);
}

TEST_F(RuntimeComponentTest, FreeNotificationAcrossOwners) {
    TRecorder ownerA(nullptr, L"OwnerA");
    TRecorder ownerB(nullptr, L"OwnerB");
    auto* a = new TRecorder(&ownerA, L"A");
    auto* b = new TRecorder(&ownerB, L"B");
    a->Partner = b;
    a->FreeNotification(b);
    delete b;
    EXPECT_EQ(a->Partner, nullptr);
    // The link is gone both ways: deleting a now tells nobody in ownerB.
    gLog.clear();
    delete a;
    for (const auto& line : gLog) EXPECT_EQ(line.find(L"OwnerB"), std::wstring::npos) << line;
}

TEST_F(RuntimeComponentTest, NamesAreIdentifiersUniqueWithinTheOwner) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    a->SetName(L"Timer1");
    auto* b = new TComponent(&owner);
    EXPECT_THROW(b->SetName(L"timer1"), EComponentError);
    EXPECT_THROW(b->SetName(L"1Timer"), EComponentError);
    EXPECT_THROW(b->SetName(L"Has Space"), EComponentError);
    b->SetName(L"_Timer2");
    EXPECT_EQ(b->Name(), L"_Timer2");
    b->SetName(L"");  // an empty name is allowed
    EXPECT_EQ(b->Name(), L"");
    a->SetTag(7);
    EXPECT_EQ(a->Tag(), 7);
}

TEST_F(RuntimeComponentTest, ComponentIndexErrorsAndOwnershipTransfer) {
    TComponent first(nullptr), second(nullptr);
    auto* c = new TComponent(&first);
    EXPECT_THROW(first.Components(1), EListError);
    EXPECT_THROW(first.Components(-1), EListError);
    second.InsertComponent(c);
    EXPECT_EQ(c->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(c->ComponentIndex(), 0);
    second.RemoveComponent(c);
    EXPECT_EQ(c->Owner(), nullptr);
    delete c;
    EXPECT_EQ(second.ComponentCount(), 0);
}

TEST_F(RuntimeComponentTest, InsertingADuplicateNameIsRefused) {
    TComponent first(nullptr), second(nullptr);
    auto* a = new TComponent(&first);
    a->SetName(L"Same");
    auto* b = new TComponent(&second);
    b->SetName(L"Same");
    EXPECT_THROW(first.InsertComponent(b), EComponentError);
    EXPECT_EQ(b->Owner(), &second);
}

TEST_F(RuntimeComponentTest, QueryInterfaceAnswersDeclaredInterfacesWithoutCounting) {
    TServiceComponent c(nullptr);
    IUnknown* unknown = static_cast<TComponent*>(&c);
    ComPtr<IServiceProvider> sp;
    ASSERT_EQ(unknown->QueryInterface(IID_IServiceProvider, sp.PutVoid()), S_OK);
    EXPECT_EQ(sp.Get(), static_cast<IServiceProvider*>(&c));
    ComPtr<IUnknown> back;
    ASSERT_EQ(sp->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
    EXPECT_EQ(back.Get(), unknown);
    EXPECT_EQ(sp->AddRef(), static_cast<ULONG>(-1));
    EXPECT_EQ(sp->Release(), static_cast<ULONG>(-1));
    ComPtr<IStream> none;
    EXPECT_EQ(unknown->QueryInterface(IID_IStream, none.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_THROW(InterfaceCast<IStream>(unknown), EIntfCastError);
    EXPECT_TRUE(Supports<IServiceProvider>(unknown));
    // The component outlives all those references: its owner decides.
}

// A further class adds an interface; another forwards what it does not
// declare itself, as a graph component forwards to the graph it holds.
class TServiceAndPersist : public TImplements<TServiceComponent, IPersist> {
public:
    using TImplements::TImplements;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        *id = CLSID_NULL;
        return S_OK;
    }
};

class TForwarding : public TServiceAndPersist {
public:
    using TServiceAndPersist::TServiceAndPersist;
    IUnknown* Inner = nullptr;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        const HRESULT hr = TServiceAndPersist::QueryInterface(iid, ppv);
        if (SUCCEEDED(hr) || !Inner) return hr;
        return Inner->QueryInterface(iid, ppv);
    }
};

TEST_F(RuntimeComponentTest, InheritedInterfacesAndAForwardingQueryInterface) {
    TServiceComponent inner(nullptr);
    TForwarding outer(nullptr);
    outer.Inner = static_cast<TComponent*>(&inner);
    IPersist* persist = &outer;
    ComPtr<IServiceProvider> sp;
    // Asked through any of its interfaces, the override answers.
    ASSERT_EQ(persist->QueryInterface(IID_IServiceProvider, sp.PutVoid()), S_OK);
    EXPECT_EQ(sp.Get(), static_cast<IServiceProvider*>(&outer));
    ComPtr<IPersist> back;
    ASSERT_EQ(sp->QueryInterface(IID_IPersist, back.PutVoid()), S_OK);
    EXPECT_EQ(back.Get(), persist);
    ComPtr<IStream> none;
    EXPECT_EQ(sp->QueryInterface(IID_IStream, none.PutVoid()), E_NOINTERFACE);
    outer.Inner = nullptr;
}

TEST_F(RuntimeComponentTest, LoadedClearsTheLoadingState) {
    TComponent c(nullptr);
    c.Loading();
    EXPECT_TRUE(c.ComponentState() & csLoading);
    c.Loaded();
    EXPECT_FALSE(c.ComponentState() & csLoading);
}

TEST_F(RuntimeComponentTest, ClassRegistryCreatesByName) {
    RegisterComponentClass<TServiceComponent>(L"TServiceComponent");
    const TComponentClass* cls = FindComponentClass(L"tservicecomponent");
    ASSERT_NE(cls, nullptr);
    TComponent owner(nullptr);
    TComponent* made = cls->Create(&owner);
    EXPECT_NE(dynamic_cast<TServiceComponent*>(made), nullptr);
    EXPECT_EQ(made->Owner(), &owner);
    EXPECT_EQ(made->ClassName(), L"TServiceComponent");
    EXPECT_EQ(FindComponentClass(L"TNothing"), nullptr);
    EXPECT_NE(FindComponentClass(L"TTimer"), nullptr);
}

}  // namespace
