// Graph events from the fixture source through the real filter graph's event
// queue to the component's notify window, OnDSEvent and the typed events;
// the builder callbacks and the private service.
#include "media/direct_show_error.h"
#include "media/filter_graph.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/fixtures/media/dvd_builder_fixture.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/fixtures/media/saveable_device_enum.h"
#include "tests/media/device_test_support.h"
#include "tests/media/graph_component_support.h"

#include <gtest/gtest.h>

#include <dvdevcod.h>
#include <evcode.h>

#include <map>
#include <stdexcept>

namespace {

using namespace graphcomponenttest;

struct Received {
    long Code;
    LONG_PTR Param1;
    LONG_PTR Param2;
    DWORD Thread;
};

// A graph component in a mode with the fixture event source in its graph.
class EventGraph {
public:
    explicit EventGraph(TGraphMode mode) : Graph(nullptr) {
        Graph.SetMode(mode);
        Graph.SetActive(true);
        Graph.OnDSEvent = [this](TComponent* sender, long code, LONG_PTR p1, LONG_PTR p2) {
            EXPECT_EQ(sender, &Graph);
            Events.push_back({code, p1, p2, GetCurrentThreadId()});
        };
        Source = AddNewFilter(Graph, mediafixture::CLSID_EventSource, L"Events");
        if (Source) Source->QueryInterface(mediafixture::IID_IGraphEventPoster, Poster.PutVoid());
    }

    // Posts and waits until the event has been delivered.
    void Deliver(long code, LONG_PTR p1, LONG_PTR p2) {
        const size_t before = Events.size();
        ASSERT_EQ(Poster->Post(code, p1, p2), S_OK);
        ASSERT_TRUE(PumpUntil([&] { return Events.size() > before; }));
    }
    // Handles the notify window's message once, as the graph's post would.
    void DrainOnce() { SendMessageW(Graph.NotifyWindow(), WM_GRAPHNOTIFY, 0, 0); }

    TFilterGraph Graph;
    ComPtr<IBaseFilter> Source;
    ComPtr<mediafixture::IGraphEventPoster> Poster;
    std::vector<Received> Events;
};

class GraphEventsTest : public devicetest::FixtureTest {
protected:
    MessageBoxCapture FBoxes;
};

TEST_F(GraphEventsTest, EventsReachOnDSEventInQueueOrderSeveralPerMessage) {
    EventGraph g(gmCapture);
    ASSERT_TRUE(g.Poster);
    // Posted before any message is handled: one message delivers them all.
    ASSERT_EQ(g.Poster->Post(4, 11, 12), S_OK);
    ASSERT_EQ(g.Poster->Post(25, 21, 22), S_OK);
    ASSERT_EQ(g.Poster->Post(EC_USERABORT, 31, 32), S_OK);
    g.DrainOnce();
    ASSERT_EQ(g.Events.size(), 3u);
    EXPECT_EQ(g.Events[0].Code, 4);
    EXPECT_EQ(g.Events[0].Param1, 11);
    EXPECT_EQ(g.Events[0].Param2, 12);
    EXPECT_EQ(g.Events[1].Code, 25);
    EXPECT_EQ(g.Events[2].Code, EC_USERABORT);
    // The messages the graph posted for them find an empty queue.
    PumpPending();
    EXPECT_EQ(g.Events.size(), 3u);
    EXPECT_TRUE(FBoxes.Texts.empty());
}

TEST_F(GraphEventsTest, EventsPostedFromAWorkerArriveOnTheGuiThread) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    ASSERT_EQ(g.Poster->PostFromThread(EC_GRAPH_CHANGED, 0, 0), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !g.Events.empty(); }));
    EXPECT_EQ(g.Events[0].Code, EC_GRAPH_CHANGED);
    EXPECT_EQ(g.Events[0].Thread, GetCurrentThreadId());
}

