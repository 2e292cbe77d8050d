// Text conversions, number parsing and formatting.
#include "classlib/runtime/text.h"

#include "classlib/runtime/exceptions.h"

#include <windows.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

std::wstring MultiToWide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) throw EConvertError(L"Text too long");
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string WideToMulti(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) throw EConvertError(L"Text too long");
    const int n =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool IsBlank(wchar_t c) { return c <= L' '; }

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Parses into a magnitude with the sign apart; false on any fault.
bool ParseInteger(std::wstring_view text, bool& negative, uint64_t& magnitude) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && text[i] == L'$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return false;
    magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = base == 16 ? HexDigit(text[i]) : (text[i] >= L'0' && text[i] <= L'9' ? text[i] - L'0' : -1);
        if (d < 0) return false;
        if (magnitude > (std::numeric_limits<uint64_t>::max() - static_cast<unsigned>(d)) / base) return false;
        magnitude = magnitude * base + static_cast<unsigned>(d);
    }
    return true;
}

[[noreturn]] void InvalidInteger(std::wstring_view text) {
    throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid integer value");
}

}  // namespace

std::wstring AnsiToWide(std::string_view text) { return MultiToWide(CP_ACP, text); }
std::string WideToAnsi(std::wstring_view text) { return WideToMulti(CP_ACP, text); }
std::wstring Utf8ToWide(std::string_view text) { return MultiToWide(CP_UTF8, text); }
std::string WideToUtf8(std::wstring_view text) { return WideToMulti(CP_UTF8, text); }

bool TryStrToInt64(std::wstring_view text, int64_t& value) {
    bool negative;
    uint64_t magnitude;
    if (!ParseInteger(text, negative, magnitude)) return false;
    constexpr uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (negative) {
        if (magnitude > limit + 1) return false;
        value = magnitude == limit + 1 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
    } else {
        if (magnitude > limit) return false;
        value = static_cast<int64_t>(magnitude);
    }
    return true;
}

bool TryStrToInt(std::wstring_view text, int& value) {
    int64_t v;
    if (!TryStrToInt64(text, v)) return false;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

namespace {
template <class I>
using TryParse = bool (*)(std::wstring_view, I&);

template <class I>
I ParseOrRaise(std::wstring_view text, TryParse<I> tryParse) {
    I v;
    if (!tryParse(text, v)) InvalidInteger(text);
    return v;
}

template <class I>
I ParseOr(std::wstring_view text, I defaultValue, TryParse<I> tryParse) {
    I v;
    return tryParse(text, v) ? v : defaultValue;
}
}  // namespace

int StrToInt(std::wstring_view text) { return ParseOrRaise<int>(text, TryStrToInt); }

int StrToIntDef(std::wstring_view text, int defaultValue) { return ParseOr<int>(text, defaultValue, TryStrToInt); }

int64_t StrToInt64(std::wstring_view text) { return ParseOrRaise<int64_t>(text, TryStrToInt64); }

int64_t StrToInt64Def(std::wstring_view text, int64_t defaultValue) {
    return ParseOr<int64_t>(text, defaultValue, TryStrToInt64);
}

std::wstring IntToStr(int64_t value) { return std::to_wstring(value); }

std::wstring IntToHex(uint64_t value, int digits) {
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring out;
    do {
        out.insert(out.begin(), hex[value & 15]);
        value >>= 4;
    } while (value);
    if (static_cast<int>(out.size()) < digits) out.insert(0, static_cast<size_t>(digits) - out.size(), L'0');
    return out;
}

bool TryStrToFloat(std::wstring_view text, double& value) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (b == e) return false;
    // Only plain decimal notation: sign, digits, one point, exponent.
    std::string narrow;
    size_t i = b;
    if (text[i] == L'+' || text[i] == L'-') {
        if (text[i] == L'-') narrow += '-';
        ++i;
    }
    bool digits = false, point = false;
    for (; i < e; ++i) {
        const wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') {
            digits = true;
        } else if (c == L'.' && !point) {
            point = true;
        } else if ((c == L'e' || c == L'E') && digits) {
            narrow += 'e';
            ++i;
            if (i < e && (text[i] == L'+' || text[i] == L'-')) narrow += static_cast<char>(text[i++]);
            if (i >= e) return false;
            for (; i < e; ++i) {
                if (text[i] < L'0' || text[i] > L'9') return false;
                narrow += static_cast<char>(text[i]);
            }
            break;
        } else {
            return false;
        }
        narrow += static_cast<char>(c);
    }
    if (!digits) return false;
    double v = 0;
    const auto r = std::from_chars(narrow.data(), narrow.data() + narrow.size(), v);
    if (r.ec != std::errc() || r.ptr != narrow.data() + narrow.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double StrToFloat(std::wstring_view text) {
    double v;
    if (!TryStrToFloat(text, v))
        throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid floating point value");
    return v;
}

double StrToFloatDef(std::wstring_view text, double defaultValue) {
    double v;
    return TryStrToFloat(text, v) ? v : defaultValue;
}

std::wstring FloatToStr(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, r.ptr);
    return std::wstring(s.begin(), s.end());
}

