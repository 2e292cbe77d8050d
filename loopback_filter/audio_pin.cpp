#include "loopback_filter/audio_pin.h"

#include "loopback_filter/audio_source.h"
#include "loopback_filter/unit_const_list.h"
#include "shared/ref_time.h"

#include <uuids.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

const int32_t FormatCandidates::Bits[Count] = {16, 16, 16, 16, 16, 16, 16, 16, 8, 8, 8, 8, 8, 8, 8, 8};
const int32_t FormatCandidates::Rates[Count] = {48000, 44100, 24000, 16000, 44100, 48000, 24000, 16000,
                                                44100, 48000, 24000, 16000, 44100, 48000, 24000, 16000};
const int32_t FormatCandidates::Channels[Count] = {2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1};

namespace {

// Class context of the enumerator and the audio client: in-process server,
// in-process handler and local server.
constexpr DWORD CoreAudioContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// Bytes of the offered format block: a WAVEFORMATEX followed by zeros.
constexpr ULONG OfferedFormatSize = 66;

// Extensible formats carry 22 bytes after the WAVEFORMATEX header.
constexpr WORD ExtensibleExtraSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(ExtensibleExtraSize == 22);

// Stops the audio client on every way out of the streaming loop.
class TClientStopper {
public:
    explicit TClientStopper(IAudioClient* client) : FClient(client) {}
    ~TClientStopper() { FClient->Stop(); }
    TClientStopper(const TClientStopper&) = delete;
    TClientStopper& operator=(const TClientStopper&) = delete;

private:
    IAudioClient* FClient;
};

// Milliseconds of `frames` at `rate`, rounded to the nearest whole number,
// halves to even.
int64_t RoundedMilliseconds(int64_t frames, uint32_t rate) {
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(frames) / rate * 1000.0));
}

// value times numerator divided by denominator (positive), truncated, with
// no overflow for any value a clock or a frame count reaches.
int64_t Scale(int64_t value, int64_t numerator, int64_t denominator) {
    const int64_t whole = value / denominator;
    const int64_t part = value % denominator;
    return whole * numerator + part * numerator / denominator;
}

constexpr int64_t TicksPerSecond = 10000000;

void PutWord(BYTE* at, WORD value) { std::memcpy(at, &value, sizeof value); }
void PutDword(BYTE* at, DWORD value) { std::memcpy(at, &value, sizeof value); }

}  // namespace

TBCAudioPin::TBCAudioPin(TBCAudioSource* filter, const TCoreAudioSeam* seam)
    : TBCSourceStream(AudeloFilterName, filter, OutputPinName) {
    if (seam && seam->Diagnostic) FDiagnostic = seam->Diagnostic;
    if (seam && seam->Clock) FClock = seam->Clock;
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) FCounterFrequency = frequency.QuadPart;

    TComApartment apartment;
    FSetupResult = Setup(seam);
    // The Core Audio objects stay in the apartment they were made in: when
    // the set-up is what joined the thread to it, the thread stays joined.
    if (apartment.Result() == S_OK) apartment.Take();
    FSetupComplete = FSetupResult == S_OK && FCaptureClient && FBlockAlign != 0 && FSampleRate != 0;
}

TBCAudioPin::~TBCAudioPin() = default;

void TBCAudioPin::Diagnostic(const char* text) const {
    if (FDiagnostic)
        FDiagnostic(text);
    else
        OutputDebugStringA(text);
}

