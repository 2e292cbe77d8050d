// The conversion with the real converter shipped at lib\ffmpeg.exe: a short
// AVI made by that converter from its own test sources becomes an MP4, the
// progress dialog moves, and the temporary AVI goes.
#include "tests/app/convert_support.h"
#include "tests/app/small_drive.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace apptest;

// A 5 s AVI of the converter's own test picture and tone.
long MakeAvi(const std::wstring& avi) {
    return RunAndWait(L"\"" + testsupport::ProgramFolder() +
                      L"lib\\ffmpeg.exe\" -nostdin -y -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 "
                      L"-f lavfi -i sine=frequency=440:sample_rate=44100 -t 5 -c:v rawvideo -pix_fmt bgr24 "
                      L"-c:a pcm_s16le \"" +
                      avi + L"\"");
}

TEST(RealConverter, SmallAviBecomesMp4WithProgress) {
    ProgramWindows windows;
    windows.Boxes.Texts.clear();
    const std::wstring dir = ScratchFolder(L"convert_ffmpeg");
    const std::wstring avi = dir + L"rec.avi";
    ASSERT_EQ(0, MakeAvi(avi));
    ASSERT_TRUE(FileExists(avi));

    SetConversion(dir, L"out.mp4", avi, 5);
    ProgressSeen seen;
    RecordProgress(seen);
    FormMain->ConvertRecording();

    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【out.mp4】", FormProgress->LabelStatus->Caption());
    EXPECT_FALSE(FileExists(avi));
    const std::string mp4 = ReadFileBytes(dir + L"out.mp4");
    ASSERT_GT(mp4.size(), 1000u);
    EXPECT_EQ("ftyp", mp4.substr(4, 4));
    EXPECT_TRUE(FormProgress->BtnClose->Enabled());
    EXPECT_TRUE(FormProgress->BtnOpenDir->Enabled());
    EXPECT_TRUE(windows.Boxes.Texts.empty());

    bool moved = false, timeLeft = false;
    for (std::size_t i = 0; i < seen.Positions.size(); ++i) {
        moved |= seen.Positions[i] > 0;
        timeLeft |= seen.Statuses[i].find(L"%完了 / 残り時間：") != std::wstring::npos;
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(timeLeft);
}

TEST(RealConverter, DriveThatRunsFullKeepsTheAviAndLeavesNoOutput) {
    // Room for the start of the MP4 but not for the whole of it.
    SmallDrive drive(48 * 1024);
    if (!drive.Ready()) GTEST_SKIP() << "the test environment has no small drive Y:";
    ProgramWindows windows;
    windows.Boxes.Texts.clear();
    const std::wstring dir = ScratchFolder(L"convert_ffmpeg_full");
    const std::wstring avi = dir + L"rec.avi";
    ASSERT_EQ(0, MakeAvi(avi));
    const std::string recording = ReadFileBytes(avi);

    SetConversion(drive.Folder, L"out.mp4", avi, 5);
    ProgressSeen seen;
    RecordProgress(seen);
    FormMain->FStartTag = 2;
    FormMain->ConvertRecording();

    EXPECT_EQ(L"変換処理が失敗しました\r\n" + avi, FormProgress->LabelStatus->Caption());
    EXPECT_EQ(recording, ReadFileBytes(avi)) << "the recording is kept as it was";
    EXPECT_FALSE(FileExists(drive.Folder + L"out.mp4")) << "no broken file under the finished file's name";
    EXPECT_FALSE(FormProgress->BtnOpenDir->Enabled());
    EXPECT_FALSE(FormMain->TimerRegistiTunes->Enabled());
    EXPECT_TRUE(windows.Boxes.Texts.empty()) << "no iTunes step";
    std::wstring said;
    for (const std::wstring& line : seen.Lines) said += line + L"\n";
    std::printf("converter on the full drive said:\n%s\n", Narrow(said).c_str());
}

}  // namespace
