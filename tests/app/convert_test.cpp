// The conversion with the progress dialog, run against the stand-in
// converter at lib\ffmpeg.exe beside this test program: progress from both
// forms of "time=", the outcome texts, cancel, the temporary AVI kept unless
// the conversion succeeded, and the iTunes step without iTunes.
#include "tests/app/convert_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

TDateTime gClockNow = 0;
TDateTime TestClock() { return gClockNow; }

std::wstring LibFolder() { return testsupport::ProgramFolder() + L"lib\\"; }

std::wstring ServerPath() { return testsupport::ProgramFolder() + L"FakeITunesServer.dll"; }
// The stand-in iTunes server in or out of the prefix's registry.
long RegisterServer(bool on) {
    return RunAndWait(std::wstring(L"regsvr32.exe /s ") + (on ? L"" : L"/u ") + L"\"" + ServerPath() + L"\"");
}

void WriteScript(const std::string& script) { WriteFileBytes(LibFolder() + L"fake_converter.txt", script); }
// What the stand-in says when it is asked to read the output back.
void WriteProbeScript(const std::string& script) { WriteFileBytes(LibFolder() + L"fake_probe.txt", script); }
// A read-back that reaches the given time, as the converter prints it.
void ProbeReaches(const std::string& time) {
    WriteProbeScript("outln   Duration: " + time +
                     ", start: 0.000000, bitrate: 500 kb/s\n"
                     "out size=N/A time=" +
                     time +
                     " bitrate=N/A speed= 500x\n"
                     "outln size=N/A time=" +
                     time + " bitrate=N/A speed= 500x\nexit 0\n");
}

class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        // No iTunes unless a test registers the stand-in.
        RegisterServer(false);
        FWindows = std::make_unique<ProgramWindows>();
        // No dummy sound beside this program; that message is not ours.
        Boxes().Texts.clear();
        Boxes().Captions.clear();
        Boxes().Flags.clear();
        DeleteFileW((LibFolder() + L"release").c_str());
        DeleteFileW((LibFolder() + L"fake_converter_args.txt").c_str());
        DeleteFileW((LibFolder() + L"fake_probe_args.txt").c_str());
        DeleteFileW((LibFolder() + L"fake_probe.txt").c_str());
        Dir = ScratchFolder(L"convert");
        Avi = Dir + L"rec.avi";
        WriteFileBytes(Avi, "RIFF");
        SetConversion(Dir, L"out.mp4", Avi, 10);
    }
    void TearDown() override {
        RegisterServer(false);
        DeleteFileW((LibFolder() + L"fake_converter.txt").c_str());
        DeleteFileW((LibFolder() + L"fake_probe.txt").c_str());
        FWindows.reset();
    }
    MessageBoxAnswers& Boxes() { return FWindows->Boxes; }
    std::wstring Status() const { return FormProgress->LabelStatus->Caption(); }
    bool AviExists() const { return FileExists(Avi); }
    bool OutputExists() const { return FileExists(Dir + L"out.mp4"); }
    void ExpectFailedKeepingTheAvi() const {
        EXPECT_EQ(L"変換処理が失敗しました\r\n" + Avi, Status());
        EXPECT_TRUE(AviExists());
        EXPECT_FALSE(OutputExists()) << "nothing is left under the finished file's name";
        ExpectFinishedButtons(false);
    }
    void ExpectFinishedButtons(bool openDir) const {
        EXPECT_TRUE(FormProgress->Visible());
        EXPECT_TRUE(FormProgress->BtnClose->Enabled());
        EXPECT_FALSE(FormProgress->BtnCancel->Enabled());
        EXPECT_EQ(openDir, FormProgress->BtnOpenDir->Enabled());
        EXPECT_EQ(0, FormProgress->ProgressBarStatus->Position());
    }

    std::unique_ptr<ProgramWindows> FWindows;
    std::wstring Dir, Avi;
    ProgressSeen Seen;
};

TEST(FormatRemaining, HoursMinutesSecondsZeroPadded) {
    EXPECT_EQ(L"01時間02分05秒", TFormMain::FormatRemaining(3725));
    EXPECT_EQ(L"100時間00分00秒", TFormMain::FormatRemaining(360000));
    EXPECT_EQ(L"00時間00分00秒", TFormMain::FormatRemaining(0));
}

