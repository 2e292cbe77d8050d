// TPinList: a snapshot of the pins of a filter, one reference each, in the
// filter's enumeration order.
#pragma once

#include "classlib/runtime/lists.h"
#include "shared/com_ptr.h"

#include <windows.h>
#include <strmif.h>

class TPinList : public TInterfaceList {
public:
    // Keeps a reference on Filter (may be null) and lists its pins.
    explicit TPinList(IBaseFilter* Filter = nullptr);
    ~TPinList() override;

    // Empties the list and lists the filter's pins again.
    void Update();
    // The item as IPin; EListError outside the list, EIntfCastError when the
    // item is no pin.
    ComPtr<IPin> GetPin(int Index) const;
    int Add(IPin* Pin) { return TInterfaceList::Add(Pin); }
    // Fills Info for the pin at Index, first releasing the filter reference
    // Info held. Info.pFilter then holds a reference the caller releases.
    // EListError outside the list.
    void GetPinInfo(int Index, PIN_INFO& Info) const;

    ComPtr<IBaseFilter> OwnerFilter;
};

// The first pin of Filter in the given direction, or none.
ComPtr<IPin> FirstPin(IBaseFilter* Filter, PIN_DIRECTION Direction);
