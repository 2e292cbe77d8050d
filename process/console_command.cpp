#include "process/console_command.h"

#include "classlib/runtime/application.h"
#include "classlib/runtime/text.h"
#include "classlib/runtime/thread.h"
#include "process/win_handle.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// Runs an action when the scope is left, however it is left.
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F action) : FAction(std::move(action)) {}
    ~TScopeExit() { FAction(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FAction;
};

// A string list whose every item operation holds the component's lock, so
// the owner can add input lines while the worker takes them.
class TLockedStringList : public TStringList {
public:
    explicit TLockedStringList(std::recursive_mutex& lock) : FLock(lock) {}

    int Count() const override { TGuard g(FLock); return TStringList::Count(); }
    int Add(const std::wstring& s) override { TGuard g(FLock); return TStringList::Add(s); }
    int AddObject(const std::wstring& s, TObject* o) override { TGuard g(FLock); return TStringList::AddObject(s, o); }
    void Insert(int index, const std::wstring& s) override { TGuard g(FLock); TStringList::Insert(index, s); }
    void Delete(int index) override { TGuard g(FLock); TStringList::Delete(index); }
    void Clear() override { TGuard g(FLock); TStringList::Clear(); }
    int IndexOf(std::wstring_view s) const override { TGuard g(FLock); return TStringList::IndexOf(s); }

protected:
    std::wstring Get(int index) const override { TGuard g(FLock); return TStringList::Get(index); }
    void Put(int index, const std::wstring& s) override { TGuard g(FLock); TStringList::Put(index, s); }
    TObject* GetObject(int index) const override { TGuard g(FLock); return TStringList::GetObject(index); }
    void PutObject(int index, TObject* o) override { TGuard g(FLock); TStringList::PutObject(index, o); }

private:
    std::recursive_mutex& FLock;
};

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

struct TRegisterDosCommand {
    TRegisterDosCommand() { RegisterComponentClass<TDosCommand>(L"TDosCommand"); }
} registerDosCommand;

}  // namespace

WORD ShowWindowValue(TShowWindow value) noexcept {
    static constexpr WORD values[] = {SW_HIDE,          SW_MAXIMIZE,         SW_MINIMIZE,     SW_RESTORE,
                                      SW_SHOW,          SW_SHOWDEFAULT,      SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED,
                                      SW_SHOWMINNOACTIVE, SW_SHOWNA,         SW_SHOWNOACTIVATE, SW_SHOWNORMAL};
    const auto i = static_cast<unsigned>(value);
    return i < std::size(values) ? values[i] : SW_HIDE;
}

DWORD CreationFlagValue(TCreationFlag value) noexcept {
    static constexpr DWORD values[] = {CREATE_DEFAULT_ERROR_MODE,   CREATE_NEW_CONSOLE, CREATE_NEW_PROCESS_GROUP,
                                       CREATE_SEPARATE_WOW_VDM,     CREATE_SHARED_WOW_VDM, CREATE_SUSPENDED,
                                       CREATE_UNICODE_ENVIRONMENT,  DEBUG_PROCESS,      DEBUG_ONLY_THIS_PROCESS,
                                       DETACHED_PROCESS};
    const auto i = static_cast<unsigned>(value);
    return i < std::size(values) ? values[i] : CREATE_NEW_CONSOLE;
}

// ---------------------------------------------------------------------------
// TProcessTimer

TProcessTimer::TProcessTimer(TComponent* AOwner) : TTimer(AOwner) {
    SetEnabled(false);
    OnTimer = [this](TObject* Sender) { Tick(Sender); };
}

void TProcessTimer::Tick(TObject*) {
    TimeAfterBeginning.fetch_add(1);
    TimeAfterLastOutput.fetch_add(1);
}

void TProcessTimer::Start() {
    SetInterval(1000);
    TimeAfterBeginning.store(0);
    TimeAfterLastOutput.store(0);
    SetEnabled(true);
}

void TProcessTimer::Halt() { SetEnabled(false); }

// ---------------------------------------------------------------------------
// TDosCommand

TDosCommand::TDosCommand(TComponent* AOwner)
    : TComponent(AOwner),
      FLines(std::make_unique<TStringList>()),
      FInputLines(std::make_unique<TLockedStringList>(FLock)) {}

