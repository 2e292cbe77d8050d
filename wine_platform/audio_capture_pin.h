// The audio capture device's output pin: offers the device's PCM formats,
// lets IAMStreamConfig choose one, records the device's Core Audio endpoint
// in it while the graph runs, and stamps each sample from the count of frames
// delivered before it.
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
    // Reads the device's packets; while the graph runs, delivers them in
    // samples of a tenth of a second (silence when the input line is
    // disabled); while it is paused, drops them. A device error ends the
    // stream with EC_ERRORABORT.
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
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type,
                                            BYTE* capabilities) override;

private:
    // The format the pin streams or would stream now.
    TPcmFormat CurrentFormat() const;
    HRESULT OpenClient(const TPcmFormat& format);
    // Moves the device's waiting packets into FPendingBytes (or drops them).
    HRESULT ReadPackets(bool keep);
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

    std::atomic<bool> FRunning{false};
};
