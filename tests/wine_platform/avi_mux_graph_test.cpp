// The multiplexer and the file writer, created through COM by the platform's
// class identifiers, in Wine's filter graph with sources of the tests' own:
// connection, recording, skipped frame numbers, sound only, refused types,
// missing file names and folders, a full medium, a full disk under the file
// writer, a slow disk that must not hold the source, and the file closed when the graph has stopped whichever filter
// stops first.
#include "tests/fixtures/wine_platform/avi_reader.h"
#include "tests/fixtures/wine_platform/platform_graph.h"
#include "tests/fixtures/wine_platform/test_sources.h"
#include "shared/owner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>

using namespace avitest;

namespace {

struct ComScope {
    HRESULT Result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ~ComScope() {
        if (SUCCEEDED(Result)) CoUninitialize();
    }
};

struct AviMuxGraph : ::testing::Test {
    ComScope Com;
    static void SetUpTestSuite() { ASSERT_EQ(RegisterPlatform(), 0); }
};

// A filter graph without a reference clock: samples pass at once.
struct ClocklessGraph {
    ComPtr<IGraphBuilder> Graph;
    ComPtr<IMediaControl> Control;
    ComPtr<IMediaEventEx> Events;
    ClocklessGraph() {
        if (FAILED(
                CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, Graph.PutVoid())))
            return;
        Graph->QueryInterface(IID_IMediaControl, Control.PutVoid());
        Graph->QueryInterface(IID_IMediaEventEx, Events.PutVoid());
        ComPtr<IMediaFilter> mediaFilter;
        Graph->QueryInterface(IID_IMediaFilter, mediaFilter.PutVoid());
        mediaFilter->SetSyncSource(nullptr);
    }
    ~ClocklessGraph() {
        if (Control) Control->Stop();
    }
};

// Frames -> multiplexer -> stream sink, joined and connected in Graph.
::testing::AssertionResult MuxBetween(IGraphBuilder* Graph, IBaseFilter* Mux, IBaseFilter* Sink, IPin* SinkPin,
                                      IBaseFilter* Frames) {
    if (Graph->AddFilter(Mux, L"Mux") != S_OK || Graph->AddFilter(Sink, L"Sink") != S_OK ||
        Graph->AddFilter(Frames, L"Frames") != S_OK)
        return ::testing::AssertionFailure() << "a filter did not join the graph";
    if (Graph->ConnectDirect(Pins(Mux, PINDIR_OUTPUT)[0].Get(), SinkPin, nullptr) != S_OK)
        return ::testing::AssertionFailure() << "the multiplexer did not connect to the sink";
    if (Graph->ConnectDirect(Pins(Frames, PINDIR_OUTPUT)[0].Get(), Pins(Mux, PINDIR_INPUT)[0].Get(), nullptr) != S_OK)
        return ::testing::AssertionFailure() << "the frames did not connect to the multiplexer";
    return ::testing::AssertionSuccess();
}

// Pins as the graph sees them, in the filter's order.
std::vector<std::wstring> PinNames(IBaseFilter* filter) {
    std::vector<std::wstring> names;
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.Put());
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_INFO info{};
        pin->QueryPinInfo(&info);
        if (info.pFilter) info.pFilter->Release();
        names.push_back(info.achName);
    }
    return names;
}

