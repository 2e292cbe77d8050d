// The filter and pin through COM without streaming: defaults, the
// configuration interface on filter and pin, the offered type, type checks
// and IAMStreamConfig.
#include "shared/media_type.h"
#include "tests/screen_filter/pixenta_test_support.h"

#include <gtest/gtest.h>

#include <uuids.h>

#include <climits>
#include <cstring>
#include <utility>

using namespace pixentatest;

namespace {

struct PixentaConfig : ::testing::Test {
    graphtest::ComScope Com;
    ComPtr<IBaseFilter> Filter;
    ComPtr<IPin> Pin;
    ComPtr<IVideoCaptureFilterConfig> FilterConfig;
    ComPtr<IVideoCaptureFilterConfig> PinConfig;
    ComPtr<IAMStreamConfig> StreamConfig;

    static void SetUpTestSuite() { RegisterLibrary(); }

    void SetUp() override {
        Filter = CreateFilter();
        ASSERT_TRUE(Filter);
        ASSERT_EQ(Filter->FindPin(L"Out", Pin.Put()), S_OK);
        FilterConfig = Config(Filter.Get());
        PinConfig = Config(Pin.Get());
        ASSERT_TRUE(FilterConfig);
        ASSERT_TRUE(PinConfig);
        ASSERT_EQ(Pin->QueryInterface(IID_IAMStreamConfig, StreamConfig.PutVoid()), S_OK);
    }

    // The one type the pin offers.
    TMediaTypePtr Offered() {
        ComPtr<IEnumMediaTypes> types;
        if (FAILED(Pin->EnumMediaTypes(types.Put()))) return nullptr;
        AM_MEDIA_TYPE* type = nullptr;
        const HRESULT hr = types->Next(1, &type, nullptr);
        TMediaTypePtr owned(type);
        return hr == S_OK ? std::move(owned) : nullptr;
    }

    TMediaTypePtr StreamCaps(int index, BYTE* capabilities, HRESULT* hr) {
        AM_MEDIA_TYPE* type = nullptr;
        *hr = StreamConfig->GetStreamCaps(index, &type, capabilities);
        return TMediaTypePtr(type);
    }

