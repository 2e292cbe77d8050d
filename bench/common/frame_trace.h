// Where every frame of a recording went, from the multiplexer's sample trace
// (WinePlatform.dll, see wine_platform/sample_trace.h) and the calling
// thread's processor time. Benchmarks only.
//
// For each video frame number the source delivered: when the source took the
// empty sample (its capture began), when the filled sample reached the
// multiplexer (its capture ended), when the multiplexer let the source go and
// when the frame was in the file. Each number in between that never came is
// put down to what the source was doing when the number's moment passed
// (the source numbers frames by wall-clock time and skips the numbers whose
// time passed while it was busy):
//   - capture: the previous frame's capture (the screen read) ran late;
//   - downstream: the source waited on the multiplexer (in Receive, or for a
//     free sample from the allocator);
//   - loop: the source's own thread between frames (scheduling);
// and a number that came but never reached the file as refused (Receive
// failed) or dropped (accepted, never written).
// The numbers' moments come from the source's start, estimated as the
// earliest (capture begin - (n - 0.5) frames) over all frames: a frame whose
// capture began on time began within a millisecond of its moment.
#pragma once

#include "wine_platform/sample_trace.h"

#include <windows.h>
#include <strmif.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace benchtrace {

inline double ThreadCpuMs(HANDLE thread) {
    FILETIME c, e, k, u;
    if (!GetThreadTimes(thread, &c, &e, &k, &u)) return 0;
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    return (ticks(k) + ticks(u)) / 10000.0;
}

class TFrameTrace {
public:
    // Finds the trace in WinePlatform.dll as loaded in this process (the
    // graph's COM server), loading it from beside this program if needed.
    bool Start() {
        HMODULE library = GetModuleHandleW(L"WinePlatform.dll");
        if (library == nullptr) library = LoadLibraryW(L"WinePlatform.dll");
        if (library == nullptr) return false;
        FStart = reinterpret_cast<TWinePlatformTraceStart>(
            reinterpret_cast<void*>(GetProcAddress(library, "WinePlatformTraceStart")));
        FStop = reinterpret_cast<TWinePlatformTraceStop>(
            reinterpret_cast<void*>(GetProcAddress(library, "WinePlatformTraceStop")));
        FSample = reinterpret_cast<TWinePlatformTraceSampleAt>(
            reinterpret_cast<void*>(GetProcAddress(library, "WinePlatformTraceSample")));
        FThread = reinterpret_cast<TWinePlatformTraceThreadAt>(
            reinterpret_cast<void*>(GetProcAddress(library, "WinePlatformTraceThread")));
        if (!FStart || !FStop || !FSample || !FThread) return false;
        FGuiCpuAtStart = ThreadCpuMs(GetCurrentThread());
        FStart();
        return true;
    }

    // The recording ends now: the calling (GUI) thread's processor time is
    // taken up to here.
    // The streaming threads' times are read now too, while they still run
    // (Wine reads another thread's times from the system while it lives).
    void MarkFinish() {
        FGuiCpu = ThreadCpuMs(GetCurrentThread()) - FGuiCpuAtStart;
        FThreads.clear();
        TWinePlatformTraceThread t{};
        for (int i = 0; FThread && FThread(i, &t); ++i) FThreads.push_back(t);
    }