TEST_F(AviMuxGraph, ClassesCreateOurFiltersWithTheirInterfaces) {
    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    ComPtr<IBaseFilter> writer = CreateByClass(CLSID_FileWriter);
    ASSERT_TRUE(mux);
    ASSERT_TRUE(writer);
    EXPECT_EQ(PinNames(mux.Get()), (std::vector<std::wstring>{L"AVI Out", L"Input 01"}));
    ComPtr<IFileSinkFilter> sink;
    EXPECT_EQ(writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()), S_OK);
    const auto writerIn = Pins(writer.Get(), PINDIR_INPUT);
    ASSERT_EQ(writerIn.size(), 1u);
    ComPtr<IStream> stream;
    ComPtr<IMemInputPin> memInput;
    EXPECT_EQ(writerIn[0]->QueryInterface(IID_IStream, stream.PutVoid()), S_OK);
    EXPECT_EQ(writerIn[0]->QueryInterface(IID_IMemInputPin, memInput.PutVoid()), S_OK);
    ComPtr<IAMFilterMiscFlags> flags;
    ASSERT_EQ(writer->QueryInterface(IID_IAMFilterMiscFlags, flags.PutVoid()), S_OK);
    EXPECT_EQ(flags->GetMiscFlags(), static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_RENDERER));

    // The file name, as set.
    LPOLESTR name = nullptr;
    EXPECT_EQ(sink->GetCurFile(&name, nullptr), S_FALSE);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(sink->SetFileName(L"C:\\x\\y.avi", nullptr), S_OK);
    ASSERT_EQ(sink->GetCurFile(&name, nullptr), S_OK);
    EXPECT_STREQ(name, L"C:\\x\\y.avi");
    CoTaskMemFree(name);
    EXPECT_EQ(sink->SetFileName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(sink->SetFileName(L"", nullptr), E_INVALIDARG);
}

TEST_F(AviMuxGraph, RendersSoundAndVideoIntoOneFileClosedWhenStopReturns) {
    const std::wstring path = OutputPath(L"wine_platform_frames.avi");
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(path.c_str()), S_OK);
    graph.WithoutClock();
    auto* tone = new TToneSource(44100, 2, 2.0, false);
    ComPtr<IBaseFilter> toneFilter(tone);
    // Frames for 1.5 s, sound for 2 s: the video lasts 2 s too.
    auto* frames = new TFrameSource(64, 48, TFrameSource::Numbers(0, 45));
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_EQ(graph.Add(toneFilter.Get(), L"Tone"), S_OK);
    ASSERT_EQ(graph.Add(frameFilter.Get(), L"Frames"), S_OK);
    ASSERT_EQ(graph.Render(toneFilter.Get()), S_OK);
    ASSERT_EQ(graph.Render(frameFilter.Get()), S_OK);
    // One free input pin is always there.
    EXPECT_EQ(PinNames(graph.Mux.Get()),
              (std::vector<std::wstring>{L"AVI Out", L"Input 01", L"Input 02", L"Input 03"}));

    ASSERT_EQ(graph.Control->Run(), S_OK);
    LONG_PTR result = -1;
    EXPECT_TRUE(graph.WaitForEvent(EC_COMPLETE, &result, 30000));
    EXPECT_EQ(result, S_OK);
    ASSERT_EQ(graph.Control->Stop(), S_OK);
    EXPECT_TRUE(FileClosed(path));

    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 2u);
    EXPECT_EQ(avi.Headers[0].Type, "auds");
    EXPECT_EQ(avi.Headers[0].Length, 88200u);
    EXPECT_EQ(avi.Headers[1].Type, "vids");
    EXPECT_EQ(avi.Headers[1].Length, 60u);
    EXPECT_EQ(avi.Headers[1].Rate, 30u);
    EXPECT_EQ(avi.Width, 64u);
    EXPECT_EQ(avi.Height, 48u);
    size_t frameChunks = 0;
    for (const Chunk& c : avi.Movie) {
        if (c.Id == "01db" && c.Size > 0) {
            EXPECT_EQ(c.Size, 64u * 48 * 3);
            ++frameChunks;
        }
    }
    EXPECT_EQ(frameChunks, 45u);
    EXPECT_EQ(avi.Legacy.size(), avi.Movie.size());

    // The program deletes the temporary file right after the stop.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(AviMuxGraph, SkippedFrameNumbersKeepTheWallClockLength) {
    const std::wstring path = OutputPath(L"wine_platform_skips.avi");
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(path.c_str()), S_OK);
    graph.WithoutClock();
    // Numbers 1, 2, 5, 6, 9, 10, ... up to 90: three seconds at 30 fps.
    std::vector<LONGLONG> numbers;
    for (LONGLONG n = 1; n <= 90; n += 4) {
        numbers.push_back(n);
        numbers.push_back(n + 1);
    }
    auto* frames = new TFrameSource(32, 32, numbers);
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_EQ(graph.Record(frameFilter.Get(), L"Frames"), S_OK);
    ASSERT_EQ(graph.RunToEnd(30000), S_OK);

    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 1u);
    EXPECT_EQ(avi.Headers[0].Length, static_cast<DWORD>(numbers.back() + 1));
    size_t withData = 0;
    for (const Chunk& c : avi.Movie) withData += c.Size > 0;
    EXPECT_EQ(withData, numbers.size());
    EXPECT_EQ(avi.Movie.size(), static_cast<size_t>(numbers.back() + 1));
    EXPECT_EQ(avi.Movie[0].Size, 0u);
    EXPECT_GT(avi.Movie[1].Size, 0u);
    EXPECT_EQ(avi.Movie[3].Size, 0u);
    // Kept for the check with the host's ffprobe.
}

