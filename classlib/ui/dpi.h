// Screen resolution of windows. Form descriptions give positions, sizes and
// fonts in pixels at DesignPixelsPerInch; a form scales them to the
// resolution of the monitor its window is on (see TCustomForm).
#pragma once

#include <windows.h>

constexpr int DesignPixelsPerInch = 96;

// The system's resolution: GetDpiForSystem where the platform has it (from
// Windows 10 1607 on), else the screen's LOGPIXELSY.
int SystemPixelsPerInch();

// The resolution of the monitor a window is on as the window sees it:
// GetDpiForWindow where the platform has it, else the system's.
int WindowPixelsPerInch(HWND Window);

// Value, given for OldPixelsPerInch, at NewPixelsPerInch (rounded).
inline int ScalePixels(int Value, int NewPixelsPerInch, int OldPixelsPerInch) {
    if (NewPixelsPerInch == OldPixelsPerInch || OldPixelsPerInch <= 0) return Value;
    return MulDiv(Value, NewPixelsPerInch, OldPixelsPerInch);
}
