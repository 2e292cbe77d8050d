// The audio capture device's output pin: offers the device's PCM formats,
// lets IAMStreamConfig choose one, records the device's Core Audio endpoint
// in it while the graph runs, and stamps each sample from the count of frames
// delivered before it.
//
// The sound keeps the wall clock's pace as a device's own clock would: an
// endpoint that gives its first frame only some time after the stream began
// (opening it alone takes a good part of a second under Wine), or that skips
// frames, has the missing time filled with silence, so that a recording
// lasts as long as it ran and stays in step with its video. Like a screen
// source's frames, the sound of the first run counts from the moment the
// filter left the stopped state.
#pragma once

#include "baseclasses/source.h"
#include "shared/com_ptr.h"
#include "wine_platform/audio_capture_formats.h"

#include <audioclient.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class TAudioCaptureFilter;

class TAudioCapturePin : public TBCSourceStream, public IAMStreamConfig {
public:
    TAudioCapturePin(HRESULT* hr, TAudioCaptureFilter* filter);
    ~TAudioCapturePin() override;

    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // Disconnecting is accepted while the filter is active too (dynamic
    // reconnection, which IPin::Disconnect leaves to the pin): the streaming
    // ends first. A graph that removes the filter without having stopped it
    // (as one whose run failed further downstream can leave it, paused while
    // the graph counts itself stopped) then still gets it out of the graph
    // and can release it.
    HRESULT STDMETHODCALLTYPE Disconnect() override;

    // Quality messages are refused: a live device cannot go faster.
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

    // The offered formats; after SetFormat, only the chosen one.
    using TBCSourceStream::GetMediaType;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    // Buffers of a tenth of a second.
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    // Not used: the processing loop below fills samples from the device.
    HRESULT FillBuffer(IMediaSample* sample) override;

    // Opens and starts the endpoint in the connection's format (failing
    // Pause when it cannot), and closes it again.
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    // Reads the device's packets; while the graph runs, delivers them as
    // they come, in samples of at most a tenth of a second (silence when the
    // input line is disabled); while it is paused, drops them. A device
    // error ends the stream with EC_ERRORABORT.
    HRESULT DoBufferProcessingLoop() override;

    // Takes the format and the endpoint for the streaming thread, which must
    // not take the filter's lock.
    HRESULT Active() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Inactive() override;
    // The graph left the running state for paused.
    void Paused() { FRunning.store(false); }

    // IAMStreamConfig. SetFormat takes one of the offered formats while the
    // filter is stopped (reconnecting the pin when it is connected).
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** type) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* capabilities) override;

private:
    // The format the pin streams or would stream now.
    TPcmFormat CurrentFormat() const;
    HRESULT OpenClient(const TPcmFormat& format);
    // Moves the device's waiting packets into FPendingBytes (or drops them),
    // with silence first for the time the device gave no frames.
    HRESULT ReadPackets(bool keep);
    void AppendSilence(int64_t frames);
    // Delivers one sample from FPendingBytes: S_OK, S_FALSE when downstream
    // refused it, or no sample could be had.
    HRESULT DeliverPending(size_t bytes);

    TAudioCaptureFilter* FCaptureFilter;
    std::optional<TPcmFormat> FChosen;

    // Streaming thread only, between OnThreadCreate and OnThreadDestroy.
    ComPtr<IAudioClient> FClient;
    ComPtr<IAudioCaptureClient> FCapture;
    TPcmFormat FStreamFormat;
    WORD FCaptureBits = 16;
    std::vector<BYTE> FPendingBytes;
    int64_t FFramesDelivered = 0;
    std::wstring FEndpointId;
    // The first packet kept after the graph began to run places the sound
    // against the moment it began (FRunStart).
    bool FAlignToRunStart = false;
    bool FWasRunning = false;
    // The device position that the next packet continues, once known.
    uint64_t FNextDevicePosition = 0;
    bool FDevicePositionKnown = false;

    // Where the sound of a run begins (performance counter in 100 ns
    // units): when the filter left the stopped state for the first run after
    // it, when the graph ran again for a run after a pause. Set before
    // FRunning.
    std::atomic<int64_t> FRunStart{0};
    std::atomic<bool> FFirstRun{false};
    std::atomic<bool> FRunning{false};
};
