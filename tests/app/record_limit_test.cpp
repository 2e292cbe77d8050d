// The record-time limit in every mode, on the test's clock: the elapsed-time
// tick finishes the recording at the first tick at which the limit is
// reached, the recording is converted with its length as the progress
// maximum; without a limit the until-finish mode records on; in the
// time-of-day mode the limit or the end time, whichever comes first.
#include "tests/app/record_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

class Limit : public ::testing::Test {
protected:
    void SetUp() override { W = std::make_unique<RecordingWindows>(L"record_limit"); }
    void TearDown() override { W.reset(); }
    static void SetLimit(int minutes, int seconds) {
        FormMain->SERecTimeNN->SetValue(minutes);
        FormMain->SERecTimeSS->SetValue(seconds);
    }
    // One elapsed-time tick at the moment start + seconds.
    static void TickAt(double seconds) {
        TestClock::Set(FormMain->FRecStart + Seconds(seconds));
        FormMain->TimerCaptureTimeTimer(FormMain->TimerCaptureTime);
    }
    void StartRecording() {
        RecordingWindows::PressStart();
        ASSERT_EQ(std::vector<std::wstring>{}, W->Shown());
        RecordingWindows::ExpectRecording();
        // Something recorded for the converter.
        PumpFor(300);
    }
    // Recording up to limit - 1 ms goes on; the tick at the limit finishes.
    void ExpectFinishedAtTheLimit(int limitSeconds) {
        TFormMain& m = *FormMain;
        TickAt(limitSeconds - 0.6);
        RecordingWindows::ExpectRecording();
        EXPECT_EQ(limitSeconds - 1, m.FElapsedSec);
        EXPECT_EQ(limitSeconds, m.FLimitSec);
        EXPECT_EQ(0, W->ConversionsRun());
        TickAt(limitSeconds + 0.2);
        W->ExpectConverted();
        EXPECT_EQ(limitSeconds, m.FElapsedSec);
        EXPECT_EQ(limitSeconds, FormProgress->ProgressBarStatus->Max());
        EXPECT_EQ(1, W->ConversionsRun());
    }
    std::unique_ptr<RecordingWindows> W;
};

TEST_F(Limit, SetTimeModeEndsAtTheFirstTickPastTheTime) {
    FormMain->RBRecNow->SetChecked(true);
    SetLimit(1, 30);
    StartRecording();
    ExpectFinishedAtTheLimit(90);
    EXPECT_EQ(L"(経過時間 00：01：30)", FormMain->lblCaptureTime->Caption());
}

TEST_F(Limit, UntilFinishModeWithALimitLeftInTheSpinEdits) {
    FormMain->RBRecStart->SetChecked(true);
    SetLimit(1, 0);
    StartRecording();
    ExpectFinishedAtTheLimit(60);
}

TEST_F(Limit, UntilFinishModeWithoutALimitRecordsUntilTheButton) {
    TFormMain& m = *FormMain;
    m.RBRecStart->SetChecked(true);
    SetLimit(0, 0);
    StartRecording();
    TickAt(2 * 86400 + 5);
    RecordingWindows::ExpectRecording();
    EXPECT_EQ(2 * 86400 + 5, m.FElapsedSec);
    EXPECT_EQ(0, W->ConversionsRun());
    RecordingWindows::PressFinish();
    W->ExpectConverted();
    EXPECT_EQ(1, W->ConversionsRun());
}

class TimeOfDayLimit : public Limit {
protected:
    // Start at 10:00:30, end at endHour:endMinute, pressed at 10:00; the
    // wait ends at once.
    void StartBetween(int endHour, int endMinute) {
        TFormMain& m = *FormMain;
        m.RBRecTime->SetChecked(true);
        m.DateTimePickerStart->SetDateTime(EncodeTime(10, 0, 30, 0));
        m.DateTimePickerEnd->SetDateTime(EncodeTime(endHour, endMinute, 0, 0));
        TestClock::Set(At(2026, 12, 9, 10, 0, 0));
        RunSoon([&m] {
            TestClock::Set(m.FStartAt - OneSecond);
            m.TimerStartTimeTimer(m.TimerStartTime);
        });
        StartWaitGuard guard(20000);
        StartRecording();
        EXPECT_TRUE(m.TimerEndTime->Enabled());
    }
};

TEST_F(TimeOfDayLimit, LimitBeforeTheEndTime) {
    TFormMain& m = *FormMain;
    SetLimit(1, 0);
    StartBetween(12, 0);
    ExpectFinishedAtTheLimit(60);
    FormProgress->BtnCloseClick(nullptr);
    // The end time later finishes nothing.
    TestClock::Set(m.FEndAt + OneSecond);
    PumpFor(1200);
    EXPECT_EQ(1, W->ConversionsRun());
    EXPECT_FALSE(m.TimerEndTime->Enabled());
}

TEST_F(TimeOfDayLimit, EndTimeBeforeTheLimit) {
    TFormMain& m = *FormMain;
    SetLimit(5, 0);
    StartBetween(10, 2);
    // Past the end, short of the limit: the elapsed tick goes on, the end
    // time finishes.
    TestClock::Set(m.FEndAt + Seconds(0.5));
    m.TimerCaptureTimeTimer(m.TimerCaptureTime);
    RecordingWindows::ExpectRecording();
    m.TimerEndTimeTimer(m.TimerEndTime);
    W->ExpectConverted();
    EXPECT_EQ(1, W->ConversionsRun());
    EXPECT_EQ(91, m.FElapsedSec);
}

}  // namespace
