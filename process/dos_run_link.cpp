#include "process/dos_run_link.h"

#include "process/dos_thread.h"
#include "shared/owner.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <utility>

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// The value a run breaks off with, for each working stage.
struct TStageFailure {
    TDosCommandStatus Stage;
    TDosCommandStatus Failure;
};
constexpr TStageFailure kStageFailures[] = {
    {dcsNotStarted, dcsStartFailed},
    {dcsPreparing, dcsPrepareFailed},
    {dcsPipesReady, dcsProcessFailed},
    {dcsRunning, dcsRunFailed},
};

}  // namespace

TDosRunLink::TDosRunLink(TDosCommand& owner, uint64_t run, TDosRunSettings settings)
    : FOwner(&owner), FRun(run), FSettings(std::move(settings)) {}

TObject* TDosRunLink::Sender() const noexcept { return FOwner; }

void TDosRunLink::Attach(TDosThread* worker) {
    TGuard g(FOwner->FLock);
    FWorker = worker;
    FOwner->FWorkers.push_back(worker);
    FOwner->FCurrent = worker;
    FOwner->FInputLines->Clear();
}

void TDosRunLink::Detach() noexcept {
    if (!FOwner) return;
    TGuard g(FOwner->FLock);
    auto& workers = FOwner->FWorkers;
    workers.erase(std::remove(workers.begin(), workers.end(), FWorker), workers.end());
    if (FOwner->FCurrent == FWorker) FOwner->FCurrent = nullptr;
    FOwner = nullptr;
}

bool TDosRunLink::LiveLocked() const noexcept { return FOwner && !FOwner->FDestroying && FOwner->FRun == FRun; }

bool TDosRunLink::Live() const {
    if (!FOwner) return false;
    TGuard g(FOwner->FLock);
    return LiveLocked();
}

void TDosRunLink::EnterStage(TDosCommandStatus stage) {
    FStage = stage;
    if (!FOwner) return;
    TGuard g(FOwner->FLock);
    if (LiveLocked()) FOwner->FStatus.store(stage);
}

void TDosRunLink::FailStage(DWORD code) {
    const auto* failure = std::find_if(std::begin(kStageFailures), std::end(kStageFailures),
                                       [this](const TStageFailure& f) { return f.Stage == FStage; });
    if (failure == std::end(kStageFailures)) return;
    FStage = failure->Failure;
    if (!FOwner) return;
    TGuard g(FOwner->FLock);
    if (!LiveLocked()) return;
    FOwner->FStatus.store(failure->Failure);
    FOwner->FExitCode.store(code);
}

void TDosRunLink::Finish(TDosCommandStatus status) { EnterStage(status); }

void TDosRunLink::Finish(TDosCommandStatus status, DWORD exitCode) {
    FStage = status;
    if (!FOwner) return;
    TGuard g(FOwner->FLock);
    if (!LiveLocked()) return;
    FOwner->FExitCode.store(exitCode);
    FOwner->FStatus.store(status);
}

void TDosRunLink::LineEnded(TReturnCode code) {
    if (!FOwner) return;
    TGuard g(FOwner->FLock);
    if (LiveLocked()) FOwner->FOutputReturnCode.store(code);
}

bool TDosRunLink::AddLine(const std::wstring& line) {
    if (!FOwner) return false;
    TGuard g(FOwner->FLock);
    if (!LiveLocked()) return false;
    FOwner->FLines->Add(line);
    if (FSettings.Timer) FSettings.Timer->ResetLastOutput();
    return true;
}

TStrings* TDosRunLink::OutputLines() const { return FOwner ? FOwner->FOutputLines : nullptr; }

bool TDosRunLink::InputToOutput() const { return FOwner && FOwner->InputToOutput(); }

std::optional<std::wstring> TDosRunLink::FirstInputLine() const {
    if (!FOwner) return std::nullopt;
    TGuard g(FOwner->FLock);
    TStringList& input = *FOwner->FInputLines;
    if (!LiveLocked() || input.Count() == 0) return std::nullopt;
    return input.Strings(0);
}

void TDosRunLink::RemoveFirstInputLine() {
    if (!FOwner) return;
    TGuard g(FOwner->FLock);
    TStringList& input = *FOwner->FInputLines;
    if (LiveLocked() && input.Count() > 0) input.Delete(0);
}

void TDosRunLink::StartTimer() {
    if (!FOwner || !FSettings.Timer) return;
    TGuard g(FOwner->FLock);
    if (!LiveLocked()) return;
    FOwner->FTimerRun = FRun;
    FSettings.Timer->Start();
}

void TDosRunLink::HaltTimer() noexcept {
    if (!FOwner || !FSettings.Timer) return;
    try {
        TGuard g(FOwner->FLock);
        // A stopped run that ends late must not halt the timer of the run
        // that started after it.
        if (FOwner->FTimerRun != FRun) return;
        FOwner->FTimerRun = 0;
        FSettings.Timer->Halt();
    } catch (...) {
        // Halting is best effort during clean-up.
    }
}

void TDosRunLink::NotifyTerminated(DWORD exitCode) {
    if (!FOwner || !FSettings.OnTerminated) return;
    {
        TGuard g(FOwner->FLock);
        if (!LiveLocked()) return;
        ++FOwner->FEventsUnderWay;
    }
    TDosCommand* owner = FOwner;
    TScopeGuard done([owner] {
        TGuard g(owner->FLock);
        --owner->FEventsUnderWay;
    });
    FSettings.OnTerminated(owner, exitCode);
}
