// Drives a running Tavrel for screenshots, through window messages only.
//   shot_driver wait          waits until the main window is shown
//   shot_driver toggle        presses the expand/collapse button
//   shot_driver frame CLASS   lays the capture frame over the first visible
//                             window of that class
//   shot_driver progress      shows the (hidden) progress dialog where it is
// Exit code 0 on success, 1 when a window is missing.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

struct Found {
    DWORD pid = 0;
    HWND main = nullptr;
    HWND frame = nullptr;
    HWND progress = nullptr;
};

BOOL CALLBACK FindProgress(HWND w, LPARAM data) {
    auto* f = reinterpret_cast<Found*>(data);
    wchar_t cls[64] = {}, text[64] = {};
    GetClassNameW(w, cls, 64);
    GetWindowTextW(w, text, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && wcscmp(cls, L"TavrelWindow") == 0 && wcscmp(text, L"\u9032\u6357\u72b6\u6cc1") == 0) {
        f->progress = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTavrel(HWND w, LPARAM data) {
    auto* f = reinterpret_cast<Found*>(data);
    wchar_t cls[64] = {}, text[64] = {};
    GetClassNameW(w, cls, 64);
    GetWindowTextW(w, text, 64);
    if (wcscmp(cls, L"TavrelWindow") != 0) return TRUE;
    if (!f->main && wcscmp(text, L"Tavrel3") == 0 && IsWindowVisible(w)) {
        f->main = w;
        GetWindowThreadProcessId(w, &f->pid);
    }
    return TRUE;
}

BOOL CALLBACK FindFrame(HWND w, LPARAM data) {
    auto* f = reinterpret_cast<Found*>(data);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && wcscmp(cls, L"TavrelWindow") == 0 && IsWindowVisible(w) && w != f->main &&
        (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_LAYERED)) {
        f->frame = w;
        return FALSE;
    }
    return TRUE;
}

Found Locate(int waitMs) {
    Found f;
    for (int waited = 0; waited <= waitMs; waited += 100) {
        EnumWindows(FindTavrel, reinterpret_cast<LPARAM>(&f));
        if (f.main) break;
        Sleep(100);
    }
    if (f.main) EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&f));
    if (f.main) EnumWindows(FindProgress, reinterpret_cast<LPARAM>(&f));
    return f;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"wait";
    Found f = Locate(command == L"wait" ? 60000 : 5000);
    if (!f.main) return 1;
    if (command == L"toggle") {
        // The toggle button's middle (at the top right), in the main
        // window's client area, whatever the resolution.
        RECT client;
        GetClientRect(f.main, &client);
        const int scale = MulDiv(16, client.right, 427);
        const LPARAM at = MAKELPARAM(client.right - 6 * scale / 16 - scale, 6 * scale / 16 + scale);
        PostMessageW(f.main, WM_MOUSEMOVE, 0, at);
        PostMessageW(f.main, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(f.main, WM_LBUTTONUP, 0, at);
    } else if (command == L"progress") {
        if (!f.progress) return 1;
        ShowWindow(f.progress, SW_SHOWNA);
    } else if (command == L"frame" && argc > 2) {
        HWND target = FindWindowW(argv[2], nullptr);
        if (!target || !f.frame) return 1;
        RECT r;
        GetWindowRect(target, &r);
        SetWindowPos(f.frame, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
}
