// The Core Audio capture endpoint behind an audio capture device, found from
// what the device's property bag names, and the state of its input line,
// kept per endpoint in the user's registry as a sound driver keeps it, so
// that every binding of the device sees the same state.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include <string>

struct TCaptureEndpoint {
    std::wstring Id;    // the endpoint's id string
    std::wstring Name;  // its friendly name
};

// The capture endpoint of the wave-in device with that number (its function
// instance id); failing that, the active capture endpoint whose friendly name
// is `friendlyName` (or begins with it: wave-in names are cut at 31
// characters). E_INVALIDARG when neither is given, VFW_E_NO_CAPTURE_HARDWARE
// when no endpoint matches.
HRESULT FindCaptureEndpoint(LONG waveInId, const std::wstring& friendlyName, TCaptureEndpoint* endpoint);
// The default capture endpoint.
HRESULT DefaultCaptureEndpoint(TCaptureEndpoint* endpoint);
// Opens the endpoint by its id.
HRESULT OpenCaptureEndpoint(const std::wstring& id, IMMDevice** device);

// The registry key (under HKEY_CURRENT_USER) that keeps the lines' states.
extern const wchar_t* const InputLineStateKey;
// Whether the endpoint's input line is enabled: true unless set otherwise.
bool ReadInputLineEnabled(const std::wstring& endpointId);
HRESULT WriteInputLineEnabled(const std::wstring& endpointId, bool enabled);
