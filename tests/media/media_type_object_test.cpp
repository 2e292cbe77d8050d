// Media-type records: the owned copy, equality, the stored "data" value and
// damaged values, and the list of a real pin's types.
#include "media/enum_media_type.h"
#include "media/media_type_object.h"
#include "media/pin_list.h"
#include "tests/fixtures/com_test_support.h"
#include "tests/media/device_test_support.h"

#include "classlib/runtime/exceptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using testsupport::CountingUnknown;

// An audio type with a WAVEFORMATEX block.
struct PcmType {
    WAVEFORMATEX Format{};
    AM_MEDIA_TYPE Type{};
    explicit PcmType(DWORD rate = 44100, WORD channels = 2) {
        Format.wFormatTag = WAVE_FORMAT_PCM;
        Format.nChannels = channels;
        Format.nSamplesPerSec = rate;
        Format.wBitsPerSample = 16;
        Format.nBlockAlign = static_cast<WORD>(channels * 2);
        Format.nAvgBytesPerSec = rate * Format.nBlockAlign;
        Type.majortype = MEDIATYPE_Audio;
        Type.subtype = MEDIASUBTYPE_PCM;
        Type.bFixedSizeSamples = TRUE;
        Type.lSampleSize = Format.nBlockAlign;
        Type.formattype = FORMAT_WaveFormatEx;
        Type.cbFormat = sizeof Format;
        Type.pbFormat = reinterpret_cast<BYTE*>(&Format);
    }
};

std::vector<uint8_t> Written(TMediaType& type, TPersistent* ancestor = nullptr) {
    const auto properties = WriteBinaryProperties(type, ancestor);
    if (properties.empty()) return {};
    EXPECT_EQ(properties[0].Name, L"data");
    return properties[0].Data;
}

TEST(MediaType, HoldsADeepCopy) {
    PcmType source;
    TMediaType type(&source.Type);
    const AM_MEDIA_TYPE& held = *type.MediaTypeRecord;
    EXPECT_NE(held.pbFormat, source.Type.pbFormat);
    EXPECT_EQ(type.FormatLength(), sizeof(WAVEFORMATEX));
    source.Format.nSamplesPerSec = 8000;  // the copy does not follow
    EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(held.pbFormat)->nSamplesPerSec, 44100u);
    GUID guid{};
    type.GetSubType(guid);
    EXPECT_EQ(guid, MEDIASUBTYPE_PCM);
    type.GetFormatType(guid);
    EXPECT_EQ(guid, FORMAT_WaveFormatEx);
}

TEST(MediaType, HoldsOneReferenceOnPUnk) {
    CountingUnknown unknown;
    PcmType source;
    source.Type.pUnk = &unknown;
    {
        TMediaType type(&source.Type);
        EXPECT_EQ(unknown.Refs, 2u);
        TMediaType other(&source.Type);
        EXPECT_EQ(unknown.Refs, 3u);
        other.Assign(&type);  // the old reference goes, a new one comes
        EXPECT_EQ(unknown.Refs, 3u);
        type.ResetFormatBuffer();  // pUnk stays
        EXPECT_EQ(unknown.Refs, 3u);
    }
    EXPECT_EQ(unknown.Refs, 1u);
}

TEST(MediaType, EqualComparesTypesAndFormatBytesOnly) {
    PcmType a, b;
    b.Type.lSampleSize = 99;
    b.Type.bFixedSizeSamples = FALSE;
    b.Type.bTemporalCompression = TRUE;
    TMediaType x(&a.Type), y(&b.Type);
    EXPECT_TRUE(x.Equal(y));
    PcmType c(22050);
    TMediaType z(&c.Type);
    EXPECT_FALSE(x.Equal(z));

    AM_MEDIA_TYPE bare1{}, bare2{};
    bare1.majortype = bare2.majortype = MEDIATYPE_Video;
    bare1.pbFormat = reinterpret_cast<BYTE*>(&a);  // no block owned: not looked at
    TMediaType p(&bare1), q(&bare2);
    EXPECT_TRUE(p.Equal(q));
    EXPECT_FALSE(p.Equal(x));
}