TEST_F(AviMuxGraph, SoundOnlyGraphWritesSoundOnlyFile) {
    const std::wstring path = OutputPath(L"wine_platform_sound.avi");
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(path.c_str()), S_OK);
    graph.WithoutClock();
    auto* tone = new TToneSource(48000, 1, 3.0, false);
    ComPtr<IBaseFilter> toneFilter(tone);
    ASSERT_EQ(graph.Record(toneFilter.Get(), L"Tone"), S_OK);
    ASSERT_EQ(graph.RunToEnd(30000), S_OK);

    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 1u);
    EXPECT_EQ(avi.Streams, 1u);
    EXPECT_EQ(avi.Headers[0].Type, "auds");
    EXPECT_EQ(avi.Headers[0].Length, 144000u);
    EXPECT_EQ(avi.Headers[0].Rate, 96000u);
    EXPECT_EQ(avi.TotalFrames, 0u);
    EXPECT_EQ(avi.Width, 0u);
}

TEST_F(AviMuxGraph, InputTypesTheFileCannotHoldAreRefusedAtConnection) {
    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    ASSERT_TRUE(mux);
    auto* floatTone = new TToneSource(48000, 2, 1.0, false, true);
    ComPtr<IBaseFilter> source(floatTone);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid()),
              S_OK);
    ASSERT_EQ(graph->AddFilter(mux.Get(), L"Mux"), S_OK);
    ASSERT_EQ(graph->AddFilter(source.Get(), L"Float"), S_OK);
    const auto out = Pins(source.Get(), PINDIR_OUTPUT);
    const auto in = Pins(mux.Get(), PINDIR_INPUT);
    ASSERT_EQ(in.size(), 1u);
    const HRESULT hr = graph->ConnectDirect(out[0].Get(), in[0].Get(), nullptr);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    ComPtr<IPin> other;
    EXPECT_EQ(in[0]->ConnectedTo(other.Put()), VFW_E_NOT_CONNECTED);
    // Still the one free pin, no stream added.
    EXPECT_EQ(Pins(mux.Get(), PINDIR_INPUT).size(), 1u);

    // The output pin goes only to a pin that writes through IStream.
    auto* frames = new TFrameSource(8, 8, TFrameSource::Numbers(0, 1));
    ComPtr<IBaseFilter> frameFilter(frames);
    ComPtr<IBaseFilter> renderer;
    // {C1F400A4-3F08-11D3-9F0B-006008039E37}: the platform's Null Renderer.
    constexpr CLSID nullRenderer{0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
    ASSERT_EQ(CoCreateInstance(nullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.PutVoid()), S_OK);
    ASSERT_EQ(graph->AddFilter(renderer.Get(), L"Null"), S_OK);
    const auto muxOut = Pins(mux.Get(), PINDIR_OUTPUT);
    const auto rendererIn = Pins(renderer.Get(), PINDIR_INPUT);
    EXPECT_TRUE(FAILED(graph->ConnectDirect(muxOut[0].Get(), rendererIn[0].Get(), nullptr)));
}

