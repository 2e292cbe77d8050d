// TDosCommand with real child processes: the scripted console_fixture
// program prints chunks with pauses between them, so every chunk boundary
// the tests rely on is real.
#include <gtest/gtest.h>

#include "classlib/runtime/application.h"
#include "classlib/runtime/properties.h"
#include "process/console_command.h"
#include "shared/owner.h"
#include "tests/fixtures/program_support.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring FixtureCommand(const std::wstring& steps) { return testsupport::ConsoleFixtureCommand(steps); }

// Processes the GUI thread's messages until pred holds or ms have passed.
bool WaitUntil(const std::function<bool()>& pred, int ms = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > end) return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    return true;
}

void PumpFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

struct Delivery {
    std::wstring text;
    TOutputType type;
    TReturnCode code;  // OutputReturnCode while the line was handled
};

struct Box {
    std::wstring text, caption;
    UINT flags;
};

class DosCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        previousHandler_ = Application->SetMessageBoxHandler(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                std::lock_guard<std::mutex> g(lock_);
                boxes_.push_back({text, caption, flags});
                return IDOK;
            });
        cmd_ = std::make_unique<TDosCommand>(nullptr);
        Watch(*cmd_);
    }
    void TearDown() override {
        cmd_.reset();
        Application->SetMessageBoxHandler(previousHandler_);
    }

    void Watch(TDosCommand& cmd) {
        cmd.OnNewLine = [this](TObject* sender, const std::wstring& line, TOutputType type) {
            auto* self = static_cast<TDosCommand*>(sender);
            lines_.push_back({line, type, self->OutputReturnCode()});
            if (onLine_) onLine_(line, type);
        };
        cmd.OnTerminated = [this](TObject* sender, DWORD code) {
            std::lock_guard<std::mutex> g(lock_);
            terminatedCodes_.push_back(code);
            statusInHandler_ = static_cast<TDosCommand*>(sender)->Status();
            terminatedThread_ = GetCurrentThreadId();
        };
    }

    // Runs steps of the fixture program to their end; fails the test if the
    // run does not end within ms.
    DWORD Run(const std::wstring& steps, int ms = 20000) {
        cmd_->SetCommandLine(FixtureCommand(steps));
        cmd_->Execute();
        EXPECT_TRUE(WaitUntil([&] { return !cmd_->IsRunning(); }, ms)) << "the run did not end";
        return cmd_->ExitCode();
    }

    std::vector<DWORD> TerminatedCodes() {
        std::lock_guard<std::mutex> g(lock_);
        return terminatedCodes_;
    }
    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> g(lock_);
        return boxes_;
    }
    std::vector<std::wstring> WholeLines() const {
        std::vector<std::wstring> r;
        for (const auto& d : lines_)
            if (d.type == otWholeLine) r.push_back(d.text);
        return r;
    }

    std::unique_ptr<TDosCommand> cmd_;
    std::vector<Delivery> lines_;  // GUI thread only
    std::function<void(const std::wstring&, TOutputType)> onLine_;
    std::mutex lock_;
    std::vector<DWORD> terminatedCodes_;
    TDosCommandStatus statusInHandler_ = dcsNotStarted;
    DWORD terminatedThread_ = 0;
    std::vector<Box> boxes_;
    TMessageBoxHandler previousHandler_;
};

// Under Wine the console host of a child that got a console of its own
// outlives the child when the child is terminated, and keeps the test's
// output open; tests that end children by force start them detached.
void ForKilledChildren(TDosCommand& cmd) { cmd.SetCreationFlag(fDETACHED_PROCESS); }

bool ProcessEnds(DWORD pid, DWORD ms) {
    const TKernelHandle h(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!h) return true;  // already gone
    return WaitForSingleObject(h.Get(), ms) == WAIT_OBJECT_0;
}

DWORD PidOf(const std::vector<Delivery>& lines) {
    for (const auto& d : lines)
        if (d.type == otWholeLine && d.text.rfind(L"pid:", 0) == 0) return std::stoul(d.text.substr(4));
    return 0;
}

}  // namespace

