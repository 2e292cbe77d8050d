#include "screen_filter/push_pin_desktop.h"

#include "screen_filter/push_source_desktop.h"
#include "shared/dib.h"
#include "shared/media_type.h"
#include "shared/owner.h"
#include "shared/ref_time.h"

#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr LONGLONG MaxFrameRate = 10000000;

// The connection type's header, when its format block holds a whole
// VIDEOINFOHEADER.
VIDEOINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& type) {
    if (type.pbFormat == nullptr || type.cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
}

// The count GetNumberOfCapabilities reports; every one of them describes the
// same format.
constexpr int CapabilityCount = 4;

LONG Saturate(int64_t value) {
    return static_cast<LONG>(
        std::clamp<int64_t>(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// One size and one frame length: the format the type describes.
void FillCapabilities(const VIDEOINFOHEADER& header, VIDEO_STREAM_CONFIG_CAPS& caps) {
    caps = VIDEO_STREAM_CONFIG_CAPS{};
    caps.guid = FORMAT_VideoInfo;
    caps.VideoStandard = AnalogVideo_None;
    const SIZE size{header.bmiHeader.biWidth, header.bmiHeader.biHeight};
    caps.InputSize = size;
    caps.MinCroppingSize = size;
    caps.MaxCroppingSize = size;
    caps.CropGranularityX = 1;
    caps.CropGranularityY = 1;
    caps.CropAlignX = 1;
    caps.CropAlignY = 1;
    caps.MinOutputSize = size;
    caps.MaxOutputSize = size;
    caps.OutputGranularityX = 1;
    caps.OutputGranularityY = 1;
    caps.MinFrameInterval = header.AvgTimePerFrame;
    caps.MaxFrameInterval = header.AvgTimePerFrame;
    const int64_t bits = header.AvgTimePerFrame > 0 ? static_cast<int64_t>(header.bmiHeader.biSizeImage) * 8 *
                                                          10000000 / header.AvgTimePerFrame
                                                    : 0;
    caps.MinBitsPerSecond = Saturate(bits);
    caps.MaxBitsPerSecond = Saturate(bits);
}

}  // namespace

TBCPushPinDesktop::TBCPushPinDesktop(TBCPushSourceDesktop* filter)
    : TBCSourceStream(PixentaFilterName, filter, OutputPinName), FClock(&timeGetTime) {
    timeBeginPeriod(1);
}

TBCPushPinDesktop::~TBCPushPinDesktop() { timeEndPeriod(1); }

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), object);
    if (iid == IID_IVideoCaptureFilterConfig)
        return GetInterface(static_cast<IVideoCaptureFilterConfig*>(this), object);
    return TBCSourceStream::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::Notify(IBaseFilter*, Quality) { return E_FAIL; }

// ---- media type and allocator ----

void TBCPushPinDesktop::FillVideoHeader(VIDEOINFOHEADER& header) const {
    header.rcSource = RECT{};
    header.rcTarget = RECT{};
    BITMAPINFOHEADER& bitmap = header.bmiHeader;
    bitmap.biCompression = BI_RGB;
    bitmap.biBitCount = 24;
    bitmap.biSize = sizeof(BITMAPINFOHEADER);
    bitmap.biWidth = FImageWidth;
    bitmap.biHeight = FImageHeight;
    bitmap.biPlanes = 1;
    bitmap.biSizeImage = static_cast<DWORD>(DibSize(bitmap));
    bitmap.biClrImportant = 0;
}

HRESULT TBCPushPinDesktop::GetMediaType(AM_MEDIA_TYPE* type) {
    TBCAutoLock lock(FLock);
    if (type == nullptr) return E_POINTER;
    type->cbFormat = sizeof(VIDEOINFO);
    type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(VIDEOINFO)));
    if (type->pbFormat == nullptr) {
        type->cbFormat = 0;
        return E_OUTOFMEMORY;
    }
    std::memset(type->pbFormat, 0, sizeof(VIDEOINFO));
    auto* header = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    FillVideoHeader(*header);
    header->AvgTimePerFrame = FAvgTimePerFrame;

    type->majortype = MEDIATYPE_Video;
    type->formattype = FORMAT_VideoInfo;
    type->bTemporalCompression = FALSE;
    type->bFixedSizeSamples = -1;
    type->subtype = GetBitmapSubtype(header->bmiHeader);
    type->lSampleSize = header->bmiHeader.biSizeImage;
    return S_OK;
}