TDosCommand::~TDosCommand() {
    {
        TGuard g(FLock);
        FDestroying = true;
    }
    Stop();
    // Wait until no worker uses the component any more. A worker may be
    // waiting for the GUI thread to run a line delivery (which now does
    // nothing), or blocked writing input that its child never reads.
    for (;;) {
        {
            TGuard g(FLock);
            if (FWorkers.empty()) break;
            for (TDosThread* w : FWorkers) {
                w->Terminate();
                w->CancelInputWrite();
            }
        }
        if (!CheckSynchronize()) {
            HANDLE sync = static_cast<HANDLE>(SyncEvent());
            if (sync) WaitForSingleObject(sync, 5);
            else Sleep(5);
        }
    }
}

void TDosCommand::Attach(TDosThread* worker) {
    TGuard g(FLock);
    FWorkers.push_back(worker);
    FCurrent = worker;
}

void TDosCommand::Detach(TDosThread* worker) {
    TGuard g(FLock);
    FWorkers.erase(std::remove(FWorkers.begin(), FWorkers.end(), worker), FWorkers.end());
    if (FCurrent == worker) FCurrent = nullptr;
    if (FTimerStarter == worker) FTimerStarter = nullptr;
}

void TDosCommand::Execute() {
    if (FCommandLine.empty()) return;
    if (IsRunning()) throw EInvalidOperation(L"The console command is already running.");
    if (!FTimer) FTimer = new TProcessTimer(this);
    {
        TGuard g(FLock);
        FLines->Clear();
    }
    new TDosThread(this);  // becomes the current worker; frees itself when it ends
}

DWORD TDosCommand::ExecuteAndWait() {
    Execute();
    while (IsRunning()) Application->ProcessMessages();
    return ExitCode();
}

void TDosCommand::Stop() {
    TGuard g(FLock);
    if (!FCurrent) return;
    FCurrent->SetFreeOnTerminate(true);
    FCurrent->Terminate();
    // A write to a child that does not read its input would keep the worker
    // from seeing the request.
    FCurrent->CancelInputWrite();
    FCurrent = nullptr;
}

bool TDosCommand::IsRunning() const {
    TGuard g(FLock);
    return FCurrent && FCurrent->Executing() && !FCurrent->Terminated();
}

const TPropertyTable& TDosCommand::ClassProperties() {
    static const TPropertyTable table =
        TPropertyTableBuilder<TDosCommand>(L"TDosCommand", &TComponent::ClassProperties())
            .String(L"CommandLine", &TDosCommand::CommandLine, &TDosCommand::SetCommandLine)
            .Event(L"OnNewLine", &TDosCommand::OnNewLine)
            .Event(L"OnTerminated", &TDosCommand::OnTerminated)
            .Boolean(L"InputToOutput", &TDosCommand::InputToOutput, &TDosCommand::SetInputToOutput)
            .Integer(L"MaxTimeAfterBeginning", &TDosCommand::MaxTimeAfterBeginning,
                     &TDosCommand::SetMaxTimeAfterBeginning)
            .Integer(L"MaxTimeAfterLastOutput", &TDosCommand::MaxTimeAfterLastOutput,
                     &TDosCommand::SetMaxTimeAfterLastOutput)
            .Enumeration(L"ShowWindow",
                         {L"swHIDE", L"swMAXIMIZE", L"swMINIMIZE", L"swRESTORE", L"swSHOW", L"swSHOWDEFAULT",
                          L"swSHOWMAXIMIZED", L"swSHOWMINIMIZED", L"swSHOWMINNOACTIVE", L"swSHOWNA",
                          L"swSHOWNOACTIVATE", L"swSHOWNORMAL"},
                         &TDosCommand::ShowWindow, &TDosCommand::SetShowWindow)
            .Enumeration(L"CreationFlag",
                         {L"fCREATE_DEFAULT_ERROR_MODE", L"fCREATE_NEW_CONSOLE", L"fCREATE_NEW_PROCESS_GROUP",
                          L"fCREATE_SEPARATE_WOW_VDM", L"fCREATE_SHARED_WOW_VDM", L"fCREATE_SUSPENDED",
                          L"fCREATE_UNICODE_ENVIRONMENT", L"fDEBUG_PROCESS", L"fDEBUG_ONLY_THIS_PROCESS",
                          L"fDETACHED_PROCESS"},
                         &TDosCommand::CreationFlag, &TDosCommand::SetCreationFlag)
            .Enumeration(L"ReturnCode", {L"rcCRLF", L"rcLF"}, &TDosCommand::ReturnCode, &TDosCommand::SetReturnCode)
            .Build();
    return table;
}

