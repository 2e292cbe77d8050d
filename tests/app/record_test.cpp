// Recordings from the start button to the file in the save folder, in the
// test's own process: the real main window, the screen filter over a pattern
// painted on the whole display, the sound of a tone played into the null sink
// and taken from its monitor, the platform's multiplexer and file writer, and
// the shipped converter. What the converter wrote is described and decoded by
// that same converter.
#include "tests/app/record_support.h"
#include "tests/screen_filter/pixenta_test_support.h"
#include "tests/wine_platform/audio_capture_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using namespace apptest;
using pixentatest::Bgr;
using pixentatest::PatternAt;
using pixentatest::PatternWindow;

// The capture rectangle: within one 256-pixel tile of the pattern, so that
// its colours run smoothly across the whole frame.
constexpr int kLeft = 1030, kTop = 540, kWidth = 240, kHeight = 200;

void TypeTheCaptureRect() { TypeCaptureRect(kLeft, kTop, kLeft + kWidth, kTop + kHeight); }

// Pixel (x, y) of a top-down B, G, R frame.
Bgr PixelAt(const std::vector<BYTE>& frame, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return Bgr{frame[at], frame[at + 1], frame[at + 2]};
}

int Distance(const Bgr& a, const Bgr& b) {
    return std::max({std::abs(a.B - b.B), std::abs(a.G - b.G), std::abs(a.R - b.R)});
}

// Grid points of the frame whose colour is further than tolerance from the
// pattern under the capture rectangle.
int PatternMisses(const std::vector<BYTE>& frame, int tolerance, int left = 4, int top = 4, int right = kWidth - 4,
                  int bottom = kHeight - 4) {
    int misses = 0;
    for (int y = top; y < bottom; y += 8)
        for (int x = left; x < right; x += 8)
            if (Distance(PixelAt(frame, kWidth, x, y), PatternAt(kLeft + x, kTop + y)) > tolerance) ++misses;
    return misses;
}

// The strongest frequency of one second of the recording's sound, and its level.
void ExpectTheTone(const std::wstring& file, const std::wstring& scratch) {
    const std::vector<double> sound = DecodeSound(file, 0.8, 1.0, scratch);
    ASSERT_GE(sound.size(), 40000u);
    EXPECT_GT(capturetest::Rms(sound), 1000.0);
    EXPECT_NEAR(capturetest::StrongestFrequency(sound, 44100), capturetest::TonePlayer::Frequency, 10.0);
}

using RecordToFile = RecordingTest;