TEST(ParseProgressTime, PlainSecondsAndHoursMinutesSeconds) {
    double v = -1;
    EXPECT_TRUE(TFormMain::ParseProgressTime(L" 12.34 ", v));
    EXPECT_DOUBLE_EQ(12.34, v);
    EXPECT_TRUE(TFormMain::ParseProgressTime(L"00:01:02.50 ", v));
    EXPECT_DOUBLE_EQ(62.5, v);
    EXPECT_TRUE(TFormMain::ParseProgressTime(L"25:00:05.00", v));
    EXPECT_DOUBLE_EQ(90005.0, v);
    for (const wchar_t* bad : {L"", L"  ", L"N/A", L"1:2", L"12.3.4", L"1:2:3:4", L"a1", L"1.5x", L"00:1.5:00"})
        EXPECT_FALSE(TFormMain::ParseProgressTime(bad, v)) << Narrow(bad);
}

// One progress line, handled as the runner hands it over.
void Line(const std::wstring& text) {
    FormMain->DosCommandConvertNewLine(FormMain->DosCommandConvert, text, otWholeLine);
}

TEST_F(Conversion, ProgressLineSetsBarAndTimeLeftFromEitherTimeForm) {
    FormMain->FClock = &TestClock;
    gClockNow = EncodeDateTime(2026, 12, 9, 10, 0, 3, 0);
    FormMain->FConvertStart = EncodeDateTime(2026, 12, 9, 10, 0, 0, 0);
    const std::wstring half = L"変換処理を行っています\r\n(50.00%完了 / 残り時間：00時間00分03秒)";

    FormProgress->SetRange(0, 10);
    FormProgress->SetStatus(L"初期化しています");
    Line(L"frame=   55 fps= 11 q=28.0 size=     256kB time=5.49 bitrate= 381.5kbits/s");
    EXPECT_EQ(5, FormProgress->ProgressBarStatus->Position());
    EXPECT_EQ(half, Status());

    FormProgress->SetRange(0, 10);
    FormProgress->SetStatus(L"初期化しています");
    Line(L"frame=   55 fps= 11 q=28.0 size=     256kB time=00:00:05.49 bitrate= 381.5kbits/s speed=1x");
    EXPECT_EQ(5, FormProgress->ProgressBarStatus->Position());
    EXPECT_EQ(half, Status());

    // Past the end: the bar stops at its maximum, nothing left.
    Line(L"size= 1kB time=00:00:12.00 bitrate= 1kbits/s");
    EXPECT_EQ(10, FormProgress->ProgressBarStatus->Position());
    EXPECT_EQ(L"変換処理を行っています\r\n(100.00%完了 / 残り時間：00時間00分00秒)", Status());

    // Halves go to the even neighbour.
    Line(L"time=2.5 bitrate=");
    EXPECT_EQ(2, FormProgress->ProgressBarStatus->Position());
    Line(L"time=3.5 bitrate=");
    EXPECT_EQ(4, FormProgress->ProgressBarStatus->Position());
}

TEST_F(Conversion, LinesWithoutAReadableTimeChangeNothing) {
    FormMain->FClock = &TestClock;
    FormProgress->SetRange(0, 10);
    FormProgress->SetPosition(7);
    FormProgress->SetStatus(L"初期化しています");
    for (const wchar_t* text : {L"Input #0, avi, from 'rec.avi':", L"time=5.0 without the rate word",
                                L"time=N/A bitrate=N/A", L"time= bitrate=", L"size=1kB time=1:2 bitrate=1"}) {
        Line(text);
        EXPECT_EQ(7, FormProgress->ProgressBarStatus->Position()) << Narrow(text);
        EXPECT_EQ(L"初期化しています", Status()) << Narrow(text);
    }
    // A recording under one second: the bar stays at 0 and so does the text.
    FormProgress->SetRange(0, 0);
    Line(L"time=00:00:00.50 bitrate= 1kbits/s");
    EXPECT_EQ(0, FormProgress->ProgressBarStatus->Position());
    EXPECT_EQ(L"初期化しています", Status());
}

TEST_F(Conversion, ExitCodeMarksFailureOnlyWhenNotZero) {
    FormMain->DosCommandConvertTerminated(nullptr, 0);
    EXPECT_FALSE(FormProgress->Failed());
    FormMain->DosCommandConvertTerminated(nullptr, 1);
    EXPECT_TRUE(FormProgress->Failed());
}

