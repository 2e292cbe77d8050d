// Helpers of the end-to-end recording tests: the main window driven through
// its window messages (button presses as mouse input on the parent window),
// waits that keep the GUI thread's messages flowing, the capture graph's
// filter names, and the shipped converter lib\ffmpeg.exe run by the test to
// describe and decode what a recording produced.
#pragma once

#include "tests/app/convert_support.h"
#include "tests/media/graph_component_support.h"

#include <gtest/gtest.h>

#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

// Settings of a recording from the null sink's monitor into saveDir; extra
// lines ("KEY=value\r\n") follow.
inline std::string RecordConfig(const std::wstring& saveDir, const std::string& extra = "") {
    return "DEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(saveDir) + "\r\nFPS=10\r\n" + extra;
}

// The capture rectangle as the user types it into the four edits.
inline void TypeCaptureRect(int left, int top, int right, int bottom) {
    FormMain->EditCapturePosLeft->SetText(std::to_wstring(left));
    FormMain->EditCapturePosTop->SetText(std::to_wstring(top));
    FormMain->EditCapturePosRigth->SetText(std::to_wstring(right));
    FormMain->EditCapturePosBottom->SetText(std::to_wstring(bottom));
}

// A left click on an image button, as the mouse gives it to the window the
// button lies on. The click is handled by the next message processing.
inline void PressButton(TPNGButton* button) {
    const HWND parent = button->Parent()->Handle();
    const LPARAM at = MAKELPARAM(button->Left() + button->Width() / 2, button->Top() + button->Height() / 2);
    PostMessageW(parent, WM_MOUSEMOVE, 0, at);
    PostMessageW(parent, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(parent, WM_LBUTTONUP, 0, at);
}

// Processes window messages until done() holds or the time is up; whether
// it held. The time limit only guards against a hang.
inline bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        Application->ProcessMessages();
        Sleep(10);
    }
    return true;
}

// Processes window messages for the given time.
inline void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        Application->ProcessMessages();
        Sleep(10);
    }
}

inline bool Recording() { return FormMain->TimerCaptureTime->Enabled(); }

// The conversion has ended and reported: the dialog shows with its close
// button enabled.
inline bool ConversionReported() { return FormProgress->Visible() && FormProgress->BtnClose->Enabled(); }

// The names of the filters in the recording's graph.
inline std::vector<std::wstring> GraphFilterNames() { return graphcomponenttest::FilterNames(*FormMain->CaptureGraph); }

inline bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What lib\ffmpeg.exe beside the test program printed, and its exit code.
using FfmpegRun = testsupport::HiddenRun;

// Runs lib\ffmpeg.exe with the arguments, its standard output and error
// into one file, without input. A converter that could not be started fails
// the test here, so that a description or decode that comes back empty
// always means the converter found nothing.
inline FfmpegRun RunFfmpeg(const std::wstring& arguments) {
    const std::wstring folder = testsupport::ProgramFolder();
    // A file of its own for every run: under Wine a helper of the ended
    // converter's console may hold the last run's file open for a moment,
    // so that a file of the same name can neither be removed nor made anew.
    static int runs = 0;
    // Files of earlier runs that could not be removed then.
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"record_ffmpeg_output_*.txt").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    const std::wstring log = folder + L"record_ffmpeg_output_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                             std::to_wstring(++runs) + L".txt";
    FfmpegRun run =
        testsupport::RunHidden(L"\"" + folder + L"lib\\ffmpeg.exe\" -nostdin -hide_banner " + arguments, log);
    EXPECT_EQ(0u, run.StartError) << "lib\\ffmpeg.exe did not start (system error " << run.StartError << ")";
    EXPECT_NE(-1, run.ExitCode) << "lib\\ffmpeg.exe did not end in time";
    EXPECT_TRUE(DeleteFileW(log.c_str())) << "its output file stays held (system error " << GetLastError() << ")";
    return run;
}

inline bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The converter's description of a media file: its stream lines and the
// container's length.
struct MediaDescription {
    std::string Text;
    std::vector<std::string> VideoStreams;
    std::vector<std::string> AudioStreams;
    double Duration = -1;  // seconds; -1 when not given
};

inline MediaDescription Describe(const std::wstring& file) {
    MediaDescription d;
    d.Text = RunFfmpeg(L"-i " + Quoted(file)).Output;
    std::size_t at = 0;
    while (at < d.Text.size()) {
        std::size_t end = d.Text.find('\n', at);
        if (end == std::string::npos) end = d.Text.size();
        std::string line = d.Text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("Stream #") != std::string::npos) {
            if (line.find("Video:") != std::string::npos) d.VideoStreams.push_back(line);
            if (line.find("Audio:") != std::string::npos) d.AudioStreams.push_back(line);
        }
        const std::size_t duration = line.find("Duration: ");
        int h = 0, m = 0;
        double s = 0;
        if (duration != std::string::npos && std::sscanf(line.c_str() + duration + 10, "%d:%d:%lf", &h, &m, &s) == 3)
            d.Duration = h * 3600.0 + m * 60.0 + s;
    }
    return d;
}