TEST(MediaType, AssignToItselfChangesNothing) {
    PcmType source;
    TMediaType type(&source.Type);
    BYTE* block = type.MediaTypeRecord->pbFormat;
    type.Assign(&type);
    EXPECT_EQ(type.MediaTypeRecord->pbFormat, block);
    EXPECT_EQ(type.FormatLength(), sizeof(WAVEFORMATEX));
}

class TNotAMediaType : public TPersistent {};

TEST(MediaType, AssignFromAnotherClassRaises) {
    TMediaType type;
    TNotAMediaType other;
    EXPECT_THROW(type.Assign(&other), EAssignError);
}

TEST(MediaType, StoredValueIsTheRecordThenTheBlock) {
    AM_MEDIA_TYPE bare{};
    bare.majortype = MEDIATYPE_Video;
    TMediaType empty(&bare);
    const std::vector<uint8_t> value = Written(empty);
    ASSERT_EQ(value.size(), 72u);
    EXPECT_EQ(std::memcmp(value.data(), &MEDIATYPE_Video, 16), 0);

    PcmType pcm;
    TMediaType type(&pcm.Type);
    const std::vector<uint8_t> full = Written(type);
    ASSERT_EQ(full.size(), 72u + sizeof(WAVEFORMATEX));
    EXPECT_EQ(std::memcmp(full.data() + 16, &MEDIASUBTYPE_PCM, 16), 0);
    uint32_t fixed = 0, sampleSize = 0, cbFormat = 0;
    std::memcpy(&fixed, full.data() + 32, 4);
    std::memcpy(&sampleSize, full.data() + 40, 4);
    std::memcpy(&cbFormat, full.data() + 64, 4);
    EXPECT_EQ(fixed, 1u);
    EXPECT_EQ(sampleSize, 4u);
    EXPECT_EQ(cbFormat, sizeof(WAVEFORMATEX));
    EXPECT_EQ(std::memcmp(full.data() + 44, &FORMAT_WaveFormatEx, 16), 0);
    EXPECT_EQ(std::memcmp(full.data() + 72, &pcm.Format, sizeof(WAVEFORMATEX)), 0);

    // Against an equal ancestor nothing is stored.
    TMediaType same(&pcm.Type);
    EXPECT_TRUE(Written(type, &same).empty());
    EXPECT_EQ(Written(type, &empty).size(), full.size());
}

TEST(MediaType, ReadBackTakesNoPointersOfTheWriter) {
    CountingUnknown unknown;
    PcmType pcm;
    pcm.Type.pUnk = &unknown;
    TMediaType source(&pcm.Type);
    const std::vector<uint8_t> value = Written(source);

    CountingUnknown held;
    PcmType other(8000, 1);
    other.Type.pUnk = &held;
    TMediaType target(&other.Type);
    EXPECT_EQ(held.Refs, 2u);
    ASSERT_TRUE(ReadBinaryProperty(target, L"data", value));
    EXPECT_TRUE(target.Equal(source));
    EXPECT_EQ(target.MediaTypeRecord->pUnk, nullptr);
    EXPECT_EQ(held.Refs, 1u);  // the reference the record held was released
    EXPECT_EQ(target.MediaTypeRecord->lSampleSize, 4u);
    EXPECT_NE(target.MediaTypeRecord->pbFormat, source.MediaTypeRecord->pbFormat);

    // A record without a block reads back with no block.
    AM_MEDIA_TYPE bare{};
    bare.majortype = MEDIATYPE_Audio;
    bare.pbFormat = reinterpret_cast<BYTE*>(&pcm);
    TMediaType empty(&bare);
    ASSERT_TRUE(ReadBinaryProperty(target, L"data", Written(empty)));
    EXPECT_EQ(target.FormatLength(), 0u);
    EXPECT_EQ(target.MediaTypeRecord->pbFormat, nullptr);
}

