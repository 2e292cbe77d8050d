// Upper-case hexadecimal text of a number, as the media layer's messages and
// names write it.
#pragma once

#include <cstdint>
#include <string>

// At least minDigits digits (leading zeros to fill), no prefix.
inline std::wstring HexText(uint64_t value, int minDigits = 1) {
    std::wstring digits;
    while (value != 0 || static_cast<int>(digits.size()) < minDigits) {
        digits.insert(digits.begin(), L"0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    }
    return digits;
}