TEST_F(DosCommandTest, SplitsLinesAtEveryKindOfLineEndAcrossChunks) {
    // Each o:/e: step is one chunk: the pauses keep them apart.
    EXPECT_EQ(Run(L"o:abc\\r\\ndef\\n s:150 "
                  L"o:ghi\\r s:150 o:\\njkl\\nmno\\n s:150 "
                  L"o:\\n\\n s:150 "
                  L"o:p\\r\\r\\n s:150 "
                  L"o:q\\0r\\n s:150 "
                  L"e:from\\serr\\n s:150 "
                  L"o:\\r s:150 o:\\n"),
              0u);
    const std::vector<std::wstring> expected = {L"abc", L"def", L"ghi", L"jkl", L"mno",      L"",
                                                L"",    L"p",   L"",    L"qr",  L"from err", L""};
    EXPECT_EQ(WholeLines(), expected);
    ASSERT_EQ(lines_.size(), expected.size()) << "no partial line is expected";
    const std::vector<TReturnCode> codes = {rcCRLF, rcLF, rcLF, rcLF, rcLF, rcLF, rcLF, rcLF, rcCRLF, rcLF, rcLF, rcLF};
    for (std::size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(lines_[i].code, codes[i]) << "line " << i;
    EXPECT_EQ(cmd_->Status(), dcsFinished);
    EXPECT_EQ(cmd_->Lines()->Count(), static_cast<int>(expected.size()));
    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{0});
}

TEST_F(DosCommandTest, PartialLinesRepeatAndAreReplacedInOutputLines) {
    TStringList output;
    output.Add(L"earlier");
    cmd_->SetOutputLines(&output);
    Run(L"o:abc s:200 o:def\\n s:200 o:x s:200 o:\\0\\0 s:200 o:y");

    std::vector<std::pair<std::wstring, TOutputType>> got;
    for (const auto& d : lines_) got.emplace_back(d.text, d.type);
    const std::vector<std::pair<std::wstring, TOutputType>> expected = {
        {L"abc", otPartialLine}, {L"abcdef", otWholeLine}, {L"x", otPartialLine},
        {L"x", otPartialLine},   {L"xy", otPartialLine},   {L"xy", otPartialLine},  // once more when the run ends
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(output.ToVector(), (std::vector<std::wstring>{L"earlier", L"abcdef", L"xy"}));
    EXPECT_EQ(cmd_->Lines()->ToVector(), (std::vector<std::wstring>{L"abc", L"abcdef", L"x", L"x", L"xy", L"xy"}));

    // Into an empty list a partial line becomes its whole text.
    TStringList empty;
    cmd_->SetOutputLines(&empty);
    lines_.clear();
    Run(L"o:zz s:200 o:\\n");
    EXPECT_EQ(empty.ToVector(), std::vector<std::wstring>{L"zz"});
}

TEST_F(DosCommandTest, InputIsWrittenAndEchoedAsOutput) {
    cmd_->SetInputToOutput(true);
    onLine_ = [this](const std::wstring& line, TOutputType type) {
        if (type != otWholeLine) return;
        if (line == L"ready") cmd_->InputLines()->Add(L"dir\r\n");
        if (line == L"in:dir") cmd_->InputLines()->Add(L"ab");
    };
    // Reads one line, then prints more without reading the unfinished one.
    EXPECT_EQ(Run(L"o:ready\\n r:1 s:600 o:tail\\n"), 0u);

    std::vector<std::pair<std::wstring, TOutputType>> got;
    for (const auto& d : lines_) got.emplace_back(d.text, d.type);
    const std::vector<std::pair<std::wstring, TOutputType>> expected = {
        {L"ready", otWholeLine},  {L"dir\r\n", otWholeLine},  // the echo keeps its line break
        {L"in:dir", otWholeLine},                             // the child read the line
        {L"ab", otPartialLine},                               // input without a line break
        {L"abtail", otWholeLine},                             // continued by the child's next output
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(cmd_->InputLines()->Count(), 0);
}

TEST_F(DosCommandTest, InputWithoutEchoReachesTheChild) {
    cmd_->SetCommandLine(FixtureCommand(L"r:2"));
    cmd_->Execute();
    // Lines added before the child reads them wait in InputLines; an empty
    // one writes nothing.
    cmd_->InputLines()->Add(L"one\n");
    cmd_->InputLines()->Add(L"");
    cmd_->InputLines()->Add(L"two\r\n");
    cmd_->SetCommandLine(L"");  // a run keeps the command line it started with
    ASSERT_TRUE(WaitUntil([&] { return !cmd_->IsRunning(); }));
    EXPECT_EQ(WholeLines(), (std::vector<std::wstring>{L"in:one", L"in:two"}));
    EXPECT_EQ(cmd_->Status(), dcsFinished);
}

TEST_F(DosCommandTest, InputLinesAddedDuringTheRunAllArriveInOrder) {
    // The owner adds while the worker takes and removes: nothing is lost,
    // doubled or reordered.
    constexpr int kLines = 300;
    cmd_->SetCommandLine(FixtureCommand(L"r:" + std::to_wstring(kLines)));
    cmd_->Execute();
    for (int i = 0; i < kLines; ++i) {
        cmd_->InputLines()->Add(L"n" + std::to_wstring(i) + L"\n");
        if (i % 7 == 0) Application->ProcessMessages();
    }
    ASSERT_TRUE(WaitUntil([&] { return !cmd_->IsRunning(); }, 30000));
    std::vector<std::wstring> expected;
    for (int i = 0; i < kLines; ++i) expected.push_back(L"in:n" + std::to_wstring(i));
    EXPECT_EQ(WholeLines(), expected);
}

TEST_F(DosCommandTest, TextIsTakenInTheAnsiCodePage) {
    // "日本" is 93 FA 96 7B in code page 932, the test environment's.
    ASSERT_EQ(GetACP(), 932u);
    cmd_->SetCommandLine(FixtureCommand(L"o:\\x93\\xfa\\x96\\x7b\\n r:1"));
    cmd_->Execute();
    cmd_->InputLines()->Add(L"\u65e5\u672c\n");
    ASSERT_TRUE(WaitUntil([&] { return !cmd_->IsRunning(); }));
    EXPECT_EQ(WholeLines(), (std::vector<std::wstring>{L"\u65e5\u672c", L"in:\u65e5\u672c"}));
}

TEST_F(DosCommandTest, ReportsTheChildsExitCode) {
    for (DWORD code : {0u, 1u, 259u, 3221225477u}) {
        SCOPED_TRACE(code);
        terminatedCodes_.clear();
        cmd_->SetCommandLine(FixtureCommand(L"o:bye\\n x:" + std::to_wstring(code)));
        EXPECT_EQ(cmd_->ExecuteAndWait(), code);
        EXPECT_EQ(cmd_->ExitCode(), code);
        EXPECT_EQ(cmd_->Status(), dcsFinished);
        // OnTerminated has run before IsRunning turned false.
        EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{code});
    }
    EXPECT_EQ(statusInHandler_, dcsFinished);
    EXPECT_NE(terminatedThread_, GetCurrentThreadId()) << "OnTerminated runs on the worker";
}

TEST_F(DosCommandTest, StopFromOnNewLineEndsTheRunAndTheChild) {
    ForKilledChildren(*cmd_);
    Run(L"x:7");  // ExitCode 7, kept by a stopped run
    lines_.clear();
    terminatedCodes_.clear();
    bool runningAfterStop = true;
    onLine_ = [&](const std::wstring& line, TOutputType) {
        if (line == L"first") {
            cmd_->Stop();
            runningAfterStop = cmd_->IsRunning();
        }
    };
    cmd_->SetCommandLine(FixtureCommand(L"i s:200 o:first\\nsecond\\nthird w"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return !TerminatedCodes().empty(); }));
    EXPECT_FALSE(runningAfterStop);
    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{STILL_ACTIVE});
    EXPECT_EQ(WholeLines().back(), L"first") << "the rest of the chunk is not split";
    EXPECT_EQ(cmd_->Status(), dcsStopped);
    EXPECT_EQ(cmd_->ExitCode(), 7u);
    const DWORD pid = PidOf(lines_);
    ASSERT_NE(pid, 0u);
    EXPECT_TRUE(ProcessEnds(pid, 5000)) << "the child was not terminated";
}

