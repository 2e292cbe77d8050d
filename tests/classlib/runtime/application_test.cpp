// The application object: message-box seam, default error display, forms
// and the message loop, COM initialisation, utility windows.
#include "classlib/runtime/application.h"
#include "classlib/runtime/thread.h"
#include "classlib/runtime/timer.h"
#include "classlib/runtime/utility_window.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <stdexcept>

namespace {

struct TShownBox {
    std::wstring Text, Caption;
    UINT Flags;
    DWORD Thread;
};

// Replaces the platform's message box for the length of a test.
class RuntimeApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->SetTitle(L"Tavrel3");
        Application->SetMessageBoxHandler(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                std::lock_guard lock(FLock);
                Shown.push_back({text, caption, flags, GetCurrentThreadId()});
                return Answer;
            });
    }
    void TearDown() override {
        Application->SetMessageBoxHandler(nullptr);
        Application->OnException = nullptr;
    }
    std::vector<TShownBox> Boxes() {
        std::lock_guard lock(FLock);
        return Shown;
    }

    std::mutex FLock;
    std::vector<TShownBox> Shown;
    int Answer = IDOK;
};

TEST_F(RuntimeApplicationTest, MessageBoxesGoThroughTheSeam) {
    ShowMessage(L"既に起動しています");
    Answer = IDYES;
    EXPECT_EQ(Application->ShowMessageBox(L"終了してよろしいですか？", L"", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(Application->ShowMessageBox(L"text", L"Own caption", MB_OK), IDYES);
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].Text, L"既に起動しています");
    EXPECT_EQ(shown[0].Caption, L"Tavrel3");
    EXPECT_EQ(shown[0].Flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(shown[1].Caption, L"Tavrel3");  // an empty caption is the title
    EXPECT_EQ(shown[1].Flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(shown[2].Caption, L"Own caption");
    // The previous handler is handed back.
    auto previous = Application->SetMessageBoxHandler(nullptr);
    EXPECT_TRUE(previous);
    Application->SetMessageBoxHandler(previous);
}

TEST_F(RuntimeApplicationTest, DefaultErrorDisplayShowsTheMessageWithTheTitle) {
    try {
        throw EConvertError(L"'x' is not a valid integer value");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw std::runtime_error("standard");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        Abort();
    } catch (...) {
        Application->HandleException(nullptr);  // silent
    }
    try {
        throw 42;
    } catch (...) {
        Application->HandleException(nullptr);
    }
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].Text, L"'x' is not a valid integer value");
    EXPECT_EQ(shown[0].Caption, L"Tavrel3");
    EXPECT_EQ(shown[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(shown[1].Text, L"standard");
    EXPECT_EQ(shown[2].Text, L"Unknown exception");
}

TEST_F(RuntimeApplicationTest, OnExceptionReplacesTheDisplayAndMayNotThrow) {
    std::wstring seen;
    Application->OnException = [&](TObject*, const Exception& e) {
        seen = e.Message();
        throw std::runtime_error("handler failed");  // swallowed
    };
    try {
        throw EListError(L"List index out of bounds (3)");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    EXPECT_EQ(seen, L"List index out of bounds (3)");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(RuntimeApplicationTest, ShowExceptionFromAWorkerThread) {
    struct TWorker : TThread {
        void Execute() override {
            try {
                throw Exception(L"lib\\missing.exe -y doesn't exist.");
            } catch (const Exception& e) {
                Application->ShowException(e);
            }
        }
    } worker;
    worker.Start();
    worker.WaitFor();
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, L"lib\\missing.exe -y doesn't exist.");
    EXPECT_EQ(shown[0].Caption, L"Tavrel3");
    EXPECT_EQ(shown[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(shown[0].Thread, worker.ThreadID());
}

std::vector<std::wstring> gFormLog;

class TFakeForm : public TComponent, public TApplicationWindow {
public:
    explicit TFakeForm(TComponent* owner) : TComponent(owner) {}
    ~TFakeForm() override { gFormLog.push_back(L"free " + Name()); }
    void ShowMainForm() override { gFormLog.push_back(L"show " + Name()); }
    HWND WindowHandle() const override { return nullptr; }
};

TEST_F(RuntimeApplicationTest, RunShowsTheMainFormAndEndsOnTerminate) {
    Application->Initialize();
    TFakeForm* main = nullptr;
    TFakeForm* second = nullptr;
    Application->CreateForm(main);
    main->SetName(L"FormMain");
    Application->CreateForm(second);
    second->SetName(L"FormProgress");
    EXPECT_EQ(Application->MainForm(), main);

    // A timer's tick ends the loop, as a closing main window does.
    TTimer stopper(nullptr);
    int ticks = 0;
    stopper.OnTimer = [&](TObject*) {
        if (++ticks == 2) Application->Terminate();
    };
    stopper.SetInterval(20);
    gFormLog.clear();
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(ticks, 2);
    Application->DestroyForms();
    EXPECT_EQ(gFormLog, (std::vector<std::wstring>{L"show FormMain", L"free FormProgress", L"free FormMain"}));
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST_F(RuntimeApplicationTest, TerminateFromAWorkerEndsRun) {
    struct TWorker : TThread {
        void Execute() override {
            Sleep(50);
            Application->Terminate();
        }
    } worker;
    worker.Start();
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    worker.WaitFor();
}

TEST_F(RuntimeApplicationTest, InitializeEntersASingleThreadedApartment) {
    Application->Initialize();
    EXPECT_TRUE(Application->Initialized());
    EXPECT_TRUE(IsMainThread());
    // The thread is in an STA already: asking for the MTA is refused.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    Application->Initialize();  // again: nothing happens
    EXPECT_NE(Application->Handle(), nullptr);
}

TEST_F(RuntimeApplicationTest, UtilityWindowRunsItsMethodAndReportsItsErrors) {
    std::vector<UINT> received;
    std::atomic<bool> got{false};
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_APP + 1) {
            received.push_back(m.Msg);
            m.Result = static_cast<LRESULT>(m.WParam * 2);
            got = true;
        } else if (m.Msg == WM_APP + 2) {
            throw EInvalidOperation(L"bad message");
        } else {
            DefaultHandler(m);
        }
    });
    ASSERT_NE(wnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(wnd));
    EXPECT_EQ(SendMessageW(wnd, WM_APP + 1, 21, 0), 42);
    // Posted from another thread, handled on this one.
    struct TPoster : TThread {
        HWND Target = nullptr;
        void Execute() override { PostMessageW(Target, WM_APP + 1, 1, 0); }
    } poster;
    poster.Target = wnd;
    got = false;
    poster.Start();
    poster.WaitFor();
    const DWORD start = GetTickCount();
    while (!got.load() && GetTickCount() - start < 5000) Application->ProcessMessages();
    EXPECT_EQ(received.size(), 2u);
    // An exception in the method reaches the error display, not the platform.
    EXPECT_EQ(SendMessageW(wnd, WM_APP + 2, 0, 0), 0);
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, L"bad message");
    DeallocateHWnd(wnd);
    EXPECT_FALSE(IsWindow(wnd));
    DeallocateHWnd(nullptr);  // harmless
}

TEST_F(RuntimeApplicationTest, MessageFiltersAndOnMessage) {
    Application->ProcessMessages();
    HWND wnd = Application->Handle();
    int filtered = 0, hooked = 0;
    const int id = Application->AddMessageFilter([&](MSG& msg) {
        if (msg.message == WM_APP + 5) {
            ++filtered;
            return true;
        }
        return false;
    });
    Application->OnMessage = [&](MSG& msg, bool& handled) {
        if (msg.message == WM_APP + 6) {
            ++hooked;
            handled = true;
        }
    };
    PostMessageW(wnd, WM_APP + 5, 0, 0);
    PostMessageW(wnd, WM_APP + 6, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(filtered, 1);
    EXPECT_EQ(hooked, 1);
    Application->RemoveMessageFilter(id);
    Application->OnMessage = nullptr;
    PostMessageW(wnd, WM_APP + 5, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(filtered, 1);
}

}  // namespace