// ---------------------------------------------------------------------------
// TDosThread

TDosThread::TDosThread(TDosCommand* AOwner)
    : FOwner(AOwner),
      FCommandLine(AOwner->FCommandLine),
      FOnNewLine(AOwner->OnNewLine),
      FOnTerminated(AOwner->OnTerminated),
      FTimer(AOwner->FTimer),
      FMaxTimeAfterBeginning(AOwner->FMaxTimeAfterBeginning),
      FMaxTimeAfterLastOutput(AOwner->FMaxTimeAfterLastOutput),
      FPriorityClass(AOwner->FPriorityClass),
      FShowWindow(AOwner->FShowWindow),
      FCreationFlag(AOwner->FCreationFlag) {
    FOwner->FInputLines->Clear();
    // Every worker frees itself when its thread ends: the component only
    // refers to it until then (Detach).
    SetFreeOnTerminate(true);
    FOwner->Attach(this);
    try {
        Start();
    } catch (...) {
        DetachOnce();
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

void TDosThread::DetachOnce() {
    if (FDetached) return;
    FDetached = true;
    FOwner->Detach(this);
}

void TDosThread::DoTerminate() {
    DetachOnce();
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
    DetachOnce();
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
        bool deliver = false;
        {
            TGuard g(FOwner->FLock);
            deliver = !FOwner->FDestroying;
        }
        if (deliver && FOnTerminated) FOnTerminated(FOwner, FLastExitCode);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    const TDosCommandStatus status = FOwner->FStatus.load();
    switch (status) {
    case dcsNotStarted:
    case dcsPreparing:
    case dcsPipesReady:
    case dcsRunning:
        FOwner->FStatus.store(static_cast<TDosCommandStatus>(status + 1));
        FOwner->FExitCode.store(FFailureCode != 0 ? FFailureCode : GetLastError());
        break;
    default:
        break;
    }
    SetFreeOnTerminate(true);
    FExecuting.store(false);
    Terminate();
    if (failure) std::rethrow_exception(failure);
}

void TDosThread::RunStages() {
    FOwner->FStatus.store(dcsNotStarted);
    // The pipes get the process's default security; only inheritance is
    // asked for, so the child can use its ends.
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;
    FBuffer.assign(1024, 0);

    FOwner->FStatus.store(dcsPreparing);
    TWinHandle inputRead, inputWrite, outputRead, outputWrite;
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
    TScopeExit pipeStage([&]() noexcept {
        inputRead.Reset();
        outputWrite.Reset();
        outputRead.Reset();
        inputWrite.Reset();
    });

    FOwner->FStatus.store(dcsPipesReady);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowWindowValue(FShowWindow);
    startup.hStdInput = inputRead.Get();
    startup.hStdOutput = outputWrite.Get();
    startup.hStdError = outputWrite.Get();

    PROCESS_INFORMATION info{};
    // The system may write into the command line it is given, so it gets a copy.
    std::vector<wchar_t> commandLine(FCommandLine.begin(), FCommandLine.end());
    commandLine.push_back(L'\0');
    BOOL created = FALSE;
    if (FCommandLine.find(L'\0') != std::wstring::npos) {
        // The system would silently run only the part before the NUL.
        SetLastError(ERROR_INVALID_PARAMETER);
    } else {
        created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                 CreationFlagValue(FCreationFlag) | FPriorityClass, nullptr, nullptr, &startup, &info);
    }
    if (!created) {
        FFailureCode = GetLastError();
        throw TCreateProcessError(FCommandLine + L" doesn't exist.");
    }

    TWinHandle process(info.hProcess);
    TWinHandle thread(info.hThread);
    TScopeExit processStage([&]() noexcept {
        if (!FChildEnded) TerminateProcess(process.Get(), 0);
        HaltTimer();
        thread.Reset();
        process.Reset();
    });
    StartTimer();
    FLastExitCode = STILL_ACTIVE;

    FOwner->FStatus.store(dcsRunning);
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
            FOwner->FExitCode.store(FLastExitCode);
            FOwner->FStatus.store(dcsFinished);
            break;
        }
        if (Terminated()) {
            FOwner->FStatus.store(dcsStopped);
            break;
        }
        if (TimedOut()) {
            FOwner->FStatus.store(dcsTimedOut);
            break;
        }
    }
    if (!FSplitter.Partial().empty()) AddNewLine(FSplitter.Partial(), otPartialLine);
}

