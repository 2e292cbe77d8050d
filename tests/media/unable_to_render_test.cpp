// The graph component's IAMFilterGraphCallback.UnableToRender: its slot
// called exactly as the documented contract has the filter graph manager
// call it on 32-bit x86 (thiscall: object in ECX, pin pushed, callee pops 4
// bytes) and as a standard COM method (object and pin pushed, callee pops
// 8), with the stack checked across each call; and the platform's own
// manager given a pin that nothing can render.
#include "baseclasses/baseclasses.h"
#include "media/filter_graph.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/media/device_test_support.h"
#include "tests/media/graph_component_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using namespace graphcomponenttest;

// A major type that no filter accepts. {3C1B7E52-9A4D-4F0E-8B61-52D0A7E4C901}
constexpr GUID MEDIATYPE_Unrenderable{0x3C1B7E52, 0x9A4D, 0x4F0E, {0x8B, 0x61, 0x52, 0xD0, 0xA7, 0xE4, 0xC9, 0x01}};
// {3C1B7E52-9A4D-4F0E-8B61-52D0A7E4C902}
constexpr CLSID CLSID_UnrenderableSource{0x3C1B7E52, 0x9A4D, 0x4F0E, {0x8B, 0x61, 0x52, 0xD0, 0xA7, 0xE4, 0xC9, 0x02}};

class TUnrenderablePin : public TBCSourceStream {
public:
    explicit TUnrenderablePin(TBCSource* filter) : TBCSourceStream(L"Unrenderable", filter, L"Out") {}

    using TBCSourceStream::GetMediaType;
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override {
        if (type == nullptr) return E_POINTER;
        *type = AM_MEDIA_TYPE{};
        type->majortype = MEDIATYPE_Unrenderable;
        type->subtype = MEDIATYPE_Unrenderable;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = 16;
        type->formattype = FORMAT_None;
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = 1;
        request->cbBuffer = 16;
        ALLOCATOR_PROPERTIES actual{};
        return allocator->SetProperties(request, &actual);
    }
    HRESULT FillBuffer(IMediaSample*) override { return S_FALSE; }
};

// A source whose one pin nothing renders. When ReportedGraph is set, its
// filter information names that graph instead of the one it joined.
class TUnrenderableSource : public TBCSource {
public:
    TUnrenderableSource()
        : TBCSource(L"Unrenderable", nullptr, CLSID_UnrenderableSource), Pin(new TUnrenderablePin(this)) {}

    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        const HRESULT hr = TBCSource::QueryFilterInfo(info);
        if (hr == S_OK && ReportedGraph) {
            if (info->pGraph) info->pGraph->Release();
            info->pGraph = ReportedGraph;
            ReportedGraph->AddRef();
        }
        return hr;
    }

    IFilterGraph* ReportedGraph = nullptr;
    TUnrenderablePin* Pin;  // owned by the base filter's pin list
};

// A new source, held by the reference in held.
TUnrenderableSource* NewUnrenderableSource(ComPtr<IBaseFilter>& held) {
    TUnrenderableSource* filter = nullptr;
    if (TBCBuildSource(&filter, [] { return std::make_unique<TUnrenderableSource>(); }) != S_OK) return nullptr;
    held = ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(filter));
    return filter;
}

// A site that records which interfaces the manager asks it for, and hands
// out the component's.
class TSiteSpy final : public IUnknown {
public:
    explicit TSiteSpy(IUnknown* component) : FComponent(component) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        Asked.push_back(iid);
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            return S_OK;
        }
        return FComponent->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    std::vector<GUID> Asked;

private:
    IUnknown* FComponent;
};

