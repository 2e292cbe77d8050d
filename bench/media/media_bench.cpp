// What the program's start-up and recording start pay in the media layer:
// listing the compressor categories and probing every video compressor
// (a bound instance asked for a few hundred interfaces, a second one asked
// for its configuration dialog), and activating a capture graph (graph,
// capture graph builder, event notification to a window). Run by hand:
//   tools/wineenv.sh exec build/env build/x86_64/bin/media_bench.exe
#include "media/sys_dev_enum.h"
#include "shared/owner.h"
#include "tests/fixtures/media/media_fixture_registration.h"

#include <windows.h>
#include <dshow.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Interfaces a probe instance is asked for, cycled to the catalogue's 383
// queries.
const IID* const ProbeInterfaces[] = {&IID_IPin,
                                      &IID_IBaseFilter,
                                      &IID_IMediaFilter,
                                      &IID_IPersist,
                                      &IID_IAMStreamConfig,
                                      &IID_IAMVfwCompressDialogs,
                                      &IID_IKsPropertySet,
                                      &IID_IPersistStream,
                                      &IID_ISpecifyPropertyPages,
                                      &IID_IAMVideoCompression};
constexpr int ProbeQueries = 383;

void ProbeCompressor(const TSysDevEnum& devices, int index) {
    ComPtr<IBaseFilter> probe = devices.GetBaseFilter(index);
    if (!probe) return;
    for (int q = 0; q < ProbeQueries; ++q) {
        ComPtr<IUnknown> answer;
        probe->QueryInterface(*ProbeInterfaces[q % std::size(ProbeInterfaces)], answer.PutVoid());
    }
    ComPtr<IBaseFilter> second = devices.GetBaseFilter(index);
    ComPtr<IAMVfwCompressDialogs> dialogs;
    if (second && SUCCEEDED(second->QueryInterface(IID_IAMVfwCompressDialogs, dialogs.PutVoid())))
        dialogs->ShowDialog(VfwCompressDialog_QueryConfig, nullptr);
}

void BenchCatalogue(int runs) {
    double total = 0;
    int videoCount = 0, audioCount = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        TSysDevEnum video(CLSID_VideoCompressorCategory);
        for (int i = 0; i < video.CountFilters(); ++i) ProbeCompressor(video, i);
        TSysDevEnum audio(CLSID_AudioCompressorCategory);
        for (int i = 0; i < audio.CountFilters(); ++i) {
            ComPtr<IBaseFilter> probe = audio.GetBaseFilter(i);
            for (int q = 0; probe && q < ProbeQueries; ++q) {
                ComPtr<IUnknown> answer;
                probe->QueryInterface(*ProbeInterfaces[q % std::size(ProbeInterfaces)], answer.PutVoid());
            }
        }
        total += Milliseconds(start);
        videoCount = video.CountFilters();
        audioCount = audio.CountFilters();
    }
    std::printf("compressor catalogue: %.1f ms per build (%d video, %d audio compressors examined)\n", total / runs,
                videoCount, audioCount);
}

void BenchActivation(int runs) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    double total = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        ComPtr<IGraphBuilder> graph;
        ComPtr<ICaptureGraphBuilder2> builder;
        ComPtr<IMediaControl> control;
        ComPtr<IMediaEventEx> events;
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
        CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                         builder.PutVoid());
        if (!graph || !builder) {
            std::printf("capture graph activation: the platform has no graph or builder\n");
            return;
        }
        builder->SetFiltergraph(graph.Get());
        graph->QueryInterface(IID_IMediaControl, control.PutVoid());
        graph->QueryInterface(IID_IMediaEventEx, events.PutVoid());
        events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), WM_APP + 1, 0);
        events->SetNotifyWindow(0, 0, 0);
        total += Milliseconds(start);
    }
    DestroyWindow(window);
    std::printf("capture graph activation: %.2f ms per activation (%d runs)\n", total / runs, runs);
}

}  // namespace

int main() {
    const TComApartment com;
    if (!mediafixture::EnsureFixturesRegistered()) std::printf("note: the media fixtures are not registered\n");
    // One warm-up of each, so the figures are of a started program.
    BenchCatalogue(1);
    BenchCatalogue(5);
    BenchActivation(1);
    BenchActivation(50);
    return 0;
}
