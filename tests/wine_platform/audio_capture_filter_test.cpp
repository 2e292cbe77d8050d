// The audio capture filter's refusals: bad formats, connections its pins
// cannot make, a bag that names no device, and changes while it runs.
#include <gtest/gtest.h>

#include "shared/media_type.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/wine_platform/audio_capture_support.h"
#include "wine_platform/audio_capture_formats.h"

#include <mmreg.h>

#include <chrono>
#include <cstring>
#include <map>

using namespace capturetest;
using graphtest::ComScope;

namespace {

constexpr CLSID AudioRecordClass{0xE30629D2, 0x27E5, 0x11CE, {0x87, 0x5D, 0x00, 0x60, 0x8C, 0xB7, 0x80, 0x66}};

// A property bag of fixed values, as a device moniker hands one to Load.
class FixedBag final : public IPropertyBag {
public:
    std::map<std::wstring, VARIANT> Values;
    ~FixedBag() {
        for (auto& [name, value] : Values) VariantClear(&value);
    }
    void SetInt(const wchar_t* name, LONG number) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = number;
        Values[name] = v;
    }
    void SetText(const wchar_t* name, const wchar_t* text) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
        Values[name] = v;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
            *object = static_cast<IPropertyBag*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }  // lives on the stack
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        auto found = Values.find(name);
        if (found == Values.end()) return E_INVALIDARG;
        return VariantCopy(value, &found->second);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

ComPtr<IBaseFilter> CreateFilter() {
    ComPtr<IBaseFilter> filter;
    CoCreateInstance(AudioRecordClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
    return filter;
}

ComPtr<IAMStreamConfig> ConfigOf(IBaseFilter* filter) {
    ComPtr<IAMStreamConfig> config;
    ComPtr<IPin> out = PinIn(filter, PINDIR_OUTPUT);
    if (out) out->QueryInterface(IID_IAMStreamConfig, config.PutVoid());
    return config;
}

class AudioCaptureFilter : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterWinePlatform(), 0); }
    ComScope Com;
};

}  // namespace

TEST(AudioCaptureFormats, PcmTypesAreReadOnlyWhenWholeAndConsistent) {
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(BuildPcmMediaType({24, 48000, 2}, &type), S_OK);
    TPcmFormat read;
    ASSERT_TRUE(ReadPcmMediaType(&type, &read));
    EXPECT_EQ(read, (TPcmFormat{24, 48000, 2}));
    EXPECT_EQ(type.lSampleSize, 6);

    auto* wave = reinterpret_cast<WAVEFORMATEX*>(type.pbFormat);
    wave->nBlockAlign = 2;  // does not fit the channels and bits
    EXPECT_FALSE(ReadPcmMediaType(&type, &read));
    wave->nBlockAlign = 6;
    wave->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    EXPECT_FALSE(ReadPcmMediaType(&type, &read));
    wave->wFormatTag = WAVE_FORMAT_PCM;
    type.cbFormat = 10;  // shorter than a PCM header
    EXPECT_FALSE(ReadPcmMediaType(&type, &read));
    type.cbFormat = sizeof(WAVEFORMATEX);
    type.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    EXPECT_FALSE(ReadPcmMediaType(&type, &read));
    FreeMediaType(type);
    EXPECT_FALSE(ReadPcmMediaType(nullptr, &read));
}

