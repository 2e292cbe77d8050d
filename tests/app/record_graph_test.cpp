// The capture graph of a recording and each of its failure messages. A
// failing part is made per test process: a class factory registered in
// this process over the part's class identifier fails or makes a fake, so
// the prefix's registry (which other test programs use at the same time)
// is never touched. After a failure the window stays in the recording
// state with nothing running, and the finish button converts the empty
// temporary path, which fails and names that path.
#include "tests/app/record_test_support.h"
#include "tests/app/fake_filters.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/fixtures/media/saveable_device_enum.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace apptest;

constexpr wchar_t kScreenFailed[] = L"videoCaptureFilterの初期化に失敗しました";
constexpr wchar_t kConfigFailed[] = L"videoCaptureFilterConfigの初期化に失敗しました";
constexpr wchar_t kCompressorFailed[] = L"圧縮フィルタの追加に失敗しました";
constexpr wchar_t kLoopbackFailed[] = L"オーディオフィルタ(LoopBack)の追加に失敗しました";
constexpr wchar_t kDeviceFailed[] = L"オーディオフィルタ(Device)の追加に失敗しました";
constexpr wchar_t kMuxFailed[] = L"multiplexerの初期化に失敗しました";
constexpr wchar_t kSoundRenderFailed[] = L"オーディオフィルタのレンダリングに失敗しました";
constexpr wchar_t kVideoRenderFailed[] = L"ビデオフィルタのレンダリングに失敗しました";

struct GraphMember {
    std::wstring Name;
    CLSID Class = GUID_NULL;
    ComPtr<IBaseFilter> Filter;
};

// The filters of the recording's graph, in the graph's order.
std::vector<GraphMember> GraphMembers() {
    std::vector<GraphMember> out;
    ComPtr<IGraphBuilder> graph;
    if (!FormMain->CaptureGraph->Active() ||
        FAILED(FormMain->CaptureGraph->QueryInterface(IID_IGraphBuilder, graph.PutVoid())) || !graph)
        return out;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.Put()))) return out;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
        GraphMember m;
        FILTER_INFO info{};
        if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
            m.Name = info.achName;
            if (info.pGraph) info.pGraph->Release();
        }
        filter->GetClassID(&m.Class);
        m.Filter = filter;
        out.push_back(std::move(m));
    }
    return out;
}

bool HasMember(const std::wstring& name) {
    for (const GraphMember& m : GraphMembers())
        if (m.Name == name) return true;
    return false;
}

const GraphMember* FindClass(const std::vector<GraphMember>& members, const CLSID& id) {
    for (const GraphMember& m : members)
        if (m.Class == id) return &m;
    return nullptr;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.Put()))) return {};
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == wanted) return pin;
    }
    return {};
}

