#include "baseclasses/audio_input_line_pin.h"

TBCAudioInputLinePin::TBCAudioInputLinePin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                                           const wchar_t* pinName)
    : TBCBasePin(objectName, filter, lock, pinName, PINDIR_INPUT) {}

HRESULT STDMETHODCALLTYPE TBCAudioInputLinePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IAMAudioInputMixer) return GetInterface(static_cast<IAMAudioInputMixer*>(this), object);
    return TBCBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TBCAudioInputLinePin::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT TBCAudioInputLinePin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    return type == nullptr ? E_POINTER : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT STDMETHODCALLTYPE TBCAudioInputLinePin::put_Enable(WINBOOL enable) { return WriteEnabled(enable); }

HRESULT STDMETHODCALLTYPE TBCAudioInputLinePin::get_Enable(WINBOOL* enable) {
    if (enable == nullptr) return E_POINTER;
    bool enabled = false;
    const HRESULT hr = ReadEnabled(enabled);
    if (SUCCEEDED(hr)) *enable = enabled ? TRUE : FALSE;
    return hr;
}