    TMediaTypePtr Format(HRESULT* hr) {
        AM_MEDIA_TYPE* type = nullptr;
        *hr = StreamConfig->GetFormat(&type);
        return TMediaTypePtr(type);
    }
};

const VIDEOINFOHEADER& Header(const TMediaTypePtr& type) {
    return *reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

}  // namespace

TEST_F(PixentaConfig, NewFilterDefaults) {
    CLSID classId{};
    ASSERT_EQ(Filter->GetClassID(&classId), S_OK);
    EXPECT_EQ(classId, CLSID_ScreenCaptureSource);
    LONG x = -1, y = -1, w = -1, h = -1;
    ASSERT_EQ(FilterConfig->GetCaptureRect(&x, &y, &w, &h), S_OK);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    LONGLONG rate = -1;
    ASSERT_EQ(FilterConfig->GetFrameRate(&rate), S_OK);
    EXPECT_EQ(rate, 0);
    BYTE cursor = 0;
    ASSERT_EQ(FilterConfig->GetDrawCursor(&cursor), S_OK);
    EXPECT_EQ(cursor, 1);

    PIN_INFO info{};
    ASSERT_EQ(Pin->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Out");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    info.pFilter->Release();
    ComPtr<IQualityControl> quality;
    ASSERT_EQ(Pin->QueryInterface(IID_IQualityControl, quality.PutVoid()), S_OK);
    EXPECT_EQ(quality->Notify(Filter.Get(), Quality{}), E_FAIL);
}

TEST_F(PixentaConfig, OfferedTypeIsBottomUpRgb24OfTheConfiguredSize) {
    const TMediaTypePtr type = Offered();
    ASSERT_TRUE(type);
    EXPECT_EQ(type->majortype, MEDIATYPE_Video);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(type->formattype, FORMAT_VideoInfo);
    EXPECT_EQ(type->bFixedSizeSamples, -1);
    EXPECT_EQ(type->bTemporalCompression, FALSE);
    EXPECT_EQ(type->lSampleSize, 921600u);
    ASSERT_EQ(type->cbFormat, 1128u);
    const VIDEOINFOHEADER& header = Header(type);
    EXPECT_EQ(header.AvgTimePerFrame, 333333);
    EXPECT_EQ(header.bmiHeader.biSize, 40u);
    EXPECT_EQ(header.bmiHeader.biWidth, 640);
    EXPECT_EQ(header.bmiHeader.biHeight, 480);
    EXPECT_EQ(header.bmiHeader.biPlanes, 1);
    EXPECT_EQ(header.bmiHeader.biBitCount, 24);
    EXPECT_EQ(header.bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.bmiHeader.biSizeImage, 921600u);
    EXPECT_EQ(header.rcSource.right, 0);
    EXPECT_EQ(header.rcTarget.bottom, 0);
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_OK);

    // Exactly one entry.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(Pin->EnumMediaTypes(types.Put()), S_OK);
    EXPECT_EQ(types->Skip(1), S_OK);
    AM_MEDIA_TYPE* none = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(types->Next(1, &none, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

TEST_F(PixentaConfig, SettersReachThePinAndTheOfferedType) {
    ASSERT_EQ(FilterConfig->SetCaptureRect(100, 50, 321, 240), S_OK);
    LONG x, y, w, h;
    ASSERT_EQ(PinConfig->GetCaptureRect(&x, &y, &w, &h), S_OK);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
    EXPECT_EQ(w, 321);
    EXPECT_EQ(h, 240);

    const struct {
        LONGLONG Rate;
        REFERENCE_TIME Duration;
    } rates[] = {{30, 333333},  {25, 400000}, {20, 500000},  {15, 666666},
                 {10, 1000000}, {7, 1428571}, {1, 10000000}, {10000000, 1}};
    for (const auto& r : rates) {
        ASSERT_EQ(PinConfig->SetFrameRate(r.Rate), S_OK);
        LONGLONG rate = 0;
        ASSERT_EQ(FilterConfig->GetFrameRate(&rate), S_OK);
        EXPECT_EQ(rate, r.Rate);
        const TMediaTypePtr type = Offered();
        ASSERT_TRUE(type);
        EXPECT_EQ(Header(type).AvgTimePerFrame, r.Duration) << r.Rate;
        // 321 pixels of 3 bytes give rows of 964 bytes.
        EXPECT_EQ(Header(type).bmiHeader.biSizeImage, 964u * 240);
        EXPECT_EQ(Header(type).bmiHeader.biWidth, 321);
    }

    // Only the low byte of the cursor flag counts.
    ASSERT_EQ(FilterConfig->SetDrawCursor(0x100), S_OK);
    BYTE cursor = 9;
    ASSERT_EQ(PinConfig->GetDrawCursor(&cursor), S_OK);
    EXPECT_EQ(cursor, 0);
    ASSERT_EQ(PinConfig->SetDrawCursor(0x201), S_OK);
    ASSERT_EQ(FilterConfig->GetDrawCursor(&cursor), S_OK);
    EXPECT_EQ(cursor, 1);
}

TEST_F(PixentaConfig, HostileValuesLeaveTheFieldsValid) {
    ASSERT_EQ(PinConfig->SetFrameRate(25), S_OK);
    for (LONGLONG bad : {LONGLONG{0}, LONGLONG{-1}, LONGLONG{-30}, LONGLONG{10000001}, LLONG_MAX, LLONG_MIN}) {
        EXPECT_EQ(FilterConfig->SetFrameRate(bad), E_INVALIDARG) << bad;
    }
    LONGLONG rate = 0;
    ASSERT_EQ(FilterConfig->GetFrameRate(&rate), S_OK);
    EXPECT_EQ(rate, 25);
    const TMediaTypePtr type = Offered();
    ASSERT_TRUE(type);
    EXPECT_EQ(Header(type).AvgTimePerFrame, 400000);

    // Null pointers to the getters.
    LONG v;
    EXPECT_EQ(FilterConfig->GetCaptureRect(nullptr, &v, &v, &v), E_POINTER);
    EXPECT_EQ(PinConfig->GetCaptureRect(&v, &v, &v, nullptr), E_POINTER);
    EXPECT_EQ(FilterConfig->GetFrameRate(nullptr), E_POINTER);
    EXPECT_EQ(PinConfig->GetDrawCursor(nullptr), E_POINTER);

    // A rectangle whose far edge lies beyond the 32-bit range stops at it.
    ASSERT_EQ(FilterConfig->SetCaptureRect(LONG_MAX - 5, LONG_MIN + 5, 100, -100), S_OK);
    LONG x, y, w, h;
    ASSERT_EQ(FilterConfig->GetCaptureRect(&x, &y, &w, &h), S_OK);
    EXPECT_EQ(x, LONG_MAX - 5);
    EXPECT_EQ(y, LONG_MIN + 5);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, -5);
}

TEST_F(PixentaConfig, CheckMediaTypeRefusesEverythingButTheConfiguredType) {
    const TMediaTypePtr type = Offered();
    ASSERT_TRUE(type);
    auto* header = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);

    header->bmiHeader.biHeight = -480;  // top-down
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    header->bmiHeader.biHeight = 480;
    header->bmiHeader.biWidth = 641;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    header->bmiHeader.biWidth = 640;
    type->subtype = MEDIASUBTYPE_RGB32;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    type->subtype = GUID{};
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    type->subtype = MEDIASUBTYPE_RGB24;
    type->majortype = MEDIATYPE_Audio;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    type->majortype = MEDIATYPE_Video;
    type->bFixedSizeSamples = FALSE;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    type->bFixedSizeSamples = TRUE;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_OK);

    // A block too short for a VIDEOINFOHEADER, or none at all.
    type->cbFormat = 40;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    BYTE* block = type->pbFormat;
    type->cbFormat = 0;
    type->pbFormat = nullptr;
    EXPECT_EQ(Pin->QueryAccept(type.get()), S_FALSE);
    type->cbFormat = 1128;
    type->pbFormat = block;
}

TEST_F(PixentaConfig, StreamConfigBeforeAndAfterSetFormat) {
    int count = 0, size = 0;
    ASSERT_EQ(StreamConfig->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(size, 128);
    EXPECT_EQ(StreamConfig->GetNumberOfCapabilities(nullptr, &size), E_POINTER);

    ASSERT_EQ(FilterConfig->SetCaptureRect(0, 0, 320, 200), S_OK);
    ASSERT_EQ(FilterConfig->SetFrameRate(25), S_OK);
    // Before any connection every index builds the header of the configured
    // format, and the capabilities describe that one size and frame length.
    for (int index : {0, 1, 3}) {
        VIDEO_STREAM_CONFIG_CAPS capabilities;
        std::memset(&capabilities, 0x5A, sizeof capabilities);
        HRESULT hr = E_FAIL;
        const TMediaTypePtr caps = StreamCaps(index, reinterpret_cast<BYTE*>(&capabilities), &hr);
        ASSERT_EQ(hr, S_OK);
        ASSERT_TRUE(caps);
        EXPECT_EQ(capabilities.guid, FORMAT_VideoInfo);
        EXPECT_EQ(capabilities.InputSize.cx, 320);
        EXPECT_EQ(capabilities.InputSize.cy, 200);
        EXPECT_EQ(capabilities.MinOutputSize.cx, 320);
        EXPECT_EQ(capabilities.MaxOutputSize.cy, 200);
        EXPECT_EQ(capabilities.OutputGranularityX, 1);
        EXPECT_EQ(capabilities.MinFrameInterval, 400000);
        EXPECT_EQ(capabilities.MaxFrameInterval, 400000);
        EXPECT_EQ(capabilities.MaxBitsPerSecond, 960 * 200 * 8 * 25);
        ASSERT_EQ(caps->cbFormat, 88u);
        EXPECT_EQ(caps->subtype, MEDIASUBTYPE_RGB24);
        EXPECT_EQ(caps->formattype, FORMAT_VideoInfo);
        EXPECT_EQ(Header(caps).bmiHeader.biWidth, 320);
        EXPECT_EQ(Header(caps).bmiHeader.biHeight, 200);
        EXPECT_EQ(Header(caps).bmiHeader.biSizeImage, 960u * 200);
        EXPECT_EQ(caps->lSampleSize, 960u * 200);
    }
    // Past the reported count: no type, and the caller's structure untouched.
    for (int index : {4, 9}) {
        BYTE capabilities[128] = {0x5A};
        AM_MEDIA_TYPE* none = reinterpret_cast<AM_MEDIA_TYPE*>(1);
        EXPECT_EQ(StreamConfig->GetStreamCaps(index, &none, capabilities), S_FALSE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(capabilities[0], 0x5A);
    }
    AM_MEDIA_TYPE* none = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(StreamConfig->GetStreamCaps(-1, &none, nullptr), E_INVALIDARG);
    EXPECT_EQ(none, nullptr);

    HRESULT hr = E_FAIL;
    TMediaTypePtr format = Format(&hr);
    ASSERT_EQ(hr, S_OK);
    ASSERT_TRUE(format);
    ASSERT_GE(format->cbFormat, 88u);
    EXPECT_EQ(Header(format).bmiHeader.biWidth, 320);
    EXPECT_EQ(Header(format).bmiHeader.biBitCount, 24);

    // SetFormat keeps a copy; the caller frees its own.
    reinterpret_cast<VIDEOINFOHEADER*>(format->pbFormat)->bmiHeader.biWidth = 160;
    ASSERT_EQ(StreamConfig->SetFormat(format.get()), S_OK);
    format = Format(&hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(Header(format).bmiHeader.biWidth, 160);
    // A short block given to SetFormat is never rewritten in place.
    format->cbFormat = 20;
    ASSERT_EQ(StreamConfig->SetFormat(format.get()), S_OK);
    format->cbFormat = 88;
    const TMediaTypePtr caps = StreamCaps(0, nullptr, &hr);
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(caps->cbFormat, 88u);
    EXPECT_EQ(Header(caps).bmiHeader.biWidth, 320);

    EXPECT_EQ(StreamConfig->SetFormat(nullptr), E_POINTER);
    EXPECT_EQ(StreamConfig->GetFormat(nullptr), E_POINTER);
    EXPECT_EQ(StreamConfig->GetStreamCaps(0, nullptr, nullptr), E_POINTER);
}

TEST_F(PixentaConfig, PausedLiveSourceCannotCue) {
    FILTER_STATE state = State_Running;
    ASSERT_EQ(Filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    ASSERT_EQ(Filter->Pause(), S_OK);
    EXPECT_EQ(Filter->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    ASSERT_EQ(Filter->Run(0), S_OK);
    EXPECT_EQ(Filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    ASSERT_EQ(Filter->Stop(), S_OK);
    EXPECT_EQ(Filter->GetState(0, nullptr), E_POINTER);
}
