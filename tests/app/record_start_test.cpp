// The start of a recording: every refusal in its order (each test sets up
// conditions that two checks would refuse and sees only the earlier one),
// what a refusal leaves as it was, the names of the output and of the
// temporary AVI, the wait for a free second, and the recording frame.
#include "tests/app/record_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

class RecordStart : public ::testing::Test {
protected:
    void SetUp() override {
        W = std::make_unique<RecordingWindows>(L"record_start");
        // What a refusal must leave as it found.
        TFormMain& m = *FormMain;
        m.FStartTag = 7;
        m.FStartAt = 1000.5;
        m.FEndAt = 1000.75;
        m.FSettings->FileName = L"untouched.mp4";
        m.FSettings->TempAviPath = L"untouched.avi";
        m.FSettings->SaveDir = L"C:\\untouched\\";
    }
    void TearDown() override { W.reset(); }
    // A save folder below a file: it can never be made.
    std::wstring FolderThatCannotBeMade() {
        WriteFileBytes(W->Dir + L"blocker", "x");
        return W->Dir + L"blocker\\sub\\";
    }
    void SetCapture(int left, int top, int right, int bottom) {
        TFormMain& m = *FormMain;
        m.EditCapturePosLeft->SetText(std::to_wstring(left));
        m.EditCapturePosTop->SetText(std::to_wstring(top));
        m.EditCapturePosRigth->SetText(std::to_wstring(right));
        m.EditCapturePosBottom->SetText(std::to_wstring(bottom));
    }
    void ExpectNothingNamed() {
        EXPECT_EQ(L"untouched.mp4", FormMain->FSettings->FileName);
        EXPECT_EQ(L"untouched.avi", FormMain->FSettings->TempAviPath);
    }
    std::unique_ptr<RecordingWindows> W;
};

TEST_F(RecordStart, SameStartAndEndTimeOfDayIsRefusedFirst) {
    TFormMain& m = *FormMain;
    m.RBRecTime->SetChecked(true);
    m.DateTimePickerStart->SetDateTime(EncodeDate(2026, 12, 1) + EncodeTime(10, 30, 0, 0));
    m.DateTimePickerEnd->SetDateTime(EncodeDate(2026, 12, 5) + EncodeTime(10, 30, 0, 0));
    // The iTunes button with MPEG1 would be refused next.
    m.CBMovieType->SetItemIndex(mtMpeg1);
    RecordingWindows::Press(m.pngCaptureAndiTunesStart);
    EXPECT_EQ(std::vector<std::wstring>{kSameTimes}, W->Boxes().Texts);
    EXPECT_EQ(7, m.FStartTag);
    EXPECT_EQ(1000.5, m.FStartAt);
    EXPECT_EQ(1000.75, m.FEndAt);
    EXPECT_EQ(L"C:\\untouched\\", m.FSettings->SaveDir);
    ExpectNothingNamed();
    RecordingWindows::ExpectIdleAsBefore();
}

TEST_F(RecordStart, ZeroSetTimeIsRefusedBeforeTheITunesCheck) {
    TFormMain& m = *FormMain;
    m.SERecTimeNN->SetValue(0);
    m.SERecTimeSS->SetValue(0);
    m.CBMovieType->SetItemIndex(mtMpeg1);
    RecordingWindows::Press(m.pngCaptureAndiTunesStart);
    EXPECT_EQ(std::vector<std::wstring>{kZeroTime}, W->Boxes().Texts);
    EXPECT_EQ(7, m.FStartTag);
    ExpectNothingNamed();
    RecordingWindows::ExpectIdleAsBefore();
}