TEST_F(DosCommandTest, AStoppedRunsChildHasEndedWhenOnTerminatedRuns) {
    // Its owner may then remove what the child was writing.
    ForKilledChildren(*cmd_);
    std::atomic<DWORD> pid{0};
    std::atomic<int> endedInHandler{-1};
    onLine_ = [&](const std::wstring& line, TOutputType) {
        if (line.rfind(L"pid:", 0) == 0 && pid.load() == 0) {
            pid = std::stoul(line.substr(4));
            cmd_->Stop();
        }
    };
    cmd_->OnTerminated = [&](TObject*, DWORD) {
        const TKernelHandle h(OpenProcess(SYNCHRONIZE, FALSE, pid.load()));
        endedInHandler = !h || WaitForSingleObject(h.Get(), 0) == WAIT_OBJECT_0 ? 1 : 0;
    };
    cmd_->SetCommandLine(FixtureCommand(L"i s:30000"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return endedInHandler.load() != -1; }));
    ASSERT_NE(pid.load(), 0u);
    EXPECT_EQ(endedInHandler.load(), 1) << "the child still ran when its run reported its end";
}

TEST_F(DosCommandTest, AStoppedRunLeavesTheNextRunAlone) {
    ForKilledChildren(*cmd_);
    // The handler stops the first run and starts the second while the first
    // run's worker waits for it; that worker goes on afterwards, with its
    // partial line, its end and its OnTerminated still to come.
    bool restarted = false;
    std::size_t firstOfSecondRun = 0;
    TDosCommandStatus statusInSecondRun = dcsNotStarted;
    onLine_ = [&](const std::wstring& line, TOutputType type) {
        if (!restarted && type == otPartialLine && line == L"half") {
            restarted = true;
            firstOfSecondRun = lines_.size();
            cmd_->Stop();
            cmd_->SetCommandLine(FixtureCommand(L"o:second\\n s:300 o:late\\n x:5"));
            cmd_->Execute();
        }
        if (line == L"late") statusInSecondRun = cmd_->Status();
    };
    cmd_->SetCommandLine(FixtureCommand(L"i s:100 o:half w"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return restarted && !cmd_->IsRunning(); }));
    const DWORD firstChild = PidOf(lines_);
    ASSERT_NE(firstChild, 0u);
    EXPECT_TRUE(ProcessEnds(firstChild, 5000));
    PumpFor(300);  // anything the first run still had would arrive by now

    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{5}) << "no OnTerminated of the stopped run";
    EXPECT_EQ(cmd_->Lines()->ToVector(), (std::vector<std::wstring>{L"second", L"late"}));
    std::vector<std::wstring> handled;
    for (std::size_t i = firstOfSecondRun; i < lines_.size(); ++i) handled.push_back(lines_[i].text);
    EXPECT_EQ(handled, (std::vector<std::wstring>{L"second", L"late"}));
    EXPECT_EQ(statusInSecondRun, dcsRunning);
    EXPECT_EQ(cmd_->Status(), dcsFinished);
    EXPECT_EQ(cmd_->ExitCode(), 5u);
}

