#include "baseclasses/filter.h"

#include "baseclasses/enum.h"
#include "baseclasses/pin.h"
#include "shared/com_guard.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <utility>

TBCBaseFilter::TBCBaseFilter(const wchar_t* objectName, IUnknown* outer, TBCCritSec* lock, REFCLSID classId)
    : TBCUnknown(objectName, outer), FLock(lock), FClassId(classId) {}

TBCBaseFilter::~TBCBaseFilter() = default;

HRESULT STDMETHODCALLTYPE TBCBaseFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), object);
    return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::GetClassID(CLSID* classId) {
    if (classId == nullptr) return E_POINTER;
    *classId = FClassId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::Stop() {
    TBCAutoLock lock(FLock);
    HRESULT result = S_OK;
    if (FState != State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            TBCBasePin* pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            const HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    FState = State_Stopped;
    return result;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::Pause() {
    TBCAutoLock lock(FLock);
    if (FState == State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            TBCBasePin* pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            const HRESULT hr = pin->Active();
            if (FAILED(hr)) return hr;
        }
    }
    FState = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::Run(REFERENCE_TIME start) {
    TBCAutoLock lock(FLock);
    FStart = start;
    if (FState == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (FState != State_Running) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            TBCBasePin* pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            const HRESULT hr = pin->Run(start);
            if (FAILED(hr)) return hr;
        }
    }
    FState = State_Running;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = FState;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::SetSyncSource(IReferenceClock* clock) {
    TBCAutoLock lock(FLock);
    FClock = ComPtr<IReferenceClock>(clock);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    return FClock.CopyTo(clock);
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::EnumPins(IEnumPins** pins) {
    if (pins == nullptr) return E_POINTER;
    *pins = new (std::nothrow) TBCEnumPins(this);
    return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = nullptr;
    if (id == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
        TBCBasePin* candidate = GetPin(i);
        if (candidate != nullptr && candidate->Name() == id) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    const size_t length = std::min<size_t>(FName.size(), MAX_FILTER_NAME - 1);
    std::wmemcpy(info->achName, FName.c_str(), length);
    info->achName[length] = L'\0';
    info->pGraph = FGraph;
    if (FGraph != nullptr) FGraph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    return ComGuard(E_UNEXPECTED, [&]() -> HRESULT {
        // The name first: it is the step that can fail, and a failure then
        // leaves the filter as it was.
        std::wstring joinedName = name != nullptr ? name : L"";
        TBCAutoLock lock(FLock);
        FGraph = graph;
        FSink = nullptr;
        if (graph != nullptr) {
            ComPtr<IMediaEventSink> sink;
            // Held without a reference, as the graph itself is.
            if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, sink.PutVoid()))) FSink = sink.Get();
        }
        FName = std::move(joinedName);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TBCBaseFilter::QueryVendorInfo(LPWSTR* info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT TBCBaseFilter::NotifyEvent(long eventCode, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = FSink;
    if (sink == nullptr) return E_NOTIMPL;
    return sink->Notify(eventCode, param1, param2);
}