HRESULT TBCAudioPin::Setup(const TCoreAudioSeam* seam) {
    HRESULT hr;
    if (seam && seam->CreateEnumerator) {
        hr = seam->CreateEnumerator(FEnumerator.Put());
    } else {
        hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CoreAudioContext, __uuidof(IMMDeviceEnumerator),
                              FEnumerator.PutVoid());
    }
    if (hr != S_OK || !FEnumerator) {
        Diagnostic("IID_IMMDeviceEnumerator CreateInstance fail");
        FEnumerator = nullptr;
        return hr != S_OK ? hr : E_POINTER;
    }

    hr = FEnumerator->GetDefaultAudioEndpoint(eRender, eConsole, FDevice.Put());
    if (hr != S_OK || !FDevice) {
        Diagnostic("GetDefaultAudioEndpoint fail");
        FDevice = nullptr;
        return hr != S_OK ? hr : E_POINTER;
    }

    hr = FDevice->Activate(__uuidof(IAudioClient), CoreAudioContext, nullptr, FAudioClient.PutVoid());
    if (hr != S_OK || !FAudioClient) {
        Diagnostic("Activate IAudioClient fail");
        FAudioClient = nullptr;
        return hr != S_OK ? hr : E_POINTER;
    }

    hr = ChooseFormat();
    if (hr != S_OK) return hr;

    FBlockAlign = static_cast<uint32_t>(FWaveFormat->wBitsPerSample) * FWaveFormat->nChannels / 8;

    hr = FAudioClient->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK, MillisecondsTo100ns(1000), 0,
                                  FWaveFormat.Get(), nullptr);
    if (hr != S_OK) {
        Diagnostic(" Initialize FAudioClient fail");
        return hr;
    }

    Diagnostic("GetService1");
    hr = FAudioClient->GetService(__uuidof(IAudioCaptureClient), FCaptureClient.PutVoid());
    if (hr != S_OK || !FCaptureClient) {
        Diagnostic("GetService1 fail");
        FCaptureClient = nullptr;
        return hr != S_OK ? hr : E_POINTER;
    }

    // Without the clock the streaming loop reads the performance counter
    // itself; its absence is only reported.
    hr = FAudioClient->GetService(__uuidof(IAudioClock), FAudioClock.PutVoid());
    if (hr != S_OK || !FAudioClock) {
        Diagnostic("GetService2 fail");
        FAudioClock = nullptr;
    }

    Diagnostic("**** TBCAudioPin.Create Success ****");
    return S_OK;
}

