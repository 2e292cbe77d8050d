#include "wine_platform/audio_endpoint.h"

#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <dshow.h>
#include <mmsystem.h>

#include <vector>

namespace {

// The device's friendly name (PKEY_Device_FriendlyName).
const PROPERTYKEY DeviceFriendlyName{{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}},
                                     14};

// Asks a wave device for the id of the endpoint that stands behind it.
constexpr UINT QueryFunctionInstanceId = DRV_RESERVED + 17;
constexpr UINT QueryFunctionInstanceIdSize = DRV_RESERVED + 18;

HRESULT CreateEnumerator(IMMDeviceEnumerator** enumerator) {
    return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(enumerator));
}

std::wstring FriendlyNameOf(IMMDevice* device) {
    ComPtr<IPropertyStore> store;
    if (FAILED(device->OpenPropertyStore(STGM_READ, store.Put())) || !store) return {};
    PROPVARIANT value;
    PropVariantInit(&value);
    std::wstring name;
    if (SUCCEEDED(store->GetValue(DeviceFriendlyName, &value)) && value.vt == VT_LPWSTR && value.pwszVal != nullptr)
        name = value.pwszVal;
    PropVariantClear(&value);
    return name;
}

HRESULT Describe(IMMDevice* device, TCaptureEndpoint* endpoint) {
    LPWSTR id = nullptr;
    const HRESULT hr = device->GetId(&id);
    if (FAILED(hr) || id == nullptr) return FAILED(hr) ? hr : E_UNEXPECTED;
    TTaskMem<wchar_t> owned(id);
    endpoint->Id = id;
    endpoint->Name = FriendlyNameOf(device);
    return S_OK;
}

std::wstring EndpointIdOfWaveIn(LONG waveInId) {
    if (waveInId < 0 || static_cast<UINT>(waveInId) >= waveInGetNumDevs()) return {};
    const auto handle = reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(waveInId));
    ULONG size = 0;
    if (waveInMessage(handle, QueryFunctionInstanceIdSize, reinterpret_cast<DWORD_PTR>(&size), 0) != MMSYSERR_NOERROR ||
        size == 0 || size > 4096)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (waveInMessage(handle, QueryFunctionInstanceId, reinterpret_cast<DWORD_PTR>(text.data()), size) !=
        MMSYSERR_NOERROR)
        return {};
    return std::wstring(text.data());
}

}  // namespace

HRESULT FindCaptureEndpoint(LONG waveInId, const std::wstring& friendlyName, TCaptureEndpoint* endpoint) {
    if (endpoint == nullptr) return E_POINTER;
    if (waveInId < 0 && friendlyName.empty()) return E_INVALIDARG;
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CreateEnumerator(enumerator.Put());
    if (FAILED(hr)) return hr;

    const std::wstring waveId = EndpointIdOfWaveIn(waveInId);
    if (!waveId.empty()) {
        ComPtr<IMMDevice> device;
        if (SUCCEEDED(enumerator->GetDevice(waveId.c_str(), device.Put())) && device)
            return Describe(device.Get(), endpoint);
    }

    ComPtr<IMMDeviceCollection> devices;
    hr = enumerator->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, devices.Put());
    if (FAILED(hr)) return hr;
    UINT count = 0;
    devices->GetCount(&count);
    for (int pass = 0; pass < 2 && !friendlyName.empty(); ++pass) {
        for (UINT i = 0; i < count; ++i) {
            ComPtr<IMMDevice> device;
            if (FAILED(devices->Item(i, device.Put())) || !device) continue;
            const std::wstring name = FriendlyNameOf(device.Get());
            const bool match =
                pass == 0 ? name == friendlyName : name.compare(0, friendlyName.size(), friendlyName) == 0;
            if (match) return Describe(device.Get(), endpoint);
        }
    }
    return VFW_E_NO_CAPTURE_HARDWARE;
}

HRESULT DefaultCaptureEndpoint(TCaptureEndpoint* endpoint) {
    if (endpoint == nullptr) return E_POINTER;
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CreateEnumerator(enumerator.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMMDevice> device;
    hr = enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, device.Put());
    if (FAILED(hr) || !device) return VFW_E_NO_CAPTURE_HARDWARE;
    return Describe(device.Get(), endpoint);
}

HRESULT OpenCaptureEndpoint(const std::wstring& id, IMMDevice** device) {
    if (device == nullptr) return E_POINTER;
    *device = nullptr;
    if (id.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    ComPtr<IMMDeviceEnumerator> enumerator;
    const HRESULT hr = CreateEnumerator(enumerator.Put());
    if (FAILED(hr)) return hr;
    return enumerator->GetDevice(id.c_str(), device);
}

const wchar_t* const InputLineStateKey = L"Software\\Tavrel\\WinePlatform\\AudioInputLines";

bool ReadInputLineEnabled(const std::wstring& endpointId) {
    DWORD value = 1;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, InputLineStateKey, endpointId.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return true;
    return value != 0;
}

HRESULT WriteInputLineEnabled(const std::wstring& endpointId, bool enabled) {
    HKEY raw = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, InputLineStateKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    TRegKey key(raw);
    const DWORD value = enabled ? 1 : 0;
    status = RegSetValueExW(raw, endpointId.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    return HRESULT_FROM_WIN32(status);
}