HRESULT TBCPushPinDesktop::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    if (type->majortype != MEDIATYPE_Video || !type->bFixedSizeSamples) return E_INVALIDARG;
    if (type->subtype == GUID{}) return E_INVALIDARG;
    if (type->subtype != MEDIASUBTYPE_RGB24) return E_INVALIDARG;
    // A block too short for the header is refused rather than read past.
    const VIDEOINFOHEADER* header = VideoHeader(*type);
    if (header == nullptr) return E_INVALIDARG;
    if (header->bmiHeader.biWidth != FImageWidth) return E_INVALIDARG;
    if (std::llabs(static_cast<long long>(header->bmiHeader.biHeight)) != FImageHeight) return E_INVALIDARG;
    if (header->bmiHeader.biHeight < 0) return E_INVALIDARG;
    return S_OK;
}

HRESULT TBCPushPinDesktop::SetMediaType(const AM_MEDIA_TYPE* type) {
    TBCAutoLock lock(FLock);
    const HRESULT hr = TBCSourceStream::SetMediaType(type);
    if (FAILED(hr)) return hr;
    if (FMediaType->pbFormat == nullptr || FMediaType->cbFormat == 0) return E_UNEXPECTED;
    const VIDEOINFOHEADER* header = VideoHeader(*FMediaType);
    if (header == nullptr || header->bmiHeader.biBitCount != 24) return E_INVALIDARG;
    return hr;
}

HRESULT TBCPushPinDesktop::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (allocator == nullptr || request == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    const VIDEOINFOHEADER* header = VideoHeader(*FMediaType);
    if (header == nullptr) return E_UNEXPECTED;
    // A size that does not fit the allocator's signed field is refused.
    if (header->bmiHeader.biSizeImage > static_cast<DWORD>(std::numeric_limits<LONG>::max())) return E_INVALIDARG;
    request->cBuffers = 1;
    request->cbBuffer = static_cast<LONG>(header->bmiHeader.biSizeImage);
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

// ---- IAMStreamConfig ----

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::SetFormat(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    // The streaming thread reads the header under this lock.
    TBCAutoLock lock(FSharedState);
    TBCSourceStream::SetMediaType(type);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::GetFormat(AM_MEDIA_TYPE** type) {
    if (type == nullptr) return E_POINTER;
    *type = nullptr;
    if (VideoHeader(*FMediaType) == nullptr) {
        // No usable connection type yet: describe the configured format.
        return GetStreamCaps(0, type, nullptr);
    }
    *type = CreateMediaType(FMediaType.Get());
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::GetNumberOfCapabilities(int* count, int* size) {
    if (count == nullptr || size == nullptr) return E_POINTER;
    *count = CapabilityCount;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

// The documented contract: an index from 0 to the reported count less one
// gives a type and fills the caller's VIDEO_STREAM_CONFIG_CAPS (when given);
// a negative index is E_INVALIDARG and one past the count S_FALSE, with no
// type.
HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* capabilities) {
    if (type == nullptr) return E_POINTER;
    *type = nullptr;
    if (index < 0) return E_INVALIDARG;
    if (index >= CapabilityCount) return S_FALSE;
    TMediaTypePtr created(CreateMediaType(FMediaType.Get()));
    if (!created) return E_OUTOFMEMORY;
    AM_MEDIA_TYPE& result = *created;
    if (VideoHeader(result) == nullptr) {
        // Missing or short block: a header of our own in its place.
        TTaskMem<BYTE> block(static_cast<BYTE*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER))));
        if (!block) return E_OUTOFMEMORY;
        std::memset(block.Get(), 0, sizeof(VIDEOINFOHEADER));
        reinterpret_cast<VIDEOINFOHEADER*>(block.Get())->AvgTimePerFrame = FAvgTimePerFrame;
        // The copied block (if any) goes with the record's other contents.
        FreeMediaType(result);
        result.pbFormat = block.Take();
        result.cbFormat = sizeof(VIDEOINFOHEADER);
    }
    auto* header = reinterpret_cast<VIDEOINFOHEADER*>(result.pbFormat);
    FillVideoHeader(*header);
    result.majortype = MEDIATYPE_Video;
    result.subtype = MEDIASUBTYPE_RGB24;
    result.formattype = FORMAT_VideoInfo;
    result.bTemporalCompression = FALSE;
    result.bFixedSizeSamples = -1;
    result.lSampleSize = header->bmiHeader.biSizeImage;
    result.cbFormat = sizeof(VIDEOINFOHEADER);
    if (capabilities != nullptr) FillCapabilities(*header, *reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(capabilities));
    *type = created.release();
    return S_OK;
}

