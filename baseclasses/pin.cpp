#include "baseclasses/pin.h"

#include "baseclasses/enum.h"
#include "baseclasses/filter.h"
#include "shared/media_type.h"

#include <cguid.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

bool IsPartial(const AM_MEDIA_TYPE* type) {
    return type->majortype == GUID_NULL || type->subtype == GUID_NULL || type->formattype == GUID_NULL;
}

// Whether a complete type fits the fields a partial type names.
bool MatchesPartial(const AM_MEDIA_TYPE* type, const AM_MEDIA_TYPE* partial) {
    if (partial->majortype != GUID_NULL && partial->majortype != type->majortype) return false;
    if (partial->subtype != GUID_NULL && partial->subtype != type->subtype) return false;
    if (partial->formattype != GUID_NULL) {
        if (partial->formattype != type->formattype) return false;
        if (partial->cbFormat != 0 && (partial->cbFormat != type->cbFormat ||
                                       std::memcmp(partial->pbFormat, type->pbFormat, type->cbFormat) != 0))
            return false;
    }
    return true;
}

}  // namespace

// ---- TBCBasePin ----

TBCBasePin::TBCBasePin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, const wchar_t* pinName,
                       PIN_DIRECTION direction)
    : TBCUnknown(objectName, nullptr),
      FFilter(filter),
      FLock(lock),
      FPinName(pinName ? pinName : L""),
      FDirection(direction) {}

TBCBasePin::~TBCBasePin() = default;

HRESULT STDMETHODCALLTYPE TBCBasePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IPin || iid == IID_IUnknown) return GetInterface(static_cast<IPin*>(this), object);
    if (iid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), object);
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBCBasePin::NonDelegatingAddRef() { return FFilter->AddRef(); }
ULONG STDMETHODCALLTYPE TBCBasePin::NonDelegatingRelease() { return FFilter->Release(); }

bool TBCBasePin::IsStopped() const { return FFilter->IsStopped(); }

HRESULT STDMETHODCALLTYPE TBCBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (receivePin == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    if (FConnected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return AgreeMediaType(receivePin, type);
}

HRESULT TBCBasePin::AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* partial) {
    if (partial != nullptr && !IsPartial(partial)) return AttemptConnection(receivePin, partial);

    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    // Our own types first, then the receiver's.
    for (int round = 0; round < 2; ++round) {
        ComPtr<IEnumMediaTypes> types;
        const HRESULT hr = round == 0 ? EnumMediaTypes(types.Put()) : receivePin->EnumMediaTypes(types.Put());
        if (FAILED(hr) || !types) continue;
        const HRESULT tried = TryMediaTypes(receivePin, partial, types.Get());
        if (SUCCEEDED(tried)) return S_OK;
        if (tried != VFW_E_NO_ACCEPTABLE_TYPES) failure = tried;
    }
    return failure;
}

HRESULT TBCBasePin::TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types) {
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (;;) {
        AM_MEDIA_TYPE* fetchedType = nullptr;
        ULONG fetched = 0;
        const HRESULT next = types->Next(1, &fetchedType, &fetched);
        const TMediaTypePtr type(fetchedType);
        if (next != S_OK || fetched != 1 || !type) return failure;
        if (partial == nullptr || MatchesPartial(type.get(), partial)) {
            const HRESULT hr = AttemptConnection(receivePin, type.get());
            if (SUCCEEDED(hr)) return hr;
            failure = hr;
        }
    }
}

HRESULT TBCBasePin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    HRESULT hr = CheckConnect(receivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        return SUCCEEDED(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    }
    FConnected = ComPtr<IPin>(receivePin);
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
        hr = receivePin->ReceiveConnection(this, type);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(receivePin);
            if (SUCCEEDED(hr)) return S_OK;
            receivePin->Disconnect();
        }
    }
    BreakConnect();
    FConnected = nullptr;
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    if (FConnected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(connector);
    if (SUCCEEDED(hr)) {
        hr = CheckMediaType(type);
        if (hr == S_OK) {
            FConnected = ComPtr<IPin>(connector);
            hr = SetMediaType(type);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(connector);
                if (SUCCEEDED(hr)) return S_OK;
            }
            FConnected = nullptr;
        } else if (SUCCEEDED(hr)) {
            hr = VFW_E_TYPE_NOT_ACCEPTED;
        }
    }
    BreakConnect();
    return hr;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::Disconnect() {
    TBCAutoLock lock(FLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    if (!FConnected) return S_FALSE;
    const HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    FConnected = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    FConnected.CopyTo(pin);
    return FConnected ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    if (!FConnected) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    CopyMediaType(type, FMediaType.Get());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = FFilter;
    FFilter->AddRef();
    const size_t length = std::min<size_t>(FPinName.size(), MAX_PIN_NAME - 1);
    std::wmemcpy(info->achName, FPinName.c_str(), length);
    info->achName[length] = L'\0';
    info->dir = FDirection;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) return E_POINTER;
    *direction = FDirection;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    const size_t bytes = (FPinName.size() + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*id, FPinName.c_str(), bytes);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    return CheckMediaType(type) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (types == nullptr) return E_POINTER;
    *types = new (std::nothrow) TBCEnumMediaTypes(this);
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TBCBasePin::EndOfStream() { return S_OK; }
HRESULT STDMETHODCALLTYPE TBCBasePin::BeginFlush() { return S_OK; }
HRESULT STDMETHODCALLTYPE TBCBasePin::EndFlush() { return S_OK; }

HRESULT STDMETHODCALLTYPE TBCBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    FSegmentStart = start;
    FSegmentStop = stop;
    FSegmentRate = rate;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBasePin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TBCBasePin::SetSink(IQualityControl* sink) {
    FQualitySink = sink;
    return S_OK;
}

HRESULT TBCBasePin::SetMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    FMediaType.Assign(*type);
    return S_OK;
}

