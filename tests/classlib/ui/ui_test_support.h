// Helpers shared by the window library's tests: hex text of bytes, a
// message-box handler that records instead of blocking, pumping messages.
#pragma once

#include "classlib/runtime/application.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

inline std::string HexBlock(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "hex {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 32 == 0) s += "\n      ";
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    s += "\n    }";
    return s;
}

// Records every message box instead of showing it.
class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        FOld = Application->SetMessageBoxHandler([this](HWND, const std::wstring& text, const std::wstring&, UINT) {
            texts.push_back(text);
            return IDOK;
        });
    }
    ~MessageBoxRecorder() { Application->SetMessageBoxHandler(FOld); }
    std::vector<std::wstring> texts;

private:
    TMessageBoxHandler FOld;
};

inline void PumpMessages(int rounds = 3) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

inline std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}
