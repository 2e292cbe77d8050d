// The graph component on the real filter graph: activation in each mode,
// interface forwarding, running, clearing, members, the running-object
// table, the log file, volume and balance.
#include "media/direct_show_error.h"
#include "media/filter_graph.h"
#include "media/graph_utility.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/fixtures/media/dvd_builder_fixture.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/media/device_test_support.h"
#include "tests/media/graph_component_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace graphcomponenttest;

template <class I>
bool Answers(TFilterGraph& graph, REFIID iid) {
    ComPtr<I> answer;
    return SUCCEEDED(graph.QueryInterface(iid, answer.PutVoid())) && answer;
}

class FilterGraphTest : public devicetest::FixtureTest {};

TEST_F(FilterGraphTest, StartsInactiveWithItsDefaults) {
    TFilterGraph graph(nullptr);
    EXPECT_FALSE(graph.Active());
    EXPECT_EQ(graph.Mode(), gmNormal);
    EXPECT_TRUE(graph.LinearVolume());
    EXPECT_FALSE(graph.GraphEdit());
    EXPECT_EQ(graph.Volume(), 10000);
    EXPECT_EQ(graph.Balance(), 0);
    EXPECT_TRUE(IsWindow(graph.NotifyWindow()));
    EXPECT_EQ(graph.State(), gsInactive);
    EXPECT_FALSE(graph.Play());
    EXPECT_FALSE(graph.Stop());
    EXPECT_NO_THROW(graph.ClearGraph());
    EXPECT_FALSE(Answers<IFilterGraph>(graph, IID_IFilterGraph));
    // Its own interfaces answer in any state.
    EXPECT_TRUE(Answers<IServiceProvider>(graph, IID_IServiceProvider));
    EXPECT_TRUE(Answers<IAMGraphBuilderCallback>(graph, IID_IAMGraphBuilderCallback));
}

TEST_F(FilterGraphTest, NormalModeForwardsToTheManagerOnly) {
    TFilterGraph graph(nullptr);
    int activations = 0;
    graph.OnActivate = [&](TObject* sender) {
        EXPECT_EQ(sender, &graph);
        ++activations;
    };
    graph.SetActive(true);
    graph.SetActive(true);
    EXPECT_TRUE(graph.Active());
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(Answers<IGraphBuilder>(graph, IID_IGraphBuilder));
    EXPECT_TRUE(Answers<IMediaControl>(graph, IID_IMediaControl));
    EXPECT_TRUE(Answers<IMediaEventEx>(graph, IID_IMediaEventEx));
    EXPECT_FALSE(Answers<ICaptureGraphBuilder2>(graph, IID_ICaptureGraphBuilder2));
    graph.SetActive(false);
    graph.SetActive(false);
    EXPECT_FALSE(graph.Active());
    EXPECT_FALSE(Answers<IGraphBuilder>(graph, IID_IGraphBuilder));
}

TEST_F(FilterGraphTest, CaptureModeForwardsToTheBuilderThenTheManager) {
    TFilterGraph graph(nullptr);
    graph.SetMode(gmCapture);
    EXPECT_FALSE(Answers<ICaptureGraphBuilder2>(graph, IID_ICaptureGraphBuilder2));
    graph.SetActive(true);
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(graph.QueryInterface(IID_ICaptureGraphBuilder2, builder.PutVoid()), S_OK);
    ComPtr<IGraphBuilder> manager;
    ASSERT_EQ(graph.QueryInterface(IID_IGraphBuilder, manager.PutVoid()), S_OK);
    // The builder works on the component's manager.
    ComPtr<IGraphBuilder> builderGraph;
    ASSERT_EQ(builder->GetFiltergraph(builderGraph.Put()), S_OK);
    ComPtr<IUnknown> a, b;
    builderGraph->QueryInterface(IID_IUnknown, a.PutVoid());
    manager->QueryInterface(IID_IUnknown, b.PutVoid());
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_TRUE(Answers<IMediaControl>(graph, IID_IMediaControl));
    EXPECT_TRUE(Answers<IObjectWithSite>(graph, IID_IObjectWithSite));
}

