// How long building the compressor catalogue and activating a capture graph
// take: each measured a number of times, with the median and the extremes
// printed in milliseconds.
#include "media/compressor_manager.h"
#include "media/filter_graph.h"
#include "shared/owner.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/fixtures/media/saveable_device_enum.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(const char* what, int runs, const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        step();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-58s median %8.2f ms  min %8.2f ms  max %8.2f ms  (%d runs)\n", what, times[times.size() / 2],
                times.front(), times.back(), runs);
}

}  // namespace

int main() {
    const TComApartment com;
    if (!mediafixture::EnsureFixturesRegistered()) {
        std::printf("MediaFixtures.dll could not be registered\n");
        return 1;
    }
    int listed = 0;
    Measure("compressor catalogue, platform enumerator", 10, [&] { listed = TMvCompressorManager().Count(); });
    std::printf("  video compressors listed: %d\n", listed);
    {
        mediafixture::TSaveableDeviceEnumRegistration saveable;
        Measure("compressor catalogue, saveable monikers", 10, [&] { listed = TMvCompressorManager().Count(); });
        std::printf("  video compressors listed: %d\n", listed);
    }
    Measure("capture graph activation (SetActive(true))", 20, [] {
        TFilterGraph graph(nullptr);
        graph.SetMode(gmCapture);
        graph.SetActive(true);
    });
    {
        TFilterGraph graph(nullptr);
        graph.SetMode(gmCapture);
        Measure("capture graph activation and deactivation, one component", 20, [&] {
            graph.SetActive(true);
            graph.SetActive(false);
        });
    }
    return 0;
}
