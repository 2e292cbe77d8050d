// TDosCommand: runs one console program at a time as a hidden child process
// and turns what it prints into lines.
//
// The child's standard input is a pipe the component writes InputLines to;
// its standard output and standard error share one pipe that the component
// reads. For the length of one run a worker thread (TDosThread, in
// process/dos_thread.h, linked to the component by TDosRunLink) owns the
// pipes and the child: it polls the output every millisecond, splits it into
// lines, hands every line (complete, or the part received so far) to the GUI
// thread, enforces the time-outs, obeys Stop and reports the end of the run
// with the child's exit code. The worker frees itself when it has finished.
//
// Events:
//   OnNewLine(Sender, NewLine, OutputType)  on the GUI thread, for each line;
//       a handler method looks like
//       void DosCommandConvertNewLine(TObject* Sender, const std::wstring& NewLine, TOutputType OutputType)
//   OnTerminated(Sender, ExitCode)          on the worker thread, when a run ends;
//       void DosCommandConvertTerminated(TObject* Sender, DWORD ExitCode)
//
// Text: the command line is handed to the system unchanged; the child's
// output bytes are taken in the system's ANSI code page, and input lines are
// written in it.
#pragma once

#include "classlib/runtime/component.h"
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/lists.h"
#include "classlib/runtime/thread.h"
#include "classlib/runtime/timer.h"
#include "process/line_splitter.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TDosThread;
class TDosRunLink;

// Show state of the child's window; each stands for the SW_ constant of the
// same name.
enum TShowWindow {
    swHIDE,
    swMAXIMIZE,
    swMINIMIZE,
    swRESTORE,
    swSHOW,
    swSHOWDEFAULT,
    swSHOWMAXIMIZED,
    swSHOWMINIMIZED,
    swSHOWMINNOACTIVE,
    swSHOWNA,
    swSHOWNOACTIVATE,
    swSHOWNORMAL,
};

// The process-creation flag; each stands for the constant of the same name
// without the leading f.
enum TCreationFlag {
    fCREATE_DEFAULT_ERROR_MODE,
    fCREATE_NEW_CONSOLE,
    fCREATE_NEW_PROCESS_GROUP,
    fCREATE_SEPARATE_WOW_VDM,
    fCREATE_SHARED_WOW_VDM,
    fCREATE_SUSPENDED,
    fCREATE_UNICODE_ENVIRONMENT,
    fDEBUG_PROCESS,
    fDEBUG_ONLY_THIS_PROCESS,
    fDETACHED_PROCESS,
};

// The stage of the current or last run.
enum TDosCommandStatus {
    dcsNotStarted = 0,     // the run has begun; buffer and security attributes are prepared
    dcsStartFailed = 1,    // the run broke off in that stage
    dcsPreparing = 2,      // the pipes are being created
    dcsPrepareFailed = 3,  // creating a pipe failed
    dcsPipesReady = 4,     // both pipes exist; the child is being created
    dcsProcessFailed = 5,  // creating the child failed
    dcsRunning = 6,        // the child runs; the read loop is under way
    dcsRunFailed = 7,      // the read loop broke off with an exception
    dcsFinished = 8,       // the child ended by itself; ExitCode holds its exit code
    dcsStopped = 9,        // ended by Stop; the child was terminated
    dcsTimedOut = 10,      // ended by a time-out; the child was terminated
};

using TNewLineEvent = std::function<void(TObject* Sender, const std::wstring& NewLine, TOutputType OutputType)>;
using TTerminateEvent = std::function<void(TObject* Sender, DWORD ExitCode)>;

// Either pipe to the child could not be created.
class TCreatePipeError : public Exception {
public:
    using Exception::Exception;
};

// The child could not be created; the message is the command line followed
// by " doesn't exist.".
class TCreateProcessError : public Exception {
public:
    using Exception::Exception;
};

// The system values behind the enumerations.
WORD ShowWindowValue(TShowWindow value) noexcept;
DWORD CreationFlagValue(TCreationFlag value) noexcept;

// Counts whole seconds of a run on the GUI thread: since the child started
// and since the last delivered line. The worker starts and halts it and
// resets the second count; the ticks arrive while the GUI thread processes
// messages.
class TProcessTimer : public TTimer {
public:
    explicit TProcessTimer(TComponent* AOwner);

    std::atomic<int32_t> TimeAfterBeginning{0};
    std::atomic<int32_t> TimeAfterLastOutput{0};

    // The OnTimer handler: one more second on both counts.
    void Tick(TObject* Sender);
    // Interval 1000 ms, both counts 0, enabled.
    void Start();
    void ResetLastOutput() noexcept { TimeAfterLastOutput.store(0); }
    // Disabled; the counts keep their values.
    void Halt();
};

class TDosCommand : public TComponent {
public:
    explicit TDosCommand(TComponent* AOwner);
    // Stops a run under way and waits until its worker no longer uses the
    // component; a run cut short this way delivers no more events.
    ~TDosCommand() override;

