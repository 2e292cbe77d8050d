// TDosThread: the worker of one run of a TDosCommand. It owns the pipes and
// the child for the length of the run and reaches its component only
// through its TDosRunLink.
#pragma once

#include "classlib/runtime/thread.h"
#include "process/dos_run_link.h"
#include "process/line_splitter.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class TDosThread : public TThread, private ILineSink {
public:
    // Attaches to the component through link (which empties InputLines)
    // and starts at once. The worker frees itself when its thread ends.
    explicit TDosThread(std::unique_ptr<TDosRunLink> link);

    bool Executing() const noexcept { return FExecuting.load(); }
    // Breaks off a write to the child's input that blocks because the child
    // does not read; called after Terminate.
    void CancelInputWrite();

protected:
    void Execute() override;
    // Also runs when the thread ends without Execute (a Stop before it began).
    void DoTerminate() override;

private:
    void Run();
    void RunStages();
    void ReadLoop(HANDLE process, HANDLE outputRead, HANDLE inputWrite);
    // Reads what the pipe holds now; false when nothing was there.
    bool ReadOutput(HANDLE outputRead, bool& more);
    void WriteInput(HANDLE inputWrite);
    bool TimedOut() const;

    void AddNewLine(const std::string& line, TOutputType type);
    void DoNewLine();

    // ILineSink
    void LineEnded(TReturnCode code) override { FLink->LineEnded(code); }
    void Deliver(const std::string& line, TOutputType type) override { AddNewLine(line, type); }
    bool StopRequested() override { return Terminated(); }

    const std::unique_ptr<TDosRunLink> FLink;
    const TDosRunSettings& FSettings;  // the link's copies

    std::wstring FLine;
    TOutputType FOutputType = otWholeLine;
    bool FPrevPartial = false;
    std::atomic<bool> FExecuting{true};
    std::atomic<bool> FWritingInput{false};  // in a write to the child's input

    // The run's own state.
    TLineSplitter FSplitter;
    std::vector<char> FBuffer;
    DWORD FLastExitCode = STILL_ACTIVE;
    bool FChildEnded = false;
    DWORD FFailureCode = 0;  // the system error of the step that broke the run off
};
