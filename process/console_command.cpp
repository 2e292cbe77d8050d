#include "process/console_command.h"

#include "classlib/runtime/application.h"
#include "classlib/runtime/thread.h"
#include "process/dos_run_link.h"
#include "process/dos_thread.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// A string list whose every item operation holds the component's lock, so
// the owner can add input lines while the worker takes them.
class TLockedStringList : public TStringList {
public:
    explicit TLockedStringList(std::recursive_mutex& lock) : FLock(lock) {}

    int Count() const override {
        TGuard g(FLock);
        return TStringList::Count();
    }
    int Add(const std::wstring& s) override {
        TGuard g(FLock);
        return TStringList::Add(s);
    }
    int AddObject(const std::wstring& s, TObject* o) override {
        TGuard g(FLock);
        return TStringList::AddObject(s, o);
    }
    void Insert(int index, const std::wstring& s) override {
        TGuard g(FLock);
        TStringList::Insert(index, s);
    }
    void Delete(int index) override {
        TGuard g(FLock);
        TStringList::Delete(index);
    }
    void Clear() override {
        TGuard g(FLock);
        TStringList::Clear();
    }
    int IndexOf(std::wstring_view s) const override {
        TGuard g(FLock);
        return TStringList::IndexOf(s);
    }

protected:
    std::wstring Get(int index) const override {
        TGuard g(FLock);
        return TStringList::Get(index);
    }
    void Put(int index, const std::wstring& s) override {
        TGuard g(FLock);
        TStringList::Put(index, s);
    }
    TObject* GetObject(int index) const override {
        TGuard g(FLock);
        return TStringList::GetObject(index);
    }
    void PutObject(int index, TObject* o) override {
        TGuard g(FLock);
        TStringList::PutObject(index, o);
    }

private:
    std::recursive_mutex& FLock;
};

struct TRegisterDosCommand {
    TRegisterDosCommand() { RegisterComponentClass<TDosCommand>(L"TDosCommand"); }
} registerDosCommand;

}  // namespace

WORD ShowWindowValue(TShowWindow value) noexcept {
    static constexpr WORD values[] = {
        SW_HIDE,          SW_MAXIMIZE,      SW_MINIMIZE,        SW_RESTORE, SW_SHOW,           SW_SHOWDEFAULT,
        SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE, SW_SHOWNA,  SW_SHOWNOACTIVATE, SW_SHOWNORMAL};
    const auto i = static_cast<unsigned>(value);
    return i < std::size(values) ? values[i] : SW_HIDE;
}

DWORD CreationFlagValue(TCreationFlag value) noexcept {
    static constexpr DWORD values[] = {
        CREATE_DEFAULT_ERROR_MODE, CREATE_NEW_CONSOLE, CREATE_NEW_PROCESS_GROUP,   CREATE_SEPARATE_WOW_VDM,
        CREATE_SHARED_WOW_VDM,     CREATE_SUSPENDED,   CREATE_UNICODE_ENVIRONMENT, DEBUG_PROCESS,
        DEBUG_ONLY_THIS_PROCESS,   DETACHED_PROCESS};
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
        ServeWorkers();
    }
}

void TDosCommand::ServeWorkers() {
    if (CheckSynchronize()) return;
    HANDLE sync = static_cast<HANDLE>(SyncEvent());
    MsgWaitForMultipleObjects(sync ? 1 : 0, &sync, FALSE, 5, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages only
}

void TDosCommand::Execute() {
    if (FCommandLine.empty()) return;
    if (IsRunning()) throw EInvalidOperation(L"The console command is already running.");
    if (!FTimer) FTimer = new TProcessTimer(this);
    std::unique_ptr<TDosRunLink> link;
    for (;;) {
        {
            TGuard g(FLock);
            // A stopped run inside its OnTerminated: let the handler return
            // before this run begins, so that it cannot be taken for this
            // run's end.
            if (FEventsUnderWay == 0) {
                FLines->Clear();
                link.reset(new TDosRunLink(
                    *this, ++FRun,
                    TDosRunSettings{FCommandLine, OnNewLine, OnTerminated, FTimer, FMaxTimeAfterBeginning,
                                    FMaxTimeAfterLastOutput, FPriorityClass, FShowWindow, FCreationFlag}));
                break;
            }
        }
        ServeWorkers();
    }
    new TDosThread(std::move(link));  // becomes the current worker; frees itself when it ends
}

DWORD TDosCommand::ExecuteAndWait() {
    Execute();
    while (IsRunning()) {
        Application->ProcessMessages();
        if (!IsRunning()) break;
        // Until a message or a line delivery arrives; the end of the run is
        // seen within the short bound.
        HANDLE sync = static_cast<HANDLE>(SyncEvent());
        MsgWaitForMultipleObjectsEx(sync ? 1 : 0, &sync, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
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
            .Enumeration(
                L"ShowWindow",
                {L"swHIDE", L"swMAXIMIZE", L"swMINIMIZE", L"swRESTORE", L"swSHOW", L"swSHOWDEFAULT", L"swSHOWMAXIMIZED",
                 L"swSHOWMINIMIZED", L"swSHOWMINNOACTIVE", L"swSHOWNA", L"swSHOWNOACTIVATE", L"swSHOWNORMAL"},
                &TDosCommand::ShowWindow, &TDosCommand::SetShowWindow)
            .Enumeration(
                L"CreationFlag",
                {L"fCREATE_DEFAULT_ERROR_MODE", L"fCREATE_NEW_CONSOLE", L"fCREATE_NEW_PROCESS_GROUP",
                 L"fCREATE_SEPARATE_WOW_VDM", L"fCREATE_SHARED_WOW_VDM", L"fCREATE_SUSPENDED",
                 L"fCREATE_UNICODE_ENVIRONMENT", L"fDEBUG_PROCESS", L"fDEBUG_ONLY_THIS_PROCESS", L"fDETACHED_PROCESS"},
                &TDosCommand::CreationFlag, &TDosCommand::SetCreationFlag)
            .Enumeration(L"ReturnCode", {L"rcCRLF", L"rcLF"}, &TDosCommand::ReturnCode, &TDosCommand::SetReturnCode)
            .Build();
    return table;
}
