// Records Pixenta.dll into the platform's AVI multiplexer and file writer
// (WinePlatform.dll, both beside this program) for 10 seconds at 1280x720 and
// at 1920x1080, 30 frames per second, with the sound of the capture device
// "Monitor of Null Output" while a tone plays into the null sink, and a
// second Pixenta streams into a counting sink in the same run. Prints the
// frames written (chunks with data) against the frames the counting sink got,
// the sound's length, and the writer's throughput in MB/s.
//
// Targets: at least 299 of 300 frames at 1280x720, at least 290 at 1920x1080,
// and never fewer frames written than the counting sink got.
//
// Then what bounds the frame count: the recording without the counting sink,
// the screen read alone (the GDI calls of one Pixenta frame, back to back),
// and the multiplexer and writer alone
// (300 frames of 1920x1080 from a source that only stamps them, without a
// clock, as fast as they are taken).
//
// "--load N" runs N CPU-bound processes for the whole run (see
// bench/common/cpu_load.h); each recording with the counting sink also says
// where its frames went (bench/common/frame_trace.h).
#include "bench/common/cpu_load.h"
#include "bench/common/frame_trace.h"
#include "tests/fixtures/graph_test_support.h"
#include "tests/fixtures/wine_platform/avi_reader.h"
#include "tests/fixtures/wine_platform/platform_graph.h"
#include "tests/fixtures/wine_platform/test_sources.h"
#include "tests/screen_filter/pixenta_test_support.h"
#include "tests/wine_platform/audio_capture_support.h"
#include "shared/unit_const_list.h"

#include <cstdio>

