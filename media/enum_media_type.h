// TEnumMediaType: the media types a pin offers, as owned TMediaType objects
// in the pin's order.
#pragma once

#include "classlib/runtime/lists.h"
#include "media/media_type_object.h"

#include <windows.h>
#include <strmif.h>

class TEnumMediaType {
public:
    TEnumMediaType() = default;
    TEnumMediaType(const TEnumMediaType&) = delete;
    TEnumMediaType& operator=(const TEnumMediaType&) = delete;

    // Fills the list with the pin's types; empty when the pin cannot
    // enumerate them.
    void SetPin(IPin* Pin);
    // Fills the list from the enumerator until it answers anything but S_OK;
    // the types gathered until then stay.
    void SetEnum(IEnumMediaTypes* Enum);
    // Borrowed: valid until the list is cleared, refilled or freed.
    // EListError outside 0..Count()-1.
    TMediaType* GetItem(int Index) const { return FList.Items(Index); }
    int Count() const noexcept { return FList.Count(); }
    void Clear() { FList.Clear(); }

private:
    TObjectList<TMediaType> FList;
};
