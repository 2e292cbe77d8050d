#include "app/mv_convert_info.h"

#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"

#include <string_view>

namespace {

const char kSection[] = "CONF";
// GetPrivateProfileStringA hands back at most this many characters.
constexpr DWORD kValueBuffer = 2048;

std::string ReadRaw(const std::string& path, const char* key, const std::string& def) {
    char buffer[kValueBuffer] = {};
    const DWORD n = GetPrivateProfileStringA(kSection, key, def.c_str(), buffer, kValueBuffer, path.c_str());
    return std::string(buffer, n < kValueBuffer ? n : kValueBuffer - 1);
}

std::wstring ReadString(const std::string& path, const char* key, const std::wstring& def) {
    return AnsiToWide(ReadRaw(path, key, WideToAnsi(def)));
}

std::int32_t ReadInteger(const std::string& path, const char* key, std::int32_t def) {
    // A missing key reads as empty, which is no integer either.
    return IniIntegerValue(ReadRaw(path, key, ""), def);
}

bool ReadBool(const std::string& path, const char* key, bool def) { return ReadInteger(path, key, def ? 1 : 0) != 0; }

std::uint8_t ReadByte(const std::string& path, const char* key, std::int32_t def) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(ReadInteger(path, key, def)) & 0xFF);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::int32_t IniIntegerValue(const std::string& Text, std::int32_t Default) {
    if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        if (Text.size() > 10) return Default;  // more than 32 bits
        std::uint32_t v = 0;
        for (size_t i = 2; i < Text.size(); ++i) {
            const int d = HexDigit(Text[i]);
            if (d < 0) return Default;
            v = (v << 4) | static_cast<std::uint32_t>(d);
        }
        return static_cast<std::int32_t>(v);
    }
    size_t i = 0;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '-' || Text[i] == '+')) negative = Text[i++] == '-';
    if (i == Text.size()) return Default;
    std::int64_t v = 0;
    for (; i < Text.size(); ++i) {
        if (Text[i] < '0' || Text[i] > '9') return Default;
        v = v * 10 + (Text[i] - '0');
        if (v > 2147483648LL) return Default;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) return Default;
    return static_cast<std::int32_t>(v);
}

void MvCaptureAndConvertInfo::LoadFromIni(const std::wstring& Path) {
    const std::string path = WideToAnsi(Path);
    const std::wstring iniDir = ExtractFilePath(Path);
    Compressor = ReadString(path, "COMPRESSOR", L"");
    UseLoopback = ReadBool(path, "USE_LOOPBACK", false);
    DeviceName = ReadString(path, "DEVICE_NAME", L"");
    SourceName = ReadString(path, "SOURCE_NAME", L"");
    Quality = ReadByte(path, "QUALITY", 1);
    Fps = ReadInteger(path, "FPS", 30);
    Category = ReadByte(path, "CATEGORY", 0);
    MovieType = ReadByte(path, "MOVIE_TYPE", 0);
    // An empty value would name the root of the current drive: it counts
    // as missing, like a folder that no longer exists.
    std::wstring dir = ReadString(path, "SAVEDIR", iniDir);
    if (!dir.empty()) dir = IncludeTrailingPathDelimiter(dir);
    SaveDir = !dir.empty() && DirectoryExists(dir) ? dir : iniDir;
    OpenDir = ReadBool(path, "OPENDIR", true);
    ContainCursor = ReadBool(path, "CONTAIN_CURSOR", false);
    RecLimitNN = ReadInteger(path, "REC_LIMIT_NN", 0);
    RecLimitSS = ReadInteger(path, "REC_LIMIT_SS", 0);
    RecRange = ReadBool(path, "REC_RANGE", false);
}

void MvCaptureAndConvertInfo::SaveToIni(const std::wstring& Path) const {
    const std::string path = WideToAnsi(Path);
    auto write = [&](const char* key, const std::wstring& value) {
        if (!WritePrivateProfileStringA(kSection, key, WideToAnsi(value).c_str(), path.c_str()))
            throw EIniWriteError(Format(L"%s に書き込めません", Path));
    };
    auto flag = [](bool b) { return std::wstring(b ? L"1" : L"0"); };
    write("COMPRESSOR", Compressor);
    write("USE_LOOPBACK", flag(UseLoopback));
    write("DEVICE_NAME", DeviceName);
    write("SOURCE_NAME", SourceName);
    write("FPS", IntToStr(Fps));
    write("QUALITY", IntToStr(Quality));
    write("CATEGORY", IntToStr(Category));
    write("MOVIE_TYPE", IntToStr(MovieType));
    write("SAVEDIR", IncludeTrailingPathDelimiter(SaveDir));
    write("OPENDIR", flag(OpenDir));
    write("CONTAIN_CURSOR", flag(ContainCursor));
    write("REC_LIMIT_NN", IntToStr(RecLimitNN));
    write("REC_LIMIT_SS", IntToStr(RecLimitSS));
    write("REC_RANGE", flag(RecRange));
}

POINT MvCaptureAndConvertInfo::CaptureSize() const {
    return POINT{CapturePosRight - CapturePosLeft, CapturePosBottom - CapturePosTop};
}

POINT OutputSize(const MvCaptureAndConvertInfo& Settings) {
    switch (Settings.Category) {
    case oscCaptureSize:
        return Settings.CaptureSize();
    case oscIPod:
        return POINT{320, 240};
    case oscIPodWide:
        return POINT{320, 180};
    case oscIPhone:
        return POINT{480, 320};
    case oscIPhoneWide:
        return POINT{480, 270};
    case oscIPad:
    case oscIPadMini:
        return POINT{1024, 768};
    case oscIPadWide:
    case oscIPadMiniWide:
        return POINT{1024, 576};
    default:
        return POINT{0, 0};
    }
}

std::wstring MvCaptureAndConvertInfo::SizeArg() const {
    // 4:2:0 video needs even sizes: an odd number goes down to the even one below.
    const POINT size = OutputSize(*this);
    const auto even = [](LONG v) { return static_cast<std::int64_t>(v) & ~std::int64_t(1); };
    return L"-s " + IntToStr(even(size.x)) + L"x" + IntToStr(even(size.y)) + L" ";
}

std::wstring MvCaptureAndConvertInfo::BuildFfmpegArgs() const {
    const std::wstring quote = L"\"";
    std::wstring s = L" -y -i " + quote + TempAviPath;
    if (Category == oscAudioOnly)
        return s + quote + L" -ab 128k -ar 44100 -f mp3 " + quote + SaveDir + FileName + quote;
    s += quote + L" " + SizeArg() + L" ";
    if (MovieType == mtMpeg4)
        s += L" -r " + IntToStr(Fps) +
             L" -vcodec libx264 -pix_fmt yuv420p -acodec aac  -strict experimental -ac 2 -vlevel 13  -coder 0 "
             L"-f ipod -async 1000 ";
    else if (MovieType == mtMpeg1)
        s += L" -r 30 -vcodec mpeg1video -acodec mp2 -ac 2 -f mpeg -async 1000 ";
    switch (Quality) {
    case 2:
        s += L" -b 1024k -ar 44100 -ab 128k ";
        break;
    case 3:
        s += L" -b 512k -ar 44100 -ab 64k ";
        break;
    case 4:
        s += L" -b 384k -ar 22050 -ab 64k ";
        break;
    default:
        s += L" -b 2500k -ar 48000 -ab 160k ";
        break;
    }
    return s + quote + SaveDir + FileName + quote;
}
