// The conversion of a stopped recording: the converter "lib\ffmpeg.exe" run
// through the console runner, its progress lines read into the progress
// dialog, cancel, and the outcome report.
#include "app/form_main.h"
#include "app/form_progress.h"
#include "classlib/runtime/application.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "classlib/runtime/thread.h"

#include <climits>
#include <cmath>
#include <cwctype>

namespace {

// Rounds to the nearest whole number, halves to the even neighbour, kept
// within the 32-bit range.
std::int32_t RoundHalfEven(double value) {
    if (!(value == value)) return 0;
    const double r = std::nearbyint(value);
    if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<std::int32_t>(r);
}

// Reads an unsigned decimal number ("12", "12.34", ".5") from the whole of
// text; false when anything else is there.
bool ReadUnsignedDecimal(std::wstring_view text, double& value) {
    if (text.empty()) return false;
    double whole = 0;
    std::size_t i = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        whole = whole * 10 + (text[i] - L'0');
        digits = true;
    }
    if (i < text.size() && text[i] == L'.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            whole += (text[i] - L'0') * scale;
            scale /= 10;
            digits = true;
        }
    }
    if (!digits || i != text.size()) return false;
    value = whole;
    return true;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

bool TFormMain::ParseProgressTime(const std::wstring& Text, double& Seconds) {
    std::size_t first = 0, last = Text.size();
    while (first < last && IsBlank(Text[first])) ++first;
    while (last > first && IsBlank(Text[last - 1])) --last;
    std::wstring_view t(Text.data() + first, last - first);
    bool negative = false;
    if (!t.empty() && (t[0] == L'-' || t[0] == L'+')) {
        negative = t[0] == L'-';
        t.remove_prefix(1);
    }
    double value = 0;
    const std::size_t colon = t.find(L':');
    if (colon == std::wstring_view::npos) {
        if (!ReadUnsignedDecimal(t, value)) return false;
    } else {
        // hours:minutes:seconds, the form every current converter prints.
        const std::size_t second = t.find(L':', colon + 1);
        if (second == std::wstring_view::npos) return false;
        const std::wstring_view h = t.substr(0, colon), m = t.substr(colon + 1, second - colon - 1),
                                s = t.substr(second + 1);
        double hv = 0, mv = 0, sv = 0;
        if (h.find(L'.') != std::wstring_view::npos || m.find(L'.') != std::wstring_view::npos) return false;
        if (!ReadUnsignedDecimal(h, hv) || !ReadUnsignedDecimal(m, mv) || !ReadUnsignedDecimal(s, sv)) return false;
        value = hv * 3600 + mv * 60 + sv;
    }
    Seconds = negative ? -value : value;
    return true;
}

std::wstring TFormMain::FormatRemaining(std::int32_t Seconds) {
    return Format(L"%.2d時間%.2d分%.2d秒", Seconds / 3600, (Seconds % 3600) / 60, Seconds % 60);
}

