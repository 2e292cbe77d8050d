// Owners of automation values: a VARIANT cleared when it goes, and a BSTR.
#pragma once

#include "shared/owner.h"

#include <oleauto.h>

namespace owner_detail {
struct FreeBstr {
    void operator()(BSTR s) const noexcept { SysFreeString(s); }
};
}  // namespace owner_detail

// A string of SysAllocString (or one a call handed over to its caller).
using TBstr = TOwner<TOwnerTraits<BSTR, owner_detail::FreeBstr>>;

// A VARIANT that VariantClear empties when the owner goes or is filled
// again, so a string or an interface it holds is never left behind, whatever
// is thrown while it is read.
class TVariant {
public:
    TVariant() noexcept { VariantInit(&FValue); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    ~TVariant() { VariantClear(&FValue); }

    // Clears what is held; leaves VT_EMPTY.
    void Reset() noexcept {
        VariantClear(&FValue);
        VariantInit(&FValue);
    }
    // For out parameters: clears what is held, then lends the value.
    VARIANT* Put() noexcept {
        Reset();
        return &FValue;
    }
    // For in and in-out parameters (a type asked for, an argument list).
    VARIANT* Get() noexcept { return &FValue; }
    const VARIANT* Get() const noexcept { return &FValue; }
    VARIANT* operator->() noexcept { return &FValue; }
    const VARIANT* operator->() const noexcept { return &FValue; }

    // The string held, or null when the value is no string.
    BSTR String() const noexcept { return FValue.vt == VT_BSTR ? FValue.bstrVal : nullptr; }

private:
    VARIANT FValue;
};