class RecordingGraph : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = ScratchFolder(L"record_graph");
        if (WithFixtureCompressor) {
            ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
            // The platform's device monikers cannot be saved here, so the
            // compressor catalogue lists only through this enumerator.
            Application->Initialize();
            FSaveable.emplace();
            ASSERT_EQ(S_OK, FSaveable->Result());
            FLines.emplace();
        }
        FWindows = std::make_unique<ProgramWindows>("DEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(Dir) +
                                                    "\r\nFPS=10\r\n");
        Boxes().Texts.clear();
        TFormMain& m = *FormMain;
        m.RBRecStart->SetChecked(true);
        m.EditCapturePosLeft->SetText(L"8");
        m.EditCapturePosTop->SetText(L"16");
        m.EditCapturePosRigth->SetText(L"328");
        m.EditCapturePosBottom->SetText(L"256");
        ASSERT_GE(m.CBAudioDeviceName->ItemIndex(), 0) << "the null sink's monitor is listed";
    }
    void TearDown() override {
        if (FormProgress && FormProgress->Visible() && FormProgress->BtnClose->Enabled())
            FormProgress->BtnCloseClick(nullptr);
        FWindows.reset();
        FLines.reset();
        FSaveable.reset();
    }
    MessageBoxAnswers& Boxes() { return FWindows->Boxes; }
    void Start() { FormMain->pngCaptureStartClick(FormMain->pngCaptureStart); }

    // The build stopped at the message: the window is in the recording
    // state with nothing running.
    void ExpectStoppedWith(const wchar_t* message) {
        TFormMain& m = *FormMain;
        EXPECT_EQ(std::vector<std::wstring>{message}, Boxes().Texts);
        EXPECT_FALSE(m.pngCaptureStart->Enabled());
        EXPECT_FALSE(m.CBMovieSize->Enabled());
        EXPECT_TRUE(m.pngCaptureFinish->Enabled());
        EXPECT_FALSE(m.TimerCaptureTime->Enabled());
        EXPECT_NE(gsRunning, m.CaptureGraph->State());
    }
    // The finish converts the temporary path where nothing was recorded:
    // the converter fails, the path is named, closing returns to Idle.
    void ExpectFinishReportsTheEmptyPath() {
        TFormMain& m = *FormMain;
        const std::wstring avi = m.FSettings->TempAviPath;
        ASSERT_FALSE(avi.empty());
        Boxes().Texts.clear();
        m.pngCaptureFinishClick(m.pngCaptureFinish);
        EXPECT_TRUE(Boxes().Texts.empty());
        EXPECT_EQ(L"変換処理が失敗しました\r\n" + avi, FormProgress->LabelStatus->Caption());
        EXPECT_FALSE(FileExists(Dir + m.FSettings->FileName));
        EXPECT_TRUE(FormProgress->BtnClose->Enabled());
        FormProgress->BtnCloseClick(nullptr);
        EXPECT_TRUE(m.Enabled());
        EXPECT_TRUE(m.pngCaptureStart->Enabled());
        EXPECT_FALSE(m.pngCaptureFinish->Enabled());
    }
    // Loopback as the sound source (where the platform offers it).
    bool UseLoopback() {
        if (!FormMain->FLoopbackAvailable) return false;
        FormMain->RBUseLoopBack->SetChecked(true);
        return true;
    }

    bool WithFixtureCompressor = false;
    std::wstring Dir;
    std::unique_ptr<ProgramWindows> FWindows;
    std::optional<mediafixture::TSaveableDeviceEnumRegistration> FSaveable;
    std::optional<mediafixture::TCaptureLinesLock> FLines;
    ConverterWatchdog FWatchdog;
};

TEST_F(RecordingGraph, ScreenFilterThatCannotBeCreated) {
    TClassOverride screen(CLSID_ScreenCaptureSource, TClassOverride::Failing(REGDB_E_CLASSNOTREG));
    ASSERT_EQ(S_OK, screen.Result());
    Start();
    EXPECT_EQ(1, screen.Calls());
    ExpectStoppedWith(kScreenFailed);
    EXPECT_TRUE(GraphMembers().empty());
    ExpectFinishReportsTheEmptyPath();
}

TEST_F(RecordingGraph, ScreenFilterWithoutConfiguration) {
    TClassOverride screen(CLSID_ScreenCaptureSource, TClassOverride::Making([] { return new TFakeFilter(); }));
    ASSERT_EQ(S_OK, screen.Result());
    Start();
    ExpectStoppedWith(kConfigFailed);
    // What was added stays until the next build.
    const auto members = GraphMembers();
    ASSERT_EQ(1u, members.size());
    EXPECT_EQ(L"MorvoCapture2", members[0].Name);
    ExpectFinishReportsTheEmptyPath();
}

class RecordingGraphWithCompressor : public RecordingGraph {
protected:
    void SetUp() override {
        WithFixtureCompressor = true;
        RecordingGraph::SetUp();
    }
};

TEST_F(RecordingGraphWithCompressor, CompressorThatCannotBeCreated) {
    TFormMain& m = *FormMain;
    const int item = m.CBCompressorListVideo->FindItem(mediafixture::ConfigCompressorName);
    ASSERT_GE(item, 1);
    m.CBCompressorListVideo->SetItemIndex(item);
    TClassOverride compressor(mediafixture::CLSID_ConfigCompressor, TClassOverride::Failing());
    ASSERT_EQ(S_OK, compressor.Result());
    Start();
    EXPECT_GE(compressor.Calls(), 1);
    ExpectStoppedWith(kCompressorFailed);
    EXPECT_TRUE(HasMember(L"MorvoCapture2"));
    EXPECT_FALSE(HasMember(L"CompressFilter"));
    ExpectFinishReportsTheEmptyPath();
}

