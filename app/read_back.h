// The converter reading a finished file back: "lib\ffmpeg.exe" copies every
// packet of every stream of the file into nothing, and its last progress
// line ("time=") tells how far the file reaches. A file the converter cannot
// read through (no index, cut short) ends with an error or short of its
// length.
//
// Starting a process is most of the cost of reading a short file back, so
// the process can be created ahead, held before its first instruction,
// while the file is still being written; the read itself then only lets it
// go.
#pragma once

#include "process/line_splitter.h"
#include "shared/owner.h"

#include <windows.h>

#include <functional>
#include <string>

class TReadBack {
public:
    explicit TReadBack(std::wstring File);
    TReadBack(const TReadBack&) = delete;
    TReadBack& operator=(const TReadBack&) = delete;
    // A process still held or still running is ended.
    ~TReadBack();

    const std::wstring& File() const noexcept { return FFile; }
    const std::wstring& CommandLine() const noexcept { return FCommandLine; }
    // The child's process identifier; 0 when none is held or running.
    DWORD ProcessId() const noexcept { return FProcessId; }

    // Creates the process held (nothing of it runs yet); false when it
    // cannot be created, and Run then starts one itself.
    bool Prepare();
    // Reads the file through: lets a held process go or starts one, and
    // calls Serve between looks at the child (Serve waits a few
    // milliseconds for Wakeup or a message and serves the window's messages;
    // false ends the read at once). True with the seconds of media read when
    // the converter exited with 0 having printed a progress time.
    bool Run(double& Seconds, const std::function<bool(HANDLE Wakeup)>& Serve);

private:
    bool Create();
    // Everything the pipe holds now, split into lines.
    void TakeOutput();
    void Release() noexcept;

    std::wstring FFile;
    std::wstring FCommandLine;
    TKernelHandle FJob;
    TKernelHandle FProcess;
    TKernelHandle FThread;
    TKernelHandle FOutput;  // our end of the child's standard output and error
    DWORD FProcessId = 0;
    bool FHeld = false;
    TLineSplitter FSplitter;
    bool FFound = false;
    double FLast = 0;
};
