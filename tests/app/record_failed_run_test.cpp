// A graph that is built but cannot run: the temporary folder is missing,
// on a full drive or on a read-only one, so the file writer cannot make or
// write the temporary AVI. The filters are stopped and the graph cleared,
// the window is idle again, the message names the file that could not be
// made or written, and the next start records.
#include "tests/app/record_test_support.h"
#include "tests/app/small_drive.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace apptest;

constexpr wchar_t kMuxFailed[] = L"multiplexerの初期化に失敗しました";

// The system's temporary folder is the given one while the guard lives.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const std::wstring& folder) {
        wchar_t old[MAX_PATH] = {};
        FHad = GetEnvironmentVariableW(L"TMP", old, MAX_PATH) != 0;
        FOld = old;
        SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TempFolderOverride() { SetEnvironmentVariableW(L"TMP", FHad ? FOld.c_str() : nullptr); }
    TempFolderOverride(const TempFolderOverride&) = delete;
    TempFolderOverride& operator=(const TempFolderOverride&) = delete;

private:
    bool FHad = false;
    std::wstring FOld;
};

int FiltersInGraph() {
    ComPtr<IGraphBuilder> graph;
    if (!FormMain->CaptureGraph->Active() ||
        FAILED(FormMain->CaptureGraph->QueryInterface(IID_IGraphBuilder, graph.PutVoid())) || !graph)
        return 0;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.Put())) || !filters) return -1;
    int count = 0;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) ++count;
    return count;
}

// A start with the given temporary folder, which cannot take the temporary
// AVI: the message names the file and the system's reason, the window is
// idle again with the graph cleared, and with the folder back to the
// system's own the next start records and converts.
void ExpectFailedStartThenARecording(RecordingWindows& w, const std::wstring& folder) {
    TFormMain& m = *FormMain;
    {
        const TempFolderOverride temp(folder);
        RecordingWindows::PressStart();
    }
    const std::vector<std::wstring> shown = w.Shown();
    ASSERT_EQ(1u, shown.size());
    std::printf("shown: %s\n", Narrow(shown[0]).c_str());
    const std::wstring named = std::wstring(kMuxFailed) + L"\r\n" + folder;
    EXPECT_EQ(named, shown[0].substr(0, named.size())) << Narrow(shown[0]);
    EXPECT_GT(shown[0].size(), named.size() + 2) << "the system's reason follows";
    RecordingWindows::ExpectIdleAsBefore();
    EXPECT_EQ(0, FiltersInGraph()) << "the graph is cleared";
    EXPECT_FALSE(FormCaptureStartSize->Visible()) << "the recording frame goes with the attempt";

    w.Boxes().Texts.clear();
    RecordingWindows::PressStart();
    EXPECT_TRUE(w.Shown().empty()) << Narrow(w.Shown().empty() ? L"" : w.Shown()[0]);
    RecordingWindows::ExpectRecording();
    PumpFor(1500);
    RecordingWindows::PressFinish();
    w.ExpectConverted();
    EXPECT_TRUE(FileExists(w.Dir + m.FSettings->FileName));
}

TEST(FailedRun, MissingTemporaryFolderLeavesTheWindowReadyForTheNextStart) {
    RecordingWindows w(L"failed_run");
    FormMain->CBRecRange->SetChecked(true);
    ExpectFailedStartThenARecording(w, w.Dir + L"no_such_temp\\");
}

TEST(FailedRun, FullTemporaryDriveLeavesTheWindowReadyForTheNextStart) {
    RecordingWindows w(L"failed_run_full");
    FormMain->CBRecRange->SetChecked(true);
    SmallDrive drive(0);
    if (!drive.Ready()) GTEST_SKIP() << "the test environment has no small drive Y:";
    ExpectFailedStartThenARecording(w, drive.Folder);
}

// X: is a drive mounted read-only: no file can be made on it. (The
// read-only attribute of a folder does not keep files from being made in
// it, so only such a drive gives a temporary folder that cannot be written.)
TEST(FailedRun, ReadOnlyTemporaryDriveLeavesTheWindowReadyForTheNextStart) {
    RecordingWindows w(L"failed_run_readonly");
    FormMain->CBRecRange->SetChecked(true);
    if (GetDriveTypeW(L"X:\\") == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "the test environment has no read-only drive X:";
    ExpectFailedStartThenARecording(w, L"X:\\");
}

}  // namespace
