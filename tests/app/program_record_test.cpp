// A recording made with Tavrel.exe as a user makes it, from another process
// that only sends window messages and mouse input: the until-finish mode is
// chosen, the start button pressed, the finish button pressed a few seconds
// later, the progress dialog closed when its close button is enabled and the
// program closed. The MP4 is then in the save folder and plays in the
// shipped converter, and "config.ini" holds what was used.
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "tests/app/app_test_support.h"
#include "tests/app/program_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace driver;
using apptest::ConfigDir;
using apptest::ReadFileBytes;

// The names of the files in a folder that match a pattern such as "*.avi".
std::set<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& pattern) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::wstring TempFolderPath() {
    wchar_t path[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, path);
    return path;
}

LONGLONG FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Runs the converter beside the test program on a file, decoding all of it,
// with its messages written to a file; the exit code and those messages.
struct ConverterRun {
    long ExitCode = -1;
    std::string Messages;
};

ConverterRun DecodeWithConverter(const std::wstring& media, const std::wstring& messagesPath) {
    const testsupport::HiddenRun run =
        testsupport::RunHidden(L"\"" + testsupport::ProgramFolder() + L"lib\\ffmpeg.exe\" -nostdin -hide_banner -i \"" +
                                   media + L"\" -f null -",
                               messagesPath);
    return {run.ExitCode, run.Output};
}

// "Duration: hh:mm:ss.cc" of the converter's messages in seconds, or -1.
double DurationOf(const std::string& messages) {
    const std::size_t at = messages.find("Duration: ");
    if (at == std::string::npos) return -1;
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(messages.c_str() + at + 10, "%d:%d:%lf", &h, &m, &s) != 3) return -1;
    return h * 3600.0 + m * 60.0 + s;
}