namespace {

ComPtr<IBaseFilter> CreateScreen(LONG width, LONG height) {
    ComPtr<IBaseFilter> filter = avitest::CreateByClass(CLSID_ScreenCaptureSource);
    ComPtr<IVideoCaptureFilterConfig> config;
    if (filter && SUCCEEDED(filter->QueryInterface(IID_IVideoCaptureFilterConfig, config.PutVoid()))) {
        config->SetCaptureRect(0, 0, width, height);
        config->SetFrameRate(30);
        config->SetDrawCursor(FALSE);
    }
    return filter;
}

struct Result {
    size_t Written = 0;
    size_t MissedInFirstSecond = 0;  // empty chunks among the first 30
    size_t Counted = 0;
    double SoundSeconds = 0;
    double Megabytes = 0;
    double Seconds = 0;
    bool Ok = false;
};

// withSink false leaves the counting sink out: the recording alone.
Result RunOnce(LONG width, LONG height, bool withSink) {
    Result result;
    benchtrace::TFrameTrace trace;
    if (withSink) trace.Start();
    const std::wstring path = avitest::OutputPath(L"avimux_bench.avi");
    DeleteFileW(path.c_str());
    {
        avitest::RecordingGraph recording;
        if (FAILED(recording.Build(path.c_str()))) return result;
        ComPtr<IBaseFilter> screen = CreateScreen(width, height);
        ComPtr<IBaseFilter> device = capturetest::BindDevice(capturetest::MonitorDevice);
        if (!device) {
            std::printf("  no capture device \"Monitor of Null Output\"\n");
            return result;
        }
        if (auto line = capturetest::LineOf(device.Get())) line->put_Enable(TRUE);
        if (!screen || FAILED(recording.Add(screen.Get(), L"MorvoCapture2")) ||
            FAILED(recording.Add(device.Get(), L"AudioCapFilter2")) || FAILED(recording.Render(device.Get())) ||
            FAILED(recording.Render(screen.Get())))
            return result;

        graphtest::SampleRecorder counter(false);
        graphtest::GrabberGraph counting;
        ComPtr<IBaseFilter> counted = CreateScreen(width, height);
        if (!counted || FAILED(counting.Build(counted.Get(), &counter, false)) || FAILED(counting.Connect()))
            return result;

        const DWORD start = GetTickCount();
        if ((withSink && FAILED(counting.Control->Run())) || FAILED(recording.Control->Run())) return result;
        pixentatest::PatternWindow::Pump(10000);
        if (withSink) trace.MarkFinish();
        recording.Control->Stop();
        counting.Control->Stop();
        result.Seconds = (GetTickCount() - start) / 1000.0;
        result.Counted = counter.Count();
    }
    if (withSink)
        trace.Report(333333, 300, avitest::OutputPath((L"avimux_bench_" + std::to_wstring(height) + L".csv").c_str()));
    const avitest::AviFile avi = avitest::ReadAvi(path);
    if (!avi.Error.empty()) {
        std::printf("  file unreadable: %s\n", avi.Error.c_str());
        return result;
    }
    size_t position = 0;
    for (const avitest::Chunk& c : avi.Movie) {
        if (c.Id.size() != 4 || c.Id.compare(2, 2, "db") != 0) continue;
        if (c.Size > 0)
            ++result.Written;
        else if (position < 30)
            ++result.MissedInFirstSecond;
        ++position;
    }
    for (const avitest::StreamHeader& h : avi.Headers)
        if (h.Type == "auds" && h.Rate > 0 && h.SampleSize > 0)
            result.SoundSeconds = static_cast<double>(h.Length) * h.Scale / h.Rate;
    result.Megabytes = static_cast<double>(avi.FileSize) / 1e6;
    result.Ok = true;
    DeleteFileW(path.c_str());
    return result;
}

// Milliseconds for the GDI calls of one Pixenta frame of that size (display
// and memory contexts, a compatible bitmap, BitBlt, GetDIBits into a 24-bit
// buffer), averaged over 30 frames.
double ScreenReadMs(LONG width, LONG height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    std::vector<BYTE> buffer(static_cast<size_t>((width * 3 + 3) & ~3) * height);
    const DWORD start = GetTickCount();
    constexpr int frames = 30;
    for (int i = 0; i < frames; ++i) {
        HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
        HDC memory = CreateCompatibleDC(display);
        HBITMAP bitmap = CreateCompatibleBitmap(display, width, height);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, display, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        GetDIBits(display, bitmap, 0, static_cast<UINT>(height), buffer.data(), reinterpret_cast<BITMAPINFO*>(&header),
                  DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        DeleteDC(display);
    }
    return static_cast<double>(GetTickCount() - start) / frames;
}

// MB/s of the multiplexer and writer fed as fast as they take 1080p frames.
double WriterAlone() {
    const std::wstring path = avitest::OutputPath(L"avimux_bench_alone.avi");
    double seconds = 0;
    {
        avitest::RecordingGraph graph;
        if (FAILED(graph.Build(path.c_str()))) return 0;
        graph.WithoutClock();
        auto* source = new avitest::TFrameSource(1920, 1080, avitest::TFrameSource::Numbers(0, 300));
        ComPtr<IBaseFilter> sourceFilter(source);
        if (FAILED(graph.Record(sourceFilter.Get(), L"Frames"))) return 0;
        const DWORD start = GetTickCount();
        if (FAILED(graph.RunToEnd(120000))) return 0;
        seconds = (GetTickCount() - start) / 1000.0;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    DeleteFileW(path.c_str());
    const double bytes = static_cast<double>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    return seconds > 0 ? bytes / 1e6 / seconds : 0;
}

}  // namespace

int main(int argc, char** argv) {
    benchload::SpinIfAsked(argc, argv);
    const benchload::TCpuLoad load(benchload::TakeLoadOption(argc, argv));
    graphtest::ComScope com;
    if (avitest::RegisterPlatform() != 0 ||
        testsupport::RunRegsvr32(L"/s \"" + testsupport::ProgramFolder() + L"Pixenta.dll\"") != 0) {
        std::printf("registration failed\n");
        return 2;
    }
    capturetest::TonePlayer tone;
    if (!tone.Playing()) std::printf("the tone does not play\n");
    struct Size {
        LONG Width, Height;
        size_t Target;
    };
    bool pass = true;
    for (const Size size : {Size{1280, 720, 299}, Size{1920, 1080, 290}}) {
        const Result r = RunOnce(size.Width, size.Height, true);
        if (!r.Ok) {
            std::printf("%ldx%ld: the recording graph did not run\n", size.Width, size.Height);
            pass = false;
            continue;
        }
        const bool met = r.Written >= size.Target && r.Written >= r.Counted;
        pass = pass && met;
        std::printf(
            "%ldx%ld: frames written %zu of 300 (target %zu), counting sink %zu; "
            "%zu of the missing in the first second; "
            "sound %.3f s; file %.1f MB in %.2f s = %.1f MB/s  %s\n",
            size.Width, size.Height, r.Written, size.Target, r.Counted, r.MissedInFirstSecond, r.SoundSeconds,
            r.Megabytes, r.Seconds, r.Megabytes / r.Seconds, met ? "met" : "MISSED");
    }
    for (const Size size : {Size{1280, 720, 0}, Size{1920, 1080, 0}}) {
        const Result r = RunOnce(size.Width, size.Height, false);
        std::printf(
            "recording alone, %ldx%ld: frames written %zu of 300, %zu of the missing in "
            "the first second\n",
            size.Width, size.Height, r.Written, r.MissedInFirstSecond);
    }
    for (const Size size : {Size{1280, 720, 0}, Size{1920, 1080, 0}}) {
        std::printf("screen read alone, %ldx%ld: %.1f ms a frame (30 fps needs 33.3)\n", size.Width, size.Height,
                    ScreenReadMs(size.Width, size.Height));
    }
    std::printf("multiplexer and writer alone, 300 frames of 1920x1080: %.1f MB/s\n", WriterAlone());
    return pass ? 0 : 1;
}
