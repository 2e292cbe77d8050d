// TDateTime arithmetic and formatting.
#include "classlib/runtime/datetime.h"

#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/text.h"

#include <windows.h>

#include <cmath>
#include <cwctype>

namespace {

// Days from 0001-01-01 (day 1) in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;  // days since 1970-01-01
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const int64_t Epoch = DaysFromCivil(1899, 12, 30);  // TDateTime day 0

// Splits a value into whole days and milliseconds of the day, rounding to
// the nearest millisecond. Negative values keep their time of day positive.
void Split(TDateTime value, int64_t& days, int64_t& ms) {
    if (!std::isfinite(value) || std::fabs(value) > 3e6) throw EConvertError(L"Invalid date/time value");
    const int64_t total = static_cast<int64_t>(std::llround(std::fabs(value) * MSecsPerDay));
    const int64_t d = total / static_cast<int64_t>(MSecsPerDay);
    ms = total % static_cast<int64_t>(MSecsPerDay);
    days = value < 0 ? -d : d;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    value = static_cast<double>(DaysFromCivil(year, month, day) - Epoch);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& value) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || milliSecond < 0 ||
        milliSecond > 999)
        return false;
    value = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + milliSecond) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime v;
    if (!TryEncodeDate(year, month, day, v)) throw EConvertError(L"Invalid argument to date encode");
    return v;
}

TDateTime EncodeTime(int hour, int minute, int second, int milliSecond) {
    TDateTime v;
    if (!TryEncodeTime(hour, minute, second, milliSecond, v)) throw EConvertError(L"Invalid argument to time encode");
    return v;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int milliSecond) {
    const TDateTime d = EncodeDate(year, month, day);
    const TDateTime t = EncodeTime(hour, minute, second, milliSecond);
    return d >= 0 ? d + t : d - t;
}

TDateParts DecodeDate(TDateTime value) {
    int64_t days, ms;
    Split(value, days, ms);
    TDateParts p;
    CivilFromDays(days + Epoch, p.Year, p.Month, p.Day);
    return p;
}

TTimeParts DecodeTime(TDateTime value) {
    int64_t days, ms;
    Split(value, days, ms);
    TTimeParts t;
    t.MilliSecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.Second = static_cast<int>(ms % 60);
    ms /= 60;
    t.Minute = static_cast<int>(ms % 60);
    t.Hour = static_cast<int>(ms / 60);
    return t;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    const TDateParts p = DecodeDate(value);
    year = p.Year;
    month = p.Month;
    day = p.Day;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond) {
    const TTimeParts t = DecodeTime(value);
    hour = t.Hour;
    minute = t.Minute;
    second = t.Second;
    milliSecond = t.MilliSecond;
}

int64_t MilliSecondOfDay(TDateTime value) {
    int64_t days, ms;
    Split(value, days, ms);
    return ms;
}

TDateTime DateOf(TDateTime value) {
    int64_t days, ms;
    Split(value, days, ms);
    return static_cast<double>(days);
}

TDateTime TimeOf(TDateTime value) {
    int64_t days, ms;
    Split(value, days, ms);
    return static_cast<double>(ms) / MSecsPerDay;
}

TDateTime Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

TDateTime Date() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDate(st.wYear, st.wMonth, st.wDay);
}

TDateTime Time() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

std::wstring FormatDateTime(std::wstring_view format, TDateTime value) {
    const TDateParts d = DecodeDate(value);
    const TTimeParts t = DecodeTime(value);
    auto pad = [](int v, int width) {
        std::wstring s = std::to_wstring(v);
        if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), L'0');
        return s;
    };
    std::wstring out;
    bool afterHour = false;  // "m" right after an hour field means minutes
    size_t i = 0;
    while (i < format.size()) {
        const wchar_t c = format[i];
        if (c == L'"' || c == L'\'') {
            const size_t end = format.find(c, i + 1);
            const size_t stop = end == std::wstring_view::npos ? format.size() : end;
            out.append(format.substr(i + 1, stop - i - 1));
            i = stop == format.size() ? stop : stop + 1;
            continue;
        }
        const wchar_t lc = static_cast<wchar_t>(std::towlower(c));
        size_t n = 1;
        while (i + n < format.size() && std::towlower(format[i + n]) == lc) ++n;
        switch (lc) {
        case L'y':
            out += n <= 2 ? pad(d.Year % 100, 2) : pad(d.Year, 4);
            afterHour = false;
            break;
        case L'm':
            if (afterHour)
                out += n >= 2 ? pad(t.Minute, 2) : std::to_wstring(t.Minute);
            else
                out += n >= 2 ? pad(d.Month, 2) : std::to_wstring(d.Month);
            afterHour = false;
            break;
        case L'd':
            out += n >= 2 ? pad(d.Day, 2) : std::to_wstring(d.Day);
            afterHour = false;
            break;
        case L'h':
            out += n >= 2 ? pad(t.Hour, 2) : std::to_wstring(t.Hour);
            afterHour = true;
            break;
        case L'n':
            out += n >= 2 ? pad(t.Minute, 2) : std::to_wstring(t.Minute);
            afterHour = false;
            break;
        case L's':
            out += n >= 2 ? pad(t.Second, 2) : std::to_wstring(t.Second);
            afterHour = false;
            break;
        case L'z':
            out += n >= 3 ? pad(t.MilliSecond, 3) : std::to_wstring(t.MilliSecond);
            afterHour = false;
            break;
        default:
            out.append(format.substr(i, n));
            break;
        }
        i += n;
    }
    return out;
}