    const std::wstring& CommandLine() const noexcept { return FCommandLine; }
    void SetCommandLine(const std::wstring& value) { FCommandLine = value; }
    bool InputToOutput() const noexcept { return FInputToOutput.load(); }
    void SetInputToOutput(bool value) noexcept { FInputToOutput.store(value); }
    // Seconds; 0 or less means no limit.
    int32_t MaxTimeAfterBeginning() const noexcept { return FMaxTimeAfterBeginning; }
    void SetMaxTimeAfterBeginning(int32_t value) noexcept { FMaxTimeAfterBeginning = value; }
    int32_t MaxTimeAfterLastOutput() const noexcept { return FMaxTimeAfterLastOutput; }
    void SetMaxTimeAfterLastOutput(int32_t value) noexcept { FMaxTimeAfterLastOutput = value; }
    TShowWindow ShowWindow() const noexcept { return FShowWindow; }
    void SetShowWindow(TShowWindow value) noexcept { FShowWindow = value; }
    TCreationFlag CreationFlag() const noexcept { return FCreationFlag; }
    void SetCreationFlag(TCreationFlag value) noexcept { FCreationFlag = value; }
    // Kept with the form description; a run does not consult it.
    TReturnCode ReturnCode() const noexcept { return FReturnCode; }
    void SetReturnCode(TReturnCode value) noexcept { FReturnCode = value; }
    // How the most recent complete output line ended.
    TReturnCode OutputReturnCode() const noexcept { return FOutputReturnCode.load(); }

    TNewLineEvent OnNewLine;
    TTerminateEvent OnTerminated;

    // Every line report of the current run, partial reports included.
    TStringList* Lines() const noexcept { return FLines.get(); }
    // A list of the owner's that mirrors the output, partial lines replaced
    // in place by their later versions; not owned.
    TStrings* OutputLines() const noexcept { return FOutputLines; }
    void SetOutputLines(TStrings* value) noexcept { FOutputLines = value; }
    // Lines waiting to be written to the child's standard input, each with
    // its own line break (none is added). Every item operation of this list
    // holds the component's lock, so the owner may add lines while the
    // worker takes them.
    TStringList* InputLines() const noexcept { return FInputLines.get(); }

    TDosCommandStatus Status() const noexcept { return FStatus.load(); }
    DWORD ExitCode() const noexcept { return FExitCode.load(); }
    DWORD PriorityClass() const noexcept { return FPriorityClass; }
    // Created by the first Execute, kept for later runs.
    TProcessTimer* ProcessTimer() const noexcept { return FTimer; }

    // Starts a run and returns at once. Does nothing when CommandLine is
    // empty; EInvalidOperation while a run is under way. From here on no
    // earlier run writes the component's state or raises its events (an
    // OnTerminated of a stopped run that is under way is waited for).
    void Execute();
    // Execute, then processes the GUI thread's messages until the run has
    // ended; returns ExitCode.
    DWORD ExecuteAndWait();
    // Asks the current run to end and forgets it; returns at once. The
    // stopped run still reports its end (dcsStopped, OnTerminated) unless a
    // later run has started meanwhile.
    void Stop();
    bool IsRunning() const;

    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties();

private:
    friend class TDosRunLink;

    // GUI thread: serves the queued synchronous calls and sent messages for
    // a moment, so a worker waiting for the GUI thread can go on.
    static void ServeWorkers();

    // Guards Lines (worker appends, Execute empties), InputLines, the worker
    // list, the run numbers and the count of events under way. Declared
    // first, so it outlives the lists that use it.
    mutable std::recursive_mutex FLock;

    std::wstring FCommandLine;
    std::atomic<bool> FInputToOutput{false};
    int32_t FMaxTimeAfterBeginning = 0;
    int32_t FMaxTimeAfterLastOutput = 0;
    TShowWindow FShowWindow = swHIDE;
    TCreationFlag FCreationFlag = fCREATE_NEW_CONSOLE;
    TReturnCode FReturnCode = rcCRLF;
    std::atomic<TReturnCode> FOutputReturnCode{rcCRLF};
    std::atomic<TDosCommandStatus> FStatus{dcsNotStarted};
    std::atomic<DWORD> FExitCode{0};
    DWORD FPriorityClass = NORMAL_PRIORITY_CLASS;
    TStrings* FOutputLines = nullptr;
    std::unique_ptr<TStringList> FLines;
    std::unique_ptr<TStringList> FInputLines;  // a list whose operations take FLock
    TProcessTimer* FTimer = nullptr;           // owned as a component

    TDosThread* FCurrent = nullptr;     // the current run's worker
    std::vector<TDosThread*> FWorkers;  // every worker that still uses the component
    uint64_t FRun = 0;                  // the latest run's number; its worker alone writes the state
    uint64_t FTimerRun = 0;             // the run that last started the timer
    int FEventsUnderWay = 0;            // OnTerminated calls not yet returned
    bool FDestroying = false;
};
