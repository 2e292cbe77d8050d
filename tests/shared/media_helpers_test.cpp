// Identifiers, media-type copy and free rules, bitmap sizes and subtypes,
// time conversions.
#include "shared/dib.h"
#include "shared/media_type.h"
#include "shared/ref_time.h"
#include "shared/unit_const_list.h"
#include "tests/fixtures/com_test_support.h"

#include <gtest/gtest.h>

#include <cguid.h>
#include <uuids.h>

#include <cstring>
#include <string>

namespace {

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

using testsupport::CountingUnknown;

BITMAPINFOHEADER Header(LONG width, LONG height, WORD bits, DWORD compression = BI_RGB) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = compression;
    return h;
}

// A header followed by three colour masks, as in a VIDEOINFO block.
struct MaskedHeader {
    BITMAPINFOHEADER Header;
    DWORD Masks[3];
};

}  // namespace

TEST(SharedIdentifiers, ClassAndInterfaceIdentifiers) {
    EXPECT_EQ(GuidText(CLSID_ScreenCaptureSource), L"{286CDE4A-96B1-4ACE-82FA-78464BD8E782}");
    EXPECT_EQ(GuidText(CLSID_LoopbackAudioSource), L"{2B507057-ED7E-441D-A992-12031F31D522}");
    EXPECT_EQ(GuidText(IID_IVideoCaptureFilterConfig), L"{35D258F8-FB94-4C1F-B52A-9A2B024680DE}");
    EXPECT_EQ(__uuidof(IVideoCaptureFilterConfig), IID_IVideoCaptureFilterConfig);
    EXPECT_STREQ(PixentaFilterName, L"Pixenta");
    EXPECT_STREQ(AudeloFilterName, L"Audelo");
    EXPECT_STREQ(RegisteredPinName, L"Output");
    EXPECT_STREQ(OutputPinName, L"Out");
}

TEST(SharedDibSizes, RowBytesRoundUpToFourBytes) {
    EXPECT_EQ(WidthBytes(24 * 321), 964u);
    EXPECT_EQ(WidthBytes(24 * 640), 1920u);
    EXPECT_EQ(WidthBytes(1), 4u);
    EXPECT_EQ(WidthBytes(0), 0u);
    EXPECT_EQ(WidthBytes(32), 4u);
    EXPECT_EQ(WidthBytes(33), 8u);
    EXPECT_EQ(DibWidthBytes(Header(321, 10, 24)), 964u);
}

TEST(SharedDibSizes, TopDownImagesHaveTheSameSize) {
    EXPECT_EQ(DibSize(Header(640, -480, 24)), 921600);
    EXPECT_EQ(DibSize(Header(640, 480, 24)), 921600);
    EXPECT_EQ(DibSignedSize(Header(640, -480, 24)), -921600);
    EXPECT_EQ(DibSignedSize(Header(640, 480, 24)), 921600);
    EXPECT_EQ(DibSize(Header(321, 7, 24)), 964 * 7);
}

TEST(SharedBitmapSubtype, ByBitCount) {
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 1)), MEDIASUBTYPE_RGB1);
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 4)), MEDIASUBTYPE_RGB4);
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 8)), MEDIASUBTYPE_RGB8);
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 24)), MEDIASUBTYPE_RGB24);
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 32)), MEDIASUBTYPE_RGB32);
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 2)), GUID_NULL);
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 0)), GUID_NULL);
    // 24 and 32 bits ignore the masks, also with BI_BITFIELDS.
    MaskedHeader masked{Header(8, 8, 32, BI_BITFIELDS), {1, 2, 3}};
    EXPECT_EQ(GetBitmapSubtype(masked.Header), MEDIASUBTYPE_RGB32);
    masked.Header.biBitCount = 24;
    EXPECT_EQ(GetBitmapSubtype(masked.Header), MEDIASUBTYPE_RGB24);
}

TEST(SharedBitmapSubtype, SixteenBitsByMasks) {
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 16)), MEDIASUBTYPE_RGB555);
    MaskedHeader rgb565{Header(8, 8, 16, BI_BITFIELDS), {0xF800, 0x07E0, 0x001F}};
    EXPECT_EQ(GetBitmapSubtype(rgb565.Header), MEDIASUBTYPE_RGB565);
    MaskedHeader rgb555{Header(8, 8, 16, BI_BITFIELDS), {0x7C00, 0x03E0, 0x001F}};
    EXPECT_EQ(GetBitmapSubtype(rgb555.Header), MEDIASUBTYPE_RGB555);
    MaskedHeader other{Header(8, 8, 16, BI_BITFIELDS), {0x001F, 0x07E0, 0xF800}};
    EXPECT_EQ(GetBitmapSubtype(other.Header), GUID_NULL);
    EXPECT_EQ(GetTrueColorType(other.Header), GUID_NULL);
}

