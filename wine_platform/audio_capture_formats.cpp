#include "wine_platform/audio_capture_formats.h"

#include <mmreg.h>
#include <uuids.h>

#include <cstring>

const TPcmFormat OfferedCaptureFormats[OfferedCaptureFormatCount] = {
    {16, 48000, 2}, {16, 44100, 2}, {16, 44100, 1}, {16, 48000, 1}, {8, 22050, 1}, {24, 48000, 2},
};

int FindOfferedFormat(const TPcmFormat& format) {
    for (int i = 0; i < OfferedCaptureFormatCount; ++i)
        if (OfferedCaptureFormats[i] == format) return i;
    return -1;
}

WAVEFORMATEX ToWaveFormat(const TPcmFormat& format) {
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = format.Channels;
    wave.nSamplesPerSec = format.Rate;
    wave.wBitsPerSample = format.Bits;
    wave.nBlockAlign = format.BlockAlign();
    wave.nAvgBytesPerSec = format.BytesPerSecond();
    wave.cbSize = 0;
    return wave;
}

HRESULT BuildPcmMediaType(const TPcmFormat& format, AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    auto* block = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (block == nullptr) return E_OUTOFMEMORY;
    *block = ToWaveFormat(format);
    *type = AM_MEDIA_TYPE{};
    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_PCM;
    type->bFixedSizeSamples = TRUE;
    type->bTemporalCompression = FALSE;
    type->lSampleSize = format.BlockAlign();
    type->formattype = FORMAT_WaveFormatEx;
    type->pUnk = nullptr;
    type->cbFormat = sizeof(WAVEFORMATEX);
    type->pbFormat = reinterpret_cast<BYTE*>(block);
    return S_OK;
}

bool ReadPcmMediaType(const AM_MEDIA_TYPE* type, TPcmFormat* format) {
    if (type == nullptr || format == nullptr) return false;
    if (type->majortype != MEDIATYPE_Audio || type->subtype != MEDIASUBTYPE_PCM ||
        type->formattype != FORMAT_WaveFormatEx || type->pbFormat == nullptr || type->cbFormat < sizeof(PCMWAVEFORMAT))
        return false;
    WAVEFORMATEX wave{};
    std::memcpy(&wave, type->pbFormat, type->cbFormat < sizeof wave ? type->cbFormat : sizeof wave);
    if (wave.wFormatTag != WAVE_FORMAT_PCM) return false;
    const TPcmFormat read{wave.wBitsPerSample, wave.nSamplesPerSec, wave.nChannels};
    const bool bitsOk = read.Bits == 8 || read.Bits == 16 || read.Bits == 24 || read.Bits == 32;
    if (!bitsOk || read.Channels < 1 || read.Channels > 2 || read.Rate < 1000 || read.Rate > 192000 ||
        wave.nBlockAlign != read.BlockAlign() || wave.nAvgBytesPerSec != read.BytesPerSecond())
        return false;
    *format = read;
    return true;
}

void WidenSamples(const BYTE* from, BYTE* to, WORD toBits, size_t samples) {
    const size_t width = toBits / 8;
    for (size_t i = 0; i < samples; ++i) {
        BYTE* out = to + i * width;
        std::memset(out, 0, width - 2);
        out[width - 2] = from[2 * i];
        out[width - 1] = from[2 * i + 1];
    }
}