TEST_F(FilterGraphTest, ChangingTheModeWhileActiveRebuildsTheObjects) {
    TFilterGraph graph(nullptr);
    int activations = 0;
    graph.OnActivate = [&](TObject*) { ++activations; };
    graph.SetActive(true);
    ComPtr<IGraphBuilder> first;
    ASSERT_EQ(graph.QueryInterface(IID_IGraphBuilder, first.PutVoid()), S_OK);
    graph.SetMode(gmNormal);
    EXPECT_EQ(activations, 1);
    graph.SetMode(gmCapture);
    EXPECT_EQ(activations, 2);
    EXPECT_TRUE(graph.Active());
    EXPECT_TRUE(Answers<ICaptureGraphBuilder2>(graph, IID_ICaptureGraphBuilder2));
    ComPtr<IGraphBuilder> second;
    ASSERT_EQ(graph.QueryInterface(IID_IGraphBuilder, second.PutVoid()), S_OK);
    EXPECT_NE(first.Get(), second.Get());
    // Inactive, a mode change creates nothing.
    graph.SetActive(false);
    graph.SetMode(gmNormal);
    EXPECT_FALSE(graph.Active());
    EXPECT_EQ(activations, 2);
}

TEST_F(FilterGraphTest, TheDvdModeFailsCleanlyWhereTheSystemCannotBuildIt) {
    TFilterGraph graph(nullptr);
    graph.SetMode(gmDVD);
    try {
        graph.SetActive(true);
        FAIL() << "activation succeeded without a DVD graph";
    } catch (const EDirectShowException& e) {
        EXPECT_TRUE(FAILED(e.ResultCode));
    }
    EXPECT_FALSE(graph.Active());
    EXPECT_FALSE(Answers<IFilterGraph>(graph, IID_IFilterGraph));
    EXPECT_EQ(graph.State(), gsInactive);
    EXPECT_FALSE(graph.Play());
    EXPECT_NO_THROW(graph.SetLogFile(L""));
    EXPECT_NO_THROW(graph.SetVolume(5000));
    EXPECT_NO_THROW(graph.ClearGraph());
    // An active component that switches to the mode ends inactive too.
    graph.SetMode(gmNormal);
    graph.SetActive(true);
    EXPECT_THROW(graph.SetMode(gmDVD), EDirectShowException);
    EXPECT_FALSE(graph.Active());
    EXPECT_EQ(graph.Mode(), gmDVD);
}

TEST_F(FilterGraphTest, TheDvdModeForwardsToTheBuilderItsInterfacesAndTheManager) {
    mediatest::DvdBuilderRegistration dvd;
    ASSERT_EQ(dvd.Result, S_OK);
    {
        TFilterGraph graph(nullptr);
        graph.SetMode(gmDVD);
        graph.SetActive(true);
        ASSERT_TRUE(graph.Active());
        EXPECT_EQ(dvd.Created, 1);
        EXPECT_TRUE(Answers<IDvdGraphBuilder>(graph, IID_IDvdGraphBuilder));
        ComPtr<IDvdInfo2> info;
        ASSERT_EQ(graph.QueryInterface(IID_IDvdInfo2, info.PutVoid()), S_OK);
        EXPECT_EQ(info.Get(), static_cast<IDvdInfo2*>(&dvd.Info));
        EXPECT_TRUE(Answers<IMediaControl>(graph, IID_IMediaControl));
        EXPECT_EQ(graph.State(), gsStopped);
        graph.SetActive(false);
        EXPECT_EQ(dvd.Alive, 0);
        graph.SetActive(true);
        EXPECT_EQ(dvd.Created, 2);
    }
    EXPECT_EQ(dvd.Alive, 0);
}

TEST_F(FilterGraphTest, PlayStateAndStop) {
    TFilterGraph graph(nullptr);
    graph.SetActive(true);
    ClassMember renderer(CLSID_WineNullRenderer, L"Renderer");
    graph.InsertFilter(&renderer);
    EXPECT_EQ(graph.State(), gsStopped);
    EXPECT_TRUE(graph.Play());
    EXPECT_EQ(graph.State(), gsRunning);
    EXPECT_TRUE(graph.Stop());
    EXPECT_EQ(graph.State(), gsStopped);
    graph.RemoveFilter(&renderer);
}