TEST_F(RecordingGraph, LoopbackThatCannotBeCreated) {
    if (!UseLoopback()) GTEST_SKIP() << "no loopback on this platform";
    TClassOverride loopback(CLSID_LoopbackAudioSource, TClassOverride::Failing(REGDB_E_CLASSNOTREG));
    ASSERT_EQ(S_OK, loopback.Result());
    Start();
    EXPECT_EQ(1, loopback.Calls());
    ExpectStoppedWith(kLoopbackFailed);
    EXPECT_TRUE(HasMember(L"MorvoCapture2"));
    EXPECT_FALSE(HasMember(L"MorvoAudioFilter2"));
    ExpectFinishReportsTheEmptyPath();
}

TEST_F(RecordingGraph, CaptureDeviceThatCannotBeBound) {
    TFormMain& m = *FormMain;
    TSysDevEntry entry{};
    m.FAudioDevices->GetFilterEntry(m.CBAudioDeviceName->ItemIndex(), entry);
    ASSERT_NE(GUID_NULL, entry.CLSID);
    TClassOverride device(entry.CLSID, TClassOverride::Failing());
    ASSERT_EQ(S_OK, device.Result());
    Start();
    EXPECT_GE(device.Calls(), 1);
    ExpectStoppedWith(kDeviceFailed);
    EXPECT_TRUE(HasMember(L"MorvoCapture2"));
    EXPECT_FALSE(HasMember(L"AudioCapFilter2"));
    ExpectFinishReportsTheEmptyPath();
}

TEST_F(RecordingGraph, MultiplexerThatCannotBeMade) {
    TClassOverride mux(CLSID_AviDest, TClassOverride::Failing());
    ASSERT_EQ(S_OK, mux.Result());
    Start();
    ExpectStoppedWith(kMuxFailed);
    EXPECT_TRUE(HasMember(L"MorvoCapture2"));
    EXPECT_TRUE(HasMember(L"AudioCapFilter2"));
    ExpectFinishReportsTheEmptyPath();
}

TEST_F(RecordingGraph, SoundSourceThatCannotBeRendered) {
    if (!UseLoopback()) GTEST_SKIP() << "no loopback on this platform";
    // A loopback filter without an output pin joins the graph and then
    // cannot be connected to the multiplexer.
    TClassOverride loopback(CLSID_LoopbackAudioSource, TClassOverride::Making([] { return new TFakeFilter(); }));
    ASSERT_EQ(S_OK, loopback.Result());
    Start();
    ExpectStoppedWith(kSoundRenderFailed);
    EXPECT_TRUE(HasMember(L"MorvoAudioFilter2"));
    EXPECT_NE(nullptr, FindClass(GraphMembers(), CLSID_AviDest));
    ExpectFinishReportsTheEmptyPath();
}

TEST_F(RecordingGraph, ScreenSourceThatCannotBeRenderedAfterItWasConfigured) {
    auto calls = std::make_shared<TScreenConfigCalls>();
    TClassOverride screen(CLSID_ScreenCaptureSource,
                          TClassOverride::Making([calls] { return new TFakeFilter(calls); }));
    ASSERT_EQ(S_OK, screen.Result());
    FormMain->CBContainCursor->SetChecked(true);
    Start();
    ExpectStoppedWith(kVideoRenderFailed);
    EXPECT_TRUE(calls->RectSet);
    EXPECT_EQ(8, calls->Left);
    EXPECT_EQ(16, calls->Top);
    EXPECT_EQ(320, calls->Width);
    EXPECT_EQ(240, calls->Height);
    EXPECT_TRUE(calls->RateSet);
    EXPECT_EQ(10, calls->Rate);
    EXPECT_TRUE(calls->CursorSet);
    EXPECT_NE(FALSE, calls->Cursor);
    // The sound was connected to the multiplexer before the video failed.
    const auto members = GraphMembers();
    const GraphMember* sound = nullptr;
    for (const GraphMember& mb : members)
        if (mb.Name == L"AudioCapFilter2") sound = &mb;
    ASSERT_NE(nullptr, sound);
    ComPtr<IPin> out = FirstPin(sound->Filter.Get(), PINDIR_OUTPUT), peer;
    ASSERT_TRUE(out);
    EXPECT_EQ(S_OK, out->ConnectedTo(peer.Put()));
    ExpectFinishReportsTheEmptyPath();
}

