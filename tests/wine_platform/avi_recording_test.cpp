// Recordings through the platform's multiplexer and file writer as the
// program makes them: the screen filter over a painted pattern with paced
// sound for five seconds, and a fast source writing past 1 GiB. The files
// are read back here and, by the host's ffprobe, in check_avi_files.sh.
#include "tests/fixtures/wine_platform/avi_reader.h"
#include "tests/fixtures/wine_platform/platform_graph.h"
#include "tests/fixtures/wine_platform/test_sources.h"
#include "tests/screen_filter/pixenta_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace avitest;

namespace {

struct AviRecording : ::testing::Test {
    graphtest::ComScope Com;
    static void SetUpTestSuite() {
        ASSERT_EQ(RegisterPlatform(), 0);
        ASSERT_EQ(pixentatest::RegisterLibrary(), 0);
    }
};

TEST_F(AviRecording, ScreenAndSoundForFiveSeconds) {
    const std::wstring path = OutputPath(L"wine_platform_av.avi");
    DeleteFileW(path.c_str());
    pixentatest::PatternWindow pattern;
    RecordingGraph graph;
    ASSERT_EQ(graph.Build(path.c_str()), S_OK);
    ComPtr<IBaseFilter> screen = pixentatest::CreateFilter();
    ASSERT_TRUE(screen);
    auto* tone = new TToneSource(44100, 2, 60.0, true);
    ComPtr<IBaseFilter> toneFilter(tone);
    ASSERT_EQ(graph.Add(screen.Get(), L"MorvoCapture2"), S_OK);
    auto config = pixentatest::Config(screen.Get());
    config->SetCaptureRect(0, 0, 640, 480);
    config->SetFrameRate(30);
    config->SetDrawCursor(FALSE);
    ASSERT_EQ(graph.Add(toneFilter.Get(), L"AudioCapFilter2"), S_OK);
    ASSERT_EQ(graph.Render(toneFilter.Get()), S_OK);
    ASSERT_EQ(graph.Render(screen.Get()), S_OK);

    // Five seconds from the start of the run: the sources begin their
    // count when Run pauses them.
    const DWORD start = GetTickCount();
    ASSERT_EQ(graph.Control->Run(), S_OK);
    while (GetTickCount() - start < 5000) pixentatest::PatternWindow::Pump(5);
    ASSERT_EQ(graph.Control->Stop(), S_OK);
    EXPECT_TRUE(FileClosed(path));

    const AviFile avi = ReadAvi(path);
    ASSERT_EQ(avi.Error, "");
    ASSERT_EQ(avi.Headers.size(), 2u);
    const StreamHeader& sound = avi.Headers[0];
    const StreamHeader& video = avi.Headers[1];
    EXPECT_EQ(video.Type, "vids");
    EXPECT_EQ(video.Rate, 30u);
    EXPECT_EQ(video.Scale, 1u);
    EXPECT_EQ(avi.Width, 640u);
    EXPECT_EQ(avi.Height, 480u);
    const double videoSeconds = video.Length / 30.0;
    const double soundSeconds = sound.Length / 44100.0;
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
    ASSERT_EQ(bytes.size(), 640u * 480 * 3);
    int wrong = 0;
    for (int y = 0; y < 480; y += 37)
        for (int x = 0; x < 640; x += 41)
            if (!(pixentatest::FramePixel(bytes, 640, 480, x, y) == pixentatest::PatternAt(x, y)))
                ++wrong;
    EXPECT_EQ(wrong, 0);
    // Kept for the check with the host's ffprobe.
}

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
