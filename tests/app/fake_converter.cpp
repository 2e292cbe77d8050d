// A stand-in for the converter: a console program that plays the script
// "fake_converter.txt" from its own folder, one command a line, and writes
// the command line it was started with to "fake_converter_args.txt" there.
//   out TEXT       TEXT and a bare CR
//   outln TEXT     TEXT and CR LF
//   waitfile NAME  waits until the file NAME appears in its folder (60 s at most)
//   repeat TEXT    TEXT and a CR every 50 ms, 60 s at most (until stopped)
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

}  // namespace

int main() {
    const std::string folder = OwnFolder();
    {
        std::ofstream args(folder + "fake_converter_args.txt", std::ios::binary);
        const wchar_t* line = GetCommandLineW();
        const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(n > 0 ? n - 1 : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), n, nullptr, nullptr);
        args << utf8;
    }
    std::ifstream script(folder + "fake_converter.txt", std::ios::binary);
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
        } else if (command == "exit") {
            return std::atoi(rest.c_str());
        }
    }
    return 0;
}
