// The system's close command (Alt+F4, the taskbar's "Close window") reaches
// the windows as WM_CLOSE or as WM_SYSCOMMAND with SC_CLOSE. The progress
// dialog refuses it while its close button is disabled and otherwise does
// what that button does; the capture-area frame always refuses it.
#include "tests/app/convert_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

std::wstring LibFolder() { return testsupport::ProgramFolder() + L"lib\\"; }

void PostSystemClose(HWND w, bool asSysCommand) {
    if (asSysCommand)
        PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageW(w, WM_CLOSE, 0, 0);
}

// What the windows showed after both kinds of close had been handled
// during the conversion.
struct SeenWhileConverting {
    bool Done = false;
    bool DialogVisible = false;
    bool MainEnabled = true;
};
SeenWhileConverting gSeen;

// Posts both kinds of close to the dialog from inside the conversion's own
// message processing; a timer, which comes only after every posted message
// was handled, then records the windows and lets the converter end.
void CloseDialogWhileConverting() {
    struct Fire {
        static void CALLBACK Look(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            gSeen.Done = true;
            gSeen.DialogVisible = FormProgress->Visible() && IsWindowVisible(FormProgress->Handle());
            gSeen.MainEnabled = FormMain->Enabled();
            WriteFileBytes(LibFolder() + L"release", "");
        }
        static void CALLBACK Post(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            PostSystemClose(FormProgress->Handle(), false);
            PostSystemClose(FormProgress->Handle(), true);
            SetTimer(nullptr, 0, 10, &Look);
        }
    };
    SetTimer(nullptr, 0, 10, &Fire::Post);
}

class SystemClose : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        FWindows = std::make_unique<ProgramWindows>();
        // No dummy sound beside this program; that message is not ours.
        FWindows->Boxes.Texts.clear();
        DeleteFileW((LibFolder() + L"release").c_str());
        Dir = ScratchFolder(L"system_close");
        WriteFileBytes(Dir + L"rec.avi", "RIFF");
        SetConversion(Dir, L"out.mp4", Dir + L"rec.avi", 10);
    }
    void TearDown() override {
        DeleteFileW((LibFolder() + L"fake_converter.txt").c_str());
        DeleteFileW((LibFolder() + L"release").c_str());
        FWindows.reset();
    }
    std::unique_ptr<ProgramWindows> FWindows;
    std::wstring Dir;
};

TEST_P(SystemClose, ProgressDialogRefusesWhileConvertingThenClosesLikeItsButton) {
    const bool asSysCommand = GetParam();
    WriteFileBytes(LibFolder() + L"fake_converter.txt",
                   "out frame= 1 size= 0kB time=1.00 bitrate= 0kbits/s\nwaitfile release\nexit 0\n");
    // As the finish leaves things: the recording state, the main window disabled.
    FormMain->SetUiState(usRecording);
    FormMain->SetEnabled(false);
    gSeen = {};
    CloseDialogWhileConverting();
    FormMain->ConvertRecording();
    ASSERT_TRUE(gSeen.Done);
    EXPECT_TRUE(gSeen.DialogVisible) << "a close while converting is refused";
    EXPECT_FALSE(gSeen.MainEnabled);

    // The report is there, its close button enabled: the system's close now
    // does what the button does.
    ASSERT_TRUE(FormProgress->BtnClose->Enabled());
    ASSERT_TRUE(FormProgress->Visible());
    EXPECT_FALSE(FormMain->Enabled());
    PostSystemClose(FormProgress->Handle(), asSysCommand);
    ProgramWindows::Pump(10);
    EXPECT_FALSE(FormProgress->Visible());
    EXPECT_FALSE(IsWindowVisible(FormProgress->Handle()));
    EXPECT_TRUE(FormMain->Enabled()) << "the main window is given back";
    EXPECT_TRUE(FormMain->pngCaptureStart->Enabled()) << "in the idle state";
    EXPECT_FALSE(FormMain->pngCaptureFinish->Enabled());
    EXPECT_TRUE(FWindows->Boxes.Texts.empty());
}

TEST_P(SystemClose, CaptureAreaFrameRefuses) {
    ASSERT_TRUE(FormCaptureSize->Visible());
    PostSystemClose(FormCaptureSize->Handle(), GetParam());
    ProgramWindows::Pump(10);
    EXPECT_TRUE(FormCaptureSize->Visible());
    EXPECT_TRUE(IsWindowVisible(FormCaptureSize->Handle()));
    EXPECT_TRUE(FWindows->Boxes.Texts.empty());
}

INSTANTIATE_TEST_SUITE_P(Both, SystemClose, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "SysCommand" : "WmClose";
});

}  // namespace
