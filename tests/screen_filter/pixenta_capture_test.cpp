// Pixenta streaming in Wine's filter graph (Pixenta -> Sample Grabber ->
// Null Renderer): the connection type, the allocator, the time stamps, and
// the captured pixels against a pattern painted over the whole screen.
#include "shared/media_type.h"
#include "tests/screen_filter/pixenta_test_support.h"

#include <gtest/gtest.h>

#include <uuids.h>

#include <chrono>

using namespace pixentatest;
using namespace std::chrono_literals;

namespace {

constexpr REFERENCE_TIME T30 = 333333;

struct PixentaCapture : ::testing::Test {
    graphtest::ComScope Com;
    ComPtr<IBaseFilter> Filter;
    ComPtr<IVideoCaptureFilterConfig> Configuration;
    graphtest::SampleRecorder Recorder{true};
    graphtest::GrabberGraph Graph;

    static void SetUpTestSuite() { RegisterLibrary(); }

    void SetUp() override {
        Filter = CreateFilter();
        ASSERT_TRUE(Filter);
        Configuration = Config(Filter.Get());
        ASSERT_TRUE(Configuration);
        // No reference clock: the renderer passes samples on at once, as a
        // file writer would, so the pacing is the filter's own.
        ASSERT_EQ(Graph.Build(Filter.Get(), &Recorder, false), S_OK);
    }

    HRESULT Configure(LONG x, LONG y, LONG width, LONG height, bool cursor = false) {
        Configuration->SetCaptureRect(x, y, width, height);
        Configuration->SetFrameRate(30);
        Configuration->SetDrawCursor(cursor);
        return Graph.Connect();
    }

    // Runs until count samples arrived (pumping window messages), then stops.
    bool RunUntil(size_t count, std::chrono::milliseconds timeout = 10s) {
        if (FAILED(Graph.Control->Run())) return false;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (Recorder.Count() < count && std::chrono::steady_clock::now() < end) PatternWindow::Pump(10);
        Graph.Control->Stop();
        return Recorder.Count() >= count;
    }

    TMediaTypeRecord ConnectionType() {
        TMediaTypeRecord type;
        ComPtr<IPin> pin;
        Filter->FindPin(L"Out", pin.Put());
        pin->ConnectionMediaType(type.Put());
        return type;
    }
};

// Counts pixels of the frame region that differ from the pattern.
int Mismatches(const std::vector<BYTE>& frame, int width, int height, int originX, int originY, int left, int top,
               int right, int bottom) {
    int wrong = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (!(FramePixel(frame, width, height, x, y) == PatternAt(originX + x, originY + y))) ++wrong;
    return wrong;
}

}  // namespace

TEST_F(PixentaCapture, ConnectionTypeAndAllocator) {
    ASSERT_EQ(Configure(100, 50, 320, 240), S_OK);
    const TMediaTypeRecord type = ConnectionType();
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(type->lSampleSize, 230400u);
    ASSERT_GE(type->cbFormat, sizeof(VIDEOINFOHEADER));
    const auto& header = *reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    EXPECT_EQ(header.bmiHeader.biWidth, 320);
    EXPECT_EQ(header.bmiHeader.biHeight, 240);  // positive: bottom-up
    EXPECT_EQ(header.bmiHeader.biBitCount, 24);
    EXPECT_EQ(header.AvgTimePerFrame, T30);

    // One buffer of one image.
    ComPtr<IMemInputPin> input;
    ASSERT_EQ(graphtest::FindPin(Graph.Grabber.Get(), PINDIR_INPUT)->QueryInterface(IID_IMemInputPin, input.PutVoid()),
              S_OK);
    ComPtr<IMemAllocator> allocator;
    ASSERT_EQ(input->GetAllocator(allocator.Put()), S_OK);
    ALLOCATOR_PROPERTIES properties{};
    ASSERT_EQ(allocator->GetProperties(&properties), S_OK);
    EXPECT_EQ(properties.cBuffers, 1);
    EXPECT_EQ(properties.cbBuffer, 230400);
}

