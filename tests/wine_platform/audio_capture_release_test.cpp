// The audio capture filter stops and is released in every state it can be
// left in: stopped, paused, running, and paused by a graph whose run failed
// further downstream (the file writer cannot make its file), which counts
// itself stopped. Each release runs on a thread of its own and must end.
#include <gtest/gtest.h>

#include "tests/fixtures/graph_test_support.h"
#include "tests/wine_platform/audio_capture_support.h"

#include <dshow.h>
#include <uuids.h>

#include <thread>

using namespace capturetest;
using graphtest::ComScope;

namespace {

ComPtr<IPin> OutputOf(IBaseFilter* filter) { return PinIn(filter, PINDIR_OUTPUT); }

// The device, the platform's AVI multiplexer and a file writer for path.
struct AviGraph {
    ComPtr<IGraphBuilder> Graph;
    ComPtr<IMediaControl> Control;
    ComPtr<IBaseFilter> Device = BindDevice(MonitorDevice);
    ComPtr<IBaseFilter> Mux, Writer;

    HRESULT Build(const std::wstring& path) {
        if (!Device) return VFW_E_NO_CAPTURE_HARDWARE;
        HRESULT hr =
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, Graph.PutVoid());
        if (FAILED(hr)) return hr;
        Graph->QueryInterface(IID_IMediaControl, Control.PutVoid());
        if (FAILED(hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, Mux.PutVoid())))
            return hr;
        if (FAILED(hr = CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         Writer.PutVoid())))
            return hr;
        ComPtr<IFileSinkFilter> sink;
        if (FAILED(hr = Writer->QueryInterface(IID_IFileSinkFilter, sink.PutVoid()))) return hr;
        if (FAILED(hr = Graph->AddFilter(Device.Get(), L"AudioCapFilter2"))) return hr;
        if (FAILED(hr = Graph->AddFilter(Mux.Get(), L"AVI Mux"))) return hr;
        if (FAILED(hr = Graph->AddFilter(Writer.Get(), L"File writer"))) return hr;
        if (FAILED(hr = sink->SetFileName(path.c_str(), nullptr))) return hr;
        if (FAILED(
                hr = Graph->ConnectDirect(OutputOf(Mux.Get()).Get(), PinIn(Writer.Get(), PINDIR_INPUT).Get(), nullptr)))
            return hr;
        return Graph->Connect(OutputOf(Device.Get()).Get(), PinIn(Mux.Get(), PINDIR_INPUT).Get());
    }

    // Lets go of everything on another thread; false when that does not end.
    bool ReleasedInTime(DWORD ms = 20000) {
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread releaser([this, done] {
            const ComScope com;
            Control = nullptr;
            Graph = nullptr;
            Mux = nullptr;
            Writer = nullptr;
            Device = nullptr;
            SetEvent(done);
        });
        const bool ended = WaitForSingleObject(done, ms) == WAIT_OBJECT_0;
        CloseHandle(done);
        if (ended)
            releaser.join();
        else
            releaser.detach();  // the process is left to end it
        return ended;
    }
};

std::wstring TempPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

FILTER_STATE StateOf(IBaseFilter* filter) {
    FILTER_STATE state = State_Stopped;
    filter->GetState(0, &state);
    return state;
}

class AudioCaptureRelease : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterWinePlatform(), 0); }
    ComScope Com;
};

TEST_F(AudioCaptureRelease, AfterARunThatFailedDownstream) {
    AviGraph g;
    ASSERT_EQ(g.Build(TempPath(L"no_such_folder_tavrel\\rec.avi")), S_OK);
    EXPECT_TRUE(FAILED(g.Control->Run()));
    ASSERT_TRUE(g.ReleasedInTime()) << "the release of the graph does not end";
}

TEST_F(AudioCaptureRelease, PausedRunningAndStopped) {
    const std::wstring path = TempPath(L"tavrel_release_test.avi");
    for (int target = 0; target < 3; ++target) {
        AviGraph g;
        ASSERT_EQ(g.Build(path), S_OK);
        if (target == 1) {
            ASSERT_TRUE(SUCCEEDED(g.Control->Pause()));
            EXPECT_EQ(State_Paused, StateOf(g.Device.Get()));
        } else if (target == 2) {
            ASSERT_TRUE(SUCCEEDED(g.Control->Run()));
            Sleep(500);
            EXPECT_EQ(State_Running, StateOf(g.Device.Get()));
        }
        ASSERT_TRUE(g.ReleasedInTime()) << "state " << target;
    }
    DeleteFileW(path.c_str());
}

TEST_F(AudioCaptureRelease, StoppedByItselfWhileTheGraphCountsItStopped) {
    AviGraph g;
    ASSERT_EQ(g.Build(TempPath(L"no_such_folder_tavrel\\rec.avi")), S_OK);
    EXPECT_TRUE(FAILED(g.Control->Run()));
    // Whatever the graph's run left it in, stopping the filter itself ends
    // its streaming.
    EXPECT_TRUE(SUCCEEDED(g.Device->Stop()));
    EXPECT_EQ(State_Stopped, StateOf(g.Device.Get()));
    ASSERT_TRUE(g.ReleasedInTime());
}

}  // namespace
