// The moniker-bound filter wrapper as a member of the graph component, with
// monikers of the fixture compressor that can be saved; both components
// declared in a form description.
#include "media/filter.h"
#include "media/filter_graph.h"
#include "media/sys_dev_enum.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/fixtures/media/saveable_device_enum.h"
#include "tests/media/device_test_support.h"
#include "tests/media/graph_component_support.h"

#include "classlib/ui/form_description.h"

#include <gtest/gtest.h>

#include <sstream>

// A root that declares a graph and a wrapper, as a window would.
class TGraphHolder : public TComponent {
public:
    using TComponent::TComponent;
    TFilterGraph* CaptureGraph = nullptr;
    TFilter* Compressor = nullptr;
    std::vector<long> Codes;
    int Activations = 0;
    void CaptureGraphDSEvent(TComponent*, long code, LONG_PTR, LONG_PTR) { Codes.push_back(code); }
    void CaptureGraphActivate(TObject*) { ++Activations; }

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TGraphHolder>(L"TGraphHolder", &TComponent::ClassProperties())
                .Method(L"CaptureGraphDSEvent", &TGraphHolder::CaptureGraphDSEvent)
                .Method(L"CaptureGraphActivate", &TGraphHolder::CaptureGraphActivate)
                .Field(L"CaptureGraph", &TGraphHolder::CaptureGraph)
                .Field(L"Compressor", &TGraphHolder::Compressor)
                .Build();
        return table;
    }
};

