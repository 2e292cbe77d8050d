// The prefix's small drive Y: (a few MiB that the test environment mounts
// where it can), filled up to a given room, for the tests of a drive that
// runs full. Tests skip themselves without it.
#pragma once

#include "tests/app/app_test_support.h"

#include <windows.h>

#include <string>

namespace apptest {

class SmallDrive {
public:
    // Y:\work\ emptied and the drive filled until about room bytes are free;
    // Ready() is false without the drive.
    explicit SmallDrive(ULONGLONG room) {
        ULARGE_INTEGER free{}, total{};
        if (!GetDiskFreeSpaceExW(L"Y:\\", &free, &total, nullptr) || total.QuadPart > 64ull << 20) return;
        DeleteFileW(Filler().c_str());
        Folder = L"Y:\\work\\";
        CreateDirectoryW(Folder.c_str(), nullptr);
        EmptyFolder(Folder);
        const TKernelHandle h(
            CreateFileW(Filler().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) return;
        const std::string block(4096, '\0');
        for (;;) {
            if (!GetDiskFreeSpaceExW(L"Y:\\", &free, nullptr, nullptr)) return;
            if (free.QuadPart <= room) break;
            DWORD written = 0;
            if (!WriteFile(h.Get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) || !written)
                break;
        }
        FReady = true;
    }
    ~SmallDrive() {
        if (Folder.empty()) return;
        EmptyFolder(Folder);
        DeleteFileW(Filler().c_str());
    }
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;

    bool Ready() const { return FReady; }
    // Y:\work\, with its trailing delimiter.
    std::wstring Folder;

private:
    static std::wstring Filler() { return L"Y:\\filler.bin"; }
    static void EmptyFolder(const std::wstring& dir) {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((dir + L"*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((dir + found.cFileName).c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    bool FReady = false;
};

}  // namespace apptest
