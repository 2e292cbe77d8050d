// Path and file helpers over the wide file API.
#include "classlib/runtime/files.h"

#include <windows.h>

namespace {
bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsPathSep(wchar_t c) { return IsDelimiter(c) || c == L':'; }
std::wstring Z(std::wstring_view s) { return std::wstring(s); }
}  // namespace

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path) {
    std::wstring s(path);
    if (s.empty() || !IsDelimiter(s.back())) s += PathDelim;
    return s;
}

std::wstring ExcludeTrailingPathDelimiter(std::wstring_view path) {
    std::wstring s(path);
    while (!s.empty() && IsDelimiter(s.back())) s.pop_back();
    return s;
}

std::wstring ExtractFilePath(std::wstring_view path) {
    size_t i = path.size();
    while (i > 0 && !IsPathSep(path[i - 1])) --i;
    return std::wstring(path.substr(0, i));
}

std::wstring ExtractFileDir(std::wstring_view path) {
    size_t i = path.size();
    while (i > 0 && !IsPathSep(path[i - 1])) --i;
    // Keep the delimiter of a root ("C:\") and of a lone leading one.
    if (i > 1 && IsDelimiter(path[i - 1]) && !IsPathSep(path[i - 2])) --i;
    return std::wstring(path.substr(0, i));
}

std::wstring ExtractFileName(std::wstring_view path) {
    size_t i = path.size();
    while (i > 0 && !IsPathSep(path[i - 1])) --i;
    return std::wstring(path.substr(i));
}

std::wstring ExtractFileExt(std::wstring_view path) {
    for (size_t i = path.size(); i > 0; --i) {
        const wchar_t c = path[i - 1];
        if (c == L'.') return std::wstring(path.substr(i - 1));
        if (IsPathSep(c)) break;
    }
    return {};
}

std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext) {
    size_t cut = path.size();
    for (size_t i = path.size(); i > 0; --i) {
        const wchar_t c = path[i - 1];
        if (c == L'.') {
            cut = i - 1;
            break;
        }
        if (IsPathSep(c)) break;
    }
    return std::wstring(path.substr(0, cut)) + std::wstring(ext);
}

bool FileExists(std::wstring_view path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesW(Z(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::wstring_view path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesW(Z(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(std::wstring_view path) {
    return !path.empty() && CreateDirectoryW(std::wstring(path).c_str(), nullptr) != FALSE;
}

bool ForceDirectories(std::wstring_view path) {
    const std::wstring dir = ExcludeTrailingPathDelimiter(path);
    if (dir.empty()) return false;
    if (DirectoryExists(dir)) return true;
    if (FileExists(dir)) return false;
    const std::wstring parent = ExtractFileDir(dir);
    // Stop at a drive ("C:") or when the parent is the folder itself.
    if (!parent.empty() && parent != dir && !(parent.size() == 2 && parent[1] == L':')) {
        if (!ForceDirectories(parent)) return false;
    }
    if (CreateDirectoryW(dir.c_str(), nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(dir);
}

bool RemoveFile(std::wstring_view path) {
    if (path.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return DeleteFileW(Z(path).c_str()) != FALSE;
}

std::wstring ProgramFileName() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::wstring TempFolder() {
    wchar_t buf[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH + 1) return {};
    return IncludeTrailingPathDelimiter(std::wstring_view(buf, n));
}
