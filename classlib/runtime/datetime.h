// Date and time as TDateTime: a double of days, local time. The integer part
// is the date (day 0 = 1899-12-30), the fraction the time of day; one second
// is 1/86400. Encode/decode between the value and its parts, the current
// moment, and FormatDateTime with the letters the program uses:
//   yyyy yy   year      mm m    month (minutes right after an hour field)
//   dd d      day       hh h    hour (24-hour; "HH" is the same)
//   nn n      minute    ss s    second       zzz z  millisecond
//   "text" 'text'       literal text         other characters copied.
// Decoding rounds to the nearest millisecond first, so a value that is a
// hair below a whole second is not shown one second early.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using TDateTime = double;

constexpr double SecsPerDay = 86400.0;
constexpr double MSecsPerDay = 86400000.0;
constexpr TDateTime OneSecond = 1.0 / SecsPerDay;
constexpr TDateTime OneMinute = 60.0 / SecsPerDay;
constexpr TDateTime OneHour = 3600.0 / SecsPerDay;

struct TDateParts {
    int Year = 0, Month = 0, Day = 0;
};
struct TTimeParts {
    int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};

TDateTime Now();   // the current local date and time
TDateTime Date();  // today, time of day 0
TDateTime Time();  // the current time of day, date part 0

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// EConvertError for parts outside their ranges (year 1..9999, hour 0..23 ...).
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int milliSecond);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int milliSecond, TDateTime& value);

TDateParts DecodeDate(TDateTime value);
TTimeParts DecodeTime(TDateTime value);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& milliSecond);

// The date part and the time-of-day part of a value.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

std::wstring FormatDateTime(std::wstring_view format, TDateTime value);

// Milliseconds since midnight of a value's time of day.
int64_t MilliSecondOfDay(TDateTime value);
