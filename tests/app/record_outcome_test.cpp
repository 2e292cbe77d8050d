// How a real recording ends when the conversion does not simply succeed: a
// converter that cannot write, the cancel question answered either way, and
// the hand-off to iTunes through the iTunes start button, against the
// stand-in automation server or none.
#include "tests/app/record_support.h"
#include "tests/app/small_drive.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace apptest;

std::wstring ITunesServer() { return testsupport::ProgramFolder() + L"convert_tests\\FakeITunesServer.dll"; }
// Where the stand-in server writes the paths it was handed.
std::wstring ITunesAdded() { return testsupport::ProgramFolder() + L"convert_tests\\itunes_added.txt"; }
long RegisterITunes(bool on) {
    return testsupport::RunRegsvr32(std::wstring(L"/s ") + (on ? L"" : L"/u ") + Quoted(ITunesServer()));
}

// Answers the cancel question as the user would, with the dialog's own
// button, when the converter's first output line arrives.
void ClickCancelAtFirstLine() {
    TNewLineEvent original = FormMain->DosCommandConvert->OnNewLine;
    auto clicked = std::make_shared<bool>(false);
    FormMain->DosCommandConvert->OnNewLine = [original, clicked](TObject* sender, const std::wstring& line,
                                                                 TOutputType type) {
        if (!*clicked) {
            *clicked = true;
            SendMessageW(FormProgress->BtnCancel->Handle(), BM_CLICK, 0, 0);
        }
        original(sender, line, type);
    };
}

// The kept recording is a whole AVI: a picture and a sound stream.
void ExpectAWholeAvi(const std::wstring& avi) {
    ASSERT_TRUE(FileExists(avi));
    const MediaDescription d = Describe(avi);
    EXPECT_TRUE(Has(d.Text, "avi")) << d.Text;
    EXPECT_EQ(1u, d.VideoStreams.size()) << d.Text;
    EXPECT_EQ(1u, d.AudioStreams.size()) << d.Text;
    EXPECT_GT(d.Duration, 1.0) << d.Text;
}

void ExpectClosableWithoutFolderButton() {
    EXPECT_TRUE(FormProgress->BtnClose->Enabled());
    EXPECT_FALSE(FormProgress->BtnCancel->Enabled());
    EXPECT_FALSE(FormProgress->BtnOpenDir->Enabled());
    EXPECT_EQ(0, FormProgress->ProgressBarStatus->Position());
}

class RecordOutcome : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        Open("REC_LIMIT_SS=2\r\n");
        TypeCaptureRect(0, 0, 320, 240);
    }
};

TEST_F(RecordOutcome, ConverterThatCannotWriteKeepsTheRecording) {
    ASSERT_TRUE(Start());
    // The save folder goes while recording: the converter has nowhere to write.
    ASSERT_TRUE(RemoveDirectoryW(Dir.c_str()));
    ASSERT_TRUE(Reported());
    EXPECT_EQ(L"変換処理が失敗しました\r\n" + Avi(), Status());
    EXPECT_TRUE(Boxes().Texts.empty());
    ExpectClosableWithoutFolderButton();
    ExpectAWholeAvi(Avi());
}

TEST_F(RecordOutcome, CancelAnsweredYesKeepsTheRecording) {
    Boxes().Answers = {IDYES};
    ClickCancelAtFirstLine();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"キャンセルしてよろしいですか？", Boxes().Texts[0]);
    EXPECT_EQ(L"キャンセルしました\r\n" + Avi(), Status());
    ExpectClosableWithoutFolderButton();
    ExpectAWholeAvi(Avi());
}

TEST_F(RecordOutcome, CancelAnsweredNoGoesOnToSuccess) {
    Boxes().Answers = {IDNO};
    ClickCancelAtFirstLine();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Reported());
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"キャンセルしてよろしいですか？", Boxes().Texts[0]);
    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_TRUE(FormProgress->BtnOpenDir->Enabled());
    EXPECT_FALSE(FileExists(Avi()));
    const MediaDescription d = Describe(Output());
    EXPECT_EQ(1u, d.VideoStreams.size()) << d.Text;
    EXPECT_EQ(1u, d.AudioStreams.size()) << d.Text;
}

// The temporary AVI on a drive that runs full while recording: the file
// writer gives up, and the recording ends there instead of recording on
// into nothing.
class RecordOnAFullDrive : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        FHadTmp = GetEnvironmentVariableW(L"TMP", FOldTmp, MAX_PATH + 1) != 0;
    }
    void TearDown() override {
        RecordingTest::TearDown();
        SetEnvironmentVariableW(L"TMP", FHadTmp ? FOldTmp : nullptr);
    }
    wchar_t FOldTmp[MAX_PATH + 1] = {};
    bool FHadTmp = false;
};