HRESULT TBCBasePin::GetMediaType(int position, AM_MEDIA_TYPE*) {
    return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT TBCBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION other;
    const HRESULT hr = pin->QueryDirection(&other);
    if (FAILED(hr)) return hr;
    return other == FDirection ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT TBCBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT TBCBasePin::BreakConnect() { return S_OK; }
HRESULT TBCBasePin::Active() { return S_OK; }
HRESULT TBCBasePin::Inactive() { return S_OK; }
HRESULT TBCBasePin::Run(REFERENCE_TIME) { return S_OK; }

// ---- TBCBaseOutputPin ----

TBCBaseOutputPin::TBCBaseOutputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                                   const wchar_t* pinName)
    : TBCBasePin(objectName, filter, lock, pinName, PINDIR_OUTPUT) {}

TBCBaseOutputPin::~TBCBaseOutputPin() = default;

HRESULT TBCBaseOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = TBCBasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    hr = pin->QueryInterface(IID_IMemInputPin, FInputPin.PutVoid());
    return FAILED(hr) ? VFW_E_NO_TRANSPORT : S_OK;
}

HRESULT TBCBaseOutputPin::CompleteConnect(IPin*) {
    if (!FInputPin) return VFW_E_NO_TRANSPORT;
    return DecideAllocator(FInputPin.Get(), FAllocator.Put());
}

HRESULT TBCBaseOutputPin::BreakConnect() {
    if (FAllocator) {
        FAllocator->Decommit();
        FAllocator = nullptr;
    }
    FInputPin = nullptr;
    return S_OK;
}

HRESULT TBCBaseOutputPin::Active() {
    if (!FAllocator) return VFW_E_NO_ALLOCATOR;
    return FAllocator->Commit();
}

HRESULT TBCBaseOutputPin::Inactive() {
    if (!FAllocator) return VFW_E_NO_ALLOCATOR;
    return FAllocator->Decommit();
}

HRESULT STDMETHODCALLTYPE TBCBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE TBCBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE TBCBaseOutputPin::EndFlush() { return E_UNEXPECTED; }

HRESULT TBCBaseOutputPin::DecideAllocator(IMemInputPin* input, IMemAllocator** allocator) {
    if (input == nullptr || allocator == nullptr) return E_POINTER;
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES requested{};
    input->GetAllocatorRequirements(&requested);
    if (requested.cbAlign == 0) requested.cbAlign = 1;

    // Sizes a candidate allocator and offers it to the receiver; an agreed
    // one goes to the caller, a refused one is let go.
    auto agree = [&](ComPtr<IMemAllocator>& candidate, HRESULT obtained) {
        HRESULT hr = obtained;
        if (SUCCEEDED(hr) && !candidate) hr = E_FAIL;
        if (SUCCEEDED(hr)) {
            ALLOCATOR_PROPERTIES properties = requested;
            hr = DecideBufferSize(candidate.Get(), &properties);
        }
        if (SUCCEEDED(hr)) hr = input->NotifyAllocator(candidate.Get(), FALSE);
        if (FAILED(hr)) return hr;
        *allocator = candidate.Detach();
        return S_OK;
    };

    // The receiver's allocator first, then one of our own.
    ComPtr<IMemAllocator> offered;
    if (SUCCEEDED(agree(offered, input->GetAllocator(offered.Put())))) return S_OK;
    ComPtr<IMemAllocator> own;
    return agree(own, InitAllocator(own.Put()));
}

HRESULT TBCBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(allocator));
}

HRESULT TBCBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                            DWORD flags) {
    if (sample == nullptr) return E_POINTER;
    *sample = nullptr;
    if (!FAllocator) return VFW_E_NO_ALLOCATOR;
    return FAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT TBCBaseOutputPin::Deliver(IMediaSample* sample) {
    if (!FInputPin) return VFW_E_NOT_CONNECTED;
    return FInputPin->Receive(sample);
}

HRESULT TBCBaseOutputPin::DeliverEndOfStream() {
    if (!FConnected) return VFW_E_NOT_CONNECTED;
    return FConnected->EndOfStream();
}

HRESULT TBCBaseOutputPin::DeliverBeginFlush() {
    if (!FConnected) return VFW_E_NOT_CONNECTED;
    return FConnected->BeginFlush();
}

HRESULT TBCBaseOutputPin::DeliverEndFlush() {
    if (!FConnected) return VFW_E_NOT_CONNECTED;
    return FConnected->EndFlush();
}

HRESULT TBCBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (!FConnected) return VFW_E_NOT_CONNECTED;
    return FConnected->NewSegment(start, stop, rate);
}