TEST_F(RecordStart, ITunesWithMpeg1IsRefusedBeforeTheSettingsAreRead) {
    TFormMain& m = *FormMain;
    m.CBMovieType->SetItemIndex(mtMpeg1);
    m.EditSaveDir->SetText(FolderThatCannotBeMade());
    RecordingWindows::Press(m.pngCaptureAndiTunesStart);
    // Neither the dummy sound nor the settings were touched.
    EXPECT_EQ(std::vector<std::wstring>{kITunesMpeg1}, W->Boxes().Texts);
    EXPECT_EQ(2, m.FStartTag);
    EXPECT_EQ(L"C:\\untouched\\", m.FSettings->SaveDir);
    ExpectNothingNamed();
    RecordingWindows::ExpectIdleAsBefore();

    // The other start button with MPEG1 goes on to the folder.
    W->Boxes().Texts.clear();
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kNoFolder}, W->Shown());
    EXPECT_EQ(1, m.FStartTag);
}

TEST_F(RecordStart, ITunesAcceptsMpeg4AndMp3) {
    TFormMain& m = *FormMain;
    RecordingWindows::NoSoundSource();
    m.CBMovieType->SetItemIndex(mtMpeg4);
    RecordingWindows::Press(m.pngCaptureAndiTunesStart);
    EXPECT_EQ(std::vector<std::wstring>{kNoSource}, W->Shown());
    EXPECT_EQ(2, m.FStartTag);
    EXPECT_EQ(L".mp4", ExtractFileExt(m.FSettings->FileName));

    W->Boxes().Texts.clear();
    m.CBMovieType->SetItemIndex(mtMp3);
    m.CBMovieTypeChange(m.CBMovieType);
    ASSERT_EQ(oscAudioOnly, m.CBMovieSize->ItemIndex());
    RecordingWindows::Press(m.pngCaptureAndiTunesStart);
    EXPECT_EQ(std::vector<std::wstring>{kNoSource}, W->Shown());
    EXPECT_EQ(L".mp3", ExtractFileExt(m.FSettings->FileName));
    RecordingWindows::ExpectIdleAsBefore();
}

TEST_F(RecordStart, FolderThatCannotBeMadeIsRefusedBeforeTheSize) {
    TFormMain& m = *FormMain;
    const std::wstring folder = FolderThatCannotBeMade();
    m.EditSaveDir->SetText(folder);
    SetCapture(100, 50, 219, 290);
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kNoFolder}, W->Shown());
    // The settings were read; nothing was named.
    EXPECT_EQ(folder, m.FSettings->SaveDir);
    ExpectNothingNamed();
    EXPECT_FALSE(DirectoryExists(folder));
    RecordingWindows::ExpectIdleAsBefore();
}

TEST_F(RecordStart, MissingFolderIsMadeWithItsParents) {
    TFormMain& m = *FormMain;
    const std::wstring folder = W->Dir + L"new\\deeper\\";
    RemoveDirectoryW((W->Dir + L"new\\deeper").c_str());
    RemoveDirectoryW((W->Dir + L"new").c_str());
    m.EditSaveDir->SetText(folder);
    RecordingWindows::NoSoundSource();
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kNoSource}, W->Shown());
    EXPECT_TRUE(DirectoryExists(folder));
    RemoveDirectoryW((W->Dir + L"new\\deeper").c_str());
    RemoveDirectoryW((W->Dir + L"new").c_str());
}

TEST_F(RecordStart, CaptureUnder120IsRefusedBeforeTheSoundSource) {
    TFormMain& m = *FormMain;
    RecordingWindows::NoSoundSource();
    struct Case {
        int Left, Top, Right, Bottom;
        const wchar_t* Expected;
    };
    const Case cases[] = {
        {100, 50, 219, 290, kTooSmall},  // 119 wide
        {100, 50, 420, 169, kTooSmall},  // 119 high
        {100, 50, 220, 170, kNoSource},  // 120 by 120 passes
    };
    for (const Case& c : cases) {
        W->Boxes().Texts.clear();
        SetCapture(c.Left, c.Top, c.Right, c.Bottom);
        ASSERT_EQ(c.Right - c.Left, m.FSettings->CaptureSize().x);
        ASSERT_EQ(c.Bottom - c.Top, m.FSettings->CaptureSize().y);
        RecordingWindows::PressStart();
        EXPECT_EQ(std::vector<std::wstring>{c.Expected}, W->Shown()) << c.Right - c.Left << "x" << c.Bottom - c.Top;
        // The names were made before the size was looked at.
        EXPECT_EQ(L".mp4", ExtractFileExt(m.FSettings->FileName));
        RecordingWindows::ExpectIdleAsBefore();
    }
    // Sound only does not look at the size.
    W->Boxes().Texts.clear();
    RecordingWindows::SoundOnly();
    SetCapture(100, 50, 219, 169);
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kNoSource}, W->Shown());
}

