// What the loopback filter's tests share: COM for the test thread, a filter
// built on fake Core Audio objects, and the diagnostics it wrote.
#pragma once

#include "loopback_filter/audio_source.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"
#include "tests/fixtures/loopback/fake_core_audio.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace loopback_tests {

// Expected start of a sample after `frames` frames at `rate`: whole
// milliseconds, halves to even.
inline REFERENCE_TIME StampAfter(uint64_t frames, uint32_t rate) {
    return static_cast<REFERENCE_TIME>(std::nearbyint(static_cast<double>(frames) / rate * 1000.0)) * 10000;
}

class ComScope : public TComApartment {
public:
    ComScope() : TComApartment(COINIT_MULTITHREADED) {}
};

// Diagnostics, from any thread.
class DiagnosticLog {
public:
    void Add(const char* text) {
        std::lock_guard<std::mutex> lock(FLock);
        FLines.emplace_back(text);
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(FLock);
        return FLines;
    }
    size_t CountOf(const std::string& text) {
        std::lock_guard<std::mutex> lock(FLock);
        return static_cast<size_t>(std::count(FLines.begin(), FLines.end(), text));
    }

private:
    std::mutex FLock;
    std::vector<std::string> FLines;
};

// A loopback filter whose pin was set up on the endpoint's fakes.
class FilterUnderTest {
public:
    // endpointClock: the pin measures elapsed time on the endpoint's clock
    // (for virtual time) instead of the performance counter.
    explicit FilterUnderTest(const std::shared_ptr<loopback_fakes::FakeEndpoint>& endpoint, bool endpointClock = false)
        : FilterUnderTest(EndpointSeam(endpoint, endpointClock)) {}

    // A filter on the seam's objects (the system's own where it names none);
    // its diagnostics go to Log.
    explicit FilterUnderTest(TCoreAudioSeam seam) : Log(std::make_shared<DiagnosticLog>()) {
        auto log = Log;
        seam.Diagnostic = [log](const char* text) { log->Add(text); };
        CreateResult = TBCAudioSource::Create(AudeloFilterName, nullptr, &seam, &Filter);
        if (FAILED(CreateResult)) return;
        SetupResult = Filter->Pin()->SetupResult();
        Filter->NonDelegatingQueryInterface(IID_IBaseFilter, Base.PutVoid());
    }

    static TCoreAudioSeam EndpointSeam(const std::shared_ptr<loopback_fakes::FakeEndpoint>& endpoint,
                                       bool endpointClock) {
        TCoreAudioSeam seam;
        seam.CreateEnumerator = [endpoint](IMMDeviceEnumerator** enumerator) {
            return endpoint->Enumerator().CopyTo(enumerator);
        };
        if (endpointClock) seam.Clock = [endpoint] { return endpoint->Now100ns(); };
        return seam;
    }

    TBCAudioPin* Pin() const { return Filter->Pin(); }
    ComPtr<IPin> OutputPin() const {
        ComPtr<IPin> pin;
        Base->FindPin(L"Out", pin.Put());
        return pin;
    }

    std::shared_ptr<DiagnosticLog> Log;
    HRESULT CreateResult = E_UNEXPECTED;
    HRESULT SetupResult = E_UNEXPECTED;
    TBCAudioSource* Filter = nullptr;
    // The one reference the test holds.
    ComPtr<IBaseFilter> Base;
};

}  // namespace loopback_tests
