// The conversion of a stopped recording: the converter "lib\ffmpeg.exe" run
// through the console runner, its progress lines read into the progress
// dialog, cancel, and the outcome report.
#include "app/form_main.h"
#include "app/form_progress.h"
#include "classlib/runtime/application.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"

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
    dialog->FCancelled = false;
    dialog->FFailed.store(false);
    dialog->SetRange(0, static_cast<std::int32_t>(static_cast<std::uint32_t>(FElapsedSec & 0xFFFFFFFF)));
    dialog->Show();

    RunConverter();

    dialog->SetPosition(dialog->ProgressBarStatus->Max());
    const std::wstring avi = FSettings->TempAviPath;
    if (dialog->FCancelled) {
        // The recording stays: the user may convert it another way.
        dialog->SetStatus(L"キャンセルしました\r\n" + avi);
    } else if (dialog->FFailed.load()) {
        dialog->SetStatus(L"変換処理が失敗しました\r\n" + avi);
    } else {
        DeleteFileW(avi.c_str());
        dialog->SetStatus(L"変換処理が完了しました");
        dialog->BtnCancel->SetEnabled(false);
        if (FStartTag == 2) WaitForITunes();
        dialog->EnableOpenDir(true);
        dialog->SetStatus(L"全ての処理が完了しました\r\n保存ファイル名【" + FSettings->FileName + L"】");
    }
    dialog->SetPosition(0);
    dialog->EnableClose(true);
}

void TFormMain::RunConverter() {
    FConvertStart = FClock();
    DosCommandConvert->SetCommandLine(L"lib\\ffmpeg.exe" + FSettings->BuildFfmpegArgs());
    try {
        DosCommandConvert->ExecuteAndWait();
    } catch (...) {
        // A converter that cannot be started has not converted anything.
        if (FormProgress) FormProgress->FFailed.store(true);
    }
}

void TFormMain::DosCommandConvertNewLine(TObject*, const std::wstring& NewLine, TOutputType) {
    TFormProgress* dialog = FormProgress;
    if (!dialog) return;
    if (dialog->FCancelled) {
        if (!DosCommandConvert->IsRunning()) return;
        DosCommandConvert->Stop();
        while (DosCommandConvert->IsRunning()) {
            Application->ProcessMessages();
            Sleep(1);
        }
    }
    const std::size_t at = NewLine.find(L"time=");
    if (at == std::wstring::npos) return;
    std::wstring value = NewLine.substr(at + 5);
    const std::size_t bitrate = value.find(L"bitrate");
    value = bitrate == std::wstring::npos ? std::wstring() : value.substr(0, bitrate);
    double seconds = 0;
    if (!ParseProgressTime(value, seconds)) return;

    dialog->SetPosition(RoundHalfEven(seconds));
    const int maximum = dialog->ProgressBarStatus->Max();
    const int position = dialog->ProgressBarStatus->Position();
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
    if (ExitCode != 0 && FormProgress) FormProgress->FFailed.store(true);
}