TEST_F(Conversion, SuccessReportsFileNameDeletesAviAndShowsProgress) {
    WriteScript(
        "outln ffmpeg version stand-in\n"
        "out frame=   20 fps=0.0 q=0.0 size=       0kB time=2.00 bitrate=   0.0kbits/s\n"
        "out frame=   50 fps=0.0 q=0.0 size=       0kB time=00:00:05.00 bitrate=   0.0kbits/s speed=2x\n"
        "outln frame=  100 fps=0.0 q=0.0 size=       0kB time=00:00:10.00 bitrate=   0.0kbits/s speed=2x\n"
        "writeout 2000\nexit 0\n");
    ProbeReaches("00:00:09.90");
    RecordProgress(Seen);
    FormMain->ConvertRecording();

    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
    EXPECT_FALSE(AviExists());
    EXPECT_EQ(2000u, ReadFileBytes(Dir + L"out.mp4").size());
    // The output was read back by the converter, every stream copied into nothing.
    EXPECT_EQ(Narrow(L"lib\\ffmpeg.exe -nostdin -hide_banner -i \"" + Dir + L"out.mp4\" -map 0 -c copy -f null -"),
              ReadFileBytes(LibFolder() + L"fake_probe_args.txt"));
    ExpectFinishedButtons(true);
    EXPECT_TRUE(Boxes().Texts.empty());
    // The command line the converter got, byte for byte.
    EXPECT_EQ(Narrow(L"lib\\ffmpeg.exe" + FormMain->FSettings->BuildFfmpegArgs()),
              ReadFileBytes(LibFolder() + L"fake_converter_args.txt"));
    // Both forms of "time=" moved the bar and brought the time left.
    bool sawTwo = false, sawFive = false, sawTimeLeft = false;
    for (std::size_t i = 0; i < Seen.Positions.size(); ++i) {
        sawTwo |= Seen.Positions[i] == 2;
        sawFive |= Seen.Positions[i] == 5;
        sawTimeLeft |= Seen.Statuses[i].find(L"残り時間：") != std::wstring::npos;
    }
    EXPECT_TRUE(sawTwo);
    EXPECT_TRUE(sawFive);
    EXPECT_TRUE(sawTimeLeft);

    // The close button gives the main window back.
    FormMain->SetEnabled(false);
    FormProgress->BtnCloseClick(FormProgress->BtnClose);
    EXPECT_FALSE(FormProgress->Visible());
    EXPECT_TRUE(FormMain->Enabled());
}

TEST_F(Conversion, FailedConversionKeepsTheAviAndNamesIt) {
    WriteScript("outln Conversion failed!\nexit 1\n");
    FormMain->ConvertRecording();
    EXPECT_EQ(L"変換処理が失敗しました\r\n" + Avi, Status());
    EXPECT_TRUE(AviExists());
    ExpectFinishedButtons(false);
}

// An exit code of 0 is no proof of an output: the recording's only copy,
// the AVI, stays unless the output exists, is not empty and reads back as
// long as the recording.
TEST_F(Conversion, ExitZeroWithoutAWholeOutputFailsAndKeepsTheAvi) {
    ProbeReaches("00:00:10.00");
    // Nothing written at all.
    WriteScript("outln frame= 100 size= 0kB time=00:00:10.00 bitrate= 0kbits/s\nexit 0\n");
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();

    // An empty file.
    WriteScript("outln frame= 100 size= 0kB time=00:00:10.00 bitrate= 0kbits/s\nwriteout 0\nexit 0\n");
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();

    // A file the converter cannot read back (an MP4 without its index).
    WriteScript("writeout 4096\nexit 0\n");
    WriteProbeScript(
        "outln [mov,mp4,m4a,3gp,3g2,mj2 @ 0x1] moov atom not found\n"
        "outln out.mp4: Invalid data found when processing input\nexit 1\n");
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();

    // A file cut short: it reads back as 3 s of a 10 s recording.
    WriteScript("writeout 4096\nexit 0\n");
    ProbeReaches("00:00:03.00");
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();

    // Within the tolerance: 2 s and 1 % of the length below it still counts.
    WriteScript("writeout 4096\nexit 0\n");
    ProbeReaches("00:00:07.95");
    FormMain->ConvertRecording();
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
    EXPECT_FALSE(AviExists());
    EXPECT_TRUE(OutputExists());
}