TEST(CheckMinCaptureSize, MessageNamesTheMinimum) {
    std::wstring message;
    EXPECT_TRUE(TFormMain::CheckMinCaptureSize(POINT{120, 120}, message));
    EXPECT_TRUE(message.empty());
    EXPECT_FALSE(TFormMain::CheckMinCaptureSize(POINT{120, 119}, message));
    EXPECT_EQ(kTooSmall, message);
    message.clear();
    EXPECT_FALSE(TFormMain::CheckMinCaptureSize(POINT{-400, 300}, message));
    EXPECT_EQ(kTooSmall, message);
}

// A temporary folder whose name the ANSI code page cannot hold (a user
// name, say) still names the temporary AVI.
TEST(GetTempDir, KeepsNamesTheAnsiCodePageCannotHold) {
    const std::wstring dir = ScratchFolder(L"temp_caf\u00e9");
    ASSERT_NE(dir, AnsiToWide(WideToAnsi(dir))) << "the name must not fit the ANSI code page";
    wchar_t old[MAX_PATH + 1] = {};
    const DWORD had = GetEnvironmentVariableW(L"TMP", old, MAX_PATH + 1);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", dir.c_str()));
    const std::wstring got = TFormMain::GetTempDir();
    SetEnvironmentVariableW(L"TMP", had ? old : nullptr);
    EXPECT_EQ(dir, got);
}

TEST_F(RecordStart, NoSoundSourceIsRefusedAndNothingRuns) {
    TFormMain& m = *FormMain;
    RecordingWindows::NoSoundSource();
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kNoSource}, W->Shown());
    EXPECT_TRUE(m.FSettings->SourceName.empty());
    EXPECT_FALSE(m.FSettings->UseLoopback);
    RecordingWindows::ExpectIdleAsBefore();
    EXPECT_EQ(0, W->ConversionsRun());
}

class FileNames : public RecordStart {};

TEST_F(FileNames, FollowTheClockAndTheFormat) {
    TFormMain& m = *FormMain;
    RecordingWindows::NoSoundSource();
    struct Case {
        TOutputSizeCategory Size;
        TMovieType Type;
        const wchar_t* Name;
    };
    const Case cases[] = {{oscCaptureSize, mtMpeg4, L"20261209_073015.mp4"},
                          {oscCaptureSize, mtMpeg1, L"20261209_073015.mpg"},
                          {oscAudioOnly, mtMp3, L"20261209_073015.mp3"}};
    TestClock::Set(At(2026, 12, 9, 7, 30, 15, 999));
    for (const Case& c : cases) {
        m.CBMovieSize->SetItemIndex(c.Size);
        m.CBMovieSizeChange(m.CBMovieSize);
        m.CBMovieType->SetItemIndex(c.Type);
        RecordingWindows::PressStart();
        EXPECT_EQ(c.Name, m.FSettings->FileName);
        EXPECT_EQ(TFormMain::GetTempDir() + ChangeFileExt(c.Name, L".avi"), m.FSettings->TempAviPath);
    }
    EXPECT_EQ(L"\\", TFormMain::GetTempDir().substr(TFormMain::GetTempDir().size() - 1));
}

