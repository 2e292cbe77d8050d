#include "baseclasses/enum.h"

#include "shared/media_type.h"

#include <new>

// ---- TBCEnumPins ----

TBCEnumPins::TBCEnumPins(TBCBaseFilter* filter) : FFilter(filter) {
    TBCAutoLock lock(filter->StateLock());
    const int count = filter->GetPinCount();
    for (int i = 0; i < count; ++i) {
        if (TBCBasePin* pin = filter->GetPin(i)) FPins.emplace_back(static_cast<IPin*>(pin));
    }
}

TBCEnumPins::TBCEnumPins(const TBCEnumPins& other)
    : IEnumPins(), FFilter(other.FFilter), FPins(other.FPins), FPosition(other.FPosition) {}

HRESULT STDMETHODCALLTYPE TBCEnumPins::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumPins) {
        *object = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBCEnumPins::AddRef() { return ++FRefCount; }

ULONG STDMETHODCALLTYPE TBCEnumPins::Release() {
    const LONG count = --FRefCount;
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE TBCEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (pins == nullptr) return E_POINTER;
    if (fetched == nullptr && count != 1) return E_INVALIDARG;
    ULONG done = 0;
    while (done < count && FPosition < FPins.size()) {
        FPins[FPosition++].CopyTo(&pins[done]);
        ++done;
    }
    if (fetched != nullptr) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TBCEnumPins::Skip(ULONG count) {
    const size_t left = FPins.size() - FPosition;
    if (count > left) {
        FPosition = FPins.size();
        return S_FALSE;
    }
    FPosition += count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCEnumPins::Reset() {
    FPosition = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCEnumPins::Clone(IEnumPins** clone) {
    if (clone == nullptr) return E_POINTER;
    *clone = new (std::nothrow) TBCEnumPins(*this);
    return *clone ? S_OK : E_OUTOFMEMORY;
}

// ---- TBCEnumMediaTypes ----

TBCEnumMediaTypes::TBCEnumMediaTypes(TBCBasePin* pin, ULONG position)
    : FPin(pin), FPinRef(static_cast<IPin*>(pin)), FPosition(position) {}

HRESULT STDMETHODCALLTYPE TBCEnumMediaTypes::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
        *object = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBCEnumMediaTypes::AddRef() { return ++FRefCount; }

ULONG STDMETHODCALLTYPE TBCEnumMediaTypes::Release() {
    const LONG count = --FRefCount;
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE TBCEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (types == nullptr) return E_POINTER;
    if (fetched == nullptr && count != 1) return E_INVALIDARG;
    ULONG done = 0;
    while (done < count) {
        AM_MEDIA_TYPE type{};
        const HRESULT hr = FPin->GetMediaType(static_cast<int>(FPosition), &type);
        if (hr != S_OK) {
            FreeMediaType(type);
            break;
        }
        ++FPosition;
        AM_MEDIA_TYPE* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (copy == nullptr) {
            FreeMediaType(type);
            break;
        }
        // The record takes over the format block and reference of type.
        *copy = type;
        types[done++] = copy;
    }
    if (fetched != nullptr) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TBCEnumMediaTypes::Skip(ULONG count) {
    while (count > 0) {
        AM_MEDIA_TYPE type{};
        const HRESULT hr = FPin->GetMediaType(static_cast<int>(FPosition), &type);
        FreeMediaType(type);
        if (hr != S_OK) return S_FALSE;
        ++FPosition;
        --count;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCEnumMediaTypes::Reset() {
    FPosition = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
    if (clone == nullptr) return E_POINTER;
    *clone = new (std::nothrow) TBCEnumMediaTypes(FPin, FPosition);
    return *clone ? S_OK : E_OUTOFMEMORY;
}
