#include "process/dos_thread.h"

#include "classlib/runtime/application.h"
#include "classlib/runtime/text.h"
#include "shared/owner.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// Holds a list's updates back for a scope.
class TUpdateScope {
public:
    explicit TUpdateScope(TStrings& list) : FList(list) { FList.BeginUpdate(); }
    ~TUpdateScope() {
        try {
            FList.EndUpdate();
        } catch (...) {
            // An OnChange handler's error must not escape a destructor.
        }
    }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TStrings& FList;
};

// The read buffer grows to what the pipe holds, up to this size; more is
// read in the following passes. (A pipe may report a whole pending write of
// the child as available, however large.)
constexpr DWORD kMaxReadBuffer = 1u << 20;

// Passes made after the child has ended while its output still holds bytes
// (one read may not take all of them); bounds the wait on a grandchild that
// keeps writing into the inherited pipe.
constexpr int kMaxDrainPasses = 4096;

std::wstring PipeErrorText(DWORD code) {
    return L"Cannot create a pipe to the console program (system error " + std::to_wstring(code) + L").";
}

[[noreturn]] void RaiseRunError(DWORD code, const wchar_t* what) {
    throw EOSError(std::wstring(what) + L" failed (system error " + std::to_wstring(code) + L").", code);
}

}  // namespace

TDosThread::TDosThread(std::unique_ptr<TDosRunLink> link) : FLink(std::move(link)), FSettings(FLink->Settings()) {
    // Every worker frees itself when its thread ends: the component only
    // refers to it until then (TDosRunLink::Detach).
    SetFreeOnTerminate(true);
    FLink->Attach(this);
    try {
        Start();
    } catch (...) {
        FLink->Detach();
        throw;
    }
}

void TDosThread::CancelInputWrite() {
    // The worker raises FWritingInput before it checks the stop request for
    // the last time and enters the write, and the caller has set the stop
    // request before looking at FWritingInput: either the worker does not
    // write, or the flag is seen here. Between the flag and the system call
    // a cancel finds nothing to cancel, so it is repeated for a short while.
    for (int i = 0; i < 500 && FWritingInput.load(); ++i) {
        CancelSynchronousIo(static_cast<HANDLE>(Handle()));
        if (!FWritingInput.load()) break;
        Sleep(i < 10 ? 0 : 1);
    }
}

void TDosThread::DoTerminate() {
    FLink->Detach();
    TThread::DoTerminate();
}

void TDosThread::Execute() {
    std::exception_ptr shown;
    if (!Terminated()) {  // a Stop that came before the run began ends it here
        try {
            Run();
        } catch (const TCreatePipeError&) {
            shown = std::current_exception();
        } catch (const TCreateProcessError&) {
            shown = std::current_exception();
        } catch (...) {
            // Any other failure ends the worker without a message.
        }
    }
    // The last use of the component: from here on it may be destroyed.
    FLink->Detach();
    if (shown) Application->ShowException(shown);
}

