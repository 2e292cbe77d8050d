// A stand-in for the converter: a console program that plays the script
// "fake_converter.txt" from its own folder, one command a line, and writes
// the command line it was started with to "fake_converter_args.txt" there.
// Started to read a file back (its command line holds "-f null"), it plays
// "fake_probe.txt" instead and writes its command line to
// "fake_probe_args.txt".
//   out TEXT       TEXT and a bare CR
//   outln TEXT     TEXT and CR LF
//   waitfile NAME  waits until the file NAME appears in its folder (60 s at most)
//   repeat TEXT    TEXT and a CR every 50 ms, 60 s at most (until stopped)
//   writeout N     writes N bytes to the output (the last quoted argument)
//   removeout      deletes that file
//   exit CODE      ends with CODE
// Without a script it ends with 0 at once.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// The last argument in double quotes of the command line.
std::wstring LastQuoted(const std::wstring& line) {
    const std::size_t close = line.rfind(L'"');
    if (close == std::wstring::npos || close == 0) return {};
    const std::size_t open = line.rfind(L'"', close - 1);
    if (open == std::wstring::npos) return {};
    return line.substr(open + 1, close - open - 1);
}

}  // namespace

int main() {
    const std::string folder = OwnFolder();
    const std::wstring commandLine = GetCommandLineW();
    const bool probe = commandLine.find(L"-f null") != std::wstring::npos;
    {
        std::ofstream args(folder + (probe ? "fake_probe_args.txt" : "fake_converter_args.txt"), std::ios::binary);
        const wchar_t* line = commandLine.c_str();
        const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(n > 0 ? n - 1 : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
        args << utf8;
    }
    std::ifstream script(folder + (probe ? "fake_probe.txt" : "fake_converter.txt"), std::ios::binary);
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t blank = line.find(' ');
        const std::string command = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (command == "out") {
            Print(rest + "\r");
        } else if (command == "outln") {
            Print(rest + "\r\n");
        } else if (command == "waitfile") {
            for (int i = 0; i < 1200 && GetFileAttributesA((folder + rest).c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
                Sleep(50);
        } else if (command == "repeat") {
            for (int i = 0; i < 1200; ++i) {
                Print(rest + "\r");
                Sleep(50);
            }
        } else if (command == "writeout") {
            const HANDLE h = CreateFileW(LastQuoted(commandLine).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                const std::string bytes(std::strtoul(rest.c_str(), nullptr, 10), 'x');
                DWORD written = 0;
                if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
                CloseHandle(h);
            }
        } else if (command == "removeout") {
            DeleteFileW(LastQuoted(commandLine).c_str());
        } else if (command == "exit") {
            return std::atoi(rest.c_str());
        }
    }
    return 0;
}