int64_t Round(double value) {
    // nearbyint uses the current rounding mode, which is to-nearest-even.
    const double r = std::nearbyint(value);
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18))
        throw EConvertError(L"Floating point value out of the integer range");
    return static_cast<int64_t>(r);
}

int64_t Trunc(double value) {
    const double r = std::trunc(value);
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18))
        throw EConvertError(L"Floating point value out of the integer range");
    return static_cast<int64_t>(r);
}

TFormatArg::TFormatArg(const char* v) : FValue(AnsiToWide(v ? v : "")) {}
TFormatArg::TFormatArg(const std::string& v) : FValue(AnsiToWide(v)) {}

namespace {

[[noreturn]] void FormatError(std::wstring_view format) {
    throw EConvertError(L"Format '" + std::wstring(format) + L"' invalid or incompatible with argument");
}

std::wstring Narrow2Wide(const char* b, const char* e) { return std::wstring(b, e); }

std::wstring FixedText(double v, int precision) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
    if (r.ec != std::errc()) return L"";
    return Narrow2Wide(buf, r.ptr);
}

std::wstring ScientificText(double v, int precision) {
    // d.ddddE+ddd, precision significant digits.
    char buf[64];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision > 0 ? precision - 1 : 0);
    std::string s(buf, r.ptr);
    const auto epos = s.find('e');
    if (epos != std::string::npos) {
        std::string mant = s.substr(0, epos), exp = s.substr(epos + 1);
        char sign = '+';
        if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
            sign = exp[0];
            exp.erase(0, 1);
        }
        const std::string zeros(exp.size() < 3 ? 3 - exp.size() : 0, '0');
        s = mant;
        s += 'E';
        s += sign;
        s += zeros;
        s += exp;
    }
    return std::wstring(s.begin(), s.end());
}

std::wstring GeneralText(double v, int precision) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
    std::string s(buf, r.ptr);
    for (auto& c : s)
        if (c == 'e') c = 'E';
    return std::wstring(s.begin(), s.end());
}

std::wstring WithThousands(const std::wstring& fixed) {
    size_t start = fixed[0] == L'-' ? 1 : 0;
    size_t end = fixed.find(L'.');
    if (end == std::wstring::npos) end = fixed.size();
    std::wstring out = fixed;
    for (size_t i = end; i > start + 3; i -= 3) out.insert(i - 3, 1, L',');
    return out;
}

}  // namespace

