// The screen filter's output pin: one RGB24 bottom-up video type of the
// configured size, frames paced by wall-clock time and grabbed from the
// display with GDI straight into the samples.
#pragma once

#include "baseclasses/source.h"
#include "screen_filter/frame_clock.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"

#include <cstdint>

class TBCPushSourceDesktop;

class TBCPushPinDesktop : public TBCSourceStream, public IAMStreamConfig, public IVideoCaptureFilterConfig {
public:
    // Built by the filter's creation function, which checks
    // ConstructionResult.
    explicit TBCPushPinDesktop(TBCPushSourceDesktop* filter);
    ~TBCPushPinDesktop() override;

    // IUnknown: the base pin's identity and the filter's lifetime.
    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // Quality messages are refused.
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

    using TBCSourceStream::GetMediaType;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT DoBufferProcessingLoop() override;

    // IAMStreamConfig
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** type) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* capabilities) override;

    // IVideoCaptureFilterConfig
    HRESULT STDMETHODCALLTYPE GetCaptureRect(LONG* x, LONG* y, LONG* width, LONG* height) override;
    HRESULT STDMETHODCALLTYPE SetCaptureRect(LONG x, LONG y, LONG width, LONG height) override;
    HRESULT STDMETHODCALLTYPE GetFrameRate(LONGLONG* rate) override;
    // Rates outside 1 to 10,000,000 are refused with E_INVALIDARG.
    HRESULT STDMETHODCALLTYPE SetFrameRate(LONGLONG rate) override;
    HRESULT STDMETHODCALLTYPE GetDrawCursor(BYTE* draw) override;
    HRESULT STDMETHODCALLTYPE SetDrawCursor(BOOL draw) override;

    // Grabs the rectangle into the buffer in the header's format (at most
    // bufferSize bytes, at most the header's rows). Returns the bitmap it
    // created, or an empty owner when the rectangle is empty or lies wholly
    // off the primary display; in the latter case the image is cleared to
    // black.
    TGdiObject<HBITMAP> CaptureScreen(const RECT& rect, BYTE* buffer, size_t bufferSize, BITMAPINFOHEADER* header);
    // Draws the cursor, if it is showing, relative to the captured corner.
    void DrawCursor(HDC memoryDC, POINT corner);

private:
    // A 88-byte VIDEOINFOHEADER block of the configured format.
    void FillVideoHeader(VIDEOINFOHEADER& header) const;

    int32_t FFrameNumber = 0;
    int64_t FFrameRate = 0;
    REFERENCE_TIME FAvgTimePerFrame = 333333;
    RECT FCaptureRect{0, 0, 640, 480};
    int32_t FImageHeight = 480;
    int32_t FImageWidth = 640;
    TBCCritSec FSharedState;
    uint64_t FStartTime = 0;
    BYTE FDrawCursor = TRUE;
    TFrameClock FClock;
};

// Frame duration in 100 ns units for a rate of 1 to 10,000,000 per second.
constexpr REFERENCE_TIME FrameDuration(int64_t framesPerSecond) { return 10000000 / framesPerSecond; }
