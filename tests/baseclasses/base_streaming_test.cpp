// The base classes in Wine's real filter graph: connection and allocator,
// the streaming thread across run, pause and stop, and the end of a stream.
#include "tests/baseclasses/test_source.h"
#include "tests/fixtures/graph_test_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;
using graphtest::ComScope;
using graphtest::GrabberGraph;
using graphtest::SampleRecorder;

namespace {

struct BaseClassesStreaming : ::testing::Test {
    ComScope Com;
    TTestSource* Filter = new TTestSource(L"Test Source", nullptr);
    ComPtr<IBaseFilter> FilterRef{static_cast<IBaseFilter*>(Filter)};
    SampleRecorder Recorder{true};
    GrabberGraph Graph;

    void SetUp() override {
        ASSERT_EQ(Filter->PinResult, S_OK);
        ASSERT_EQ(Graph.Build(Filter, &Recorder, false), S_OK);
        ASSERT_EQ(Graph.Connect(), S_OK);
    }
    TTestPin& Pin() { return *Filter->Pin; }
};

}  // namespace

TEST_F(BaseClassesStreaming, ConnectionAgreesTypeAndAllocator) {
    ComPtr<IPin> pin;
    ASSERT_EQ(Filter->FindPin(L"Out", pin.Put()), S_OK);
    TMediaTypeRecord type;
    ASSERT_EQ(pin->ConnectionMediaType(type.Put()), S_OK);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_RGB32);
    ASSERT_EQ(type->cbFormat, sizeof(VIDEOINFOHEADER));
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader.biWidth, TTestPin::Width);

    ComPtr<IPin> peer;
    ASSERT_EQ(pin->ConnectedTo(peer.Put()), S_OK);
    EXPECT_EQ(peer.Get(), graphtest::FindPin(Graph.Grabber.Get(), PINDIR_INPUT).Get());
    EXPECT_EQ(Pin().DecideCalls.load(), 1);
    ASSERT_NE(Pin().Allocator(), nullptr);
    ALLOCATOR_PROPERTIES properties{};
    ASSERT_EQ(Pin().Allocator()->GetProperties(&properties), S_OK);
    EXPECT_GE(properties.cbBuffer, TTestPin::Width * TTestPin::Height * 4);
    EXPECT_EQ(properties.cBuffers, 2);

    FILTER_INFO info{};
    ASSERT_EQ(Filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Source");
    ASSERT_NE(info.pGraph, nullptr);
    info.pGraph->Release();

    // A second connection is refused; disconnecting keeps the last type.
    EXPECT_EQ(pin->Connect(peer.Get(), nullptr), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(Graph.Graph->Disconnect(pin.Get()), S_OK);
    EXPECT_EQ(Graph.Graph->Disconnect(peer.Get()), S_OK);
    EXPECT_FALSE(Pin().IsConnected());
    EXPECT_EQ(Pin().Allocator(), nullptr);
    EXPECT_EQ(Pin().CurrentMediaType().subtype, MEDIASUBTYPE_RGB32);
    // And the pin connects again.
    EXPECT_EQ(Graph.Graph->ConnectDirect(pin.Get(), peer.Get(), nullptr), S_OK);
}

TEST_F(BaseClassesStreaming, RunPauseStopDriveTheStreamingThread) {
    EXPECT_EQ(Pin().ThreadsCreated.load(), 0);
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    ASSERT_TRUE(Recorder.WaitFor(5, 5s));
    EXPECT_EQ(Pin().ThreadsCreated.load(), 1);
    EXPECT_NE(Pin().ThreadId.load(), GetCurrentThreadId());
    EXPECT_EQ(Pin().Apartment.load(), APTTYPE_MTA);
    EXPECT_TRUE(Pin().ThreadExists());

    // Pausing a running filter keeps the same thread (the paused renderer
    // holds back the stream), and running again resumes it.
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Pause()));
    EXPECT_TRUE(Pin().ThreadExists());
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    const size_t before = Recorder.Count();
    ASSERT_TRUE(Recorder.WaitFor(before + 3, 5s));
    EXPECT_EQ(Pin().ThreadsCreated.load(), 1);

    // Disconnecting or connecting is refused while the filter runs.
    ComPtr<IPin> pin;
    ASSERT_EQ(Filter->FindPin(L"Out", pin.Put()), S_OK);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);

    ASSERT_EQ(Graph.Control->Stop(), S_OK);
    EXPECT_EQ(Pin().ThreadsDestroyed.load(), 1);
    EXPECT_FALSE(Pin().ThreadExists());
    const size_t stopped = Recorder.Count();
    Sleep(50);
    EXPECT_EQ(Recorder.Count(), stopped);

    // Every sample carried its own number, in order.
    const auto samples = Recorder.Samples();
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_GE(samples[i].Data.size(), sizeof(LONG));
        LONG number;
        std::memcpy(&number, samples[i].Data.data(), sizeof number);
        EXPECT_EQ(number, static_cast<LONG>(i + 1));
        EXPECT_EQ(samples[i].Start, number * TTestPin::Duration);
    }

    // Running again starts a new thread.
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    ASSERT_TRUE(Recorder.WaitFor(stopped + 3, 5s));
    EXPECT_EQ(Pin().ThreadsCreated.load(), 2);
    ASSERT_EQ(Graph.Control->Stop(), S_OK);
    EXPECT_EQ(Pin().ThreadsDestroyed.load(), 2);
}