namespace {

using namespace graphcomponenttest;

class FilterWrapperTest : public devicetest::FixtureTest {
protected:
    void SetUp() override {
        ASSERT_EQ(FSaveable.Result(), S_OK);
        TSysDevEnum compressors(CLSID_VideoCompressorCategory);
        for (int i = 0; i < compressors.CountFilters(); ++i) {
            TSysDevEntry entry;
            compressors.GetFilterEntry(i, entry);
            if (entry.FriendlyNameText() == mediafixture::ConfigCompressorName) FMoniker = compressors.GetMoniker(i);
        }
        ASSERT_TRUE(FMoniker);
    }
    // A wrapper of the fixture compressor.
    void Prepare(TFilter& wrapper, const wchar_t* name = L"CompressFilter") {
        wrapper.SetName(name);
        ASSERT_EQ(wrapper.BaseFilter()->SetMoniker(FMoniker.Get()), S_OK);
    }
    // The wrapper, prepared, in the active graph; its filter.
    ComPtr<IBaseFilter> JoinActive(TFilterGraph& graph, TFilter& wrapper) {
        graph.SetActive(true);
        Prepare(wrapper);
        wrapper.SetFilterGraph(&graph);
        return wrapper.GetFilter();
    }
    mediafixture::TSaveableDeviceEnumRegistration FSaveable;
    ComPtr<IMoniker> FMoniker;
};

TEST_F(FilterWrapperTest, AnUnboundWrapperAnswersOnlyItsOwnInterfaces) {
    TFilter wrapper(nullptr);
    Prepare(wrapper);
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(wrapper.QueryInterface(IID_IBaseFilter, filter.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(wrapper.GetFilter());
    ComPtr<IFilterGraphMember> member;
    EXPECT_EQ(wrapper.QueryInterface(__uuidof(IFilterGraphMember), member.PutVoid()), S_OK);
    EXPECT_EQ(wrapper.GetName(), L"CompressFilter");
    // Outside any graph a rejoin changes nothing.
    wrapper.NotifyFilter(mnRejoin, 0);
    EXPECT_FALSE(wrapper.GetFilter());
}

TEST_F(FilterWrapperTest, JoinsAnActiveGraphAtOnceAndAnInactiveOneAtActivation) {
    TFilterGraph graph(nullptr);
    TFilter wrapper(nullptr);
    Prepare(wrapper);
    wrapper.SetFilterGraph(&graph);
    EXPECT_EQ(wrapper.FilterGraph(), &graph);
    EXPECT_EQ(graph.MemberCount(), 1);
    EXPECT_FALSE(wrapper.GetFilter());

    graph.SetActive(true);
    ComPtr<IBaseFilter> bound = wrapper.GetFilter();
    ASSERT_TRUE(bound);
    EXPECT_TRUE(IsEqualGUID(ClassOf(bound.Get()), mediafixture::CLSID_ConfigCompressor));
    EXPECT_EQ(FindFilter(graph, L"CompressFilter").Get(), bound.Get());
    // A bound wrapper answers its filter's interfaces.
    ComPtr<IBaseFilter> asked;
    EXPECT_EQ(wrapper.QueryInterface(IID_IBaseFilter, asked.PutVoid()), S_OK);
    EXPECT_EQ(asked.Get(), bound.Get());
    ComPtr<IAMVfwCompressDialogs> dialogs;
    EXPECT_EQ(wrapper.QueryInterface(IID_IAMVfwCompressDialogs, dialogs.PutVoid()), S_OK);

    // The same graph again: no remove and re-add.
    wrapper.SetFilterGraph(&graph);
    EXPECT_EQ(wrapper.GetFilter().Get(), bound.Get());

    graph.SetActive(false);
    EXPECT_FALSE(wrapper.GetFilter());
    EXPECT_EQ(graph.MemberCount(), 1);
    graph.SetActive(true);
    ASSERT_TRUE(wrapper.GetFilter());
    EXPECT_NE(wrapper.GetFilter().Get(), bound.Get());

    wrapper.SetFilterGraph(nullptr);
    EXPECT_EQ(graph.MemberCount(), 0);
    EXPECT_FALSE(wrapper.GetFilter());
    EXPECT_TRUE(FilterNames(graph).empty());
}

TEST_F(FilterWrapperTest, RejoinReplacesTheFilterUnderTheSameName) {
    TFilterGraph graph(nullptr);
    TFilter wrapper(nullptr);
    const ComPtr<IBaseFilter> first = JoinActive(graph, wrapper);
    ASSERT_TRUE(first);
    wrapper.NotifyFilter(mnRejoin, 0);
    const ComPtr<IBaseFilter> second = wrapper.GetFilter();
    ASSERT_TRUE(second);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(FindFilter(graph, L"CompressFilter").Get(), second.Get());
    EXPECT_EQ(FilterNames(graph).size(), 1u);
    wrapper.SetFilterGraph(nullptr);
}

TEST_F(FilterWrapperTest, LeavingARunningGraphStopsTheFilterFirst) {
    TFilterGraph graph(nullptr);
    TFilter wrapper(nullptr);
    const ComPtr<IBaseFilter> filter = JoinActive(graph, wrapper);
    ASSERT_TRUE(filter);
    ASSERT_TRUE(graph.Play());
    FILTER_STATE state = State_Stopped;
    ASSERT_EQ(filter->GetState(0, &state), S_OK);
    ASSERT_EQ(state, State_Running);
    wrapper.SetFilterGraph(nullptr);
    ASSERT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    graph.Stop();
}

TEST_F(FilterWrapperTest, AWrapperWithoutMonikerAddsNothing) {
    TFilterGraph graph(nullptr);
    graph.SetActive(true);
    TFilter wrapper(nullptr);
    wrapper.SetName(L"Empty");
    wrapper.SetFilterGraph(&graph);
    EXPECT_FALSE(wrapper.GetFilter());
    EXPECT_TRUE(FilterNames(graph).empty());
    wrapper.SetFilterGraph(nullptr);
}

TEST_F(FilterWrapperTest, TheGraphsDestructionLeavesTheWrapperWithoutAGraph) {
    // The same owner: the owner's notification tells the wrapper.
    TComponent owner(nullptr);
    auto* wrapper = new TFilter(&owner);
    auto* graph = new TFilterGraph(&owner);
    Prepare(*wrapper);
    wrapper->SetFilterGraph(graph);
    graph->SetActive(true);
    ASSERT_TRUE(wrapper->GetFilter());
    delete graph;
    EXPECT_EQ(wrapper->FilterGraph(), nullptr);
    EXPECT_FALSE(wrapper->GetFilter());
    delete wrapper;  // touches no freed graph

    // Different owners: the wrapper hears of it all the same.
    TComponent graphOwner(nullptr);
    TFilter loose(nullptr);
    Prepare(loose, L"Loose");
    auto* other = new TFilterGraph(&graphOwner);
    loose.SetFilterGraph(other);
    delete other;
    EXPECT_EQ(loose.FilterGraph(), nullptr);
}

TEST_F(FilterWrapperTest, FormDescriptionDeclaresTheGraphAndTheWrapper) {
    TBaseFilter stored;
    ASSERT_EQ(stored.SetMoniker(FMoniker.Get()), S_OK);
    const auto properties = WriteBinaryProperties(stored);
    ASSERT_EQ(properties.size(), 1u);
    std::ostringstream hex;
    hex << std::hex;
    for (uint8_t byte : properties[0].Data) hex << (byte < 16 ? "0" : "") << static_cast<int>(byte) << ' ';
    const std::string description =
        "TGraphHolder Holder {\n"
        "  TFilterGraph CaptureGraph {\n"
        "    Mode = gmCapture\n"
        "    GraphEdit = False\n"
        "    LinearVolume = True\n"
        "    AutoCreate = True\n"
        "    OnActivate = CaptureGraphActivate\n"
        "    OnDSEvent = CaptureGraphDSEvent\n"
        "  }\n"
        "  TFilter Compressor {\n"
        "    FilterGraph = CaptureGraph\n"
        "    BaseFilter.data = hex { " +
        hex.str() +
        "}\n"
        "  }\n"
        "}\n";
    TGraphHolder holder(nullptr);
    LoadFormDescription(holder, description, L"test");
    ASSERT_TRUE(holder.CaptureGraph);
    ASSERT_TRUE(holder.Compressor);
    EXPECT_EQ(holder.CaptureGraph->Mode(), gmCapture);
    EXPECT_TRUE(holder.CaptureGraph->Active());  // AutoCreate after loading
    EXPECT_EQ(holder.Activations, 1);
    EXPECT_EQ(holder.Compressor->FilterGraph(), holder.CaptureGraph);
    ComPtr<IBaseFilter> bound = holder.Compressor->GetFilter();
    ASSERT_TRUE(bound);
    EXPECT_TRUE(IsEqualGUID(ClassOf(bound.Get()), mediafixture::CLSID_ConfigCompressor));
    EXPECT_EQ(FindFilter(*holder.CaptureGraph, L"Compressor").Get(), bound.Get());
    ComPtr<IMediaEventSink> sink;
    ASSERT_EQ(holder.CaptureGraph->QueryInterface(IID_IMediaEventSink, sink.PutVoid()), S_OK);
    ASSERT_EQ(sink->Notify(EC_USERABORT, 0, 0), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !holder.Codes.empty(); }));
    EXPECT_EQ(holder.Codes[0], EC_USERABORT);
}

TEST_F(FilterWrapperTest, TheComponentsPublishTheirProperties) {
    const TPropertyTable& table = TFilterGraph::ClassProperties();
    std::vector<std::wstring> plain;
    int events = 0;
    for (const TPropInfo& p : table.OwnProperties()) {
        if (p.Kind == TPropertyKind::Event)
            ++events;
        else
            plain.push_back(p.Name);
    }
    EXPECT_EQ(plain, (std::vector<std::wstring>{L"LogFile", L"Active", L"AutoCreate", L"Mode", L"GraphEdit",
                                                L"LinearVolume"}));
    EXPECT_EQ(events, 75);
    ASSERT_TRUE(FindComponentClass(L"TFilterGraph"));
    ASSERT_TRUE(FindComponentClass(L"TFilter"));
    EXPECT_TRUE(TFilter::ClassProperties().FindProperty(L"BaseFilter"));
    EXPECT_TRUE(TFilter::ClassProperties().FindProperty(L"FilterGraph"));
}

}  // namespace