TEST_F(Conversion, ConverterThatSaysItCouldNotWriteTheOutputFails) {
    // The shipped converter on a full drive: it says so and still ends with 0.
    WriteScript(
        "outln frame= 100 size= 0kB time=00:00:10.00 bitrate= 0kbits/s\n"
        "outln [ipod @ 0x1] Error writing trailer of out.mp4: Invalid argument\nwriteout 4096\nexit 0\n");
    ProbeReaches("00:00:10.00");
    FormMain->FStartTag = 2;
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();
    EXPECT_FALSE(FormMain->TimerRegistiTunes->Enabled());
    EXPECT_TRUE(Boxes().Texts.empty()) << "no iTunes step";
    EXPECT_FALSE(FileExists(LibFolder() + L"fake_probe_args.txt")) << "nothing to read back";

    for (const char* line : {"No space left on device", "av_interleaved_write_frame(): No space left on device",
                             "Error closing file out.mp4: No space left on device"}) {
        WriteScript(std::string("outln ") + line + "\nwriteout 4096\nexit 0\n");
        FormMain->ConvertRecording();
        ExpectFailedKeepingTheAvi();
    }
}

TEST_F(Conversion, FailedConversionRemovesWhatItLeftUnderTheOutputName) {
    WriteScript("writeout 0\noutln Conversion failed!\nexit 1\n");
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();
    WriteScript("writeout 5000\noutln Conversion failed!\nexit 1\n");
    FormMain->ConvertRecording();
    ExpectFailedKeepingTheAvi();
}

TEST_F(Conversion, CancelRemovesTheUnfinishedOutputAndKeepsTheAvi) {
    WriteScript("writeout 1300000\nrepeat frame= 1 size= 0kB time=00:00:01.00 bitrate= 0kbits/s\nexit 0\n");
    Boxes().Answers = {IDYES};
    ClickCancelSoon();
    FormMain->ConvertRecording();
    EXPECT_EQ(L"キャンセルしました\r\n" + Avi, Status());
    EXPECT_TRUE(AviExists());
    EXPECT_FALSE(OutputExists());
    ExpectFinishedButtons(false);
}

TEST_F(Conversion, CancelStopsAConverterThatPrintsNothing) {
    // The stand-in writes a little, then waits 60 s without a word.
    WriteScript("writeout 1000\nwaitfile never\nexit 0\n");
    Boxes().Answers = {IDYES};
    ClickCancelSoon();
    const DWORD start = GetTickCount();
    FormMain->ConvertRecording();
    const DWORD took = GetTickCount() - start;
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"キャンセルしてよろしいですか？", Boxes().Texts[0]);
    EXPECT_LT(took, 30000u) << "the silent converter was not stopped";
    EXPECT_EQ(L"キャンセルしました\r\n" + Avi, Status());
    EXPECT_TRUE(AviExists());
    EXPECT_FALSE(OutputExists()) << "the stopped converter's file is removed";
    ExpectFinishedButtons(false);
}

TEST_F(Conversion, ZeroSecondRecordingLeavesInitialStatusWhileRunning) {
    SetConversion(Dir, L"out.mp4", Avi, 0);
    WriteScript(
        "out size= 0kB time=00:00:00.40 bitrate= 0kbits/s\nout size= 0kB time=0.40 bitrate= 0kbits/s\n"
        "writeout 100\nexit 0\n");
    ProbeReaches("00:00:00.40");
    RecordProgress(Seen);
    FormMain->ConvertRecording();
    ASSERT_FALSE(Seen.Statuses.empty());
    for (std::size_t i = 0; i < Seen.Statuses.size(); ++i) {
        EXPECT_EQ(L"初期化しています", Seen.Statuses[i]);
        EXPECT_EQ(0, Seen.Positions[i]);
    }
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
}

TEST_F(Conversion, CancelAnsweredYesStopsTheConverterAndKeepsTheAvi) {
    // The converter prints progress until it is stopped.
    WriteScript("repeat frame= 1 size= 0kB time=00:00:01.00 bitrate= 0kbits/s\nexit 0\n");
    Boxes().Answers = {IDYES};
    ClickCancelSoon();
    FormMain->ConvertRecording();
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"キャンセルしてよろしいですか？", Boxes().Texts[0]);
    EXPECT_EQ(L"Tavrel3", Boxes().Captions[0]);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), Boxes().Flags[0]);
    EXPECT_EQ(L"キャンセルしました\r\n" + Avi, Status());
    EXPECT_TRUE(AviExists());
    ExpectFinishedButtons(false);
}