// The value of a key of the [CONF] section of an ini text.
std::string IniValue(const std::string& ini, const std::string& key) {
    const std::string start = "\n" + key + "=";
    const std::string text = "\n" + ini;
    const std::size_t at = text.find(start);
    if (at == std::string::npos) return "<missing>";
    const std::size_t from = at + start.size();
    const std::size_t end = text.find_first_of("\r\n", from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The four capture edits in the group "キャプチャ位置/サイズ", left to right:
// left, top, right, bottom.
std::vector<HWND> CaptureEdits(HWND main) {
    std::vector<HWND> edits;
    HWND group = FindChildByText(main, L"キャプチャ位置/サイズ");
    if (!group) return edits;
    FindChild(group, [&](HWND w) {
        if (_wcsicmp(ClassOf(w).c_str(), L"Edit") == 0) edits.push_back(w);
        return false;
    });
    std::sort(edits.begin(), edits.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return edits;
}

// The client points of the image buttons of the main window's top row.
constexpr POINT kStartButton{8 + 42, 6 + 37};
constexpr POINT kFinishButton{188 + 42, 6 + 37};

TEST(ProgramRecording, StartWaitFinishCloseGivesAPlayableMp4AndKeepsTheSettings) {
    const std::wstring saveDir = apptest::ScratchFolder(L"program_record");
    ForceDirectories(ConfigDir());
    apptest::WriteFileBytes(ConfigDir() + L"config.ini",
                            "[CONF]\r\nDEVICE_NAME=Monitor of Null Output\r\nSAVEDIR=" + WideToAnsi(saveDir) +
                                "\r\nFPS=10\r\nCATEGORY=0\r\nMOVIE_TYPE=0\r\nCOMPRESSOR=\r\nUSE_LOOPBACK=0\r\n");
    const std::wstring temp = TempFolderPath();
    const std::set<std::wstring> aviBefore = FilesIn(temp, L"*.avi");

    Process p;
    ASSERT_TRUE(p.Started());
    HWND main = WaitForMainWindow(p.Id());
    ASSERT_TRUE(main);

    // The until-finish mode.
    HWND untilFinish = FindChildByText(main, L"録画開始から録画終了ボタンを押すまで録画する");
    ASSERT_TRUE(untilFinish);
    ClickWindow(untilFinish);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(untilFinish, BM_GETCHECK, 0, 0) == BST_CHECKED; }));

    // The capture area: the frame dragged a little by its band, which
    // writes its rectangle into the capture edits.
    HWND frame = WaitForTopWindow(p.Id(), [](HWND w) {
        return ClassOf(w) == L"TavrelWindow" && !IsMainWindow(w) && !(GetWindowLongW(w, GWL_STYLE) & WS_CAPTION);
    });
    ASSERT_TRUE(frame);
    const std::vector<HWND> edits = CaptureEdits(main);
    ASSERT_EQ(edits.size(), 4u);
    // The edits may already show where the frame stood; the drag moves it
    // by (20, 10), so all four change, and are read once they have.
    std::wstring before[4];
    for (int i = 0; i < 4; ++i) before[i] = ControlText(edits[i]);
    PostMessageW(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(frame, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 20));
    PostMessageW(frame, WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    ASSERT_TRUE(WaitUntil([&] {
        for (int i = 0; i < 4; ++i)
            if (ControlText(edits[i]) == before[i] || ControlText(edits[i]) == L"0") return false;
        return true;
    }));
    int rect[4] = {};
    for (int i = 0; i < 4; ++i) rect[i] = std::wcstol(ControlText(edits[i]).c_str(), nullptr, 10);
    const int width = (rect[2] - rect[0]) & ~1, height = (rect[3] - rect[1]) & ~1;
    ASSERT_GE(width, 120) << rect[0] << " " << rect[1] << " " << rect[2] << " " << rect[3];
    ASSERT_GE(height, 120);

    // Start: the settings are locked, and the recording grows in the
    // temporary folder.
    ClickAt(main, kStartButton.x, kStartButton.y);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(untilFinish) || !MessageBoxTexts(p.Id()).empty(); }));
    for (const auto& text : MessageBoxTexts(p.Id())) FAIL() << "message at the start: " << WideToUtf8(text);
    std::wstring avi;
    ASSERT_TRUE(WaitUntil([&] {
        for (const auto& name : FilesIn(temp, L"*.avi"))
            if (!aviBefore.count(name) && FileSizeOf(temp + name) > 0) avi = temp + name;
        return !avi.empty() || !MessageBoxTexts(p.Id()).empty();
    }));
    for (const auto& text : MessageBoxTexts(p.Id())) FAIL() << "message while building: " << WideToUtf8(text);
    const LONGLONG early = FileSizeOf(avi);
    ASSERT_TRUE(WaitUntil([&] { return FileSizeOf(avi) > early; })) << "the recording goes on";

    // A few seconds of recording, then the finish.
    Sleep(3000);
    EXPECT_TRUE(MessageBoxTexts(p.Id()).empty());
    ClickAt(main, kFinishButton.x, kFinishButton.y);

    // The progress dialog ends with its close button enabled.
    HWND progress = WaitForTopWindow(p.Id(), [](HWND w) { return TextOf(w) == L"進捗状況"; });
    ASSERT_TRUE(progress);
    HWND close = FindChildByText(progress, L"閉じる");
    ASSERT_TRUE(close);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(close) && IsWindowVisible(progress); }, 300000));
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window waits for the dialog";
    HWND cancel = FindChildByText(progress, L"キャンセル");
    ASSERT_TRUE(cancel);
    EXPECT_FALSE(IsWindowEnabled(cancel));
    HWND openDir = FindChildByText(progress, L"保存先を開く");
    ASSERT_TRUE(openDir);
    EXPECT_TRUE(IsWindowEnabled(openDir)) << "enabled after a successful conversion only";
    EXPECT_TRUE(MessageBoxTexts(p.Id()).empty());

    ClickWindow(close);
    // The dialog goes, the main window comes back with its settings free.
    EXPECT_TRUE(
        WaitUntil([&] { return !IsWindowVisible(progress) && IsWindowEnabled(main) && IsWindowEnabled(untilFinish); }));
    EXPECT_FALSE(FileExists(avi)) << "the converted recording's temporary file is gone";

    CloseWithYes(p, main);
    ASSERT_TRUE(p.Ended());

    // One MP4, named after the second of the start, that plays.
    const std::set<std::wstring> mp4s = FilesIn(saveDir, L"*.mp4");
    ASSERT_EQ(mp4s.size(), 1u);
    const std::wstring name = *mp4s.begin();
    EXPECT_EQ(name.size(), 19u) << WideToUtf8(name);
    EXPECT_EQ(name[8], L'_');
    EXPECT_EQ(ChangeFileExt(name, L".avi"), ExtractFileName(avi)) << "the temporary AVI has the same stem";
    const ConverterRun decoded = DecodeWithConverter(saveDir + name, saveDir + L"decode.txt");
    EXPECT_EQ(decoded.ExitCode, 0) << decoded.Messages;
    EXPECT_NE(decoded.Messages.find("Video: h264"), std::string::npos) << decoded.Messages;
    EXPECT_NE(decoded.Messages.find("yuv420p"), std::string::npos) << decoded.Messages;
    EXPECT_NE(decoded.Messages.find(std::to_string(width) + "x" + std::to_string(height)), std::string::npos)
        << decoded.Messages;
    EXPECT_NE(decoded.Messages.find("Audio: aac"), std::string::npos) << decoded.Messages;
    EXPECT_EQ(decoded.Messages.find("Error while decoding"), std::string::npos) << decoded.Messages;
    EXPECT_EQ(decoded.Messages.find("Invalid data"), std::string::npos) << decoded.Messages;
    const double seconds = DurationOf(decoded.Messages);
    EXPECT_GT(seconds, 1.0) << decoded.Messages;
    EXPECT_LT(seconds, 600.0) << decoded.Messages;

    // What was used is kept.
    const std::string ini = ReadFileBytes(ConfigDir() + L"config.ini");
    EXPECT_EQ(ini.find("[CONF]"), 0u) << ini;
    EXPECT_EQ(IniValue(ini, "SAVEDIR"), WideToAnsi(saveDir)) << ini;
    EXPECT_EQ(IniValue(ini, "DEVICE_NAME"), "Monitor of Null Output") << ini;
    EXPECT_NE(IniValue(ini, "SOURCE_NAME"), "") << ini;
    EXPECT_NE(IniValue(ini, "SOURCE_NAME"), "<missing>") << ini;
    EXPECT_EQ(IniValue(ini, "FPS"), "10") << ini;
    EXPECT_EQ(IniValue(ini, "CATEGORY"), "0") << ini;
    EXPECT_EQ(IniValue(ini, "MOVIE_TYPE"), "0") << ini;
    EXPECT_EQ(IniValue(ini, "USE_LOOPBACK"), "0") << ini;
    EXPECT_EQ(IniValue(ini, "COMPRESSOR"), "") << ini;
}

}  // namespace
