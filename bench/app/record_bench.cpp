// The whole road of one recording, in the program's own windows: the
// until-finish mode for 10 seconds at 1280x720 and at 1920x1080, 30 frames
// per second, uncompressed ("無圧縮") into the temporary AVI, with the sound
// of the capture device "Monitor of Null Output", then the MPEG-4
// conversion. For each size it prints
//   - the video frames in the AVI (non-empty video chunks, of 300),
//   - the length of the sound and of the video in the AVI and their
//     difference,
//   - the time from the finish to the final report, against the same
//     lib\ffmpeg.exe command line run by hand on the same AVI in the same
//     run (the middle of three runs), and their ratio; where the time went
//     (the converter's start, its first line and end, the read-back of the
//     output) and the processor time the program itself took meanwhile;
//     then the read-back alone (started then, and prepared ahead as the
//     program does) and the same command by hand, three times each.
// The AVI is kept aside by a hard link made when the converter prints its
// first line (a successful conversion deletes the temporary file).
//
// Run by hand in a prepared environment, for example:
//   tools/wineenv.sh start build/benchenv win64
//   tools/prepare-prefix.sh build/benchenv build/x86_64
//   tools/wineenv.sh exec build/benchenv build/x86_64/bin/record_bench.exe
//   tools/wineenv.sh stop build/benchenv
// Arguments (optional): the seconds to record (10) and the sizes to run
// ("720", "1080" or "both"); "--load N" anywhere runs N CPU-bound processes
// for the whole run; "--watch-stalls" prints what else of this process was
// held up while it recorded (bench/common/stall_watch.h).
//
// Each recording also says where its frames went (bench/common/frame_trace.h:
// the multiplexer's per-sample trace, a per-frame CSV beside the recording,
// the GUI and streaming threads' processor time). What the screen filter
// alone delivers in the same conditions: bench/screen/pixenta_bench with the
// same "--load", run next to it.
#include "bench/common/cpu_load.h"
#include "bench/common/frame_trace.h"
#include "bench/common/stall_watch.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/wine_platform/avi_reader.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

bool gWatchStalls = false;

// Keeps the window's messages going for the given time, waiting for them as
// the program's own message loop does. With the stall watch, every pass of
// the window's messages that took more than 20 ms is printed too.
void PumpFor(double seconds, Clock::time_point base) {
    const auto start = Clock::now();
    for (;;) {
        const auto before = Clock::now();
        Application->ProcessMessages();
        const double took = SecondsSince(before);
        if (gWatchStalls && took > 0.02)
            std::printf("  stall: GUI    %6.1f ms from %.3f s (its messages)\n", took * 1000,
                        std::chrono::duration<double>(before - base).count());
        const double left = seconds - SecondsSince(start);
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1000) + 1, QS_ALLINPUT);
    }
}

// Runs a command line hidden from the program's folder, its output thrown
// away as the console runner's reader would take it; the seconds it took
// and its exit code.
struct BareRun {
    double Seconds = -1;
    long ExitCode = -1;
};

BareRun RunHidden(std::wstring command, const std::wstring& outputPath) {
    const testsupport::HiddenRun run =
        testsupport::RunHidden(std::move(command), outputPath, CREATE_NEW_CONSOLE, INFINITE);
    return {run.Seconds, run.ExitCode};
}

// What the AVI holds: non-empty and all video chunks, the video's frame
// length, and the sound's bytes and bytes per second.
struct AviFigures {
    std::string Error;
    int VideoFrames = 0;
    int VideoChunks = 0;
    double FrameSeconds = 0;
    unsigned long long SoundBytes = 0;
    unsigned long SoundBytesPerSecond = 0;
    double VideoSeconds() const { return VideoChunks * FrameSeconds; }
    double SoundSeconds() const { return SoundBytesPerSecond ? double(SoundBytes) / SoundBytesPerSecond : 0; }
};

