// The program run as a user runs it: Tavrel.exe started beside its
// dummy.mp3, driven through window messages only. The test finds the
// program's windows and answers its message boxes.
#include "classlib/runtime/files.h"
#include "classlib/ui/shell.h"
#include "tests/app/app_test_support.h"
#include "tests/app/program_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using apptest::ConfigDir;
using apptest::ReadFileBytes;

using namespace driver;

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        // A first start: no settings folder yet.
        const std::wstring dir = ConfigDir();
        DeleteFileW((dir + L"config.ini").c_str());
        RemoveDirectoryW((dir + L"config.ini").c_str());
        RemoveDirectoryW(ExcludeTrailingPathDelimiter(dir).c_str());
        ASSERT_FALSE(DirectoryExists(dir));
    }
};

TEST_F(ProgramRun, SecondStartSaysSoAndEndsLeavingTheFirst) {
    Process first;
    ASSERT_TRUE(first.Started());
    HWND main = WaitForMainWindow(first.Id());
    ASSERT_TRUE(main);

    Process second;
    ASSERT_TRUE(second.Started());
    HWND box = WaitForMessageBox(second.Id());
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"既に起動しています");
    EXPECT_EQ(TextOf(box), L"Tavrel3");
    EXPECT_FALSE(FindTopWindow(second.Id(), [](HWND w) { return ClassOf(w) == L"TavrelWindow"; }))
        << "the second start makes no window";
    PressButton(box, IDOK);
    EXPECT_TRUE(second.Ended());

    EXPECT_FALSE(first.Ended(0));
    EXPECT_TRUE(IsWindow(main));
    CloseWithYes(first, main);
}

TEST_F(ProgramRun, StartsNormallyAfterAnInstanceWasKilled) {
    {
        Process killed;
        ASSERT_TRUE(killed.Started());
        ASSERT_TRUE(WaitForMainWindow(killed.Id()));
        killed.Kill();
    }
    Process next;
    ASSERT_TRUE(next.Started());
    HWND main = WaitForMainWindow(next.Id());
    ASSERT_TRUE(main) << "an abandoned mutex counts as free";
    EXPECT_FALSE(FindTopWindow(next.Id(), [](HWND w) { return ClassOf(w) == L"#32770"; }));
    CloseWithYes(next, main);
}

TEST_F(ProgramRun, SettingsFolderAtFirstStartAndConfigOnlyAtExit) {
    {
        Process p;
        ASSERT_TRUE(p.Started());
        HWND main = WaitForMainWindow(p.Id());
        ASSERT_TRUE(main);
        EXPECT_TRUE(DirectoryExists(ConfigDir()));
        EXPECT_FALSE(FileExists(ConfigDir() + L"config.ini"));

        // A changed setting, closed without recording.
        HWND cursor = FindChildByText(main, L"マウスカーソルを含める");
        ASSERT_TRUE(cursor);
        SendMessageW(cursor, BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageW(cursor, BM_GETCHECK, 0, 0), BST_CHECKED);

        // No keeps it running and writes nothing.
        PostMessageW(main, WM_CLOSE, 0, 0);
        HWND box = WaitForMessageBox(p.Id());
        ASSERT_TRUE(box);
        PressButton(box, IDNO);
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
        EXPECT_FALSE(p.Ended(200));
        EXPECT_FALSE(FileExists(ConfigDir() + L"config.ini"));
        CloseWithYes(p, main);
    }
    const std::string ini = ReadFileBytes(ConfigDir() + L"config.ini");
    EXPECT_EQ(ini.find("[CONF]"), 0u) << ini;
    EXPECT_NE(ini.find("CONTAIN_CURSOR=1"), std::string::npos) << ini;
    EXPECT_LT(ini.find("FPS="), ini.find("QUALITY=")) << "written in the write order";

    Process again;
    ASSERT_TRUE(again.Started());
    HWND main = WaitForMainWindow(again.Id());
    ASSERT_TRUE(main);
    HWND cursor = FindChildByText(main, L"マウスカーソルを含める");
    ASSERT_TRUE(cursor);
    EXPECT_EQ(SendMessageW(cursor, BM_GETCHECK, 0, 0), BST_CHECKED) << "shown again at the next start";
    CloseWithYes(again, main);
}

TEST_F(ProgramRun, SoundThatCannotOpenIsReportedAndStartUpGoesOn) {
    // A copy of the program beside a "dummy.mp3" that is no sound at all:
    // the sound device cannot open it.
    const std::wstring folder = apptest::ScratchFolder(L"unplayable_sound");
    ASSERT_TRUE(
        CopyFileW((testsupport::ProgramFolder() + L"Tavrel.exe").c_str(), (folder + L"Tavrel.exe").c_str(), FALSE));
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) % 251);
    apptest::WriteFileBytes(folder + L"dummy.mp3", noise);

    Process p(folder);
    ASSERT_TRUE(p.Started());
    HWND box = WaitForMessageBox(p.Id());
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"MCIの初期化に失敗しました");
    PressButton(box, IDOK);
    HWND main = WaitForMainWindow(p.Id());
    ASSERT_TRUE(main) << "start-up goes on";
    EXPECT_TRUE(DirectoryExists(ConfigDir())) << "the later steps of the creation ran";
    EXPECT_FALSE(FindTopWindow(p.Id(), [](HWND w) { return ClassOf(w) == L"#32770"; })) << "reported once";
    CloseWithYes(p, main);
}

TEST_F(ProgramRun, SettingsThatCannotBeWrittenAtExitAreReportedBeforeTheEnd) {
    // A folder where the settings file belongs: it cannot be written.
    ASSERT_TRUE(ForceDirectories(ConfigDir() + L"config.ini"));
    // The folder goes whatever the outcome: other tests write the file there.
    struct RemoveFolder {
        ~RemoveFolder() { RemoveDirectoryW((ConfigDir() + L"config.ini").c_str()); }
    } removeFolder;
    {
        Process p;
        ASSERT_TRUE(p.Started());
        HWND main = WaitForMainWindow(p.Id());
        ASSERT_TRUE(main);
        PostMessageW(main, WM_CLOSE, 0, 0);
        HWND question = WaitForMessageBox(p.Id());
        ASSERT_TRUE(question);
        EXPECT_EQ(MessageBoxText(question), L"終了してよろしいですか？");
        PressButton(question, IDYES);

        const std::wstring expected = ConfigDir() + L"config.ini に書き込めません";
        HWND box = WaitForTopWindow(p.Id(), [&](HWND w) { return IsMessageBox(w) && MessageBoxText(w) == expected; });
        ASSERT_TRUE(box) << "the message is shown";
        EXPECT_EQ(TextOf(box), L"Tavrel3");
        // It stays until it is answered, and the program waits for it.
        Sleep(500);
        EXPECT_TRUE(IsWindow(box) && IsWindowVisible(box));
        EXPECT_FALSE(p.Ended(0));
        PressButton(box, IDOK);
        EXPECT_TRUE(p.Ended());
    }
}

TEST(ProgramManifest, DeclaresPerMonitorDpiAwareness) {
    const std::wstring exe = testsupport::ProgramFolder() + L"Tavrel.exe";
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_TRUE(found);
    HGLOBAL data = LoadResource(module, found);
    const std::string manifest(static_cast<const char*>(LockResource(data)), SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << manifest;
}

}  // namespace