std::wstring FormatArgs(std::wstring_view format, const std::vector<TFormatArg>& args) {
    std::wstring out;
    size_t next = 0;
    size_t i = 0;
    while (i < format.size()) {
        const wchar_t c = format[i++];
        if (c != L'%') {
            out += c;
            continue;
        }
        if (i >= format.size()) FormatError(format);
        if (format[i] == L'%') {
            out += L'%';
            ++i;
            continue;
        }
        // [index:]
        size_t j = i;
        while (j < format.size() && format[j] >= L'0' && format[j] <= L'9') ++j;
        if (j < format.size() && format[j] == L':' && j > i) {
            next = static_cast<size_t>(StrToInt(format.substr(i, j - i)));
            i = j + 1;
        }
        bool left = false;
        if (i < format.size() && format[i] == L'-') {
            left = true;
            ++i;
        }
        int width = -1, precision = -1;
        size_t w = i;
        while (i < format.size() && format[i] >= L'0' && format[i] <= L'9') ++i;
        if (i > w) {
            if (i - w > 6) FormatError(format);
            width = StrToInt(format.substr(w, i - w));
        }
        if (i < format.size() && format[i] == L'.') {
            ++i;
            size_t p = i;
            while (i < format.size() && format[i] >= L'0' && format[i] <= L'9') ++i;
            if (i - p > 6) FormatError(format);
            precision = i > p ? StrToInt(format.substr(p, i - p)) : 0;
        }
        if (i >= format.size()) FormatError(format);
        const wchar_t type = static_cast<wchar_t>(towlower(format[i++]));
        if (next >= args.size()) FormatError(format);
        const TFormatArg& arg = args[next++];
        const auto& v = arg.Get();
        std::wstring text;
        switch (type) {
        case L'd':
        case L'u': {
            int64_t sv = 0;
            uint64_t uv = 0;
            bool negative = false;
            if (const int64_t* p = std::get_if<int64_t>(&v)) {
                sv = *p;
                if (type == L'u' && sv < 0) {
                    uv = arg.Bits() < 64 ? static_cast<uint64_t>(sv) & ((uint64_t(1) << arg.Bits()) - 1)
                                         : static_cast<uint64_t>(sv);
                } else {
                    negative = sv < 0;
                    uv = negative ? static_cast<uint64_t>(-(sv + 1)) + 1 : static_cast<uint64_t>(sv);
                }
            } else if (const uint64_t* p = std::get_if<uint64_t>(&v)) {
                uv = *p;
            } else {
                FormatError(format);
            }
            text = std::to_wstring(uv);
            if (precision > 0 && static_cast<int>(text.size()) < precision)
                text.insert(0, static_cast<size_t>(precision) - text.size(), L'0');
            if (negative) text.insert(0, 1, L'-');
            break;
        }
        case L'x': {
            uint64_t uv;
            if (const int64_t* p = std::get_if<int64_t>(&v)) {
                uv = static_cast<uint64_t>(*p);
                if (arg.Bits() < 64) uv &= (uint64_t(1) << arg.Bits()) - 1;
            } else if (const uint64_t* p = std::get_if<uint64_t>(&v)) {
                uv = *p;
            } else {
                FormatError(format);
            }
            text = IntToHex(uv, precision > 0 ? precision : 0);
            break;
        }
        case L'e':
        case L'f':
        case L'g':
        case L'n':
        case L'm': {
            double d;
            if (const double* p = std::get_if<double>(&v))
                d = *p;
            else if (const int64_t* p = std::get_if<int64_t>(&v))
                d = static_cast<double>(*p);
            else if (const uint64_t* p = std::get_if<uint64_t>(&v))
                d = static_cast<double>(*p);
            else
                FormatError(format);
            if (!std::isfinite(d)) {
                text = std::isnan(d) ? L"NAN" : (d > 0 ? L"INF" : L"-INF");
            } else if (type == L'f') {
                text = FixedText(d, precision < 0 ? 2 : std::min(precision, 18));
            } else if (type == L'e') {
                text = ScientificText(d, precision < 0 ? 15 : std::max(1, std::min(precision, 18)));
            } else if (type == L'g') {
                text = GeneralText(d, precision < 0 ? 15 : std::max(1, std::min(precision, 18)));
            } else {
                text = WithThousands(FixedText(d, precision < 0 ? 2 : std::min(precision, 18)));
            }
            break;
        }
        case L's': {
            const std::wstring* p = std::get_if<std::wstring>(&v);
            if (!p) FormatError(format);
            text = *p;
            if (precision >= 0 && static_cast<int>(text.size()) > precision)
                text.resize(static_cast<size_t>(precision));
            break;
        }
        case L'p': {
            const void* const* p = std::get_if<const void*>(&v);
            if (!p) FormatError(format);
            text = IntToHex(reinterpret_cast<uintptr_t>(*p), static_cast<int>(sizeof(void*) * 2));
            break;
        }
        default:
            FormatError(format);
        }
        if (width > 0 && static_cast<int>(text.size()) < width) {
            const std::wstring pad(static_cast<size_t>(width) - text.size(), L' ');
            text = left ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}

std::wstring Format(std::wstring_view format, std::initializer_list<TFormatArg> args) {
    return FormatArgs(format, std::vector<TFormatArg>(args));
}

std::wstring UpperCase(std::wstring_view text) {
    std::wstring s(text);
    if (!s.empty()) CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::wstring LowerCase(std::wstring_view text) {
    std::wstring s(text);
    if (!s.empty()) CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

int CompareText(std::wstring_view a, std::wstring_view b) {
    const std::wstring ua = UpperCase(a), ub = UpperCase(b);
    return ua.compare(ub);
}

bool SameText(std::wstring_view a, std::wstring_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

std::wstring TrimLeft(std::wstring_view text) {
    size_t b = 0;
    while (b < text.size() && IsBlank(text[b])) ++b;
    return std::wstring(text.substr(b));
}

std::wstring TrimRight(std::wstring_view text) {
    size_t e = text.size();
    while (e > 0 && IsBlank(text[e - 1])) --e;
    return std::wstring(text.substr(0, e));
}

std::wstring Trim(std::wstring_view text) { return TrimRight(TrimLeft(text)); }

std::wstring StringReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
    if (from.empty()) return std::wstring(text);
    std::wstring out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = text.find(from, pos);
        if (hit == std::wstring_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}
