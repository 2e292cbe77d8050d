// Helpers of the recording tests: the main window with settings for a
// recording into a scratch folder, a clock of the test's own, work done
// from inside the program's own message loops, the conversions counted.
// The programs that use these run beside the stand-in converter, which
// ends at once with success when it has no script.
#pragma once

#include "tests/app/convert_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

namespace apptest {

// The clock the window reads: a fixed moment, or (when RealTimeFrom is
// set) that moment moving on with the real time since it was set.
struct TestClock {
    static inline TDateTime Now = 0;
    static inline bool Moving = false;
    static inline ULONGLONG MovingSince = 0;
    static TDateTime Read() {
        if (!Moving) return Now;
        return Now + static_cast<double>(GetTickCount64() - MovingSince) / MSecsPerDay;
    }
    static void Set(TDateTime value) {
        Now = value;
        Moving = false;
    }
    static void RealTimeFrom(TDateTime value) {
        Now = value;
        Moving = true;
        MovingSince = GetTickCount64();
    }
};

inline TDateTime At(int year, int month, int day, int hour, int minute, int second = 0, int ms = 0) {
    return EncodeDateTime(year, month, day, hour, minute, second, ms);
}
inline TDateTime Seconds(double s) { return s / 86400.0; }

// Runs work once from the first timer message that the GUI thread handles
// after this call: inside whatever message loop the program is in then.
inline void RunSoon(std::function<void()> work) {
    static std::function<void()> pending;
    pending = std::move(work);
    struct Fire {
        static void CALLBACK Proc(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            auto w = std::move(pending);
            pending = nullptr;
            if (w) w();
        }
    };
    SetTimer(nullptr, 0, 10, &Fire::Proc);
}

// Ends a wait for the start time that is still going on after ms
// milliseconds (as a failure), so that a wait that never ends cannot hold
// the test until its time-out. Gone with the guard.
class StartWaitGuard {
public:
    explicit StartWaitGuard(UINT ms) { FTimer = SetTimer(nullptr, 0, ms, &Proc); }
    ~StartWaitGuard() { KillTimer(nullptr, FTimer); }
    StartWaitGuard(const StartWaitGuard&) = delete;
    StartWaitGuard& operator=(const StartWaitGuard&) = delete;

private:
    static void CALLBACK Proc(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (!FormMain || !FormMain->TimerStartTime->Enabled()) return;
        ADD_FAILURE() << "the wait for the start time did not end";
        FormMain->pngCaptureFinishClick(FormMain->pngCaptureFinish);
    }
    UINT_PTR FTimer = 0;
};

// Stops a converter run that has been going on for about a minute (as a
// failure): a child that never gets going cannot hold the test until its
// time-out. Looks every five seconds while it lives.
class ConverterWatchdog {
public:
    ConverterWatchdog() {
        Ticks() = 0;
        FTimer = SetTimer(nullptr, 0, 5000, &Proc);
    }
    ~ConverterWatchdog() { KillTimer(nullptr, FTimer); }
    ConverterWatchdog(const ConverterWatchdog&) = delete;
    ConverterWatchdog& operator=(const ConverterWatchdog&) = delete;

private:
    static int& Ticks() {
        static int ticks = 0;
        return ticks;
    }
    static void CALLBACK Proc(HWND, UINT, UINT_PTR, DWORD) {
        if (!FormMain || !FormMain->DosCommandConvert || !FormMain->DosCommandConvert->IsRunning()) {
            Ticks() = 0;
            return;
        }
        if (++Ticks() < 12) return;
        Ticks() = 0;
        ADD_FAILURE() << "the converter did not end";
        FormMain->DosCommandConvert->Stop();
    }
    UINT_PTR FTimer = 0;
};

// Keeps handling the GUI thread's messages for about ms milliseconds.
inline void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) ProgramWindows::Pump(1);
}

constexpr wchar_t kNoDummySound[] = L"dummy file not exists";

