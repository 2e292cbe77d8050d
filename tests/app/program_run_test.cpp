// The program run as a user runs it: Tavrel.exe started beside its
// dummy.mp3, driven through window messages only. The test finds the
// program's windows and answers its message boxes.
#include "classlib/runtime/files.h"
#include "classlib/ui/shell.h"
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using apptest::ConfigDir;
using apptest::ReadFileBytes;

// Generous bounds for a program to come up or go away; the tests wait for
// states, never for times.
constexpr DWORD kWaitMs = 60000;

class Process {
public:
    // Tavrel.exe of the folder (with its trailing delimiter), started there.
    explicit Process(const std::wstring& folder = testsupport::ProgramFolder()) {
        std::wstring command = L"\"" + folder + L"Tavrel.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                           &info)) {
            const TKernelHandle thread(info.hThread);
            FProcess.Reset(info.hProcess);
            FId = info.dwProcessId;
        }
    }
    ~Process() {
        if (!FProcess) return;
        if (WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(FProcess.Get(), 9);
            WaitForSingleObject(FProcess.Get(), kWaitMs);
        }
    }
    bool Started() const { return FProcess.Valid(); }
    DWORD Id() const { return FId; }
    void Kill() const {
        TerminateProcess(FProcess.Get(), 9);
        WaitForSingleObject(FProcess.Get(), kWaitMs);
    }
    bool Ended(DWORD ms = kWaitMs) const { return WaitForSingleObject(FProcess.Get(), ms) == WAIT_OBJECT_0; }

private:
    TKernelHandle FProcess;
    DWORD FId = 0;
};

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::wstring TextOf(HWND w) {
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return text;
}

// The first visible top-level window of the process that matches.
struct TopSearch {
    DWORD pid;
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND w, LPARAM data) {
    auto* s = reinterpret_cast<TopSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner != s->pid || !IsWindowVisible(w) || !(*s->match)(w)) return TRUE;
    s->found = w;
    return FALSE;
}

HWND FindTopWindow(DWORD pid, const std::function<bool(HWND)>& match) {
    TopSearch search{pid, &match, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(DWORD pid, const std::function<bool(HWND)>& match) {
    for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
        if (HWND w = FindTopWindow(pid, match)) return w;
        Sleep(50);
    }
    return nullptr;
}

HWND WaitForMainWindow(DWORD pid) {
    return WaitForTopWindow(pid, [](HWND w) { return ClassOf(w) == L"TavrelWindow" && TextOf(w) == L"Tavrel3"; });
}

// A message box of the process: its text is in the static control 65535.
HWND WaitForMessageBox(DWORD pid) {
    return WaitForTopWindow(pid, [](HWND w) { return ClassOf(w) == L"#32770"; });
}

std::wstring MessageBoxText(HWND box) {
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    return text;
}

void PressButton(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

struct ChildSearch {
    const std::wstring* text;
    HWND found;
};

BOOL CALLBACK MatchChildText(HWND w, LPARAM data) {
    auto* s = reinterpret_cast<ChildSearch*>(data);
    if (TextOf(w) != *s->text) return TRUE;
    s->found = w;
    return FALSE;
}

HWND FindChildByText(HWND parent, const std::wstring& text) {
    ChildSearch search{&text, nullptr};
    EnumChildWindows(parent, MatchChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Closes the main window and answers the question with Yes.
void CloseWithYes(const Process& p, HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(p.Id());
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"終了してよろしいですか？");
    EXPECT_EQ(TextOf(box), L"Tavrel3");
    PressButton(box, IDYES);
    EXPECT_TRUE(p.Ended());
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        // A first start: no settings folder yet.
        const std::wstring dir = ConfigDir();
        DeleteFileW((dir + L"config.ini").c_str());
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
    ASSERT_TRUE(CopyFileW((testsupport::ProgramFolder() + L"Tavrel.exe").c_str(), (folder + L"Tavrel.exe").c_str(),
                          FALSE));
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
