// The time-of-day mode on the test's clock: where the start and end moments
// fall, the wait that ends one second before the start (the capture-area
// frame hidden then), the finish button during the wait, and the end time
// that finishes a recording once, and not one that has already ended.
#include "tests/app/record_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace apptest;

// Two moments equal to the millisecond.
::testing::AssertionResult SameMoment(TDateTime expected, TDateTime actual) {
    const long long diff = std::llround((actual - expected) * MSecsPerDay);
    if (diff == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Narrow(FormatDateTime(L"yyyy-mm-dd hh:nn:ss", actual)) << " is not "
                                         << Narrow(FormatDateTime(L"yyyy-mm-dd hh:nn:ss", expected)) << " (off by "
                                         << diff << " ms)";
}

class TimeOfDay : public ::testing::Test {
protected:
    void SetUp() override {
        W = std::make_unique<RecordingWindows>(L"record_time_of_day");
        TFormMain& m = *FormMain;
        m.RBRecTime->SetChecked(true);
        m.RBRecNowClick(m.RBRecTime);
        // No limit: only the end time ends these recordings.
        m.SERecTimeNN->SetValue(0);
        m.SERecTimeSS->SetValue(0);
        RecordingWindows::SoundOnly();
        m.FSettings->FileName = L"untouched.mp3";
    }
    void TearDown() override { W.reset(); }
    // The pickers carry a date too; only their time of day counts.
    static void SetTimes(int startHour, int startMinute, int endHour, int endMinute) {
        FormMain->DateTimePickerStart->SetDateTime(EncodeDate(2020, 1, 1) + EncodeTime(startHour, startMinute, 0, 0));
        FormMain->DateTimePickerEnd->SetDateTime(EncodeDate(2019, 6, 30) + EncodeTime(endHour, endMinute, 0, 0));
    }
    // The state while waiting for the start time.
    static void ExpectWaiting() {
        TFormMain& m = *FormMain;
        EXPECT_TRUE(m.TimerStartTime->Enabled());
        EXPECT_FALSE(m.TimerEndTime->Enabled());
        EXPECT_FALSE(m.TimerCaptureTime->Enabled());
        EXPECT_TRUE(m.lblTimeWait->Visible());
        EXPECT_FALSE(m.pngCaptureStart->Enabled());
        EXPECT_TRUE(m.pngCaptureFinish->Enabled());
        EXPECT_TRUE(FormCaptureSize->Visible());
        EXPECT_NE(gsRunning, m.CaptureGraph->State());
        EXPECT_EQ(L"untouched.mp3", m.FSettings->FileName);
    }
    std::unique_ptr<RecordingWindows> W;
};

TEST_F(TimeOfDay, OverMidnightPressedBeforeTheStart) {
    TFormMain& m = *FormMain;
    SetTimes(23, 0, 1, 0);
    TestClock::Set(At(2026, 12, 9, 22, 0, 0));
    bool waited = false;
    RunSoon([&] {
        waited = true;
        ExpectWaiting();
        EXPECT_TRUE(SameMoment(At(2026, 12, 9, 23, 0, 0), m.FStartAt));
        EXPECT_TRUE(SameMoment(At(2026, 12, 10, 1, 0, 0), m.FEndAt));
        // A millisecond before the start minus one second: still waiting.
        TestClock::Set(At(2026, 12, 9, 22, 59, 58, 999));
        m.TimerStartTimeTimer(m.TimerStartTime);
        EXPECT_TRUE(m.TimerStartTime->Enabled());
        EXPECT_TRUE(FormCaptureSize->Visible());
        TestClock::Set(At(2026, 12, 9, 22, 59, 59));
        m.TimerStartTimeTimer(m.TimerStartTime);
        EXPECT_FALSE(m.TimerStartTime->Enabled());
        EXPECT_FALSE(FormCaptureSize->Visible());
    });
    {
        StartWaitGuard guard(20000);
        RecordingWindows::PressStart();
    }
    ASSERT_TRUE(waited);
    ASSERT_EQ(std::vector<std::wstring>{}, W->Shown());
    RecordingWindows::ExpectRecording();
    EXPECT_FALSE(m.lblTimeWait->Visible());
    EXPECT_TRUE(m.TimerEndTime->Enabled());
    // Named after the moment the wait ended.
    EXPECT_EQ(L"20261209_225959.mp3", m.FSettings->FileName);
    EXPECT_TRUE(SameMoment(At(2026, 12, 9, 22, 59, 59), m.FRecStart));

    // 01:00 itself is not past the end; the first tick after it is.
    TestClock::Set(At(2026, 12, 10, 1, 0, 0));
    m.TimerEndTimeTimer(m.TimerEndTime);
    RecordingWindows::ExpectRecording();
    EXPECT_EQ(0, W->ConversionsRun());
    TestClock::Set(At(2026, 12, 10, 1, 0, 0, 400));
    m.TimerEndTimeTimer(m.TimerEndTime);
    W->ExpectConverted();
    EXPECT_EQ(1, W->ConversionsRun());
    // The timers stay off: nothing finishes the recording again.
    PumpFor(1200);
    EXPECT_EQ(1, W->ConversionsRun());
    EXPECT_FALSE(m.TimerEndTime->Enabled());
    EXPECT_FALSE(m.TimerCaptureTime->Enabled());
}

TEST_F(TimeOfDay, StartPassedTodayWaitsForTomorrowAndTheFinishButtonCancels) {
    TFormMain& m = *FormMain;
    SetTimes(9, 0, 11, 0);
    TestClock::Set(At(2026, 12, 9, 10, 0, 0));
    bool waited = false;
    RunSoon([&] {
        waited = true;
        ExpectWaiting();
        EXPECT_TRUE(SameMoment(At(2026, 12, 10, 9, 0, 0), m.FStartAt));
        EXPECT_TRUE(SameMoment(At(2026, 12, 10, 11, 0, 0), m.FEndAt));
        RecordingWindows::PressFinish();
    });
    {
        StartWaitGuard guard(20000);
        RecordingWindows::PressStart();
    }
    ASSERT_TRUE(waited);
    EXPECT_EQ(std::vector<std::wstring>{L"録画を開始せずに中断しました"}, W->Boxes().Texts);
    RecordingWindows::ExpectIdleAsBefore();
    EXPECT_EQ(L"untouched.mp3", m.FSettings->FileName);
    EXPECT_EQ(0, W->ConversionsRun());
    EXPECT_FALSE(FormProgress->Visible());
    // Later ticks start nothing.
    TestClock::Set(At(2026, 12, 10, 12, 0, 0));
    PumpFor(1200);
    EXPECT_EQ(0, W->ConversionsRun());
    EXPECT_NE(gsRunning, m.CaptureGraph->State());
}

TEST_F(TimeOfDay, EndBeforeStartAfterTheStartPassedAndAnEarlyFinishIsNotRepeated) {
    TFormMain& m = *FormMain;
    SetTimes(22, 0, 1, 0);
    TestClock::Set(At(2026, 12, 9, 23, 30, 0));
    bool waited = false;
    RunSoon([&] {
        waited = true;
        ExpectWaiting();
        EXPECT_TRUE(SameMoment(At(2026, 12, 10, 22, 0, 0), m.FStartAt));
        EXPECT_TRUE(SameMoment(At(2026, 12, 11, 1, 0, 0), m.FEndAt));
        // The start window's own timer ends the wait.
        TestClock::Set(At(2026, 12, 10, 21, 59, 59));
    });
    {
        StartWaitGuard guard(20000);
        RecordingWindows::PressStart();
    }
    ASSERT_TRUE(waited);
    ASSERT_EQ(std::vector<std::wstring>{}, W->Shown());
    RecordingWindows::ExpectRecording();
    EXPECT_FALSE(FormCaptureSize->Visible());
    EXPECT_EQ(L"20261210_215959.mp3", m.FSettings->FileName);

    PumpFor(300);
    RecordingWindows::PressFinish();
    W->ExpectConverted();
    FormProgress->BtnCloseClick(nullptr);
    EXPECT_TRUE(m.pngCaptureStart->Enabled());
    // The end time passes: the recording that ended is not finished again.
    TestClock::Set(At(2026, 12, 11, 1, 0, 1));
    PumpFor(1200);
    EXPECT_EQ(1, W->ConversionsRun());
    EXPECT_FALSE(m.TimerEndTime->Enabled());
    EXPECT_FALSE(FormProgress->Visible());
}

// A check after the wait refuses the start: the window stays in the
// recording state with the end time still set, and the end time then runs
// the finish.
TEST_F(TimeOfDay, RefusalAfterTheWaitLeavesTheEndTimeToFinish) {
    TFormMain& m = *FormMain;
    SetTimes(10, 5, 10, 10);
    TestClock::Set(At(2026, 12, 9, 10, 0, 0));
    RunSoon([&m] {
        // The sound source goes during the wait: the checks after it see so.
        RecordingWindows::NoSoundSource();
        TestClock::Set(At(2026, 12, 9, 10, 4, 59));
        m.TimerStartTimeTimer(m.TimerStartTime);
    });
    {
        StartWaitGuard guard(20000);
        RecordingWindows::PressStart();
    }
    EXPECT_EQ(std::vector<std::wstring>{L"オーディオ設定で入力元が選択されていません"}, W->Shown());
    EXPECT_FALSE(m.pngCaptureStart->Enabled());
    EXPECT_TRUE(m.pngCaptureFinish->Enabled());
    EXPECT_TRUE(m.TimerEndTime->Enabled());
    EXPECT_FALSE(m.TimerCaptureTime->Enabled());
    EXPECT_NE(gsRunning, m.CaptureGraph->State());
    EXPECT_EQ(L"20261209_100459.mp3", m.FSettings->FileName);

    TestClock::Set(At(2026, 12, 9, 10, 10, 0, 500));
    m.TimerEndTimeTimer(m.TimerEndTime);
    EXPECT_EQ(1, W->ConversionsRun());
    EXPECT_FALSE(m.TimerEndTime->Enabled());
    EXPECT_TRUE(FormProgress->BtnClose->Enabled());
    FormProgress->BtnCloseClick(nullptr);
    RecordingWindows::ExpectIdleAsBefore();
}

}  // namespace
