// Helpers of the conversion tests: the program's windows with settings for
// a conversion, the progress seen by every delivered output line, and a
// click on the dialog's cancel button while the converter runs.
#pragma once

#include "tests/app/app_test_support.h"

#include <string>
#include <vector>

namespace apptest {

// What the dialog showed right after each output line was handled.
struct ProgressSeen {
    std::vector<int> Positions;
    std::vector<std::wstring> Statuses;
    std::vector<std::wstring> Lines;
};

// Wraps the runner's line handler so that the dialog's state after every
// line is recorded.
inline void RecordProgress(ProgressSeen& seen) {
    TNewLineEvent original = FormMain->DosCommandConvert->OnNewLine;
    FormMain->DosCommandConvert->OnNewLine = [original, &seen](TObject* sender, const std::wstring& line,
                                                               TOutputType type) {
        original(sender, line, type);
        seen.Lines.push_back(line);
        seen.Positions.push_back(FormProgress->ProgressBarStatus->Position());
        seen.Statuses.push_back(FormProgress->LabelStatus->Caption());
    };
}

// Settings of a small MP4 conversion from aviPath into saveDir + fileName.
inline void SetConversion(const std::wstring& saveDir, const std::wstring& fileName, const std::wstring& aviPath,
                          std::int64_t seconds) {
    MvCaptureAndConvertInfo& s = *FormMain->FSettings;
    s.SaveDir = saveDir;
    s.FileName = fileName;
    s.TempAviPath = aviPath;
    s.Category = oscCaptureSize;
    s.MovieType = mtMpeg4;
    s.Quality = mqBest;
    s.Fps = 10;
    s.CapturePosLeft = 0;
    s.CapturePosTop = 0;
    s.CapturePosRight = 160;
    s.CapturePosBottom = 120;
    FormMain->FElapsedSec = seconds;
    FormMain->FStartTag = 1;
}

// Clicks the dialog's cancel button once, from the first timer message the
// GUI thread handles after this call (that is, inside the conversion's own
// message processing).
inline void ClickCancelSoon() {
    struct Fire {
        static void CALLBACK Proc(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            SendMessageW(FormProgress->BtnCancel->Handle(), BM_CLICK, 0, 0);
        }
    };
    SetTimer(nullptr, 0, 10, &Fire::Proc);
}

// Runs a command line from the test program's folder; the exit code, or -1.
inline long RunAndWait(std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    const std::wstring folder = testsupport::ProgramFolder();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, folder.c_str(),
                        &startup, &info))
        return -1;
    const TKernelHandle thread(info.hThread);
    const TKernelHandle process(info.hProcess);
    if (WaitForSingleObject(process.Get(), 120000) != WAIT_OBJECT_0) TerminateProcess(process.Get(), 1);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<long>(code);
}

}  // namespace apptest
