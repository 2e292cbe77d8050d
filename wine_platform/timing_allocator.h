// A memory allocator that hands out the samples of another and notes when
// it last handed one out, by a clock of the user's choice: how long a source
// takes to fill a sample is the time from then to the sample's arrival.
// Header-only, so that a benchmark can use it without the stand-ins' library.
#pragma once

#include "shared/com_ptr.h"

#include <strmif.h>

#include <atomic>
#include <utility>

namespace sampletrace {

class TTimingAllocator final : public IMemAllocator {
public:
    using TClock = double (*)();

    TTimingAllocator(ComPtr<IMemAllocator> inner, TClock clock) : FInner(std::move(inner)), FClock(clock) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
            *object = static_cast<IMemAllocator*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++FRefs); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = --FRefs;
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        return FInner->SetProperties(request, actual);
    }
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* properties) override {
        return FInner->GetProperties(properties);
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return FInner->Commit(); }
    HRESULT STDMETHODCALLTYPE Decommit() override { return FInner->Decommit(); }
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                        DWORD flags) override {
        const HRESULT hr = FInner->GetBuffer(sample, start, stop, flags);
        HandedOut.store(FClock());
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override { return FInner->ReleaseBuffer(sample); }

    // When the last sample was handed out; -1 before the first.
    std::atomic<double> HandedOut{-1};

private:
    std::atomic<LONG> FRefs{1};
    ComPtr<IMemAllocator> FInner;
    TClock FClock;
};

}  // namespace sampletrace