TEST_F(PixentaCapture, TimeStampsFollowFrameNumbers) {
    ASSERT_EQ(Configure(0, 0, 64, 48), S_OK);
    ASSERT_TRUE(SUCCEEDED(Graph.Control->Run()));
    PatternWindow::Pump(1000);
    ASSERT_EQ(Graph.Control->Stop(), S_OK);
    const auto samples = Recorder.Samples();
    ASSERT_GE(samples.size(), 20u);
    EXPECT_LE(samples.size(), 31u);
    EXPECT_EQ(samples[0].Start, T30);  // number 0 is never delivered
    REFERENCE_TIME last = 0;
    for (const auto& s : samples) {
        EXPECT_EQ(s.TimeResult, S_OK);
        EXPECT_TRUE(s.SyncPoint);
        EXPECT_EQ(s.Start % T30, 0);
        EXPECT_EQ(s.Stop, s.Start + T30);
        EXPECT_GT(s.Start, last);
        last = s.Start;
        EXPECT_EQ(s.Size, 64 * 3 * 48);
    }
    // The number tracks the wall clock: about 30 per second.
    EXPECT_LE(last, 40 * T30);

    // A new run starts counting again.
    const size_t before = samples.size();
    ASSERT_TRUE(RunUntil(before + 2));
    EXPECT_EQ(Recorder.Samples()[before].Start, T30);
}

TEST_F(PixentaCapture, LateDeliverySkipsNumbersButNeverRepeatsOne) {
    ASSERT_EQ(Configure(0, 0, 64, 48), S_OK);
    Recorder.DelayAfter = 5;
    Recorder.DelayMs = 80;
    ASSERT_TRUE(RunUntil(10));
    const auto samples = Recorder.Samples();
    // The fifth sample held the stream for 80 ms: the sixth comes two or more
    // numbers later, stamped by the wall clock.
    const auto jump = (samples[5].Start - samples[4].Start) / T30;
    EXPECT_GE(jump, 2);
    EXPECT_LE(jump, 4);
    for (size_t i = 1; i < samples.size(); ++i) EXPECT_GT(samples[i].Start, samples[i - 1].Start);
}

TEST_F(PixentaCapture, PixelsAreTheRectangleBottomUp) {
    PatternWindow window;
    SetCursorPos(1900, 1060);  // out of the way
    ASSERT_EQ(Configure(100, 50, 320, 240), S_OK);
    ASSERT_TRUE(RunUntil(3));
    const auto samples = Recorder.Samples();
    const auto& frame = samples.back().Data;
    ASSERT_EQ(frame.size(), 230400u);
    // Spot checks that name the row order, then every pixel.
    EXPECT_EQ(FramePixel(frame, 320, 240, 0, 0), PatternAt(100, 50));
    EXPECT_EQ(FramePixel(frame, 320, 240, 319, 239), PatternAt(419, 289));
    EXPECT_EQ(frame[0 + 2], PatternAt(100, 289).R);  // first bytes: the bottom row
    EXPECT_EQ(Mismatches(frame, 320, 240, 100, 50, 0, 0, 320, 240), 0);
}

TEST_F(PixentaCapture, RectangleOverTheLeftEdgeIsClampedToTheDisplay) {
    PatternWindow window;
    SetCursorPos(1900, 1060);
    ASSERT_EQ(Configure(-100, 200, 320, 240), S_OK);
    ASSERT_TRUE(RunUntil(3));
    const auto frame = Recorder.Samples().back().Data;
    ASSERT_EQ(frame.size(), 230400u);
    // Captured from x = 0: 220 columns of screen, starting at the frame's left
    // (not at column 100, where the unclamped rectangle would put them).
    EXPECT_GT(Mismatches(frame, 320, 240, -100, 200, 100, 0, 320, 240), 10000);
    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 220; ++x)
            if (!(FramePixel(frame, 320, 240, x, y) == PatternAt(x, 200 + y))) ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST_F(PixentaCapture, RectangleOverTheBottomRightCornerStaysInTheBuffer) {
    PatternWindow window;
    SetCursorPos(10, 10);
    ASSERT_EQ(Configure(1800, 1000, 200, 160), S_OK);
    ASSERT_TRUE(RunUntil(3));
    const auto frame = Recorder.Samples().back().Data;
    ASSERT_EQ(frame.size(), 600u * 160);
    // The 120 x 80 pixels on the display fill the frame's top-left corner.
    EXPECT_EQ(Mismatches(frame, 200, 160, 1800, 1000, 0, 0, 120, 80), 0);
}

TEST_F(PixentaCapture, RectangleOverTheTopEdgeIsCapturedFromRowZero) {
    PatternWindow window;
    SetCursorPos(1900, 1060);
    ASSERT_EQ(Configure(300, -40, 100, 100), S_OK);
    ASSERT_TRUE(RunUntil(3));
    const auto frame = Recorder.Samples().back().Data;
    ASSERT_EQ(frame.size(), 300u * 100);
    EXPECT_EQ(Mismatches(frame, 100, 100, 300, 0, 0, 0, 100, 60), 0);
}

