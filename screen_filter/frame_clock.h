// Milliseconds since a start, from a 32-bit millisecond clock that wraps
// after 2^32 ms. Readings are accumulated as modular differences, so the
// elapsed time keeps rising across any number of wraps as long as the clock is
// read at least once every 49 days.
#pragma once

#include <windows.h>

#include <cmath>
#include <cstdint>

class TFrameClock {
public:
    using TimeSource = DWORD(WINAPI*)();

    explicit TFrameClock(TimeSource now) : FNow(now) {}

    void Start() {
        FStart = FLast = FNow();
        FElapsed = 0;
    }

    // Milliseconds since Start; never falls.
    int64_t Elapsed() {
        const DWORD now = FNow();
        FElapsed += static_cast<DWORD>(now - FLast);
        FLast = now;
        return FElapsed;
    }

    // The clock reading Start took.
    DWORD StartReading() const { return FStart; }

private:
    TimeSource FNow;
    DWORD FLast = 0;
    DWORD FStart = 0;
    int64_t FElapsed = 0;
};

// The number of the frame due after elapsedMs, for frames of frameLength
// (100 ns units): the nearest whole number of frames, halves going to the
// even neighbour.
inline int64_t FrameNumberAt(int64_t elapsedMs, int64_t frameLength) {
    const double quotient = static_cast<double>(elapsedMs) * 10000.0 / static_cast<double>(frameLength);
    return static_cast<int64_t>(std::nearbyint(quotient));
}
