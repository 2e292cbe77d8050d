// Checks of the start that must not wait: a scheduled recording that cannot
// run is refused when the start button is pressed, not when its start time
// comes; a line name kept from an earlier run is no sound source when no
// capture device is listed; and a new recording's progress maximum is its
// own, not the previous recording's.
#include "tests/app/record_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

class StartChecks : public ::testing::Test {
protected:
    void SetUp() override {
        W = std::make_unique<RecordingWindows>(L"record_start_checks");
        FormMain->FStartTag = 7;
        FormMain->FStartAt = 1000.5;
    }
    void TearDown() override { W.reset(); }
    // The time-of-day mode, starting at 22:00 with the clock at 10:00.
    static void ScheduleForTonight() {
        TFormMain& m = *FormMain;
        m.RBRecTime->SetChecked(true);
        m.RBRecNowClick(m.RBRecTime);
        m.SERecTimeNN->SetValue(0);
        m.SERecTimeSS->SetValue(0);
        m.DateTimePickerStart->SetDateTime(EncodeDate(2026, 12, 9) + EncodeTime(22, 0, 0, 0));
        m.DateTimePickerEnd->SetDateTime(EncodeDate(2026, 12, 9) + EncodeTime(23, 0, 0, 0));
        TestClock::Set(At(2026, 12, 9, 10, 0, 0));
    }
    // Pressed in the time-of-day mode: refused at once with the message,
    // without a wait, and the window idle as before.
    void ExpectRefusedBeforeTheWait(TPNGButton* button, const wchar_t* message) {
        TFormMain& m = *FormMain;
        {
            StartWaitGuard guard(3000);
            RecordingWindows::Press(button);
        }
        EXPECT_EQ(std::vector<std::wstring>{message}, W->Shown());
        RecordingWindows::ExpectIdleAsBefore();
        EXPECT_EQ(7, m.FStartTag);
        EXPECT_EQ(1000.5, m.FStartAt);
        EXPECT_TRUE(FormCaptureSize->Visible());
        EXPECT_EQ(0, W->ConversionsRun());
    }
    // No capture device listed, as on a system whose device was removed.
    static void NoDeviceListed() {
        TFormMain& m = *FormMain;
        m.RBUseLoopBack->SetChecked(false);
        m.RBUseAudioDevice->SetChecked(true);
        m.CBAudioSourseName->Items().Clear();
        m.CBAudioSourseName->SetItemIndex(-1);
        m.CBAudioDeviceName->Items().Clear();
        m.CBAudioDeviceName->SetItemIndex(-1);
    }
    std::unique_ptr<RecordingWindows> W;
};

TEST_F(StartChecks, ScheduledITunesWithMpeg1IsRefusedBeforeTheWait) {
    ScheduleForTonight();
    FormMain->CBMovieType->SetItemIndex(mtMpeg1);
    ExpectRefusedBeforeTheWait(FormMain->pngCaptureAndiTunesStart, kITunesMpeg1);
}

TEST_F(StartChecks, ScheduledWithASaveFolderThatCannotBeMadeIsRefusedBeforeTheWait) {
    ScheduleForTonight();
    WriteFileBytes(W->Dir + L"blocker", "x");
    FormMain->EditSaveDir->SetText(W->Dir + L"blocker\\sub\\");
    ExpectRefusedBeforeTheWait(FormMain->pngCaptureStart, kNoFolder);
}

TEST_F(StartChecks, ScheduledWithASmallCaptureIsRefusedBeforeTheWait) {
    ScheduleForTonight();
    FormMain->EditCapturePosRigth->SetText(L"219");  // 119 wide
    ExpectRefusedBeforeTheWait(FormMain->pngCaptureStart, kTooSmall);
}

TEST_F(StartChecks, ScheduledWithoutASoundSourceIsRefusedBeforeTheWait) {
    ScheduleForTonight();
    RecordingWindows::NoSoundSource();
    ExpectRefusedBeforeTheWait(FormMain->pngCaptureStart, kNoSource);
}

TEST_F(StartChecks, ScheduledThatPassesWaits) {
    ScheduleForTonight();
    bool waited = false;
    RunSoon([&] {
        waited = FormMain->TimerStartTime->Enabled();
        FormMain->pngCaptureFinishClick(FormMain->pngCaptureFinish);
    });
    RecordingWindows::PressStart();
    EXPECT_TRUE(waited);
    EXPECT_EQ(std::vector<std::wstring>{L"録画を開始せずに中断しました"}, W->Shown());
    RecordingWindows::ExpectIdleAsBefore();
}

TEST_F(StartChecks, KeptLineNameWithoutAListedDeviceIsNoSoundSource) {
    TFormMain& m = *FormMain;
    NoDeviceListed();
    // What config.ini brought from a run with the device.
    m.FSettings->SourceName = L"Line In";
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kNoSource}, W->Shown());
    RecordingWindows::ExpectIdleAsBefore();
    EXPECT_EQ(0, W->ConversionsRun());
}

TEST_F(StartChecks, ProgressMaximumIsTheNewRecordingsOwn) {
    TFormMain& m = *FormMain;
    m.RBRecStart->SetChecked(true);
    RecordingWindows::SoundOnly();
    // The previous recording lasted 95 seconds.
    m.FElapsedSec = 95;
    RecordingWindows::PressStart();
    ASSERT_EQ(std::vector<std::wstring>{}, W->Shown());
    RecordingWindows::ExpectRecording();
    // Finished before its first elapsed-time tick.
    RecordingWindows::PressFinish();
    EXPECT_EQ(0, m.FElapsedSec);
    EXPECT_EQ(0, FormProgress->ProgressBarStatus->Max());
    EXPECT_EQ(1, W->ConversionsRun());
}

}  // namespace
