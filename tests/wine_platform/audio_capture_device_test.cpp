// The audio capture filter as the program meets it: the system's audio
// capture devices, bound through their monikers, each recording its own Core
// Audio endpoint. The tone is played into the test run's null sink and comes
// back from the capture device "Monitor of Null Output".
#include <gtest/gtest.h>

#include "shared/media_type.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/wine_platform/audio_capture_support.h"

#include <mmdeviceapi.h>
#include <mmreg.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <tuple>
#include <map>
#include <set>

using namespace capturetest;
using graphtest::ComScope;

namespace {

// {E30629D2-27E5-11CE-875D-00608CB78066}
constexpr CLSID AudioRecordClass{0xE30629D2, 0x27E5, 0x11CE, {0x87, 0x5D, 0x00, 0x60, 0x8C, 0xB7, 0x80, 0x66}};

const PROPERTYKEY FriendlyNameKey{{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

std::wstring PinName(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    if (info.pFilter) info.pFilter->Release();
    return info.achName;
}

std::vector<std::wstring> CaptureEndpointNames() {
    std::vector<std::wstring> names;
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IMMDeviceEnumerator), enumerator.PutVoid())))
        return names;
    ComPtr<IMMDeviceCollection> devices;
    if (FAILED(enumerator->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, devices.Put()))) return names;
    UINT count = 0;
    devices->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        ComPtr<IPropertyStore> store;
        if (FAILED(devices->Item(i, device.Put())) || FAILED(device->OpenPropertyStore(STGM_READ, store.Put())))
            continue;
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(store->GetValue(FriendlyNameKey, &value)) && value.vt == VT_LPWSTR)
            names.push_back(value.pwszVal);
        PropVariantClear(&value);
    }
    return names;
}

struct PcmRecording {
    HRESULT Result = E_FAIL;
    WAVEFORMATEX Format{};
    std::vector<graphtest::Sample> Samples;
    std::vector<BYTE> Data() const { return DataFrom(0); }
    // The data of the samples from the first one on.
    std::vector<BYTE> DataFrom(size_t first) const {
        std::vector<BYTE> all;
        for (size_t n = first; n < Samples.size(); ++n) {
            const std::vector<BYTE> data = SampleData(Samples[n]);
            all.insert(all.end(), data.begin(), data.end());
        }
        return all;
    }
    // The bytes a sample carries.
    static std::vector<BYTE> SampleData(const graphtest::Sample& sample) {
        const size_t length = std::min(sample.Data.size(), static_cast<size_t>(std::max(0L, sample.Length)));
        return std::vector<BYTE>(sample.Data.begin(), sample.Data.begin() + static_cast<ptrdiff_t>(length));
    }
};

// The sound comes only some time after the device is started (opening an
// endpoint takes a good part of a second under Wine); the filter gives
// silence for that time. The first sample that carries the tone, or
// samples.size().
size_t FirstLoud(const std::vector<graphtest::Sample>& samples, const WAVEFORMATEX& format) {
    for (size_t n = 0; n < samples.size(); ++n)
        if (Rms(FirstChannel(PcmRecording::SampleData(samples[n]), format.wBitsPerSample, format.nChannels)) > 1000.0)
            return n;
    return samples.size();
}

// Seconds of sound in the samples from the first one on, by their times.
double SecondsFrom(const std::vector<graphtest::Sample>& samples, size_t first) {
    if (first >= samples.size()) return 0;
    return (samples.back().Stop - samples[first].Start) / 1e7;
}

