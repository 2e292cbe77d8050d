// The compressor catalogue over the fixture compressors (one with a
// configuration dialog, one that refuses the query, one without the dialogs
// interface), with monikers that can be saved, and over the platform's own
// device enumerator, whose monikers cannot be saved here.
#include "media/compressor_manager.h"
#include "media/known_interfaces.h"
#include "tests/fixtures/media/media_fixture_registration.h"
#include "tests/fixtures/media/saveable_device_enum.h"
#include "tests/media/device_test_support.h"
#include "tests/media/graph_component_support.h"

#include "classlib/runtime/exceptions.h"

#include <gtest/gtest.h>

#include <dmodshow.h>

#include <set>

namespace {

using graphcomponenttest::ClassOf;

class CompressorManagerTest : public devicetest::FixtureTest {};

TEST(KnownInterfacesTest, TheTableHasItsFixedRows) {
    ASSERT_EQ(KnownInterfaceCount, 383u);
    EXPECT_STREQ(KnownInterfaces[0].Name, L"IPin");
    EXPECT_TRUE(IsEqualGUID(*KnownInterfaces[0].Iid, IID_IPin));
    EXPECT_STREQ(KnownInterfaces[43].Name, L"IAMVfwCompressDialogs");
    const GUID dialogs{0xD8D715A3, 0x6E5E, 0x11D0, {0xB3, 0xF0, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
    EXPECT_TRUE(IsEqualGUID(*KnownInterfaces[43].Iid, dialogs));
    EXPECT_STREQ(KnownInterfaces[273].Name, L"IDMOWrapperFilter");
    const GUID wrapper{0x52D6F586, 0x9F0F, 0x4824, {0x8F, 0xC8, 0xE3, 0x2C, 0xA0, 0x49, 0x30, 0xC2}};
    EXPECT_TRUE(IsEqualGUID(*KnownInterfaces[273].Iid, wrapper));
    EXPECT_STREQ(KnownInterfaces[382].Name, L"IStorage");
    EXPECT_TRUE(IsEqualGUID(*KnownInterfaces[382].Iid, IID_IStorage));
    std::set<std::wstring> names;
    for (const auto& row : KnownInterfaces) {
        EXPECT_TRUE(names.insert(row.Name).second) << "twice: " << testing::PrintToString(std::wstring(row.Name));
        EXPECT_FALSE(IsEqualGUID(*row.Iid, GUID_NULL));
    }
}

TEST_F(CompressorManagerTest, ListsExactlyTheCompressorWithAConfigurationDialog) {
    mediafixture::TSaveableDeviceEnumRegistration saveable;
    ASSERT_EQ(saveable.Result(), S_OK);
    TMvCompressorManager catalogue;
    ASSERT_EQ(catalogue.Count(), 1);
    std::wstring name;
    catalogue.GetName(0, name);
    EXPECT_EQ(name, mediafixture::ConfigCompressorName);
    TSysDevEntry entry;
    catalogue.VideoEnum->GetFilterEntry(catalogue.VideoCompressors[0].Id, entry);
    EXPECT_EQ(entry.FriendlyNameText(), mediafixture::ConfigCompressorName);

    // Building asked the dialog only whether it exists.
    ComPtr<IBaseFilter> first, second;
    catalogue.GetFilter(0, first);
    catalogue.GetFilter(0, second);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_TRUE(IsEqualGUID(ClassOf(first.Get()), mediafixture::CLSID_ConfigCompressor));
    ComPtr<mediafixture::IFixtureDialogLog> log;
    ASSERT_EQ(first->QueryInterface(mediafixture::IID_IFixtureDialogLog, log.PutVoid()), S_OK);
    LONG calls = -1;
    HWND parent = nullptr;
    log->GetConfigDialogCalls(&calls, &parent);
    EXPECT_EQ(calls, 0);

    EXPECT_THROW(catalogue.GetName(1, name), EListError);
    EXPECT_THROW(catalogue.GetFilter(-1, first), EListError);
    EXPECT_TRUE(first);  // left as it was
}

TEST_F(CompressorManagerTest, APositionThatNoLongerExistsGivesNoFilter) {
    mediafixture::TSaveableDeviceEnumRegistration saveable;
    ASSERT_EQ(saveable.Result(), S_OK);
    TMvCompressorManager catalogue;
    ASSERT_EQ(catalogue.Count(), 1);
    catalogue.VideoCompressors[0].Id = catalogue.VideoEnum->CountFilters();
    ComPtr<IBaseFilter> filter;
    catalogue.GetFilter(0, filter);
    EXPECT_FALSE(filter);
}

TEST_F(CompressorManagerTest, TheAudioListHoldsNoDmoWrapper) {
    mediafixture::TSaveableDeviceEnumRegistration saveable;
    ASSERT_EQ(saveable.Result(), S_OK);
    TMvCompressorManager catalogue;
    for (const auto& entry : catalogue.AudioCompressors) {
        EXPECT_FALSE(catalogue.IsDmoWrapper(entry.Id));
        ComPtr<IBaseFilter> filter = catalogue.AudioEnum->GetBaseFilter(entry.Id);
        ASSERT_TRUE(filter);
        ComPtr<IUnknown> wrapper;
        EXPECT_TRUE(FAILED(filter->QueryInterface(IID_IDMOWrapperFilter, wrapper.PutVoid())));
    }
    for (int i = 0; i < catalogue.AudioEnum->CountFilters(); ++i) {
        bool listed = false;
        for (const auto& entry : catalogue.AudioCompressors) listed = listed || entry.Id == i;
        ComPtr<IBaseFilter> filter = catalogue.AudioEnum->GetBaseFilter(i);
        ComPtr<IUnknown> wrapper;
        if (listed || !filter) continue;
        // A device left out is a DMO wrapper.
        EXPECT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IDMOWrapperFilter, wrapper.PutVoid())));
    }
}

TEST_F(CompressorManagerTest, ThePlatformsUnsaveableMonikersListNothing) {
    TMvCompressorManager catalogue;
    EXPECT_EQ(catalogue.Count(), 0);
    EXPECT_GT(catalogue.VideoEnum->CountFilters(), 0);
}

}  // namespace