TEST_F(GraphEventsTest, NoEventsAfterDeactivation) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    g.Graph.SetActive(false);
    g.Poster->Post(EC_USERABORT, 0, 0);
    g.DrainOnce();
    PumpPending();
    EXPECT_TRUE(g.Events.empty());
}

TEST_F(GraphEventsTest, AFailingHandlerIsReportedAndLaterEventsStillArrive) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    int aborts = 0;
    g.Graph.OnGraphUserAbort = [&](TObject*) {
        if (++aborts == 1) throw EDirectShowException(L"handler failed");
    };
    ASSERT_EQ(g.Poster->Post(EC_USERABORT, 0, 0), S_OK);
    ASSERT_EQ(g.Poster->Post(EC_USERABORT, 0, 0), S_OK);
    g.DrainOnce();
    // The failure ended that draining; the application showed it.
    EXPECT_EQ(aborts, 1);
    ASSERT_EQ(FBoxes.Texts.size(), 1u);
    EXPECT_EQ(FBoxes.Texts[0], L"handler failed");
    g.DrainOnce();
    EXPECT_EQ(aborts, 2);
    EXPECT_EQ(g.Events.size(), 2u);
}

TEST_F(GraphEventsTest, NotifyEventsFollowOnDSEventAndAreChosenByCode) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    std::vector<std::wstring> order;
    const auto record = [&](const wchar_t* name) {
        return [&order, name, &g](TObject* sender) {
            EXPECT_EQ(sender, &g.Graph);
            order.push_back(name);
        };
    };
    g.Graph.OnDSEvent = [&](TComponent*, long code, LONG_PTR, LONG_PTR) {
        order.push_back(L"DS " + std::to_wstring(code));
    };
    g.Graph.OnGraphPaletteChanged = record(L"palette");
    g.Graph.OnGraphQualityChange = record(L"quality");
    g.Graph.OnDVDDiscEjected = record(L"ejected");
    g.Graph.OnDVDDomainFirstPlay = record(L"first play");
    g.Graph.OnDVDDomainStop = record(L"domain stop");
    g.Graph.OnDVDErrorUnexpected = record(L"unexpected");
    g.Graph.OnDVDErrorIncompatibleDiscAndDecoderRegions = record(L"regions");
    g.Graph.OnDVDWarningRead = record(L"read");
    g.Poster->Post(EC_PALETTE_CHANGED, 0, 0);
    g.Poster->Post(EC_QUALITY_CHANGE, 0, 0);
    g.Poster->Post(EC_DVD_DISC_EJECTED, 0, 0);
    g.Poster->Post(EC_DVD_DOMAIN_CHANGE, 1, 0);
    g.Poster->Post(EC_DVD_DOMAIN_CHANGE, 5, 0);
    g.Poster->Post(EC_DVD_DOMAIN_CHANGE, 0, 0);
    g.Poster->Post(EC_DVD_DOMAIN_CHANGE, 6, 0);
    g.Poster->Post(EC_DVD_ERROR, 1, 0);
    g.Poster->Post(EC_DVD_ERROR, 8, 0);
    g.Poster->Post(EC_DVD_ERROR, 9, 0);
    g.Poster->Post(EC_DVD_WARNING, 6, 0);
    g.Poster->Post(EC_DVD_WARNING, 7, 0);
    g.DrainOnce();
    const std::vector<std::wstring> expected{L"DS 9",    L"palette", L"DS 11",      L"quality",    L"DS 280",
                                             L"ejected", L"DS 257",  L"first play", L"DS 257",     L"domain stop",
                                             L"DS 257",  L"DS 257",  L"DS 268",     L"unexpected", L"DS 268",
                                             L"regions", L"DS 268",  L"DS 269",     L"read",       L"DS 269"};
    EXPECT_EQ(order, expected);
}