// Records from the device's output through a Sample Grabber and a Null
// Renderer, without a clock, until the samples' times reach `seconds` of
// sound, or with `loud` until they hold that much after the first sample
// that carries the tone.
PcmRecording Record(IBaseFilter* device, double seconds, bool loud) {
    PcmRecording recording;
    graphtest::SampleRecorder recorder(true);
    graphtest::GrabberGraph graph;
    recording.Result = graph.Build(device, &recorder, false);
    if (FAILED(recording.Result)) return recording;
    recording.Result = graph.Connect();
    if (FAILED(recording.Result)) return recording;
    AM_MEDIA_TYPE type{};
    ComPtr<IPin> out = PinIn(device, PINDIR_OUTPUT);
    if (SUCCEEDED(out->ConnectionMediaType(&type)) && type.pbFormat && type.cbFormat >= sizeof(PCMWAVEFORMAT))
        std::memcpy(&recording.Format, type.pbFormat, std::min<size_t>(type.cbFormat, sizeof(WAVEFORMATEX)));
    FreeMediaType(type);
    // A live source may leave the graph still on its way to running (S_FALSE).
    recording.Result = graph.Control->Run();
    if (FAILED(recording.Result)) return recording;
    recording.Result = E_ABORT;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        const std::vector<graphtest::Sample> samples = recorder.Samples();
        const size_t first = loud ? FirstLoud(samples, recording.Format) : 0;
        if (SecondsFrom(samples, first) >= seconds) {
            recording.Result = S_OK;
            break;
        }
        Sleep(50);
    }
    graph.Control->Stop();
    recording.Samples = recorder.Samples();
    return recording;
}

class AudioCaptureDevices : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterWinePlatform(), 0); }
    ComScope Com;
};

// Sets the device's line to a state for the length of a test, then back on.
class LineStateGuard {
public:
    ~LineStateGuard() {
        ComPtr<IBaseFilter> device = BindDevice(MonitorDevice);
        if (auto line = LineOf(device.Get())) line->put_Enable(TRUE);
    }
};

}  // namespace

TEST_F(AudioCaptureDevices, EveryEndpointIsListedOnceAndBindsOurFilterWithALineAndAnOutput) {
    const std::vector<std::wstring> endpoints = CaptureEndpointNames();
    ASSERT_FALSE(endpoints.empty());
    const std::vector<DeviceEntry> devices = ListAudioCaptureDevices();
    std::multiset<std::wstring> listed;
    for (const DeviceEntry& d : devices) listed.insert(d.Name);
    EXPECT_EQ(devices.size(), endpoints.size());
    for (const std::wstring& endpoint : endpoints) EXPECT_EQ(listed.count(endpoint), 1u) << "endpoint not listed once";

    for (const DeviceEntry& device : devices) {
        SCOPED_TRACE(std::string(device.Name.begin(), device.Name.end()));
        ComPtr<IBaseFilter> filter;
        ASSERT_EQ(device.Moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
        CLSID classId{};
        ASSERT_EQ(filter->GetClassID(&classId), S_OK);
        EXPECT_EQ(classId, AudioRecordClass);

        const auto pins = PinsOf(filter.Get());
        ASSERT_EQ(pins.size(), 2u);
        ComPtr<IPin> out = PinIn(filter.Get(), PINDIR_OUTPUT);
        ComPtr<IPin> line = PinIn(filter.Get(), PINDIR_INPUT);
        ASSERT_TRUE(out && line);
        EXPECT_EQ(PinName(line.Get()), device.Name);
        ComPtr<IAMAudioInputMixer> mixer;
        EXPECT_EQ(line->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid()), S_OK);

        // The offered formats include the ones the program prefers.
        std::set<std::tuple<int, int, int>> offered;
        ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(out->EnumMediaTypes(types.Put()), S_OK);
        AM_MEDIA_TYPE* type = nullptr;
        while (types->Next(1, &type, nullptr) == S_OK) {
            EXPECT_EQ(type->subtype, MEDIASUBTYPE_PCM);
            ASSERT_EQ(type->formattype, FORMAT_WaveFormatEx);
            const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
            offered.insert({wave->wBitsPerSample, static_cast<int>(wave->nSamplesPerSec), wave->nChannels});
            DeleteMediaType(type);
        }
        for (auto wanted : {std::tuple{16, 48000, 2}, std::tuple{16, 44100, 2}, std::tuple{16, 44100, 1},
                            std::tuple{16, 48000, 1}, std::tuple{8, 22050, 1}, std::tuple{24, 48000, 2}})
            EXPECT_EQ(offered.count(wanted), 1u);
    }
}

