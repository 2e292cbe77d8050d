// The conversion with the real converter shipped at lib\ffmpeg.exe: a short
// AVI made by that converter from its own test sources becomes an MP4, the
// progress dialog moves, and the temporary AVI goes.
#include "tests/app/convert_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

TEST(RealConverter, SmallAviBecomesMp4WithProgress) {
    ProgramWindows windows;
    windows.Boxes.Texts.clear();
    const std::wstring dir = ScratchFolder(L"convert_ffmpeg");
    const std::wstring avi = dir + L"rec.avi";
    ASSERT_EQ(0, RunAndWait(L"\"" + testsupport::ProgramFolder() +
                            L"lib\\ffmpeg.exe\" -nostdin -y -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 "
                            L"-f lavfi -i sine=frequency=440:sample_rate=44100 -t 5 -c:v rawvideo -pix_fmt bgr24 "
                            L"-c:a pcm_s16le \"" + avi + L"\""));
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

}  // namespace