// The windows of a recording test: settings for the null sink's monitor as
// the sound, saving into a scratch folder, the test's clock, a capture
// rectangle of 320 x 240, the set-time mode with one minute.
class RecordingWindows {
public:
    explicit RecordingWindows(const std::wstring& scratch) {
        Dir = ScratchFolder(scratch);
        const std::wstring lib = testsupport::ProgramFolder() + L"lib\\";
        DeleteFileW((lib + L"release").c_str());
        // The stand-in converter leaves an output that reads back as long as
        // any recording of these tests (their clock runs up to days).
        WriteFileBytes(lib + L"fake_converter.txt", "writeout 100\nexit 0\n");
        WriteFileBytes(lib + L"fake_probe.txt", "out size=N/A time=99:00:00.00 bitrate=N/A speed=1x\nexit 0\n");
        FWindows = std::make_unique<ProgramWindows>("DEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(Dir) +
                                                    "\r\nFPS=10\r\n");
        TFormMain& m = *FormMain;
        TestClock::Set(At(2026, 12, 9, 10, 0, 0));
        m.FClock = &TestClock::Read;
        m.EditCapturePosLeft->SetText(L"100");
        m.EditCapturePosTop->SetText(L"50");
        m.EditCapturePosRigth->SetText(L"420");
        m.EditCapturePosBottom->SetText(L"290");
        m.RBRecNow->SetChecked(true);
        m.SERecTimeNN->SetValue(1);
        m.SERecTimeSS->SetValue(0);
        // Every finished run of the converter is counted.
        TTerminateEvent original = m.DosCommandConvert->OnTerminated;
        auto count = Conversions;
        m.DosCommandConvert->OnTerminated = [original, count](TObject* sender, DWORD code) {
            if (original) original(sender, code);
            ++*count;
        };
        Boxes().Texts.clear();
    }
    ~RecordingWindows() {
        if (FormProgress && FormProgress->Visible() && FormProgress->BtnClose->Enabled())
            FormProgress->BtnCloseClick(nullptr);
        FWindows.reset();
        const std::wstring lib = testsupport::ProgramFolder() + L"lib\\";
        DeleteFileW((lib + L"fake_converter.txt").c_str());
        DeleteFileW((lib + L"fake_probe.txt").c_str());
    }
    MessageBoxAnswers& Boxes() { return FWindows->Boxes; }
    // The texts shown, but the missing dummy sound's (there is none beside
    // the test program).
    std::vector<std::wstring> Shown() const {
        std::vector<std::wstring> out;
        for (const auto& t : FWindows->Boxes.Texts)
            if (t != kNoDummySound) out.push_back(t);
        return out;
    }
    int ConversionsRun() const { return Conversions->load(); }

    // Sound from no source at all: the device radio, no input line.
    static void NoSoundSource() {
        FormMain->RBUseLoopBack->SetChecked(false);
        FormMain->RBUseAudioDevice->SetChecked(true);
        FormMain->CBAudioSourseName->SetItemIndex(-1);
    }
    static void SoundOnly() {
        FormMain->CBMovieSize->SetItemIndex(oscAudioOnly);
        FormMain->CBMovieSizeChange(FormMain->CBMovieSize);
    }
    static void Press(TPNGButton* button) { FormMain->pngCaptureStartClick(button); }
    static void PressStart() { Press(FormMain->pngCaptureStart); }
    static void PressFinish() { FormMain->pngCaptureFinishClick(FormMain->pngCaptureFinish); }

    // Nothing of a recording is under way and the settings can be changed.
    static void ExpectIdleAsBefore() {
        TFormMain& m = *FormMain;
        EXPECT_TRUE(m.pngCaptureStart->Enabled());
        EXPECT_TRUE(m.pngCaptureAndiTunesStart->Enabled());
        EXPECT_FALSE(m.pngCaptureFinish->Enabled());
        EXPECT_TRUE(m.CBMovieSize->Enabled());
        EXPECT_FALSE(m.TimerStartTime->Enabled());
        EXPECT_FALSE(m.TimerEndTime->Enabled());
        EXPECT_FALSE(m.TimerCaptureTime->Enabled());
        EXPECT_FALSE(m.lblTimeWait->Visible());
        EXPECT_NE(gsRunning, m.CaptureGraph->State());
        EXPECT_TRUE(m.Enabled());
    }
    // A recording under way: the graph runs, the elapsed-time timer too.
    static void ExpectRecording() {
        TFormMain& m = *FormMain;
        EXPECT_EQ(gsRunning, m.CaptureGraph->State());
        EXPECT_TRUE(m.TimerCaptureTime->Enabled());
        EXPECT_FALSE(m.pngCaptureStart->Enabled());
        EXPECT_TRUE(m.pngCaptureFinish->Enabled());
    }
    // The recording was stopped and converted: the final report.
    void ExpectConverted() const {
        TFormMain& m = *FormMain;
        EXPECT_NE(gsRunning, m.CaptureGraph->State());
        EXPECT_FALSE(m.TimerCaptureTime->Enabled());
        EXPECT_FALSE(m.TimerEndTime->Enabled());
        EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【" + m.FSettings->FileName + L"】",
                  FormProgress->LabelStatus->Caption());
        EXPECT_FALSE(m.Enabled());
    }

    std::wstring Dir;

private:
    std::unique_ptr<ProgramWindows> FWindows;
    std::shared_ptr<std::atomic<int>> Conversions = std::make_shared<std::atomic<int>>(0);
    ConverterWatchdog FWatchdog;
};

// The start's refusals, as the user reads them.
inline constexpr wchar_t kSameTimes[] = L"時間指定できる録画可能時間は23時間59分までです";
inline constexpr wchar_t kZeroTime[] = L"録画時間が0分0秒のため開始できません";
inline constexpr wchar_t kITunesMpeg1[] = L"iTunesに登録する場合、保存形式をMPEG4にしてください";
inline constexpr wchar_t kNoFolder[] =
    L"ファイル保存フォルダーが存在しないため、フォルダーを生成しようとしましたが失敗しました";
inline constexpr wchar_t kTooSmall[] = L"キャプチャサイズは、最低120ピクセル必要です";
inline constexpr wchar_t kNoSource[] = L"オーディオ設定で入力元が選択されていません";

}  // namespace apptest