TEST(AudioCaptureFormats, WideningKeepsTheValueOfEachSample) {
    const int16_t in[3] = {0x1234, -2, 0};
    BYTE out24[9] = {};
    WidenSamples(reinterpret_cast<const BYTE*>(in), out24, 24, 3);
    const BYTE expected24[9] = {0x00, 0x34, 0x12, 0x00, 0xFE, 0xFF, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(out24, expected24, 9), 0);
    BYTE out32[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    WidenSamples(reinterpret_cast<const BYTE*>(in), out32, 32, 1);
    const BYTE expected32[4] = {0x00, 0x00, 0x34, 0x12};
    EXPECT_EQ(std::memcmp(out32, expected32, 4), 0);
}

TEST_F(AudioCaptureFilter, StreamConfigRefusesFormatsItDoesNotOffer) {
    ComPtr<IBaseFilter> filter = CreateFilter();
    ASSERT_TRUE(filter);
    ComPtr<IAMStreamConfig> config = ConfigOf(filter.Get());
    ASSERT_TRUE(config);
    EXPECT_EQ(config->SetFormat(nullptr), E_POINTER);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(BuildPcmMediaType({16, 8000, 1}, &type), S_OK);
    EXPECT_EQ(config->SetFormat(&type), VFW_E_INVALIDMEDIATYPE);
    FreeMediaType(type);
    ASSERT_EQ(BuildPcmMediaType({16, 44100, 1}, &type), S_OK);
    type.majortype = MEDIATYPE_Video;
    EXPECT_EQ(config->SetFormat(&type), VFW_E_INVALIDMEDIATYPE);
    FreeMediaType(type);
    EXPECT_EQ(config->GetStreamCaps(99, nullptr, nullptr), E_POINTER);
    AM_MEDIA_TYPE* caps = nullptr;
    AUDIO_STREAM_CONFIG_CAPS room{};
    EXPECT_EQ(config->GetStreamCaps(99, &caps, reinterpret_cast<BYTE*>(&room)), S_FALSE);
    EXPECT_EQ(caps, nullptr);

    // After a choice, only the chosen format is offered and accepted.
    ASSERT_EQ(BuildPcmMediaType({8, 22050, 1}, &type), S_OK);
    ASSERT_EQ(config->SetFormat(&type), S_OK);
    FreeMediaType(type);
    ComPtr<IPin> out = PinIn(filter.Get(), PINDIR_OUTPUT);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(out->EnumMediaTypes(types.Put()), S_OK);
    AM_MEDIA_TYPE* offered[4] = {};
    ULONG fetched = 0;
    types->Next(4, offered, &fetched);
    ASSERT_EQ(fetched, 1u);
    TPcmFormat format;
    ASSERT_TRUE(ReadPcmMediaType(offered[0], &format));
    EXPECT_EQ(format, (TPcmFormat{8, 22050, 1}));
    DeleteMediaType(offered[0]);
    ASSERT_EQ(BuildPcmMediaType({16, 48000, 2}, &type), S_OK);
    EXPECT_NE(out->QueryAccept(&type), S_OK);
    FreeMediaType(type);
}

TEST_F(AudioCaptureFilter, ALineConnectsToNothingAndABagWithoutADeviceIsRefused) {
    ComPtr<IBaseFilter> filter = CreateFilter();
    ASSERT_TRUE(filter);
    ComPtr<IPin> line = PinIn(filter.Get(), PINDIR_INPUT);
    ComPtr<IPin> out = PinIn(filter.Get(), PINDIR_OUTPUT);
    ASSERT_TRUE(line && out);
    // Neither way round: the output pin cannot feed the filter's own line.
    EXPECT_TRUE(FAILED(out->Connect(line.Get(), nullptr)));
    EXPECT_EQ(line->Connect(out.Get(), nullptr), E_UNEXPECTED);
    ComPtr<IPin> connected;
    EXPECT_EQ(line->ConnectedTo(connected.Put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(out->ConnectedTo(connected.Put()), VFW_E_NOT_CONNECTED);

    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(filter->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid()), S_OK);
    FixedBag nowhere;
    nowhere.SetInt(L"WaveInID", 99);
    nowhere.SetText(L"FriendlyName", L"No such device");
    EXPECT_EQ(persist->Load(&nowhere, nullptr), VFW_E_NO_CAPTURE_HARDWARE);
    FixedBag empty;
    EXPECT_EQ(persist->Load(&empty, nullptr), E_INVALIDARG);
    EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);

    // A bag naming the device by its name alone binds it.
    FixedBag byName;
    byName.SetText(L"FriendlyName", MonitorDevice);
    ASSERT_EQ(persist->Load(&byName, nullptr), S_OK);
    PIN_INFO info{};
    ASSERT_EQ(line->QueryPinInfo(&info), S_OK);
    if (info.pFilter) info.pFilter->Release();
    EXPECT_STREQ(info.achName, MonitorDevice);
}

TEST_F(AudioCaptureFilter, NoFormatChangeOrNewDeviceWhileItRuns) {
    MonitorGraph monitor;
    ASSERT_EQ(monitor.Built, S_OK);
    IBaseFilter* filter = monitor.Device.Get();
    graphtest::GrabberGraph& graph = monitor.Graph;
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.Control->Run()));
    ASSERT_TRUE(monitor.Recorder.WaitFor(2, std::chrono::seconds(20)));

    ComPtr<IAMStreamConfig> config = ConfigOf(filter);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(BuildPcmMediaType({16, 44100, 1}, &type), S_OK);
    EXPECT_EQ(config->SetFormat(&type), VFW_E_NOT_STOPPED);
    FreeMediaType(type);
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(filter->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid()), S_OK);
    FixedBag byName;
    byName.SetText(L"FriendlyName", MonitorDevice);
    EXPECT_EQ(persist->Load(&byName, nullptr), VFW_E_NOT_STOPPED);

    // Paused, a live source says it cannot cue; stopped, it is quiet.
    ASSERT_TRUE(SUCCEEDED(graph.Control->Pause()));
    FILTER_STATE state;
    EXPECT_EQ(filter->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    ASSERT_EQ(graph.Control->Stop(), S_OK);
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

TEST_F(AudioCaptureFilter, ABagsWaveInNumberAloneFindsItsDevice) {
    const std::vector<DeviceEntry> devices = ListAudioCaptureDevices();
    ASSERT_FALSE(devices.empty());
    for (const DeviceEntry& device : devices) {
        SCOPED_TRACE(std::string(device.Name.begin(), device.Name.end()));
        ComPtr<IPropertyBag> bag;
        ASSERT_EQ(device.Moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()), S_OK);
        VARIANT id;
        VariantInit(&id);
        id.vt = VT_I4;
        ASSERT_EQ(bag->Read(L"WaveInID", &id, nullptr), S_OK);
        FixedBag byNumber;
        byNumber.SetInt(L"WaveInID", id.lVal);
        byNumber.SetText(L"FriendlyName", L"A name no device has");

        ComPtr<IBaseFilter> filter = CreateFilter();
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(filter->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid()), S_OK);
        ASSERT_EQ(persist->Load(&byNumber, nullptr), S_OK);
        PIN_INFO info{};
        ASSERT_EQ(PinIn(filter.Get(), PINDIR_INPUT)->QueryPinInfo(&info), S_OK);
        if (info.pFilter) info.pFilter->Release();
        EXPECT_EQ(std::wstring(info.achName), device.Name);
    }
}

TEST_F(AudioCaptureFilter, AFormatSetOnAConnectedPinReconnectsItInThatFormat) {
    MonitorGraph monitor;
    ASSERT_EQ(monitor.Built, S_OK);
    IBaseFilter* filter = monitor.Device.Get();
    ASSERT_EQ(monitor.Graph.Connect(), S_OK);
    ComPtr<IPin> out = PinIn(filter, PINDIR_OUTPUT);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(out->ConnectionMediaType(&connected), S_OK);
    TPcmFormat format;
    ASSERT_TRUE(ReadPcmMediaType(&connected, &format));
    EXPECT_EQ(format, OfferedCaptureFormats[0]);
    FreeMediaType(connected);

    AM_MEDIA_TYPE wanted{};
    ASSERT_EQ(BuildPcmMediaType({16, 44100, 1}, &wanted), S_OK);
    EXPECT_EQ(ConfigOf(filter)->SetFormat(&wanted), S_OK);
    FreeMediaType(wanted);
    ASSERT_EQ(out->ConnectionMediaType(&connected), S_OK);
    ASSERT_TRUE(ReadPcmMediaType(&connected, &format));
    EXPECT_EQ(format, (TPcmFormat{16, 44100, 1}));
    FreeMediaType(connected);
}