HRESULT TBCAudioPin::ChooseFormat() {
    // The working copy is rewritten to each candidate; the reference copy
    // keeps the endpoint's own format and decides how to rewrite.
    WAVEFORMATEX* block = nullptr;
    HRESULT hr = FAudioClient->GetMixFormat(&block);
    if (SUCCEEDED(hr)) FWaveFormat.Reset(block);
    block = nullptr;
    TTaskWaveFormat reference;
    if (SUCCEEDED(hr) && FWaveFormat) {
        hr = FAudioClient->GetMixFormat(&block);
        if (SUCCEEDED(hr)) reference.Reset(block);
    }
    FChannels = FBitsPerSample = FSampleRate = 0;
    if (FAILED(hr) || !FWaveFormat || !reference) {
        Diagnostic("GetMixFormat fail");
        FWaveFormat.Reset();
        return FAILED(hr) ? hr : E_POINTER;
    }

    WAVEFORMATEX* work = FWaveFormat.Get();
    for (int index = 0; index < FormatCandidates::Count; ++index) {
        const int32_t bits = FormatCandidates::Bits[index];
        const int32_t rate = FormatCandidates::Rates[index];
        const int32_t channels = FormatCandidates::Channels[index];

        switch (reference->wFormatTag) {
        case WAVE_FORMAT_IEEE_FLOAT:
            work->wFormatTag = WAVE_FORMAT_PCM;
            break;
        case WAVE_FORMAT_EXTENSIBLE: {
            // Both blocks must really carry the extensible part before its
            // subformat is read or written.
            const bool floatSubFormat =
                reference->cbSize >= ExtensibleExtraSize && work->cbSize >= ExtensibleExtraSize &&
                reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(reference.Get())->SubFormat == AudeloSubFormatIeeeFloat;
            if (!floatSubFormat) {
                Diagnostic(" fomat error1");
                continue;
            }
            auto* extensible = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(work);
            extensible->SubFormat = AudeloSubFormatPcm;
            extensible->Samples.wValidBitsPerSample = static_cast<WORD>(bits);
            break;
        }
        default:
            Diagnostic(" fomat error2");
            continue;
        }

        work->wBitsPerSample = static_cast<WORD>(bits);
        work->nSamplesPerSec = static_cast<DWORD>(rate);
        work->nChannels = static_cast<WORD>(channels);
        work->nBlockAlign = static_cast<WORD>(work->nChannels * work->wBitsPerSample / 8);
        work->nAvgBytesPerSec = static_cast<DWORD>(work->nBlockAlign) * work->nSamplesPerSec;

        // A suggested closest match is never used, only freed.
        WAVEFORMATEX* closest = nullptr;
        hr = FAudioClient->IsFormatSupported(AUDCLNT_SHAREMODE_SHARED, work, &closest);
        TTaskWaveFormat suggestion(closest);
        if (hr == S_OK) {
            FChannels = static_cast<uint32_t>(channels);
            FBitsPerSample = static_cast<uint32_t>(bits);
            FSampleRate = static_cast<uint32_t>(rate);
            Diagnostic((std::to_string(index) + " OK").c_str());
            break;
        }
        Diagnostic("fomat error3");
    }

    if (FChannels == 0) {
        Diagnostic("fomat error 4");
        return S_FALSE;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCAudioPin::Notify(IBaseFilter*, Quality) { return E_FAIL; }

HRESULT TBCAudioPin::GetMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    TBCAutoLock lock(FSource->StateLock());
    // Without a working capture client there is no type to build: the pin
    // refuses every connection rather than record nothing.
    if (!FSetupComplete) return E_UNEXPECTED;

    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(OfferedFormatSize));
    if (!block) return E_OUTOFMEMORY;
    std::memset(block, 0, OfferedFormatSize);
    const WORD channels = static_cast<WORD>(FChannels);
    const WORD bits = static_cast<WORD>(FBitsPerSample);
    const WORD blockAlign = static_cast<WORD>(channels * bits / 8);
    PutWord(block + 0, WAVE_FORMAT_PCM);
    PutWord(block + 2, channels);
    PutDword(block + 4, FSampleRate);
    PutDword(block + 8, blockAlign * FSampleRate);
    PutWord(block + 12, blockAlign);
    PutWord(block + 14, bits);
    PutWord(block + 16, 0);

    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_WAVE;
    type->bFixedSizeSamples = TRUE;
    type->bTemporalCompression = FALSE;
    type->lSampleSize = 1;
    type->formattype = FORMAT_WaveFormatEx;
    type->pUnk = nullptr;
    type->cbFormat = OfferedFormatSize;
    type->pbFormat = block;
    return S_OK;
}

HRESULT TBCAudioPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
    if (!allocator || !properties) return E_POINTER;
    TBCAutoLock lock(FSource->StateLock());
    if (!FSetupComplete) return E_UNEXPECTED;

    ALLOCATOR_PROPERTIES wanted = *properties;
    if (wanted.cBuffers == 0) wanted.cBuffers = 2;
    // One second of audio per buffer.
    wanted.cbBuffer = static_cast<long>(FBlockAlign * FSampleRate);
    ALLOCATOR_PROPERTIES granted{};
    const HRESULT hr = allocator->SetProperties(&wanted, &granted);
    if (FAILED(hr)) return hr;
    if (granted.cbBuffer < wanted.cbBuffer) return E_FAIL;
    return S_OK;
}

