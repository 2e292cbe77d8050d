// Runs the Windows FFmpeg at lib\ffmpeg.exe (relative to the working folder)
// through the console runner, as the program runs its conversions, and reads
// what it says.
#pragma once

#include "process/console_command.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace convertertest {

struct ConverterRun {
    DWORD ExitCode = 0xFFFFFFFF;
    DWORD TerminatedCode = 0xFFFFFFFF;
    bool Terminated = false;
    std::vector<std::wstring> Lines;  // whole lines only

    bool AnyLineHas(const std::wstring& text) const {
        for (const auto& line : Lines)
            if (line.find(text) != std::wstring::npos) return true;
        return false;
    }
    int CountLinesWith(const std::wstring& text) const {
        int count = 0;
        for (const auto& line : Lines)
            if (line.find(text) != std::wstring::npos) ++count;
        return count;
    }
};

// Runs "lib\ffmpeg.exe" with the arguments (which begin with a blank) as the
// program does: hidden, new console, no time-outs. The application must be
// initialised on the calling thread.
inline ConverterRun RunFfmpeg(const std::wstring& arguments) {
    ConverterRun run;
    TDosCommand command(nullptr);
    command.SetShowWindow(swHIDE);
    command.SetCreationFlag(fCREATE_NEW_CONSOLE);
    command.SetCommandLine(L"lib\\ffmpeg.exe" + arguments);
    command.OnNewLine = [&run](TObject*, const std::wstring& line, TOutputType type) {
        if (type == otWholeLine) run.Lines.push_back(line);
    };
    command.OnTerminated = [&run](TObject*, DWORD code) {
        run.TerminatedCode = code;
        run.Terminated = true;
    };
    run.ExitCode = command.ExecuteAndWait();
    return run;
}

// Seconds of "Duration: hh:mm:ss.cc" in ffmpeg's description of its input,
// or -1.
inline double DurationOf(const ConverterRun& probe) {
    for (const auto& line : probe.Lines) {
        const size_t at = line.find(L"Duration: ");
        if (at == std::wstring::npos) continue;
        const std::wstring text = line.substr(at + 10, 11);
        if (text.size() < 11 || text[2] != L':' || text[5] != L':') return -1;
        return std::wcstol(text.substr(0, 2).c_str(), nullptr, 10) * 3600.0 +
               std::wcstol(text.substr(3, 2).c_str(), nullptr, 10) * 60.0 +
               std::wcstod(text.substr(6).c_str(), nullptr);
    }
    return -1;
}

// ffmpeg's description of the file ("ffmpeg -i"), which ends in an error for
// want of an output.
inline ConverterRun Describe(const std::wstring& path) { return RunFfmpeg(L" -i \"" + path + L"\""); }

}  // namespace convertertest
