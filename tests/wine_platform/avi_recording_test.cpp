// Recordings through the platform's multiplexer and file writer as the
// program makes them.
//
// DeviceRecording: the screen filter at 640x480, 30 fps over a painted
// pattern and the capture device "Monitor of Null Output" while a 440 Hz tone
// plays into the null sink, rendered with the capture graph builder into the
// multiplexer and file writer for five seconds; the file is read back here,
// converted by lib\ffmpeg.exe with the program's three command lines, and
// read by the host's ffprobe in check_avi_files.sh.
//
// AviRecording: a fast source writing past 1 GiB.
#include "classlib/runtime/application.h"
#include "tests/fixtures/wine_platform/avi_reader.h"
#include "tests/fixtures/wine_platform/platform_graph.h"
#include "tests/fixtures/wine_platform/test_sources.h"
#include "tests/screen_filter/pixenta_test_support.h"
#include "tests/wine_platform/audio_capture_support.h"
#include "tests/wine_platform/converter_support.h"

#include <gtest/gtest.h>

#include <mmreg.h>

#include <cstdio>
#include <string>

using namespace avitest;

namespace {

constexpr LONG Width = 640;
constexpr LONG Height = 480;
constexpr DWORD RecordMs = 5000;

// The file every DeviceRecording test records (and leaves for the host's
// ffprobe, which deletes it).
std::wstring RecordingPath() { return OutputPath(L"wine_platform_av.avi"); }

// Sets the device's output pin to 16-bit stereo at 48 kHz, the format the
// program prefers above all.
HRESULT PreferStereo48k(IBaseFilter* device) {
    ComPtr<IPin> out = capturetest::PinIn(device, PINDIR_OUTPUT);
    ComPtr<IAMStreamConfig> config;
    if (!out || FAILED(out->QueryInterface(IID_IAMStreamConfig, config.PutVoid()))) return E_NOINTERFACE;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = 2;
    wave.nSamplesPerSec = 48000;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = 4;
    wave.nAvgBytesPerSec = 48000 * 4;
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 4;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof wave;
    type.pbFormat = reinterpret_cast<BYTE*>(&wave);
    return config->SetFormat(&type);
}

// Records the screen and the monitor device into the file for five seconds
// of the graph's run; an empty text on success, else what failed.
std::string RecordScreenAndDevice(const std::wstring& path) {
    DeleteFileW(path.c_str());
    pixentatest::PatternWindow pattern;
    capturetest::TonePlayer tone;
    if (!tone.Playing()) return "the tone does not play";
    RecordingGraph graph;
    if (FAILED(graph.Build(path.c_str()))) return "no multiplexer and file writer";
    ComPtr<IBaseFilter> screen = pixentatest::CreateFilter();
    if (!screen) return "no screen filter";
    if (FAILED(graph.Add(screen.Get(), L"MorvoCapture2"))) return "screen filter not added";
    auto config = pixentatest::Config(screen.Get());
    config->SetCaptureRect(0, 0, Width, Height);
    config->SetFrameRate(30);
    config->SetDrawCursor(FALSE);
    ComPtr<IBaseFilter> device = capturetest::BindDevice(capturetest::MonitorDevice);
    if (!device) return "no capture device \"Monitor of Null Output\"";
    // Another test may have left the line disabled; it records the tone here.
    if (auto line = capturetest::LineOf(device.Get())) line->put_Enable(TRUE);
    if (FAILED(PreferStereo48k(device.Get()))) return "the device refused 16/48000/2";
    if (FAILED(graph.Add(device.Get(), L"AudioCapFilter2"))) return "device not added";
    // Sound first, then video, as the program renders them.
    if (FAILED(graph.Render(device.Get()))) return "the sound does not render";
    if (FAILED(graph.Render(screen.Get()))) return "the video does not render";

    const DWORD start = GetTickCount();
    if (FAILED(graph.Control->Run())) return "the graph does not run";
    while (GetTickCount() - start < RecordMs) pixentatest::PatternWindow::Pump(5);
    if (FAILED(graph.Control->Stop())) return "the graph does not stop";
    LONG_PTR error = 0;
    if (graph.WaitForEvent(EC_ERRORABORT, &error, 100)) return "the graph reported an error";
    if (!FileClosed(path)) return "the file is still open after Stop";
    return {};
}

struct DeviceRecording : ::testing::Test {
    // One recording for all the tests of a run of the program.
    static void SetUpTestSuite() {
        Application->Initialize();
        FSetUp = "registration failed";
        if (RegisterPlatform() != 0 || pixentatest::RegisterLibrary() != 0) return;
        FSetUp = RecordScreenAndDevice(RecordingPath());
    }
    void SetUp() override { ASSERT_EQ(FSetUp, "") << "recording"; }