HRESULT TBCAudioPin::FillBuffer(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    TBCAutoLock lock(FSharedState);
    FFilledFrames = 0;
    if (FBlockAlign == 0 || FSampleRate == 0) return E_UNEXPECTED;

    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const int64_t size = std::max<int64_t>(sample->GetSize(), 0);
    int64_t length = std::min<int64_t>(size, static_cast<int64_t>(FFramesAvailable) * FBlockAlign);
    // Whole frames only: a torn frame would shift every later sample's
    // channels and bytes.
    length -= length % FBlockAlign;
    if (FAILED(sample->SetActualDataLength(static_cast<long>(length)))) Diagnostic("SetActualDataLength fail");

    const auto frames = static_cast<uint32_t>(length / FBlockAlign);
    if (length > 0) {
        if (FCaptureData)
            std::memcpy(data, FCaptureData, static_cast<size_t>(length));
        else
            std::memset(data, FBitsPerSample == 8 ? 0x80 : 0, static_cast<size_t>(length));
    }

    REFERENCE_TIME start = MillisecondsTo100ns(RoundedMilliseconds(FTotalFrames, FSampleRate));
    REFERENCE_TIME stop = start + MillisecondsTo100ns(RoundedMilliseconds(frames, FSampleRate));
    sample->SetTime(&start, &stop);
    FTotalFrames += frames;
    FFilledFrames = frames;
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

int64_t TBCAudioPin::Now() const {
    // The engine's own reading of the counter, in the units and on the clock
    // of the packets' positions.
    if (FAudioClock) {
        UINT64 position = 0;
        UINT64 at = 0;
        if (SUCCEEDED(FAudioClock->GetPosition(&position, &at)) && at != 0 && at <= static_cast<UINT64>(INT64_MAX))
            return static_cast<int64_t>(at);
    }
    if (FClock) return FClock();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return Scale(now.QuadPart, TicksPerSecond, FCounterFrequency);
}

int64_t TBCAudioPin::StreamStart(int64_t before) const {
    // The clock's position counts what the stream played since it started:
    // the start is when that position was read, less the position.
    if (!FAudioClock) return before;
    UINT64 frequency = 0;
    UINT64 position = 0;
    UINT64 at = 0;
    if (FAILED(FAudioClock->GetFrequency(&frequency)) || frequency == 0 || frequency > static_cast<UINT64>(INT64_MAX) ||
        FAILED(FAudioClock->GetPosition(&position, &at)) || at == 0 || at > static_cast<UINT64>(INT64_MAX) ||
        position > static_cast<UINT64>(INT64_MAX))
        return before;
    const int64_t read = static_cast<int64_t>(at);
    const int64_t start = read - Scale(static_cast<int64_t>(position), TicksPerSecond, static_cast<int64_t>(frequency));
    // It cannot have started before it was asked to, nor after the reading.
    return std::clamp(start, std::min(before, read), read);
}

int64_t TBCAudioPin::FramesAt(int64_t time) const { return Scale(time - FRunStart, FSampleRate, TicksPerSecond); }

void TBCAudioPin::PlacePacket(uint32_t frames, DWORD flags, UINT64 playedAt, int64_t* silence, int64_t* skipped) const {
    *silence = 0;
    *skipped = 0;
    // Without a position the packet follows what went before.
    if (playedAt == 0 || playedAt > static_cast<UINT64>(INT64_MAX) || (flags & AUDCLNT_BUFFERFLAGS_TIMESTAMP_ERROR))
        return;
    // No packet is handed out before its last frame was played: a position
    // later than that is not believed.
    const int64_t place = std::min(FramesAt(static_cast<int64_t>(playedAt)), FramesAt(Now()) - frames);
    const int64_t gap = place - FRunFrames;
    // Below a period the packet simply follows on, unless the engine says it
    // lost frames just before it.
    const int64_t period = std::max<int64_t>(FSampleRate * PeriodMs / 1000, 1);
    const int64_t least = (flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) ? 1 : period;
    if (gap >= least) {
        *silence = gap;
        return;
    }
    // Silence given out after the last packet already took the time of this
    // packet's first frames: those go. Real audio is never dropped for other
    // real audio.
    if (gap < 0 && FRunFrames > FRunPacketEnd)
        *skipped = std::min<int64_t>(frames, FRunFrames - std::max(place, FRunPacketEnd));
}

uint32_t TBCAudioPin::SilenceDue() const {
    const int64_t margin = FSampleRate * SilenceMarginMs / 1000;
    const int64_t period = std::max<int64_t>(FSampleRate * PeriodMs / 1000, 1);
    const int64_t due = FramesAt(Now()) - margin - FRunFrames;
    if (due < period) return 0;
    return static_cast<uint32_t>(std::min<int64_t>(due, UINT32_MAX / 8));
}

void TBCAudioPin::PrepareSilence(size_t bytes) {
    // Unsigned 8-bit PCM is silent at its mid value.
    FSilenceBuffer.assign(bytes, FBitsPerSample == 8 ? 0x80 : 0);
    FCaptureData = FSilenceBuffer.data();
    FCaptureSilent = true;
}

bool TBCAudioPin::DeliverUnlessEmpty(HRESULT fill, ComPtr<IMediaSample> sample, HRESULT* result) {
    // Nothing fitted: the sample carries nothing worth delivering.
    if (fill == S_OK && FFilledFrames == 0) return true;
    return DeliverFilled(fill, std::move(sample), result);
}

bool TBCAudioPin::DeliverSilence(uint32_t frames, HRESULT* result) {
    ComPtr<IMediaSample> sample;
    if (FAILED(GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample) {
        Diagnostic("GetDeliveryBuffer fail");
        Sleep(1);
        return true;
    }
    const int64_t room = std::max<int64_t>(sample->GetSize(), 0);
    PrepareSilence(static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames) * FBlockAlign, room)));
    FFramesAvailable = frames;
    FBufferFlags = AUDCLNT_BUFFERFLAGS_SILENT;
    const HRESULT fill = FillBuffer(sample.Get());
    FRunFrames += FFilledFrames;
    return DeliverUnlessEmpty(fill, std::move(sample), result);
}