TEST_F(FilterGraphTest, MembersJoinAtActivationAndLeaveAtDeactivation) {
    TFilterGraph graph(nullptr);
    ClassMember renderer(CLSID_WineNullRenderer, L"Kept Renderer");
    graph.InsertFilter(&renderer);
    EXPECT_EQ(graph.MemberCount(), 1);
    EXPECT_TRUE(renderer.Notifications.empty());
    EXPECT_FALSE(renderer.Filter);

    graph.SetActive(true);
    ASSERT_TRUE(renderer.Filter);
    EXPECT_EQ(FindFilter(graph, L"Kept Renderer").Get(), renderer.Filter.Get());
    EXPECT_EQ(renderer.Notifications, (std::vector<TMemberNotification>{mnBeforeAdd, mnAfterAdd}));

    graph.SetActive(false);
    EXPECT_FALSE(renderer.Filter);
    EXPECT_EQ(graph.MemberCount(), 1);
    EXPECT_EQ(renderer.Notifications,
              (std::vector<TMemberNotification>{mnBeforeAdd, mnAfterAdd, mnBeforeRemove, mnAfterRemove}));

    // Each activation binds a new filter.
    graph.SetActive(true);
    ASSERT_TRUE(renderer.Filter);
    graph.RemoveFilter(&renderer);
    EXPECT_EQ(graph.MemberCount(), 0);
    EXPECT_FALSE(renderer.Filter);
    EXPECT_TRUE(FilterNames(graph).empty());
    // Removing a stranger changes nothing.
    ClassMember stranger(CLSID_WineNullRenderer, L"Stranger");
    graph.RemoveFilter(&stranger);
    EXPECT_TRUE(stranger.Notifications.empty());
}

