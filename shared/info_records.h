// Owners of the DirectShow information records whose query hands the caller
// a reference: PIN_INFO (the pin's filter) and FILTER_INFO (the filter's
// graph).
#pragma once

#include "shared/com_ptr.h"

#include <windows.h>
#include <strmif.h>

#include <utility>

// A record of Info whose interface pointer Ref holds one reference; the
// reference is released when the owner goes or is filled again.
template <class Info, class I, I* Info::*Ref>
class TInfoRecord {
public:
    TInfoRecord() noexcept = default;
    // Adopts a record filled before, with the reference it holds.
    explicit TInfoRecord(const Info& adopted) noexcept : FInfo(adopted) {}
    TInfoRecord(const TInfoRecord&) = delete;
    TInfoRecord& operator=(const TInfoRecord&) = delete;
    ~TInfoRecord() { Reset(); }

    // Releases the reference and leaves an all-zero record.
    void Reset() noexcept {
        // Adopted, so released by the smart pointer as it goes.
        ComPtr<I>::Attach(std::exchange(FInfo.*Ref, nullptr));
        FInfo = Info{};
    }
    // For the query's out parameter: releases what is held, then lends it.
    Info* Put() noexcept {
        Reset();
        return &FInfo;
    }
    // Gives the record up with its reference, for a caller that releases it.
    Info Take() noexcept { return std::exchange(FInfo, Info{}); }

    const Info& Get() const noexcept { return FInfo; }
    const Info* operator->() const noexcept { return &FInfo; }
    // A new reference to the record's interface (null when it holds none).
    ComPtr<I> Object() const noexcept { return ComPtr<I>(FInfo.*Ref); }

private:
    Info FInfo{};
};

// IPin::QueryPinInfo's record; pFilter holds a reference.
using TPinInfo = TInfoRecord<PIN_INFO, IBaseFilter, &PIN_INFO::pFilter>;
// IBaseFilter::QueryFilterInfo's record; pGraph holds a reference.
using TFilterInfo = TInfoRecord<FILTER_INFO, IFilterGraph, &FILTER_INFO::pGraph>;
