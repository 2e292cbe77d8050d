// TSysDevEnum: the devices that the system device enumerator lists under
// one filter category, one TSysDevEntry (friendly name, filter class) each,
// and the device at a list position as a moniker or a new filter object.
#pragma once

#include "shared/com_ptr.h"

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <string>
#include <vector>

// One device: a fixed record of 272 bytes that callers receive by copy.
struct TSysDevEntry {
    // A length byte (0..255), then the name in the system's ANSI code page,
    // cut to its first 255 bytes.
    uint8_t FriendlyName[256];
    // The device's filter class, or GUID_NULL.
    GUID CLSID;

    // The name's bytes as ANSI text, and as UTF-16 through the ANSI code page.
    std::string FriendlyNameAnsi() const;
    std::wstring FriendlyNameText() const;
};
static_assert(sizeof(TSysDevEntry) == 272);

class TSysDevEnum {
public:
    // Lists the devices of Category.
    explicit TSysDevEnum(const GUID& Category);
    TSysDevEnum(const TSysDevEnum&) = delete;
    TSysDevEnum& operator=(const TSysDevEnum&) = delete;

    // Makes Category current and lists its devices again.
    void SelectCategory(const GUID& Category);
    const GUID& Category() const noexcept { return FCategory; }

    int CountFilters() const noexcept { return static_cast<int>(FEntries.size()); }
    // The entry at Index; EListError outside the list.
    void GetFilterEntry(int Index, TSysDevEntry& Entry) const;
    // The device at Index of a fresh enumeration, as moniker or as a new
    // binding of it; null outside 0..CountFilters()-1 or when the device is
    // gone or cannot be bound.
    ComPtr<IMoniker> GetMoniker(int Index) const;
    ComPtr<IBaseFilter> GetBaseFilter(int Index) const;

private:
    void EnumerateCategory();

    GUID FCategory;
    std::vector<TSysDevEntry> FEntries;
};