void TFormMain::ConvertRecording() {
    TFormProgress* dialog = FormProgress;
    if (!dialog) return;
    dialog->SetStatus(L"初期化しています");
    dialog->EnableClose(false);
    dialog->EnableOpenDir(false);
    dialog->SetOpenDir(FSettings->SaveDir);
    dialog->ClearOutcome();
    dialog->SetRange(0, static_cast<std::int32_t>(static_cast<std::uint32_t>(FElapsedSec & 0xFFFFFFFF)));
    dialog->Show();

    const std::wstring avi = FSettings->TempAviPath;
    const std::wstring output = FSettings->SaveDir + FSettings->FileName;
    // The read-back's process is created while the converter works, so that
    // after it the read only has to run.
    TReadBack readBack(output);
    RunConverter(&readBack);

    // The exit code alone proves nothing (a converter has been seen to end
    // with 0 having written nothing, or a file without its index): the
    // recording, whose only copy the AVI is, goes only when the output is
    // known to be whole.
    bool whole = false;
    if (!dialog->Cancelled() && !dialog->Failed() && !FOutputWriteFailed) {
        double expected = static_cast<double>(FElapsedSec);
        double written = 0;
        // Stopped by a failure: the AVI may hold less than the time that
        // passed; what it holds is what the output must hold.
        if (FStoppedEarly && ProbeDuration(avi, written) && written < expected) expected = written;
        whole = OutputIsWhole(readBack, expected);
    }
    dialog->SetPosition(dialog->Maximum());
    if (!whole) {
        // Whatever the converter left under the finished file's name is not
        // a finished recording; the AVI stays and is named.
        RemoveUnfinishedOutput(output);
    }
    if (dialog->Cancelled()) {
        // The recording stays: the user may convert it another way.
        dialog->SetStatus(L"キャンセルしました\r\n" + avi);
    } else if (!whole) {
        dialog->SetStatus(L"変換処理が失敗しました\r\n" + avi);
    } else {
        DeleteFileW(avi.c_str());
        dialog->SetStatus(L"変換処理が完了しました");
        dialog->EnableCancel(false);
        if (FStartTag == 2) WaitForITunes();
        dialog->EnableOpenDir(true);
        const std::wstring saved = L"保存ファイル名【" + FSettings->FileName + L"】";
        if (FStoppedEarly)
            dialog->SetStatus(L"録画が途中で停止しました（" + FStopReason + L"）\r\n" + saved);
        else
            dialog->SetStatus(L"全ての処理が完了しました\r\n" + saved);
    }
    dialog->SetPosition(0);
    dialog->EnableClose(true);
}

void TFormMain::RunConverter(TReadBack* ReadBack) {
    FConvertStart = FClock();
    FOutputWriteFailed = false;
    FConverterEnded.store(false);
    DosCommandConvert->SetCommandLine(L"lib\\ffmpeg.exe" + FSettings->BuildFfmpegArgs());
    try {
        RunUntilEndOrCancel(*DosCommandConvert, ReadBack);
    } catch (...) {
        // A converter that cannot be started has not converted anything.
        if (FormProgress) FormProgress->MarkFailed();
    }
    if (FormProgress && FormProgress->Cancelled()) {
        // A stopped converter is ended by the runner's worker a moment
        // later; until then it may still hold its output open.
        for (int i = 0; i < 2000 && !FConverterEnded.load(); ++i) {
            Application->ProcessMessages();
            Sleep(5);
        }
    }
}

