// What the loopback pin's Core Audio set-up may be handed in place of the
// platform's own objects, and where its diagnostics go.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include <cstdint>
#include <functional>

struct TCoreAudioSeam {
    // Creates the device enumerator that opens the default playback
    // endpoint; empty creates the system's MMDeviceEnumerator.
    std::function<HRESULT(IMMDeviceEnumerator** enumerator)> CreateEnumerator;
    // Receives each diagnostic text; empty sends them to OutputDebugStringA.
    std::function<void(const char* text)> Diagnostic;
    // Reads the time, in 100-ns units, that the streaming loop measures the
    // elapsed run against; empty reads the performance counter.
    std::function<int64_t()> Clock;
};