bool TBCAudioPin::DeliverSilenceBefore(int64_t frames, ComPtr<IMediaSample>* sample, HRESULT* result) {
    while (frames > 0 && *sample) {
        const int64_t room = std::max<int64_t>((*sample)->GetSize(), 0);
        const int64_t part = std::min<int64_t>(frames, room / FBlockAlign);
        PrepareSilence(static_cast<size_t>(part * FBlockAlign));
        FFramesAvailable = static_cast<uint32_t>(part);
        const HRESULT fill = FillBuffer(sample->Get());
        const uint32_t filled = FFilledFrames;
        FRunFrames += filled;
        frames -= filled;
        if (fill == S_OK && filled == 0) {
            // A sample that holds no frame: no silence can go out.
            *sample = nullptr;
            return true;
        }
        if (!DeliverFilled(fill, std::move(*sample), result)) return false;
        *sample = nullptr;
        if (FAILED(GetDeliveryBuffer(sample->Put(), nullptr, nullptr, 0))) *sample = nullptr;
    }
    return true;
}

bool TBCAudioPin::DeliverPacket(HRESULT* result) {
    ComPtr<IMediaSample> sample;
    if (FAILED(GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample) {
        // The packet stays with the capture client for the next try.
        Diagnostic("GetDeliveryBuffer fail");
        Sleep(1);
        return true;
    }

    FCaptureData = nullptr;
    FFramesAvailable = 0;
    FBufferFlags = 0;
    UINT64 devicePosition = 0;
    UINT64 playedAt = 0;
    const HRESULT got =
        FCaptureClient->GetBuffer(&FCaptureData, &FFramesAvailable, &FBufferFlags, &devicePosition, &playedAt);
    if (FAILED(got)) {
        // What a failed call leaves in its out fields is not trusted.
        Diagnostic("GetBuffer fail");
        FCaptureData = nullptr;
        FFramesAvailable = 0;
    }
    const uint32_t packetFrames = FFramesAvailable;
    if (packetFrames == 0) {
        FCaptureClient->ReleaseBuffer(0);
        Sleep(1);
        return true;
    }
    const DWORD flags = FBufferFlags;
    BYTE* packetData = (flags & AUDCLNT_BUFFERFLAGS_SILENT) ? nullptr : FCaptureData;

    int64_t silence = 0;
    int64_t skipped = 0;
    PlacePacket(packetFrames, flags, playedAt, &silence, &skipped);
    if (silence > 0) {
        if (!DeliverSilenceBefore(silence, &sample, result)) {
            FCaptureClient->ReleaseBuffer(packetFrames);
            return false;
        }
        if (!sample) {
            // No sample left for the packet: it is lost, and the next packet's
            // place fills its time.
            Diagnostic("GetDeliveryBuffer fail");
            FCaptureClient->ReleaseBuffer(packetFrames);
            return true;
        }
    }
    const auto remainingFrames = static_cast<uint32_t>(packetFrames - skipped);
    if (remainingFrames == 0) {
        FCaptureClient->ReleaseBuffer(packetFrames);
        return true;
    }

    if (packetData) {
        FCaptureData = packetData + static_cast<size_t>(skipped) * FBlockAlign;
        FCaptureSilent = false;
    } else {
        const int64_t room = std::max<int64_t>(sample->GetSize(), 0);
        PrepareSilence(
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(remainingFrames) * FBlockAlign, room)));
    }
    FBufferFlags = flags;

    // A packet longer than a sample goes out in several samples while it is
    // held, so none of it is lost.
    uint32_t remaining = remainingFrames;
    for (;;) {
        FFramesAvailable = remaining;
        const HRESULT fill = FillBuffer(sample.Get());
        const uint32_t filled = FFilledFrames;
        FRunFrames += filled;
        FRunPacketEnd = FRunFrames;
        remaining -= filled;
        if (fill != S_OK || remaining == 0 || filled == 0) {
            FCaptureClient->ReleaseBuffer(packetFrames);
            return DeliverUnlessEmpty(fill, std::move(sample), result);
        }
        const HRESULT delivered = Deliver(sample.Get());
        sample = nullptr;
        if (delivered != S_OK) {
            FCaptureClient->ReleaseBuffer(packetFrames);
            *result = S_OK;
            return false;
        }
        if (!FCaptureSilent) FCaptureData += static_cast<size_t>(filled) * FBlockAlign;
        if (FAILED(GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample) {
            Diagnostic("GetDeliveryBuffer fail");
            FCaptureClient->ReleaseBuffer(packetFrames);
            return true;
        }
    }
}

