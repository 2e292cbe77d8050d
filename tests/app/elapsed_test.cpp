// The elapsed-time label and the seconds recorded, on a clock of the test's
// own: past a day they count on instead of starting again from 0.
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

TDateTime gNow = 0;
TDateTime TestClock() { return gNow; }

TEST(ElapsedTime, LabelAndSecondsCountPastADay) {
    ProgramWindows windows;
    FormMain->FClock = &TestClock;
    FormMain->FSettings->RecLimitNN = 0;
    FormMain->FSettings->RecLimitSS = 0;
    FormMain->FRecStart = EncodeDateTime(2026, 12, 9, 23, 30, 0, 0);

    gNow = FormMain->FRecStart + EncodeTime(1, 2, 3, 0);
    FormMain->TimerCaptureTimeTimer(FormMain->TimerCaptureTime);
    EXPECT_EQ(L"(経過時間 01：02：03)", FormMain->lblCaptureTime->Caption());
    EXPECT_EQ(3723, FormMain->FElapsedSec);

    gNow = FormMain->FRecStart + 1.0 + EncodeTime(1, 0, 5, 0);
    FormMain->TimerCaptureTimeTimer(FormMain->TimerCaptureTime);
    EXPECT_EQ(L"(経過時間 25：00：05)", FormMain->lblCaptureTime->Caption());
    EXPECT_EQ(90005, FormMain->FElapsedSec);

    gNow = FormMain->FRecStart + 4.0;
    FormMain->TimerCaptureTimeTimer(FormMain->TimerCaptureTime);
    EXPECT_EQ(L"(経過時間 96：00：00)", FormMain->lblCaptureTime->Caption());
    EXPECT_EQ(345600, FormMain->FElapsedSec);
}

TEST(ElapsedTime, LimitIsTakenFromTheSettings) {
    ProgramWindows windows;
    FormMain->FClock = &TestClock;
    FormMain->FRecStart = EncodeDateTime(2026, 12, 9, 10, 0, 0, 0);
    gNow = FormMain->FRecStart + EncodeTime(0, 0, 30, 0);
    FormMain->FSettings->RecLimitNN = 2;
    FormMain->FSettings->RecLimitSS = 5;
    FormMain->TimerCaptureTimeTimer(FormMain->TimerCaptureTime);
    EXPECT_EQ(125, FormMain->FLimitSec);
    EXPECT_EQ(30, FormMain->FElapsedSec);
}

}  // namespace