TEST_F(PixentaCapture, CursorIsDrawnOnlyWhenAsked) {
    PatternWindow window;
    ASSERT_TRUE(ShowArrowAt(window, 200, 150));

    ASSERT_EQ(Configure(100, 50, 320, 240, true), S_OK);
    ASSERT_TRUE(RunUntil(3));
    const auto withCursor = Recorder.Samples().back().Data;
    // The arrow's hot spot is at (100, 100) of the frame.
    EXPECT_GT(Mismatches(withCursor, 320, 240, 100, 50, 95, 95, 140, 140), 20);
    EXPECT_EQ(Mismatches(withCursor, 320, 240, 100, 50, 0, 0, 320, 90), 0);

    ASSERT_EQ(Configuration->SetDrawCursor(FALSE), S_OK);
    const size_t before = Recorder.Count();
    ASSERT_TRUE(RunUntil(before + 3));
    const auto without = Recorder.Samples().back().Data;
    EXPECT_EQ(Mismatches(without, 320, 240, 100, 50, 0, 0, 320, 240), 0);
}

TEST_F(PixentaCapture, CursorIsPlacedRelativeToTheClampedCorner) {
    PatternWindow window;
    ASSERT_TRUE(ShowArrowAt(window, 150, 300));
    // The rectangle starts 100 pixels left of the display; what is captured
    // starts at the display's edge and lands at the frame's left.
    ASSERT_EQ(Configure(-100, 200, 320, 240, true), S_OK);
    ASSERT_TRUE(RunUntil(3));
    const auto frame = Recorder.Samples().back().Data;
    // The arrow's hot spot is at (150, 100) of the frame.
    EXPECT_GT(Mismatches(frame, 320, 240, 0, 200, 145, 95, 190, 140), 20);
    EXPECT_EQ(Mismatches(frame, 320, 240, 0, 200, 0, 0, 220, 90), 0);
    EXPECT_EQ(Mismatches(frame, 320, 240, 0, 200, 0, 0, 140, 240), 0);
}

TEST_F(PixentaCapture, RectangleWhollyOffTheDisplayGivesBlackFrames) {
    ASSERT_EQ(Configure(-3000, -3000, 100, 100), S_OK);
    ASSERT_TRUE(RunUntil(3));
    for (const auto& s : Recorder.Samples()) {
        ASSERT_EQ(s.Data.size(), 300u * 100);
        EXPECT_EQ(std::count(s.Data.begin(), s.Data.end(), BYTE{0}), static_cast<ptrdiff_t>(s.Data.size()));
        EXPECT_EQ(s.Stop - s.Start, T30);
    }
}

TEST_F(PixentaCapture, RectangleChangedAfterConnectionKeepsTheConnectionSize) {
    ASSERT_EQ(Configure(0, 0, 64, 48), S_OK);
    // Taller and wider than the connection type, then empty.
    ASSERT_EQ(Configuration->SetCaptureRect(0, 0, 1920, 1080), S_OK);
    ASSERT_TRUE(RunUntil(3));
    for (const auto& s : Recorder.Samples()) EXPECT_EQ(s.Data.size(), 192u * 48);
    ASSERT_EQ(Configuration->SetCaptureRect(10, 10, 0, 0), S_OK);
    const size_t before = Recorder.Count();
    ASSERT_TRUE(RunUntil(before + 3));
    const auto samples = Recorder.Samples();
    EXPECT_EQ(samples[before].Start, T30);
    EXPECT_EQ(samples.back().Stop - samples.back().Start, T30);
}

TEST_F(PixentaCapture, HostileSizesFailTheConnectionCleanly) {
    Configuration->SetCaptureRect(0, 0, -5, -5);
    EXPECT_TRUE(FAILED(Graph.Connect()));
    Configuration->SetCaptureRect(0, 0, 100000, 100000);
    EXPECT_TRUE(FAILED(Graph.Connect()));
    // The filter is still usable.
    ASSERT_EQ(Configure(0, 0, 32, 32), S_OK);
    ASSERT_TRUE(RunUntil(2));
}

TEST_F(PixentaCapture, HighestFrameRateStillStampsRisingTimes) {
    Configuration->SetCaptureRect(0, 0, 16, 16);
    ASSERT_EQ(Configuration->SetFrameRate(10000000), S_OK);
    ASSERT_EQ(Graph.Connect(), S_OK);
    ASSERT_TRUE(RunUntil(20));
    const auto samples = Recorder.Samples();
    for (size_t i = 1; i < samples.size(); ++i) {
        EXPECT_GT(samples[i].Start, samples[i - 1].Start);
        EXPECT_EQ(samples[i].Stop, samples[i].Start + 1);
    }
}
