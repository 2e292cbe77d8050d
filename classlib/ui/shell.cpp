#include "classlib/ui/shell.h"

#include "classlib/runtime/text.h"
#include "shared/owner.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace {

BOOL CALLBACK CollectEnabled(HWND wnd, LPARAM data) {
    if (IsWindowVisible(wnd) && IsWindowEnabled(wnd)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(wnd);
    return TRUE;
}

}  // namespace

std::wstring DocumentsFolder(HWND Owner) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(Owner, CSIDL_PERSONAL, &list)) || !list) return {};
    TTaskMem<ITEMIDLIST> owned(list);
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(list, path)) return {};
    return AnsiToWide(path);
}

std::optional<std::wstring> BrowseForFolder(HWND Owner, const std::wstring& Title) {
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&disabled));
    for (HWND w : disabled) EnableWindow(w, FALSE);
    TScopeGuard restore([&] {
        for (HWND w : disabled)
            if (IsWindow(w)) EnableWindow(w, TRUE);
        if (Owner && IsWindow(Owner)) SetForegroundWindow(Owner);
    });
    BROWSEINFOW info{};
    info.hwndOwner = Owner;
    info.pidlRoot = nullptr;
    wchar_t display[MAX_PATH] = {};
    info.pszDisplayName = display;
    info.lpszTitle = Title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    if (!chosen) return std::nullopt;
    TTaskMem<ITEMIDLIST> owned(chosen);
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen, path)) return std::nullopt;
    return std::wstring(path);
}

INT_PTR ShellOpen(HWND Owner, const std::wstring& Path) {
    return reinterpret_cast<INT_PTR>(ShellExecuteW(Owner, L"open", Path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}
