// The persisted device moniker: saved to bytes and bound again, also after
// the bytes went through a form description; the platform's own monikers,
// which cannot be saved here, leave nothing behind.
#include "media/base_filter.h"
#include "media/sys_dev_enum.h"
#include "tests/fixtures/media/saveable_device_enum.h"
#include "tests/media/device_test_support.h"

#include "classlib/runtime/component.h"
#include "classlib/ui/form_description.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

// A component that publishes a TBaseFilter, as the filter wrapper does.
class TMonikerHolder : public TComponent {
public:
    using TComponent::TComponent;
    TBaseFilter BaseFilter;
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TMonikerHolder>(L"TMonikerHolder", &TComponent::ClassProperties())
                .Object(L"BaseFilter", [](TMonikerHolder& h) -> TPersistent* { return &h.BaseFilter; })
                .Build();
        return table;
    }
};

namespace {

using namespace devicetest;

CLSID ClassOf(IBaseFilter* filter) {
    CLSID id{};
    ComPtr<IPersist> persist;
    if (filter && SUCCEEDED(filter->QueryInterface(IID_IPersist, persist.PutVoid()))) persist->GetClassID(&id);
    return id;
}

int IndexOf(const TSysDevEnum& devices, const wchar_t* name) {
    for (int i = 0; i < devices.CountFilters(); ++i) {
        TSysDevEntry entry;
        devices.GetFilterEntry(i, entry);
        if (entry.FriendlyNameText() == name) return i;
    }
    return -1;
}

class BaseFilterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ComScope com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
    }
    ComScope FCom;
};

TEST_F(BaseFilterTest, EmptyBlockGivesNoMonikerAndNoFilter) {
    TBaseFilter filter;
    EXPECT_FALSE(filter.GetMoniker());
    EXPECT_FALSE(filter.CreateFilter());
    EXPECT_EQ(filter.SetMoniker(nullptr), S_OK);
    EXPECT_EQ(filter.DataLength(), 0u);
}

TEST_F(BaseFilterTest, PlatformMonikerThatCannotBeSavedLeavesTheBlockEmpty) {
    TSysDevEnum compressors(CLSID_VideoCompressorCategory);
    const int index = IndexOf(compressors, mediafixture::ConfigCompressorName);
    ASSERT_GE(index, 0);
    ComPtr<IMoniker> moniker = compressors.GetMoniker(index);
    ASSERT_TRUE(moniker);
    TBaseFilter filter;
    filter.SetDataLength(3);
    const HRESULT hr = filter.SetMoniker(moniker.Get());
    if (SUCCEEDED(hr)) {
        // A platform whose monikers can be saved: the block binds the device.
        EXPECT_TRUE(IsEqualGUID(ClassOf(filter.CreateFilter().Get()), mediafixture::CLSID_ConfigCompressor));
    } else {
        EXPECT_EQ(filter.DataLength(), 0u);
        EXPECT_FALSE(filter.GetMoniker());
    }
}

TEST_F(BaseFilterTest, SavedMonikerBindsTheSameDeviceAgain) {
    mediafixture::TSaveableDeviceEnumRegistration saveable;
    ASSERT_EQ(saveable.Result(), S_OK);
    TSysDevEnum compressors(CLSID_VideoCompressorCategory);
    const int index = IndexOf(compressors, mediafixture::ConfigCompressorName);
    ASSERT_GE(index, 0);

    TBaseFilter filter;
    ASSERT_EQ(filter.SetMoniker(compressors.GetMoniker(index).Get()), S_OK);
    ASSERT_GT(filter.DataLength(), 16u);
    // The block starts with the moniker's class identifier.
    EXPECT_EQ(std::memcmp(filter.Data(), &mediafixture::CLSID_SaveableDeviceMoniker, 16), 0);

    ComPtr<IMoniker> moniker = filter.GetMoniker();
    ASSERT_TRUE(moniker);
    EXPECT_EQ(BagName(moniker.Get()), mediafixture::ConfigCompressorName);

    const LONG before = mediafixture::SaveableMonikerBindings();
    ComPtr<IBaseFilter> first = filter.CreateFilter();
    ComPtr<IBaseFilter> second = filter.CreateFilter();
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.Get(), second.Get());  // every call binds again
    EXPECT_EQ(mediafixture::SaveableMonikerBindings(), before + 2);
    EXPECT_TRUE(IsEqualGUID(ClassOf(first.Get()), mediafixture::CLSID_ConfigCompressor));

    EXPECT_EQ(filter.SetMoniker(nullptr), S_OK);
    EXPECT_EQ(filter.DataLength(), 0u);
    EXPECT_FALSE(filter.GetMoniker());
}

TEST_F(BaseFilterTest, BytesThroughAFormDescriptionStillBind) {
    mediafixture::TSaveableDeviceEnumRegistration saveable;
    ASSERT_EQ(saveable.Result(), S_OK);
    TSysDevEnum inputs(CLSID_AudioInputDeviceCategory);
    const int index = IndexOf(inputs, mediafixture::CaptureDeviceName);
    ASSERT_GE(index, 0);
    TBaseFilter stored;
    ASSERT_EQ(stored.SetMoniker(inputs.GetMoniker(index).Get()), S_OK);

    // The description carries the stored "data" value as hexadecimal bytes.
    const auto properties = WriteBinaryProperties(stored);
    ASSERT_EQ(properties.size(), 1u);
    std::ostringstream hex;
    hex << std::hex;
    for (uint8_t byte : properties[0].Data) hex << (byte < 16 ? "0" : "") << static_cast<int>(byte) << ' ';
    const std::string description =
        "TMonikerHolder Holder {\n  BaseFilter.data = hex { " + hex.str() + "}\n}\n";
    TMonikerHolder holder(nullptr);
    LoadFormDescription(holder, description, L"test");
    ASSERT_TRUE(holder.BaseFilter.Equal(stored));
    ComPtr<IBaseFilter> filter = holder.BaseFilter.CreateFilter();
    ASSERT_TRUE(filter);
    EXPECT_TRUE(IsEqualGUID(ClassOf(filter.Get()), mediafixture::CLSID_FourLineCapture));
}

TEST_F(BaseFilterTest, BytesThatDoNotLoadGiveNoMoniker) {
    TBaseFilter filter;
    filter.SetDataLength(20);  // an all-zero class identifier: nothing loads it
    EXPECT_FALSE(filter.GetMoniker());
    EXPECT_FALSE(filter.CreateFilter());
}

}  // namespace
