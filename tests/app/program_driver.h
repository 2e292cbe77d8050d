// Driving Tavrel.exe from another process as a user does: the program
// started in its folder, its windows found by class, caption and text, and
// only window messages and mouse input sent to it. The waits wait for
// states, with generous bounds, never for times.
#pragma once

#include "shared/owner.h"
#include "tests/fixtures/program_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

// Generous bound for a program to come up, go away or reach a state.
constexpr DWORD kWaitMs = 60000;

class Process {
public:
    // Tavrel.exe of the folder (with its trailing delimiter), started there.
    explicit Process(const std::wstring& folder = testsupport::ProgramFolder()) {
        std::wstring command = L"\"" + folder + L"Tavrel.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                           &info)) {
            const TKernelHandle thread(info.hThread);
            FProcess.Reset(info.hProcess);
            FId = info.dwProcessId;
        }
    }
    ~Process() {
        if (FProcess && WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(FProcess.Get(), 9);
            WaitForSingleObject(FProcess.Get(), kWaitMs);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return FProcess.Valid(); }
    DWORD Id() const { return FId; }
    void Kill() const {
        TerminateProcess(FProcess.Get(), 9);
        WaitForSingleObject(FProcess.Get(), kWaitMs);
    }
    bool Ended(DWORD ms = kWaitMs) const { return WaitForSingleObject(FProcess.Get(), ms) == WAIT_OBJECT_0; }
    // The exit code of an ended process.
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(FProcess.Get(), &code);
        return code;
    }

private:
    TKernelHandle FProcess;
    DWORD FId = 0;
};

inline std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

inline std::wstring TextOf(HWND w) {
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return text;
}

// The text of a control of another process as the control itself holds
// it (an edit's contents), asked for with WM_GETTEXT.
inline std::wstring ControlText(HWND w) {
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 10000, &copied))
        return {};
    return std::wstring(text, copied);
}

// Waits until the condition holds; false when the bound passed first.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD boundMs = kWaitMs) {
    for (DWORD waited = 0;; waited += 50) {
        if (condition()) return true;
        if (waited >= boundMs) return false;
        Sleep(50);
    }
}

namespace detail {

struct TopSearch {
    DWORD pid;
    const std::function<bool(HWND)>* match;
    HWND found;
};

inline BOOL CALLBACK MatchTopWindow(HWND w, LPARAM data) {
    auto* s = reinterpret_cast<TopSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner != s->pid || !IsWindowVisible(w) || !(*s->match)(w)) return TRUE;
    s->found = w;
    return FALSE;
}

struct ChildSearch {
    const std::function<bool(HWND)>* match;
    HWND found;
};

inline BOOL CALLBACK MatchChild(HWND w, LPARAM data) {
    auto* s = reinterpret_cast<ChildSearch*>(data);
    if (!(*s->match)(w)) return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace detail

// The first visible top-level window of the process that matches.
inline HWND FindTopWindow(DWORD pid, const std::function<bool(HWND)>& match) {
    detail::TopSearch search{pid, &match, nullptr};
    EnumWindows(detail::MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitForTopWindow(DWORD pid, const std::function<bool(HWND)>& match) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(pid, match)) != nullptr; });
    return found;
}

inline bool IsMainWindow(HWND w) { return ClassOf(w) == L"TavrelWindow" && TextOf(w) == L"Tavrel3"; }

inline HWND WaitForMainWindow(DWORD pid) { return WaitForTopWindow(pid, IsMainWindow); }

// A message box of the process: its text is in the static control 65535.
inline bool IsMessageBox(HWND w) { return ClassOf(w) == L"#32770"; }

inline HWND WaitForMessageBox(DWORD pid) { return WaitForTopWindow(pid, IsMessageBox); }

inline std::wstring MessageBoxText(HWND box) {
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    return text;
}

// The texts of every message box the process shows now.
inline std::vector<std::wstring> MessageBoxTexts(DWORD pid) {
    std::vector<std::wstring> texts;
    FindTopWindow(pid, [&](HWND w) {
        if (IsMessageBox(w)) texts.push_back(MessageBoxText(w));
        return false;
    });
    return texts;
}

// A press of a message box button, as its click reports it.
inline void PressButton(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// The first child window (at any depth) that matches.
inline HWND FindChild(HWND parent, const std::function<bool(HWND)>& match) {
    detail::ChildSearch search{&match, nullptr};
    EnumChildWindows(parent, detail::MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND FindChildByText(HWND parent, const std::wstring& text) {
    return FindChild(parent, [&](HWND w) { return TextOf(w) == text; });
}

// A left click at a client point of a window: the press and the release
// that the mouse would bring, posted in that order. Image buttons without
// a window of their own are clicked through the window they lie on.
inline void ClickAt(HWND window, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(window, WM_MOUSEMOVE, 0, at);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

// A left click in the middle of a control window.
inline void ClickWindow(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    ClickAt(control, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
}

// Closes the main window and answers the question with Yes; the process
// then ends.
inline void CloseWithYes(const Process& p, HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND box = WaitForMessageBox(p.Id());
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), L"終了してよろしいですか？");
    EXPECT_EQ(TextOf(box), L"Tavrel3");
    PressButton(box, IDYES);
    EXPECT_TRUE(p.Ended());
}

}  // namespace driver