TEST_F(AudioCaptureDevices, TheLineStateIsTheDevicesAndSurvivesANewBinding) {
    LineStateGuard restore;
    ComPtr<IBaseFilter> first = BindDevice(MonitorDevice);
    ComPtr<IAMAudioInputMixer> line = LineOf(first.Get());
    ASSERT_TRUE(line);
    ASSERT_EQ(line->put_Enable(FALSE), S_OK);
    BOOL enabled = TRUE;
    ASSERT_EQ(line->get_Enable(&enabled), S_OK);
    EXPECT_FALSE(enabled);

    ComPtr<IBaseFilter> second = BindDevice(MonitorDevice);
    ComPtr<IAMAudioInputMixer> again = LineOf(second.Get());
    ASSERT_TRUE(again);
    ASSERT_EQ(again->get_Enable(&enabled), S_OK);
    EXPECT_FALSE(enabled);
    ASSERT_EQ(again->put_Enable(-1), S_OK);  // the program passes TRUE as all bits set
    ASSERT_EQ(line->get_Enable(&enabled), S_OK);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(line->get_Enable(nullptr), E_POINTER);
}

TEST_F(AudioCaptureDevices, EachOfferedFormatSetByStreamConfigIsRecordedAtItsRateAndChannels) {
    TonePlayer tone;
    ASSERT_TRUE(tone.Playing());
    LineStateGuard restore;
    LineOf(BindDevice(MonitorDevice).Get())->put_Enable(TRUE);

    ComPtr<IBaseFilter> probe = BindDevice(MonitorDevice);
    ComPtr<IAMStreamConfig> probeConfig;
    ASSERT_EQ(PinIn(probe.Get(), PINDIR_OUTPUT)->QueryInterface(IID_IAMStreamConfig, probeConfig.PutVoid()), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(probeConfig->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(size, static_cast<int>(sizeof(AUDIO_STREAM_CONFIG_CAPS)));
    ASSERT_GE(count, 6);

    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        AUDIO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(probeConfig->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
        const WAVEFORMATEX wanted = *reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
        SCOPED_TRACE(std::to_string(wanted.wBitsPerSample) + "/" + std::to_string(wanted.nSamplesPerSec) + "/" +
                     std::to_string(wanted.nChannels));
        EXPECT_EQ(caps.MaximumSampleFrequency, wanted.nSamplesPerSec);

        ComPtr<IBaseFilter> device = BindDevice(MonitorDevice);
        ComPtr<IAMStreamConfig> config;
        PinIn(device.Get(), PINDIR_OUTPUT)->QueryInterface(IID_IAMStreamConfig, config.PutVoid());
        ASSERT_EQ(config->SetFormat(type), S_OK);
        DeleteMediaType(type);
        AM_MEDIA_TYPE* current = nullptr;
        ASSERT_EQ(config->GetFormat(&current), S_OK);
        EXPECT_EQ(std::memcmp(current->pbFormat, &wanted, sizeof(PCMWAVEFORMAT)), 0);
        DeleteMediaType(current);

        const PcmRecording recording = Record(device.Get(), 1.0, true);
        ASSERT_EQ(recording.Result, S_OK);
        EXPECT_EQ(recording.Format.nSamplesPerSec, wanted.nSamplesPerSec);
        EXPECT_EQ(recording.Format.nChannels, wanted.nChannels);
        EXPECT_EQ(recording.Format.wBitsPerSample, wanted.wBitsPerSample);

        // Times follow the frames delivered, without gaps.
        REFERENCE_TIME expectedStart = 0;
        int64_t frames = 0;
        for (const auto& sample : recording.Samples) {
            ASSERT_EQ(sample.TimeResult, S_OK);
            ASSERT_GT(sample.Length, 0);
            ASSERT_EQ(sample.Length % wanted.nBlockAlign, 0);
            EXPECT_EQ(sample.Start, expectedStart);
            frames += sample.Length / wanted.nBlockAlign;
            EXPECT_EQ(sample.Stop, frames * 10000000 / wanted.nSamplesPerSec);
            expectedStart = sample.Stop;
        }

        // The tone comes back at its own pitch only when the rate is right
        // (read at 44100 Hz, a tone recorded at 48000 Hz would sound at
        // 404 Hz). Each tenth of a second of the tone gives one estimate;
        // their median stands even when a loaded machine let a packet
        // glitch.
        const std::vector<double> values =
            FirstChannel(recording.DataFrom(FirstLoud(recording.Samples, recording.Format)), wanted.wBitsPerSample,
                         wanted.nChannels);
        const size_t window = wanted.nSamplesPerSec / 10;
        std::vector<double> pitches;
        double loudest = 0;
        for (size_t at = 0; at + window <= values.size(); at += window) {
            const std::vector<double> part(values.begin() + static_cast<ptrdiff_t>(at),
                                           values.begin() + static_cast<ptrdiff_t>(at + window));
            loudest = std::max(loudest, Rms(part));
            pitches.push_back(StrongestFrequency(part, wanted.nSamplesPerSec));
        }
        ASSERT_FALSE(pitches.empty());
        std::sort(pitches.begin(), pitches.end());
        EXPECT_GT(loudest, 1000.0);
        EXPECT_NEAR(pitches[pitches.size() / 2], TonePlayer::Frequency, 10.0);
    }
}

TEST_F(AudioCaptureDevices, ADisabledLineRecordsSilence) {
    TonePlayer tone;
    ASSERT_TRUE(tone.Playing());
    LineStateGuard restore;
    ComPtr<IBaseFilter> device = BindDevice(MonitorDevice);
    ASSERT_TRUE(device);
    ASSERT_EQ(LineOf(device.Get())->put_Enable(FALSE), S_OK);
    const PcmRecording silent = Record(device.Get(), 1.0, false);
    ASSERT_EQ(silent.Result, S_OK);
    const std::vector<BYTE> data = silent.Data();
    ASSERT_FALSE(data.empty());
    EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](BYTE b) { return b == 0; }));

    // Enabled again, the same device records the tone.
    ASSERT_EQ(LineOf(device.Get())->put_Enable(TRUE), S_OK);
    ComPtr<IBaseFilter> again = BindDevice(MonitorDevice);
    const PcmRecording loud = Record(again.Get(), 0.5, true);
    ASSERT_EQ(loud.Result, S_OK);
    const std::vector<BYTE> heard = loud.DataFrom(FirstLoud(loud.Samples, loud.Format));
    EXPECT_GT(Rms(FirstChannel(heard, loud.Format.wBitsPerSample, loud.Format.nChannels)), 1000.0);
}

TEST_F(AudioCaptureDevices, TheCaptureGraphBuilderRendersADevicesStreamAsTheProgramDoes) {
    MonitorGraph monitor;
    ASSERT_EQ(monitor.Built, S_OK);
    IBaseFilter* device = monitor.Device.Get();
    graphtest::GrabberGraph& graph = monitor.Graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                               builder.PutVoid()),
              S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph.Graph.Get()), S_OK);
    // No category, no type, no intermediate filter: the device's stream into
    // the sink, the way the program renders the sound source.
    ASSERT_EQ(builder->RenderStream(nullptr, nullptr, device, nullptr, graph.Grabber.Get()), S_OK);
    ComPtr<IPin> line = PinIn(device, PINDIR_INPUT);
    ComPtr<IPin> nothing;
    EXPECT_EQ(line->ConnectedTo(nothing.Put()), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(graph.Graph->ConnectDirect(graphtest::FindPin(graph.Grabber.Get(), PINDIR_OUTPUT).Get(),
                                         graphtest::FindPin(graph.Renderer.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
    EXPECT_TRUE(monitor.Recorder.WaitFor(3, std::chrono::seconds(20)));
    graph.Control->Stop();
}
