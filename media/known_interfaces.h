// The constant table of interfaces, by name and identifier, that the
// compressor catalogue asks each probe filter for, in a fixed order that
// begins with "IPin" and ends with "IStorage".
#pragma once

#include <windows.h>

#include <cstddef>

struct TKnownInterface {
    const wchar_t* Name;
    const IID* Iid;
};

inline constexpr size_t KnownInterfaceCount = 383;
extern const TKnownInterface KnownInterfaces[KnownInterfaceCount];