// What the converter said when a decode wrote nothing.
inline void ReportEmptyDecode(const FfmpegRun& run) {
    ADD_FAILURE() << "lib\\ffmpeg.exe decoded nothing: exit code " << run.ExitCode << " after " << run.Seconds
                  << " s, its output:\n"
                  << run.Output;
}

// One decoded frame at the given second, top-down B, G, R bytes; empty when
// none could be decoded.
inline std::vector<BYTE> DecodeFrame(const std::wstring& file, double second, const std::wstring& scratch) {
    const std::wstring raw = scratch + L"frame.bgr";
    DeleteFileW(raw.c_str());
    const FfmpegRun run = RunFfmpeg(L"-ss " + std::to_wstring(second) + L" -i " + Quoted(file) +
                                    L" -frames:v 1 -f rawvideo -pix_fmt bgr24 -y " + Quoted(raw));
    const std::string bytes = ReadFileBytes(raw);
    if (bytes.empty()) ReportEmptyDecode(run);
    DeleteFileW(raw.c_str());
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

// The sound from the given second on, mixed to one channel at 44100 Hz.
inline std::vector<double> DecodeSound(const std::wstring& file, double from, double seconds,
                                       const std::wstring& scratch) {
    const std::wstring raw = scratch + L"sound.pcm";
    DeleteFileW(raw.c_str());
    const FfmpegRun run = RunFfmpeg(L"-ss " + std::to_wstring(from) + L" -t " + std::to_wstring(seconds) + L" -i " +
                                    Quoted(file) + L" -vn -ac 1 -ar 44100 -f s16le -y " + Quoted(raw));
    const std::string bytes = ReadFileBytes(raw);
    if (bytes.empty()) ReportEmptyDecode(run);
    DeleteFileW(raw.c_str());
    std::vector<double> values(bytes.size() / 2);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] =
            static_cast<std::int16_t>(static_cast<BYTE>(bytes[2 * i]) | (static_cast<BYTE>(bytes[2 * i + 1]) << 8));
    return values;
}

// A test that records with the program's windows built in its own process:
// settings from a config.ini text, the start pressed through the window, and
// waits for the recording and its report.
class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Away from every capture rectangle of these tests.
        SetCursorPos(1910, 1070);
        Dir = ScratchFolder(L"record");
    }
    void TearDown() override {
        if (FWindows && FormMain && FormMain->FSettings && !FormMain->FSettings->TempAviPath.empty())
            DeleteFileW(FormMain->FSettings->TempAviPath.c_str());
        FWindows.reset();
    }

    // The windows, with the save folder Dir and the extra settings.
    void Open(const std::string& extra = "") {
        FWindows = std::make_unique<ProgramWindows>(RecordConfig(Dir, extra));
        Boxes().Texts.clear();
        Boxes().Captions.clear();
        Boxes().Flags.clear();
    }

    // Presses the start button and waits until the graph runs; false (with
    // the message boxes shown) when it did not start.
    ::testing::AssertionResult Start(TPNGButton* button = nullptr) {
        const std::size_t shown = Boxes().Texts.size();
        PressButton(button ? button : FormMain->pngCaptureStart);
        if (!PumpUntil([&] { return Recording() || Boxes().Texts.size() > shown; }, 60000))
            return ::testing::AssertionFailure() << "the recording did not start";
        if (Boxes().Texts.size() > shown)
            return ::testing::AssertionFailure() << "message: " << Narrow(Boxes().Texts[shown]);
        return ::testing::AssertionSuccess();
    }

    // Waits until the conversion has reported its outcome.
    static ::testing::AssertionResult Reported() {
        if (PumpUntil(ConversionReported, 240000)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no report; status: " << Narrow(FormProgress->LabelStatus->Caption());
    }

    MessageBoxAnswers& Boxes() { return FWindows->Boxes; }
    static std::wstring Status() { return FormProgress->LabelStatus->Caption(); }
    static std::wstring Output() { return FormMain->FSettings->SaveDir + FormMain->FSettings->FileName; }
    static std::wstring Avi() { return FormMain->FSettings->TempAviPath; }
    static std::wstring SuccessReport() {
        return L"全ての処理が完了しました\r\n保存ファイル名【" + FormMain->FSettings->FileName + L"】";
    }

    std::wstring Dir;
    std::unique_ptr<ProgramWindows> FWindows;
};

}  // namespace apptest