TEST_F(FileNames, WaitForAFreeSecondAndDropAStaleTemporaryFile) {
    TFormMain& m = *FormMain;
    // Recordings of this second and the next are there already.
    WriteFileBytes(W->Dir + L"20261209_100000.mp4", "earlier");
    WriteFileBytes(W->Dir + L"20261209_100001.mp4", "earlier");
    const std::wstring stale = TFormMain::GetTempDir() + L"20261209_100002.avi";
    WriteFileBytes(stale, "stale");
    ASSERT_TRUE(FileExists(stale));
    // Refused at the size, after the names.
    SetCapture(100, 50, 219, 290);
    TestClock::RealTimeFrom(At(2026, 12, 9, 10, 0, 0, 900));
    RecordingWindows::PressStart();
    EXPECT_EQ(std::vector<std::wstring>{kTooSmall}, W->Shown());
    EXPECT_EQ(L"20261209_100002.mp4", m.FSettings->FileName);
    EXPECT_EQ(stale, m.FSettings->TempAviPath);
    EXPECT_FALSE(FileExists(stale));
    EXPECT_EQ("earlier", ReadFileBytes(W->Dir + L"20261209_100000.mp4"));
    EXPECT_EQ("earlier", ReadFileBytes(W->Dir + L"20261209_100001.mp4"));
}

class RecordFrame : public RecordStart {};

TEST_F(RecordFrame, PlacedJustOutsideTheCaptureRectangle) {
    TFormMain& m = *FormMain;
    ASSERT_EQ(5, FormCaptureStartSize->ShapeWindowSize->Pen().Width());
    m.FSettings->CapturePosLeft = 100;
    m.FSettings->CapturePosTop = 50;
    m.FSettings->CapturePosRight = 420;
    m.FSettings->CapturePosBottom = 290;
    m.ShowRecordFrame(true);
    EXPECT_TRUE(FormCaptureStartSize->Visible());
    EXPECT_EQ(95, FormCaptureStartSize->Left());
    EXPECT_EQ(45, FormCaptureStartSize->Top());
    EXPECT_EQ(330, FormCaptureStartSize->Width());
    EXPECT_EQ(250, FormCaptureStartSize->Height());
    m.ShowRecordFrame(false);
    EXPECT_FALSE(FormCaptureStartSize->Visible());
}

TEST_F(RecordFrame, ShownWhileRecordingOnlyWhenAskedFor) {
    TFormMain& m = *FormMain;
    m.RBRecStart->SetChecked(true);
    m.CBRecRange->SetChecked(true);
    RecordingWindows::PressStart();
    ASSERT_EQ(std::vector<std::wstring>{}, W->Shown());
    RecordingWindows::ExpectRecording();
    EXPECT_TRUE(FormCaptureStartSize->Visible());
    EXPECT_EQ(95, FormCaptureStartSize->Left());
    EXPECT_EQ(45, FormCaptureStartSize->Top());
    EXPECT_EQ(330, FormCaptureStartSize->Width());
    EXPECT_EQ(250, FormCaptureStartSize->Height());
    PumpFor(500);
    RecordingWindows::PressFinish();
    W->ExpectConverted();
    EXPECT_FALSE(FormCaptureStartSize->Visible());
    FormProgress->BtnCloseClick(nullptr);

    // The next second: the first recording's file holds this second's name.
    TestClock::Set(At(2026, 12, 9, 10, 0, 1));
    m.CBRecRange->SetChecked(false);
    RecordingWindows::PressStart();
    ASSERT_EQ(std::vector<std::wstring>{}, W->Shown());
    RecordingWindows::ExpectRecording();
    EXPECT_FALSE(FormCaptureStartSize->Visible());
    PumpFor(500);
    RecordingWindows::PressFinish();
    W->ExpectConverted();
    EXPECT_EQ(2, W->ConversionsRun());
}

}  // namespace
