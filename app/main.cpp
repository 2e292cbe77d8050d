// The program's entry: one instance at a time, then the four windows and
// the message loop.
#include "app/form_capture_size.h"
#include "app/form_capture_start_size.h"
#include "app/form_main.h"
#include "app/form_progress.h"
#include "classlib/runtime/application.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The mutex stays owned (never released nor closed) until the process
    // ends. An abandoned one, left by an instance that was killed, is free.
    HANDLE running = CreateMutexA(nullptr, FALSE, "ZQ_SCREEN_CAST_3_RUNNING");
    if (running && WaitForSingleObject(running, 0) == WAIT_TIMEOUT) {
        Application->SetTitle(L"Tavrel3");
        ShowMessage(L"既に起動しています");
        return 0;
    }
    try {
        Application->Initialize();
        Application->SetTitle(L"Tavrel3");
        Application->CreateForm(FormMain);
        Application->CreateForm(FormCaptureSize);
        Application->CreateForm(FormProgress);
        Application->CreateForm(FormCaptureStartSize);
        Application->Run();
        DestroyApplicationForms();
    } catch (...) {
        Application->HandleException(nullptr);
        return 1;
    }
    return 0;
}
