// Conversions between milliseconds and REFERENCE_TIME (100 ns units).
#pragma once

#include <cstdint>

// Truncates towards zero.
constexpr int64_t HundredNsToMilliseconds(int64_t value) { return value / 10000; }
constexpr int64_t MillisecondsTo100ns(int64_t milliseconds) { return milliseconds * 10000; }