bool TDosThread::ReadOutput(HANDLE outputRead, bool& more) {
    DWORD available = 0;
    if (!PeekNamedPipe(outputRead, nullptr, 0, nullptr, &available, nullptr)) {
        if (Terminated()) return false;  // cut short by a stop request
        FFailureCode = GetLastError();
        RaiseRunError(FFailureCode, L"Reading the console program's output");
    }
    if (available == 0) return false;
    if (available > FBuffer.size()) FBuffer.resize(std::min(available, kMaxReadBuffer));
    DWORD read = 0;
    if (!ReadFile(outputRead, FBuffer.data(), static_cast<DWORD>(FBuffer.size()), &read, nullptr)) {
        if (Terminated()) return true;
        FFailureCode = GetLastError();
        RaiseRunError(FFailureCode, L"Reading the console program's output");
    }
    more = available > read;
    FSplitter.Split(FBuffer.data(), read, *this);
    return true;
}

void TDosThread::WriteInput(HANDLE inputWrite) {
    TStringList& input = *FOwner->FInputLines;
    while (!Terminated()) {
        std::wstring line;
        {
            TGuard g(FOwner->FLock);
            if (input.Count() == 0) return;
            line = input.Strings(0);
        }
        const std::string bytes = WideToAnsi(line);
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
                FFailureCode = error;
                RaiseRunError(error, L"Writing the console program's input");
            }
            done += written;
        }
        if (FOwner->InputToOutput()) {
            std::string text = FPrevPartial ? FSplitter.Partial() + bytes : bytes;
            if (EndsWithLineBreak(bytes)) {
                FSplitter.SetPartial(std::string());
                AddNewLine(text, otWholeLine);
            } else {
                FSplitter.SetPartial(text);
                AddNewLine(text, otPartialLine);
            }
        }
        {
            TGuard g(FOwner->FLock);
            if (input.Count() > 0) input.Delete(0);
        }
    }
}

bool TDosThread::TimedOut() const {
    if (!FTimer) return false;
    if (FMaxTimeAfterBeginning > 0 && FTimer->TimeAfterBeginning.load() > FMaxTimeAfterBeginning) return true;
    return FMaxTimeAfterLastOutput > 0 && FTimer->TimeAfterLastOutput.load() > FMaxTimeAfterLastOutput;
}

void TDosThread::StartTimer() {
    if (!FTimer) return;
    TGuard g(FOwner->FLock);
    FOwner->FTimerStarter = this;
    FTimer->Start();
}

void TDosThread::HaltTimer() noexcept {
    if (!FTimer) return;
    try {
        TGuard g(FOwner->FLock);
        // A stopped run that ends late must not halt the timer of the run
        // that started after it.
        if (FOwner->FTimerStarter != this) return;
        FOwner->FTimerStarter = nullptr;
        FTimer->Halt();
    } catch (...) {
        // Halting is best effort during clean-up.
    }
}

void TDosThread::LineEnded(TReturnCode code) { FOwner->FOutputReturnCode.store(code); }

void TDosThread::Deliver(const std::string& line, TOutputType type) { AddNewLine(line, type); }

void TDosThread::AddNewLine(const std::string& line, TOutputType type) {
    try {
        std::wstring text = AnsiToWide(line);
        {
            TGuard g(FOwner->FLock);
            FOwner->FLines->Add(text);
        }
        if (FTimer) FTimer->ResetLastOutput();
        FLine = std::move(text);
        FOutputType = type;
        Synchronize([this] { DoNewLine(); });
    } catch (...) {
        // That delivery is lost; the run goes on.
    }
}

void TDosThread::DoNewLine() {
    if (FOwner->FDestroying) return;  // GUI thread, like the destructor that sets it
    if (TStrings* output = FOwner->FOutputLines) {
        TUpdateScope update(*output);
        if (output->Count() == 0) {
            if (FOutputType == otWholeLine) output->Add(FLine);
            else output->SetText(FLine);
        } else if (FPrevPartial) {
            output->SetStrings(output->Count() - 1, FLine);
        } else {
            output->Add(FLine);
        }
    }
    FPrevPartial = FOutputType == otPartialLine;
    if (FOnNewLine) FOnNewLine(FOwner, FLine, FOutputType);
}