// ---- IVideoCaptureFilterConfig ----

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::GetCaptureRect(LONG* x, LONG* y, LONG* width, LONG* height) {
    if (x == nullptr || y == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *x = FCaptureRect.left;
    *y = FCaptureRect.top;
    *width = Saturate(int64_t{FCaptureRect.right} - FCaptureRect.left);
    *height = Saturate(int64_t{FCaptureRect.bottom} - FCaptureRect.top);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::SetCaptureRect(LONG x, LONG y, LONG width, LONG height) {
    // Sums beyond the 32-bit range stop at its edge.
    FCaptureRect = RECT{x, y, Saturate(int64_t{x} + width), Saturate(int64_t{y} + height)};
    FImageWidth = width;
    FImageHeight = height;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::GetFrameRate(LONGLONG* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = FFrameRate;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::SetFrameRate(LONGLONG rate) {
    // Below 1 there is no duration; above 10,000,000 it would be 0.
    if (rate < 1 || rate > MaxFrameRate) return E_INVALIDARG;
    FFrameRate = rate;
    FAvgTimePerFrame = FrameDuration(rate);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::GetDrawCursor(BYTE* draw) {
    if (draw == nullptr) return E_POINTER;
    *draw = FDrawCursor;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TBCPushPinDesktop::SetDrawCursor(BOOL draw) {
    FDrawCursor = static_cast<BYTE>(static_cast<DWORD>(draw) & 0xFF);
    return S_OK;
}

// ---- streaming ----

HRESULT TBCPushPinDesktop::DoBufferProcessingLoop() {
    const int64_t frameLength = HundredNsToMilliseconds(FAvgTimePerFrame);
    OnThreadStartPlay();
    FClock.Start();
    FStartTime = FClock.StartReading();
    FFrameNumber = 0;
    int64_t lastNumber = 0;

    for (;;) {
        Command command;
        if (CheckRequest(&command)) {
            if (command == CMD_STOP) return S_FALSE;
            Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : E_UNEXPECTED);
            continue;
        }

        const int64_t due = int64_t{FFrameNumber} * frameLength;
        if (FClock.Elapsed() < due) {
            const int64_t remaining = due - FClock.Elapsed();
            if (remaining > 0) Sleep(static_cast<DWORD>(remaining));
        }

        const int64_t number = FrameNumberAt(FClock.Elapsed(), FAvgTimePerFrame);
        if (number == lastNumber) {
            Sleep(1);
            continue;
        }
        FFrameNumber = static_cast<int32_t>(number);
        lastNumber = number;

        HRESULT result = S_OK;
        if (!DeliverNext(&result)) return result;
    }
}

HRESULT TBCPushPinDesktop::FillBuffer(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    TBCAutoLock lock(FSharedState);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const long size = sample->GetSize();
    VIDEOINFOHEADER* header = VideoHeader(*FMediaType);
    if (data != nullptr && size > 0 && header != nullptr) {
        const auto bufferSize = static_cast<DWORD>(size);
        header->bmiHeader.biSizeImage = std::min(header->bmiHeader.biSizeImage, bufferSize);
        CaptureScreen(FCaptureRect, data, bufferSize, &header->bmiHeader);
    }
    REFERENCE_TIME start = int64_t{FFrameNumber} * FAvgTimePerFrame;
    REFERENCE_TIME stop = start + FAvgTimePerFrame;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

TGdiObject<HBITMAP> TBCPushPinDesktop::CaptureScreen(const RECT& rect, BYTE* buffer, size_t bufferSize,
                                                     BITMAPINFOHEADER* header) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return {};
    const TMemoryDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display) return {};
    const TMemoryDC memory(CreateCompatibleDC(display.Get()));
    if (!memory) return {};

    RECT clamped = rect;
    clamped.left = std::max<LONG>(clamped.left, 0);
    clamped.top = std::max<LONG>(clamped.top, 0);
    clamped.right = std::min<LONG>(clamped.right, GetDeviceCaps(display.Get(), HORZRES));
    clamped.bottom = std::min<LONG>(clamped.bottom, GetDeviceCaps(display.Get(), VERTRES));
    const int64_t width = int64_t{clamped.right} - clamped.left;
    const int64_t height = int64_t{clamped.bottom} - clamped.top;

    // Only the one format the pin offers is written, never more rows than
    // the header describes or the buffer holds.
    const bool writable =
        header->biBitCount == 24 && header->biCompression == BI_RGB && header->biWidth > 0 && header->biHeight != 0;
    const uint64_t rowBytes = writable ? WidthBytes(24u * static_cast<uint32_t>(header->biWidth)) : 0;
    const uint64_t headerRows = writable ? std::llabs(static_cast<long long>(header->biHeight)) : 0;
    const uint64_t bufferRows = rowBytes ? bufferSize / rowBytes : 0;

    if (width <= 0 || height <= 0) {
        // Wholly off the primary display: a black frame.
        std::memset(buffer, 0, std::min<uint64_t>(rowBytes * std::min(headerRows, bufferRows), bufferSize));
        return {};
    }

    TGdiObject<HBITMAP> bitmap(
        CreateCompatibleBitmap(display.Get(), static_cast<int>(width), static_cast<int>(height)));
    if (!bitmap) return {};
    {
        // The bitmap leaves the memory DC before its bits are read.
        const TSelectGuard selected(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, static_cast<int>(width), static_cast<int>(height), display.Get(), clamped.left,
               clamped.top, SRCCOPY);
        if (FDrawCursor) DrawCursor(memory.Get(), POINT{clamped.left, clamped.top});
    }

    // Scan lines count from the bottom of the image the header describes, and
    // its rows line up with the bitmap's from the top. Asking for all of the
    // header's rows puts a bitmap shorter than the image (a rectangle running
    // past the bottom of the display) at the image's top, where it belongs;
    // asking for only the bitmap's rows would miss it altogether.
    const uint64_t lines = std::min(headerRows, bufferRows);
    if (lines > 0) {
        GetDIBits(display.Get(), bitmap.Get(), 0, static_cast<UINT>(lines), buffer,
                  reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
    }
    return bitmap;
}

void TBCPushPinDesktop::DrawCursor(HDC memoryDC, POINT corner) {
    CURSORINFO cursor{};
    cursor.cbSize = sizeof(cursor);
    if (!GetCursorInfo(&cursor) || cursor.flags != CURSOR_SHOWING) return;
    const TIconHandle icon(cursor.hCursor ? CopyIcon(cursor.hCursor) : nullptr);
    if (!icon) return;
    ICONINFO info{};
    if (!GetIconInfo(icon.Get(), &info)) return;
    // The information's bitmaps are ours to delete.
    const TGdiObject<HBITMAP> mask(info.hbmMask);
    const TGdiObject<HBITMAP> color(info.hbmColor);
    const int x = cursor.ptScreenPos.x - static_cast<int>(info.xHotspot) - corner.x;
    const int y = cursor.ptScreenPos.y - static_cast<int>(info.yHotspot) - corner.y;
    DrawIconEx(memoryDC, x, y, icon.Get(), GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0, nullptr,
               DI_NORMAL);
}
