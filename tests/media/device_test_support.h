// Devices of a test category of our own, written where the filter mapper
// keeps software devices (HKCR\CLSID\{category}\Instance\...), with the
// odd values the device list must cope with.
#pragma once

#include "shared/com_ptr.h"
#include "shared/owner.h"
#include "tests/fixtures/media/media_fixture_registration.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

namespace devicetest {

// {A7C3E1F0-5B1D-4E5A-9C11-6D0E7A1B2C30}
inline constexpr GUID CategoryOddDevices{0xA7C3E1F0, 0x5B1D, 0x4E5A, {0x9C, 0x11, 0x6D, 0x0E, 0x7A, 0x1B, 0x2C, 0x30}};
// A category nothing is registered in. {A7C3E1F0-5B1D-4E5A-9C11-6D0E7A1B2C31}
inline constexpr GUID CategoryEmpty{0xA7C3E1F0, 0x5B1D, 0x4E5A, {0x9C, 0x11, 0x6D, 0x0E, 0x7A, 0x1B, 0x2C, 0x31}};

// A friendly name of more than 255 bytes in any ANSI code page; in code
// page 932 the 255th byte is the first half of a double-byte character.
inline std::wstring LongName() {
    std::wstring name(254, L'a');
    for (int i = 0; i < 30; ++i) name += L"\u65E5";  // 日
    return name;
}

struct OddDevice {
    const wchar_t* Key;
    std::wstring FriendlyName;  // empty: no value
    std::wstring Clsid;         // empty: no value
};

inline std::vector<OddDevice> OddDevices() {
    const std::wstring capture = mediafixture::GuidText(mediafixture::CLSID_FourLineCapture);
    return {
        {L"Plain", L"Odd Plain Device", capture},
        {L"Long", LongName(), capture},
        {L"NoClsid", L"Odd Device Without Class", L""},
        {L"NoName", L"", capture},
        {L"BadClsid", L"Odd Device With Bad Class", L"{not a class identifier}"},
        {L"Second", L"Odd Second Device", capture},
    };
}

inline void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Writes the devices once for the whole prefix (the last value written
// marks them complete, with the version of this list), under a mutex.
inline constexpr DWORD OddDevicesVersion = 2;
inline void EnsureOddDevices() {
    const TKernelHandle mutex(CreateMutexW(nullptr, FALSE, L"Tavrel media odd devices"));
    if (mutex) WaitForSingleObject(mutex.Get(), 60000);
    const std::wstring categoryKey = L"CLSID\\" + mediafixture::GuidText(CategoryOddDevices);
    DWORD complete = 0;
    DWORD size = sizeof complete;
    if (RegGetValueW(HKEY_CLASSES_ROOT, categoryKey.c_str(), L"Complete", RRF_RT_REG_DWORD, nullptr, &complete,
                     &size) != ERROR_SUCCESS ||
        complete != OddDevicesVersion) {
        for (const OddDevice& device : OddDevices()) {
            HKEY key = nullptr;
            const std::wstring path = categoryKey + L"\\Instance\\" + device.Key;
            if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
                ERROR_SUCCESS)
                continue;
            if (!device.FriendlyName.empty()) SetString(key, L"FriendlyName", device.FriendlyName);
            if (!device.Clsid.empty()) SetString(key, L"CLSID", device.Clsid);
            RegCloseKey(key);
        }
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, categoryKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            complete = OddDevicesVersion;
            RegSetValueExW(key, L"Complete", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&complete), sizeof complete);
            RegCloseKey(key);
        }
    }
    if (mutex) ReleaseMutex(mutex.Get());
}

// The ANSI bytes of a text in the system's code page.
inline std::string Ansi(const std::wstring& text) {
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

// The "FriendlyName" of a moniker's property bag, or empty.
inline std::wstring BagName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    if (!moniker || FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) return {};
    VARIANT value;
    VariantInit(&value);
    std::wstring name;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) name = value.bstrVal;
    VariantClear(&value);
    return name;
}

// Tests on the media fixtures: the library registered for the suite, COM
// for each test, and the fixture filters created by class.
class FixtureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TComApartment com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
    }
    static ComPtr<IBaseFilter> Create(const CLSID& id) {
        ComPtr<IBaseFilter> filter;
        CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
        return filter;
    }
    TComApartment FCom;
};

}  // namespace devicetest
