// Runs the loopback pin's streaming loop for ten seconds on the fake capture
// client (10 ms packets at 48 kHz, with two quiet stretches in which nothing
// plays and two hiccups that deliver 30 and 100 ms of packets late) and
// prints the CPU time the streaming thread used, the lag of the delivered
// audio behind the time since the client started (while playing, while
// quiet, during the hiccups), the silence delivered, and how far the stream's
// length fell short of the elapsed time when the graph stopped. Three runs:
// into a bare receiving pin that only notes each sample (the pin's own cost),
// in Wine's real graph through the Sample Grabber into the Null Renderer
// (which run on the same thread and add their own cost), and into the bare
// pin again with a run that ends quiet.
#include "loopback_filter/audio_source.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"
#include "tests/fixtures/bare_receiver.h"
#include "tests/fixtures/loopback/fake_core_audio.h"
#include "tests/fixtures/loopback/loopback_graph.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>
#include <vector>

using loopback_fakes::FakeEndpoint;
using loopback_fakes::FakeGap;
using loopback_fakes::FakeHold;
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

// The tests' bare input pin, noting each sample's times and arrival and the
// thread that delivers them.
class TimingReceiver final : public graphtest::BareReceiver {
public:
    TimingReceiver() { FSamples.reserve(4096); }

    std::vector<ReceivedSample> Samples() {
        std::lock_guard<std::mutex> lock(FLock);
        return FSamples;
    }
    HANDLE Thread() {
        std::lock_guard<std::mutex> lock(FLock);
        return FThread.Get();
    }

protected:
    void Inspect(IMediaSample* sample) override {
        ReceivedSample got;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        got.Arrival = now.QuadPart;
        got.HasTime = sample->GetTime(&got.Start, &got.Stop) == S_OK;
        got.Length = sample->GetActualDataLength();
        std::lock_guard<std::mutex> lock(FLock);
        if (!FThread)
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), FThread.Put(),
                            THREAD_QUERY_INFORMATION, FALSE, 0);
        FSamples.push_back(std::move(got));
    }

private:
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

// How one run is played: 10 ms packets, quiet stretches and hiccups.
struct Scenario {
    std::vector<FakeGap> Quiet;
    std::vector<FakeHold> Hiccups;
};

const Scenario EndsPlaying{{FakeGap{2000, 3500}, FakeGap{6000, 6500}}, {FakeHold{4500, 4530}, FakeHold{7000, 7100}}};
const Scenario EndsQuiet{{FakeGap{2000, 3500}, FakeGap{8000, 10000 + 1000}}, {}};

// Which stretch a delivery belongs to: from the stretch's start up to and
// including the first delivery at or after its end plus `after` (the packet
// that ends it); -1 for none.
template <class Stretch>
class StretchTracker {
public:
    StretchTracker(const std::vector<Stretch>& stretches, double after) : FStretches(stretches), FAfter(after) {}
    bool Inside(double ms) {
        for (size_t i = 0; i < FStretches.size(); ++i) {
            if (ms < FStretches[i].FromMs || FDone.count(i)) continue;
            if (ms >= FStretches[i].ToMs + FAfter) FDone.insert(i);
            return true;
        }
        return false;
    }

private:
    const std::vector<Stretch>& FStretches;
    double FAfter;
    std::set<size_t> FDone;
};

