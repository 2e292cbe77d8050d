// The Audelo library's own constants: what registration writes for the
// loopback filter. Names and the class identifier come from the shared unit.
#pragma once

#include "shared/unit_const_list.h"

#include <windows.h>
#include <dshow.h>

// Registered in the legacy DirectShow filter category, never picked by
// intelligent connect.
inline constexpr DWORD AudeloMerit = MERIT_DO_NOT_USE;

// The one registered pin "Output" with its one media type (audio, WAVE).
extern const REGPINTYPES AudeloPinTypes;
extern const REGFILTERPINS AudeloPin;

// KS subformats of WAVEFORMATEXTENSIBLE.
inline constexpr GUID AudeloSubFormatPcm{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID AudeloSubFormatIeeeFloat{
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