// Where the builder leaves the output file to its caller (as here), the
// platform's multiplexer and file writer are in the graph, connected, the
// writer writing the temporary AVI.
TEST_F(RecordingGraph, MultiplexerAndWriterOfThePlatformWriteTheTemporaryFile) {
    Start();
    ASSERT_TRUE(Boxes().Texts.empty()) << Narrow(Boxes().Texts[0]);
    TFormMain& m = *FormMain;
    EXPECT_EQ(gsRunning, m.CaptureGraph->State());
    EXPECT_TRUE(m.TimerCaptureTime->Enabled());
    const auto members = GraphMembers();
    const GraphMember* mux = FindClass(members, CLSID_AviDest);
    const GraphMember* writer = FindClass(members, CLSID_FileWriter);
    ASSERT_NE(nullptr, mux);
    ASSERT_NE(nullptr, writer);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(S_OK, writer->Filter->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()));
    LPOLESTR file = nullptr;
    ASSERT_EQ(S_OK, sink->GetCurFile(&file, nullptr));
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(m.FSettings->TempAviPath, std::wstring(file));
    CoTaskMemFree(file);
    ComPtr<IPin> muxOut = FirstPin(mux->Filter.Get(), PINDIR_OUTPUT), peer;
    ASSERT_TRUE(muxOut);
    ASSERT_EQ(S_OK, muxOut->ConnectedTo(peer.Put()));
    PIN_INFO info{};
    ASSERT_EQ(S_OK, peer->QueryPinInfo(&info));
    EXPECT_EQ(writer->Filter.Get(), info.pFilter);
    if (info.pFilter) info.pFilter->Release();
    // Both sources feed the multiplexer.
    EXPECT_TRUE(HasMember(L"MorvoCapture2"));
    EXPECT_TRUE(HasMember(L"AudioCapFilter2"));

    // A second of recording for the converter.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) ProgramWindows::Pump(1);
    m.pngCaptureFinishClick(m.pngCaptureFinish);
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【" + m.FSettings->FileName + L"】",
              FormProgress->LabelStatus->Caption());
    EXPECT_TRUE(FileExists(Dir + m.FSettings->FileName));
}

}  // namespace

namespace {

// A graph that does not stop: the error reaches the caller, nothing is
// converted, the recording stays where it is, and the finish button, still
// there, finishes it once the graph stops.
TEST_F(RecordingGraph, AGraphThatDoesNotStopKeepsTheRecordingForAnotherFinish) {
    Start();
    ASSERT_TRUE(Boxes().Texts.empty()) << Narrow(Boxes().Texts[0]);
    TFormMain& m = *FormMain;
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, m.CaptureGraph->QueryInterface(IID_IGraphBuilder, graph.PutVoid()));
    auto* stubborn = new TFakeFilter();
    const ComPtr<IBaseFilter> held = ComPtr<IBaseFilter>::Attach(stubborn);
    ASSERT_EQ(S_OK, graph->AddFilter(held.Get(), L"Stubborn"));
    stubborn->StopResult = E_FAIL;
    PumpFor(1000);

    EXPECT_ANY_THROW(m.pngCaptureFinishClick(m.pngCaptureFinish));
    EXPECT_FALSE(m.TimerCaptureTime->Enabled());
    EXPECT_FALSE(m.TimerEndTime->Enabled());
    EXPECT_TRUE(m.Enabled());
    EXPECT_TRUE(m.pngCaptureFinish->Enabled());
    EXPECT_FALSE(m.pngCaptureStart->Enabled());
    EXPECT_FALSE(FormProgress->Visible());
    EXPECT_TRUE(FileExists(m.FSettings->TempAviPath));

    stubborn->StopResult = S_OK;
    m.pngCaptureFinishClick(m.pngCaptureFinish);
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【" + m.FSettings->FileName + L"】",
              FormProgress->LabelStatus->Caption());
    EXPECT_TRUE(FileExists(Dir + m.FSettings->FileName));
    EXPECT_FALSE(FileExists(m.FSettings->TempAviPath));
}

}  // namespace