TEST_F(FilterGraphTest, ClearGraphKeepsTheMembersDisconnectedAndRemovesTheRest) {
    TFilterGraph graph(nullptr);
    graph.SetMode(gmCapture);
    graph.SetActive(true);
    ClassMember capture(mediafixture::CLSID_FourLineCapture, L"Member Capture");
    graph.InsertFilter(&capture);
    ASSERT_TRUE(capture.Filter);

    ComPtr<IGraphBuilder> manager = Manager(graph);
    ComPtr<IBaseFilter> renderer = AddNewFilter(graph, CLSID_WineNullRenderer, L"Added Renderer");
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(AddNewFilter(graph, CLSID_WineNullRenderer, L"Second Renderer"));
    ComPtr<IPin> out = graphtest::FindPin(capture.Filter.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> in = graphtest::FindPin(renderer.Get(), PINDIR_INPUT);
    ASSERT_TRUE(out && in);
    ASSERT_EQ(manager->ConnectDirect(out.Get(), in.Get(), nullptr), S_OK);
    ASSERT_TRUE(graph.Play());

    graph.ClearGraph();
    EXPECT_EQ(graph.State(), gsStopped);
    EXPECT_EQ(FilterNames(graph), std::vector<std::wstring>{L"Member Capture"});
    ComPtr<IPin> peer;
    EXPECT_EQ(out->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(in->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
    // On a graph that holds only members it only stops.
    EXPECT_NO_THROW(graph.ClearGraph());
    EXPECT_EQ(FilterNames(graph), std::vector<std::wstring>{L"Member Capture"});
    graph.RemoveFilter(&capture);
}

TEST_F(FilterGraphTest, GraphEditPublishesTheGraphWhileActive) {
    const size_t before = RotGraphsOfThisProcess().size();
    TFilterGraph graph(nullptr);
    graph.SetGraphEdit(true);
    EXPECT_TRUE(graph.GraphEdit());
    EXPECT_EQ(graph.RotRegistration(), 0u);
    EXPECT_EQ(RotGraphsOfThisProcess().size(), before);

    graph.SetActive(true);
    EXPECT_NE(graph.RotRegistration(), 0u);
    const auto published = RotGraphsOfThisProcess();
    ASSERT_EQ(published.size(), before + 1);
    ComPtr<IGraphBuilder> manager;
    ASSERT_EQ(graph.QueryInterface(IID_IGraphBuilder, manager.PutVoid()), S_OK);

    graph.SetGraphEdit(false);
    EXPECT_EQ(graph.RotRegistration(), 0u);
    EXPECT_EQ(RotGraphsOfThisProcess().size(), before);

    graph.SetGraphEdit(true);
    EXPECT_EQ(RotGraphsOfThisProcess().size(), before + 1);
    graph.SetActive(false);
    EXPECT_EQ(RotGraphsOfThisProcess().size(), before);
    EXPECT_TRUE(graph.GraphEdit());
}

class LogFileTest : public FilterGraphTest {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        FFolder = std::filesystem::path(temp) / (L"tavrel_graph_log_" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::create_directories(FFolder);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    std::filesystem::path FFolder;
};

TEST_F(LogFileTest, IsCreatedAtActivationAndNamedOnlyWhenItCouldBe) {
    const std::wstring log = (FFolder / L"graph.log").wstring();
    TFilterGraph graph(nullptr);
    graph.SetLogFile(log);
    EXPECT_EQ(graph.LogFile(), log);
    EXPECT_FALSE(std::filesystem::exists(log));
    graph.SetActive(true);
    EXPECT_TRUE(std::filesystem::exists(log));

    // A folder that does not exist: no log, the name stays.
    const std::wstring missing = (FFolder / L"missing" / L"graph.log").wstring();
    graph.SetLogFile(missing);
    EXPECT_EQ(graph.LogFile(), log);
    EXPECT_FALSE(std::filesystem::exists(missing));

    // The log is released with the graph: the file can be deleted.
    graph.SetActive(false);
    EXPECT_TRUE(std::filesystem::remove(log));
}

TEST_F(LogFileTest, ActivationSucceedsWithALogThatCannotBeCreated) {
    const std::wstring missing = (FFolder / L"missing" / L"graph.log").wstring();
    TFilterGraph graph(nullptr);
    graph.SetLogFile(missing);
    graph.SetActive(true);
    EXPECT_TRUE(graph.Active());
    EXPECT_EQ(graph.LogFile(), missing);  // set while inactive: only stored
    EXPECT_FALSE(std::filesystem::exists(missing));
    graph.SetLogFile(L"");
    EXPECT_EQ(graph.LogFile(), L"");
}

TEST_F(FilterGraphTest, VolumeAndBalanceReachTheAudioRenderer) {
    TFilterGraph graph(nullptr);
    graph.SetActive(true);
    ClassMember renderer(CLSID_DSoundRender, L"Audio Renderer");
    graph.InsertFilter(&renderer);
    ComPtr<IBasicAudio> audio;
    ASSERT_EQ(graph.QueryInterface(IID_IBasicAudio, audio.PutVoid()), S_OK);
    long volume = 1, balance = 1;

    graph.SetVolume(5000);
    EXPECT_EQ(graph.Volume(), 5000);
    ASSERT_EQ(audio->get_Volume(&volume), S_OK);
    EXPECT_EQ(volume, LinearVolumeToDb(5000));
    EXPECT_EQ(volume, -752);

    graph.SetVolume(20000);
    EXPECT_EQ(graph.Volume(), 10000);
    audio->get_Volume(&volume);
    EXPECT_EQ(volume, 0);
    graph.SetVolume(-5);
    EXPECT_EQ(graph.Volume(), 0);
    audio->get_Volume(&volume);
    EXPECT_EQ(volume, -10000);

    graph.SetBalance(5000);
    audio->get_Balance(&balance);
    EXPECT_EQ(balance, -9248);
    graph.SetBalance(-20000);
    EXPECT_EQ(graph.Balance(), -10000);
    audio->get_Balance(&balance);
    EXPECT_EQ(balance, 10000);

    // Without the linear mapping the values pass as they are (volume moved
    // down by 10000); switching applies both at once.
    graph.SetVolume(5000);
    graph.SetBalance(1000);
    graph.SetLinearVolume(false);
    audio->get_Volume(&volume);
    audio->get_Balance(&balance);
    EXPECT_EQ(volume, -5000);
    EXPECT_EQ(balance, 1000);
    graph.RemoveFilter(&renderer);
}

TEST_F(FilterGraphTest, VolumeWithoutAnAudioRendererIsOnlyStored) {
    TFilterGraph graph(nullptr);
    graph.SetActive(true);
    ComPtr<IBasicAudio> audio;
    ASSERT_EQ(graph.QueryInterface(IID_IBasicAudio, audio.PutVoid()), S_OK);
    long volume = 0;
    EXPECT_TRUE(FAILED(audio->get_Volume(&volume)));
    graph.SetVolume(300);
    graph.SetBalance(-300);
    EXPECT_EQ(graph.Volume(), 300);
    EXPECT_EQ(graph.Balance(), -300);
}

}  // namespace
