// The application object: message loop, synchronous-call wake-up, error
// display and the message-box seam.
#include "classlib/runtime/application.h"

#include "classlib/runtime/files.h"
#include "classlib/runtime/text.h"
#include "classlib/runtime/thread.h"

#include <objbase.h>

namespace {
// Private message of the application's window: run the queued synchronous calls.
constexpr UINT SynchronizeMessage = WM_USER + 1;

TApplication gApplication;
}  // namespace

TApplication* const Application = &gApplication;

TApplication::TApplication() : TComponent(nullptr) {
    FTitle = ChangeFileExt(ExtractFileName(ProgramFileName()), L"");
    SetWakeMainThread([this] { WakeMainThread(); });
}

TApplication::~TApplication() {
    SetWakeMainThread(nullptr);
    DestroyComponents();
    if (HWND h = FHandle.exchange(nullptr)) DeallocateHWnd(h);
    FComApartment.reset();
}

void TApplication::Initialize() {
    if (FInitialized) return;
    SetMainThreadID(GetCurrentThreadId());
    FComApartment.emplace(COINIT_APARTMENTTHREADED);
    Handle();
    FInitialized = true;
}

std::wstring TApplication::Title() const {
    std::lock_guard lock(FLock);
    return FTitle;
}

void TApplication::SetTitle(const std::wstring& value) {
    std::lock_guard lock(FLock);
    FTitle = value;
}

std::wstring TApplication::ExeName() const { return ProgramFileName(); }

void TApplication::FormCreated(TComponent* form) {
    if (!FMainForm && dynamic_cast<TApplicationWindow*>(form)) FMainForm = form;
}

void TApplication::SetMainForm(TComponent* form) { FMainForm = form; }

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

HWND TApplication::Handle() {
    HWND h = FHandle.load();
    if (!h && IsMainThread()) {
        h = AllocateHWnd([this](TMessage& m) { WndProc(m); });
        FHandle.store(h);
    }
    return h;
}

void TApplication::WndProc(TMessage& Message) {
    if (Message.Msg == SynchronizeMessage) {
        CheckSynchronize();
        return;
    }
    DefaultHandler(Message);
}

void TApplication::WakeMainThread() {
    // Posting to our window also wakes modal loops (message boxes, dialogs),
    // which dispatch it to WndProc.
    if (HWND h = FHandle.load()) {
        if (PostMessageW(h, SynchronizeMessage, 0, 0)) return;
    }
    PostThreadMessageW(MainThreadID(), WM_NULL, 0, 0);
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return false;
    }
    bool handled = false;
    if (!FMessageFilters.empty()) {
        // A copy: a filter may add or remove filters.
        const auto filters = FMessageFilters;
        for (const auto& f : filters) {
            if (f.second(msg)) {
                handled = true;
                break;
            }
        }
    }
    if (!handled && OnMessage) OnMessage(msg, handled);
    if (!handled) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void TApplication::ProcessMessages() {
    Handle();
    MSG msg;
    while (ProcessMessage(msg)) {}
    CheckSynchronize();
}

void TApplication::HandleMessage() {
    Handle();
    MSG msg;
    if (ProcessMessage(msg) || FTerminated) return;
    if (CheckSynchronize()) return;
    HANDLE sync = static_cast<HANDLE>(SyncEvent());
    MsgWaitForMultipleObjectsEx(1, &sync, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    CheckSynchronize();
}

void TApplication::Run() {
    Handle();
    if (auto* form = dynamic_cast<TApplicationWindow*>(FMainForm)) {
        try {
            form->ShowMainForm();
        } catch (...) {
            HandleException(this);
        }
    }
    while (!FTerminated) {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    }
    // The loop has ended on Terminate, whose quit message may still wait in
    // the queue. Left there it would end the first modal loop of what comes
    // after the loop (a message box while the windows are destroyed, such as
    // the report of settings that could not be saved) before the user could
    // see it: a modal loop that retrieves WM_QUIT ends and posts it again.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

void TApplication::Terminate() {
    FTerminated = true;
    if (IsMainThread())
        PostQuitMessage(0);
    else
        PostThreadMessageW(MainThreadID(), WM_QUIT, 0, 0);
}

std::wstring TApplication::MessageOf(std::exception_ptr e, bool& silent) {
    silent = false;
    try {
        std::rethrow_exception(e);
    } catch (const EAbort&) {
        silent = true;
        return {};
    } catch (const Exception& ex) {
        return ex.Message();
    } catch (const std::exception& ex) {
        return Utf8ToWide(ex.what());
    } catch (...) {
        return L"Unknown exception";
    }
}

void TApplication::HandleException(TObject* Sender) { HandleException(Sender, std::current_exception()); }

void TApplication::HandleException(TObject* Sender, std::exception_ptr e) {
    if (!e) return;
    try {
        try {
            std::rethrow_exception(e);
        } catch (const EAbort&) {
            return;
        } catch (const Exception& ex) {
            if (OnException)
                OnException(Sender, ex);
            else
                ShowException(ex);
        } catch (...) {
            bool silent;
            const Exception wrapped(MessageOf(e, silent));
            if (OnException)
                OnException(Sender, wrapped);
            else
                ShowException(wrapped);
        }
    } catch (...) {
        // The error display itself failed; there is nobody left to tell.
    }
}

void TApplication::ShowException(const Exception& E) { ShowMessageBox(E.Message(), Title(), MB_OK | MB_ICONERROR); }

void TApplication::ShowException(std::exception_ptr e) {
    bool silent;
    const std::wstring text = MessageOf(e, silent);
    if (!silent) ShowMessageBox(text, Title(), MB_OK | MB_ICONERROR);
}

int TApplication::ShowMessageBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags) {
    TMessageBoxHandler handler;
    std::wstring caption = Caption;
    {
        std::lock_guard lock(FLock);
        handler = FMessageBoxHandler;
        if (caption.empty()) caption = FTitle;
    }
    const HWND owner = IsMainThread() ? GetActiveWindow() : nullptr;
    if (handler) return handler(owner, Text, caption, Flags);
    return MessageBoxW(owner, Text.c_str(), caption.c_str(), Flags);
}

TMessageBoxHandler TApplication::SetMessageBoxHandler(TMessageBoxHandler handler) {
    std::lock_guard lock(FLock);
    std::swap(FMessageBoxHandler, handler);
    return handler;
}

int TApplication::AddMessageFilter(std::function<bool(MSG&)> filter) {
    const int id = FNextFilterId++;
    FMessageFilters.emplace_back(id, std::move(filter));
    return id;
}

void TApplication::RemoveMessageFilter(int id) {
    for (auto it = FMessageFilters.begin(); it != FMessageFilters.end(); ++it) {
        if (it->first == id) {
            FMessageFilters.erase(it);
            return;
        }
    }
}

void ShowMessage(const std::wstring& Text) { Application->ShowMessageBox(Text, Application->Title(), MB_OK); }