    // Ends the trace (on the thread that started it, the GUI thread) and
    // prints where the frames went; the per-frame table goes to csvPath.
    // frameLength in 100 ns; expected: the frames of the recording's length.
    void Report(REFERENCE_TIME frameLength, int expected, const std::wstring& csvPath) {
        if (!FStop) {
            std::printf("  frame trace: unavailable (WinePlatform.dll without the trace)\n");
            return;
        }
        const double guiCpu = FGuiCpu >= 0 ? FGuiCpu : ThreadCpuMs(GetCurrentThread()) - FGuiCpuAtStart;
        FStop();
        std::vector<TWinePlatformTraceSample> video;
        int sound = 0, soundRefused = 0, soundWaited = 0;
        TWinePlatformTraceSample s{};
        for (int i = 0; FSample(i, &s); ++i) {
            if (s.Video && s.Timed)
                video.push_back(s);
            else if (!s.Video) {
                ++sound;
                if (s.Result != S_OK) ++soundRefused;
                if (s.WaitedForRoom) ++soundWaited;
            }
        }
        const double T = frameLength / 10000.0;  // ms
        std::sort(video.begin(), video.end(), [](const auto& a, const auto& b) { return a.Start < b.Start; });
        const auto number = [&](const TWinePlatformTraceSample& f) {
            return static_cast<long>((f.Start + frameLength / 2) / frameLength);
        };
        const auto began = [](const TWinePlatformTraceSample& f) {
            return f.HandedOut >= 0 && f.HandedOut <= f.Received ? f.HandedOut : f.Received;
        };
        double t0 = 1e300;
        for (const auto& f : video) t0 = std::min(t0, began(f) - (number(f) - 0.5) * T);

        int written = 0, refused = 0, dropped = 0, waitedForRoom = 0;
        int lateCapture = 0, downstream = 0, loop = 0, beforeFirst = 0, afterLast = 0;
        std::vector<double> captureMs, receiveMs, writeMs;
        FILE* csv = _wfopen(csvPath.c_str(), L"w");
        if (csv)
            std::fprintf(csv,
                         "number,capture_begin_ms,received_ms,returned_ms,written_ms,"
                         "capture_ms,in_receive_ms,received_to_written_ms,result,"
                         "missing_before_by_capture,by_downstream,by_loop\n");
        long previous = 0;
        const TWinePlatformTraceSample* last = nullptr;
        for (const auto& f : video) {
            const long n = number(f);
            int byCapture = 0, byDownstream = 0, byLoop = 0;
            for (long m = previous + 1; m < n; ++m) {
                if (last == nullptr) {
                    ++beforeFirst;
                    continue;
                }
                const double moment = t0 + m * T;
                if (moment < last->Received)
                    ++byCapture;
                else if (moment < last->Returned)
                    ++byDownstream;
                else if (moment < began(f))
                    ++(f.HandedOut >= 0 ? byLoop : byDownstream);
                else
                    ++byCapture;  // its moment passed while this frame's capture ran
            }
            lateCapture += byCapture;
            downstream += byDownstream;
            loop += byLoop;
            if (f.Result != S_OK)
                ++refused;
            else if (f.Written < 0 || FAILED(f.WriteResult))
                ++dropped;
            else
                ++written;
            if (f.WaitedForRoom) ++waitedForRoom;
            captureMs.push_back(f.Received - began(f));
            receiveMs.push_back(f.Returned - f.Received);
            if (f.Written >= 0) writeMs.push_back(f.Written - f.Received);
            if (csv)
                std::fprintf(csv, "%ld,%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,0x%08lx,%d,%d,%d\n", n, began(f), f.Received,
                             f.Returned, f.Written, f.Received - began(f), f.Returned - f.Received,
                             f.Written >= 0 ? f.Written - f.Received : -1.0, static_cast<unsigned long>(f.Result),
                             byCapture, byDownstream, byLoop);
            previous = n;
            last = &f;
        }
        if (previous < expected) afterLast = static_cast<int>(expected - previous);
        if (csv) std::fclose(csv);

        std::printf(
            "  frame trace: %zu frames delivered to the multiplexer, %d written, %d refused, "
            "%d dropped in it; %d waited for room in its queue\n",
            video.size(), written, refused, dropped, waitedForRoom);
        std::printf(
            "  numbers never delivered: %d skipped while the previous capture ran late, %d while "
            "the source waited downstream, %d in the source's loop, %d before the first frame, "
            "%d after the last (of %d)\n",
            lateCapture, downstream, loop, beforeFirst, afterLast, expected);
        std::printf("  capture ms median/p95/max %s; in Receive %s; received to written %s\n", Stats(captureMs).c_str(),
                    Stats(receiveMs).c_str(), Stats(writeMs).c_str());
        std::printf("  sound: %d samples, %d refused, %d waited for room\n", sound, soundRefused, soundWaited);
        std::printf("  CPU over the recording: GUI thread %.0f ms", guiCpu);
        static const char* const roles[] = {"video streaming", "sound streaming", "multiplexer writer"};
        for (const TWinePlatformTraceThread& t : FThreads)
            std::printf(", %s %.0f ms (kernel %.0f)", roles[t.Role < 0 || t.Role > 2 ? 0 : t.Role],
                        t.KernelMs + t.UserMs, t.KernelMs);
        std::printf("\n  per-frame table: %ls\n", csvPath.c_str());
    }

private:
    static std::string Stats(std::vector<double> v) {
        if (v.empty()) return "-";
        std::sort(v.begin(), v.end());
        char text[64];
        std::snprintf(text, sizeof text, "%.1f/%.1f/%.1f", v[v.size() / 2],
                      v[std::min(v.size() - 1, v.size() * 95 / 100)], v.back());
        return text;
    }

    TWinePlatformTraceStart FStart = nullptr;
    TWinePlatformTraceStop FStop = nullptr;
    TWinePlatformTraceSampleAt FSample = nullptr;
    TWinePlatformTraceThreadAt FThread = nullptr;
    double FGuiCpuAtStart = 0;
    double FGuiCpu = -1;
    std::vector<TWinePlatformTraceThread> FThreads;
};

}  // namespace benchtrace