TEST(SharedBitmapSubtype, FourCCWhateverTheBitCount) {
    EXPECT_EQ(GuidText(GetBitmapSubtype(Header(8, 8, 16, 0x32595559))), L"{32595559-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(GetBitmapSubtype(Header(8, 8, 0, 0x32595559)), FourCCSubtype(0x32595559));
    EXPECT_EQ(GuidText(FourCCSubtype(0x3231564E)), L"{3231564E-0000-0010-8000-00AA00389B71}");
}

TEST(SharedReferenceTime, Conversions) {
    EXPECT_EQ(HundredNsToMilliseconds(333333), 33);
    EXPECT_EQ(HundredNsToMilliseconds(-15000), -1);
    EXPECT_EQ(HundredNsToMilliseconds(9999), 0);
    EXPECT_EQ(MillisecondsTo100ns(17), 170000);
    EXPECT_EQ(MillisecondsTo100ns(1000), 10000000);
    EXPECT_EQ(MillisecondsTo100ns(int64_t{1} << 40), (int64_t{1} << 40) * 10000);
}

TEST(SharedMediaTypeCopy, WithoutFormatBlockCopiesThePointerValueOnly) {
    AM_MEDIA_TYPE source{};
    source.majortype = MEDIATYPE_Video;
    source.lSampleSize = 77;
    source.pbFormat = reinterpret_cast<BYTE*>(0x1234);  // owned by nobody
    AM_MEDIA_TYPE copy{};
    CopyMediaType(&copy, &source);
    EXPECT_EQ(std::memcmp(&copy, &source, sizeof copy), 0);
    FreeMediaType(copy);  // must not free the foreign pointer
    EXPECT_EQ(copy.pbFormat, source.pbFormat);
    EXPECT_EQ(copy.cbFormat, 0u);
}

TEST(SharedMediaTypeCopy, FormatBlockIsDeepCopied) {
    AM_MEDIA_TYPE source{};
    BYTE block[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    source.cbFormat = sizeof block;
    source.pbFormat = block;
    AM_MEDIA_TYPE copy{};
    CopyMediaType(&copy, &source);
    ASSERT_NE(copy.pbFormat, nullptr);
    EXPECT_NE(copy.pbFormat, block);
    EXPECT_EQ(copy.cbFormat, sizeof block);
    EXPECT_EQ(std::memcmp(copy.pbFormat, block, sizeof block), 0);
    FreeMediaType(copy);
    EXPECT_EQ(copy.cbFormat, 0u);
    EXPECT_EQ(copy.pbFormat, nullptr);
    // A second free finds nothing to release.
    FreeMediaType(copy);
    EXPECT_EQ(copy.pbFormat, nullptr);
}

TEST(SharedMediaTypeCopy, EachCopyHoldsOneReference) {
    CountingUnknown unknown;
    AM_MEDIA_TYPE source{};
    source.pUnk = &unknown;
    AM_MEDIA_TYPE first{}, second{};
    CopyMediaType(&first, &source);
    CopyMediaType(&second, &source);
    EXPECT_EQ(unknown.Refs, 3u);
    FreeMediaType(first);
    EXPECT_EQ(first.pUnk, nullptr);
    EXPECT_EQ(unknown.Refs, 2u);
    FreeMediaType(first);
    EXPECT_EQ(unknown.Refs, 2u);
    FreeMediaType(second);
    EXPECT_EQ(unknown.Refs, 1u);
}

TEST(SharedMediaTypeCreate, CreateThenDeleteFreesRecordBlockAndReference) {
    CountingUnknown unknown;
    AM_MEDIA_TYPE source{};
    source.subtype = MEDIASUBTYPE_RGB24;
    BYTE block[88] = {};
    block[3] = 42;
    source.cbFormat = sizeof block;
    source.pbFormat = block;
    source.pUnk = &unknown;
    AM_MEDIA_TYPE* created = CreateMediaType(&source);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->subtype, MEDIASUBTYPE_RGB24);
    ASSERT_NE(created->pbFormat, block);
    EXPECT_EQ(created->pbFormat[3], 42);
    EXPECT_EQ(unknown.Refs, 2u);
    DeleteMediaType(created);
    EXPECT_EQ(unknown.Refs, 1u);
    DeleteMediaType(nullptr);
}
