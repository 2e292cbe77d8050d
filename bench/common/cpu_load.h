// "--load N": N CPU-bound processes (this program again, with "--spin") that
// run while the benchmark measures and end with it, so a busy machine is one
// option away. Each spins until its parent ends it by its process handle.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace benchload {

// Call first in main: a "--spin" child spins for ever.
inline void SpinIfAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--spin") == 0) {
            volatile unsigned long long x = 0;
            for (;;) x = x + 1;
        }
}

// "--load N" from the arguments (0 without it); removes both from argv.
inline int TakeLoadOption(int& argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--load") == 0) {
            const int n = std::atoi(argv[i + 1]);
            for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
            argc -= 2;
            return n;
        }
    return 0;
}

class TCpuLoad {
public:
    explicit TCpuLoad(int processes) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        for (int i = 0; i < processes; ++i) {
            std::wstring command = L"\"" + std::wstring(self) + L"\" --spin";
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &info)) {
                CloseHandle(info.hThread);
                FChildren.push_back(info.hProcess);
            }
        }
        if (processes > 0) std::printf("load: %zu CPU-bound processes running\n", FChildren.size());
        Sleep(processes > 0 ? 500 : 0);  // let them start spinning
    }
    ~TCpuLoad() {
        for (HANDLE child : FChildren) {
            TerminateProcess(child, 0);
            WaitForSingleObject(child, 5000);
            CloseHandle(child);
        }
    }
    TCpuLoad(const TCpuLoad&) = delete;
    TCpuLoad& operator=(const TCpuLoad&) = delete;

private:
    std::vector<HANDLE> FChildren;
};

}  // namespace benchload