TEST_F(AviMuxGraph, RunWithoutFileNameOrFolderFailsAndLeavesNoFile) {
    for (int round = 0; round < 2; ++round) {
        const std::wstring missing = OutputPath(L"no_such_folder\\out.avi");
        RecordingGraph graph;
        ASSERT_EQ(graph.Build(round == 0 ? nullptr : missing.c_str()), S_OK);
        auto* tone = new TToneSource(44100, 2, 1.0, false);
        ComPtr<IBaseFilter> toneFilter(tone);
        ASSERT_EQ(graph.Record(toneFilter.Get(), L"Tone"), S_OK);
        const HRESULT expected =
            round == 0 ? HRESULT_FROM_WIN32(ERROR_INVALID_NAME) : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        EXPECT_EQ(graph.Writer->Pause(), expected);
        EXPECT_TRUE(FAILED(graph.Control->Run()));
        graph.Control->Stop();
        EXPECT_FALSE(FileExists(missing));

        // Named afterwards, the same graph records.
        const std::wstring path = OutputPath(L"wine_platform_named_late.avi");
        ASSERT_EQ(graph.Sink->SetFileName(path.c_str(), nullptr), S_OK);
        graph.WithoutClock();
        ASSERT_EQ(graph.RunToEnd(30000), S_OK);
        const AviFile avi = ReadAvi(path);
        EXPECT_EQ(avi.Error, "");
        ASSERT_EQ(avi.Headers.size(), 1u);
        // The graph may have left the source paused after the failed run, so
        // its first packet can have gone before the file existed.
        EXPECT_GE(avi.Headers[0].Length, 44100u - 441);
        EXPECT_LE(avi.Headers[0].Length, 44100u);
        EXPECT_TRUE(DeleteFileW(path.c_str()));
    }
}

TEST_F(AviMuxGraph, AFullMediumAbortsTheStreamAndLeavesTheFileUnfinished) {
    ClocklessGraph g;
    ASSERT_TRUE(g.Graph);
    IGraphBuilder* graph = g.Graph.Get();
    IMediaControl* control = g.Control.Get();
    IMediaEventEx* events = g.Events.Get();

    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    auto* sink = new TStreamSink;
    ComPtr<IBaseFilter> sinkFilter(sink);
    sink->Pin->Room = 200000;
    auto* frames = new TFrameSource(64, 64, TFrameSource::Numbers(0, 100));
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_TRUE(MuxBetween(graph, mux.Get(), sinkFilter.Get(), sink->Pin, frameFilter.Get()));
    ASSERT_EQ(control->Run(), S_OK);
    LONG_PTR error = 0;
    const bool aborted = graphtest::WaitForGraphEvent(events, EC_ERRORABORT, &error, 30000);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(error, STG_E_MEDIUMFULL);
    control->Stop();
    // Fewer frames went through than the source had, and the file does not
    // claim to be whole: its RIFF size is still the placeholder.
    EXPECT_LT(frames->Pin->Delivered.load(), 100);
    ASSERT_GE(sink->Pin->Bytes.size(), 8u);
    EXPECT_EQ(Le32(sink->Pin->Bytes.data() + 4), 0u);
    EXPECT_GE(sink->Pin->Commits.load(), 1) << "the writer may let the file go";
}