TEST_F(DosCommandTest, ExecuteLetsAStoppedRunsOnTerminatedReturnFirst) {
    ForKilledChildren(*cmd_);
    TKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(entered && release);
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};
    cmd_->OnTerminated = [&](TObject*, DWORD) {
        if (calls.fetch_add(1) > 0) return;
        SetEvent(entered.Get());
        WaitForSingleObject(release.Get(), 10000);
        returned.store(true);
    };
    cmd_->SetCommandLine(FixtureCommand(L"i w"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return !lines_.empty(); }));
    cmd_->Stop();
    ASSERT_EQ(WaitForSingleObject(entered.Get(), 10000), WAIT_OBJECT_0);
    // The stopped run is inside its handler; it is let go a little later.
    std::thread releaser([&] {
        Sleep(200);
        SetEvent(release.Get());
    });
    cmd_->SetCommandLine(FixtureCommand(L"x:0"));
    cmd_->Execute();
    const bool returnedBeforeTheNextRun = returned.load();
    releaser.join();
    ASSERT_TRUE(WaitUntil([&] { return !cmd_->IsRunning(); }));
    EXPECT_TRUE(returnedBeforeTheNextRun) << "the next run began while the stopped run's OnTerminated ran";
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(cmd_->Status(), dcsFinished);
}

TEST_F(DosCommandTest, CancelFromOnNewLineInsideExecuteAndWait) {
    // The program's own pattern: ExecuteAndWait with the default flag (a new
    // console); the line handler stops the run and processes messages for
    // as long as the run still reports running; later lines are ignored.
    ASSERT_EQ(cmd_->CreationFlag(), fCREATE_NEW_CONSOLE);
    bool cancelled = false;
    int linesAfterCancel = 0;
    onLine_ = [&](const std::wstring& line, TOutputType) {
        if (cancelled) {
            if (!cmd_->IsRunning()) {
                ++linesAfterCancel;
                return;
            }
        }
        if (line == L"tick 3") {
            cancelled = true;
            cmd_->Stop();
            while (cmd_->IsRunning()) Application->ProcessMessages();
        }
    };
    cmd_->SetCommandLine(FixtureCommand(L"i t:100000:20"));
    cmd_->ExecuteAndWait();
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(cmd_->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return !TerminatedCodes().empty(); }));
    PumpFor(200);
    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{STILL_ACTIVE});
    EXPECT_EQ(cmd_->Status(), dcsStopped);
    EXPECT_EQ(WholeLines().back(), L"tick 3") << "the rest of that chunk is not split";
    EXPECT_EQ(linesAfterCancel, 0);
    const DWORD pid = PidOf(lines_);
    ASSERT_NE(pid, 0u);
    EXPECT_TRUE(ProcessEnds(pid, 5000)) << "the child was not terminated";
}