// A component, the unrenderable source, and a graph that leads from the
// source's pin to the component.
class UnableToRenderTest : public devicetest::FixtureTest {
protected:
    void SetUp() override {
        Source = NewUnrenderableSource(SourceRef);
        ASSERT_TRUE(Source);
        ASSERT_EQ(Graph.QueryInterface(IID_IServiceProvider, Site.PutVoid()), S_OK);
        ASSERT_EQ(Graph.QueryInterface(IID_IAMFilterGraphCallback, Callback.PutVoid()), S_OK);
        Service = std::make_unique<TServiceGraph>(Site.Get(), nullptr);
        ASSERT_EQ(Source->JoinFilterGraph(Service.get(), L"Unrenderable"), S_OK);
        Pin = Source->Pin;
        Graph.OnUnableToRender = [this](IPin* p) {
            Asked.push_back(p);
            return Answer;
        };
    }
    void TearDown() override {
        if (Source) Source->JoinFilterGraph(nullptr, nullptr);
    }

    TFilterGraph Graph{nullptr};
    ComPtr<IServiceProvider> Site;
    ComPtr<IUnknown> Callback;
    ComPtr<IBaseFilter> SourceRef;
    TUnrenderableSource* Source = nullptr;
    std::unique_ptr<TServiceGraph> Service;
    IPin* Pin = nullptr;
    bool Answer = true;
    std::vector<IPin*> Asked;
    MessageBoxCapture Boxes;
};

// The slot's entry, read from the interface's function table.
void* Slot(IUnknown* object, int index) { return (*reinterpret_cast<void***>(object))[index]; }

TEST_F(UnableToRenderTest, TheInterfaceIsTheComponentsOwn) {
    // IUnknown through the callback is the component's.
    ComPtr<IUnknown> fromCallback, fromComponent;
    ASSERT_EQ(Callback->QueryInterface(IID_IUnknown, fromCallback.PutVoid()), S_OK);
    ASSERT_EQ(Graph.QueryInterface(IID_IUnknown, fromComponent.PutVoid()), S_OK);
    EXPECT_EQ(fromCallback.Get(), fromComponent.Get());
    ComPtr<IAMGraphBuilderCallback> builder;
    EXPECT_EQ(Callback->QueryInterface(IID_IAMGraphBuilderCallback, builder.PutVoid()), S_OK);
    ComPtr<IUnknown> again;
    ASSERT_EQ(builder->QueryInterface(IID_IAMFilterGraphCallback, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), Callback.Get());
    // The slot after IUnknown's three is UnableToRender's entry.
    EXPECT_EQ(Slot(Callback.Get(), 3), reinterpret_cast<void*>(TFilterGraphCallback::Table().UnableToRender));
}