TEST_F(BaseClassesStreaming, FillBufferErrorEndsTheStreamWithErrorAbort) {
    Pin().FailAt = 4;
    Pin().FailWith = static_cast<HRESULT>(0x80041234);
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    LONG_PTR error = 0;
    ASSERT_TRUE(Graph.WaitForEvent(EC_ERRORABORT, &error, 5000));
    EXPECT_EQ(static_cast<HRESULT>(error), static_cast<HRESULT>(0x80041234));
    EXPECT_EQ(Recorder.Count(), 3u);
    EXPECT_EQ(Pin().Filled.load(), 4);
    // The thread waits for the next command and stops cleanly.
    ASSERT_EQ(Graph.Control->Stop(), S_OK);
    EXPECT_EQ(Pin().ThreadsDestroyed.load(), 1);
}

TEST_F(BaseClassesStreaming, FillBufferFalseEndsTheStreamNormally) {
    Pin().EndAt = 3;
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    LONG_PTR result = 0;
    ASSERT_TRUE(Graph.WaitForEvent(EC_COMPLETE, &result, 5000));
    EXPECT_EQ(Recorder.Count(), 2u);
    ASSERT_EQ(Graph.Control->Stop(), S_OK);
}

TEST_F(BaseClassesStreaming, FilterReleasedAfterTheGraphStopsLeavesNothingRunning) {
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    ASSERT_TRUE(Recorder.WaitFor(2, 5s));
    ASSERT_EQ(Graph.Control->Stop(), S_OK);
    EXPECT_EQ(Pin().ThreadsCreated.load(), 1);
    EXPECT_EQ(Pin().ThreadsDestroyed.load(), 1);
    EXPECT_FALSE(Pin().ThreadExists());
    EXPECT_EQ(Graph.Graph->RemoveFilter(Filter), S_OK);
    EXPECT_FALSE(Pin().IsConnected());

    // The last reference goes: the filter and its pin are freed and nothing
    // is delivered any more.
    const LONG alive = TBCUnknown::ActiveObjects();
    FilterRef = nullptr;
    Graph.Source = nullptr;
    Filter = nullptr;
    EXPECT_LT(TBCUnknown::ActiveObjects(), alive);
    const size_t delivered = Recorder.Count();
    Sleep(50);
    EXPECT_EQ(Recorder.Count(), delivered);
}