TEST_F(Conversion, CancelAnsweredNoGoesOnToSuccess) {
    // The converter goes on only after the question has been answered.
    WriteScript(
        "out frame= 1 size= 0kB time=1.00 bitrate= 0kbits/s\nwaitfile release\n"
        "outln frame= 1 size= 0kB time=10.00 bitrate= 0kbits/s\nwriteout 100\nexit 0\n");
    ProbeReaches("00:00:10.00");
    Boxes().Answers = {IDNO};
    TMessageBoxHandler recording = Application->SetMessageBoxHandler(nullptr);
    Application->SetMessageBoxHandler([recording](HWND w, const std::wstring& t, const std::wstring& c, UINT f) {
        const int answer = recording(w, t, c, f);
        WriteFileBytes(LibFolder() + L"release", "");
        return answer;
    });
    ClickCancelSoon();
    FormMain->ConvertRecording();
    Application->SetMessageBoxHandler(recording);
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"キャンセルしてよろしいですか？", Boxes().Texts[0]);
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
    EXPECT_FALSE(AviExists());
    DeleteFileW((LibFolder() + L"release").c_str());
}

TEST_F(Conversion, ITunesStepWithoutITunesFailsQuietlyAndTheReportFollows) {
    WriteScript("exit 0\n");
    WriteFileBytes(Dir + L"out.mp4", "mp4");
    ProbeReaches("00:00:10.00");
    FormMain->FStartTag = 2;
    FormMain->ConvertRecording();
    EXPECT_EQ(2, FormMain->FITunesDone);
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_FALSE(FormMain->TimerRegistiTunes->Enabled());
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
    ExpectFinishedButtons(true);

    // The step itself, with its own status text; a folder without its
    // trailing delimiter finds the file all the same.
    FormMain->FSettings->SaveDir = Dir.substr(0, Dir.size() - 1);
    FormMain->RegisterInITunes();
    EXPECT_EQ(L"iTunesへの転送に失敗しました", Status());
    EXPECT_TRUE(Boxes().Texts.empty());
}

TEST_F(Conversion, ITunesStepWithTheFileGoneSaysSoOnce) {
    WriteScript("exit 0\n");
    WriteFileBytes(Dir + L"out.mp4", "mp4");
    // Gone between the read-back and the hand-off.
    WriteProbeScript("out size=N/A time=00:00:10.00 bitrate=N/A\nremoveout\nexit 0\n");
    FormMain->FStartTag = 2;
    FormMain->ConvertRecording();
    ASSERT_EQ(1u, Boxes().Texts.size());
    EXPECT_EQ(L"転送元ファイルにアクセスできません", Boxes().Texts[0]);
    EXPECT_EQ(L"Tavrel3", Boxes().Captions[0]);
    EXPECT_EQ(2, FormMain->FITunesDone);
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
    ExpectFinishedButtons(true);
}

TEST_F(Conversion, FailedConversionNeverStartsTheITunesStep) {
    WriteScript("exit 3\n");
    FormMain->FStartTag = 2;
    FormMain->ConvertRecording();
    EXPECT_EQ(L"変換処理が失敗しました\r\n" + Avi, Status());
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_FALSE(FormMain->TimerRegistiTunes->Enabled());
}

TEST_F(Conversion, ITunesStepHandsTheFileToTheAutomationServer) {
    ASSERT_EQ(0, RegisterServer(true));
    const std::wstring added = testsupport::ProgramFolder() + L"itunes_added.txt";
    DeleteFileW(added.c_str());
    WriteScript("exit 0\n");
    WriteFileBytes(Dir + L"out.mp4", "mp4");
    ProbeReaches("00:00:10.00");
    FormMain->FStartTag = 2;
    FormMain->ConvertRecording();
    EXPECT_EQ(1, FormMain->FITunesDone);
    EXPECT_TRUE(Boxes().Texts.empty());
    EXPECT_EQ(Narrow(Dir + L"out.mp4") + "\n", ReadFileBytes(added));
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", Status());
    ExpectFinishedButtons(true);

    // The step's own status texts.
    FormMain->RegisterInITunes();
    EXPECT_EQ(L"iTunesへの転送が完了しました", Status());
    // A failing call is a failed hand-off, without a message box.
    FormMain->FSettings->FileName = L"refuse.mp4";
    WriteFileBytes(Dir + L"refuse.mp4", "mp4");
    FormMain->RegisterInITunes();
    EXPECT_EQ(2, FormMain->FITunesDone);
    EXPECT_EQ(L"iTunesへの転送に失敗しました", Status());
    EXPECT_TRUE(Boxes().Texts.empty());
}

}  // namespace
