// "--watch-stalls": threads of the benchmark's own process that each do one
// small thing every millisecond while a recording runs and note every pass
// that took more than 30 ms, so a late screen read can be set beside what
// else of the process was held up at that moment:
//   sleep   Sleep(1) alone (the process's threads are scheduled);
//   spin    nothing but reading the clock (the processor is there);
//   screen  GetDC(NULL), GetPixel, ReleaseDC, Sleep(1) (the display's
//           device context and the X connection);
//   gdi     CreateCompatibleDC, DeleteDC, Sleep(1) (GDI's own objects,
//           nothing of the display).
// The watchers add display traffic of their own: their figures explain a
// stall, they are not the recording's figures.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace benchstall {

// "--watch-stalls" among the arguments; removes it from argv.
inline bool TakeWatchOption(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--watch-stalls") == 0) {
            for (int j = i; j + 1 <= argc; ++j) argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    return false;
}

class TStallWatch {
public:
    using Clock = std::chrono::steady_clock;

    // Starts the watchers; times are printed from `base`.
    explicit TStallWatch(Clock::time_point base) : FBase(base) {
        Watch("sleep", [] { Sleep(1); });
        Watch("spin", [] {});
        Watch("screen", [] {
            HDC dc = GetDC(nullptr);
            GetPixel(dc, 5, 5);
            ReleaseDC(nullptr, dc);
            Sleep(1);
        });
        Watch("gdi", [] {
            DeleteDC(CreateCompatibleDC(nullptr));
            Sleep(1);
        });
    }
    TStallWatch(const TStallWatch&) = delete;
    TStallWatch& operator=(const TStallWatch&) = delete;
    ~TStallWatch() { Stop(); }

    // Ends the watchers and prints every pass over 30 ms, in time order.
    void Stop() {
        if (FStop.exchange(true)) return;
        for (std::thread& t : FThreads) t.join();
        std::lock_guard<std::mutex> lock(FLock);
        std::vector<std::pair<double, std::string>> sorted;
        for (const auto& [name, at, took] : FStalls) {
            char line[128];
            std::snprintf(line, sizeof line, "  stall: %-6s %6.1f ms from %.3f s\n", name, took * 1000, at);
            sorted.emplace_back(at, line);
        }
        std::sort(sorted.begin(), sorted.end());
        if (sorted.empty()) std::printf("  stall: no watcher was held up more than 30 ms\n");
        for (const auto& s : sorted) std::printf("%s", s.second.c_str());
    }

private:
    struct TStall {
        const char* Name;
        double At;
        double Took;
    };

    void Watch(const char* name, std::function<void()> pass) {
        FThreads.emplace_back([this, name, pass = std::move(pass)] {
            auto last = Clock::now();
            while (!FStop.load()) {
                pass();
                const auto now = Clock::now();
                const double took = std::chrono::duration<double>(now - last).count();
                if (took > 0.03) {
                    std::lock_guard<std::mutex> lock(FLock);
                    FStalls.push_back({name, std::chrono::duration<double>(last - FBase).count(), took});
                }
                last = now;
            }
        });
    }

    Clock::time_point FBase;
    std::atomic<bool> FStop{false};
    std::mutex FLock;
    std::vector<TStall> FStalls;
    std::vector<std::thread> FThreads;
};

}  // namespace benchstall