AviFigures MeasureAvi(const std::wstring& path) {
    AviFigures f;
    const avitest::AviFile avi = avitest::ReadAvi(path);
    f.Error = avi.Error;
    int video = -1, sound = -1;
    for (std::size_t i = 0; i < avi.Headers.size(); ++i) {
        const avitest::StreamHeader& h = avi.Headers[i];
        if (h.Type == "vids" && video < 0) {
            video = static_cast<int>(i);
            if (h.Rate) f.FrameSeconds = double(h.Scale) / h.Rate;
        } else if (h.Type == "auds" && sound < 0) {
            sound = static_cast<int>(i);
            if (h.Format.size() >= 12) f.SoundBytesPerSecond = avitest::Le32(&h.Format[8]);
        }
    }
    for (const avitest::Chunk& c : avi.Movie) {
        if (c.Id.size() != 4 || c.Id[0] < '0' || c.Id[0] > '9' || c.Id[1] < '0' || c.Id[1] > '9') continue;
        const int stream = (c.Id[0] - '0') * 10 + (c.Id[1] - '0');
        if (stream == video) {
            ++f.VideoChunks;
            if (c.Size > 0) ++f.VideoFrames;
        } else if (stream == sound) {
            f.SoundBytes += c.Size;
        }
    }
    return f;
}

double FileTimeSeconds(const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

// The processor time of this process so far, user and kernel.
double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

// Every thread of this process and its processor time so far.
std::map<DWORD, double> ThreadTimes() {
    std::map<DWORD, double> times;
    const TKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.Valid()) return times;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        const TKernelHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        if (thread.Valid()) times[entry.th32ThreadID] = benchtrace::ThreadCpuMs(thread.Get()) / 1000;
    }
    return times;
}

unsigned long long FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The program's clock, noting when it is first read after the finish: the
// conversion reads it as it starts the converter.
std::atomic<bool> gWatchClock{false};
Clock::time_point gConverterStart{};
TDateTime WatchedNow() {
    if (gWatchClock.exchange(false)) gConverterStart = Clock::now();
    return Now();
}

