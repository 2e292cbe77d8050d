// The Windows FFmpeg at lib\ffmpeg.exe run through the console runner on a
// recording that is not there. (The conversions of a real recording are in
// avi_recording_test.cpp.)
#include <gtest/gtest.h>

#include "classlib/runtime/application.h"
#include "tests/fixtures/program_support.h"
#include "tests/wine_platform/converter_support.h"

using namespace convertertest;

TEST(FfmpegConversion, AMissingInputFileGivesANonZeroExitCode) {
    Application->Initialize();
    const std::wstring folder = testsupport::ProgramFolder() + L"conversion_missing\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring missing = folder + L"no such recording.avi";
    const ConverterRun run =
        RunFfmpeg(L" -y -i \"" + missing + L"\" -ab 128k -ar 44100 -f mp3 \"" + folder + L"never.mp3\"");
    EXPECT_NE(run.ExitCode, 0u);
    EXPECT_TRUE(run.Terminated);
    EXPECT_NE(run.TerminatedCode, 0u);
    EXPECT_EQ(GetFileAttributesW((folder + L"never.mp3").c_str()), INVALID_FILE_ATTRIBUTES);
}
