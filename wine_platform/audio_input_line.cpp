#include "wine_platform/audio_input_line.h"

#include "wine_platform/audio_endpoint.h"

TAudioInputLinePin::TAudioInputLinePin(HRESULT*, TBCBaseFilter* filter, TBCCritSec* lock)
    : TBCAudioInputLinePin(L"Audio input line", filter, lock, L"") {}

void TAudioInputLinePin::Bind(const std::wstring& endpointId, const std::wstring& name) {
    TBCAutoLock lock(FLock);
    FEndpointId = endpointId;
    FPinName = name;
}

std::wstring TAudioInputLinePin::EndpointId() const {
    TBCAutoLock lock(FLock);
    return FEndpointId;
}

HRESULT TAudioInputLinePin::WriteEnabled(WINBOOL enable) {
    const std::wstring id = EndpointId();
    if (id.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    return WriteInputLineEnabled(id, enable != FALSE);
}

HRESULT TAudioInputLinePin::ReadEnabled(bool& enabled) {
    const std::wstring id = EndpointId();
    if (id.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    enabled = ReadInputLineEnabled(id);
    return S_OK;
}
