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
    HRESULT DecideBufferSize(IMemAllocator* allocator,
                             ALLOCATOR_PROPERTIES* properties) override;
    // Copies the current packet (or zeros) into the sample, as much as fits in
    // whole frames, and stamps it from the count of frames delivered so far.
    HRESULT FillBuffer(IMediaSample* sample) override;
    using TBCSourceStream::GetMediaType;
    // Plain PCM of the chosen format; a pin whose set-up did not complete
    // has no type to offer and so refuses every connection.
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override;
    // Starts the audio client and polls it for packets until STOP; while the
    // endpoint is quiet, fills the elapsed time with silence.
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

    // Length of one engine period, the step of the silence filling.
    static constexpr int64_t PeriodMs = 10;

private:
    HRESULT Setup(const TCoreAudioSeam* seam);
    HRESULT ChooseFormat();
    void Diagnostic(const char* text) const;

    // Loop steps; each answers whether the loop goes on, else *result is what
    // the loop returns.
    bool DeliverPacket(HRESULT* result);
    bool DeliverSilence(uint32_t frames, HRESULT* result);
    // As DeliverFilled, except that a sample nothing fitted into is dropped
    // and the loop goes on.
    bool DeliverUnlessEmpty(HRESULT fill, ComPtr<IMediaSample> sample, HRESULT* result);
    // Frames of silence due now: the lag of the delivered audio behind the
    // time since the client started, once the endpoint has been quiet; 0 when
    // none is due.
    uint32_t SilenceDue() const;
    // Points FCaptureData at `bytes` bytes of silence.
    void PrepareSilence(size_t bytes);
    int64_t ElapsedFrames(int64_t counter) const;
    int64_t Counter() const;

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
    // Performance counter when the client started, at the last real packet,
    // and its frequency; frames delivered since the client started.
    int64_t FRunStart = 0;
    int64_t FLastPacket = 0;
    int64_t FCounterFrequency = 1;
    int64_t FRunFrames = 0;
};
