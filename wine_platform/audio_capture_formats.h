// The PCM formats an audio capture device offers, their media types, and the
// widening of 16-bit samples into deeper ones.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstddef>

struct TPcmFormat {
    WORD Bits = 16;
    DWORD Rate = 44100;
    WORD Channels = 2;

    WORD BlockAlign() const { return static_cast<WORD>(Bits / 8 * Channels); }
    DWORD BytesPerSecond() const { return BlockAlign() * Rate; }
    bool operator==(const TPcmFormat&) const = default;
};

// What every device offers, in its enumeration order.
inline constexpr int OfferedCaptureFormatCount = 6;
extern const TPcmFormat OfferedCaptureFormats[OfferedCaptureFormatCount];

// Position of the format in the offered list, or -1.
int FindOfferedFormat(const TPcmFormat& format);

// The WAVEFORMATEX of the format (plain PCM, no extra bytes).
WAVEFORMATEX ToWaveFormat(const TPcmFormat& format);

// Fills an empty record with the audio/PCM type of the format and a
// task-allocated WAVEFORMATEX block.
HRESULT BuildPcmMediaType(const TPcmFormat& format, AM_MEDIA_TYPE* type);

// Reads a PCM type: audio major type, PCM subtype, a WAVEFORMATEX block that
// is long enough and self-consistent, 8, 16, 24 or 32 bits, 1 or 2 channels
// and a rate of 1000 to 192000. False for anything else.
bool ReadPcmMediaType(const AM_MEDIA_TYPE* type, TPcmFormat* format);

// Writes `samples` 16-bit samples as `toBits`-bit samples (16, 24 or 32),
// keeping their value: the extra low bytes are zero.
void WidenSamples(const BYTE* from, BYTE* to, WORD toBits, size_t samples);
