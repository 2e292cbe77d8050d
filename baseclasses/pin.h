// The base pin (IPin connection, media types, IQualityControl) and the base
// output pin (allocator negotiation through IMemInputPin and delivery).
#pragma once

#include "baseclasses/critsec.h"
#include "baseclasses/unknown.h"
#include "shared/com_ptr.h"
#include "shared/media_type.h"

#include <dshow.h>

#include <string>

class TBCBaseFilter;

// The three IUnknown methods of a pin class, and of a pin class that adds
// further interfaces to the ones of its base pin (each such interface
// brings IUnknown slots of its own, which must answer as the pin does): the
// pin's own identity, the filter's lifetime.
#define TBC_DECLARE_PIN_IUNKNOWN                                                   \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { \
        return NonDelegatingQueryInterface(iid, object);                           \
    }                                                                              \
    ULONG STDMETHODCALLTYPE AddRef() override { return NonDelegatingAddRef(); }    \
    ULONG STDMETHODCALLTYPE Release() override { return NonDelegatingRelease(); }

class TBCBasePin : public TBCUnknown, public IPin, public IQualityControl {
public:
    // lock: the filter's state lock. The pin's references are the filter's:
    // AddRef and Release go to the filter.
    TBCBasePin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, const wchar_t* pinName,
               PIN_DIRECTION direction);
    ~TBCBasePin() override;

    // The pin is its own COM identity; its lifetime is the filter's.
    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // IPin. Connect tries the given type when it is complete; otherwise the
    // pin's own types first, then the receiver's, each matching the partial
    // type given.
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    // The connection type stays as it was.
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IQualityControl. The base pin refuses quality messages (E_NOTIMPL).
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

    // Whether the pin accepts the type: S_OK, or a failure.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
    // Stores a deep copy as the connection type, freeing the previous one.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
    // The offered type at a position: S_OK, VFW_S_NO_MORE_ITEMS past the end,
    // E_INVALIDARG below 0. The base pin offers none.
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type);

    // Connection steps: checks on the other pin before a type is tried, the
    // last step after the receiver accepted, and the undoing of a connection.
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT BreakConnect();

    // Called by the filter when it leaves the stopped state, when it returns
    // to it, and when it runs.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);

    bool IsConnected() const { return static_cast<bool>(FConnected); }
    IPin* GetConnected() const { return FConnected.Get(); }
    bool IsStopped() const;
    const std::wstring& Name() const { return FPinName; }
    TBCBaseFilter* Filter() const { return FFilter; }
    // The connection type; empty before the first connection.
    const AM_MEDIA_TYPE& CurrentMediaType() const { return *FMediaType; }

protected:
    TBCBaseFilter* FFilter;
    TBCCritSec* FLock;
    std::wstring FPinName;
    PIN_DIRECTION FDirection;
    ComPtr<IPin> FConnected;
    TMediaTypeRecord FMediaType;
    IQualityControl* FQualitySink = nullptr;
    REFERENCE_TIME FSegmentStart = 0;
    REFERENCE_TIME FSegmentStop = 0;
    double FSegmentRate = 1.0;

private:
    HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* type);
    HRESULT TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);
    HRESULT AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* partial);
};

class TBCBaseOutputPin : public TBCBasePin {
public:
    TBCBaseOutputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, const wchar_t* pinName);
    ~TBCBaseOutputPin() override;

    // Requires IMemInputPin on the receiver.
    HRESULT CheckConnect(IPin* pin) override;
    // Agrees the allocator.
    HRESULT CompleteConnect(IPin* receivePin) override;
    // Decommits and drops the allocator and the receiver.
    HRESULT BreakConnect() override;
    // Commit and decommit the allocator.
    HRESULT Active() override;
    HRESULT Inactive() override;

    // An output pin receives no stream notifications: E_UNEXPECTED.
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

    // Takes the receiver's allocator when it offers one, else a new memory
    // allocator; DecideBufferSize sizes it; the receiver is told which one
    // it is.
    virtual HRESULT DecideAllocator(IMemInputPin* input, IMemAllocator** allocator);
    // Sets the allocator's properties; properties holds the receiver's
    // requirements (zeros when it stated none).
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) = 0;
    // A new memory allocator.
    virtual HRESULT InitAllocator(IMemAllocator** allocator);

    // An empty sample from the agreed allocator.
    virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    // Hands the sample to the receiver; its result.
    virtual HRESULT Deliver(IMediaSample* sample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    IMemAllocator* Allocator() const { return FAllocator.Get(); }

protected:
    ComPtr<IMemAllocator> FAllocator;
    ComPtr<IMemInputPin> FInputPin;
};