    static std::string FSetUp;
};
std::string DeviceRecording::FSetUp;

// The sound chunks' data in file order.
std::vector<BYTE> SoundBytes(const std::wstring& path, const AviFile& avi) {
    std::vector<BYTE> bytes;
    const Reader reader(path);
    for (const Chunk& c : avi.Movie) {
        if (c.Id != "00wb" || c.Size == 0) continue;
        const std::vector<BYTE> chunk = reader.Bytes(c.DataPos, c.Size);
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    return bytes;
}

TEST_F(DeviceRecording, ScreenAndDeviceSoundForFiveSeconds) {
    const std::wstring path = RecordingPath();
    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 2u);
    const StreamHeader& sound = avi.Headers[0];
    const StreamHeader& video = avi.Headers[1];
    ASSERT_EQ(sound.Type, "auds");
    ASSERT_GE(sound.Format.size(), 16u);
    EXPECT_EQ(Le16(&sound.Format[0]), WAVE_FORMAT_PCM);
    EXPECT_EQ(Le16(&sound.Format[2]), 2u);
    EXPECT_EQ(Le32(&sound.Format[4]), 48000u);
    EXPECT_EQ(Le16(&sound.Format[14]), 16u);
    EXPECT_EQ(video.Type, "vids");
    EXPECT_EQ(video.Rate, 30u);
    EXPECT_EQ(video.Scale, 1u);
    EXPECT_EQ(avi.Width, static_cast<DWORD>(Width));
    EXPECT_EQ(avi.Height, static_cast<DWORD>(Height));

    const double videoSeconds = video.Length / 30.0;
    const double soundSeconds = sound.Length / 48000.0;
    std::printf("video %.3f s, sound %.3f s\n", videoSeconds, soundSeconds);
    EXPECT_NEAR(videoSeconds, 5.0, 0.2);
    EXPECT_NEAR(soundSeconds, 5.0, 0.2);
    EXPECT_NEAR(videoSeconds, soundSeconds, 0.05);

    // A frame with data from the middle shows the pattern at the capture
    // origin. (How many frames the screen filter managed is the
    // benchmark's business.)
    std::vector<const Chunk*> frames;
    for (const Chunk& c : avi.Movie)
        if (c.Id == "01db" && c.Size > 0) frames.push_back(&c);
    ASSERT_FALSE(frames.empty());
    const Chunk* frame = frames[frames.size() / 2];
    std::vector<BYTE> bytes = Reader(path).Bytes(frame->DataPos, frame->Size);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(Width) * Height * 3);
    int wrong = 0;
    for (int y = 0; y < Height; y += 37)
        for (int x = 0; x < Width; x += 41)
            if (!(pixentatest::FramePixel(bytes, Width, Height, x, y) == pixentatest::PatternAt(x, y))) ++wrong;
    EXPECT_EQ(wrong, 0);

    // The tone came through the device: one second near the end (the
    // device gives silence until it has started) has 440 Hz as its
    // strongest frequency, well above silence.
    const std::vector<BYTE> pcm = SoundBytes(path, avi);
    EXPECT_EQ(pcm.size(), static_cast<size_t>(sound.Length) * 4);
    constexpr size_t second = 48000 * 4;
    ASSERT_GE(pcm.size(), 4 * second + second / 2);
    const std::vector<BYTE> middle(pcm.begin() + 3 * second + second / 2, pcm.begin() + 4 * second + second / 2);
    const std::vector<double> left = capturetest::FirstChannel(middle, 16, 2);
    EXPECT_GT(capturetest::Rms(left), 1000.0);
    EXPECT_NEAR(capturetest::StrongestFrequency(left, 48000), 440.0, 5.0);
    // Kept for the check with the host's ffprobe.
}

