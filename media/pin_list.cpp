#include "media/pin_list.h"

#include "shared/info_records.h"

#include <utility>

TPinList::TPinList(IBaseFilter* Filter) : OwnerFilter(Filter) { Update(); }

TPinList::~TPinList() { OwnerFilter = nullptr; }

void TPinList::Update() {
    Clear();
    if (!OwnerFilter) return;
    ComPtr<IEnumPins> pins;
    if (FAILED(OwnerFilter->EnumPins(pins.Put())) || !pins) return;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK && pin) Add(pin.Get());
}

ComPtr<IPin> TPinList::GetPin(int Index) const { return InterfaceCast<IPin>(Items(Index)); }

void TPinList::GetPinInfo(int Index, PIN_INFO& Info) const {
    ComPtr<IPin> pin = GetPin(Index);
    if (!pin) return;
    TPinInfo previous(std::exchange(Info, PIN_INFO{}));  // its reference goes now
    pin->QueryPinInfo(&Info);
}

ComPtr<IPin> FirstPin(IBaseFilter* Filter, PIN_DIRECTION Direction) {
    TPinList pins(Filter);
    for (int i = 0; i < pins.Count(); ++i) {
        ComPtr<IPin> pin = pins.GetPin(i);
        PIN_DIRECTION dir;
        if (pin && SUCCEEDED(pin->QueryDirection(&dir)) && dir == Direction) return pin;
    }
    return {};
}
