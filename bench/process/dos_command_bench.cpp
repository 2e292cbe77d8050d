// Throughput of the console runner: the line splitter alone, and lines
// delivered to the GUI thread from a real child. Run by hand:
//   tools/wineenv.sh exec build/env build/x86_64/bin/dos_command_bench.exe
#include "classlib/runtime/application.h"
#include "process/console_command.h"
#include "tests/fixtures/program_support.h"
#include "process/line_splitter.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

class CountingSink : public ILineSink {
public:
    void LineEnded(TReturnCode) override {}
    void Deliver(const std::string& line, TOutputType) override {
        ++lines;
        bytes += line.size();
    }
    bool StopRequested() override { return false; }
    std::size_t lines = 0, bytes = 0;
};

void BenchSplitter() {
    // FFmpeg-like progress output: CR-ended lines of about 90 bytes, read in
    // 4 KiB chunks.
    std::string data;
    while (data.size() < (64u << 20))
        data += "frame= 1234 fps= 30 q=28.0 size=    2048kB time=00:01:23.45 bitrate= 201.3kbits/s speed=1.0x\r";
    TLineSplitter splitter;
    CountingSink sink;
    const auto start = Clock::now();
    for (std::size_t at = 0; at < data.size(); at += 4096)
        splitter.Split(data.data() + at, std::min<std::size_t>(4096, data.size() - at), sink);
    const double s = Seconds(start);
    std::printf("splitter: %.1f MiB/s, %zu lines\n", data.size() / s / (1 << 20), sink.lines);
}

std::wstring FixtureCommand(const std::wstring& steps) { return testsupport::ConsoleFixtureCommand(steps); }

void BenchRun(const wchar_t* what, const std::wstring& steps) {
    TDosCommand cmd(nullptr);
    std::size_t lines = 0;
    cmd.OnNewLine = [&](TObject*, const std::wstring&, TOutputType) { ++lines; };
    cmd.SetCommandLine(FixtureCommand(steps));
    const auto start = Clock::now();
    cmd.ExecuteAndWait();
    const double s = Seconds(start);
    std::printf("%ls: %zu lines in %.3f s (%.0f lines/s), status %d\n", what, lines, s, lines / s,
                static_cast<int>(cmd.Status()));
}

}  // namespace

int main() {
    Application->Initialize();
    BenchSplitter();
    BenchRun(L"20000 short lines", L"t:20000:0");
    BenchRun(L"one 8 MiB line", L"b:8388608:x o:\\n");
    BenchRun(L"start and end of an idle child", L"x:0");
    return 0;
}