void TDosThread::Run() {
    std::exception_ptr failure;
    try {
        RunStages();
    } catch (...) {
        failure = std::current_exception();
        if (FFailureCode == 0) FFailureCode = GetLastError();
    }

    // Final stage.
    try {
        FLink->NotifyTerminated(FLastExitCode);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    FLink->FailStage(FFailureCode != 0 ? FFailureCode : GetLastError());
    SetFreeOnTerminate(true);
    FExecuting.store(false);
    Terminate();
    if (failure) std::rethrow_exception(failure);
}

void TDosThread::RunStages() {
    FLink->EnterStage(dcsNotStarted);
    // The pipes get the process's default security; only inheritance is
    // asked for, so the child can use its ends.
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;
    FBuffer.assign(1024, 0);

    FLink->EnterStage(dcsPreparing);
    TKernelHandle inputRead, inputWrite, outputRead, outputWrite;
    if (!CreatePipe(inputRead.Put(), inputWrite.Put(), &security, 0)) {
        FFailureCode = GetLastError();
        throw TCreatePipeError(PipeErrorText(FFailureCode));
    }
    if (!CreatePipe(outputRead.Put(), outputWrite.Put(), &security, 0)) {
        FFailureCode = GetLastError();
        inputRead.Reset();
        inputWrite.Reset();
        throw TCreatePipeError(PipeErrorText(FFailureCode));
    }
    TScopeGuard pipeStage([&]() noexcept {
        inputRead.Reset();
        outputWrite.Reset();
        outputRead.Reset();
        inputWrite.Reset();
    });

    // Our own ends stay with us: a child that inherited them would keep
    // its input open and its output unbroken after we let go of them.
    SetHandleInformation(inputWrite.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead.Get(), HANDLE_FLAG_INHERIT, 0);

    FLink->EnterStage(dcsPipesReady);
    // A start-up record of the child's own, not a copy of ours: the
    // reserved fields lpReserved2 and cbReserved2 belong to the C run-time
    // (it passes its file table through them) and must be NULL and 0 here,
    // or the child's run-time would take over a table that is not its own.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpReserved2 = nullptr;
    startup.cbReserved2 = 0;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowWindowValue(FSettings.ShowWindow);
    startup.hStdInput = inputRead.Get();
    startup.hStdOutput = outputWrite.Get();
    startup.hStdError = outputWrite.Get();

    PROCESS_INFORMATION info{};
    // The system may write into the command line it is given, so it gets a copy.
    const std::wstring& command = FSettings.CommandLine;
    std::vector<wchar_t> commandLine(command.begin(), command.end());
    commandLine.push_back(L'\0');
    BOOL created = FALSE;
    if (command.find(L'\0') != std::wstring::npos) {
        // The system would silently run only the part before the NUL.
        SetLastError(ERROR_INVALID_PARAMETER);
    } else {
        created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                 CreationFlagValue(FSettings.CreationFlag) | FSettings.PriorityClass, nullptr, nullptr,
                                 &startup, &info);
    }
    if (!created) {
        FFailureCode = GetLastError();
        throw TCreateProcessError(command + L" doesn't exist.");
    }

    // The child has its own copies of its ends now. Without ours, a write
    // to a child that has ended fails at once instead of filling a pipe
    // nobody reads, and the output reports its end once the child's copy is
    // gone.
    inputRead.Reset();
    outputWrite.Reset();

    TKernelHandle process(info.hProcess);
    TKernelHandle thread(info.hThread);
    TScopeGuard processStage([&]() noexcept {
        // TerminateProcess only begins the end of the child; until it has
        // ended the child still holds its files (the converter's output),
        // so the stage waits for it, within a bound.
        if (!FChildEnded && TerminateProcess(process.Get(), 0)) WaitForSingleObject(process.Get(), 10000);
        FLink->HaltTimer();
        thread.Reset();
        process.Reset();
    });
    FLink->StartTimer();
    FLastExitCode = STILL_ACTIVE;

    FLink->EnterStage(dcsRunning);
    FSplitter.Reset();
    FPrevPartial = false;
    ReadLoop(process.Get(), outputRead.Get(), inputWrite.Get());
}

void TDosThread::ReadLoop(HANDLE process, HANDLE outputRead, HANDLE inputWrite) {
    int drainPasses = 0;
    for (;;) {
        // The process handle tells whether the child has ended; its exit
        // code may be any value, STILL_ACTIVE included.
        if (!FChildEnded) {
            const DWORD wait = WaitForSingleObject(process, 0);
            if (wait == WAIT_FAILED) {
                FFailureCode = GetLastError();
                RaiseRunError(FFailureCode, L"Waiting for the console program");
            }
            if (wait == WAIT_OBJECT_0) {
                DWORD code = 0;
                if (!GetExitCodeProcess(process, &code)) {
                    FFailureCode = GetLastError();
                    RaiseRunError(FFailureCode, L"Reading the console program's exit code");
                }
                FLastExitCode = code;
                FChildEnded = true;
            }
        }

        bool more = false;
        if (!ReadOutput(outputRead, more)) WriteInput(inputWrite);
        Sleep(1);

        if (FChildEnded) {
            // Everything the child wrote is in the pipe by now; take the rest
            // before ending the run.
            if (more && !Terminated() && ++drainPasses < kMaxDrainPasses) continue;
            FLink->Finish(dcsFinished, FLastExitCode);
            break;
        }
        if (Terminated()) {
            FLink->Finish(dcsStopped);
            break;
        }
        if (TimedOut()) {
            FLink->Finish(dcsTimedOut);
            break;
        }
    }
    if (!FSplitter.Partial().empty()) AddNewLine(FSplitter.Partial(), otPartialLine);
}

