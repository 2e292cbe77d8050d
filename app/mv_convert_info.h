// The recorder's settings record: what the user chose in the main window,
// the capture rectangle and the file names of the recording under way. It
// reads and writes "config.ini" (section "CONF", ANSI private-profile
// functions), works out the capture and output sizes, and builds the
// argument string of the converter "lib\ffmpeg.exe".
#pragma once

#include "classlib/runtime/exceptions.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Output size presets; the value is the item index of the size combo.
using TOutputSizeCategory = std::uint8_t;
constexpr TOutputSizeCategory oscCaptureSize = 0;
constexpr TOutputSizeCategory oscIPod = 1;
constexpr TOutputSizeCategory oscIPodWide = 2;
constexpr TOutputSizeCategory oscIPhone = 3;
constexpr TOutputSizeCategory oscIPhoneWide = 4;
constexpr TOutputSizeCategory oscIPad = 5;
constexpr TOutputSizeCategory oscIPadWide = 6;
constexpr TOutputSizeCategory oscIPadMini = 7;
constexpr TOutputSizeCategory oscIPadMiniWide = 8;
constexpr TOutputSizeCategory oscAudioOnly = 9;

using TMovieType = std::uint8_t;
constexpr TMovieType mtMpeg4 = 0;
constexpr TMovieType mtMpeg1 = 1;
constexpr TMovieType mtMp3 = 2;

// 1 best .. 4 low; 0 counts as best.
using TMovieQuality = std::uint8_t;
constexpr TMovieQuality mqBest = 1;
constexpr TMovieQuality mqHigh = 2;
constexpr TMovieQuality mqStandard = 3;
constexpr TMovieQuality mqLow = 4;

// Raised when a key of "config.ini" cannot be written.
class EIniWriteError : public Exception {
public:
    using Exception::Exception;
};

class MvCaptureAndConvertInfo {
public:
    MvCaptureAndConvertInfo() = default;

    std::wstring Compressor;
    bool UseLoopback = false;
    std::wstring DeviceName;
    std::wstring SourceName;
    std::int32_t Fps = 0;
    std::int32_t CapturePosLeft = 0;
    std::int32_t CapturePosRight = 0;
    std::int32_t CapturePosTop = 0;
    std::int32_t CapturePosBottom = 0;
    bool ContainCursor = false;
    std::int32_t RecLimitNN = 0;
    std::int32_t RecLimitSS = 0;
    TMovieQuality Quality = 0;
    TOutputSizeCategory Category = 0;
    TMovieType MovieType = 0;
    std::wstring SaveDir;
    bool OpenDir = false;
    std::wstring FileName;
    std::wstring TempAviPath;
    bool RecRange = false;

    // Section "CONF" of the INI file at Path (a full file path). Missing or
    // unreadable values give each key's default; nothing is reported.
    void LoadFromIni(const std::wstring& Path);
    // Writes the 14 keys in their order; EIniWriteError at the first key
    // that cannot be written (the later ones are not written).
    void SaveToIni(const std::wstring& Path) const;

    // (right - left, bottom - top).
    POINT CaptureSize() const;
    // "-s WxH " with the output size, odd numbers rounded down to even.
    std::wstring SizeArg() const;
    // The converter's arguments; they begin with a blank.
    std::wstring BuildFfmpegArgs() const;
};

// The output size by Category: the capture size, a preset, or (0, 0).
POINT OutputSize(const MvCaptureAndConvertInfo& Settings);

// The integer read rule of "config.ini": "0x"/"0X" followed by hexadecimal
// digits (longer than two characters), or a decimal integer; anything else
// gives Default. Exposed for its tests.
std::int32_t IniIntegerValue(const std::string& Text, std::int32_t Default);