TEST_F(DosCommandTest, TimeOutsEndExecuteAndWait) {
    ForKilledChildren(*cmd_);
    // The ticks come from the message processing inside ExecuteAndWait.
    cmd_->SetMaxTimeAfterLastOutput(1);
    cmd_->SetCommandLine(FixtureCommand(L"i o:hello\\n w"));
    EXPECT_EQ(cmd_->ExecuteAndWait(), 0u) << "a timed-out run keeps the earlier exit code";
    EXPECT_EQ(cmd_->Status(), dcsTimedOut);
    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{STILL_ACTIVE}) << "reported before ExecuteAndWait returns";
    EXPECT_TRUE(ProcessEnds(PidOf(lines_), 5000));

    lines_.clear();
    cmd_->SetMaxTimeAfterLastOutput(0);
    cmd_->SetMaxTimeAfterBeginning(1);
    cmd_->SetCommandLine(FixtureCommand(L"i t:100000:50"));
    cmd_->ExecuteAndWait();
    EXPECT_EQ(cmd_->Status(), dcsTimedOut);
    EXPECT_EQ(TerminatedCodes(), (std::vector<DWORD>{STILL_ACTIVE, STILL_ACTIVE}));
    EXPECT_TRUE(ProcessEnds(PidOf(lines_), 5000));
}

TEST_F(DosCommandTest, ProgressLinesEndedByCR) {
    // A converter's progress: several CR-ended lines in one write, then a
    // line cut between two writes, then the last line with CR LF.
    TStringList output;
    cmd_->SetOutputLines(&output);
    cmd_->SetCommandLine(
        FixtureCommand(L"o:time=0.50\\sbitrate\\rtime=1.00\\sbitrate\\rtime=1.50\\sbitrate\\r "
                       L"s:200 o:time=2 s:200 o:.00\\sbitrate\\r s:200 o:done\\r\\n"));
    EXPECT_EQ(cmd_->ExecuteAndWait(), 0u);
    std::vector<std::pair<std::wstring, TOutputType>> got;
    for (const auto& d : lines_) got.emplace_back(d.text, d.type);
    const std::vector<std::pair<std::wstring, TOutputType>> expected = {
        {L"time=0.50 bitrate", otWholeLine}, {L"time=1.00 bitrate", otWholeLine}, {L"time=1.50 bitrate", otWholeLine},
        {L"time=2", otPartialLine},          {L"time=2.00 bitrate", otWholeLine}, {L"done", otWholeLine},
    };
    EXPECT_EQ(got, expected);
    ASSERT_EQ(lines_.size(), 6u);
    for (std::size_t i : {0u, 1u, 2u, 4u}) EXPECT_EQ(lines_[i].code, rcLF) << "line " << i;
    EXPECT_EQ(lines_[5].code, rcCRLF);
    EXPECT_EQ(output.ToVector(), (std::vector<std::wstring>{L"time=0.50 bitrate", L"time=1.00 bitrate",
                                                            L"time=1.50 bitrate", L"time=2.00 bitrate", L"done"}));
    EXPECT_EQ(cmd_->Status(), dcsFinished);
}

TEST_F(DosCommandTest, StopWhileTheChildDoesNotReadItsInput) {
    ForKilledChildren(*cmd_);
    onLine_ = [this](const std::wstring& line, TOutputType) {
        if (line == L"ready") cmd_->InputLines()->Add(std::wstring(1 << 20, L'z') + L"\n");
    };
    cmd_->SetCommandLine(FixtureCommand(L"i o:ready\\n w"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return cmd_->Lines()->Count() >= 2; }));
    PumpFor(300);  // the worker is now blocked writing
    cmd_->Stop();
    ASSERT_TRUE(WaitUntil([&] { return !TerminatedCodes().empty(); }, 10000));
    EXPECT_EQ(cmd_->Status(), dcsStopped);
    EXPECT_TRUE(ProcessEnds(PidOf(lines_), 5000));
}

TEST_F(DosCommandTest, ProgramThatCannotBeStarted) {
    const std::wstring command = L"no_such_program_tavrel.exe -i in.avi out.mp4";
    cmd_->SetCommandLine(command);
    cmd_->ExecuteAndWait();
    ASSERT_TRUE(WaitUntil([&] { return !Boxes().empty(); }));
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, command + L" doesn't exist.");
    EXPECT_EQ(boxes[0].caption, Application->Title());
    EXPECT_TRUE(boxes[0].flags & MB_ICONERROR);
    EXPECT_EQ(cmd_->Status(), dcsProcessFailed);
    EXPECT_EQ(cmd_->ExitCode(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{STILL_ACTIVE});
    EXPECT_EQ(statusInHandler_, dcsPipesReady) << "the handler sees the stage that broke off";
    EXPECT_TRUE(lines_.empty());
}

