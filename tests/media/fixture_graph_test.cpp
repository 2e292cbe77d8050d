// The media fixtures in a real graph: the compressor passes RGB24 frames
// through unchanged, the capture device streams silence in the format set,
// and the event source's events reach the graph's event queue.
#include "baseclasses/baseclasses.h"
#include "shared/media_type.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/media/device_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace devicetest;
using graphtest::FindPin;

// A source of 16x8 RGB24 frames whose bytes name the frame number.
class TRgb24Pin : public TBCSourceStream {
public:
    static constexpr LONG Width = 16, Height = 8, Size = Width * Height * 3;
    static constexpr REFERENCE_TIME Duration = 333333;

    TRgb24Pin(HRESULT* hr, TBCSource* filter) : TBCSourceStream(L"Rgb24", hr, filter, L"Out") {}

    using TBCSourceStream::GetMediaType;
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override {
        auto* header = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        if (!header) return E_OUTOFMEMORY;
        *header = VIDEOINFOHEADER{};
        header->AvgTimePerFrame = Duration;
        header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header->bmiHeader.biWidth = Width;
        header->bmiHeader.biHeight = Height;
        header->bmiHeader.biPlanes = 1;
        header->bmiHeader.biBitCount = 24;
        header->bmiHeader.biSizeImage = Size;
        *type = AM_MEDIA_TYPE{};
        type->majortype = MEDIATYPE_Video;
        type->subtype = MEDIASUBTYPE_RGB24;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = Size;
        type->formattype = FORMAT_VideoInfo;
        type->cbFormat = sizeof(VIDEOINFOHEADER);
        type->pbFormat = reinterpret_cast<BYTE*>(header);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = 2;
        request->cbBuffer = Size;
        ALLOCATOR_PROPERTIES actual{};
        return allocator->SetProperties(request, &actual);
    }
    HRESULT FillBuffer(IMediaSample* sample) override {
        const LONG n = ++Frames;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        for (LONG i = 0; i < Size; ++i) data[i] = static_cast<BYTE>(n * 31 + i);
        sample->SetActualDataLength(Size);
        REFERENCE_TIME start = (n - 1) * Duration, stop = start + Duration;
        sample->SetTime(&start, &stop);
        return S_OK;
    }
    std::atomic<LONG> Frames{0};
};

class TRgb24Source : public TBCSource {
public:
    TRgb24Source() : TBCSource(L"Rgb24 source", nullptr, GUID_NULL) { Pin = new TRgb24Pin(&FHr, this); }
    TRgb24Pin* Pin;

private:
    HRESULT FHr = S_OK;
};

class FixtureGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ComScope com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
    }
    static ComPtr<IBaseFilter> Create(const CLSID& id) {
        ComPtr<IBaseFilter> filter;
        CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
        return filter;
    }
    ComScope FCom;
};

