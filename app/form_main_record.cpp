// The recording's control: the start with its checks and the three modes,
// the wait for a start time of day, the names of the output and the
// temporary AVI, the elapsed time and the limit, the end time, and the
// finish that stops the graph and hands the recording to the conversion.
#include "app/form_capture_size.h"
#include "app/form_capture_start_size.h"
#include "app/form_main.h"
#include "classlib/runtime/application.h"
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "media/direct_show_error.h"

#include <cmath>

namespace {

TDateTime TimeOfDayPart(TDateTime Value) { return Value - std::floor(Value); }

// The platform's text for the failure that ended a recording: the system's
// message for the code (a full disk, a lost drive), else the media
// platform's own text for it.
std::wstring StopReasonText(HRESULT code) {
    std::wstring result = SysErrorMessage(static_cast<unsigned long>(code));
    if (result.empty()) result = GetErrorText(code);
    return result;
}

// The refusal of the iTunes start button with MPEG-1.
bool ITunesFormatAccepted(TFormMain& Main, std::int32_t Tag) {
    if (Tag == 2 && Main.CBMovieType->ItemIndex() == 1) {
        ShowMessage(L"iTunesに登録する場合、保存形式をMPEG4にしてください");
        return false;
    }
    return true;
}

// The save folder, made with its parents when missing.
bool SaveDirReady(const MvCaptureAndConvertInfo& S) {
    if (!DirectoryExists(S.SaveDir) && !ForceDirectories(S.SaveDir)) {
        ShowMessage(L"ファイル保存フォルダーが存在しないため、フォルダーを生成しようとしましたが失敗しました");
        return false;
    }
    return true;
}

bool CaptureSizeAccepted(const MvCaptureAndConvertInfo& S) {
    if (S.Category == oscAudioOnly) return true;
    std::wstring message;
    if (!TFormMain::CheckMinCaptureSize(S.CaptureSize(), message)) {
        ShowMessage(message);
        return false;
    }
    return true;
}

// Loopback, or a listed capture device with a chosen input line. A line
// name kept from an earlier run is not a source when no device is chosen
// (none listed, or the stored one gone).
bool SoundSourceChosen(TFormMain& Main, const MvCaptureAndConvertInfo& S) {
    if (S.UseLoopback || (!S.SourceName.empty() && Main.CBAudioDeviceName->ItemIndex() >= 0)) return true;
    ShowMessage(L"オーディオ設定で入力元が選択されていません");
    return false;
}

}  // namespace

bool TFormMain::CheckMinCaptureSize(POINT Size, std::wstring& Message) {
    if (Size.x >= MinCaptureSize && Size.y >= MinCaptureSize) return true;
    Message = L"キャプチャサイズは、最低" + std::to_wstring(MinCaptureSize) + L"ピクセル必要です";
    return false;
}

std::wstring TFormMain::GetTempDir() { return TempFolder(); }

void TFormMain::pngCaptureStartClick(TObject* Sender) {
    // 1. The mode.
    if (RBRecTime->Checked()) {
        const TDateTime start = TimeOfDayPart(DateTimePickerStart->DateTime());
        const TDateTime end = TimeOfDayPart(DateTimePickerEnd->DateTime());
        if (MilliSecondOfDay(start) == MilliSecondOfDay(end)) {
            ShowMessage(L"時間指定できる録画可能時間は23時間59分までです");
            return;
        }
        // A recording that cannot start is refused now, while the user is
        // here, not when its start time comes; the checks run again then.
        auto* pressed = dynamic_cast<TComponent*>(Sender);
        if (!ITunesFormatAccepted(*this, pressed ? static_cast<std::int32_t>(pressed->Tag()) : 0)) return;
        UiToSettings();
        if (!SaveDirReady(*FSettings) || !CaptureSizeAccepted(*FSettings) || !SoundSourceChosen(*this, *FSettings))
            return;
        const TDateTime now = FClock();
        const TDateTime today = std::floor(now);
        FStartAt = today + start;
        FEndAt = today + end;
        if (FStartAt > FEndAt) FEndAt += 1;
        if (now > FStartAt) {
            FStartAt += 1;
            FEndAt += 1;
        }
        SetUiState(usRecording);
        lblTimeWait->SetVisible(true);
        TimerStartTime->SetEnabled(true);
        // Timers, the finish button and the other windows stay live.
        while (TimerStartTime->Enabled() && !Application->Terminated()) Application->HandleMessage();
        lblTimeWait->SetVisible(false);
        if (Application->Terminated()) {
            TimerStartTime->SetEnabled(false);
            return;
        }
        // The finish button ended the wait.
        if (pngCaptureStart->Enabled()) return;
        TimerEndTime->SetEnabled(true);
    } else if (RBRecNow->Checked()) {
        if (SERecTimeNN->Value() == 0 && SERecTimeSS->Value() == 0) {
            ShowMessage(L"録画時間が0分0秒のため開始できません");
            return;
        }
    }

    // 2. Which start button.
    auto* button = dynamic_cast<TComponent*>(Sender);
    FStartTag = button ? static_cast<std::int32_t>(button->Tag()) : 0;
    if (!ITunesFormatAccepted(*this, FStartTag)) return;

    // 3. The settings of the window.
    FStoppedEarly = false;
    FStopReason.clear();
    PlayDummySound();
    UiToSettings();
    MvCaptureAndConvertInfo& s = *FSettings;

    // 4.-7. The folder and the names.
    const std::wstring ext = s.Category == oscAudioOnly ? L".mp3" : s.MovieType == mtMpeg1 ? L".mpg" : L".mp4";
    if (!SaveDirReady(s)) return;
    s.FileName = FormatDateTime(L"yyyymmdd_hhnnss", FClock()) + ext;
    // A recording of the same second is there: wait for a second whose
    // name is free.
    while (FileExists(s.SaveDir + s.FileName)) {
        s.FileName = FormatDateTime(L"yyyymmdd_hhnnss", FClock()) + ext;
        Sleep(500);
    }
    s.TempAviPath = GetTempDir() + ChangeFileExt(s.FileName, L".avi");
    if (FileExists(s.TempAviPath)) DeleteFileW(s.TempAviPath.c_str());

    // 8.-9. The size and the sound source; then the graph.
    if (!CaptureSizeAccepted(s) || !SoundSourceChosen(*this, s)) return;
    // The progress maximum is this recording's length, also when it ends
    // before the first tick or its graph could not be built.
    FElapsedSec = 0;
    SetUiState(usRecording);
    BuildAndRunGraph();
}

