// The settings record: config.ini's read rules, defaults and write order,
// the output sizes and the converter's argument string; and random files
// that must always load into defined settings.
#include "app/mv_convert_info.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using apptest::ReadFileBytes;
using apptest::ScratchFolder;
using apptest::WriteFileBytes;

class IniTest : public ::testing::Test {
protected:
    // A folder per test: the tests of this program may run side by side.
    void SetUp() override {
        dir_ = ScratchFolder(Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        ini_ = dir_ + L"config.ini";
    }
    void Write(const std::string& text) { WriteFileBytes(ini_, "[CONF]\r\n" + text); }
    MvCaptureAndConvertInfo Load() {
        MvCaptureAndConvertInfo s;
        s.LoadFromIni(ini_);
        return s;
    }
    std::wstring dir_, ini_;
};

TEST_F(IniTest, MissingOrEmptyFileGivesTheDefaults) {
    for (bool create : {false, true}) {
        if (create) WriteFileBytes(ini_, "");
        const MvCaptureAndConvertInfo s = Load();
        EXPECT_EQ(s.Compressor, L"");
        EXPECT_FALSE(s.UseLoopback);
        EXPECT_EQ(s.DeviceName, L"");
        EXPECT_EQ(s.SourceName, L"");
        EXPECT_EQ(s.Quality, 1);
        EXPECT_EQ(s.Fps, 30);
        EXPECT_EQ(s.Category, oscCaptureSize);
        EXPECT_EQ(s.MovieType, mtMpeg4);
        EXPECT_EQ(s.SaveDir, dir_);
        EXPECT_TRUE(s.OpenDir);
        EXPECT_FALSE(s.ContainCursor);
        EXPECT_EQ(s.RecLimitNN, 0);
        EXPECT_EQ(s.RecLimitSS, 0);
        EXPECT_FALSE(s.RecRange);
    }
}

TEST_F(IniTest, NumbersFollowTheReadRule) {
    Write(
        "FPS=0x0F\r\nREC_LIMIT_NN=0X1a\r\nREC_LIMIT_SS=$1F\r\nQUALITY=257\r\nCATEGORY=abc\r\n"
        "MOVIE_TYPE=0x\r\nUSE_LOOPBACK=2\r\nOPENDIR=abc\r\nCONTAIN_CURSOR=-1\r\nREC_RANGE=0\r\n");
    const MvCaptureAndConvertInfo s = Load();
    EXPECT_EQ(s.Fps, 15);
    EXPECT_EQ(s.RecLimitNN, 26);
    EXPECT_EQ(s.RecLimitSS, 0) << "\"$1F\" is not an integer here";
    EXPECT_EQ(s.Quality, 1) << "low 8 bits of 257";
    EXPECT_EQ(s.Category, 0);
    EXPECT_EQ(s.MovieType, 0) << "\"0x\" alone is no number";
    EXPECT_TRUE(s.UseLoopback);
    EXPECT_TRUE(s.OpenDir) << "unreadable: default true";
    EXPECT_TRUE(s.ContainCursor);
    EXPECT_FALSE(s.RecRange);
}

TEST(IniInteger, Rules) {
    EXPECT_EQ(IniIntegerValue("12", 7), 12);
    EXPECT_EQ(IniIntegerValue("-12", 7), -12);
    EXPECT_EQ(IniIntegerValue("+12", 7), 12);
    EXPECT_EQ(IniIntegerValue("", 7), 7);
    EXPECT_EQ(IniIntegerValue("-", 7), 7);
    EXPECT_EQ(IniIntegerValue("1 2", 7), 7);
    EXPECT_EQ(IniIntegerValue("2147483647", 7), 2147483647);
    EXPECT_EQ(IniIntegerValue("-2147483648", 7), INT32_MIN);
    EXPECT_EQ(IniIntegerValue("2147483648", 7), 7);
    EXPECT_EQ(IniIntegerValue("99999999999999999999", 7), 7);
    EXPECT_EQ(IniIntegerValue("0xFFFFFFFF", 7), -1);
    EXPECT_EQ(IniIntegerValue("0x100000000", 7), 7);
    EXPECT_EQ(IniIntegerValue("0xG", 7), 7);
    EXPECT_EQ(IniIntegerValue("1x10", 7), 7);
    EXPECT_EQ(IniIntegerValue("0x", 7), 7);
}

TEST_F(IniTest, SaveDirGetsItsDelimiterAndFallsBack) {
    const std::wstring other = ScratchFolder(L"SaveDirOut");
    Write("SAVEDIR=" + WideToAnsi(ExcludeTrailingPathDelimiter(other)) + "\r\n");
    MvCaptureAndConvertInfo s = Load();
    EXPECT_EQ(s.SaveDir, other);
    s.SaveDir = ExcludeTrailingPathDelimiter(other);
    s.SaveToIni(ini_);
    EXPECT_NE(ReadFileBytes(ini_).find("SAVEDIR=" + WideToAnsi(other) + "\r\n"), std::string::npos);

    // Fresh names: the platform may keep a file it read moments ago cached.
    ini_ = dir_ + L"gone.ini";
    Write("SAVEDIR=" + WideToAnsi(dir_) + "gone\\deeper\r\n");
    EXPECT_EQ(Load().SaveDir, dir_);
    ini_ = dir_ + L"empty.ini";
    Write("SAVEDIR=\r\n");
    EXPECT_EQ(Load().SaveDir, dir_) << "an empty value must not name the drive's root";
}

TEST_F(IniTest, FreshFileListsTheKeysInWriteOrder) {
    MvCaptureAndConvertInfo s;
    s.Compressor = L"圧縮";
    s.UseLoopback = true;
    s.DeviceName = L"マイク";
    s.SourceName = L"Line";
    s.Fps = 15;
    s.Quality = 3;
    s.Category = 4;
    s.MovieType = 1;
    s.SaveDir = dir_;
    s.OpenDir = false;
    s.ContainCursor = true;
    s.RecLimitNN = 999;
    s.RecLimitSS = 59;
    s.RecRange = true;
    s.SaveToIni(ini_);
    const std::string expected = "[CONF]\r\nCOMPRESSOR=" + WideToAnsi(L"圧縮") +
                                 "\r\nUSE_LOOPBACK=1\r\nDEVICE_NAME=" + WideToAnsi(L"マイク") +
                                 "\r\nSOURCE_NAME=Line\r\nFPS=15\r\nQUALITY=3\r\n"
                                 "CATEGORY=4\r\nMOVIE_TYPE=1\r\nSAVEDIR=" +
                                 WideToAnsi(dir_) +
                                 "\r\nOPENDIR=0\r\nCONTAIN_CURSOR=1\r\nREC_LIMIT_NN=999\r\nREC_LIMIT_SS=59\r\n"
                                 "REC_RANGE=1\r\n";
    EXPECT_EQ(ReadFileBytes(ini_), expected);

    const MvCaptureAndConvertInfo back = Load();
    EXPECT_EQ(back.Compressor, s.Compressor);
    EXPECT_EQ(back.DeviceName, s.DeviceName);
    EXPECT_EQ(back.Quality, 3);
    EXPECT_EQ(back.Category, 4);
    EXPECT_EQ(back.MovieType, 1);
    EXPECT_EQ(back.RecLimitNN, 999);
    EXPECT_FALSE(back.OpenDir);
    EXPECT_TRUE(back.RecRange);
}

TEST_F(IniTest, LongValuesAreCutAt2047Characters) {
    Write("DEVICE_NAME=" + std::string(3000, 'a') + "\r\n");
    EXPECT_EQ(Load().DeviceName.size(), 2047u);
}

TEST_F(IniTest, AFailedWriteNamesTheFileAndStops) {
    const std::wstring gone = dir_ + L"missing\\config.ini";
    RemoveDirectoryW((dir_ + L"missing").c_str());
    MvCaptureAndConvertInfo s;
    try {
        s.SaveToIni(gone);
        FAIL() << "no error";
    } catch (const EIniWriteError& e) {
        EXPECT_EQ(e.Message(), gone + L" に書き込めません");
    }
    EXPECT_FALSE(FileExists(gone));
}

MvCaptureAndConvertInfo Example() {
    MvCaptureAndConvertInfo s;
    s.TempAviPath = L"C:\\Temp\\20240101_120000.avi";
    s.SaveDir = L"C:\\Out\\";
    s.FileName = L"20240101_120000.mp4";
    s.CapturePosLeft = 10;
    s.CapturePosTop = 20;
    s.CapturePosRight = 650;
    s.CapturePosBottom = 500;
    s.Fps = 30;
    s.MovieType = mtMpeg4;
    s.Quality = 1;
    return s;
}

TEST(FfmpegArgs, Mpeg4ExampleWithEvenPixelFormat) {
    EXPECT_EQ(Example().BuildFfmpegArgs(),
              L" -y -i \"C:\\Temp\\20240101_120000.avi\" -s 640x480   -r 30 -vcodec libx264 -pix_fmt yuv420p "
              L"-acodec aac  -strict experimental -ac 2 -vlevel 13  -coder 0 -f ipod -async 1000  -b 2500k -ar "
              L"48000 -ab 160k \"C:\\Out\\20240101_120000.mp4\"");
}

TEST(FfmpegArgs, AudioOnlyHasNoVideoPart) {
    MvCaptureAndConvertInfo s = Example();
    s.Category = oscAudioOnly;
    s.MovieType = mtMp3;
    s.FileName = L"20240101_120000.mp3";
    EXPECT_EQ(s.BuildFfmpegArgs(),
              L" -y -i \"C:\\Temp\\20240101_120000.avi\" -ab 128k -ar 44100 -f mp3 "
              L"\"C:\\Out\\20240101_120000.mp3\"");
}

TEST(FfmpegArgs, Mpeg1AlwaysAt30AndQualities) {
    MvCaptureAndConvertInfo s = Example();
    s.Fps = 15;
    EXPECT_NE(s.BuildFfmpegArgs().find(L" -r 15 -vcodec libx264"), std::wstring::npos);
    s.MovieType = mtMpeg1;
    s.FileName = L"a.mpg";
    s.Quality = 4;
    EXPECT_EQ(s.BuildFfmpegArgs(),
              L" -y -i \"C:\\Temp\\20240101_120000.avi\" -s 640x480   -r 30 -vcodec "
              L"mpeg1video -acodec mp2 -ac 2 -f mpeg -async 1000  -b 384k -ar 22050 -ab 64k "
              L"\"C:\\Out\\a.mpg\"");
    s.Quality = 0;
    const std::wstring q0 = s.BuildFfmpegArgs();
    s.Quality = 1;
    EXPECT_EQ(q0, s.BuildFfmpegArgs());
    s.Quality = 2;
    EXPECT_NE(s.BuildFfmpegArgs().find(L"  -b 1024k -ar 44100 -ab 128k \""), std::wstring::npos);
    s.Quality = 3;
    EXPECT_NE(s.BuildFfmpegArgs().find(L"  -b 512k -ar 44100 -ab 64k \""), std::wstring::npos);
}

TEST(FfmpegArgs, SizesByCategoryAndOddSizesRoundDown) {
    MvCaptureAndConvertInfo s = Example();
    const POINT expected[] = {{640, 480},  {320, 240},  {320, 180},  {480, 320},  {480, 270},
                              {1024, 768}, {1024, 576}, {1024, 768}, {1024, 576}, {0, 0}};
    for (int c = 0; c <= 9; ++c) {
        s.Category = static_cast<TOutputSizeCategory>(c);
        EXPECT_EQ(OutputSize(s).x, expected[c].x) << c;
        EXPECT_EQ(OutputSize(s).y, expected[c].y) << c;
    }
    s.Category = 200;
    EXPECT_EQ(OutputSize(s).x, 0);
    s.Category = oscCaptureSize;
    s.CapturePosRight = s.CapturePosLeft + 201;
    s.CapturePosBottom = s.CapturePosTop + 123;
    EXPECT_EQ(s.CaptureSize().x, 201);
    EXPECT_EQ(s.SizeArg(), L"-s 200x122 ");
}

// Random files and random values: loading never fails and always yields
// settings within their types.
TEST_F(IniTest, RandomFilesAlwaysLoadIntoDefinedSettings) {
    std::mt19937 rng(20261209);
    const char* keys[] = {
        "COMPRESSOR", "USE_LOOPBACK", "DEVICE_NAME", "SOURCE_NAME",    "QUALITY",      "FPS",          "CATEGORY",
        "MOVIE_TYPE", "SAVEDIR",      "OPENDIR",     "CONTAIN_CURSOR", "REC_LIMIT_NN", "REC_LIMIT_SS", "REC_RANGE"};
    const char* pieces[] = {"0x", "0X", "-",  "+", "$", " ",        "=",    "[",    "]",  "\r\n", "\n",
                            ";",  "\"", "\\", "9", "0", "\x82\xa0", "\x81", "\xff", "\0", "CONF"};
    auto randomText = [&](size_t maxLen) {
        std::string t;
        const size_t n = rng() % (maxLen + 1);
        while (t.size() < n) {
            switch (rng() % 3) {
            case 0:
                t += static_cast<char>(rng() % 256);
                break;
            case 1:
                t += pieces[rng() % std::size(pieces)];
                break;
            default:
                t += static_cast<char>('0' + rng() % 10);
                break;
            }
        }
        return t;
    };
    for (int i = 0; i < 10000; ++i) {
        std::string text;
        if (i % 3 == 0) {
            text = randomText(600);
        } else {
            text = (i % 2 ? "[CONF]\r\n" : "[conf]\n");
            const int lines = static_cast<int>(rng() % 20);
            for (int l = 0; l < lines; ++l)
                text += std::string(keys[rng() % std::size(keys)]) + "=" + randomText(i % 97 == 0 ? 4000 : 30) + "\r\n";
        }
        // A new name for every file, so no cached copy of an earlier one is read.
        const std::wstring path = dir_ + L"fuzz" + std::to_wstring(i) + L".ini";
        WriteFileBytes(path, text);
        MvCaptureAndConvertInfo s;
        ASSERT_NO_THROW(s.LoadFromIni(path)) << i;
        DeleteFileW(path.c_str());
        ASSERT_FALSE(s.SaveDir.empty());
        ASSERT_EQ(s.SaveDir.back(), L'\\') << i;
        ASSERT_TRUE(DirectoryExists(s.SaveDir)) << i;
        ASSERT_LE(s.Compressor.size(), 2047u);
        ASSERT_LE(s.DeviceName.size(), 2047u);
        ASSERT_LE(s.SourceName.size(), 2047u);
        ASSERT_FALSE(s.BuildFfmpegArgs().empty());
    }
}

}  // namespace