TEST_F(DeviceRecording, ConvertsToMp4MpgAndMp3OfTheSameLength) {
    using namespace convertertest;
    const std::wstring avi = RecordingPath();
    const ConverterRun input = Describe(avi);
    const double length = DurationOf(input);
    ASSERT_NEAR(length, 5.0, 0.2);
    ASSERT_TRUE(input.AnyLineHas(L"Video: rawvideo"));
    ASSERT_TRUE(input.AnyLineHas(L"Audio: pcm_s16le"));

    const std::wstring d = testsupport::ProgramFolder() + L"conversion_recorded\\";
    CreateDirectoryW(d.c_str(), nullptr);
    struct Case {
        std::wstring Arguments, Output, Video, Audio;
    };
    // The program's command lines for this recording: capture size 640x480
    // at 30 fps; MPEG-4 at the best quality, MPEG-1 at the standard one, and
    // sound only.
    const Case cases[] = {
        {L" -y -i \"" + avi +
             L"\" -s 640x480   -r 30 -vcodec libx264 -acodec aac"
             L"  -strict experimental -ac 2 -vlevel 13  -coder 0 -f ipod -async 1000 "
             L" -b 2500k -ar 48000 -ab 160k \"" +
             d + L"recorded.mp4\"",
         d + L"recorded.mp4", L"Video: h264", L"Audio: aac"},
        {L" -y -i \"" + avi +
             L"\" -s 640x480   -r 30 -vcodec mpeg1video -acodec mp2 -ac 2 -f mpeg"
             L" -async 1000  -b 512k -ar 44100 -ab 64k \"" +
             d + L"recorded.mpg\"",
         d + L"recorded.mpg", L"Video: mpeg1video", L"Audio: mp2"},
        {L" -y -i \"" + avi + L"\" -ab 128k -ar 44100 -f mp3 \"" + d + L"recorded.mp3\"", d + L"recorded.mp3", L"",
         L"Audio: mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Output.begin(), c.Output.end()));
        DeleteFileW(c.Output.c_str());
        const ConverterRun converted = RunFfmpeg(c.Arguments);
        EXPECT_EQ(converted.ExitCode, 0u);
        EXPECT_TRUE(converted.Terminated);
        EXPECT_EQ(converted.TerminatedCode, 0u);
        // Progress comes as whole lines, each ended by a bare carriage return.
        EXPECT_GE(converted.CountLinesWith(L"time="), 1);
        EXPECT_TRUE(converted.AnyLineHas(L"bitrate="));

        const ConverterRun probe = Describe(c.Output);
        if (c.Video.empty())
            EXPECT_FALSE(probe.AnyLineHas(L"Video:"));
        else
            EXPECT_TRUE(probe.AnyLineHas(c.Video));
        EXPECT_TRUE(probe.AnyLineHas(c.Audio));
        EXPECT_NEAR(DurationOf(probe), length, 0.2);
        DeleteFileW(c.Output.c_str());
    }
    RemoveDirectoryW(d.c_str());
    // The recording stays for the host's ffprobe.
}

struct AviRecording : ::testing::Test {
    graphtest::ComScope Com;
    static void SetUpTestSuite() { ASSERT_EQ(RegisterPlatform(), 0); }
};

TEST_F(AviRecording, FilePastOneGibIsIndexedWhole) {
    const std::wstring path = OutputPath(L"wine_platform_big.avi");
    DeleteFileW(path.c_str());
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(path.c_str()), S_OK);
    graph.WithoutClock();
    // 1920x1080 RGB24 is 6220800 bytes a frame: 180 frames pass 1 GiB.
    constexpr LONGLONG frames = 180;
    auto* source = new TFrameSource(1920, 1080, TFrameSource::Numbers(0, frames));
    ComPtr<IBaseFilter> sourceFilter(source);
    ASSERT_EQ(graph.Record(sourceFilter.Get(), L"Frames"), S_OK);
    ASSERT_EQ(graph.RunToEnd(240000), S_OK);

    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    EXPECT_GT(avi.FileSize, uint64_t{1} << 30);
    ASSERT_GE(avi.RiffTypes.size(), 2u);
    EXPECT_EQ(avi.RiffTypes[1], "AVIX");
    for (DWORD size : avi.RiffSizes) EXPECT_LE(uint64_t{size} + 8, uint64_t{1} << 30);
    ASSERT_EQ(avi.Headers.size(), 1u);
    EXPECT_EQ(avi.Headers[0].Length, static_cast<DWORD>(frames));
    EXPECT_EQ(avi.OdmlTotalFrames, static_cast<DWORD>(frames));
    EXPECT_EQ(avi.Headers[0].Super.size(), avi.RiffTypes.size());
    ASSERT_EQ(avi.Standard.size(), 1u);
    EXPECT_EQ(avi.Standard[0].size(), static_cast<size_t>(frames));
    EXPECT_EQ(avi.Movie.size(), static_cast<size_t>(frames));
    EXPECT_LT(avi.Legacy.size(), static_cast<size_t>(frames));
    // Kept for the host's ffprobe, which deletes it.
}

}  // namespace
