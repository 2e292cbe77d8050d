#include "baseclasses/input_pin.h"

#include "baseclasses/filter.h"

TBCBaseInputPin::TBCBaseInputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                                 const wchar_t* pinName)
    : TBCBasePin(objectName, filter, lock, pinName, PINDIR_INPUT) {}

TBCBaseInputPin::~TBCBaseInputPin() = default;

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), object);
    return TBCBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr) return E_POINTER;
    *allocator = nullptr;
    TBCAutoLock lock(FLock);
    if (!FAllocator) {
        const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                            FAllocator.PutVoid());
        if (FAILED(hr)) return hr;
    }
    return FAllocator.CopyTo(allocator);
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (allocator == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    FAllocator = ComPtr<IMemAllocator>(allocator);
    FReadOnly = readOnly != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (FFlushing || FEndOfStream) return S_FALSE;
    if (FAILED(FStreamError)) return FStreamError;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (samples == nullptr || processed == nullptr) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::EndOfStream() {
    if (FFlushing) return S_FALSE;
    FEndOfStream = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::BeginFlush() {
    FFlushing = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseInputPin::EndFlush() {
    FFlushing = false;
    FEndOfStream = false;
    return S_OK;
}

HRESULT TBCBaseInputPin::BreakConnect() {
    if (FAllocator) {
        FAllocator->Decommit();
        FAllocator = nullptr;
    }
    return S_OK;
}

HRESULT TBCBaseInputPin::Active() {
    FEndOfStream = false;
    FFlushing = false;
    FStreamError = S_OK;
    return S_OK;
}

HRESULT TBCBaseInputPin::Inactive() {
    if (FAllocator) FAllocator->Decommit();
    return S_OK;
}
