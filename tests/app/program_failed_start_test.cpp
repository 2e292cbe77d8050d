// Tavrel.exe driven from another process whose temporary folder is missing:
// the start fails with a message naming the temporary AVI, the window comes
// back idle, the program closes and ends, and the next start of the program
// comes up as the only instance. The capture-area frame refuses the
// system's close on the way.
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "tests/app/app_test_support.h"
#include "tests/app/program_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace driver;
using apptest::ConfigDir;

constexpr POINT kStartButton{8 + 42, 6 + 37};

// The temporary folder the programs started while the guard lives get.
class ChildTempFolder {
public:
    explicit ChildTempFolder(const std::wstring& folder) {
        wchar_t old[MAX_PATH] = {};
        FHad = GetEnvironmentVariableW(L"TMP", old, MAX_PATH) != 0;
        FOld = old;
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~ChildTempFolder() { SetEnvironmentVariableW(L"TMP", FHad ? FOld.c_str() : nullptr); }
    ChildTempFolder(const ChildTempFolder&) = delete;
    ChildTempFolder& operator=(const ChildTempFolder&) = delete;

private:
    bool FHad = false;
    std::wstring FOld;
};

bool IsCaptureFrame(HWND w) {
    return ClassOf(w) == L"TavrelWindow" && !IsMainWindow(w) && !(GetWindowLongW(w, GWL_STYLE) & WS_CAPTION);
}

TEST(ProgramFailedStart, MissingTemporaryFolderThenCloseAndStartAgain) {
    const std::wstring saveDir = apptest::ScratchFolder(L"program_failed_start");
    ForceDirectories(ConfigDir());
    apptest::WriteFileBytes(ConfigDir() + L"config.ini",
                            "[CONF]\r\nDEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(saveDir) +
                                "\r\nFPS=10\r\nCATEGORY=0\r\nMOVIE_TYPE=0\r\nCOMPRESSOR=\r\nUSE_LOOPBACK=0\r\n");
    const std::wstring missing = saveDir + L"no_such_temp\\";
    {
        const ChildTempFolder temp(missing);
        Process p;
        ASSERT_TRUE(p.Started());
        HWND main = WaitForMainWindow(p.Id());
        ASSERT_TRUE(main);

        // The capture-area frame stays through the system's close.
        HWND frame = WaitForTopWindow(p.Id(), IsCaptureFrame);
        ASSERT_TRUE(frame);
        PostMessageW(frame, WM_CLOSE, 0, 0);
        PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        // A message sent after the posted ones returns once they were handled.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
        EXPECT_TRUE(IsWindowVisible(frame)) << "the frame refuses the system's close";

        HWND untilFinish = FindChildByText(main, L"録画開始から録画終了ボタンを押すまで録画する");
        ASSERT_TRUE(untilFinish);
        ClickWindow(untilFinish);
        ASSERT_TRUE(WaitUntil([&] { return SendMessageW(untilFinish, BM_GETCHECK, 0, 0) == BST_CHECKED; }));

        ClickAt(main, kStartButton.x, kStartButton.y);
        HWND box = WaitForMessageBox(p.Id());
        ASSERT_TRUE(box);
        const std::wstring text = MessageBoxText(box);
        const std::wstring named = L"multiplexerの初期化に失敗しました\r\n" + missing;
        EXPECT_EQ(named, text.substr(0, named.size())) << WideToUtf8(text);
        PressButton(box, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return MessageBoxTexts(p.Id()).empty(); }));
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(untilFinish) != FALSE; })) << "idle again";

        CloseWithYes(p, main);
        ASSERT_TRUE(p.Ended()) << "the program ends instead of hanging hidden";
    }

    // The next start is the only instance.
    Process again;
    ASSERT_TRUE(again.Started());
    HWND main = WaitForMainWindow(again.Id());
    ASSERT_TRUE(main);
    EXPECT_TRUE(MessageBoxTexts(again.Id()).empty());
    CloseWithYes(again, main);
}

}  // namespace
