// Path and file helpers: trailing delimiters, the parts of a path, changing
// an extension, existence tests, creating a folder with all its missing
// parents, deleting a file, the program's own path. Paths are UTF-16 and use
// the wide file API.
#pragma once

#include <string>
#include <string_view>

constexpr wchar_t PathDelim = L'\\';

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path);
std::wstring ExcludeTrailingPathDelimiter(std::wstring_view path);

// "C:\a\b.txt": ExtractFilePath "C:\a\", ExtractFileDir "C:\a",
// ExtractFileName "b.txt", ExtractFileExt ".txt".
std::wstring ExtractFilePath(std::wstring_view path);
std::wstring ExtractFileDir(std::wstring_view path);
std::wstring ExtractFileName(std::wstring_view path);
std::wstring ExtractFileExt(std::wstring_view path);
// Replaces the extension (or adds one); ext includes its dot, "" removes it.
std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext);

bool FileExists(std::wstring_view path);       // an existing file, not a folder
bool DirectoryExists(std::wstring_view path);  // an existing folder
// Creates one folder whose parent exists; true when it was created.
bool CreateDir(std::wstring_view path);
// Creates the folder and every missing parent; true when it exists at the end.
// An empty path is refused (false).
bool ForceDirectories(std::wstring_view path);
// Deletes a file; false when it could not be deleted (GetLastError tells why).
bool RemoveFile(std::wstring_view path);

// The full path of the running program's executable.
std::wstring ProgramFileName();
// The system's folder for temporary files, with a trailing delimiter.
std::wstring TempFolder();
