#include "media/direct_show_error.h"

#include "media/hex_text.h"

#include <dshow.h>

namespace {

constexpr DWORD ErrorTextLength = 255;

std::wstring AnsiToWide(const char* text, int length) {
    if (length <= 0) return {};
    const int count = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::wstring result(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, length, result.data(), count);
    return result;
}

}  // namespace

std::wstring GetErrorText(HRESULT code) {
    // One more byte than the length given, so the text always ends in a zero.
    char buffer[ErrorTextLength + 1] = {};
    if (AMGetErrorTextA(code, buffer, ErrorTextLength) == 0) return {};
    buffer[ErrorTextLength] = '\0';
    int length = 0;
    while (length < static_cast<int>(ErrorTextLength) && buffer[length] != '\0') ++length;
    return AnsiToWide(buffer, length);
}

std::wstring DirectShowErrorMessage(HRESULT code) {
    // The platform's text is used as it stands; nothing in it is a format.
    return GetErrorText(code) + L" ($" + HexText(static_cast<uint32_t>(code)) + L").";
}

HRESULT CheckDirectShowResult(HRESULT code) {
    if (static_cast<unsigned long>(code) & 0x80000000ul) {
        EDirectShowException error(DirectShowErrorMessage(code));
        error.ResultCode = code;
        throw error;
    }
    return code;
}