TEST_F(GraphEventsTest, TypedEventsGetTheirArgumentsUnpacked) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    uint16_t width = 0, height = 0;
    g.Graph.OnGraphVideoSizeChanged = [&](TObject*, uint16_t w, uint16_t h) {
        width = w;
        height = h;
    };
    g.Deliver(EC_VIDEO_SIZE_CHANGED, 0x01E00280, 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    std::vector<float> rates;
    g.Graph.OnDVDPlaybackRateChange = [&](TObject*, float rate) { rates.push_back(rate); };
    g.Deliver(EC_DVD_PLAYBACK_RATE_CHANGE, 20000, 0);
    g.Deliver(EC_DVD_PLAYBACK_RATE_CHANGE, -10000, 0);
    EXPECT_EQ(rates, (std::vector<float>{2.0f, -1.0f}));

    HRESULT result = S_OK;
    g.Graph.OnGraphErrorAbort = [&](TObject*, HRESULT hr) { result = hr; };
    g.Deliver(EC_ERRORABORT, static_cast<LONG_PTR>(static_cast<LONG>(E_OUTOFMEMORY)), 0);
    EXPECT_EQ(result, E_OUTOFMEMORY);

    HRESULT operation = S_OK;
    uint32_t value = 0;
    g.Graph.OnGraphStreamErrorStillPlaying = [&](TObject*, HRESULT op, uint32_t v) {
        operation = op;
        value = v;
    };
    g.Deliver(EC_STREAM_ERROR_STILLPLAYING, static_cast<LONG_PTR>(static_cast<LONG>(E_FAIL)), 77);
    EXPECT_EQ(operation, E_FAIL);
    EXPECT_EQ(value, 77u);

    bool buffering = false, opening = true, played = false, available = false, still = false;
    int32_t stillSeconds = 0;
    g.Graph.OnGraphBufferingData = [&](TObject*, bool b) { buffering = b; };
    g.Graph.OnGraphOpeningFile = [&](TObject*, bool o) { opening = o; };
    g.Graph.OnDVDKaraokeMode = [&](TObject*, bool p) { played = p; };
    g.Graph.OnDVDAnglesAvailable = [&](TObject*, bool a) { available = a; };
    g.Graph.OnDVDStillOn = [&](TObject*, bool noButton, int32_t seconds) {
        still = noButton;
        stillSeconds = seconds;
    };
    g.Deliver(EC_BUFFERING_DATA, 1, 0);
    g.Deliver(EC_OPENING_FILE, 2, 0);  // only 1 counts as true
    g.Deliver(EC_DVD_KARAOKE_MODE, 5, 0);
    g.Deliver(EC_DVD_ANGLES_AVAILABLE, 1, 0);
    g.Deliver(EC_DVD_STILL_ON, 1, 9);
    EXPECT_TRUE(buffering);
    EXPECT_FALSE(opening);
    EXPECT_TRUE(played);
    EXPECT_TRUE(available);
    EXPECT_TRUE(still);
    EXPECT_EQ(stillSeconds, 9);

    int32_t total = 0, current = 0;
    uint32_t command = 0, mode = 0, device = 0;
    g.Graph.OnDVDButtonChange = [&](TObject*, int32_t t, int32_t c) {
        total = t;
        current = c;
    };
    g.Graph.OnDVDCMDEnd = [&](TObject*, uint32_t id) { command = id; };
    g.Graph.OnGraphEXTDeviceModeChange = [&](TObject*, uint32_t m, uint32_t d) {
        mode = m;
        device = d;
    };
    g.Deliver(EC_DVD_BUTTON_CHANGE, 12, 3);
    g.Deliver(EC_DVD_CMD_END, 44, 0);
    g.Deliver(EC_EXTDEVICE_MODE_CHANGE, 2, 8);
    EXPECT_EQ(total, 12);
    EXPECT_EQ(current, 3);
    EXPECT_EQ(command, 44u);
    EXPECT_EQ(mode, 2u);
    EXPECT_EQ(device, 8u);
}