bool RunOne(int width, int height, double seconds) {
    std::printf("== %dx%d, %.0f s at 30 fps, uncompressed, then MPEG-4\n", width, height, seconds);
    const std::wstring dir = apptest::ScratchFolder(L"record_bench");
    apptest::ProgramWindows windows("DEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(dir) +
                                    "\r\nFPS=30\r\nCOMPRESSOR=\r\nCATEGORY=0\r\nMOVIE_TYPE=0\r\nQUALITY=1\r\n");
    windows.Boxes.Texts.clear();
    FormMain->RBRecStart->SetChecked(true);
    FormMain->CBCompressorListVideo->SetItemIndex(0);
    FormMain->EditCapturePosLeft->SetText(L"0");
    FormMain->EditCapturePosTop->SetText(L"0");
    FormMain->EditCapturePosRigth->SetText(IntToStr(width));
    FormMain->EditCapturePosBottom->SetText(IntToStr(height));

    // The AVI kept aside when the converter speaks first; the converter has
    // the finished file open by then.
    const std::wstring kept = dir + L"kept.avi";
    DeleteFileW(kept.c_str());
    bool linked = false, copied = false;
    TNewLineEvent original = FormMain->DosCommandConvert->OnNewLine;
    FormMain->DosCommandConvert->OnNewLine = [&, original](TObject* sender, const std::wstring& line,
                                                           TOutputType type) {
        if (!linked && !copied) {
            linked = CreateHardLinkW(kept.c_str(), FormMain->FSettings->TempAviPath.c_str(), nullptr) != FALSE;
            if (!linked) copied = CopyFileW(FormMain->FSettings->TempAviPath.c_str(), kept.c_str(), FALSE) != FALSE;
        }
        original(sender, line, type);
    };

    // When the converter spoke first and when it ended, from the finish,
    // and the processor time the program itself took in between (its GUI
    // thread, the runner's worker and whatever of the graph still runs).
    Clock::time_point finish{};
    std::atomic<double> firstLine{-1}, ended{-1};
    double cpuAtFirstLine = -1, cpuBetween = -1, guiAtFirstLine = -1, guiBetween = -1;
    HANDLE guiThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &guiThread, THREAD_QUERY_INFORMATION,
                    FALSE, 0);
    const TKernelHandle guiThreadOwner(guiThread);
    std::map<DWORD, double> threadsAtFirstLine, threadsAtEnd;
    TNewLineEvent keeping = FormMain->DosCommandConvert->OnNewLine;
    FormMain->DosCommandConvert->OnNewLine = [&, keeping](TObject* sender, const std::wstring& line, TOutputType type) {
        if (firstLine.load() < 0) {
            firstLine.store(SecondsSince(finish));
            cpuAtFirstLine = ProcessCpuSeconds();
            guiAtFirstLine = benchtrace::ThreadCpuMs(guiThread) / 1000;
            threadsAtFirstLine = ThreadTimes();
        }
        keeping(sender, line, type);
    };
    TTerminateEvent terminated = FormMain->DosCommandConvert->OnTerminated;
    FormMain->DosCommandConvert->OnTerminated = [&, terminated](TObject* sender, DWORD code) {
        ended.store(SecondsSince(finish));
        if (cpuAtFirstLine >= 0) {
            cpuBetween = ProcessCpuSeconds() - cpuAtFirstLine;
            guiBetween = benchtrace::ThreadCpuMs(guiThread) / 1000 - guiAtFirstLine;
            threadsAtEnd = ThreadTimes();
        }
        terminated(sender, code);
    };

    benchtrace::TFrameTrace trace;
    if (!trace.Start()) std::printf("  frame trace: WinePlatform.dll has no trace\n");
    // The frame table's times count from the source's start, a few
    // milliseconds after this click.
    const auto click = Clock::now();
    std::unique_ptr<benchstall::TStallWatch> watch;
    if (gWatchStalls) watch = std::make_unique<benchstall::TStallWatch>(click);
    FormMain->pngCaptureStartClick(FormMain->pngCaptureStart);
    for (const auto& t : windows.Boxes.Texts) std::printf("  message: %s\n", WideToUtf8(t).c_str());
    if (!FormMain->TimerCaptureTime->Enabled()) {
        std::printf("  the recording did not start\n");
        return false;
    }
    PumpFor(seconds, click);
    if (watch) watch->Stop();

    FormMain->FClock = &WatchedNow;
    gConverterStart = {};
    finish = Clock::now();
    gWatchClock = true;
    trace.MarkFinish();
    FormMain->pngCaptureFinishClick(FormMain->pngCaptureFinish);
    const double finishToReport = SecondsSince(finish);
    trace.Report(333333, static_cast<int>(seconds * 30 + 0.5),
                 dir + L"frames_" + std::to_wstring(width) + L"x" + std::to_wstring(height) + L".csv");
    const std::wstring report = FormProgress->LabelStatus->Caption();
    const std::wstring expected =
        L"全ての処理が完了しました\r\n保存ファイル名【" + FormMain->FSettings->FileName + L"】";
    for (const auto& t : windows.Boxes.Texts) std::printf("  message: %s\n", WideToUtf8(t).c_str());
    if (report != expected) std::printf("  report: %s\n", WideToUtf8(report).c_str());
    if (!linked && !copied) {
        std::printf("  the AVI could not be kept aside\n");
        FormProgress->BtnCloseClick(nullptr);
        return false;
    }

    const AviFigures avi = MeasureAvi(kept);
    std::printf("  AVI: %.1f MiB%s%s\n", FileBytes(kept) / 1048576.0, linked ? "" : " (copied)",
                avi.Error.empty() ? "" : (" read error: " + avi.Error).c_str());
    std::printf("  video frames (non-empty chunks): %d of %d (%d chunks in all)\n", avi.VideoFrames,
                static_cast<int>(seconds * 30 + 0.5), avi.VideoChunks);
    std::printf("  video length %.3f s, sound length %.3f s, difference %.0f ms\n", avi.VideoSeconds(),
                avi.SoundSeconds(), (avi.SoundSeconds() - avi.VideoSeconds()) * 1000);

    // The same converter command line by hand on the kept AVI.
    MvCaptureAndConvertInfo bare = *FormMain->FSettings;
    bare.TempAviPath = kept;
    bare.FileName = L"bare.mp4";
    // Three times: one run by hand varies by several tenths of a second
    // from the next on the same file; the middle one is the reference.
    std::vector<BareRun> runs;
    for (int i = 0; i < 3; ++i)
        runs.push_back(RunHidden(L"lib\\ffmpeg.exe" + bare.BuildFfmpegArgs(), dir + L"bare.txt"));
    std::sort(runs.begin(), runs.end(), [](const BareRun& a, const BareRun& b) { return a.Seconds < b.Seconds; });
    const BareRun& run = runs[1];
    const double converterStart =
        gConverterStart == Clock::time_point{} ? -1 : std::chrono::duration<double>(gConverterStart - finish).count();
    std::printf(
        "  from the finish: the graph stopped and the converter started at %.3f s, its first line at %.3f s, "
        "its end at %.3f s\n",
        converterStart, firstLine.load(), ended.load());
    std::printf(
        "  the program's own processor time while the converter ran: %.3f s (GUI thread %.3f s); from its end to "
        "the report (the read-back of the output): %.3f s\n",
        cpuBetween, guiBetween, ended.load() >= 0 ? finishToReport - ended.load() : -1.0);
    std::printf("  threads that took more than 10 ms meanwhile:");
    for (const auto& [id, cpu] : threadsAtEnd) {
        const auto before = threadsAtFirstLine.find(id);
        const double took = cpu - (before == threadsAtFirstLine.end() ? 0 : before->second);
        if (took > 0.010) std::printf(" %04lx %.3f s%s", id, took, id == GetCurrentThreadId() ? " (GUI)" : "");
    }
    std::printf("\n");
    std::printf(
        "  finish to report %.3f s, converter by hand %.3f s (middle of %.3f, %.3f, %.3f; exit code %ld), ratio %.3f\n",
        finishToReport, run.Seconds, runs[0].Seconds, runs[1].Seconds, runs[2].Seconds, run.ExitCode,
        run.Seconds > 0 ? finishToReport / run.Seconds : 0.0);
    // The read-back alone, three times on the finished output.
    std::printf("  the read-back alone:");
    for (int i = 0; i < 3; ++i) {
        double length = 0;
        const auto start = Clock::now();
        const bool read = FormMain->ProbeDuration(FormMain->FSettings->SaveDir + FormMain->FSettings->FileName, length);
        std::printf(" %.3f s%s", SecondsSince(start), read ? "" : " (failed)");
    }
    std::printf("; prepared ahead:");
    for (int i = 0; i < 3; ++i) {
        TReadBack readBack(FormMain->FSettings->SaveDir + FormMain->FSettings->FileName);
        readBack.Prepare();
        Sleep(200);
        double length = 0;
        const auto start = Clock::now();
        const bool read = FormMain->ReadBackDuration(readBack, length);
        std::printf(" %.3f s%s", SecondsSince(start), read ? "" : " (failed)");
    }
    std::printf("; by hand:");
    for (int i = 0; i < 3; ++i) {
        const BareRun probe = RunHidden(
            TReadBack(FormMain->FSettings->SaveDir + FormMain->FSettings->FileName).CommandLine(), dir + L"probe.txt");
        std::printf(" %.3f s", probe.Seconds);
    }
    std::printf("\n");
    FormProgress->BtnCloseClick(nullptr);
    DeleteFileW(kept.c_str());
    DeleteFileW((dir + L"bare.mp4").c_str());
    DeleteFileW((dir + FormMain->FSettings->FileName).c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    benchload::SpinIfAsked(argc, argv);
    const benchload::TCpuLoad load(benchload::TakeLoadOption(argc, argv));
    gWatchStalls = benchstall::TakeWatchOption(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const std::string sizes = argc > 2 ? argv[2] : "both";
    CoInitialize(nullptr);
    bool ok = true;
    if (sizes != "1080") ok &= RunOne(1280, 720, seconds);
    if (sizes != "720") ok &= RunOne(1920, 1080, seconds);
    return ok ? 0 : 1;
}