TEST_F(RecordOnAFullDrive, StopsAtOnceAndConvertsWhatWasWritten) {
    // Room for a second or so of the uncompressed picture.
    SmallDrive drive(3 * 1024 * 1024);
    if (!drive.Ready()) GTEST_SKIP() << "the test environment has no small drive Y:";
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", drive.Folder.c_str()));
    Open("REC_LIMIT_SS=40\r\n");
    TypeCaptureRect(0, 0, 320, 240);
    ASSERT_TRUE(Start());
    EXPECT_EQ(0u, Avi().find(drive.Folder));
    ASSERT_TRUE(Reported());
    EXPECT_TRUE(FormMain->FStoppedEarly);
    EXPECT_LT(FormMain->FElapsedSec, 30) << "finished when the file stopped growing, not by the limit";
    // The time shown and the bar's maximum are the time recorded.
    EXPECT_EQ(FormMain->FElapsedSec, FormProgress->ProgressBarStatus->Max());
    const std::int64_t s = FormMain->FElapsedSec;
    EXPECT_EQ(L"(経過時間 00：00：" + std::wstring(s < 10 ? L"0" : L"") + std::to_wstring(s) + L")",
              FormMain->lblCaptureTime->Caption());
    std::printf("status: %s\nelapsed %lld s\n", Narrow(Status()).c_str(), static_cast<long long>(s));
    const std::wstring early = L"録画が途中で停止しました（";
    if (Status().rfind(early, 0) == 0) {
        // What was written was converted; the report says why it stopped.
        EXPECT_NE(std::wstring::npos, Status().find(L"）\r\n保存ファイル名【" + FormMain->FSettings->FileName + L"】"));
        EXPECT_FALSE(FileExists(Avi()));
        EXPECT_GT(Describe(Output()).Duration, 0.0);
        EXPECT_TRUE(FormProgress->BtnOpenDir->Enabled());
    } else {
        // Nothing whole could be made of it: the recording stays, named.
        EXPECT_EQ(L"変換処理が失敗しました\r\n" + Avi(), Status());
        EXPECT_TRUE(FileExists(Avi()));
        EXPECT_FALSE(FileExists(Output()));
    }
    EXPECT_TRUE(Boxes().Texts.empty());
}

// The iTunes start button: the finished file goes to the automation server.
class RecordToITunes : public RecordOutcome {
protected:
    void SetUp() override {
        RecordOutcome::SetUp();
        DeleteFileW(ITunesAdded().c_str());
        // What the dialog said right after the hand-off.
        TNotifyEvent original = FormMain->TimerRegistiTunes->OnTimer;
        FormMain->TimerRegistiTunes->OnTimer = [this, original](TObject* sender) {
            if (BeforeHandOff) BeforeHandOff();
            ++HandOffs;
            original(sender);
            HandOffStatus = Status();
        };
    }
    void TearDown() override {
        RegisterITunes(false);
        RecordOutcome::TearDown();
    }
    // Starts with the iTunes start button and waits for the final report.
    void RecordForITunes() {
        ASSERT_TRUE(Start(FormMain->pngCaptureAndiTunesStart));
        EXPECT_EQ(2, FormMain->FStartTag);
        ASSERT_TRUE(Reported());
        EXPECT_EQ(SuccessReport(), Status());
        EXPECT_TRUE(FormProgress->BtnOpenDir->Enabled());
        EXPECT_EQ(1, HandOffs);
        EXPECT_FALSE(FormMain->TimerRegistiTunes->Enabled());
    }

    std::function<void()> BeforeHandOff;
    int HandOffs = 0;
    std::wstring HandOffStatus;
};

TEST_F(RecordToITunes, TheSavedFileIsHandedToTheServer) {
    ASSERT_EQ(0, RegisterITunes(true));
    RecordForITunes();
    EXPECT_EQ(1, FormMain->FITunesDone);
    EXPECT_EQ(L"iTunesへの転送が完了しました", HandOffStatus);
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_TRUE(FileExists(Output()));
    EXPECT_EQ(Narrow(Output()) + "\n", ReadFileBytes(ITunesAdded()));
}

TEST_F(RecordToITunes, WithoutTheServerTheHandOffFailsQuietly) {
    ASSERT_EQ(0, RegisterITunes(false));
    RecordForITunes();
    EXPECT_EQ(2, FormMain->FITunesDone);
    EXPECT_EQ(L"iTunesへの転送に失敗しました", HandOffStatus);
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_TRUE(FileExists(Output()));
}

TEST_F(RecordToITunes, FileGoneBeforeTheHandOffIsReportedOnce) {
    ASSERT_EQ(0, RegisterITunes(true));
    BeforeHandOff = [] { DeleteFileW(Output().c_str()); };
    RecordForITunes();
    EXPECT_EQ(2, FormMain->FITunesDone);
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"転送元ファイルにアクセスできません", Boxes().Texts[0]);
    EXPECT_EQ(L"Tavrel3", Boxes().Captions[0]);
    EXPECT_EQ(L"iTunesへ転送しています", HandOffStatus);
    // The server was never asked.
    EXPECT_FALSE(FileExists(ITunesAdded()));
}

// A save folder with a Japanese name and a blank, from config.ini through
// the converter's command line to the path handed to iTunes.
using RecordingPaths = RecordingTest;

TEST_F(RecordingPaths, JapaneseSaveFolderFromSettingsToITunes) {
    Dir = ScratchFolder(L"録画 フォルダ");
    DeleteFileW(ITunesAdded().c_str());
    const TScopeGuard unregister([] { RegisterITunes(false); });
    ASSERT_EQ(0, RegisterITunes(true));
    Open("REC_LIMIT_SS=2\r\n");
    TypeCaptureRect(0, 0, 320, 240);
    EXPECT_EQ(Dir, FormMain->FSettings->SaveDir);
    ASSERT_TRUE(Start(FormMain->pngCaptureAndiTunesStart));
    ASSERT_TRUE(Reported());
    EXPECT_EQ(SuccessReport(), Status());
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_EQ(Dir, FormMain->FSettings->SaveDir);
    EXPECT_EQ(1, FormMain->FITunesDone);
    EXPECT_EQ(Narrow(Dir + FormMain->FSettings->FileName) + "\n", ReadFileBytes(ITunesAdded()));
    const MediaDescription d = Describe(Dir + FormMain->FSettings->FileName);
    EXPECT_EQ(1u, d.VideoStreams.size()) << d.Text;
    EXPECT_EQ(1u, d.AudioStreams.size()) << d.Text;
}

}  // namespace
