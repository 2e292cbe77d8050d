// ExecuteAndWait while the child works quietly: the waiting GUI thread
// sleeps until a line, a message or the end arrives instead of spinning, so
// that it leaves the processor (and, under Wine, the shared server) to the
// child. Lines and the end still arrive as before.
#include <gtest/gtest.h>

#include "classlib/runtime/application.h"
#include "process/console_command.h"
#include "tests/fixtures/program_support.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

// The processor time the calling thread has used, in seconds.
double ThreadProcessorSeconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return -1;
    const auto seconds = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

TEST(DosCommandWait, TheWaitingThreadSleepsWhileTheChildIsQuiet) {
    Application->Initialize();
    TDosCommand cmd(nullptr);
    std::vector<std::wstring> lines;
    cmd.OnNewLine = [&](TObject*, const std::wstring& line, TOutputType type) {
        if (type == otWholeLine) lines.push_back(line);
    };
    DWORD terminatedWith = 12345;
    cmd.OnTerminated = [&](TObject*, DWORD code) { terminatedWith = code; };
    // Four lines over two seconds, then the exit code 3.
    cmd.SetCommandLine(testsupport::ConsoleFixtureCommand(L"t:4:500 x:3"));

    const double processorBefore = ThreadProcessorSeconds();
    const DWORD start = GetTickCount();
    EXPECT_EQ(cmd.ExecuteAndWait(), 3u);
    const double wall = (GetTickCount() - start) / 1000.0;
    const double processor = ThreadProcessorSeconds() - processorBefore;

    EXPECT_EQ(lines, (std::vector<std::wstring>{L"tick 1", L"tick 2", L"tick 3", L"tick 4"}));
    EXPECT_EQ(terminatedWith, 3u) << "reported before the wait returns";
    EXPECT_FALSE(cmd.IsRunning());
    ASSERT_GE(processorBefore, 0);
    // A spinning wait uses the whole run; a sleeping one next to nothing.
    EXPECT_LT(processor, wall / 4) << processor << " s of processor time in " << wall << " s";
}

}  // namespace