TEST_F(DosCommandTest, BadCommandLines) {
    // Empty: nothing happens at all.
    cmd_->SetCommandLine(L"");
    EXPECT_EQ(cmd_->ExecuteAndWait(), 0u);
    EXPECT_FALSE(cmd_->IsRunning());
    EXPECT_EQ(cmd_->ProcessTimer(), nullptr);
    PumpFor(100);
    EXPECT_TRUE(TerminatedCodes().empty());
    EXPECT_TRUE(Boxes().empty());

    // 32 KiB: longer than Windows takes (Wine may still start it). Either a
    // clear failure or a normal run, never a crash or a wait.
    const std::wstring missing = L"no_such_program_tavrel.exe " + std::wstring(32 * 1024, L'a');
    cmd_->SetCommandLine(missing);
    cmd_->ExecuteAndWait();
    ASSERT_TRUE(WaitUntil([&] { return Boxes().size() == 1; }));
    EXPECT_EQ(Boxes()[0].text, missing + L" doesn't exist.");
    EXPECT_EQ(cmd_->Status(), dcsProcessFailed);
    EXPECT_NE(cmd_->ExitCode(), 0u);

    const std::wstring longCommand = FixtureCommand(L"o:") + std::wstring(32 * 1024, L'a');
    cmd_->SetCommandLine(longCommand);
    cmd_->ExecuteAndWait();
    if (cmd_->Status() == dcsProcessFailed) {
        ASSERT_TRUE(WaitUntil([&] { return Boxes().size() == 2; }));
        EXPECT_EQ(Boxes()[1].text, longCommand + L" doesn't exist.");
    } else {
        EXPECT_EQ(cmd_->Status(), dcsFinished);
        ASSERT_FALSE(lines_.empty());
        const std::wstring& text = lines_.back().text;
        EXPECT_EQ(text.find_first_not_of(L'a'), std::wstring::npos);
        EXPECT_GT(text.size(), 30000u);
        std::lock_guard<std::mutex> g(lock_);
        boxes_.push_back({});  // keeps the count below in step
    }
    lines_.clear();

    // A NUL inside would silently run only the part before it.
    std::wstring withNul = FixtureCommand(L"x:0");
    withNul.insert(withNul.size() - 4, 1, L'\0');
    cmd_->SetCommandLine(withNul);
    cmd_->ExecuteAndWait();
    ASSERT_TRUE(WaitUntil([&] { return Boxes().size() == 3; }));
    EXPECT_EQ(cmd_->Status(), dcsProcessFailed);
    EXPECT_EQ(cmd_->ExitCode(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(TerminatedCodes().size(), 3u);
    EXPECT_TRUE(lines_.empty());
}

TEST_F(DosCommandTest, ExecuteWhileRunningIsRefused) {
    ForKilledChildren(*cmd_);
    cmd_->SetCommandLine(FixtureCommand(L"i s:3000"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return !lines_.empty(); }));
    EXPECT_THROW(cmd_->Execute(), EInvalidOperation);
    EXPECT_TRUE(cmd_->IsRunning());
    cmd_->Stop();
    ASSERT_TRUE(WaitUntil([&] { return TerminatedCodes().size() == 1; }));
    EXPECT_EQ(cmd_->Status(), dcsStopped);
}

TEST_F(DosCommandTest, StopBeforeTheRunBegins) {
    ForKilledChildren(*cmd_);
    // Most of the time the worker has not begun yet; either way the component
    // is idle at once and the run ends without a child left behind.
    for (int i = 0; i < 5; ++i) {
        cmd_->SetCommandLine(FixtureCommand(L"i w"));
        cmd_->Execute();
        cmd_->Stop();
        EXPECT_FALSE(cmd_->IsRunning());
    }
    PumpFor(500);
    for (const auto& d : lines_) EXPECT_TRUE(ProcessEnds(PidOf({d}), 5000));
}

TEST_F(DosCommandTest, LongLineAndNulOnlyChunks) {
    // 3 MiB in one write: more than the read buffer takes in one pass.
    EXPECT_EQ(Run(L"o:ab s:200 o:\\0\\0 s:200 o:c\\n s:100 b:3145728:x o:\\n"), 0u);
    ASSERT_GE(lines_.size(), 4u);
    EXPECT_EQ(lines_[0].text, L"ab");
    EXPECT_EQ(lines_[1].text, L"ab") << "a chunk of NUL bytes repeats the partial line";
    EXPECT_EQ(lines_[2].text, L"abc");
    const Delivery& last = lines_.back();
    EXPECT_EQ(last.type, otWholeLine);
    EXPECT_EQ(last.text.size(), 3u << 20);
    EXPECT_EQ(last.text.find_first_not_of(L'x'), std::wstring::npos);
    // Every report in between is the same line growing.
    for (std::size_t i = 3; i + 1 < lines_.size(); ++i) {
        EXPECT_EQ(lines_[i].type, otPartialLine);
        EXPECT_GT(lines_[i].text.size(), i > 3 ? lines_[i - 1].text.size() : 0u);
        if (::testing::Test::HasFailure()) break;
    }
}

TEST_F(DosCommandTest, HandlerErrorsLoseOnlyThatLine) {
    onLine_ = [](const std::wstring& line, TOutputType) {
        if (line == L"bad") throw std::runtime_error("cannot read this line");
    };
    EXPECT_EQ(Run(L"o:good\\n s:100 o:bad\\n s:100 o:after\\n"), 0u);
    EXPECT_EQ(WholeLines(), (std::vector<std::wstring>{L"good", L"bad", L"after"}));
    EXPECT_EQ(cmd_->Status(), dcsFinished);
}

TEST_F(DosCommandTest, TimesOutAfterBeginning) {
    ForKilledChildren(*cmd_);
    cmd_->SetMaxTimeAfterBeginning(2);
    const auto start = Clock::now();
    cmd_->SetCommandLine(FixtureCommand(L"t:100:300"));  // keeps printing
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return !TerminatedCodes().empty(); }, 15000));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(seconds, 2.5);
    EXPECT_LT(seconds, 6.0);
    EXPECT_EQ(cmd_->Status(), dcsTimedOut);
    EXPECT_EQ(TerminatedCodes(), std::vector<DWORD>{STILL_ACTIVE});
    EXPECT_EQ(cmd_->ExitCode(), 0u) << "kept from before";
}

