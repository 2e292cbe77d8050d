// The tests' way of running a child program hidden with its output in a file
// (testsupport::RunHidden): one run after another into the same file, as the
// tests that describe and then decode a recording do, each run starting and
// its output read whole.
#include "tests/fixtures/program_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void RunTenTimesIntoOneFile(DWORD creationFlags) {
    const std::wstring log = testsupport::ProgramFolder() + L"hidden_run_output.txt";
    for (int i = 0; i < 10; ++i) {
        const std::wstring text = L"run" + std::to_wstring(i);
        const testsupport::HiddenRun run =
            testsupport::RunHidden(testsupport::ConsoleFixtureCommand(L"o:" + text + L"\\n x:3"), log, creationFlags);
        ASSERT_EQ(0u, run.StartError) << "run " << i << " did not start";
        EXPECT_EQ(3, run.ExitCode) << "run " << i;
        EXPECT_EQ(std::string(text.begin(), text.end()) + "\n", run.Output) << "run " << i;
    }
    // Nothing of the last child holds the file any more.
    EXPECT_TRUE(DeleteFileW(log.c_str())) << GetLastError();
}

TEST(HiddenRun, RunsAgainAtOnceIntoTheSameFileWithoutAWindow) { RunTenTimesIntoOneFile(CREATE_NO_WINDOW); }

TEST(HiddenRun, RunsAgainAtOnceIntoTheSameFileWithAConsoleOfItsOwn) { RunTenTimesIntoOneFile(CREATE_NEW_CONSOLE); }

}  // namespace
