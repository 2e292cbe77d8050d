// The pacing clock across the wrap of the 32-bit millisecond counter.
#include "screen_filter/frame_clock.h"

#include <gtest/gtest.h>

namespace {

DWORD FakeNow = 0;
DWORD WINAPI FakeTime() { return FakeNow; }

}  // namespace

TEST(PixentaFrameClock, ElapsedTimeKeepsRisingAcrossTheWrap) {
    FakeNow = 0xFFFFFFF0u;
    TFrameClock clock(&FakeTime);
    clock.Start();
    EXPECT_EQ(clock.StartReading(), 0xFFFFFFF0u);
    EXPECT_EQ(clock.Elapsed(), 0);
    FakeNow += 10;
    EXPECT_EQ(clock.Elapsed(), 10);
    FakeNow += 40;  // wraps to 0x00000022
    EXPECT_EQ(FakeNow, 0x22u);
    EXPECT_EQ(clock.Elapsed(), 50);
    EXPECT_EQ(clock.Elapsed(), 50);
}

TEST(PixentaFrameClock, ManyWrapsAccumulate) {
    FakeNow = 123;
    TFrameClock clock(&FakeTime);
    clock.Start();
    int64_t expected = 0;
    for (int i = 0; i < 10; ++i) {
        FakeNow += 0x80000000u;  // half the range per reading
        expected += 0x80000000LL;
        EXPECT_EQ(clock.Elapsed(), expected);
    }
    EXPECT_GT(expected, int64_t{1} << 32);
    // A restart counts from zero again.
    clock.Start();
    FakeNow += 5;
    EXPECT_EQ(clock.Elapsed(), 5);
}

TEST(PixentaFrameClock, FrameNumbersRoundHalvesToEven) {
    constexpr int64_t T25 = 400000;  // 40 ms
    EXPECT_EQ(FrameNumberAt(0, T25), 0);
    EXPECT_EQ(FrameNumberAt(19, T25), 0);
    EXPECT_EQ(FrameNumberAt(20, T25), 0);  // 0.5 goes down to 0
    EXPECT_EQ(FrameNumberAt(21, T25), 1);
    EXPECT_EQ(FrameNumberAt(60, T25), 2);   // 1.5 goes up to 2
    EXPECT_EQ(FrameNumberAt(100, T25), 2);  // 2.5 goes down to 2
    EXPECT_EQ(FrameNumberAt(140, T25), 4);  // 3.5 goes up to 4
    constexpr int64_t T30 = 333333;
    EXPECT_EQ(FrameNumberAt(1000, T30), 30);
    // Far into a long run the number still follows the time.
    EXPECT_EQ(FrameNumberAt(int64_t{24} * 3600 * 1000, T30), 2592003);
}
