// The loopback filter's output pin: opens the default playback endpoint for
// shared-mode loopback capture when it is constructed, and on its streaming
// thread turns every capture packet into a time-stamped PCM sample.
#pragma once

#include "baseclasses/source.h"
#include "loopback_filter/core_audio_seam.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TBCAudioSource;

using TTaskWaveFormat = TTaskMem<WAVEFORMATEX>;

// The PCM formats the pin offers the endpoint, in the order tried.
struct FormatCandidates {
    static constexpr int Count = 16;
    static const int32_t Bits[Count];
    static const int32_t Rates[Count];
    static const int32_t Channels[Count];
};

class TBCAudioPin : public TBCSourceStream {
public:
    // Runs the whole Core Audio set-up, whose outcome SetupResult tells.
    // seam: null for the platform's own objects.
    explicit TBCAudioPin(TBCAudioSource* filter, const TCoreAudioSeam* seam = nullptr);
    ~TBCAudioPin() override;

    // Quality messages are not acted on: E_FAIL.
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
    // Buffers of one second of audio each, two unless downstream asks for a
    // count.
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
    // Copies the current packet (or zeros) into the sample, as much as fits in
    // whole frames, and stamps it from the count of frames delivered so far.
    HRESULT FillBuffer(IMediaSample* sample) override;
    using TBCSourceStream::GetMediaType;
    // Plain PCM of the chosen format; a pin whose set-up did not complete
    // has no type to offer and so refuses every connection.
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override;
    // Starts the audio client and polls it for packets until STOP. Each
    // packet is placed where the engine says it was played; a stretch in
    // which nothing plays becomes silence, once no late packet can still
    // claim it.
    HRESULT DoBufferProcessingLoop() override;

    // The outcome of the set-up: S_OK when it completed, S_FALSE when the
    // endpoint accepted no candidate format, otherwise the failing call's
    // result.
    HRESULT SetupResult() const { return FSetupResult; }
    bool SetupComplete() const { return FSetupComplete; }
    uint32_t Channels() const { return FChannels; }
    uint32_t BitsPerSample() const { return FBitsPerSample; }
    uint32_t SampleRate() const { return FSampleRate; }
    uint32_t BlockAlign() const { return FBlockAlign; }
    int64_t TotalFrames() const { return FTotalFrames; }

    // Length of one engine period: a packet lands within it of where it was
    // played, and silence goes out in steps of at least this.
    static constexpr int64_t PeriodMs = 10;
    // How late a packet may still arrive and find its time unclaimed: while
    // nothing plays, silence covers the elapsed time only up to this long ago
    // (a 10 ms packet held up by 100 ms arrives 110 ms after its first frame
    // was played). The stream then lags the elapsed time by at most this and
    // a period.
    static constexpr int64_t SilenceMarginMs = 110;

private:
    HRESULT Setup(const TCoreAudioSeam* seam);
    HRESULT ChooseFormat();
    void Diagnostic(const char* text) const;

    // Loop steps; each answers whether the loop goes on, else *result is what
    // the loop returns.
    bool DeliverPacket(HRESULT* result);
    bool DeliverSilence(uint32_t frames, HRESULT* result);
    // Puts `frames` frames of silence into samples, starting with *sample and
    // delivering each; *sample is then a fresh empty sample (or null when
    // none could be had). Answers as the loop steps do.
    bool DeliverSilenceBefore(int64_t frames, ComPtr<IMediaSample>* sample, HRESULT* result);
    // As DeliverFilled, except that a sample nothing fitted into is dropped
    // and the loop goes on.
    bool DeliverUnlessEmpty(HRESULT fill, ComPtr<IMediaSample> sample, HRESULT* result);
    // Where a packet of `frames` frames goes, given its flags and the time
    // (100-ns units) GetBuffer reported for its first frame: *silence frames
    // of silence before it, or its first *skipped frames dropped because
    // silence already took their time.
    void PlacePacket(uint32_t frames, DWORD flags, UINT64 playedAt, int64_t* silence, int64_t* skipped) const;
    // Frames of silence due now: the time that no late packet can still
    // claim and that the delivered audio does not yet cover; 0 when less
    // than a period is due.
    uint32_t SilenceDue() const;
    // Points FCaptureData at `bytes` bytes of silence.
    void PrepareSilence(size_t bytes);
    // Frames of this run before the moment `time` (100-ns units).
    int64_t FramesAt(int64_t time) const;
    // The time now, and when the client started, in 100-ns units on the
    // clock the engine stamps its packets with.
    int64_t Now() const;
    int64_t StreamStart(int64_t before) const;

    // Frames delivered since the pin was created; never reset.
    int64_t FTotalFrames = 0;
    TBCCritSec FSharedState;
    ComPtr<IMMDevice> FDevice;
    ComPtr<IMMDeviceEnumerator> FEnumerator;
    ComPtr<IAudioClient> FAudioClient;
    ComPtr<IAudioCaptureClient> FCaptureClient;
    // Working copy of the mix format, rewritten to the chosen candidate.
    TTaskWaveFormat FWaveFormat;
    uint32_t FFramesAvailable = 0;
    DWORD FBufferFlags = 0;
    uint32_t FPacketLength = 0;
    uint32_t FBlockAlign = 0;
    BYTE* FCaptureData = nullptr;
    std::vector<BYTE> FSilenceBuffer;
    ComPtr<IAudioClock> FAudioClock;
    uint32_t FChannels = 0;
    uint32_t FBitsPerSample = 0;
    uint32_t FSampleRate = 0;

    HRESULT FSetupResult = E_UNEXPECTED;
    bool FSetupComplete = false;
    std::function<void(const char*)> FDiagnostic;
    std::function<int64_t()> FClock;
    // The capture data is the silence buffer, which is not advanced.
    bool FCaptureSilent = false;
    // Frames the last FillBuffer put into its sample.
    uint32_t FFilledFrames = 0;
    // When the client started (100-ns units), the performance counter's
    // frequency, frames delivered since the client started, and where the
    // last packet's frames ended among them (silence after it is ours).
    int64_t FRunStart = 0;
    int64_t FCounterFrequency = 1;
    int64_t FRunFrames = 0;
    int64_t FRunPacketEnd = 0;
};
