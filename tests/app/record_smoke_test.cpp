// A recording from the start button to the converted file, in the test's
// own process: the until-finish mode for a few seconds, then the finish.
#include "tests/app/convert_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

TEST(Recording, UntilFinishGivesAnMp4) {
    const std::wstring dir = ScratchFolder(L"record_smoke");
    ProgramWindows windows("DEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(dir) + "\r\nFPS=10\r\n");
    windows.Boxes.Texts.clear();
    FormMain->RBRecStart->SetChecked(true);
    FormMain->EditCapturePosLeft->SetText(L"0");
    FormMain->EditCapturePosTop->SetText(L"0");
    FormMain->EditCapturePosRigth->SetText(L"320");
    FormMain->EditCapturePosBottom->SetText(L"240");
    FormMain->pngCaptureStartClick(FormMain->pngCaptureStart);
    for (const auto& t : windows.Boxes.Texts) ADD_FAILURE() << Narrow(t);
    ASSERT_TRUE(FormMain->TimerCaptureTime->Enabled());
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) ProgramWindows::Pump(1);
    FormMain->pngCaptureFinishClick(FormMain->pngCaptureFinish);
    EXPECT_EQ(L"全ての処理が完了しました\r\n保存ファイル名【" + FormMain->FSettings->FileName + L"】",
              FormProgress->LabelStatus->Caption());
    EXPECT_TRUE(FileExists(dir + FormMain->FSettings->FileName));
    EXPECT_FALSE(FileExists(FormMain->FSettings->TempAviPath));
    FormProgress->BtnCloseClick(nullptr);
}

}  // namespace
