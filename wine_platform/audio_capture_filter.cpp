#include "wine_platform/audio_capture_filter.h"

#include "wine_platform/audio_capture_pin.h"
#include "wine_platform/audio_input_line.h"
#include "shared/variant.h"

#include <uuids.h>

#include <new>

TBCUnknown* TAudioCaptureFilter::CreateFromFactory(TBCClassFactory*, IUnknown* outer) {
    try {
        HRESULT hr = S_OK;
        auto filter = std::make_unique<TAudioCaptureFilter>(outer, &hr);
        if (FAILED(hr)) return nullptr;
        return filter.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

TAudioCaptureFilter::TAudioCaptureFilter(IUnknown* outer, HRESULT* hr)
    : TBCSource(L"Audio capture", outer, CLSID_AudioRecord) {
    FOutput = new TAudioCapturePin(hr, this);
    FLine = std::make_unique<TAudioInputLinePin>(hr, this, &FStateLock);
    if (SUCCEEDED(DefaultCaptureEndpoint(&FEndpoint))) FLine->Bind(FEndpoint.Id, FEndpoint.Name);
}

TAudioCaptureFilter::~TAudioCaptureFilter() = default;

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag*>(this), object);
    return TBCSource::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::GetClassID(CLSID* classId) { return TBCSource::GetClassID(classId); }

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::GetState(DWORD timeoutMs, FILTER_STATE* state) {
    const HRESULT hr = TBCSource::GetState(timeoutMs, state);
    if (hr == S_OK && *state == State_Paused) return VFW_S_CANT_CUE;
    return hr;
}

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::Pause() {
    TBCAutoLock lock(FLock);
    if (FState == State_Running && FOutput) FOutput->Paused();
    return TBCSource::Pause();
}

int TAudioCaptureFilter::GetPinCount() { return 2; }

TBCBasePin* TAudioCaptureFilter::GetPin(int index) {
    if (index == 0) return FOutput;
    if (index == 1) return FLine.get();
    return nullptr;
}

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::InitNew() { return S_OK; }

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::Load(IPropertyBag* bag, IErrorLog* log) {
    if (bag == nullptr) return E_POINTER;
    LONG waveInId = -1;
    TVariant value;
    value->vt = VT_I4;
    if (SUCCEEDED(bag->Read(L"WaveInID", value.Get(), log)) && value->vt == VT_I4) waveInId = value->lVal;
    value.Reset();
    std::wstring name;
    value->vt = VT_BSTR;
    if (SUCCEEDED(bag->Read(L"FriendlyName", value.Get(), log)) && value.String())
        name.assign(value.String(), SysStringLen(value.String()));

    TCaptureEndpoint endpoint;
    const HRESULT hr = FindCaptureEndpoint(waveInId, name, &endpoint);
    if (FAILED(hr)) return hr;
    TBCAutoLock lock(FLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    FEndpoint = endpoint;
    FLine->Bind(endpoint.Id, endpoint.Name);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TAudioCaptureFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

TCaptureEndpoint TAudioCaptureFilter::Endpoint() const {
    TBCAutoLock lock(FLock);
    return FEndpoint;
}
