// TDosRunLink: everything a worker (TDosThread) may do to its component
// (TDosCommand), for one run.
//
// Each run gets a number when Execute starts it. The component's state
// (Status, ExitCode, OutputReturnCode, Lines, InputLines, the process timer)
// and its events belong to the latest run only: once a later run has started
// or the component is being destroyed, a worker's writes and events are
// dropped, so a stopped run that ends late cannot touch the run after it.
// Every call takes the component's lock itself. After Detach the link never
// touches the component again.
#pragma once

#include "process/console_command.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// The component's settings, copied when a run starts: changing them on the
// component during the run affects only later runs.
struct TDosRunSettings {
    std::wstring CommandLine;
    TNewLineEvent OnNewLine;
    TTerminateEvent OnTerminated;
    TProcessTimer* Timer = nullptr;  // the component's; lives as long as the component
    int32_t MaxTimeAfterBeginning = 0;
    int32_t MaxTimeAfterLastOutput = 0;
    DWORD PriorityClass = NORMAL_PRIORITY_CLASS;
    TShowWindow ShowWindow = swHIDE;
    TCreationFlag CreationFlag = fCREATE_NEW_CONSOLE;
};

class TDosRunLink {
public:
    ~TDosRunLink() { Detach(); }
    TDosRunLink(const TDosRunLink&) = delete;
    TDosRunLink& operator=(const TDosRunLink&) = delete;

    const TDosRunSettings& Settings() const noexcept { return FSettings; }
    // The component, as the Sender of the events; not to be used otherwise.
    TObject* Sender() const noexcept;

    // Makes worker the component's current worker and empties InputLines.
    void Attach(TDosThread* worker);
    // Gives the component up; later calls do nothing.
    void Detach() noexcept;

    // This run still owns the component: no later run has started and the
    // component is not being destroyed.
    bool Live() const;

    // Stages (Status).
    void EnterStage(TDosCommandStatus stage);
    // The run broke off: a working stage becomes its failure value and
    // ExitCode becomes code. A run that has ended keeps its end value.
    void FailStage(DWORD code);
    // The run's end value; ExitCode is left as it is.
    void Finish(TDosCommandStatus status);
    // The run's end value with the child's exit code.
    void Finish(TDosCommandStatus status, DWORD exitCode);

    // Output.
    void LineEnded(TReturnCode code);
    // Appends to Lines and restarts the time since the last output; false
    // when the run no longer owns the component (the line is dropped).
    bool AddLine(const std::wstring& line);
    // GUI thread: the owner's mirror list, or none.
    TStrings* OutputLines() const;

    // Input.
    bool InputToOutput() const;
    // The first line waiting in InputLines, or none.
    std::optional<std::wstring> FirstInputLine() const;
    void RemoveFirstInputLine();

    // The process timer: started by the latest run only, halted only by the
    // run that started it.
    void StartTimer();
    void HaltTimer() noexcept;

    // Calls OnTerminated unless the run no longer owns the component. Until
    // the call has returned, a later Execute waits.
    void NotifyTerminated(DWORD exitCode);

private:
    friend class TDosCommand;  // the only maker of links
    TDosRunLink(TDosCommand& owner, uint64_t run, TDosRunSettings settings);

    bool LiveLocked() const noexcept;

    TDosCommand* FOwner;  // none once detached
    const uint64_t FRun;
    const TDosRunSettings FSettings;
    TDosThread* FWorker = nullptr;
    TDosCommandStatus FStage = dcsNotStarted;  // the run's own stage
};
