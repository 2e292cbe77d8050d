// The device list over the platform's system device enumerator: the fixture
// devices of the real categories, and a category of our own with cut
// names, missing values and a class value that is not a GUID.
#include "media/sys_dev_enum.h"
#include "tests/media/device_test_support.h"

#include "classlib/runtime/exceptions.h"

#include <gtest/gtest.h>

namespace {

using namespace devicetest;

class SysDevEnumTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ComScope com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
        EnsureOddDevices();
    }
    ComScope FCom;

    // Index of the entry of that ANSI name, or -1.
    static int Find(const TSysDevEnum& devices, const std::string& name) {
        for (int i = 0; i < devices.CountFilters(); ++i) {
            TSysDevEntry entry;
            devices.GetFilterEntry(i, entry);
            if (entry.FriendlyNameAnsi() == name) return i;
        }
        return -1;
    }
};

TEST_F(SysDevEnumTest, ListsTheFixtureDevicesOfTheRealCategories) {
    TSysDevEnum compressors(CLSID_VideoCompressorCategory);
    for (const wchar_t* name : {mediafixture::ConfigCompressorName, mediafixture::NoConfigCompressorName,
                                mediafixture::PlainCompressorName}) {
        const int index = Find(compressors, Ansi(name));
        ASSERT_GE(index, 0) << Ansi(name);
        TSysDevEntry entry;
        compressors.GetFilterEntry(index, entry);
        EXPECT_EQ(entry.FriendlyNameText(), name);
    }
    TSysDevEntry entry;
    compressors.GetFilterEntry(Find(compressors, Ansi(mediafixture::ConfigCompressorName)), entry);
    EXPECT_TRUE(IsEqualGUID(entry.CLSID, mediafixture::CLSID_ConfigCompressor));

    TSysDevEnum inputs(CLSID_AudioInputDeviceCategory);
    const int capture = Find(inputs, Ansi(mediafixture::CaptureDeviceName));
    ASSERT_GE(capture, 0);
    inputs.GetFilterEntry(capture, entry);
    EXPECT_TRUE(IsEqualGUID(entry.CLSID, mediafixture::CLSID_FourLineCapture));
    EXPECT_EQ(inputs.Category(), CLSID_AudioInputDeviceCategory);
}

TEST_F(SysDevEnumTest, OddValues) {
    TSysDevEnum devices(CategoryOddDevices);
    // The device whose class value is not a GUID is passed over; the others
    // are all there, whatever their order.
    EXPECT_EQ(devices.CountFilters(), 5);
    EXPECT_EQ(Find(devices, "Odd Device With Bad Class"), -1);
    EXPECT_GE(Find(devices, "Odd Second Device"), 0);

    const std::string longName = Ansi(LongName());
    ASSERT_GT(longName.size(), 255u);
    const int cut = Find(devices, longName.substr(0, 255));
    ASSERT_GE(cut, 0) << "the long name, cut to 255 bytes";
    TSysDevEntry entry;
    devices.GetFilterEntry(cut, entry);
    EXPECT_EQ(entry.FriendlyName[0], 255);

    const int noClass = Find(devices, "Odd Device Without Class");
    ASSERT_GE(noClass, 0);
    devices.GetFilterEntry(noClass, entry);
    EXPECT_TRUE(IsEqualGUID(entry.CLSID, GUID_NULL));

    const int noName = Find(devices, "");
    ASSERT_GE(noName, 0);
    devices.GetFilterEntry(noName, entry);
    EXPECT_EQ(entry.FriendlyName[0], 0);
    EXPECT_TRUE(IsEqualGUID(entry.CLSID, mediafixture::CLSID_FourLineCapture));
}

TEST_F(SysDevEnumTest, PositionsOfListAndMonikersAgreePastASkippedDevice) {
    TSysDevEnum devices(CategoryOddDevices);
    ASSERT_EQ(devices.CountFilters(), 5);
    for (int i = 0; i < devices.CountFilters(); ++i) {
        TSysDevEntry entry;
        devices.GetFilterEntry(i, entry);
        ComPtr<IMoniker> moniker = devices.GetMoniker(i);
        ASSERT_TRUE(moniker) << i;
        const std::string bagName = Ansi(BagName(moniker.Get()));
        EXPECT_EQ(bagName.substr(0, 255), entry.FriendlyNameAnsi()) << i;
    }
}

TEST_F(SysDevEnumTest, IndexesOutsideTheList) {
    TSysDevEnum devices(CategoryOddDevices);
    EXPECT_FALSE(devices.GetMoniker(-1));
    EXPECT_FALSE(devices.GetMoniker(devices.CountFilters()));
    EXPECT_FALSE(devices.GetBaseFilter(-1));
    EXPECT_FALSE(devices.GetBaseFilter(devices.CountFilters()));
    TSysDevEntry entry;
    EXPECT_THROW(devices.GetFilterEntry(-1, entry), EListError);
    EXPECT_THROW(devices.GetFilterEntry(devices.CountFilters(), entry), EListError);
}

TEST_F(SysDevEnumTest, EveryFilterIsANewBinding) {
    TSysDevEnum inputs(CLSID_AudioInputDeviceCategory);
    const int capture = Find(inputs, Ansi(mediafixture::CaptureDeviceName));
    ASSERT_GE(capture, 0);
    ComPtr<IBaseFilter> first = inputs.GetBaseFilter(capture);
    ComPtr<IBaseFilter> second = inputs.GetBaseFilter(capture);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.Get(), second.Get());
    CLSID id{};
    ComPtr<IPersist> persist;
    ASSERT_EQ(first.As(persist), S_OK);
    persist->GetClassID(&id);
    EXPECT_TRUE(IsEqualGUID(id, mediafixture::CLSID_FourLineCapture));
}

TEST_F(SysDevEnumTest, SelectCategoryRebuildsTheList) {
    TSysDevEnum devices(CategoryOddDevices);
    ASSERT_GT(devices.CountFilters(), 0);
    devices.SelectCategory(CategoryEmpty);
    EXPECT_EQ(devices.CountFilters(), 0);
    EXPECT_FALSE(devices.GetMoniker(0));
    EXPECT_TRUE(IsEqualGUID(devices.Category(), CategoryEmpty));
    devices.SelectCategory(CategoryOddDevices);
    EXPECT_EQ(devices.CountFilters(), 5);
}

}  // namespace
