// What the child is given: a start-up record of its own (the C run-time's
// reserved fields empty, whatever the program itself was started with), and
// pipe ends that are the child's alone, so that writing to a child that has
// ended fails instead of waiting for ever.
#include <gtest/gtest.h>

#include "classlib/runtime/application.h"
#include "process/console_command.h"
#include "shared/owner.h"
#include "tests/fixtures/program_support.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Set in the copy of this test program that the test starts with a C
// run-time file table in its start-up record.
constexpr wchar_t kInnerVariable[] = L"TAVREL_DOS_CHILD_INNER";

bool WaitUntil(const std::function<bool()>& pred, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > end) return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    return true;
}

// The whole lines of one run of the console fixture with the given steps.
std::vector<std::wstring> RunFixture(const std::wstring& steps) {
    Application->Initialize();
    TDosCommand cmd(nullptr);
    std::vector<std::wstring> lines;
    cmd.OnNewLine = [&](TObject*, const std::wstring& line, TOutputType type) {
        if (type == otWholeLine) lines.push_back(line);
    };
    cmd.SetCommandLine(testsupport::ConsoleFixtureCommand(steps));
    cmd.ExecuteAndWait();
    return lines;
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(DosChild, StartupRecordHoldsOnlyWhatTheRunnerSets) {
    // STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW, SW_HIDE, no run-time table.
    EXPECT_EQ(RunFixture(L"u"), std::vector<std::wstring>{L"startup:257,0,0"});

    if (GetEnvironmentVariableW(kInnerVariable, nullptr, 0) != 0) {
        // The copy: it was itself given a table, which its child must not see.
        STARTUPINFOW own{};
        own.cb = sizeof own;
        GetStartupInfoW(&own);
        EXPECT_GT(own.cbReserved2, 0) << "this copy was started with a run-time table";
        return;
    }

    // A file table as the C run-time hands it on (a count, a flag byte per
    // file, a handle per file); no file is marked open.
    const std::int32_t count = 3;
    std::vector<unsigned char> reserved(sizeof count + count + count * sizeof(HANDLE), 0);
    std::memcpy(reserved.data(), &count, sizeof count);
    std::memset(reserved.data() + sizeof count + count, 0xFF, count * sizeof(HANDLE));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.cbReserved2 = static_cast<WORD>(reserved.size());
    startup.lpReserved2 = reserved.data();
    std::wstring command =
        L"\"" + ThisProgram() + L"\" --gtest_filter=DosChild.StartupRecordHoldsOnlyWhatTheRunnerSets";
    ASSERT_TRUE(SetEnvironmentVariableW(kInnerVariable, L"1"));
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    SetEnvironmentVariableW(kInnerVariable, nullptr);
    ASSERT_TRUE(started) << GetLastError();
    const TKernelHandle process(info.hProcess), thread(info.hThread);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, 0u) << "a program started with a run-time table hands it on to its child";
}

TEST(DosChild, InputWrittenToAnEndedChildFailsAtOnce) {
    Application->Initialize();
    TDosCommand cmd(nullptr);
    bool added = false;
    cmd.OnNewLine = [&](TObject*, const std::wstring& line, TOutputType type) {
        // More than a pipe holds, to a child that never reads it and ends.
        if (type == otWholeLine && line == L"ready" && !added) {
            added = true;
            cmd.InputLines()->Add(std::wstring(1 << 20, L'z') + L"\n");
        }
    };
    DWORD terminatedWith = 12345;
    cmd.OnTerminated = [&](TObject*, DWORD code) { terminatedWith = code; };
    cmd.SetCommandLine(testsupport::ConsoleFixtureCommand(L"o:ready\\n s:300 x:7"));
    cmd.Execute();
    ASSERT_TRUE(WaitUntil([&] { return !cmd.IsRunning(); }, 20000)) << "the write to the ended child still waits";
    EXPECT_TRUE(added);
    EXPECT_EQ(cmd.Status(), dcsFinished);
    EXPECT_EQ(cmd.ExitCode(), 7u);
    EXPECT_EQ(terminatedWith, 7u);
    EXPECT_EQ(cmd.InputLines()->Count(), 1) << "the line that could not be written stays";
}

}  // namespace