TEST_F(RecordToFile, SetTimeModeGivesAnMp4OfThePatternAndTheTone) {
    PatternWindow pattern;
    capturetest::TonePlayer tone;
    ASSERT_TRUE(tone.Playing());
    Open("REC_LIMIT_NN=0\r\nREC_LIMIT_SS=5\r\n");
    ASSERT_TRUE(FormMain->RBRecNow->Checked());
    TypeTheCaptureRect();
    ProgressSeen seen;
    RecordProgress(seen);

    const std::wstring before = FormatDateTime(L"yyyymmdd_hhnnss", Now());
    ASSERT_TRUE(Start());
    // The limit ends the recording; the conversion follows.
    ASSERT_TRUE(Reported());
    const std::wstring after = FormatDateTime(L"yyyymmdd_hhnnss", Now());

    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_TRUE(FormProgress->BtnOpenDir->Enabled());
    EXPECT_FALSE(FormMain->Enabled());
    EXPECT_GE(FormMain->FElapsedSec, 5);
    EXPECT_EQ(L"(経過時間 00：00：" + Format(L"%.2d", FormMain->FElapsedSec) + L")",
              FormMain->lblCaptureTime->Caption());

    // Named after the second of the start, the temporary AVI beside the
    // system's temporary files and gone after the conversion.
    const std::wstring name = FormMain->FSettings->FileName;
    ASSERT_EQ(19u, name.size());
    EXPECT_EQ(L".mp4", name.substr(15));
    EXPECT_LE(before, name.substr(0, 15));
    EXPECT_GE(after, name.substr(0, 15));
    EXPECT_EQ(TFormMain::GetTempDir() + name.substr(0, 15) + L".avi", Avi());
    EXPECT_FALSE(FileExists(Avi()));
    EXPECT_EQ(L"lib\\ffmpeg.exe" + FormMain->FSettings->BuildFfmpegArgs(), FormMain->DosCommandConvert->CommandLine());

    const std::vector<std::wstring> filters = GraphFilterNames();
    EXPECT_TRUE(Contains(filters, L"MorvoCapture2"));
    EXPECT_TRUE(Contains(filters, L"AudioCapFilter2"));
    EXPECT_FALSE(Contains(filters, L"CompressFilter"));

    // The bar moved and the time left was shown.
    bool moved = false, timeLeft = false;
    for (std::size_t i = 0; i < seen.Positions.size(); ++i) {
        moved |= seen.Positions[i] > 0;
        timeLeft |= seen.Statuses[i].find(L"%完了 / 残り時間：") != std::wstring::npos;
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(timeLeft);

    // The file: H.264 4:2:0 at the capture size and frame rate, AAC, 5 s.
    const MediaDescription d = Describe(Output());
    ASSERT_EQ(1u, d.VideoStreams.size()) << d.Text;
    ASSERT_EQ(1u, d.AudioStreams.size()) << d.Text;
    EXPECT_TRUE(Has(d.VideoStreams[0], "Video: h264")) << d.VideoStreams[0];
    EXPECT_TRUE(Has(d.VideoStreams[0], "yuv420p")) << d.VideoStreams[0];
    EXPECT_TRUE(Has(d.VideoStreams[0], " 240x200")) << d.VideoStreams[0];
    EXPECT_TRUE(Has(d.VideoStreams[0], " 10 fps")) << d.VideoStreams[0];
    EXPECT_TRUE(Has(d.AudioStreams[0], "Audio: aac")) << d.AudioStreams[0];
    EXPECT_NEAR(5.0, d.Duration, 0.5) << d.Text;

    const std::vector<BYTE> frame = DecodeFrame(Output(), 2.5, Dir);
    ASSERT_EQ(static_cast<std::size_t>(kWidth) * kHeight * 3, frame.size());
    EXPECT_EQ(0, PatternMisses(frame, 16));
    ExpectTheTone(Output(), Dir);

    // The close button gives the main window back, idle.
    SendMessageW(FormProgress->BtnClose->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(FormProgress->Visible());
    EXPECT_TRUE(FormMain->Enabled());
    EXPECT_TRUE(FormMain->pngCaptureStart->Enabled());
    EXPECT_FALSE(FormMain->pngCaptureFinish->Enabled());
}

TEST_F(RecordToFile, Mpeg1GivesAnMpgOfMpeg1VideoAndMp2Sound) {
    PatternWindow pattern;
    capturetest::TonePlayer tone;
    ASSERT_TRUE(tone.Playing());
    Open("MOVIE_TYPE=1\r\nREC_LIMIT_SS=3\r\n");
    TypeTheCaptureRect();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_EQ(L".mpg", FormMain->FSettings->FileName.substr(15));
    EXPECT_FALSE(FileExists(Avi()));

    const MediaDescription d = Describe(Output());
    ASSERT_EQ(1u, d.VideoStreams.size()) << d.Text;
    ASSERT_EQ(1u, d.AudioStreams.size()) << d.Text;
    EXPECT_TRUE(Has(d.VideoStreams[0], "Video: mpeg1video")) << d.VideoStreams[0];
    EXPECT_TRUE(Has(d.VideoStreams[0], " 240x200")) << d.VideoStreams[0];
    // MPEG-1 is always written at 30 frames a second.
    EXPECT_TRUE(Has(d.VideoStreams[0], " 30 fps")) << d.VideoStreams[0];
    EXPECT_TRUE(Has(d.AudioStreams[0], "Audio: mp2")) << d.AudioStreams[0];
    EXPECT_NEAR(3.0, d.Duration, 0.6) << d.Text;
    const std::vector<BYTE> frame = DecodeFrame(Output(), 1.5, Dir);
    ASSERT_EQ(static_cast<std::size_t>(kWidth) * kHeight * 3, frame.size());
    EXPECT_EQ(0, PatternMisses(frame, 24));
    ExpectTheTone(Output(), Dir);
}

TEST_F(RecordToFile, SoundOnlyGivesAnMp3WithoutTheScreenFilter) {
    capturetest::TonePlayer tone;
    ASSERT_TRUE(tone.Playing());
    Open("CATEGORY=9\r\nREC_LIMIT_SS=3\r\n");
    // No size check without a picture.
    TypeCaptureRect(0, 0, 50, 50);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_EQ(L".mp3", FormMain->FSettings->FileName.substr(15));
    EXPECT_FALSE(FileExists(Avi()));

    const std::vector<std::wstring> filters = GraphFilterNames();
    EXPECT_TRUE(Contains(filters, L"AudioCapFilter2"));
    EXPECT_FALSE(Contains(filters, L"MorvoCapture2"));
    EXPECT_FALSE(Contains(filters, L"CompressFilter"));

    const MediaDescription d = Describe(Output());
    EXPECT_TRUE(d.VideoStreams.empty()) << d.Text;
    ASSERT_EQ(1u, d.AudioStreams.size()) << d.Text;
    EXPECT_TRUE(Has(d.AudioStreams[0], "Audio: mp3")) << d.AudioStreams[0];
    EXPECT_TRUE(Has(d.AudioStreams[0], "44100 Hz")) << d.AudioStreams[0];
    EXPECT_NEAR(3.0, d.Duration, 0.6) << d.Text;
    ExpectTheTone(Output(), Dir);
}

TEST_F(RecordToFile, CursorIsDrawnIntoTheRecording) {
    PatternWindow pattern;
    // The arrow's hot spot at (100, 80) of the frame.
    ASSERT_TRUE(pixentatest::ShowArrowAt(pattern, kLeft + 100, kTop + 80));
    Open("CONTAIN_CURSOR=1\r\nREC_LIMIT_SS=2\r\n");
    TypeTheCaptureRect();
    ASSERT_TRUE(FormMain->CBContainCursor->Checked());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    EXPECT_EQ(SuccessReport(), Status());

    const std::vector<BYTE> frame = DecodeFrame(Output(), 1.0, Dir);
    ASSERT_EQ(static_cast<std::size_t>(kWidth) * kHeight * 3, frame.size());
    // Below and right of the hot spot the arrow hides the pattern; well
    // away from it the pattern shows.
    int covered = 0;
    for (int y = 80; y < 100; ++y)
        for (int x = 100; x < 110; ++x)
            if (Distance(PixelAt(frame, kWidth, x, y), PatternAt(kLeft + x, kTop + y)) > 64) ++covered;
    EXPECT_GT(covered, 20);
    EXPECT_EQ(0, PatternMisses(frame, 24, 4, 4, kWidth - 4, 60));
    EXPECT_EQ(0, PatternMisses(frame, 24, 4, 4, 80, kHeight - 4));
}

TEST_F(RecordToFile, RecordingFrameLiesJustOutsideThePicture) {
    PatternWindow pattern;
    Open("REC_RANGE=1\r\nREC_LIMIT_SS=2\r\n");
    TypeTheCaptureRect();
    ASSERT_TRUE(FormMain->CBRecRange->Checked());
    ASSERT_TRUE(Start());
    // The red band is on the screen around the rectangle while recording.
    ASSERT_TRUE(FormCaptureStartSize->Visible());
    const RECT band = FormCaptureStartSize->BoundsRect();
    EXPECT_EQ(kLeft - 5, band.left);
    EXPECT_EQ(kTop - 5, band.top);
    EXPECT_EQ(kLeft + kWidth + 5, band.right);
    EXPECT_EQ(kTop + kHeight + 5, band.bottom);
    PumpFor(300);
    HDC screen = GetDC(nullptr);
    const COLORREF corner = GetPixel(screen, kLeft - 3, kTop - 3);
    const COLORREF inside = GetPixel(screen, kLeft + 2, kTop + 2);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(RGB(255, 0, 0), corner);
    const Bgr expected = PatternAt(kLeft + 2, kTop + 2);
    EXPECT_EQ(RGB(expected.R, expected.G, expected.B), inside);
    ASSERT_TRUE(Reported());
    EXPECT_FALSE(FormCaptureStartSize->Visible());
    EXPECT_EQ(SuccessReport(), Status());

    // Not a trace of red at the picture's edges.
    const std::vector<BYTE> frame = DecodeFrame(Output(), 1.0, Dir);
    ASSERT_EQ(static_cast<std::size_t>(kWidth) * kHeight * 3, frame.size());
    // (The pattern's blue is never below 0x80.)
    const auto isRed = [&frame](int x, int y) {
        const Bgr c = PixelAt(frame, kWidth, x, y);
        return c.R > 200 && c.G < 60 && c.B < 60;
    };
    int red = 0;
    for (int x = 0; x < kWidth; ++x)
        for (int y : {0, 1, kHeight - 2, kHeight - 1}) red += isRed(x, y);
    for (int y = 0; y < kHeight; ++y)
        for (int x : {0, 1, kWidth - 2, kWidth - 1}) red += isRed(x, y);
    EXPECT_EQ(0, red);
    EXPECT_EQ(0, PatternMisses(frame, 16, 0, 0, kWidth, kHeight));
}

TEST_F(RecordToFile, SecondRecordingAfterACancelledOneSucceeds) {
    Open("REC_LIMIT_SS=2\r\n");
    TypeCaptureRect(0, 0, 320, 240);
    // The first: cancelled at the converter's first line, the recording kept.
    Boxes().Answers = {IDYES};
    TNewLineEvent original = FormMain->DosCommandConvert->OnNewLine;
    bool cancel = true;
    FormMain->DosCommandConvert->OnNewLine = [&, original](TObject* sender, const std::wstring& line,
                                                           TOutputType type) {
        if (cancel) {
            cancel = false;
            SendMessageW(FormProgress->BtnCancel->Handle(), BM_CLICK, 0, 0);
        }
        original(sender, line, type);
    };
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    const std::wstring firstName = FormMain->FSettings->FileName, firstAvi = Avi();
    EXPECT_EQ(L"キャンセルしました\r\n" + firstAvi, Status());
    SendMessageW(FormProgress->BtnClose->Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(FormMain->Enabled());
    ASSERT_TRUE(FormMain->pngCaptureStart->Enabled());

    // The second, in the same window: a graph built afresh, a new name, the
    // runner and the dialog used again.
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    EXPECT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_NE(firstName, FormMain->FSettings->FileName);
    EXPECT_FALSE(FileExists(Avi()));
    EXPECT_TRUE(FileExists(firstAvi));
    DeleteFileW(firstAvi.c_str());
    const MediaDescription d = Describe(Output());
    EXPECT_EQ(1u, d.VideoStreams.size()) << d.Text;
    EXPECT_EQ(1u, d.AudioStreams.size()) << d.Text;
    EXPECT_NEAR(2.0, d.Duration, 0.6) << d.Text;
    // One graph: one screen filter and one sound source.
    const std::vector<std::wstring> filters = GraphFilterNames();
    EXPECT_EQ(1, std::count(filters.begin(), filters.end(), L"MorvoCapture2"));
    EXPECT_EQ(1, std::count(filters.begin(), filters.end(), L"AudioCapFilter2"));
}

TEST_F(RecordToFile, UntilFinishModeEndsWithTheFinishButton) {
    capturetest::TonePlayer tone;
    Open();
    SendMessageW(FormMain->RBRecStart->Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(FormMain->RBRecStart->Checked());
    TypeCaptureRect(0, 0, 320, 240);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(FormMain->pngCaptureFinish->Enabled());
    EXPECT_FALSE(FormMain->pngCaptureStart->Enabled());
    // While converting, the main window is disabled and only cancel is offered.
    std::vector<bool> mainEnabled, cancelEnabled, closeEnabled;
    TNewLineEvent original = FormMain->DosCommandConvert->OnNewLine;
    FormMain->DosCommandConvert->OnNewLine = [&, original](TObject* sender, const std::wstring& line,
                                                           TOutputType type) {
        mainEnabled.push_back(FormMain->Enabled());
        cancelEnabled.push_back(FormProgress->BtnCancel->Enabled());
        closeEnabled.push_back(FormProgress->BtnClose->Enabled());
        original(sender, line, type);
    };
    // No limit: it records until the button is pressed.
    PumpFor(3000);
    ASSERT_TRUE(Recording());
    PressButton(FormMain->pngCaptureFinish);
    ASSERT_TRUE(Reported());
    ASSERT_FALSE(mainEnabled.empty());
    EXPECT_EQ(std::vector<bool>(mainEnabled.size(), false), mainEnabled);
    EXPECT_EQ(std::vector<bool>(cancelEnabled.size(), true), cancelEnabled);
    EXPECT_EQ(std::vector<bool>(closeEnabled.size(), false), closeEnabled);
    EXPECT_FALSE(Recording());
    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_TRUE(FileExists(Output()));
    EXPECT_FALSE(FileExists(Avi()));
    EXPECT_GE(FormMain->FElapsedSec, 2);
    const MediaDescription d = Describe(Output());
    EXPECT_EQ(1u, d.VideoStreams.size()) << d.Text;
    EXPECT_EQ(1u, d.AudioStreams.size()) << d.Text;
    EXPECT_GE(d.Duration, 2.5) << d.Text;
}

}  // namespace