TEST_F(UnableToRenderTest, CalledThroughThePlatformsDeclaration) {
    // However this compiler calls a method declared as the platform
    // declares it (thiscall on 32-bit x86, the one convention on x64).
    auto* callback = reinterpret_cast<IAMFilterGraphCallback*>(Callback.Get());
    EXPECT_EQ(callback->UnableToRender(Pin), S_OK);
    Answer = false;
    EXPECT_EQ(callback->UnableToRender(Pin), S_FALSE);
    EXPECT_EQ(callback->UnableToRender(nullptr), S_FALSE);
    ASSERT_EQ(Asked.size(), 2u);
    EXPECT_EQ(Asked[0], Pin);
    EXPECT_EQ(Asked[1], Pin);
    Graph.OnUnableToRender = [](IPin*) -> bool { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(callback->UnableToRender(Pin), S_FALSE);
    EXPECT_EQ(Boxes.Texts.size(), 1u);
}

#if defined(__i386__)

struct SlotCall {
    HRESULT Result;
    intptr_t StackMoved;  // ESP after the call minus ESP before it
};

// As the documented contract has the manager call: ECX = object, the pin
// pushed, the callee pops it.
SlotCall CallThiscall(void* slot, void* object, IPin* pin) {
    HRESULT result;
    intptr_t moved;
    void* ecx = object;
    IPin* pushed = pin;
    asm volatile(
        "movl %%esp, %%edi\n\t"
        "pushl %[pin]\n\t"
        "call *%[slot]\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%edi, %%edx\n\t"
        "movl %%edi, %%esp\n\t"
        : "=a"(result), "=d"(moved), "+c"(ecx)
        : [slot] "b"(slot), [pin] "S"(pushed)
        : "edi", "memory", "cc");
    return {result, moved};
}

// As a standard COM method: the pin pushed, then the object; the callee
// pops both. ECX holds junk.
SlotCall CallStdcall(void* slot, void* object, IPin* pin) {
    HRESULT result;
    intptr_t moved;
    void* ecx = reinterpret_cast<void*>(0x5A5A5A5A);
    asm volatile(
        "movl %%esp, %%edi\n\t"
        "pushl %[pin]\n\t"
        "pushl %[object]\n\t"
        "call *%[slot]\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%edi, %%edx\n\t"
        "movl %%edi, %%esp\n\t"
        : "=a"(result), "=d"(moved), "+c"(ecx)
        : [slot] "b"(slot), [object] "S"(object), [pin] "r"(pin)
        : "edi", "memory", "cc");
    return {result, moved};
}

#endif

// Where these tests are skipped: the x64 build has one calling convention.
constexpr const char* kOneConvention =
    "x64 has one calling convention; the 32-bit entry's thiscall and standard-call forms are tested "
    "in the i686 build, where the kernel and Wine run 32-bit programs";

TEST_F(UnableToRenderTest, SlotCalledAsThePlatformDocumentsIt) {
#if !defined(__i386__)
    GTEST_SKIP() << kOneConvention;
#else
    void* slot = Slot(Callback.Get(), 3);
    SlotCall call = CallThiscall(slot, Callback.Get(), Pin);
    EXPECT_EQ(call.Result, S_OK);
    EXPECT_EQ(call.StackMoved, 0);
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], Pin);

    Answer = false;
    call = CallThiscall(slot, Callback.Get(), Pin);
    EXPECT_EQ(call.Result, S_FALSE);
    EXPECT_EQ(call.StackMoved, 0);
    ASSERT_EQ(Asked.size(), 2u);
    EXPECT_EQ(Asked[1], Pin);

    // The entry does not rely on ECX: the component is found through the pin.
    Answer = true;
    call = CallThiscall(slot, nullptr, Pin);
    EXPECT_EQ(call.Result, S_OK);
    EXPECT_EQ(call.StackMoved, 0);
    ASSERT_EQ(Asked.size(), 3u);
    EXPECT_EQ(Asked[2], Pin);

    // No pin: nothing to find, and still 4 bytes popped.
    call = CallThiscall(slot, Callback.Get(), nullptr);
    EXPECT_EQ(call.Result, S_FALSE);
    EXPECT_EQ(call.StackMoved, 0);
    EXPECT_EQ(Asked.size(), 3u);
#endif
}

TEST_F(UnableToRenderTest, SlotCalledAsAStandardMethod) {
#if !defined(__i386__)
    GTEST_SKIP() << kOneConvention;
#else
    void* slot = Slot(Callback.Get(), 3);
    SlotCall call = CallStdcall(slot, Callback.Get(), Pin);
    EXPECT_EQ(call.Result, S_OK);
    EXPECT_EQ(call.StackMoved, 0);
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], Pin);

    Answer = false;
    call = CallStdcall(slot, Callback.Get(), Pin);
    EXPECT_EQ(call.Result, S_FALSE);
    EXPECT_EQ(call.StackMoved, 0);
    ASSERT_EQ(Asked.size(), 2u);

    call = CallStdcall(slot, Callback.Get(), nullptr);
    EXPECT_EQ(call.Result, S_FALSE);
    EXPECT_EQ(call.StackMoved, 0);
    EXPECT_EQ(Asked.size(), 2u);
#endif
}

// A site that counts the references the manager holds on it.
class TCountedSite final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++References); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--References); }

    long References = 0;
};

