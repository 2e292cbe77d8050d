// Number parsing and formatting, dates and times, paths, code-page
// conversions.
#include "classlib/runtime/datetime.h"
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "shared/owner.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>

namespace {

TEST(RuntimeTextTest, IntegerParsingRules) {
    EXPECT_EQ(StrToInt(L"42"), 42);
    EXPECT_EQ(StrToInt(L"-42"), -42);
    EXPECT_EQ(StrToInt(L"+7"), 7);
    EXPECT_EQ(StrToInt(L"0x1F"), 31);
    EXPECT_EQ(StrToInt(L"0XfF"), 255);
    EXPECT_EQ(StrToInt(L"$10"), 16);
    EXPECT_EQ(StrToInt(L"  12"), 12);  // leading blanks are skipped
    EXPECT_EQ(StrToInt(L"2147483647"), INT_MAX);
    EXPECT_EQ(StrToInt(L"-2147483648"), INT_MIN);
    EXPECT_EQ(StrToIntDef(L"0x", 5), 5);
    EXPECT_EQ(StrToIntDef(L"", 5), 5);
    EXPECT_EQ(StrToIntDef(L"12 ", 5), 5);  // nothing may follow
    EXPECT_EQ(StrToIntDef(L"1.5", 5), 5);
    EXPECT_EQ(StrToIntDef(L"0x1G", 5), 5);
    EXPECT_EQ(StrToIntDef(L"2147483648", 5), 5);
    EXPECT_EQ(StrToIntDef(L"99999999999999999999999", 5), 5);
    EXPECT_EQ(StrToInt64(L"0x7FFFFFFFFFFFFFFF"), INT64_MAX);
    try {
        StrToInt(L"abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), L"'abc' is not a valid integer value");
    }
}

TEST(RuntimeTextTest, FloatParsingAllowsBlanksAround) {
    EXPECT_DOUBLE_EQ(StrToFloat(L"12.34"), 12.34);
    EXPECT_DOUBLE_EQ(StrToFloat(L"  12.34  "), 12.34);
    EXPECT_DOUBLE_EQ(StrToFloat(L"-0.5"), -0.5);
    EXPECT_DOUBLE_EQ(StrToFloat(L"5"), 5.0);
    EXPECT_DOUBLE_EQ(StrToFloat(L".5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat(L"1e3"), 1000.0);
    double v = 0;
    EXPECT_FALSE(TryStrToFloat(L"00:01:02.50", v));
    EXPECT_FALSE(TryStrToFloat(L"", v));
    EXPECT_FALSE(TryStrToFloat(L"   ", v));
    EXPECT_FALSE(TryStrToFloat(L"1,5", v));
    EXPECT_FALSE(TryStrToFloat(L"N/A", v));
    EXPECT_FALSE(TryStrToFloat(L"inf", v));
    EXPECT_FALSE(TryStrToFloat(L"1e", v));
    EXPECT_FALSE(TryStrToFloat(L".", v));
    EXPECT_FALSE(TryStrToFloat(L"1 2", v));
    EXPECT_THROW(StrToFloat(L"x"), EConvertError);
}

TEST(RuntimeTextTest, RoundHalvesToEven) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(2.5000001), 3);
    EXPECT_EQ(Round(0.4989), 0);
    EXPECT_EQ(Trunc(-2.7), -2);
    EXPECT_THROW(Round(1e300), EConvertError);
}

TEST(RuntimeTextTest, FormatRules) {
    EXPECT_EQ(Format(L"%d", 42), L"42");
    EXPECT_EQ(Format(L"%.2d", 5), L"05");
    EXPECT_EQ(Format(L"%.2d", 123), L"123");
    EXPECT_EQ(Format(L"%.2d", -5), L"-05");
    EXPECT_EQ(Format(L"%0.2f", 12.5), L"12.50");
    EXPECT_EQ(Format(L"%0.2f", 0.005), L"0.01");  // 0.005 is a hair above in binary
    EXPECT_EQ(Format(L"%0.2f", 0.0), L"0.00");
    EXPECT_EQ(Format(L"%f", 2.0), L"2.00");
    EXPECT_EQ(Format(L"%x", 255), L"FF");
    EXPECT_EQ(Format(L" ($%x).", static_cast<long>(0x80040217L)), L" ($80040217).");
    EXPECT_EQ(Format(L"%x", static_cast<int32_t>(-2147024809)), L"80070057");
    EXPECT_EQ(Format(L"%.8x", 0x1A), L"0000001A");
    EXPECT_EQ(Format(L"%s に書き込めません", L"C:\\config.ini"), L"C:\\config.ini に書き込めません");
    EXPECT_EQ(Format(L"%s|%5s|%-5s|", L"a", L"b", L"c"), L"a|    b|c    |");
    EXPECT_EQ(Format(L"100%%"), L"100%");
    EXPECT_EQ(Format(L"%1:s %0:s", L"a", L"b"), L"b a");
    EXPECT_EQ(Format(L"%u", 4000000000u), L"4000000000");
    EXPECT_EQ(Format(L"%s", std::string("ansi")), L"ansi");
    EXPECT_EQ(Format(L"%n", 1234567.891), L"1,234,567.89");
    EXPECT_EQ(Format(L"%.3e", 1234.5), L"1.23E+003");
    EXPECT_EQ(Format(L"%.3e", 0.00012), L"1.20E-004");
    EXPECT_EQ(Format(L"%g", 0.5), L"0.5");
    EXPECT_EQ(Format(L"%p", reinterpret_cast<const void*>(0x1234)).size(), sizeof(void*) * 2);
    EXPECT_THROW(Format(L"%d", L"text"), EConvertError);
    EXPECT_THROW(Format(L"%s", 1), EConvertError);
    EXPECT_THROW(Format(L"%d %d", 1), EConvertError);
    EXPECT_THROW(Format(L"%", 1), EConvertError);
    EXPECT_THROW(Format(L"%q", 1), EConvertError);
    // Text that looks like a placeholder is not interpreted when it is an argument.
    EXPECT_EQ(Format(L"%s ($%x).", L"50% %d done", 1), L"50% %d done ($1).");
}

TEST(RuntimeTextTest, CaseTrimAndCodePage) {
    EXPECT_TRUE(SameText(L"Microphone", L"MICROPHONE"));
    EXPECT_FALSE(SameText(L"Micro", L"Microphone"));
    EXPECT_EQ(Trim(L" \t a b \r\n"), L"a b");
    EXPECT_EQ(UpperCase(L"abc"), L"ABC");
    EXPECT_EQ(StringReplaceAll(L"a-b-c", L"-", L"+"), L"a+b+c");
    // Round trip through the ANSI code page (932 on the users' systems).
    const std::wstring japanese = L"既に起動しています";
    EXPECT_EQ(AnsiToWide(WideToAnsi(japanese)), japanese);
    if (GetACP() == 932) {
        EXPECT_EQ(WideToAnsi(L"録").size(), 2u);
    }
    EXPECT_EQ(Utf8ToWide(WideToUtf8(japanese)), japanese);
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(RuntimeDateTimeTest, EncodeDecodeAndDayZero) {
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_DOUBLE_EQ(EncodeDate(2026, 12, 8), 46364.0);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    const TDateTime t = EncodeDateTime(2024, 2, 29, 23, 59, 58, 999);
    const TDateParts d = DecodeDate(t);
    EXPECT_EQ(d.Year, 2024);
    EXPECT_EQ(d.Month, 2);
    EXPECT_EQ(d.Day, 29);
    const TTimeParts tp = DecodeTime(t);
    EXPECT_EQ(tp.Hour, 23);
    EXPECT_EQ(tp.Minute, 59);
    EXPECT_EQ(tp.Second, 58);
    EXPECT_EQ(tp.MilliSecond, 999);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    // A sum that lands a hair below a whole second still decodes to it.
    const TDateTime sum = EncodeTime(10, 0, 0, 0) + 3 * OneSecond;
    EXPECT_EQ(DecodeTime(sum).Second, 3);
    EXPECT_EQ(FormatDateTime(L"hh:nn:ss", EncodeTime(0, 0, 59, 0) + OneSecond), L"00:01:00");
}

TEST(RuntimeDateTimeTest, FormattingLetters) {
    const TDateTime t = EncodeDateTime(2026, 12, 8, 7, 30, 15, 0);
    EXPECT_EQ(FormatDateTime(L"yyyymmdd_hhnnss", t), L"20261208_073015");
    EXPECT_EQ(FormatDateTime(L"hh", t), L"07");
    EXPECT_EQ(FormatDateTime(L"nn", t), L"30");
    EXPECT_EQ(FormatDateTime(L"ss", t), L"15");
    EXPECT_EQ(FormatDateTime(L"HH", t), L"07");
    EXPECT_EQ(FormatDateTime(L"HH:nn:00", t), L"07:30:00");
    EXPECT_EQ(FormatDateTime(L"hh:mm", t), L"07:30");  // mm after an hour is minutes
    EXPECT_EQ(FormatDateTime(L"yy/m/d h:n:s", t), L"26/12/8 7:30:15");
    EXPECT_EQ(FormatDateTime(L"'at' hh\"h\"", t), L"at 07h");
    // A difference of times formats as a time of day (a day or more wraps).
    const TDateTime diff = EncodeTime(1, 2, 5, 0) + 1.0;
    EXPECT_EQ(FormatDateTime(L"hh:nn:ss", diff), L"01:02:05");
}

TEST(RuntimeDateTimeTest, NowAndToday) {
    const TDateTime now = Now();
    const TDateTime today = Date();
    EXPECT_GE(now, today);
    EXPECT_LT(now - today, 1.0 + OneSecond);
    EXPECT_DOUBLE_EQ(DateOf(EncodeDateTime(2026, 1, 2, 3, 4, 5, 0)), EncodeDate(2026, 1, 2));
    EXPECT_NEAR(TimeOf(EncodeDateTime(2026, 1, 2, 12, 0, 0, 0)), 0.5, 1e-9);
    SYSTEMTIME st;
    GetLocalTime(&st);
    EXPECT_EQ(DecodeDate(today).Year, st.wYear);
}

TEST(RuntimeFilesTest, PathHelpers) {
    EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\out"), L"C:\\out\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\out\\"), L"C:\\out\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(L""), L"\\");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(L"C:\\out\\"), L"C:\\out");
    EXPECT_EQ(ExtractFilePath(L"C:\\a\\b.txt"), L"C:\\a\\");
    EXPECT_EQ(ExtractFileDir(L"C:\\a\\b.txt"), L"C:\\a");
    EXPECT_EQ(ExtractFileDir(L"C:\\b.txt"), L"C:\\");
    EXPECT_EQ(ExtractFileName(L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.d\\b"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\a\\b.tar.gz"), L".gz");
    EXPECT_EQ(ChangeFileExt(L"C:\\t\\20261208_073015.mp4", L".avi"), L"C:\\t\\20261208_073015.avi");
    EXPECT_EQ(ChangeFileExt(L"C:\\a.d\\b", L".avi"), L"C:\\a.d\\b.avi");
    EXPECT_EQ(ChangeFileExt(L"x.exe", L""), L"x");
    EXPECT_FALSE(ProgramFileName().empty());
    EXPECT_EQ(TempFolder().back(), L'\\');
}

TEST(RuntimeFilesTest, ForceDirectoriesAndExistence) {
    const std::wstring base = TempFolder() + L"rt_files_保存";
    const std::wstring deep = base + L"\\a\\b\\c\\";
    EXPECT_FALSE(ForceDirectories(L""));
    ASSERT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep));  // existing: still true
    const std::wstring file = deep + L"x.txt";
    ASSERT_TRUE(TKernelHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(FileExists(deep));
    EXPECT_FALSE(ForceDirectories(file + L"\\sub"));  // a file is in the way
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(L""));
    RemoveDirectoryW((base + L"\\a\\b\\c").c_str());
    RemoveDirectoryW((base + L"\\a\\b").c_str());
    RemoveDirectoryW((base + L"\\a").c_str());
    RemoveDirectoryW(base.c_str());
}

}  // namespace
