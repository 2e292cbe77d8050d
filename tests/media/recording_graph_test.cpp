// The recording graph service on the real filter graph: each step that
// fails is named, in the order the steps are taken, and what joined the
// graph before it carries its graph name. The parts are the tests' own
// fakes, put over the parts' class identifiers in this process only.
#include "media/recording_graph.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"
#include "tests/app/fake_filters.h"

#include <gtest/gtest.h>

#include <uuids.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using apptest::TClassOverride;
using apptest::TFakeFilter;
using apptest::TScreenConfigCalls;

class RecordingGraphService : public ::testing::Test {
protected:
    TComApartment Com;
    TFilterGraph Graph{nullptr};

    void SetUp() override { Graph.SetMode(gmCapture); }

    // A sound-only request from the loopback filter into the given file.
    static TRecordingGraphRequest SoundOnly() {
        TRecordingGraphRequest request;
        request.Video = false;
        request.Sound = rsLoopback;
        request.AviPath = L"C:\\recording_graph_test.avi";
        return request;
    }

    // The names of the graph's filters.
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        ComPtr<IGraphBuilder> graph;
        Graph.QueryInterface(IID_IGraphBuilder, graph.PutVoid());
        ComPtr<IEnumFilters> filters;
        if (!graph || FAILED(graph->EnumFilters(filters.Put()))) return names;
        ComPtr<IBaseFilter> filter;
        while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
            FILTER_INFO info{};
            if (FAILED(filter->QueryFilterInfo(&info))) continue;
            ComPtr<IFilterGraph> owner = ComPtr<IFilterGraph>::Attach(info.pGraph);
            names.emplace_back(info.achName);
        }
        return names;
    }
    bool Has(const wchar_t* name) {
        for (const std::wstring& n : Names())
            if (n == name) return true;
        return false;
    }
};

// A screen source: a fake that answers the configuration interface and
// records its calls there.
TFakeFilter* ConfigurableScreen(const std::shared_ptr<TScreenConfigCalls>& calls) { return new TFakeFilter(calls); }

}  // namespace

TEST_F(RecordingGraphService, GraphWithoutACaptureGraphBuilderFailsFirst) {
    Graph.SetMode(gmNormal);
    EXPECT_EQ(BuildRecordingGraph(Graph, SoundOnly()), rgsGraph);
    EXPECT_TRUE(Graph.Active());
}

TEST_F(RecordingGraphService, ScreenSourceThatCannotBeMadeOrConfigured) {
    {
        TClassOverride screen(CLSID_ScreenCaptureSource, TClassOverride::Failing());
        ASSERT_EQ(screen.Result(), S_OK);
        TRecordingGraphRequest request = SoundOnly();
        request.Video = true;
        EXPECT_EQ(BuildRecordingGraph(Graph, request), rgsScreenSource);
        EXPECT_EQ(screen.Calls(), 1);
        EXPECT_TRUE(Names().empty());
    }
    TClassOverride screen(CLSID_ScreenCaptureSource, TClassOverride::Making([] { return new TFakeFilter(); }));
    TRecordingGraphRequest request = SoundOnly();
    request.Video = true;
    EXPECT_EQ(BuildRecordingGraph(Graph, request), rgsScreenConfig);
    EXPECT_EQ(Names(), std::vector<std::wstring>{ScreenFilterGraphName});
}

TEST_F(RecordingGraphService, ChosenCompressorThatCouldNotBeMadeAfterTheScreenWasConfigured) {
    auto calls = std::make_shared<TScreenConfigCalls>();
    TClassOverride screen(CLSID_ScreenCaptureSource,
                          TClassOverride::Making([calls] { return ConfigurableScreen(calls); }));
    TRecordingGraphRequest request = SoundOnly();
    request.Video = true;
    request.CaptureLeft = -20;
    request.CaptureTop = 30;
    request.CaptureWidth = 640;
    request.CaptureHeight = 480;
    request.FrameRate = 15;
    request.DrawCursor = true;
    request.Compress = true;
    EXPECT_EQ(BuildRecordingGraph(Graph, request), rgsCompressor);
    EXPECT_TRUE(calls->RectSet);
    EXPECT_EQ(calls->Left, -20);
    EXPECT_EQ(calls->Top, 30);
    EXPECT_EQ(calls->Width, 640);
    EXPECT_EQ(calls->Height, 480);
    EXPECT_EQ(calls->Rate, 15);
    EXPECT_EQ(calls->Cursor, TRUE);
    EXPECT_FALSE(Has(CompressorGraphName));
}

TEST_F(RecordingGraphService, SoundSourcesThatCannotJoin) {
    TClassOverride screen(CLSID_ScreenCaptureSource, TClassOverride::Failing());
    {
        // A sound-only recording never asks for the screen source.
        TClassOverride loopback(CLSID_LoopbackAudioSource, TClassOverride::Failing());
        EXPECT_EQ(BuildRecordingGraph(Graph, SoundOnly()), rgsLoopback);
        EXPECT_EQ(loopback.Calls(), 1);
        EXPECT_EQ(screen.Calls(), 0);
    }
    TRecordingGraphRequest request = SoundOnly();
    request.Sound = rsCaptureDevice;
    EXPECT_EQ(BuildRecordingGraph(Graph, request), rgsCaptureDevice);
}

TEST_F(RecordingGraphService, MultiplexerThatCannotBeMadeAfterEverySourceJoined) {
    auto calls = std::make_shared<TScreenConfigCalls>();
    TClassOverride screen(CLSID_ScreenCaptureSource,
                          TClassOverride::Making([calls] { return ConfigurableScreen(calls); }));
    TClassOverride mux(CLSID_AviDest, TClassOverride::Failing());
    TRecordingGraphRequest request = SoundOnly();
    request.Video = true;
    request.Compress = true;
    request.Compressor = ComPtr<IBaseFilter>::Attach(new TFakeFilter());
    request.Sound = rsCaptureDevice;
    request.CaptureDevice = ComPtr<IBaseFilter>::Attach(new TFakeFilter());
    EXPECT_EQ(BuildRecordingGraph(Graph, request), rgsMultiplexer);
    EXPECT_TRUE(Has(ScreenFilterGraphName));
    EXPECT_TRUE(Has(CompressorGraphName));
    EXPECT_TRUE(Has(AudioCaptureGraphName));

    // The next build starts from an empty graph.
    request.Sound = rsNone;
    request.CaptureDevice = nullptr;
    request.Compress = false;
    EXPECT_EQ(BuildRecordingGraph(Graph, request), rgsMultiplexer);
    EXPECT_EQ(Names(), std::vector<std::wstring>{ScreenFilterGraphName});
}
