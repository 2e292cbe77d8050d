// The application object: one per program, reached through `Application`.
//
//   Application->Initialize();            // COM (single-threaded apartment) on the GUI thread
//   Application->SetTitle(L"Tavrel3");
//   Application->CreateForm<TFormMain>(FormMain);  // the first form becomes the main form
//   Application->Run();                   // the message loop, until Terminate()
//
// ProcessMessages handles every pending message (and the queued synchronous
// calls of worker threads) and returns; long waits call it in a loop.
//
// Every message box of the program goes through ShowMessageBox, which calls
// the installed message-box handler: by default the platform's MessageBoxW
// (owned by the active window of the GUI thread); tests install their own so
// that no modal box blocks a run and the texts shown can be checked.
// HandleException is the default error display: OnException when assigned,
// else ShowException, a box with the exception's message, the application's
// title as caption and the error icon. EAbort is never shown.
//
// Windows that want to be forms of the application implement
// TApplicationWindow (the window library's form does); the application owns
// the forms it creates and frees them, last created first, when it is
// destroyed or when DestroyForms() is called.
#pragma once

#include "classlib/runtime/component.h"
#include "classlib/runtime/exceptions.h"
#include "classlib/runtime/utility_window.h"
#include "shared/owner.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What the application needs of a window that can be its main form.
class TApplicationWindow {
public:
    virtual ~TApplicationWindow() = default;
    // Run() shows the main form through this before the loop starts.
    virtual void ShowMainForm() = 0;
    virtual HWND WindowHandle() const = 0;
};

// Shows a box and returns the button pressed (IDOK ...).
using TMessageBoxHandler =
    std::function<int(HWND Owner, const std::wstring& Text, const std::wstring& Caption, UINT Flags)>;
// Application-wide message hook: set Handled to keep the message from
// being translated and dispatched.
using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;
using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // COM on the calling thread (single-threaded apartment), which becomes
    // the GUI thread. Calling it again does nothing.
    void Initialize();
    bool Initialized() const noexcept { return FInitialized; }

    std::wstring Title() const;
    void SetTitle(const std::wstring& value);
    std::wstring ExeName() const;

    // Creates a form owned by the application; the first one that is a
    // TApplicationWindow becomes MainForm. Returns it and stores it in ref.
    template <class T>
    T* CreateForm(T*& ref) {
        T* form = new T(this);
        ref = form;
        FormCreated(form);
        return form;
    }
    TComponent* MainForm() const noexcept { return FMainForm; }
    void SetMainForm(TComponent* form);
    // Frees the forms (every owned component), last created first.
    void DestroyForms() { DestroyComponents(); }

    // Shows the main form (if any) and handles messages until Terminate()
    // or WM_QUIT.
    void Run();
    // Handles all pending messages and queued synchronous calls, then returns.
    void ProcessMessages();
    // Handles one message, or waits for the next one (or a synchronous call).
    void HandleMessage();
    // Ends Run: sets Terminated and posts WM_QUIT to the GUI thread. May be
    // called from any thread.
    void Terminate();
    bool Terminated() const noexcept { return FTerminated; }

    // The default error display; call it in a catch block (or give it the
    // exception). Never throws.
    void HandleException(TObject* Sender);
    void HandleException(TObject* Sender, std::exception_ptr e);
    // A box with the message, the title as caption and MB_ICONERROR; may be
    // called from any thread.
    void ShowException(const Exception& E);
    void ShowException(std::exception_ptr e);

    // The seam for every message box. Caption empty: the title is used.
    int ShowMessageBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags);
    // Installs a handler (nullptr: the platform's) and returns the previous one.
    TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

    // Application-wide hooks; libraries add filters (a filter returning true
    // consumes the message), the program may set OnMessage.
    TMessageEvent OnMessage;
    TExceptionEvent OnException;
    int AddMessageFilter(std::function<bool(MSG&)> filter);
    void RemoveMessageFilter(int id);

    // The application's own hidden window (on the GUI thread).
    HWND Handle();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void FormCreated(TComponent* form);
    bool ProcessMessage(MSG& msg);
    void WakeMainThread();
    void WndProc(TMessage& Message);
    static std::wstring MessageOf(std::exception_ptr e, bool& silent);

    bool FInitialized = false;
    // The GUI thread's apartment, from Initialize on.
    std::optional<TComApartment> FComApartment;
    std::atomic<bool> FTerminated{false};
    TComponent* FMainForm = nullptr;
    mutable std::mutex FLock;  // title and handler
    std::wstring FTitle;
    TMessageBoxHandler FMessageBoxHandler;
    std::vector<std::pair<int, std::function<bool(MSG&)>>> FMessageFilters;
    int FNextFilterId = 1;
    std::atomic<HWND> FHandle{nullptr};
};

// The program's application object.
extern TApplication* const Application;

// A plain box with the text, the application's title and an OK button.
void ShowMessage(const std::wstring& Text);
