// The pin and media-type enumerators that filters and pins hand out.
#pragma once

#include "baseclasses/filter.h"
#include "baseclasses/pin.h"
#include "shared/com_ptr.h"

#include <atomic>
#include <vector>

// A snapshot of the filter's pins taken when it is created.
class TBCEnumPins final : public IEnumPins {
public:
    explicit TBCEnumPins(TBCBaseFilter* filter);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

private:
    TBCEnumPins(const TBCEnumPins& other);
    ~TBCEnumPins() = default;

    std::atomic<LONG> FRefCount{1};
    ComPtr<IBaseFilter> FFilter;
    std::vector<ComPtr<IPin>> FPins;
    size_t FPosition = 0;
};

// The pin's offered types, asked of the pin one position at a time. Each
// type handed out is a task-allocated record the caller deletes.
class TBCEnumMediaTypes final : public IEnumMediaTypes {
public:
    explicit TBCEnumMediaTypes(TBCBasePin* pin, ULONG position = 0);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

private:
    ~TBCEnumMediaTypes() = default;

    std::atomic<LONG> FRefCount{1};
    TBCBasePin* FPin;
    ComPtr<IPin> FPinRef;  // keeps the pin (and so its filter) alive
    ULONG FPosition;
};
