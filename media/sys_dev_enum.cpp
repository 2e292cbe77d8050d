#include "media/sys_dev_enum.h"

#include "classlib/runtime/lists.h"
#include "shared/variant.h"

#include <algorithm>
#include <cstring>

namespace {

// The category's devices, or null when it has none (S_FALSE) or the
// enumerator cannot be had.
ComPtr<IEnumMoniker> EnumerateDevices(const GUID& category) {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_ICreateDevEnum, devices.PutVoid())))
        return {};
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK) return {};
    return monikers;
}

// Reads the device's entry from its property bag. False when the device is
// passed over: no property bag, or a "CLSID" value that is not a GUID.
bool ReadEntry(IMoniker* moniker, TSysDevEntry& entry) {
    std::memset(&entry, 0, sizeof entry);
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) || !bag) return false;

    // The value is cleared on every path, also when the name's copy below
    // throws.
    TVariant value;
    if (bag->Read(L"FriendlyName", value.Put(), nullptr) == S_OK && value.String()) {
        const BSTR text = value.String();
        const int wideLength = static_cast<int>(SysStringLen(text));
        const int ansiLength = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
        std::string ansi(static_cast<size_t>(std::max(ansiLength, 0)), '\0');
        if (ansiLength > 0) WideCharToMultiByte(CP_ACP, 0, text, wideLength, ansi.data(), ansiLength, nullptr, nullptr);
        // Cut to 255 bytes, even where that splits a double-byte character.
        const size_t kept = std::min<size_t>(ansi.size(), 255);
        entry.FriendlyName[0] = static_cast<uint8_t>(kept);
        std::memcpy(entry.FriendlyName + 1, ansi.data(), kept);
    }

    bool accepted = true;
    if (bag->Read(L"CLSID", value.Put(), nullptr) == S_OK) {
        accepted = value.String() && SUCCEEDED(CLSIDFromString(value.String(), &entry.CLSID));
        if (!accepted) entry.CLSID = GUID_NULL;
    }
    return accepted;
}

// Walks the category and returns the moniker of the Index-th device that
// the list would hold: positions of the list and of this walk agree even
// where a device is passed over.
ComPtr<IMoniker> DeviceAt(const GUID& category, int index) {
    ComPtr<IEnumMoniker> monikers = EnumerateDevices(category);
    if (!monikers) return {};
    ComPtr<IMoniker> moniker;
    int position = 0;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK && moniker) {
        TSysDevEntry entry;
        if (!ReadEntry(moniker.Get(), entry)) continue;
        if (position == index) return moniker;
        ++position;
    }
    return {};
}

}  // namespace

std::string TSysDevEntry::FriendlyNameAnsi() const {
    return std::string(reinterpret_cast<const char*>(FriendlyName + 1), FriendlyName[0]);
}

std::wstring TSysDevEntry::FriendlyNameText() const {
    const int length = FriendlyName[0];
    if (length == 0) return {};
    const char* text = reinterpret_cast<const char*>(FriendlyName + 1);
    const int count = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::wstring result(static_cast<size_t>(std::max(count, 0)), L'\0');
    if (count > 0) MultiByteToWideChar(CP_ACP, 0, text, length, result.data(), count);
    return result;
}

TSysDevEnum::TSysDevEnum(const GUID& Category) : FCategory(Category) { SelectCategory(Category); }

void TSysDevEnum::SelectCategory(const GUID& Category) {
    FCategory = Category;
    EnumerateCategory();
}

void TSysDevEnum::EnumerateCategory() {
    FEntries.clear();
    ComPtr<IEnumMoniker> monikers = EnumerateDevices(FCategory);
    if (!monikers) return;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK && moniker) {
        TSysDevEntry entry;
        if (ReadEntry(moniker.Get(), entry)) FEntries.push_back(entry);
    }
}

void TSysDevEnum::GetFilterEntry(int Index, TSysDevEntry& Entry) const {
    if (Index < 0 || Index >= CountFilters()) ListIndexError(Index, CountFilters());
    Entry = FEntries[static_cast<size_t>(Index)];
}

ComPtr<IMoniker> TSysDevEnum::GetMoniker(int Index) const {
    if (Index < 0 || Index >= CountFilters()) return {};
    return DeviceAt(FCategory, Index);
}

ComPtr<IBaseFilter> TSysDevEnum::GetBaseFilter(int Index) const {
    ComPtr<IMoniker> moniker = GetMoniker(Index);
    if (!moniker) return {};
    ComPtr<IBaseFilter> filter;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()))) return {};
    return filter;
}