TEST_F(FixtureGraphTest, CompressorPassesFramesThroughUnchanged) {
    auto* source = new TRgb24Source();
    ComPtr<IBaseFilter> sourceFilter(static_cast<IBaseFilter*>(source));
    ComPtr<IBaseFilter> compressor = Create(mediafixture::CLSID_ConfigCompressor);
    ASSERT_TRUE(compressor);

    graphtest::SampleRecorder recorder(true);
    graphtest::GrabberGraph graph;
    ASSERT_EQ(graph.Build(sourceFilter.Get(), &recorder, false), S_OK);
    ASSERT_EQ(graph.Graph->AddFilter(compressor.Get(), L"CompressFilter"), S_OK);
    ASSERT_EQ(graph.Graph->ConnectDirect(FindPin(sourceFilter.Get(), PINDIR_OUTPUT).Get(),
                                         FindPin(compressor.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph.Graph->ConnectDirect(FindPin(compressor.Get(), PINDIR_OUTPUT).Get(),
                                         FindPin(graph.Grabber.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph.Graph->ConnectDirect(FindPin(graph.Grabber.Get(), PINDIR_OUTPUT).Get(),
                                         FindPin(graph.Renderer.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);

    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(FindPin(compressor.Get(), PINDIR_OUTPUT)->ConnectionMediaType(&connected), S_OK);
    EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB24);
    FreeMediaType(connected);

    ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
    ASSERT_TRUE(recorder.WaitFor(5, std::chrono::seconds(20)));
    graph.Control->Stop();
    const auto samples = recorder.Samples();
    for (size_t i = 0; i < 5; ++i) {
        const LONG n = static_cast<LONG>(i + 1);
        ASSERT_EQ(samples[i].Size, TRgb24Pin::Size);
        EXPECT_EQ(samples[i].Start, (n - 1) * TRgb24Pin::Duration);
        EXPECT_EQ(samples[i].Stop, n * TRgb24Pin::Duration);
        for (LONG b = 0; b < TRgb24Pin::Size; b += 97) EXPECT_EQ(samples[i].Data[b], static_cast<BYTE>(n * 31 + b));
    }
}

TEST_F(FixtureGraphTest, CompressorRefusesAnythingButRgb24) {
    ComPtr<IBaseFilter> compressor = Create(mediafixture::CLSID_PlainCompressor);
    ComPtr<IPin> input = FindPin(compressor.Get(), PINDIR_INPUT);
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    EXPECT_NE(input->QueryAccept(&type), S_OK);
    // The output offers nothing before the input is connected.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(FindPin(compressor.Get(), PINDIR_OUTPUT)->EnumMediaTypes(types.Put()), S_OK);
    AM_MEDIA_TYPE* offered = nullptr;
    EXPECT_EQ(types->Next(1, &offered, nullptr), S_FALSE);
}

TEST_F(FixtureGraphTest, CaptureDeviceStreamsSilenceInTheFormatSet) {
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    ASSERT_TRUE(capture);
    ComPtr<IPin> output = FindPin(capture.Get(), PINDIR_OUTPUT);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(output.As(config), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(count, mediafixture::CaptureFormatCount);
    AM_MEDIA_TYPE* chosen = nullptr;
    AUDIO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(3, &chosen, reinterpret_cast<BYTE*>(&caps)), S_OK);  // 11025 Hz mono 8-bit
    EXPECT_EQ(caps.MaximumSampleFrequency, 11025u);
    ASSERT_EQ(config->SetFormat(chosen), S_OK);
    DeleteMediaType(chosen);

    graphtest::SampleRecorder recorder(true);
    graphtest::GrabberGraph graph;
    ASSERT_EQ(graph.Build(capture.Get(), &recorder, false), S_OK);
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
    ASSERT_TRUE(recorder.WaitFor(3, std::chrono::seconds(20)));
    graph.Control->Stop();
    const auto samples = recorder.Samples();
    REFERENCE_TIME expectedStart = 0;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[i].Size, 11025 / 20);
        EXPECT_EQ(samples[i].Start, expectedStart);
        expectedStart = samples[i].Stop;
        for (BYTE b : samples[i].Data) ASSERT_EQ(b, 0x80);
    }
}

TEST_F(FixtureGraphTest, CaptureLinesKeepTheirStateOutsideTheFilter) {
    mediafixture::ResetCaptureLines();
    ComPtr<IBaseFilter> first = Create(mediafixture::CLSID_FourLineCapture);
    ComPtr<IAMAudioInputMixer> line2;
    ComPtr<IPin> third;
    first->FindPin(mediafixture::CaptureLineNames[2], third.Put());
    ASSERT_TRUE(third);
    ASSERT_EQ(third->QueryInterface(IID_IAMAudioInputMixer, line2.PutVoid()), S_OK);
    BOOL enabled = TRUE;
    ASSERT_EQ(line2->get_Enable(&enabled), S_OK);
    EXPECT_FALSE(enabled);
    ASSERT_EQ(line2->put_Enable(-1), S_OK);

    ComPtr<IBaseFilter> second = Create(mediafixture::CLSID_FourLineCapture);
    ComPtr<IPin> again;
    second->FindPin(mediafixture::CaptureLineNames[2], again.Put());
    ComPtr<IAMAudioInputMixer> seen;
    ASSERT_EQ(again->QueryInterface(IID_IAMAudioInputMixer, seen.PutVoid()), S_OK);
    ASSERT_EQ(seen->get_Enable(&enabled), S_OK);
    EXPECT_TRUE(enabled);
    mediafixture::ResetCaptureLines();
    ASSERT_EQ(seen->get_Enable(&enabled), S_OK);
    EXPECT_FALSE(enabled);
}

// The next event of the graph's queue (polled: the queue may still be
// empty for a moment), or false.
bool NextEvent(IMediaEventEx* events, long& code, LONG_PTR& p1, LONG_PTR& p2) {
    for (int i = 0; i < 200; ++i) {
        if (events->GetEvent(&code, &p1, &p2, 0) == S_OK) return true;
        Sleep(10);
    }
    return false;
}

TEST_F(FixtureGraphTest, EventSourcePostsIntoTheGraphsQueue) {
    ComPtr<IBaseFilter> source = Create(mediafixture::CLSID_EventSource);
    ComPtr<mediafixture::IGraphEventPoster> poster;
    ASSERT_EQ(source.As(poster), S_OK);
    EXPECT_EQ(poster->Post(EC_USER, 1, 2), E_NOTIMPL);  // outside a graph

    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid()),
              S_OK);
    ComPtr<IMediaEventEx> events;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEventEx, events.PutVoid()), S_OK);
    ASSERT_EQ(graph->AddFilter(source.Get(), L"Events"), S_OK);

    ASSERT_EQ(poster->Post(EC_USER + 5, 11, 12), S_OK);
    ASSERT_EQ(poster->PostFromThread(EC_USER + 6, 21, 22), S_OK);
    ASSERT_EQ(poster->PostOleEvent(L"first", L"second"), S_OK);
    ASSERT_EQ(poster->PostEndOfSegment(123456789, 7), S_OK);

    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    ASSERT_TRUE(NextEvent(events.Get(), code, p1, p2));
    EXPECT_EQ(code, EC_USER + 5);
    EXPECT_EQ(p1, 11);
    EXPECT_EQ(p2, 12);
    events->FreeEventParams(code, p1, p2);
    ASSERT_TRUE(NextEvent(events.Get(), code, p1, p2));
    EXPECT_EQ(code, EC_USER + 6);
    EXPECT_EQ(p1, 21);
    events->FreeEventParams(code, p1, p2);
    ASSERT_TRUE(NextEvent(events.Get(), code, p1, p2));
    EXPECT_EQ(code, EC_OLE_EVENT);
    EXPECT_STREQ(reinterpret_cast<BSTR>(p1), L"first");
    EXPECT_STREQ(reinterpret_cast<BSTR>(p2), L"second");
    events->FreeEventParams(code, p1, p2);
    ASSERT_TRUE(NextEvent(events.Get(), code, p1, p2));
    EXPECT_EQ(code, EC_END_OF_SEGMENT);
    EXPECT_EQ(*reinterpret_cast<REFERENCE_TIME*>(p1), 123456789);
    EXPECT_EQ(p2, 7);
    events->FreeEventParams(code, p1, p2);
    graph->RemoveFilter(source.Get());
}

}  // namespace