HRESULT TBCAudioPin::DoBufferProcessingLoop() {
    if (!FSetupComplete) {
        // An incomplete pin refuses to connect, so this is never reached;
        // should it be, the stream ends as an error rather than run silent.
        DeliverEndOfStream();
        FSource->NotifyEvent(EC_ERRORABORT, E_UNEXPECTED, 0);
        return E_UNEXPECTED;
    }

    OnThreadStartPlay();
    const int64_t beforeStart = Now();
    FAudioClient->Start();
    TClientStopper stopper(FAudioClient.Get());
    FRunStart = StreamStart(beforeStart);
    FRunFrames = 0;
    FRunPacketEnd = 0;

    Command command = CMD_INIT;
    do {
        while (!CheckRequest(&command)) {
            UINT32 next = 0;
            if (FAILED(FCaptureClient->GetNextPacketSize(&next))) next = 0;
            FPacketLength = next;
            HRESULT result = S_OK;
            if (FPacketLength == 0) {
                const uint32_t due = SilenceDue();
                if (due == 0) {
                    Sleep(1);
                    continue;
                }
                if (!DeliverSilence(due, &result)) return result;
                continue;
            }
            if (!DeliverPacket(&result)) return result;
        }
        if (command == CMD_RUN || command == CMD_PAUSE)
            Reply(S_OK);
        else if (command != CMD_STOP)
            Reply(E_UNEXPECTED);
    } while (command != CMD_STOP);
    return S_FALSE;
}
