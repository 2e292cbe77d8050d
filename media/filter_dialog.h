// Opening a filter's property pages, or a dialog of a Video for Windows
// capture driver or compressor.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstdint>

enum TFilterDialogKind : uint8_t {
    fdkPropertyPages = 0,   // ISpecifyPropertyPages: the property frame
    fdkCaptureDisplay = 1,  // IAMVfwCaptureDialogs, VfwCaptureDialog_Display
    fdkCaptureFormat = 2,   // IAMVfwCaptureDialogs, VfwCaptureDialog_Format
    fdkCaptureSource = 3,   // IAMVfwCaptureDialogs, VfwCaptureDialog_Source
    fdkCompressConfig = 4,  // IAMVfwCompressDialogs, VfwCompressDialog_Config
    fdkCompressAbout = 5,   // IAMVfwCompressDialogs, VfwCompressDialog_About
};

// Opens the dialog of the kind, modal to Parent, and returns when it is
// closed: the platform's result. S_FALSE without a filter or for an unknown
// kind; the platform's answer (E_NOINTERFACE, S_FALSE, ...) when the filter
// has no such dialog. Runs on the thread that owns Parent.
HRESULT ShowFilterDialog(HWND Parent, IBaseFilter* Filter, TFilterDialogKind Kind);
