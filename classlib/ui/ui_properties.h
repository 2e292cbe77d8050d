// Published properties that the generic table builder cannot express:
// colours (a number or a colour name), character sets (a number or a
// charset name), and tables extended with such entries.
#pragma once

#include "classlib/runtime/properties.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using TColor = std::int32_t;

// A colour from a description value: a number or a name ("clBtnFace").
TColor ColorFromValue(const TPropertyValue& value, const std::wstring& property);
// A character set from a number or a name ("SHIFTJIS_CHARSET").
BYTE CharsetFromValue(const TPropertyValue& value, const std::wstring& property);

// The table `built` with extra properties of its own class appended.
TPropertyTable ExtendTable(const TPropertyTable& built, std::vector<TPropInfo> extra);

template <class T, class G, class S>
TPropInfo ColorProperty(std::wstring name, G get, S set) {
    TPropInfo p;
    p.Name = name;
    p.Kind = TPropertyKind::Integer;
    p.Set = [set, name](TPersistent& o, const TPropertyValue& v, TComponent*) {
        (dynamic_cast<T&>(o).*set)(ColorFromValue(v, name));
    };
    p.Get = [get](const TPersistent& o) {
        return TPropertyValue(static_cast<int64_t>((dynamic_cast<const T&>(o).*get)()));
    };
    return p;
}