TEST_F(GraphEventsTest, DvdTimeCodesAreUnpacked) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    int32_t parts[5] = {};
    g.Graph.OnDVDCurrentTime = [&](TObject*, int32_t h, int32_t m, int32_t s, int32_t f, int32_t rate) {
        parts[0] = h;
        parts[1] = m;
        parts[2] = s;
        parts[3] = f;
        parts[4] = rate;
    };
    // 12:34:56, frame 27, 30 frames per second (rate code 3); the digits are
    // packed ones first from the most significant end.
    g.Deliver(EC_DVD_CURRENT_TIME, static_cast<LONG_PTR>(static_cast<LONG>(0x2143657B)), 0);
    EXPECT_EQ(parts[0], 12);
    EXPECT_EQ(parts[1], 34);
    EXPECT_EQ(parts[2], 56);
    EXPECT_EQ(parts[3], 27);
    EXPECT_EQ(parts[4], 30);
    g.Deliver(EC_DVD_CURRENT_TIME, 0x00000001, 0);
    EXPECT_EQ(parts[4], 25);
    g.Deliver(EC_DVD_CURRENT_TIME, 0x00000002, 0);
    EXPECT_EQ(parts[4], 0);

    DVD_HMSF_TIMECODE hmsf{};
    TDVDTimeCode code{};
    g.Graph.OnDVDCurrentHMSFTime = [&](TObject*, DVD_HMSF_TIMECODE h, const TDVDTimeCode& t) {
        hmsf = h;
        code = t;
    };
    const BYTE bytes[4] = {1, 2, 3, 4};  // hours, minutes, seconds, frames
    LONG packed = 0;
    memcpy(&packed, bytes, 4);
    g.Deliver(EC_DVD_CURRENT_HMSF_TIME, packed, 0x12345678);
    EXPECT_EQ(hmsf.bHours, 1);
    EXPECT_EQ(hmsf.bMinutes, 2);
    EXPECT_EQ(hmsf.bSeconds, 3);
    EXPECT_EQ(hmsf.bFrames, 4);
    EXPECT_EQ(code.Hours1, 1);
    EXPECT_EQ(code.Hours10, 2);
    EXPECT_EQ(code.Frames10, 2);
    EXPECT_EQ(code.FrameRateCode, 0);
}

TEST_F(GraphEventsTest, PointerArgumentsArePassedAsTheEventCarriesThem) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    IBaseFilter* lost = nullptr;
    IBaseFilter* from = nullptr;
    uint32_t deviceId = 0;
    g.Graph.OnGraphFullscreenLost = [&](TObject*, IBaseFilter* renderer) { lost = renderer; };
    g.Graph.OnGraphTimeCodeAvailable = [&](TObject*, IBaseFilter* f, uint32_t id) {
        from = f;
        deviceId = id;
    };
    ASSERT_EQ(g.Poster->PostWithSelf(EC_FULLSCREEN_LOST, 0, TRUE), S_OK);
    ASSERT_EQ(g.Poster->PostWithSelf(EC_TIMECODE_AVAILABLE, 5, FALSE), S_OK);
    g.DrainOnce();
    EXPECT_EQ(lost, g.Source.Get());
    EXPECT_EQ(from, g.Source.Get());
    EXPECT_EQ(deviceId, 5u);

    std::wstring first, second;
    g.Graph.OnGraphOleEvent = [&](TObject*, const wchar_t* a, const wchar_t* b) {
        first = a;
        second = b;
    };
    ASSERT_EQ(g.Poster->PostOleEvent(L"Marker", L"Chapter 1"), S_OK);
    int64_t streamTime = 0;
    uint32_t segment = 0;
    g.Graph.OnGraphEndOfSegment = [&](TObject*, int64_t time, uint32_t number) {
        streamTime = time;
        segment = number;
    };
    ASSERT_EQ(g.Poster->PostEndOfSegment(123456789012LL, 3), S_OK);
    g.DrainOnce();
    EXPECT_EQ(first, L"Marker");
    EXPECT_EQ(second, L"Chapter 1");
    EXPECT_EQ(streamTime, 123456789012LL);
    EXPECT_EQ(segment, 3u);
}

