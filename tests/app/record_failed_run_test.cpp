// A graph that is built but cannot run: the temporary folder is missing, so
// the file writer cannot make the temporary AVI. The filters are stopped
// and the graph cleared, the window is idle again, the message names the
// file that could not be made, and the next start records.
#include "tests/app/record_test_support.h"

#include <gtest/gtest.h>

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

TEST(FailedRun, MissingTemporaryFolderLeavesTheWindowReadyForTheNextStart) {
    RecordingWindows w(L"failed_run");
    TFormMain& m = *FormMain;
    m.CBRecRange->SetChecked(true);
    const std::wstring missing = w.Dir + L"no_such_temp\\";
    {
        const TempFolderOverride temp(missing);
        RecordingWindows::PressStart();
    }
    const std::vector<std::wstring> shown = w.Shown();
    ASSERT_EQ(1u, shown.size());
    const std::wstring named = std::wstring(kMuxFailed) + L"\r\n" + missing;
    EXPECT_EQ(named, shown[0].substr(0, named.size())) << Narrow(shown[0]);
    EXPECT_GT(shown[0].size(), named.size() + 2) << "the system's reason follows";
    RecordingWindows::ExpectIdleAsBefore();
    EXPECT_EQ(0, FiltersInGraph()) << "the graph is cleared";
    EXPECT_FALSE(FormCaptureStartSize->Visible()) << "the recording frame goes with the attempt";

    // With the folder back, the next start records and converts.
    w.Boxes().Texts.clear();
    RecordingWindows::PressStart();
    EXPECT_TRUE(w.Shown().empty()) << Narrow(w.Shown().empty() ? L"" : w.Shown()[0]);
    RecordingWindows::ExpectRecording();
    PumpFor(1500);
    RecordingWindows::PressFinish();
    w.ExpectConverted();
    EXPECT_TRUE(FileExists(w.Dir + m.FSettings->FileName));
}

}  // namespace