TEST_F(AviMuxGraph, ASlowDiskDoesNotHoldTheSourceAndEveryFrameStillReachesTheFile) {
    ClocklessGraph g;
    ASSERT_TRUE(g.Graph);
    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    auto* sink = new TStreamSink;
    ComPtr<IBaseFilter> sinkFilter(sink);
    TKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(release);
    constexpr LONG width = 320, height = 240, frameBytes = width * height * 3;
    sink->Pin->HoldFrom = frameBytes;
    sink->Pin->Resume = release.Get();
    auto* frames = new TFrameSource(width, height, TFrameSource::Numbers(0, 10));
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_TRUE(MuxBetween(g.Graph.Get(), mux.Get(), sinkFilter.Get(), sink->Pin, frameFilter.Get()));
    ASSERT_EQ(g.Control->Run(), S_OK);
    // Every frame leaves the source while the disk holds the first write.
    for (int i = 0; i < 1000 && frames->Pin->Delivered.load() < 10; ++i) Sleep(10);
    EXPECT_EQ(frames->Pin->Delivered.load(), 10);
    EXPECT_EQ(sink->Pin->Held.load(), 1);
    // The stop writes what is queued before it finishes the file.
    SetEvent(release.Get());
    g.Control->Stop();
    std::lock_guard<std::mutex> lock(sink->Pin->Mutex);
    const std::vector<BYTE>& bytes = sink->Pin->Bytes;
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_NE(Le32(bytes.data() + 4), 0u);
    int chunks = 0;
    for (size_t at = 0; at + 8 <= bytes.size(); ++at)
        if (std::memcmp(bytes.data() + at, "00db", 4) == 0 &&
            Le32(bytes.data() + at + 4) == static_cast<uint32_t>(frameBytes))
            ++chunks;
    EXPECT_EQ(chunks, 10);
}

