// The base input pin: IMemInputPin over the base pin, with the flushing and
// end-of-stream state that a receiving filter needs. Used by the Wine
// stand-ins and the test fixtures only (target baseclasses_receiving).
#pragma once

#include "baseclasses/pin.h"

class TBCBaseInputPin : public TBCBasePin, public IMemInputPin {
public:
    TBCBaseInputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, const wchar_t* pinName);
    ~TBCBaseInputPin() override;

    // IPin, IQualityControl and IMemInputPin.
    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IMemInputPin. GetAllocator hands out the pin's allocator, creating a
    // memory allocator on first use; NotifyAllocator keeps the one agreed.
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    // No requirements: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    // Checks the pin's state: S_OK when a sample may be taken,
    // VFW_E_WRONG_STATE while stopped, S_FALSE while flushing or after the
    // end of the stream, the stream's error after it failed.
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    // IPin stream notifications: flushing drops the end of stream.
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

    // Drops the allocator.
    HRESULT BreakConnect() override;
    // Leaving the stopped state clears the end of stream and any failure.
    HRESULT Active() override;
    HRESULT Inactive() override;

    bool IsFlushing() const { return FFlushing; }
    bool AtEndOfStream() const { return FEndOfStream; }

protected:
    // Ends the stream with an error: later samples are refused with it.
    void SetStreamError(HRESULT error) { FStreamError = error; }
    HRESULT StreamError() const { return FStreamError; }

    ComPtr<IMemAllocator> FAllocator;
    bool FReadOnly = false;
    volatile bool FFlushing = false;
    volatile bool FEndOfStream = false;
    volatile HRESULT FStreamError = S_OK;
};