TEST_F(GraphEventsTest, DvdStreamChangesLookUpTheLanguage) {
    mediatest::DvdBuilderRegistration dvd;
    ASSERT_EQ(dvd.Result, S_OK);
    EventGraph g(gmDVD);
    ASSERT_TRUE(g.Poster);
    int32_t stream = -1, lcid = -1;
    std::wstring lang;
    g.Graph.OnDVDAudioStreamChange = [&](TObject*, int32_t s, int32_t l, const std::wstring& text) {
        stream = s;
        lcid = l;
        lang = text;
    };
    g.Deliver(EC_DVD_AUDIO_STREAM_CHANGE, 2, 0);
    EXPECT_EQ(dvd.Info.LastAudioStream, 2u);
    EXPECT_EQ(stream, 2);
    EXPECT_EQ(lcid, 0x0409);
    EXPECT_EQ(lang, L"English");

    std::wstring subLang = L"unset";
    int32_t subLcid = -1;
    g.Graph.OnDVDSubpictureStreamChange = [&](TObject*, int32_t, int32_t l, const std::wstring& text) {
        subLcid = l;
        subLang = text;
    };
    g.Deliver(EC_DVD_SUBPICTURE_STREAM_CHANGE, 1, 0);
    EXPECT_EQ(subLcid, 0x0407);
    EXPECT_EQ(subLang, L"German");
    // A subpicture stream without a known language: no language.
    dvd.Info.SubpictureResult = E_FAIL;
    g.Deliver(EC_DVD_SUBPICTURE_STREAM_CHANGE, 1, 0);
    EXPECT_EQ(subLcid, 0);
    EXPECT_EQ(subLang, L"");

    // The audio language's failure is an error the application shows.
    dvd.Info.AudioResult = E_FAIL;
    stream = -1;
    g.Deliver(EC_DVD_AUDIO_STREAM_CHANGE, 3, 0);
    EXPECT_EQ(stream, -1);
    ASSERT_EQ(FBoxes.Texts.size(), 1u);
    EXPECT_NE(FBoxes.Texts[0].find(L"($80004005)."), std::wstring::npos);
}

TEST_F(GraphEventsTest, DvdStreamChangesWithoutDvdInterfacesRaiseNoTypedEvent) {
    EventGraph g(gmNormal);
    ASSERT_TRUE(g.Poster);
    bool raised = false;
    g.Graph.OnDVDAudioStreamChange = [&](TObject*, int32_t, int32_t, const std::wstring&) { raised = true; };
    g.Deliver(EC_DVD_AUDIO_STREAM_CHANGE, 1, 0);
    EXPECT_FALSE(raised);
    EXPECT_EQ(g.Events.size(), 1u);
    EXPECT_TRUE(FBoxes.Texts.empty());
}