void TFormMain::pngCaptureFinishClick(TObject*) {
    if (TimerStartTime->Enabled()) {
        // Still waiting for the start time: nothing was recorded.
        SetUiState(usIdle);
        TimerStartTime->SetEnabled(false);
        ShowMessage(L"録画を開始せずに中断しました");
        return;
    }
    if (FSettings->RecRange) ShowRecordFrame(false);
    SetEnabled(false);
    try {
        StopCapture();
    } catch (...) {
        // The graph did not stop: nothing is converted and the recording is
        // left where it is. The finish button stays, to try once more.
        TimerCaptureTime->SetEnabled(false);
        TimerEndTime->SetEnabled(false);
        SetEnabled(true);
        throw;
    }
    ConvertRecording();
}

void TFormMain::StopCapture() {
    CaptureGraph->Stop();
    TimerCaptureTime->SetEnabled(false);
    TimerEndTime->SetEnabled(false);
}

void TFormMain::ShowRecordFrame(bool Visible) {
    TFormCaptureStartSize* frame = FormCaptureStartSize;
    if (!frame) return;
    if (!Visible) {
        frame->Hide();
        return;
    }
    frame->Show();
    const int pen = frame->ShapeWindowSize->Pen().Width();
    const POINT size = FSettings->CaptureSize();
    frame->SetBounds(FSettings->CapturePosLeft - pen, FSettings->CapturePosTop - pen, size.x + 2 * pen,
                     size.y + 2 * pen);
}

void TFormMain::UpdateElapsed() {
    // Whole seconds since the start, counted on past a day.
    const long long ms = std::llround((FClock() - FRecStart) * MSecsPerDay);
    const std::int64_t seconds = ms > 0 ? ms / 1000 : 0;
    const std::int64_t hh = seconds / 3600, nn = (seconds % 3600) / 60, ss = seconds % 60;
    lblCaptureTime->SetCaption(L"(経過時間 " + Format(L"%.2d", hh) + L"：" + Format(L"%.2d", nn) + L"：" +
                               Format(L"%.2d", ss) + L")");
    FElapsedSec = seconds;
}

void TFormMain::TimerCaptureTimeTimer(TObject*) {
    UpdateElapsed();
    if (FSettings->RecLimitNN > 0 || FSettings->RecLimitSS > 0) {
        FLimitSec = static_cast<std::int64_t>(FSettings->RecLimitNN) * 60 + FSettings->RecLimitSS;
        if (FElapsedSec >= FLimitSec) pngCaptureFinishClick(nullptr);
    }
}

void TFormMain::CaptureGraphErrorAbort(TObject*, HRESULT Result) {
    // Only a recording under way is finished; the finish of a recording
    // (the main window disabled) or a graph at rest has nothing to end.
    if (!TimerCaptureTime->Enabled() || !Enabled() || FStoppedEarly) return;
    FStoppedEarly = true;
    FStopReason = StopReasonText(Result);
    while (!FStopReason.empty() && (FStopReason.back() == L'\n' || FStopReason.back() == L'\r' ||
                                    FStopReason.back() == L' ' || FStopReason.back() == L'.'))
        FStopReason.pop_back();
    if (FStopReason.empty()) FStopReason = Format(L"$%.8X", static_cast<unsigned>(Result));
    // The time recorded is the time until the file stopped growing.
    UpdateElapsed();
    TimerCaptureTime->SetEnabled(false);
    TimerEndTime->SetEnabled(false);
    // Finished from a message of its own: the graph's event handling is not
    // the place to stop the graph and run the whole conversion.
    PostMessageW(Handle(), WM_RECORDING_FAILED, 0, 0);
}

void TFormMain::CaptureGraphStreamErrorStopped(TObject* Sender, HRESULT Operation, std::uint32_t) {
    CaptureGraphErrorAbort(Sender, Operation);
}

void TFormMain::RecordingFailed() {
    if (!FStoppedEarly || !Enabled() || pngCaptureStart->Enabled()) return;
    pngCaptureFinishClick(nullptr);
}

void TFormMain::TimerStartTimeTimer(TObject*) {
    if (FClock() >= FStartAt - OneSecond) {
        TimerStartTime->SetEnabled(false);
        if (FormCaptureSize) FormCaptureSize->Hide();
    }
}

void TFormMain::TimerEndTimeTimer(TObject* Sender) {
    if (FClock() > FEndAt) {
        TimerEndTime->SetEnabled(false);
        pngCaptureFinishClick(Sender);
    }
}
