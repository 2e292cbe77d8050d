// Text helpers: conversions between UTF-16 (the text the user sees) and the
// system's ANSI code page (config files, device names, console bytes);
// number parsing and formatting with fixed rules; case-insensitive
// comparison; trimming.
//
// Number rules:
//  - Integers: optional blanks before, an optional sign, then decimal digits
//    or, after "0x"/"0X"/"$", hexadecimal digits; nothing may follow; a value
//    outside the type's range fails. StrToInt raises EConvertError on
//    failure, StrToIntDef returns the default.
//  - Floats: blanks allowed around a decimal number with '.' as the point
//    and an optional exponent; StrToFloat raises EConvertError on failure.
//  - Round: to the nearest integer, halves to the even neighbour.
//
// Format follows the classic printf-like rules: "%[index:][-][width][.prec]type"
// with d, u, x (upper-case hexadecimal), e, f, g, n, m, p, s and "%%";
// "%.2d" pads with zeros to at least two digits, "%0.2f" gives two decimals,
// "%f" without a precision gives two decimals. An argument of the wrong kind
// or a missing argument raises EConvertError.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

// UTF-16 <-> the system's ANSI code page (CP_ACP). Characters the code page
// cannot hold become its default character.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
// UTF-16 <-> UTF-8.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// Integers.
bool TryStrToInt(std::wstring_view text, int& value);
bool TryStrToInt64(std::wstring_view text, int64_t& value);
int StrToInt(std::wstring_view text);
int StrToIntDef(std::wstring_view text, int defaultValue);
int64_t StrToInt64(std::wstring_view text);
int64_t StrToInt64Def(std::wstring_view text, int64_t defaultValue);
std::wstring IntToStr(int64_t value);
// Upper-case hexadecimal with at least `digits` digits.
std::wstring IntToHex(uint64_t value, int digits);

// Floating point.
bool TryStrToFloat(std::wstring_view text, double& value);
double StrToFloat(std::wstring_view text);
double StrToFloatDef(std::wstring_view text, double defaultValue);
std::wstring FloatToStr(double value);

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
int64_t Round(double value);
// Towards zero.
int64_t Trunc(double value);

// One argument of Format.
class TFormatArg {
public:
    template <class T,
              std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T> && !std::is_same_v<T, bool>, int> = 0>
    TFormatArg(T v) : FValue(static_cast<int64_t>(v)), FBits(sizeof(T) * 8) {}
    template <class T,
              std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>, int> = 0>
    TFormatArg(T v) : FValue(static_cast<uint64_t>(v)), FBits(sizeof(T) * 8) {}
    TFormatArg(bool v) : FValue(static_cast<int64_t>(v)) {}
    TFormatArg(double v) : FValue(v) {}
    TFormatArg(float v) : FValue(static_cast<double>(v)) {}
    TFormatArg(long double v) : FValue(static_cast<double>(v)) {}
    TFormatArg(const wchar_t* v) : FValue(std::wstring(v ? v : L"")) {}
    TFormatArg(std::wstring_view v) : FValue(std::wstring(v)) {}
    TFormatArg(const std::wstring& v) : FValue(v) {}
    // 8-bit text is taken in the ANSI code page.
    TFormatArg(const char* v);
    TFormatArg(const std::string& v);
    TFormatArg(const void* v) : FValue(v) {}

    using Value = std::variant<int64_t, uint64_t, double, std::wstring, const void*>;
    const Value& Get() const noexcept { return FValue; }
    // Width in bits of an integer argument (a negative 32-bit value shows
    // as eight hexadecimal digits).
    int Bits() const noexcept { return FBits; }

private:
    Value FValue;
    int FBits = 64;
};

std::wstring Format(std::wstring_view format, std::initializer_list<TFormatArg> args);
std::wstring FormatArgs(std::wstring_view format, const std::vector<TFormatArg>& args);
template <class... A>
std::wstring Format(std::wstring_view format, const A&... args) {
    return FormatArgs(format, std::vector<TFormatArg>{TFormatArg(args)...});
}

// Case and comparison (locale-aware for letters outside ASCII).
std::wstring UpperCase(std::wstring_view text);
std::wstring LowerCase(std::wstring_view text);
int CompareText(std::wstring_view a, std::wstring_view b);  // <0, 0, >0, ignoring case
bool SameText(std::wstring_view a, std::wstring_view b);

// Blanks and control characters (<= U+0020) removed from the ends.
std::wstring Trim(std::wstring_view text);
std::wstring TrimLeft(std::wstring_view text);
std::wstring TrimRight(std::wstring_view text);

// Position of the first `sub` in `text`, npos when none.
inline size_t Pos(std::wstring_view sub, std::wstring_view text) { return text.find(sub); }
std::wstring StringReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to);
