// The persisted device moniker: saved to bytes and bound again, also after
// the bytes went through a form description; the platform's own monikers,
// which cannot be saved here, leave nothing behind.
#include "media/base_filter.h"
#include "media/sys_dev_enum.h"
#include "tests/fixtures/media/saveable_device_enum.h"
#include "tests/media/device_test_support.h"
#include "tests/media/filter_state_holder.h"

#include "classlib/ui/form_description.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

using namespace devicetest;

CLSID ClassOf(IBaseFilter* filter) {
    CLSID id{};
    ComPtr<IPersist> persist;
    if (filter && SUCCEEDED(filter->QueryInterface(IID_IPersist, persist.PutVoid()))) persist->GetClassID(&id);
    return id;
}

// The moniker of the named device of the category, from the device list.
ComPtr<IMoniker> DeviceMoniker(const GUID& category, const wchar_t* name) {
    TSysDevEnum devices(category);
    for (int i = 0; i < devices.CountFilters(); ++i) {
        TSysDevEntry entry;
        devices.GetFilterEntry(i, entry);
        if (entry.FriendlyNameText() == name) return devices.GetMoniker(i);
    }
    return {};
}

class BaseFilterTest : public devicetest::FixtureTest {};

TEST_F(BaseFilterTest, EmptyBlockGivesNoMonikerAndNoFilter) {
    TBaseFilter filter;
    EXPECT_FALSE(filter.GetMoniker());
    EXPECT_FALSE(filter.CreateFilter());
    EXPECT_EQ(filter.SetMoniker(nullptr), S_OK);
    EXPECT_EQ(filter.DataLength(), 0u);
}

TEST_F(BaseFilterTest, PlatformMonikerThatCannotBeSavedLeavesTheBlockEmpty) {
    ComPtr<IMoniker> moniker = DeviceMoniker(CLSID_VideoCompressorCategory, mediafixture::ConfigCompressorName);
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
    TBaseFilter filter;
    ComPtr<IMoniker> device = DeviceMoniker(CLSID_VideoCompressorCategory, mediafixture::ConfigCompressorName);
    ASSERT_TRUE(device);
    ASSERT_EQ(filter.SetMoniker(device.Get()), S_OK);
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
    TBaseFilter stored;
    ComPtr<IMoniker> device = DeviceMoniker(CLSID_AudioInputDeviceCategory, mediafixture::CaptureDeviceName);
    ASSERT_TRUE(device);
    ASSERT_EQ(stored.SetMoniker(device.Get()), S_OK);

    // The description carries the stored "data" value as hexadecimal bytes.
    const auto properties = WriteBinaryProperties(stored);
    ASSERT_EQ(properties.size(), 1u);
    std::ostringstream hex;
    hex << std::hex;
    for (uint8_t byte : properties[0].Data) hex << (byte < 16 ? "0" : "") << static_cast<int>(byte) << ' ';
    const std::string description = "TFilterStateHolder Holder {\n  BaseFilter.data = hex { " + hex.str() + "}\n}\n";
    TFilterStateHolder holder(nullptr);
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