DWORD TFormMain::RunUntilEndOrCancel(TDosCommand& Command, TReadBack* ReadBack) {
    Command.Execute();
    while (Command.IsRunning()) {
        // Not before the child runs: until then the runner's pipe ends for
        // it are inheritable, and a process created meanwhile could take
        // them. Created after the child, it costs the child's start nothing.
        if (ReadBack && Command.Status() == dcsRunning) {
            ReadBack->Prepare();
            ReadBack = nullptr;
        }
        Application->ProcessMessages();
        // The cancel is acted on at once, whether the program prints or not.
        if (FormProgress && FormProgress->Cancelled()) {
            Command.Stop();
            return STILL_ACTIVE;
        }
        if (!Command.IsRunning()) break;
        HANDLE sync = static_cast<HANDLE>(SyncEvent());
        MsgWaitForMultipleObjectsEx(sync ? 1 : 0, &sync, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return Command.ExitCode();
}

bool TFormMain::ReportsWriteFailure(const std::wstring& Line) {
    // The converter's own words when a write to its output fails (a full or
    // lost drive): the trailer, a packet or the closing of the file.
    static const wchar_t* const marks[] = {L"Error writing trailer", L"No space left on device",
                                           L"Error closing file",    L"av_interleaved_write_frame()",
                                           L"Error muxing a packet", L"Error submitting a packet to the muxer",
                                           L"Disk quota exceeded"};
    for (const wchar_t* mark : marks)
        if (Line.find(mark) != std::wstring::npos) return true;
    return false;
}

bool TFormMain::ProgressLineTime(const std::wstring& Line, double& Seconds) {
    const std::size_t at = Line.find(L"time=");
    if (at == std::wstring::npos) return false;
    std::wstring value = Line.substr(at + 5);
    const std::size_t bitrate = value.find(L"bitrate");
    value = bitrate == std::wstring::npos ? std::wstring() : value.substr(0, bitrate);
    return ParseProgressTime(value, Seconds);
}

bool TFormMain::ProbeDuration(const std::wstring& File, double& Seconds) {
    TReadBack readBack(File);
    return ReadBackDuration(readBack, Seconds);
}

bool TFormMain::ReadBackDuration(TReadBack& ReadBack, double& Seconds) {
    return ReadBack.Run(Seconds, [](HANDLE child) {
        Application->ProcessMessages();
        if (FormProgress && FormProgress->Cancelled()) return false;
        HANDLE waits[] = {child, static_cast<HANDLE>(SyncEvent())};
        MsgWaitForMultipleObjectsEx(waits[1] ? 2 : 1, waits, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        return true;
    });
}

bool TFormMain::OutputIsWhole(TReadBack& ReadBack, double Expected) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ReadBack.File().c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return false;
    if (data.nFileSizeHigh == 0 && data.nFileSizeLow == 0) return false;
    double seconds = 0;
    if (!ReadBackDuration(ReadBack, seconds)) return false;
    // Expected is whole seconds counted down from the recorded time, so the
    // recording itself is at least that long. The output may still read a
    // little shorter: the last packet's time is the start of the last video
    // frame, one frame interval before the end (0.1 s at the slowest frame
    // rate offered, still no more than 1 s at one frame a second), and the
    // capture delivers its first sample a moment after the recording's
    // clock started (well under 1 s). 2 s covers both; the 1 %
    // covers the drift between the capture's clock and the wall clock over a
    // long recording. A file cut short loses far more: an MP4 without its
    // index reads as nothing at all.
    const double tolerance = 2.0 + Expected / 100.0;
    return seconds + tolerance >= Expected;
}

void TFormMain::RemoveUnfinishedOutput(const std::wstring& Path) {
    const DWORD attributes = GetFileAttributesW(Path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    // Only a file; never a folder or a device that happens to bear the name.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return;
    // A converter that was just ended may hold the file for a moment more.
    for (int i = 0; i < 200; ++i) {
        if (DeleteFileW(Path.c_str())) return;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) return;
        Application->ProcessMessages();
        Sleep(10);
    }
}

void TFormMain::DosCommandConvertNewLine(TObject*, const std::wstring& NewLine, TOutputType) {
    TFormProgress* dialog = FormProgress;
    if (!dialog) return;
    if (dialog->Cancelled()) {
        if (!DosCommandConvert->IsRunning()) return;
        DosCommandConvert->Stop();
        while (DosCommandConvert->IsRunning()) {
            Application->ProcessMessages();
            Sleep(1);
        }
    }
    if (ReportsWriteFailure(NewLine)) FOutputWriteFailed = true;
    double seconds = 0;
    if (!ProgressLineTime(NewLine, seconds)) return;

    dialog->SetPosition(RoundHalfEven(seconds));
    const int maximum = dialog->Maximum();
    const int position = dialog->Position();
    if (maximum == 0 || position == 0) return;

    const double percent = static_cast<double>(position) / maximum * 100;
    int h = 0, m = 0, s = 0, ms = 0;
    DecodeTime(FClock() - FConvertStart, h, m, s, ms);
    const double elapsed = h * 3600.0 + m * 60.0 + s;
    const std::int32_t remaining = RoundHalfEven(elapsed / percent * (100 - percent));
    dialog->SetStatus(L"変換処理を行っています\r\n(" + Format(L"%0.2f", percent) + L"%完了 / 残り時間：" +
                      FormatRemaining(remaining) + L")");
}

void TFormMain::DosCommandConvertTerminated(TObject*, DWORD ExitCode) {
    if (ExitCode != 0 && FormProgress) FormProgress->MarkFailed();
    FConverterEnded.store(true);
}
