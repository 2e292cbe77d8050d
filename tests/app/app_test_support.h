// Helpers of the program's tests: scratch folders beside the test program
// and whole-file reads and writes.
#pragma once

#include "classlib/runtime/files.h"
#include "shared/owner.h"
#include "tests/fixtures/program_support.h"

#include <windows.h>

#include <string>

namespace apptest {

// An empty folder beside the test program, with its trailing delimiter.
inline std::wstring ScratchFolder(const std::wstring& name) {
    const std::wstring dir = testsupport::ProgramFolder() + L"scratch_" + name + L"\\";
    ForceDirectories(dir);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((dir + found.cFileName).c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    return dir;
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const TKernelHandle h(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return;
    DWORD written = 0;
    WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

inline std::string ReadFileBytes(const std::wstring& path) {
    const TKernelHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return {};
    std::string out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h.Get(), buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    return out;
}

}  // namespace apptest

#include "app/form_capture_size.h"
#include "app/form_capture_start_size.h"
#include "app/form_main.h"
#include "app/form_progress.h"
#include "classlib/runtime/application.h"
#include "classlib/runtime/text.h"
#include "classlib/ui/shell.h"

#include <deque>
#include <vector>

namespace apptest {

inline std::string Narrow(const std::wstring& w) { return WideToUtf8(w); }

// Answers the program's message boxes from a list (IDOK once it is used
// up) and records every text shown.
class MessageBoxAnswers {
public:
    MessageBoxAnswers() {
        FOld = Application->SetMessageBoxHandler(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                Texts.push_back(text);
                Captions.push_back(caption);
                Flags.push_back(flags);
                if (Answers.empty()) return IDOK;
                const int a = Answers.front();
                Answers.pop_front();
                return a;
            });
    }
    ~MessageBoxAnswers() { Application->SetMessageBoxHandler(FOld); }
    std::deque<int> Answers;
    std::vector<std::wstring> Texts;
    std::vector<std::wstring> Captions;
    std::vector<UINT> Flags;

private:
    TMessageBoxHandler FOld;
};

// The settings folder of the windows under test.
inline std::wstring ConfigDir() { return IncludeTrailingPathDelimiter(DocumentsFolder(nullptr)) + L"Tavrel3\\"; }

// The program's four windows, made as the program makes them, from a
// settings file given as text ("" for none) in the settings folder.
class ProgramWindows {
public:
    explicit ProgramWindows(const std::string& configIni = "") {
        Application->Initialize();
        Application->SetTitle(L"Tavrel3");
        ForceDirectories(ConfigDir());
        DeleteFileW((ConfigDir() + L"config.ini").c_str());
        if (!configIni.empty()) WriteFileBytes(ConfigDir() + L"config.ini", "[CONF]\r\n" + configIni);
        Application->CreateForm(FormMain);
        Application->CreateForm(FormCaptureSize);
        Application->CreateForm(FormProgress);
        Application->CreateForm(FormCaptureStartSize);
        FormMain->Show();
        Pump();
    }
    ~ProgramWindows() { DestroyApplicationForms(); }
    static void Pump(int rounds = 3) {
        for (int i = 0; i < rounds; ++i) {
            Application->ProcessMessages();
            Sleep(5);
        }
    }
    MessageBoxAnswers Boxes;
};

}  // namespace apptest