bool TDosThread::ReadOutput(HANDLE outputRead, bool& more) {
    DWORD available = 0;
    if (!PeekNamedPipe(outputRead, nullptr, 0, nullptr, &available, nullptr)) {
        if (Terminated()) return false;  // cut short by a stop request
        // Every writer has closed its end and all was read: nothing more
        // comes; the child's exit code ends the run.
        if (GetLastError() == ERROR_BROKEN_PIPE) return false;
        FFailureCode = GetLastError();
        RaiseRunError(FFailureCode, L"Reading the console program's output");
    }
    if (available == 0) return false;
    if (available > FBuffer.size()) FBuffer.resize(std::min(available, kMaxReadBuffer));
    DWORD read = 0;
    if (!ReadFile(outputRead, FBuffer.data(), static_cast<DWORD>(FBuffer.size()), &read, nullptr)) {
        if (Terminated()) return true;
        if (GetLastError() == ERROR_BROKEN_PIPE) return false;
        FFailureCode = GetLastError();
        RaiseRunError(FFailureCode, L"Reading the console program's output");
    }
    more = available > read;
    FSplitter.Split(FBuffer.data(), read, *this);
    return true;
}

void TDosThread::WriteInput(HANDLE inputWrite) {
    while (!Terminated()) {
        const std::optional<std::wstring> line = FLink->FirstInputLine();
        if (!line) return;
        const std::string bytes = WideToAnsi(*line);
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD written = 0;
            const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            FWritingInput.store(true);
            if (Terminated()) {  // see CancelInputWrite
                FWritingInput.store(false);
                return;
            }
            const BOOL ok = WriteFile(inputWrite, bytes.data() + done, part, &written, nullptr);
            const DWORD error = ok ? 0 : GetLastError();
            FWritingInput.store(false);
            if (!ok) {
                if (Terminated()) return;  // cancelled by a stop request
                // The child no longer reads its input (it has ended or
                // closed it): the line stays unwritten, and the run goes on
                // to notice the child's end.
                if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE) return;
                FFailureCode = error;
                RaiseRunError(error, L"Writing the console program's input");
            }
            done += written;
        }
        if (FLink->InputToOutput()) {
            std::string text = FPrevPartial ? FSplitter.Partial() + bytes : bytes;
            if (EndsWithLineBreak(bytes)) {
                FSplitter.SetPartial(std::string());
                AddNewLine(text, otWholeLine);
            } else {
                FSplitter.SetPartial(text);
                AddNewLine(text, otPartialLine);
            }
        }
        FLink->RemoveFirstInputLine();
    }
}

bool TDosThread::TimedOut() const {
    const TProcessTimer* timer = FSettings.Timer;
    if (!timer) return false;
    if (FSettings.MaxTimeAfterBeginning > 0 && timer->TimeAfterBeginning.load() > FSettings.MaxTimeAfterBeginning)
        return true;
    return FSettings.MaxTimeAfterLastOutput > 0 && timer->TimeAfterLastOutput.load() > FSettings.MaxTimeAfterLastOutput;
}

void TDosThread::AddNewLine(const std::string& line, TOutputType type) {
    try {
        std::wstring text = AnsiToWide(line);
        // A run that no longer owns the component delivers nothing.
        if (!FLink->AddLine(text)) return;
        FLine = std::move(text);
        FOutputType = type;
        Synchronize([this] { DoNewLine(); });
    } catch (...) {
        // That delivery is lost; the run goes on.
    }
}

void TDosThread::DoNewLine() {
    if (!FLink->Live()) return;  // GUI thread, like Execute and the destructor that end it
    if (TStrings* output = FLink->OutputLines()) {
        TUpdateScope update(*output);
        if (output->Count() == 0) {
            if (FOutputType == otWholeLine)
                output->Add(FLine);
            else
                output->SetText(FLine);
        } else if (FPrevPartial) {
            output->SetStrings(output->Count() - 1, FLine);
        } else {
            output->Add(FLine);
        }
    }
    FPrevPartial = FOutputType == otPartialLine;
    if (FSettings.OnNewLine) FSettings.OnNewLine(FLink->Sender(), FLine, FOutputType);
}