TEST_F(GraphEventsTest, QueryServiceHandsOutTheComponentUnderItsPrivateIdentifier) {
    TFilterGraph graph(nullptr);
    ComPtr<IServiceProvider> provider;
    ASSERT_EQ(graph.QueryInterface(IID_IServiceProvider, provider.PutVoid()), S_OK);
    void* object = nullptr;
    ASSERT_EQ(provider->QueryService(SID_FilterGraphComponent, SID_FilterGraphComponent, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(&graph));
    // Any other request fails with the out pointer null, so that a caller
    // who releases what it got back releases nothing.
    void* cleared = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(provider->QueryService(SID_FilterGraphComponent, IID_IUnknown, &cleared), E_NOINTERFACE);
    EXPECT_EQ(cleared, nullptr);
    cleared = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(provider->QueryService(IID_IUnknown, SID_FilterGraphComponent, &cleared), E_NOINTERFACE);
    EXPECT_EQ(cleared, nullptr);
    EXPECT_EQ(provider->QueryService(SID_FilterGraphComponent, SID_FilterGraphComponent, nullptr), E_POINTER);
}

TEST_F(GraphEventsTest, UnableToRenderFindsTheComponentThroughThePinsGraph) {
    TFilterGraph graph(nullptr);
    graph.SetActive(true);
    ComPtr<IServiceProvider> site;
    ASSERT_EQ(graph.QueryInterface(IID_IServiceProvider, site.PutVoid()), S_OK);
    ComPtr<IAMFilterGraphCallback> callback;
    ASSERT_EQ(graph.QueryInterface(IID_IAMFilterGraphCallback, callback.PutVoid()), S_OK);

    ComPtr<IBaseFilter> capture = NewFilter(mediafixture::CLSID_FourLineCapture);
    ASSERT_TRUE(capture);
    ComPtr<IPin> pin = graphtest::FindPin(capture.Get(), PINDIR_OUTPUT);
    ASSERT_TRUE(pin);

    // In the platform's graph here there is no service provider: the
    // component cannot be found.
    ComPtr<IGraphBuilder> manager = Manager(graph);
    ASSERT_EQ(manager->AddFilter(capture.Get(), L"Capture"), S_OK);
    IPin* asked = nullptr;
    graph.OnUnableToRender = [&](IPin* p) {
        asked = p;
        return true;
    };
    EXPECT_EQ(callback->UnableToRender(pin.Get()), S_FALSE);
    EXPECT_EQ(asked, nullptr);
    ASSERT_EQ(manager->RemoveFilter(capture.Get()), S_OK);

    // In a graph that passes the service request to its site, it is.
    graphcomponenttest::TServiceGraph serviceGraph(site.Get(), nullptr);
    ASSERT_EQ(capture->JoinFilterGraph(&serviceGraph, L"Capture"), S_OK);
    EXPECT_EQ(callback->UnableToRender(pin.Get()), S_OK);
    EXPECT_EQ(asked, pin.Get());
    graph.OnUnableToRender = [&](IPin*) { return false; };
    EXPECT_EQ(callback->UnableToRender(pin.Get()), S_FALSE);
    graph.OnUnableToRender = [&](IPin*) -> bool { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(callback->UnableToRender(pin.Get()), S_FALSE);
    graph.OnUnableToRender = nullptr;
    EXPECT_EQ(callback->UnableToRender(pin.Get()), S_FALSE);
    capture->JoinFilterGraph(nullptr, nullptr);
    // A pin outside any graph.
    EXPECT_EQ(callback->UnableToRender(pin.Get()), S_FALSE);
}

TEST_F(GraphEventsTest, BuilderCallbacksSeeTheFiltersThatRenderingChooses) {
    TFilterGraph graph(nullptr);
    graph.SetMode(gmCapture);
    graph.SetActive(true);
    std::vector<std::wstring> selected;
    std::vector<GUID> selectedClasses, created;
    graph.OnSelectedFilter = [&](IMoniker* moniker, const std::wstring& name, const GUID& cls) {
        EXPECT_TRUE(moniker);
        selected.push_back(name);
        selectedClasses.push_back(cls);
        return true;
    };
    graph.OnCreatedFilter = [&](IBaseFilter* filter, const GUID& cls) {
        EXPECT_TRUE(filter);
        created.push_back(cls);
        return true;
    };
    ComPtr<IGraphBuilder> manager = Manager(graph);
    ComPtr<IBaseFilter> capture = AddNewFilter(graph, mediafixture::CLSID_FourLineCapture, L"Capture");
    ASSERT_TRUE(capture);
    ComPtr<IPin> out = graphtest::FindPin(capture.Get(), PINDIR_OUTPUT);
    ASSERT_TRUE(SUCCEEDED(manager->Render(out.Get())));
    ASSERT_FALSE(selected.empty());
    ASSERT_FALSE(created.empty());
    EXPECT_FALSE(selected.back().empty());
    EXPECT_FALSE(IsEqualGUID(selectedClasses.back(), GUID_NULL));
    // The filter created is the one selected.
    EXPECT_TRUE(IsEqualGUID(created.back(), selectedClasses.back()));
}

TEST_F(GraphEventsTest, ARefusingBuilderCallbackKeepsTheFilterOut) {
    TFilterGraph graph(nullptr);
    graph.SetActive(true);
    int asked = 0;
    graph.OnSelectedFilter = [&](IMoniker*, const std::wstring&, const GUID&) {
        ++asked;
        return false;
    };
    ComPtr<IGraphBuilder> manager = Manager(graph);
    ComPtr<IBaseFilter> capture = AddNewFilter(graph, mediafixture::CLSID_FourLineCapture, L"Capture");
    ASSERT_TRUE(capture);
    ComPtr<IPin> out = graphtest::FindPin(capture.Get(), PINDIR_OUTPUT);
    EXPECT_TRUE(FAILED(manager->Render(out.Get())));
    EXPECT_GT(asked, 0);
    EXPECT_EQ(FilterNames(graph), std::vector<std::wstring>{L"Capture"});
}

TEST_F(GraphEventsTest, SelectedFilterReadsTheDevicesNameAndClassWhateverTheyHold) {
    devicetest::EnsureOddDevices();
    TFilterGraph graph(nullptr);
    ComPtr<IAMGraphBuilderCallback> callback;
    ASSERT_EQ(graph.QueryInterface(IID_IAMGraphBuilderCallback, callback.PutVoid()), S_OK);
    std::map<std::wstring, GUID> seen;
    graph.OnSelectedFilter = [&](IMoniker*, const std::wstring& name, const GUID& cls) {
        seen[name] = cls;
        return true;
    };
    ComPtr<ICreateDevEnum> devices = mediafixture::CreatePlatformDeviceEnumerator();
    ASSERT_TRUE(devices);
    ComPtr<IEnumMoniker> monikers;
    ASSERT_EQ(devices->CreateClassEnumerator(devicetest::CategoryOddDevices, monikers.Put(), 0), S_OK);
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) EXPECT_EQ(callback->SelectedFilter(moniker.Get()), S_OK);
    ASSERT_EQ(seen.count(L"Odd Plain Device"), 1u);
    EXPECT_TRUE(IsEqualGUID(seen[L"Odd Plain Device"], mediafixture::CLSID_FourLineCapture));
    // A value that is no class identifier, or none: GUID_NULL, and no error.
    ASSERT_EQ(seen.count(L"Odd Device With Bad Class"), 1u);
    EXPECT_TRUE(IsEqualGUID(seen[L"Odd Device With Bad Class"], GUID_NULL));
    ASSERT_EQ(seen.count(L"Odd Device Without Class"), 1u);
    EXPECT_TRUE(IsEqualGUID(seen[L"Odd Device Without Class"], GUID_NULL));
    // No name: an empty one.
    ASSERT_EQ(seen.count(L""), 1u);
    EXPECT_TRUE(IsEqualGUID(seen[L""], mediafixture::CLSID_FourLineCapture));
    EXPECT_TRUE(FBoxes.Texts.empty());
}

TEST_F(GraphEventsTest, BuilderCallbacksWithoutHandlersAcceptEverything) {
    TFilterGraph graph(nullptr);
    ComPtr<IAMGraphBuilderCallback> callback;
    ASSERT_EQ(graph.QueryInterface(IID_IAMGraphBuilderCallback, callback.PutVoid()), S_OK);
    // No handler: the moniker is never touched (a null one would fail).
    EXPECT_EQ(callback->SelectedFilter(nullptr), S_OK);
    EXPECT_EQ(callback->CreatedFilter(nullptr), S_OK);
    // A handler that fails does not let its error cross the callback.
    graph.OnCreatedFilter = [](IBaseFilter*, const GUID&) -> bool { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(callback->CreatedFilter(nullptr), E_FAIL);
    EXPECT_EQ(FBoxes.Texts.size(), 1u);
}

}  // namespace
