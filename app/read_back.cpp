#include "app/read_back.h"

#include "app/form_main.h"
#include "classlib/runtime/text.h"

#include <vector>

namespace {

// The last progress time among the lines the converter prints.
class TProgressTimes : public ILineSink {
public:
    TProgressTimes(bool& Found, double& Last) : FFound(Found), FLast(Last) {}
    void LineEnded(TReturnCode) override {}
    void Deliver(const std::string& line, TOutputType type) override {
        if (type != otWholeLine) return;
        double t = 0;
        if (TFormMain::ProgressLineTime(AnsiToWide(line), t)) {
            FFound = true;
            FLast = t;
        }
    }
    bool StopRequested() override { return false; }

private:
    bool& FFound;
    double& FLast;
};

// A job that ends its processes when its last handle is closed, which
// happens at the latest when this program ends, however it ends: a held
// child is never left behind.
TKernelHandle KillOnCloseJob() {
    TKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) job.Reset();
    return job;
}

}  // namespace

TReadBack::TReadBack(std::wstring File)
    : FFile(std::move(File)),
      FCommandLine(L"lib\\ffmpeg.exe -nostdin -hide_banner -i \"" + FFile + L"\" -map 0 -c copy -f null -") {}

TReadBack::~TReadBack() { Release(); }

bool TReadBack::Prepare() {
    if (FProcess) return FHeld;
    return Create();
}

bool TReadBack::Create() {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    // Room for many progress lines, so the child seldom waits for us.
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 64 * 1024)) return false;
    TKernelHandle output(readEnd), childOutput(writeEnd);
    if (!SetHandleInformation(output.Get(), HANDLE_FLAG_INHERIT, 0)) return false;
    // Its input is the null device: "-nostdin" keeps the converter from
    // reading any, and every standard handle given to a child must be one
    // it inherits.
    TKernelHandle childInput(
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!childInput) return false;

    // The child inherits these two and nothing else of ours: without
    // the list it would take every inheritable handle this program holds at
    // the moment (another child's pipe ends among them) and keep them for as
    // long as it is held.
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);  // fails, giving the size
    std::vector<unsigned char> listBytes(size);
    const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
    const TScopeGuard listGuard([list]() noexcept { DeleteProcThreadAttributeList(list); });
    HANDLE inherited[] = {childInput.Get(), childOutput.Get()};
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof(inherited), nullptr,
                                   nullptr))
        return false;

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = childInput.Get();
    startup.StartupInfo.hStdOutput = childOutput.Get();
    startup.StartupInfo.hStdError = childOutput.Get();
    startup.lpAttributeList = list;

    // CREATE_SUSPENDED: the primary thread does not run until ResumeThread.
    // The output comes through the pipe; a console of its own (one more
    // process to start) would serve nothing. The system may write into the
    // command line it is given, so it gets a copy.
    std::vector<wchar_t> commandLine(FCommandLine.begin(), FCommandLine.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                        &startup.StartupInfo, &info))
        return false;
    FProcess = TKernelHandle(info.hProcess);
    FThread = TKernelHandle(info.hThread);
    FProcessId = info.dwProcessId;
    FOutput = std::move(output);
    FHeld = true;
    // Put in the job before it runs, so none of it escapes. Where the job
    // cannot be had (before Windows 8 a process already in a job cannot
    // join another) the child still ends with this object.
    FJob = KillOnCloseJob();
    if (FJob && !AssignProcessToJobObject(FJob.Get(), FProcess.Get())) FJob.Reset();
    // Our copy of the child's end is closed on return: once the child has
    // ended, nothing more can come through the pipe.
    return true;
}

bool TReadBack::Run(double& Seconds, const std::function<bool(HANDLE Wakeup)>& Serve) {
    if (!FProcess && !Create()) return false;
    if (FHeld) {
        if (ResumeThread(FThread.Get()) == static_cast<DWORD>(-1)) {
            Release();
            return false;
        }
        FHeld = false;
    }
    FSplitter.Reset();
    FFound = false;
    for (;;) {
        TakeOutput();
        const DWORD wait = WaitForSingleObject(FProcess.Get(), 0);
        if (wait == WAIT_OBJECT_0) break;
        if (wait == WAIT_FAILED || !Serve(FProcess.Get())) {
            Release();
            return false;
        }
    }
    // Everything the child wrote is in the pipe by now.
    TakeOutput();
    // The last line may end without a line break.
    if (!FSplitter.Partial().empty()) TProgressTimes(FFound, FLast).Deliver(FSplitter.Partial(), otWholeLine);
    DWORD code = STILL_ACTIVE;
    const bool exited = GetExitCodeProcess(FProcess.Get(), &code) != FALSE;
    Release();
    if (!exited || code != 0 || !FFound) return false;
    Seconds = FLast;
    return true;
}

void TReadBack::TakeOutput() {
    TProgressTimes times(FFound, FLast);
    char buffer[4096];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(FOutput.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
        DWORD read = 0;
        if (!ReadFile(FOutput.Get(), buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
        FSplitter.Split(buffer, read, times);
    }
}

void TReadBack::Release() noexcept {
    // A child that has not ended (held, or cut short) is ended here and
    // waited for: until then it may hold the file it reads.
    if (FProcess && WaitForSingleObject(FProcess.Get(), 0) != WAIT_OBJECT_0 && TerminateProcess(FProcess.Get(), 1))
        WaitForSingleObject(FProcess.Get(), 10000);
    FThread.Reset();
    FProcess.Reset();
    FOutput.Reset();
    FJob.Reset();
    FProcessId = 0;
    FHeld = false;
}
