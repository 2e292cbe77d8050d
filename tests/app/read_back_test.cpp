// The read-back of a finished file against the stand-in converter at
// lib\ffmpeg.exe beside this test program: a process prepared ahead runs
// nothing until the read, ends when it is never read, inherits nothing but
// its pipe, and a read cut short ends it at once.
#include "app/read_back.h"
#include "tests/app/convert_support.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

std::wstring LibFolder() { return testsupport::ProgramFolder() + L"lib\\"; }
std::wstring ProbeArgs() { return LibFolder() + L"fake_probe_args.txt"; }

// Serves nothing but waits as the program's wait does.
bool WaitBriefly(HANDLE child) {
    WaitForSingleObject(child, 5);
    return true;
}

bool Ended(DWORD processId) {
    const TKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return !process || WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

class ReadBack : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(ProbeArgs().c_str());
        DeleteFileW((LibFolder() + L"fake_probe.txt").c_str());
        File = ScratchFolder(L"read_back") + L"out.mp4";
    }
    void TearDown() override { DeleteFileW((LibFolder() + L"fake_probe.txt").c_str()); }
    static void Script(const std::string& script) { WriteFileBytes(LibFolder() + L"fake_probe.txt", script); }

    std::wstring File;
};

TEST_F(ReadBack, PreparedProcessRunsNothingUntilTheReadThenReportsTheLastTime) {
    TReadBack readBack(File);
    ASSERT_TRUE(readBack.Prepare());
    const DWORD id = readBack.ProcessId();
    ASSERT_NE(0u, id);
    Sleep(300);
    EXPECT_FALSE(FileExists(ProbeArgs())) << "the held process has not started its work";
    EXPECT_FALSE(Ended(id));

    // What it prints is decided when it runs, not when it was made.
    Script(
        "outln   Duration: 00:00:10.00, start: 0.000000, bitrate: 500 kb/s\n"
        "out size=N/A time=00:00:04.00 bitrate=N/A speed= 500x\n"
        "outln size=N/A time=00:00:09.90 bitrate=N/A speed= 500x\nexit 0\n");
    double seconds = 0;
    EXPECT_TRUE(readBack.Run(seconds, WaitBriefly));
    EXPECT_DOUBLE_EQ(9.9, seconds);
    EXPECT_EQ(Narrow(L"lib\\ffmpeg.exe -nostdin -hide_banner -i \"" + File + L"\" -map 0 -c copy -f null -"),
              ReadFileBytes(ProbeArgs()));
    EXPECT_EQ(0u, readBack.ProcessId());
    EXPECT_TRUE(Ended(id));
}

TEST_F(ReadBack, NeverReadProcessEndsWithItsOwner) {
    DWORD id = 0;
    {
        TReadBack readBack(File);
        ASSERT_TRUE(readBack.Prepare());
        id = readBack.ProcessId();
        EXPECT_TRUE(readBack.Prepare()) << "a second preparation keeps the held process";
        EXPECT_EQ(id, readBack.ProcessId());
    }
    EXPECT_TRUE(Ended(id));
    Sleep(100);
    EXPECT_FALSE(FileExists(ProbeArgs())) << "it never ran";
}

TEST_F(ReadBack, HeldProcessHoldsNoneOfOurOtherHandles) {
    // An inheritable pipe end of ours: a child that took it would keep the
    // pipe open after we close our copy.
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    const TKernelHandle read(readEnd);
    TKernelHandle write(writeEnd);
    TReadBack readBack(File);
    ASSERT_TRUE(readBack.Prepare());
    write.Reset();
    DWORD available = 0;
    EXPECT_FALSE(PeekNamedPipe(read.Get(), nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), GetLastError());
}

TEST_F(ReadBack, ReadCutShortEndsTheChildAtOnce) {
    Script("repeat size=N/A time=00:00:01.00 bitrate=N/A speed= 1x\n");
    TReadBack readBack(File);
    int passes = 0;
    DWORD id = 0;
    double seconds = -1;
    EXPECT_FALSE(readBack.Run(seconds, [&](HANDLE child) {
        id = readBack.ProcessId();
        WaitForSingleObject(child, 5);
        return ++passes < 20;
    }));
    EXPECT_EQ(-1, seconds);
    EXPECT_NE(0u, id);
    EXPECT_TRUE(Ended(id));
}

TEST_F(ReadBack, FailsWithoutATimeOrOnAnExitCodeOtherThanZero) {
    double seconds = -1;
    Script("outln size=N/A time=00:00:09.90 bitrate=N/A speed= 500x\nexit 1\n");
    EXPECT_FALSE(TReadBack(File).Run(seconds, WaitBriefly));
    Script("outln Invalid data found when processing input\nexit 0\n");
    EXPECT_FALSE(TReadBack(File).Run(seconds, WaitBriefly));
    EXPECT_EQ(-1, seconds);
    // Without a preparation the read starts its own process.
    Script("outln size=N/A time=00:00:02.50 bitrate=N/A speed= 500x\nexit 0\n");
    EXPECT_TRUE(TReadBack(File).Run(seconds, WaitBriefly));
    EXPECT_DOUBLE_EQ(2.5, seconds);
}

}  // namespace