TEST_F(DosCommandTest, TimesOutAfterLastOutput) {
    ForKilledChildren(*cmd_);
    cmd_->SetMaxTimeAfterLastOutput(2);
    // Output every 500 ms keeps the run alive until the child ends by itself.
    EXPECT_EQ(Run(L"t:8:500 x:5"), 5u);
    EXPECT_EQ(cmd_->Status(), dcsFinished);

    // Silence after one line ends it about three seconds later.
    const auto start = Clock::now();
    cmd_->SetCommandLine(FixtureCommand(L"o:hello\\n w"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return TerminatedCodes().size() == 2; }, 15000));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(seconds, 2.5);
    EXPECT_LT(seconds, 6.0);
    EXPECT_EQ(cmd_->Status(), dcsTimedOut);
    EXPECT_EQ(cmd_->ExitCode(), 5u);

    // Both limits: the one after the beginning ends a chatty child.
    cmd_->SetMaxTimeAfterBeginning(2);
    const auto start2 = Clock::now();
    cmd_->SetCommandLine(FixtureCommand(L"t:100:500"));
    cmd_->Execute();
    ASSERT_TRUE(WaitUntil([&] { return TerminatedCodes().size() == 3; }, 15000));
    const double seconds2 = std::chrono::duration<double>(Clock::now() - start2).count();
    EXPECT_GT(seconds2, 2.5);
    EXPECT_LT(seconds2, 6.0);
    EXPECT_EQ(cmd_->Status(), dcsTimedOut);
}

TEST_F(DosCommandTest, NoLimitWithZeroOrNegativeLimits) {
    cmd_->SetMaxTimeAfterBeginning(-1);
    cmd_->SetMaxTimeAfterLastOutput(0);
    EXPECT_EQ(Run(L"s:2500 x:4"), 4u);
    EXPECT_EQ(cmd_->Status(), dcsFinished);
}

TEST_F(DosCommandTest, TwoRunsInTurn) {
    EXPECT_EQ(Run(L"o:one\\n x:3"), 3u);
    TProcessTimer* timer = cmd_->ProcessTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(cmd_->Lines()->ToVector(), std::vector<std::wstring>{L"one"});

    cmd_->InputLines()->Add(L"left over\n");
    DWORD exitCodeDuringRun = 0;
    int linesDuringRun = -1;
    onLine_ = [&](const std::wstring&, TOutputType) {
        exitCodeDuringRun = cmd_->ExitCode();
        linesDuringRun = cmd_->InputLines()->Count();
    };
    EXPECT_EQ(Run(L"o:two\\n s:1200 x:0"), 0u);
    EXPECT_EQ(exitCodeDuringRun, 3u) << "the first run's exit code stays until the second sets it";
    EXPECT_EQ(linesDuringRun, 0) << "the start of a run empties InputLines";
    EXPECT_EQ(cmd_->Lines()->ToVector(), std::vector<std::wstring>{L"two"});
    EXPECT_EQ(cmd_->ProcessTimer(), timer);
    EXPECT_GE(timer->TimeAfterBeginning.load(), 1) << "the second run counted from 0 again";
    EXPECT_LE(timer->TimeAfterBeginning.load(), 3);
    EXPECT_EQ(TerminatedCodes(), (std::vector<DWORD>{3, 0}));
}

