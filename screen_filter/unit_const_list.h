// The Pixenta library's own constants: what registration writes for the
// screen capture filter. Names and the class identifier come from the shared
// unit.
#pragma once

#include "shared/unit_const_list.h"

#include <windows.h>
#include <dshow.h>

// Registered among the video capture devices, never picked by intelligent
// connect.
inline constexpr DWORD PixentaMerit = MERIT_DO_NOT_USE;

// The one registered pin "Output" with its one media type (video, RGB24).
extern const REGPINTYPES PixentaPinTypes;
extern const REGFILTERPINS PixentaPin;
