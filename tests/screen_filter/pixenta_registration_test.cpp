// regsvr32 on Pixenta.dll: the class keys, the filter mapper's entry in the
// video input device category, removal, and repeated or needless calls.
#include "shared/owner.h"
#include "tests/screen_filter/pixenta_test_support.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <uuids.h>

using namespace pixentatest;

// The filter mapper's parser of registered filter data (documented, but not
// declared by the MinGW headers).
struct IAMFilterData : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParseFilterData(BYTE* data, ULONG size, BYTE** filter) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFilterData(REGFILTER2* filter, BYTE** data, ULONG* size) = 0;
};
constexpr IID IID_IAMFilterData{0x97F7C4D4, 0x547B, 0x4A5F, {0x83, 0x32, 0x53, 0x64, 0x30, 0xAD, 0x2E, 0x4D}};

namespace {

template <class F>
F Export(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::wstring ClassKey() {
    wchar_t text[40] = {};
    StringFromGUID2(CLSID_ScreenCaptureSource, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

// The value as a string, or "<missing>".
std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

bool KeyExists(const std::wstring& key) {
    TRegKey handle;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

struct MapperEntry {
    std::wstring FriendlyName;
    std::vector<BYTE> FilterData;
};

// The entries of the video input device category that name our class.
std::vector<MapperEntry> MapperEntries() {
    std::vector<MapperEntry> found;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.PutVoid())))
        return found;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK) return found;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        VARIANT value;
        VariantInit(&value);
        if (FAILED(bag->Read(L"CLSID", &value, nullptr))) continue;
        CLSID classId{};
        const bool ours = value.vt == VT_BSTR && SUCCEEDED(CLSIDFromString(value.bstrVal, &classId)) &&
                          classId == CLSID_ScreenCaptureSource;
        VariantClear(&value);
        if (!ours) continue;
        MapperEntry entry;
        if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR)
            entry.FriendlyName = value.bstrVal;
        VariantClear(&value);
        if (SUCCEEDED(bag->Read(L"FilterData", &value, nullptr)) && value.vt == (VT_ARRAY | VT_UI1)) {
            void* data = nullptr;
            SafeArrayAccessData(value.parray, &data);
            const ULONG size = value.parray->rgsabound[0].cElements;
            entry.FilterData.assign(static_cast<BYTE*>(data), static_cast<BYTE*>(data) + size);
            SafeArrayUnaccessData(value.parray);
        }
        VariantClear(&value);
        found.push_back(std::move(entry));
    }
    return found;
}

struct PixentaRegistration : ::testing::Test {
    graphtest::ComScope Com;
    void TearDown() override { RegisterLibrary(); }  // the other tests create the filter
};

}  // namespace

TEST_F(PixentaRegistration, RegisterWritesClassKeysAndMapperEntry) {
    ASSERT_EQ(RegisterLibrary(), 0);
    EXPECT_EQ(ReadString(ClassKey(), nullptr), L"Pixenta");
    EXPECT_EQ(lstrcmpiW(ReadString(ClassKey() + L"\\InprocServer32", nullptr).c_str(), LibraryPath().c_str()), 0);
    EXPECT_EQ(ReadString(ClassKey() + L"\\InprocServer32", L"ThreadingModel"), L"Both");

    const auto entries = MapperEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].FriendlyName, L"Pixenta");

    // What the mapper recorded: merit, one output pin with one media type.
    ComPtr<IAMFilterData> parser;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IAMFilterData, parser.PutVoid()),
              S_OK);
    std::vector<BYTE> data = entries[0].FilterData;
    ASSERT_FALSE(data.empty());
    TTaskMem<BYTE> parsed;
    ASSERT_EQ(parser->ParseFilterData(data.data(), static_cast<ULONG>(data.size()), parsed.Put()), S_OK);
    const auto* filter = *reinterpret_cast<REGFILTER2**>(parsed.Get());
    EXPECT_EQ(filter->dwMerit, static_cast<DWORD>(MERIT_DO_NOT_USE));
    ASSERT_EQ(filter->cPins2, 1u);
    const REGFILTERPINS2& pin = filter->rgPins2[0];
    EXPECT_TRUE(pin.dwFlags & REG_PINFLAG_B_OUTPUT);
    EXPECT_FALSE(pin.dwFlags & (REG_PINFLAG_B_ZERO | REG_PINFLAG_B_MANY | REG_PINFLAG_B_RENDERER));
    ASSERT_EQ(pin.nMediaTypes, 1u);
    EXPECT_EQ(*pin.lpMediaType[0].clsMajorType, MEDIATYPE_Video);
    EXPECT_EQ(*pin.lpMediaType[0].clsMinorType, MEDIASUBTYPE_RGB24);

    // The live pin's name differs from the registered one.
    ComPtr<IBaseFilter> created = CreateFilter();
    ASSERT_TRUE(created);
    ComPtr<IPin> out;
    EXPECT_EQ(created->FindPin(L"Out", out.Put()), S_OK);
}

TEST_F(PixentaRegistration, RegisteringTwiceKeepsOneEntry) {
    ASSERT_EQ(RegisterLibrary(), 0);
    ASSERT_EQ(RegisterLibrary(), 0);
    EXPECT_EQ(MapperEntries().size(), 1u);
    EXPECT_EQ(ReadString(ClassKey(), nullptr), L"Pixenta");
}

TEST_F(PixentaRegistration, UnregisterRemovesKeysAndEntryAndMayRepeat) {
    ASSERT_EQ(RegisterLibrary(), 0);
    ASSERT_EQ(UnregisterLibrary(), 0);
    EXPECT_FALSE(KeyExists(ClassKey()));
    EXPECT_TRUE(MapperEntries().empty());
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(
        CoCreateInstance(CLSID_ScreenCaptureSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid()),
        REGDB_E_CLASSNOTREG);
    // Unregistering a library that is not registered is harmless.
    EXPECT_EQ(UnregisterLibrary(), 0);
    EXPECT_FALSE(KeyExists(ClassKey()));
}

TEST_F(PixentaRegistration, ExportsAnswerLikeAComServer) {
    // Declared first, so the library is freed after the objects it made.
    const TModuleHandle library(LoadLibraryW(LibraryPath().c_str()));
    ASSERT_TRUE(library);
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(WINAPI*)();
    auto getClassObject = Export<GetClassObject>(library.Get(), "DllGetClassObject");
    auto canUnload = Export<CanUnload>(library.Get(), "DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnload, nullptr);
    EXPECT_NE(GetProcAddress(library.Get(), "DllRegisterServer"), nullptr);
    EXPECT_NE(GetProcAddress(library.Get(), "DllUnregisterServer"), nullptr);

    void* object = nullptr;
    EXPECT_EQ(getClassObject(CLSID_LoopbackAudioSource, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_ScreenCaptureSource, IID_IClassFactory, factory.PutVoid()), S_OK);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE);
    filter = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
}