TEST_F(DosCommandTest, DestroyingTheComponentDuringARun) {
    auto* cmd = new TDosCommand(nullptr);
    ForKilledChildren(*cmd);
    Watch(*cmd);
    cmd->SetCommandLine(FixtureCommand(L"i t:100000:5"));
    cmd->Execute();
    ASSERT_TRUE(WaitUntil([&] { return lines_.size() >= 20; }));
    const DWORD pid = PidOf(lines_);
    ASSERT_NE(pid, 0u);
    const auto start = Clock::now();
    delete cmd;
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 5.0);
    const std::size_t seen = lines_.size();
    PumpFor(300);
    EXPECT_EQ(lines_.size(), seen) << "no line after the component is gone";
    EXPECT_TRUE(TerminatedCodes().empty()) << "no event after the component is gone";
    EXPECT_TRUE(ProcessEnds(pid, 5000));

    // With the worker blocked writing to a child that never reads.
    auto* blocked = new TDosCommand(nullptr);
    ForKilledChildren(*blocked);
    blocked->SetCommandLine(FixtureCommand(L"o:ready\\n w"));
    blocked->Execute();
    blocked->InputLines()->Add(std::wstring(1 << 20, L'q') + L"\n");
    PumpFor(500);
    const auto start2 = Clock::now();
    delete blocked;
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start2).count(), 5.0);

    // After a Stop whose worker has not finished yet.
    auto* stopped = new TDosCommand(nullptr);
    ForKilledChildren(*stopped);
    stopped->SetCommandLine(FixtureCommand(L"w"));
    stopped->Execute();
    PumpFor(200);
    stopped->Stop();
    delete stopped;
}

TEST_F(DosCommandTest, PublishedProperties) {
    TDosCommand& c = *cmd_;
    EXPECT_EQ(c.ShowWindow(), swHIDE);
    EXPECT_EQ(c.CreationFlag(), fCREATE_NEW_CONSOLE);
    EXPECT_EQ(c.ReturnCode(), rcCRLF);
    EXPECT_EQ(c.PriorityClass(), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(c.Status(), dcsNotStarted);

    SetPropertyValue(c, L"CommandLine", TPropertyValue(std::wstring(L"lib\\ffmpeg.exe")));
    SetPropertyValue(c, L"ShowWindow", TPropertyValue(TIdent{L"swSHOWNORMAL"}));
    SetPropertyValue(c, L"CreationFlag", TPropertyValue(TIdent{L"fDETACHED_PROCESS"}));
    SetPropertyValue(c, L"ReturnCode", TPropertyValue(TIdent{L"rcLF"}));
    SetPropertyValue(c, L"InputToOutput", TPropertyValue(true));
    SetPropertyValue(c, L"MaxTimeAfterBeginning", TPropertyValue(int64_t{10}));
    SetPropertyValue(c, L"MaxTimeAfterLastOutput", TPropertyValue(int64_t{-3}));
    EXPECT_EQ(c.CommandLine(), L"lib\\ffmpeg.exe");
    EXPECT_EQ(c.ShowWindow(), swSHOWNORMAL);
    EXPECT_EQ(ShowWindowValue(c.ShowWindow()), SW_SHOWNORMAL);
    EXPECT_EQ(c.CreationFlag(), fDETACHED_PROCESS);
    EXPECT_EQ(CreationFlagValue(c.CreationFlag()), static_cast<DWORD>(DETACHED_PROCESS));
    EXPECT_EQ(c.ReturnCode(), rcLF);
    EXPECT_TRUE(c.InputToOutput());
    EXPECT_EQ(c.MaxTimeAfterBeginning(), 10);
    EXPECT_EQ(c.MaxTimeAfterLastOutput(), -3);
    EXPECT_THROW(SetPropertyValue(c, L"ShowWindow", TPropertyValue(TIdent{L"swBOGUS"})), EPropertyError);
    EXPECT_EQ(ShowWindowValue(swSHOWMINNOACTIVE), SW_SHOWMINNOACTIVE);

    // A form description can create the component by its class name.
    const TComponentClass* cls = FindComponentClass(L"TDosCommand");
    ASSERT_NE(cls, nullptr);
    std::unique_ptr<TComponent> made(cls->Create(nullptr));
    EXPECT_NE(dynamic_cast<TDosCommand*>(made.get()), nullptr);
    EXPECT_EQ(CreationFlagValue(fCREATE_SUSPENDED), static_cast<DWORD>(CREATE_SUSPENDED));
}
