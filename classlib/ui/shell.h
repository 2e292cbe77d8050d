// Shell services the program needs: the user's documents folder, the
// folder browser and opening a folder in the system's file browser.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The documents folder (CSIDL_PERSONAL) as the ANSI shell call reports it,
// converted; empty when the shell cannot tell. Owner may be null.
std::wstring DocumentsFolder(HWND Owner);

// The shell's folder browser, modal: titled Title, rooted at the desktop,
// only file-system folders; every other enabled window of the calling
// thread is disabled while it is open. The chosen folder, or nothing on
// cancel.
std::optional<std::wstring> BrowseForFolder(HWND Owner, const std::wstring& Title);

// ShellExecute "open" on Path; the platform's result (above 32 on success).
INT_PTR ShellOpen(HWND Owner, const std::wstring& Path);
