// The base filter: IBaseFilter, IMediaFilter and IPersist over a list of pins
// that the derived class keeps, with the filter's state lock.
#pragma once

#include "baseclasses/critsec.h"
#include "baseclasses/unknown.h"
#include "shared/com_ptr.h"

#include <dshow.h>

#include <string>

class TBCBasePin;

class TBCBaseFilter : public TBCUnknown, public IBaseFilter {
public:
    // lock: the filter's state lock, held for state changes and connection.
    // It must outlive the filter.
    TBCBaseFilter(const wchar_t* objectName, IUnknown* outer, TBCCritSec* lock, REFCLSID classId);
    ~TBCBaseFilter() override;

    TBC_DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter, IPersist and IUnknown.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;

    // IMediaFilter. Leaving the stopped state activates every connected pin;
    // returning to it deactivates them.
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
    // Finds a pin by its name (its id).
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    // Keeps the graph without a reference (the graph holds the filter) and
    // its IMediaEventSink for NotifyEvent.
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

    // The pins, counted from 0. GetPin answers null outside the range.
    virtual int GetPinCount() = 0;
    virtual TBCBasePin* GetPin(int index) = 0;

    // Posts an event to the graph's event sink; E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(long eventCode, LONG_PTR param1, LONG_PTR param2);

    TBCCritSec* StateLock() const { return FLock; }
    FILTER_STATE State() const { return FState; }
    bool IsStopped() const { return FState == State_Stopped; }
    bool IsActive() const { return FState != State_Stopped; }
    IFilterGraph* Graph() const { return FGraph; }
    REFERENCE_TIME StartTime() const { return FStart; }

protected:
    TBCCritSec* FLock;
    FILTER_STATE FState = State_Stopped;
    REFERENCE_TIME FStart = 0;
    CLSID FClassId;
    ComPtr<IReferenceClock> FClock;
    // Not reference-counted: the graph owns the filter.
    IFilterGraph* FGraph = nullptr;
    IMediaEventSink* FSink = nullptr;
    std::wstring FName;
};
