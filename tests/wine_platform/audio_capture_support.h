// Helpers for the audio capture device tests: the system's device list, a
// tone played into the default playback device (the test run's null sink,
// whose monitor is a capture device), and the analysis of recorded PCM.
#pragma once

#include "shared/com_ptr.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/fixtures/program_support.h"

#include <windows.h>
#include <dshow.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <uuids.h>

#include <vector>

namespace capturetest {

inline constexpr double Pi = 3.14159265358979323846;

// The capture device the tests record: what is played into the null sink.
inline const wchar_t* const MonitorDevice = L"Monitor of Null Output";

inline long RegisterWinePlatform() {
    return testsupport::RunRegsvr32(L"/s \"" + testsupport::ProgramFolder() + L"WinePlatform.dll\"");
}

struct DeviceEntry {
    std::wstring Name;
    ComPtr<IMoniker> Moniker;
};

// The audio capture devices as the system lists them.
inline std::vector<DeviceEntry> ListAudioCaptureDevices() {
    std::vector<DeviceEntry> devices;
    ComPtr<ICreateDevEnum> enumerator;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                enumerator.PutVoid())))
        return devices;
    ComPtr<IEnumMoniker> monikers;
    if (enumerator->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, monikers.Put(), 0) != S_OK) return devices;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        DeviceEntry entry;
        entry.Moniker = moniker;
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) {
            VARIANT name;
            VariantInit(&name);
            name.vt = VT_BSTR;
            if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) entry.Name = name.bstrVal;
            VariantClear(&name);
            // Only the system's capture devices, which bind the platform's
            // capture class; test fixtures registered in the category are
            // devices of their own.
            VARIANT classText;
            VariantInit(&classText);
            classText.vt = VT_BSTR;
            CLSID classId{};
            const bool system = SUCCEEDED(bag->Read(L"CLSID", &classText, nullptr)) && classText.vt == VT_BSTR &&
                                SUCCEEDED(CLSIDFromString(classText.bstrVal, &classId)) && classId == CLSID_AudioRecord;
            VariantClear(&classText);
            if (!system) continue;
        }
        devices.push_back(entry);
    }
    return devices;
}

// A new filter for the device of that name, or null.
inline ComPtr<IBaseFilter> BindDevice(const std::wstring& name) {
    for (const DeviceEntry& device : ListAudioCaptureDevices()) {
        if (device.Name != name) continue;
        ComPtr<IBaseFilter> filter;
        device.Moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid());
        return filter;
    }
    return {};
}

// The filter's pins in its order.
inline std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> result;
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.Put()))) return result;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) result.push_back(pin);
    return result;
}

inline ComPtr<IPin> PinIn(IBaseFilter* filter, PIN_DIRECTION wanted) {
    for (const ComPtr<IPin>& pin : PinsOf(filter)) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    }
    return {};
}

inline ComPtr<IAMAudioInputMixer> LineOf(IBaseFilter* filter) {
    ComPtr<IAMAudioInputMixer> mixer;
    ComPtr<IPin> line = PinIn(filter, PINDIR_INPUT);
    if (line) line->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid());
    return mixer;
}

// A new binding of the monitor device in a graph with a Sample Grabber and a
// Null Renderer, without a clock; Built is the result of building it.
struct MonitorGraph {
    ComPtr<IBaseFilter> Device = BindDevice(MonitorDevice);
    graphtest::SampleRecorder Recorder{false};
    graphtest::GrabberGraph Graph;
    HRESULT Built = Device ? Graph.Build(Device.Get(), &Recorder, false) : VFW_E_NO_CAPTURE_HARDWARE;
};

// Plays a 440 Hz tone (amplitude 8000, 16-bit stereo at 44100 Hz) into the
// default playback device for as long as the object lives.
class TonePlayer {
public:
    static constexpr double Frequency = 440.0;

    TonePlayer() {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 2;
        format.nSamplesPerSec = 44100;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 4;
        format.nAvgBytesPerSec = 44100 * 4;
        // One second of whole periods, looped.
        const size_t frames = 44100;
        FData.resize(frames * 2);
        for (size_t i = 0; i < frames; ++i) {
            const double value = 8000.0 * std::sin(2.0 * Pi * Frequency * i / 44100.0);
            FData[2 * i] = FData[2 * i + 1] = static_cast<int16_t>(std::lround(value));
        }
        if (waveOutOpen(&FDevice, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            FDevice = nullptr;
            return;
        }
        FHeader.lpData = reinterpret_cast<LPSTR>(FData.data());
        FHeader.dwBufferLength = static_cast<DWORD>(FData.size() * sizeof(int16_t));
        FHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        FHeader.dwLoops = 100000;
        waveOutPrepareHeader(FDevice, &FHeader, sizeof FHeader);
        FPlaying = waveOutWrite(FDevice, &FHeader, sizeof FHeader) == MMSYSERR_NOERROR;
    }
    ~TonePlayer() {
        if (!FDevice) return;
        waveOutReset(FDevice);
        waveOutUnprepareHeader(FDevice, &FHeader, sizeof FHeader);
        waveOutClose(FDevice);
    }
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

    bool Playing() const { return FPlaying; }

private:
    HWAVEOUT FDevice = nullptr;
    WAVEHDR FHeader{};
    std::vector<int16_t> FData;
    bool FPlaying = false;
};

// The first channel of interleaved PCM (8-bit unsigned, 16-, 24- or 32-bit
// signed) as values scaled to 16 bits.
inline std::vector<double> FirstChannel(const std::vector<BYTE>& data, int bits, int channels) {
    const size_t width = static_cast<size_t>(bits / 8);
    const size_t block = width * static_cast<size_t>(channels);
    std::vector<double> values;
    for (size_t at = 0; at + block <= data.size(); at += block) {
        const BYTE* s = data.data() + at;
        double v = 0;
        switch (bits) {
        case 8:
            v = (static_cast<int>(s[0]) - 128) * 256.0;
            break;
        case 16:
            v = static_cast<int16_t>(s[0] | (s[1] << 8));
            break;
        case 24:
            v = static_cast<int32_t>((s[0] << 8) | (s[1] << 16) | (static_cast<uint32_t>(s[2]) << 24)) / 65536.0;
            break;
        case 32:
            v = static_cast<int32_t>(s[0] | (s[1] << 8) | (s[2] << 16) | (static_cast<uint32_t>(s[3]) << 24)) / 65536.0;
            break;
        }
        values.push_back(v);
    }
    return values;
}

inline double Rms(const std::vector<double>& values) {
    if (values.empty()) return 0;
    double sum = 0;
    for (double v : values) sum += v * v;
    return std::sqrt(sum / values.size());
}

// Power of one frequency in the values (Goertzel).
inline double PowerAt(const std::vector<double>& values, double frequency, double rate) {
    const double coefficient = 2.0 * std::cos(2.0 * Pi * frequency / rate);
    double previous = 0, beforePrevious = 0;
    for (double v : values) {
        const double current = v + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

// The strongest frequency between 100 and 4000 Hz, in steps of 5 Hz.
inline double StrongestFrequency(const std::vector<double>& values, double rate) {
    double best = 0, bestPower = -1;
    for (double f = 100; f <= 4000; f += 5) {
        const double power = PowerAt(values, f, rate);
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

}  // namespace capturetest