void Report(const char* title, double cpuMs, const std::vector<ReceivedSample>& samples, const FakeEndpoint& endpoint,
            const Scenario& scenario, double elapsedAtStopMs) {
    std::printf("%s\n", title);
    if (samples.empty()) {
        std::printf("  no samples delivered\n");
        return;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double perMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    // Lags at each delivery, sorted by what the endpoint was doing: quiet
    // (up to the first packet after the stretch), in a hiccup (up to the
    // held packets' delivery), otherwise playing steadily.
    std::vector<double> steady, quiet, hiccup;
    StretchTracker<FakeGap> quietStretches(scenario.Quiet, 10);
    StretchTracker<FakeHold> hiccups(scenario.Hiccups, 5);
    REFERENCE_TIME covered = 0;
    uint64_t bytes = 0;
    for (const ReceivedSample& s : samples) {
        const double elapsedMs = static_cast<double>(s.Arrival - endpoint.StartCounter) / perMs;
        const double lag = elapsedMs - static_cast<double>(covered) / 10000.0;
        if (quietStretches.Inside(elapsedMs))
            quiet.push_back(lag);
        else if (hiccups.Inside(elapsedMs))
            hiccup.push_back(lag);
        else
            steady.push_back(lag);
        covered = s.Stop;
        bytes += static_cast<uint64_t>(std::max(s.Length, 0L));
    }
    const double deliveredS = static_cast<double>(bytes) / 4 / 48000;
    const double realS = static_cast<double>(endpoint.RealFramesOut) / 48000;
    std::printf("  %zu samples, %.3f s of audio delivered: %.3f s real, %.3f s silence\n", samples.size(), deliveredS,
                realS, deliveredS - realS);
    std::printf("  streaming thread CPU: %.0f ms in %.0f s = %.2f %% of one core\n", cpuMs, RunMs / 1000.0,
                cpuMs * 100.0 / RunMs);
    auto lags = [](const char* what, std::vector<double> values) {
        if (values.empty()) return;
        std::sort(values.begin(), values.end());
        std::printf("  lag %s: worst %.1f ms, 99th percentile %.1f ms, median %.1f ms\n", what, values.back(),
                    values[values.size() * 99 / 100], values[values.size() / 2]);
    };
    lags("while playing", steady);
    lags("while quiet", quiet);
    lags("in the hiccups", hiccup);
    std::printf("  at the stop: %.1f ms elapsed, stream %.1f ms long, short by %.1f ms\n", elapsedAtStopMs,
                static_cast<double>(covered) / 10000.0, elapsedAtStopMs - static_cast<double>(covered) / 10000.0);
}

// Milliseconds since the endpoint's client started.
double ElapsedMs(const FakeEndpoint& endpoint) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - endpoint.StartCounter) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A filter on the fake endpoint playing a scenario.
struct BenchFilter {
    explicit BenchFilter(const Scenario& scenario) : Endpoint(FakeEndpoint::Create()) {
        Endpoint->RealTime(480, scenario.Quiet, scenario.Hiccups);
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

bool BarePin(const char* title, const Scenario& scenario) {
    BenchFilter bench(scenario);
    if (bench.Setup != S_OK) return false;
    TimingReceiver receiver;
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
    const double elapsedMs = ElapsedMs(*bench.Endpoint);
    bench.Base->Stop();
    out->Disconnect();
    receiver.Disconnect();
    Report(title, cpuMs, receiver.Samples(), *bench.Endpoint, scenario, elapsedMs);
    return true;
}

bool RealGraph(const Scenario& scenario) {
    BenchFilter bench(scenario);
    if (bench.Setup != S_OK) return false;
    double cpuMs = 0;
    double elapsedMs = 0;
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
        elapsedMs = ElapsedMs(*bench.Endpoint);
        graph.Stop();
        samples = graph.Sink().Samples();
    }
    Report("pin -> Sample Grabber -> Null Renderer (Wine's graph), ends playing:", cpuMs, samples, *bench.Endpoint,
           scenario, elapsedMs);
    return true;
}

}  // namespace

int main() {
    const TComApartment com(COINIT_MULTITHREADED);
    std::printf("silence margin %lld ms, engine period %lld ms\n", static_cast<long long>(TBCAudioPin::SilenceMarginMs),
                static_cast<long long>(TBCAudioPin::PeriodMs));
    const int result = BarePin("pin into a bare receiving pin, ends playing:", EndsPlaying) && RealGraph(EndsPlaying) &&
                               BarePin("pin into a bare receiving pin, ends quiet:", EndsQuiet)
                           ? 0
                           : 1;
    return result;
}