TEST(MediaType, DamagedValuesAreRefusedAndChangeNothing) {
    PcmType pcm;
    TMediaType source(&pcm.Type);
    std::vector<uint8_t> value = Written(source);
    PcmType other(8000, 1);
    TMediaType target(&other.Type);

    std::vector<uint8_t> shortBlock(value.begin(), value.end() - 3);
    EXPECT_THROW(ReadBinaryProperty(target, L"data", shortBlock), EReadError);
    std::vector<uint8_t> shortRecord(value.begin(), value.begin() + 50);
    EXPECT_THROW(ReadBinaryProperty(target, L"data", shortRecord), EReadError);
    std::vector<uint8_t> absurd = value;
    const uint32_t huge = 0xFFFFFFF0u;
    std::memcpy(absurd.data() + 64, &huge, 4);
    EXPECT_THROW(ReadBinaryProperty(target, L"data", absurd), EReadError);

    const TMediaType expected(&other.Type);
    EXPECT_TRUE(target.Equal(expected));
}

TEST(MediaType, ResetFormatBufferDropsTheBlock) {
    PcmType pcm;
    TMediaType type(&pcm.Type);
    type.ResetFormatBuffer();
    EXPECT_EQ(type.FormatLength(), 0u);
    EXPECT_EQ(type.MediaTypeRecord->pbFormat, nullptr);
    type.ResetFormatBuffer();
    EXPECT_EQ(Written(type).size(), 72u);
}

// An enumerator that hands out two types and then fails, as one that went
// out of step with its pin does.
class TwoThenFail : public testsupport::ScopedComObject<IEnumMediaTypes> {
public:
    int Calls = 0;
    HRESULT STDMETHODCALLTYPE Next(ULONG, AM_MEDIA_TYPE** types, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (++Calls > 2) return VFW_E_ENUM_OUT_OF_SYNC;
        PcmType pcm(Calls == 1 ? 44100 : 22050);
        auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        *record = pcm.Type;
        record->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
        std::memcpy(record->pbFormat, &pcm.Format, sizeof(WAVEFORMATEX));
        types[0] = record;
        if (fetched) *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }
};

TEST(EnumMediaType, AnEnumerationErrorKeepsWhatCameBefore) {
    TwoThenFail types;
    TEnumMediaType list;
    list.SetEnum(&types);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(list.GetItem(1)->MediaTypeRecord->pbFormat)->nSamplesPerSec, 22050u);
    EXPECT_THROW(list.GetItem(2), EListError);
    EXPECT_THROW(list.GetItem(-1), EListError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.SetPin(nullptr);
    EXPECT_EQ(list.Count(), 0);
}

class EnumMediaTypeOnDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        devicetest::ComScope com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
    }
    devicetest::ComScope FCom;
};

TEST_F(EnumMediaTypeOnDevice, ListsTheCapturePinsFormatsInOrder) {
    ComPtr<IBaseFilter> capture;
    ASSERT_EQ(CoCreateInstance(mediafixture::CLSID_FourLineCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               capture.PutVoid()),
              S_OK);
    TPinList pins(capture.Get());
    ASSERT_EQ(pins.Count(), mediafixture::CaptureLineCount + 1);
    ComPtr<IPin> output = pins.GetPin(mediafixture::CaptureLineCount);
    TEnumMediaType types;
    types.SetPin(output.Get());
    ASSERT_EQ(types.Count(), mediafixture::CaptureFormatCount);
    for (int i = 0; i < types.Count(); ++i) {
        const AM_MEDIA_TYPE& type = *types.GetItem(i)->MediaTypeRecord;
        ASSERT_EQ(type.formattype, FORMAT_WaveFormatEx);
        const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
        EXPECT_EQ(format->nSamplesPerSec, mediafixture::CaptureFormats[i].Rate);
        EXPECT_EQ(format->nChannels, mediafixture::CaptureFormats[i].Channels);
        EXPECT_EQ(format->wBitsPerSample, mediafixture::CaptureFormats[i].Bits);
    }
    // Setting a format through the stream configuration, as the recorder
    // does with a listed type, leaves that one type.
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(output.As(config), S_OK);
    ASSERT_EQ(config->SetFormat(types.GetItem(2)->MediaTypeRecord), S_OK);
    types.SetPin(output.Get());
    ASSERT_EQ(types.Count(), 1);
    EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(types.GetItem(0)->MediaTypeRecord->pbFormat)->nSamplesPerSec, 22050u);

    // An input line offers no types.
    types.SetPin(pins.GetPin(0).Get());
    EXPECT_EQ(types.Count(), 0);
}

}  // namespace