TEST_F(AviMuxGraph, AFileTheMediumFailsToStoreAtTheEndFailsTheStop) {
    ClocklessGraph g;
    ASSERT_TRUE(g.Graph);
    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    auto* sink = new TStreamSink;
    ComPtr<IBaseFilter> sinkFilter(sink);
    sink->Pin->CommitResult = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    auto* frames = new TFrameSource(64, 64, TFrameSource::Numbers(0, 5));
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_TRUE(MuxBetween(g.Graph.Get(), mux.Get(), sinkFilter.Get(), sink->Pin, frameFilter.Get()));
    ASSERT_EQ(g.Control->Run(), S_OK);
    for (int i = 0; i < 1000 && frames->Pin->Delivered.load() < 5; ++i) Sleep(10);
    // The headers and frames went in; the last flush fails: the recording
    // is not reported whole.
    EXPECT_EQ(mux->Stop(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    LONG_PTR error = 0;
    EXPECT_TRUE(graphtest::WaitForGraphEvent(g.Events.Get(), EC_ERRORABORT, &error, 5000));
    EXPECT_EQ(error, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    g.Control->Stop();
}

TEST_F(AviMuxGraph, HeadersThatFindNoRoomFailThePauseAndLetTheWriterGo) {
    ClocklessGraph g;
    ASSERT_TRUE(g.Graph);
    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    auto* sink = new TStreamSink;
    ComPtr<IBaseFilter> sinkFilter(sink);
    sink->Pin->Room = 16;
    auto* frames = new TFrameSource(16, 16, TFrameSource::Numbers(0, 10));
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_TRUE(MuxBetween(g.Graph.Get(), mux.Get(), sinkFilter.Get(), sink->Pin, frameFilter.Get()));
    EXPECT_EQ(mux->Pause(), STG_E_MEDIUMFULL);
    FILTER_STATE state = State_Running;
    EXPECT_EQ(mux->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    // The writer below was written to and will hear nothing more: it is told
    // the file is done, so it need not hold it open.
    EXPECT_GE(sink->Pin->Commits.load(), 1);
}

// Wine maps Z: to the root of the host's file system: a device that opens
// for writing and refuses every byte with "no space left" (ERROR_DISK_FULL).
const wchar_t* const FullDisk = L"Z:\\dev\\full";

// Every event waiting in the graph's queue, in order.
std::vector<long> EventCodes(IMediaEventEx* events) {
    std::vector<long> codes;
    long code;
    LONG_PTR p1, p2;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        events->FreeEventParams(code, p1, p2);
        codes.push_back(code);
    }
    return codes;
}

TEST_F(AviMuxGraph, WriterOnAFullDiskEndsTheStreamWithAnErrorNotACompleteFile) {
    ClocklessGraph g;
    ASSERT_TRUE(g.Graph);
    ComPtr<IBaseFilter> writer = CreateByClass(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()), S_OK);
    ASSERT_EQ(sink->SetFileName(FullDisk, nullptr), S_OK);
    // Samples whose times are byte offsets, straight into the writer.
    auto* frames = new TFrameSource(8, 8, TFrameSource::Numbers(0, 20), 192);
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_EQ(g.Graph->AddFilter(writer.Get(), L"Writer"), S_OK);
    ASSERT_EQ(g.Graph->AddFilter(frameFilter.Get(), L"Frames"), S_OK);
    ASSERT_EQ(g.Graph->ConnectDirect(Pins(frameFilter.Get(), PINDIR_OUTPUT)[0].Get(),
                                     Pins(writer.Get(), PINDIR_INPUT)[0].Get(), nullptr),
              S_OK);
    ASSERT_EQ(g.Control->Run(), S_OK);
    LONG_PTR error = 0;
    ASSERT_TRUE(graphtest::WaitForGraphEvent(g.Events.Get(), EC_ERRORABORT, &error, 30000));
    EXPECT_EQ(error, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_EQ(g.Control->Stop(), S_OK);
    // A refused sample ends the source's loop (the run command may start it
    // once more after the pause), and the writer never reported the stream
    // complete.
    EXPECT_LE(frames->Pin->Delivered.load(), 2);
    const std::vector<long> later = EventCodes(g.Events.Get());
    EXPECT_EQ(std::count(later.begin(), later.end(), EC_COMPLETE), 0);
}

TEST_F(AviMuxGraph, MultiplexerOnAFullDiskFailsTheRun) {
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(FullDisk), S_OK);
    graph.WithoutClock();
    auto* frames = new TFrameSource(16, 16, TFrameSource::Numbers(0, 10));
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_EQ(graph.Record(frameFilter.Get(), L"Frames"), S_OK);
    // The headers go first, when the graph pauses: the writer refuses them
    // and the run fails with its error.
    EXPECT_EQ(graph.Control->Run(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    graph.Control->Stop();
    // Wine's graph leaves the filters it paused before the failure paused.
    graph.Writer->Stop();
    frameFilter->Stop();
    FILTER_STATE state = State_Running;
    EXPECT_EQ(graph.Mux->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    const std::vector<long> events = EventCodes(graph.Events.Get());
    EXPECT_EQ(std::count(events.begin(), events.end(), EC_COMPLETE), 0);

    // Given a file that takes the bytes, the same graph records.
    const std::wstring path = OutputPath(L"wine_platform_after_full.avi");
    ASSERT_EQ(graph.Sink->SetFileName(path.c_str(), nullptr), S_OK);
    ASSERT_EQ(graph.RunToEnd(30000), S_OK);
    const AviFile avi = ReadAvi(path);
    EXPECT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 1u);
    EXPECT_EQ(avi.Headers[0].Length, 10u);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(AviMuxGraph, WriterPutsSamplesAtTheByteOffsetsTheirTimesGive) {
    const std::wstring path = OutputPath(L"wine_platform_offsets.bin");
    ClocklessGraph g;
    ASSERT_TRUE(g.Graph);
    IGraphBuilder* graph = g.Graph.Get();
    IMediaControl* control = g.Control.Get();
    IMediaEventEx* events = g.Events.Get();
    ComPtr<IBaseFilter> writer = CreateByClass(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()), S_OK);
    ASSERT_EQ(sink->SetFileName(path.c_str(), nullptr), S_OK);
    // 8x8 RGB24 frames are 192 bytes; a "frame length" of 192 makes frame n's
    // time its byte offset. Delivered out of order: 2, 0, 1, 3.
    auto* frames = new TFrameSource(8, 8, {2, 0, 1, 3}, 192);
    ComPtr<IBaseFilter> frameFilter(frames);
    ASSERT_EQ(graph->AddFilter(writer.Get(), L"Writer"), S_OK);
    ASSERT_EQ(graph->AddFilter(frameFilter.Get(), L"Frames"), S_OK);
    ASSERT_EQ(graph->ConnectDirect(Pins(frameFilter.Get(), PINDIR_OUTPUT)[0].Get(),
                                   Pins(writer.Get(), PINDIR_INPUT)[0].Get(), nullptr),
              S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(graphtest::WaitForGraphEvent(events, EC_COMPLETE, nullptr, 30000));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_TRUE(FileClosed(path));

    const std::vector<BYTE> bytes = Reader(path).Bytes(0, 4 * 192);
    ASSERT_EQ(bytes.size(), 4u * 192);
    EXPECT_EQ(Reader(path).Size(), 4u * 192);
    for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], static_cast<BYTE>(i / 192)) << "at byte " << i;
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

// Stops the two filters by hand, in either order, as a graph may.
class StopOrder : public AviMuxGraph, public ::testing::WithParamInterface<bool> {};

TEST_P(StopOrder, FileIsWholeAndClosedOnceBothStopped) {
    const bool writerFirst = GetParam();
    const std::wstring path =
        OutputPath(writerFirst ? L"wine_platform_writer_first.avi" : L"wine_platform_mux_first.avi");
    ComPtr<IBaseFilter> mux = CreateByClass(CLSID_AviDest);
    ComPtr<IBaseFilter> writer = CreateByClass(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()), S_OK);
    ASSERT_EQ(sink->SetFileName(path.c_str(), nullptr), S_OK);
    auto* frames = new TFrameSource(16, 16, TFrameSource::Numbers(0, 5));
    ComPtr<IBaseFilter> frameFilter(frames);
    const auto muxOut = Pins(mux.Get(), PINDIR_OUTPUT);
    ASSERT_EQ(muxOut[0]->Connect(Pins(writer.Get(), PINDIR_INPUT)[0].Get(), nullptr), S_OK);
    ASSERT_EQ(Pins(frameFilter.Get(), PINDIR_OUTPUT)[0]->Connect(Pins(mux.Get(), PINDIR_INPUT)[0].Get(), nullptr),
              S_OK);
    // Downstream first, as a graph does.
    ASSERT_EQ(writer->Pause(), S_OK);
    ASSERT_EQ(mux->Pause(), S_OK);
    ASSERT_EQ(frameFilter->Pause(), S_OK);
    for (int i = 0; i < 500 && frames->Pin->Delivered.load() < 5; ++i) Sleep(10);
    Sleep(100);
    ASSERT_EQ(frameFilter->Stop(), S_OK);
    IBaseFilter* first = writerFirst ? writer.Get() : mux.Get();
    IBaseFilter* second = writerFirst ? mux.Get() : writer.Get();
    ASSERT_EQ(first->Stop(), S_OK);
    if (!writerFirst) {
        // The multiplexer is done: nothing waits for the writer but its stop.
        EXPECT_FALSE(FileClosed(path));
    }
    ASSERT_EQ(second->Stop(), S_OK);
    EXPECT_TRUE(FileClosed(path));
    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 1u);
    EXPECT_EQ(avi.Headers[0].Length, 5u);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

INSTANTIATE_TEST_SUITE_P(EitherFilterFirst, StopOrder, ::testing::Bool());

}  // namespace
