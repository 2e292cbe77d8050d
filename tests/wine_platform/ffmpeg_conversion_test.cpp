// The Windows FFmpeg at lib\ffmpeg.exe, run through the console runner with
// the program's three conversion command lines (MPEG-4, MPEG-1, MP3) on an
// AVI of raw video and PCM sound that the same FFmpeg makes first. The
// results are read back with "ffmpeg -i".
#include <gtest/gtest.h>

#include "classlib/runtime/application.h"
#include "process/console_command.h"
#include "tests/fixtures/program_support.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ConverterRun {
    DWORD ExitCode = 0xFFFFFFFF;
    DWORD TerminatedCode = 0xFFFFFFFF;
    bool Terminated = false;
    std::vector<std::wstring> Lines;  // whole lines only

    bool AnyLineHas(const std::wstring& text) const {
        for (const auto& line : Lines)
            if (line.find(text) != std::wstring::npos) return true;
        return false;
    }
    int CountLinesWith(const std::wstring& text) const {
        int count = 0;
        for (const auto& line : Lines)
            if (line.find(text) != std::wstring::npos) ++count;
        return count;
    }
};

// Runs "lib\ffmpeg.exe" with the arguments (which begin with a blank) as the
// program does: hidden, new console, no time-outs.
ConverterRun RunFfmpeg(const std::wstring& arguments) {
    ConverterRun run;
    TDosCommand command(nullptr);
    command.SetShowWindow(swHIDE);
    command.SetCreationFlag(fCREATE_NEW_CONSOLE);
    command.SetCommandLine(L"lib\\ffmpeg.exe" + arguments);
    command.OnNewLine = [&run](TObject*, const std::wstring& line, TOutputType type) {
        if (type == otWholeLine) run.Lines.push_back(line);
    };
    command.OnTerminated = [&run](TObject*, DWORD code) {
        run.TerminatedCode = code;
        run.Terminated = true;
    };
    run.ExitCode = command.ExecuteAndWait();
    return run;
}

// Seconds of "Duration: hh:mm:ss.cc" in ffmpeg's description of its input,
// or -1.
double DurationOf(const ConverterRun& probe) {
    for (const auto& line : probe.Lines) {
        const size_t at = line.find(L"Duration: ");
        if (at == std::wstring::npos) continue;
        const std::wstring text = line.substr(at + 10, 11);
        if (text.size() < 11 || text[2] != L':' || text[5] != L':') return -1;
        return std::wcstol(text.substr(0, 2).c_str(), nullptr, 10) * 3600.0 +
               std::wcstol(text.substr(3, 2).c_str(), nullptr, 10) * 60.0 +
               std::wcstod(text.substr(6).c_str(), nullptr);
    }
    return -1;
}

class FfmpegConversion : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        Folder = testsupport::ProgramFolder() + L"conversion_" +
                 std::wstring(name.begin(), name.end()) + L"\\";
        CreateDirectoryW(Folder.c_str(), nullptr);
    }

    // An AVI of 3 s: a 320x240 test picture at 30 fps, uncompressed, and a
    // 440 Hz tone as 16-bit PCM at 44100 Hz.
    std::wstring MakeInputAvi() {
        const std::wstring avi = Folder + L"input.avi";
        const ConverterRun made = RunFfmpeg(
            L" -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i sine=frequency=440:sample_rate=44100"
            L" -t 3 -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le \"" + avi + L"\"");
        EXPECT_EQ(made.ExitCode, 0u);
        return avi;
    }

    std::wstring Folder;
};

}  // namespace

TEST_F(FfmpegConversion, TheThreeCommandLinesGiveMp4MpgAndMp3OfTheSameLength) {
    const std::wstring avi = MakeInputAvi();
    const ConverterRun input = RunFfmpeg(L" -i \"" + avi + L"\"");
    const double length = DurationOf(input);
    ASSERT_NEAR(length, 3.0, 0.1);
    ASSERT_TRUE(input.AnyLineHas(L"Video: rawvideo"));
    ASSERT_TRUE(input.AnyLineHas(L"Audio: pcm_s16le"));

    struct Case {
        std::wstring Arguments, Output, Video, Audio;
    };
    const std::wstring d = Folder;
    const Case cases[] = {
        // MPEG-4, best quality.
        {L" -y -i \"" + avi + L"\" -s 320x240   -r 30 -vcodec libx264 -pix_fmt yuv420p -acodec aac"
         L"  -strict experimental -ac 2 -vlevel 13  -coder 0 -f ipod -async 1000 "
         L" -b 2500k -ar 48000 -ab 160k \"" + d + L"out.mp4\"",
         d + L"out.mp4", L"Video: h264", L"Audio: aac"},
        // MPEG-1, standard quality.
        {L" -y -i \"" + avi + L"\" -s 320x240   -r 30 -vcodec mpeg1video -acodec mp2 -ac 2 -f mpeg"
         L" -async 1000  -b 512k -ar 44100 -ab 64k \"" + d + L"out.mpg\"",
         d + L"out.mpg", L"Video: mpeg1video", L"Audio: mp2"},
        // Sound only.
        {L" -y -i \"" + avi + L"\" -ab 128k -ar 44100 -f mp3 \"" + d + L"out.mp3\"",
         d + L"out.mp3", L"", L"Audio: mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Output.begin(), c.Output.end()));
        const ConverterRun converted = RunFfmpeg(c.Arguments);
        EXPECT_EQ(converted.ExitCode, 0u);
        EXPECT_TRUE(converted.Terminated);
        EXPECT_EQ(converted.TerminatedCode, 0u);
        // Progress comes as whole lines, each ended by a bare carriage return.
        EXPECT_GE(converted.CountLinesWith(L"time="), 1);
        EXPECT_TRUE(converted.AnyLineHas(L"bitrate="));

        const ConverterRun probe = RunFfmpeg(L" -i \"" + c.Output + L"\"");
        if (c.Video.empty())
            EXPECT_FALSE(probe.AnyLineHas(L"Video:"));
        else
            EXPECT_TRUE(probe.AnyLineHas(c.Video));
        EXPECT_TRUE(probe.AnyLineHas(c.Audio));
        EXPECT_NEAR(DurationOf(probe), length, 0.2);
        DeleteFileW(c.Output.c_str());
    }
    DeleteFileW(avi.c_str());
}

TEST_F(FfmpegConversion, AMissingInputFileGivesANonZeroExitCode) {
    const std::wstring missing = Folder + L"no such recording.avi";
    const ConverterRun run = RunFfmpeg(L" -y -i \"" + missing + L"\" -ab 128k -ar 44100 -f mp3 \"" +
                              Folder + L"never.mp3\"");
    EXPECT_NE(run.ExitCode, 0u);
    EXPECT_TRUE(run.Terminated);
    EXPECT_NE(run.TerminatedCode, 0u);
    EXPECT_EQ(GetFileAttributesW((Folder + L"never.mp3").c_str()), INVALID_FILE_ATTRIBUTES);
}