TEST_F(UnableToRenderTest, TheManagerLetsGoOfItsSiteAtDeactivation) {
    Graph.SetActive(true);
    ComPtr<IObjectWithSite> withSite;
    ASSERT_EQ(Graph.QueryInterface(IID_IObjectWithSite, withSite.PutVoid()), S_OK);
    // A site in the component's place shows what the manager still holds
    // when the component is done with it.
    TCountedSite counted;
    ASSERT_EQ(withSite->SetSite(&counted), S_OK);
    EXPECT_GT(counted.References, 0);
    // The manager stays alive here past the deactivation, as it may when
    // anyone else holds it: it keeps no site.
    Graph.SetActive(false);
    EXPECT_EQ(counted.References, 0);
    withSite.Reset();
}

// The platform's own manager, with the component as its site, asked to
// render a pin that nothing can render. Its filter reports a graph that
// passes service requests to the site, as the documented manager does.
TEST_F(UnableToRenderTest, ThePlatformsManagerWithAnUnrenderablePin) {
    ASSERT_EQ(Source->JoinFilterGraph(nullptr, nullptr), S_OK);
    Graph.SetMode(gmCapture);
    Graph.SetActive(true);
    ComPtr<IGraphBuilder> manager = Manager(Graph);
    ASSERT_TRUE(manager);
    ComPtr<IServiceProvider> managerProvider;
    const bool managerProvides =
        manager->QueryInterface(IID_IServiceProvider, managerProvider.PutVoid()) == S_OK && managerProvider;
    TServiceGraph reported(Site.Get(), manager.Get());
    Source->ReportedGraph = &reported;
    ASSERT_EQ(manager->AddFilter(SourceRef.Get(), L"Unrenderable"), S_OK);
    // The component is the site already; a spy in its place shows what the
    // manager asks the site for while it renders.
    TSiteSpy spy(Callback.Get());
    ComPtr<IObjectWithSite> withSite;
    const bool siteTaken = manager->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()) == S_OK && withSite &&
                           withSite->SetSite(&spy) == S_OK;
    spy.Asked.clear();

    const HRESULT rendered = manager->Render(Pin);
    const size_t afterRender = Asked.size();
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(Graph.QueryInterface(IID_ICaptureGraphBuilder2, builder.PutVoid()), S_OK);
    const HRESULT streamed = builder->RenderStream(nullptr, nullptr, SourceRef.Get(), nullptr, nullptr);
    const size_t afterStream = Asked.size() - afterRender;
    const auto askedFor = [&spy](REFIID iid) { return std::count(spy.Asked.begin(), spy.Asked.end(), iid); };
    std::cout << "manager answers IServiceProvider: " << (managerProvides ? "yes" : "no") << "\n"
              << "manager takes a site: " << (siteTaken ? "yes" : "no") << "\n"
              << "site asked for IAMFilterGraphCallback " << askedFor(IID_IAMFilterGraphCallback)
              << " times, IAMGraphBuilderCallback " << askedFor(IID_IAMGraphBuilderCallback) << " times, "
              << spy.Asked.size() << " queries in all\n"
              << "Render: 0x" << std::hex << static_cast<unsigned long>(rendered) << std::dec
              << ", UnableToRender calls: " << afterRender << "\n"
              << "RenderStream: 0x" << std::hex << static_cast<unsigned long>(streamed) << std::dec
              << ", UnableToRender calls: " << afterStream << "\n";
    // Nothing could be rendered, and whatever the manager called reached
    // the handler with the pin it could not render.
    EXPECT_TRUE(FAILED(rendered) || rendered == VFW_S_PARTIAL_RENDER) << std::hex << rendered;
    for (IPin* asked : Asked) EXPECT_EQ(asked, Pin);
    if (siteTaken) withSite->SetSite(Callback.Get());
    Source->ReportedGraph = nullptr;
    EXPECT_EQ(manager->RemoveFilter(SourceRef.Get()), S_OK);
    Graph.SetActive(false);
}

}  // namespace
