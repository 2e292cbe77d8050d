#include "wine_platform/audio_input_line.h"

#include "wine_platform/audio_endpoint.h"

TAudioInputLinePin::TAudioInputLinePin(HRESULT*, TBCBaseFilter* filter, TBCCritSec* lock)
    : TBCBasePin(L"Audio input line", filter, lock, L"", PINDIR_INPUT) {}

void TAudioInputLinePin::Bind(const std::wstring& endpointId, const std::wstring& name) {
    TBCAutoLock lock(FLock);
    FEndpointId = endpointId;
    FPinName = name;
}

std::wstring TAudioInputLinePin::EndpointId() const {
    TBCAutoLock lock(FLock);
    return FEndpointId;
}

HRESULT STDMETHODCALLTYPE TAudioInputLinePin::QueryInterface(REFIID iid, void** object) {
    return TBCBasePin::QueryInterface(iid, object);
}
ULONG STDMETHODCALLTYPE TAudioInputLinePin::AddRef() { return TBCBasePin::AddRef(); }
ULONG STDMETHODCALLTYPE TAudioInputLinePin::Release() { return TBCBasePin::Release(); }

HRESULT STDMETHODCALLTYPE TAudioInputLinePin::NonDelegatingQueryInterface(REFIID iid,
                                                                          void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IAMAudioInputMixer)
        return GetInterface(static_cast<IAMAudioInputMixer*>(this), object);
    return TBCBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TAudioInputLinePin::Connect(IPin*, const AM_MEDIA_TYPE*) {
    return E_UNEXPECTED;
}

HRESULT TAudioInputLinePin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    return type == nullptr ? E_POINTER : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT STDMETHODCALLTYPE TAudioInputLinePin::put_Enable(WINBOOL enable) {
    const std::wstring id = EndpointId();
    if (id.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    return WriteInputLineEnabled(id, enable != FALSE);
}

HRESULT STDMETHODCALLTYPE TAudioInputLinePin::get_Enable(WINBOOL* enable) {
    if (enable == nullptr) return E_POINTER;
    const std::wstring id = EndpointId();
    if (id.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    *enable = ReadInputLineEnabled(id) ? TRUE : FALSE;
    return S_OK;
}
