// Runs the loopback pin's streaming loop for ten seconds on the fake capture
// client (10 ms packets at 48 kHz, with two quiet stretches in which nothing
// plays) and prints the CPU time the streaming thread used and the lag of the
// delivered audio behind the time since the client started. Twice: into a
// bare receiving pin that only notes each sample (the pin's own cost), and in
// Wine's real graph through the Sample Grabber into the Null Renderer (which
// run on the same thread and add their own cost).
#include "loopback_filter/audio_source.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"
#include "tests/fixtures/loopback/fake_core_audio.h"
#include "tests/fixtures/loopback/loopback_graph.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

using loopback_fakes::FakeEndpoint;
using loopback_fakes::FakeGap;
using loopback_fakes::LoopbackGraph;
using loopback_fakes::ReceivedSample;

namespace {

constexpr DWORD RunMs = 10000;

double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

// An input pin that takes any type, lets the source bring its allocator,
// and notes each sample's times and arrival.
class BareReceiver : public IPin, public IMemInputPin {
public:
    BareReceiver() { FSamples.reserve(4096); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IPin) {
            *object = static_cast<IPin*>(this);
        } else if (iid == IID_IMemInputPin) {
            *object = static_cast<IMemInputPin*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE*) override {
        FConnector = connector;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override {
        FConnector = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
        *pin = FConnector;
        if (!FConnector) return VFW_E_NOT_CONNECTED;
        FConnector->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        info->pFilter = nullptr;
        info->dir = PINDIR_INPUT;
        info->achName[0] = L'I';
        info->achName[1] = L'n';
        info->achName[2] = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        *direction = PINDIR_INPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
        return S_OK;
    }

    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator**) override { return VFW_E_NO_ALLOCATOR; }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
        ReceivedSample got;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        got.Arrival = now.QuadPart;
        got.HasTime = sample->GetTime(&got.Start, &got.Stop) == S_OK;
        got.Length = sample->GetActualDataLength();
        std::lock_guard<std::mutex> lock(FLock);
        if (!FThread)
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                            FThread.Put(), THREAD_QUERY_INFORMATION, FALSE, 0);
        FSamples.push_back(std::move(got));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count,
                                              long* done) override {
        *done = 0;
        for (long i = 0; i < count; ++i, ++*done) Receive(samples[i]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_FALSE; }

    std::vector<ReceivedSample> Samples() {
        std::lock_guard<std::mutex> lock(FLock);
        return FSamples;
    }
    HANDLE Thread() {
        std::lock_guard<std::mutex> lock(FLock);
        return FThread.Get();
    }

private:
    IPin* FConnector = nullptr;
    std::mutex FLock;
    std::vector<ReceivedSample> FSamples;
    TKernelHandle FThread;
};

// CPU time of a thread that still runs (its times go with it).
double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

void Report(const char* title, double cpuMs, const std::vector<ReceivedSample>& samples,
            const FakeEndpoint& endpoint) {
    std::printf("%s\n", title);
    if (samples.empty()) {
        std::printf("  no samples delivered\n");
        return;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double perMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    std::vector<double> lags;
    REFERENCE_TIME covered = 0;
    uint64_t bytes = 0;
    for (const ReceivedSample& s : samples) {
        const double elapsedMs = static_cast<double>(s.Arrival - endpoint.StartCounter) / perMs;
        lags.push_back(elapsedMs - static_cast<double>(covered) / 10000.0);
        covered = s.Stop;
        bytes += static_cast<uint64_t>(std::max(s.Length, 0L));
    }
    std::sort(lags.begin(), lags.end());
    std::printf("  %zu samples, %.2f s of audio delivered (%.2f s of it real)\n", samples.size(),
                static_cast<double>(bytes) / 4 / 48000,
                static_cast<double>(endpoint.RealFramesOut) / 48000);
    std::printf("  streaming thread CPU: %.0f ms in %.0f s = %.2f %% of one core\n", cpuMs,
                RunMs / 1000.0, cpuMs * 100.0 / RunMs);
    std::printf("  lag behind elapsed time: worst %.1f ms, 99th percentile %.1f ms, median %.1f ms\n",
                lags.back(), lags[lags.size() * 99 / 100], lags[lags.size() / 2]);
}

// A filter on the fake endpoint: 10 ms packets, quiet from 2 s to 3.5 s and
// from 6 s to 6.5 s.
struct BenchFilter {
    BenchFilter() : Endpoint(FakeEndpoint::Create()) {
        Endpoint->RealTime(480, {FakeGap{2000, 3500}, FakeGap{6000, 6500}});
        TCoreAudioSeam seam;
        auto endpoint = Endpoint;
        seam.CreateEnumerator = [endpoint](IMMDeviceEnumerator** enumerator) {
            return endpoint->Enumerator().CopyTo(enumerator);
        };
        seam.Diagnostic = [](const char*) {};
        Setup = TBCAudioSource::Create(AudeloFilterName, nullptr, &seam, &Filter);
        if (FAILED(Setup)) return;
        Setup = Filter->Pin()->SetupResult();
        Filter->NonDelegatingQueryInterface(IID_IBaseFilter, Base.PutVoid());
    }
    std::shared_ptr<FakeEndpoint> Endpoint;
    HRESULT Setup = E_UNEXPECTED;
    TBCAudioSource* Filter = nullptr;
    ComPtr<IBaseFilter> Base;
};

bool BarePin() {
    BenchFilter bench;
    if (bench.Setup != S_OK) return false;
    BareReceiver receiver;
    ComPtr<IPin> out;
    bench.Base->FindPin(L"Out", out.Put());
    HRESULT hr = out ? out->Connect(&receiver, nullptr) : E_FAIL;
    if (SUCCEEDED(hr)) hr = bench.Base->Pause();
    if (SUCCEEDED(hr)) hr = bench.Base->Run(0);
    if (FAILED(hr)) {
        std::printf("bare receiver: 0x%08lx\n", static_cast<unsigned long>(hr));
        return false;
    }
    Sleep(RunMs);
    const double cpuMs = ThreadCpuMs(receiver.Thread());
    bench.Base->Stop();
    out->Disconnect();
    receiver.Disconnect();
    Report("pin into a bare receiving pin:", cpuMs, receiver.Samples(), *bench.Endpoint);
    return true;
}

bool RealGraph() {
    BenchFilter bench;
    if (bench.Setup != S_OK) return false;
    double cpuMs = 0;
    std::vector<ReceivedSample> samples;
    {
        LoopbackGraph graph(bench.Base.Get());
        graph.Sink().KeepData = false;
        HRESULT hr = graph.Connect();
        if (SUCCEEDED(hr)) hr = graph.Run();
        if (FAILED(hr)) {
            std::printf("graph: 0x%08lx\n", static_cast<unsigned long>(hr));
            return false;
        }
        Sleep(RunMs);
        cpuMs = ThreadCpuMs(graph.Sink().DeliveringThread());
        graph.Stop();
        samples = graph.Sink().Samples();
    }
    Report("pin -> Sample Grabber -> Null Renderer (Wine's graph):", cpuMs, samples,
           *bench.Endpoint);
    return true;
}

}  // namespace

int main() {
    const TComApartment com(COINIT_MULTITHREADED);
    return BarePin() && RealGraph() ? 0 : 1;
}
