// A small source filter on the base classes: one pin offering 8x4 RGB32
// frames, whose behaviour the tests steer through public fields.
#pragma once

#include "baseclasses/baseclasses.h"
#include "shared/media_type.h"
#include "shared/unit_const_list.h"

#include <atomic>
#include <cstring>
#include <memory>

// {6E1F5E11-4C43-4C4B-9E0A-2D1B5A7C0001}
inline constexpr CLSID CLSID_TestSource{0x6E1F5E11, 0x4C43, 0x4C4B, {0x9E, 0x0A, 0x2D, 0x1B, 0x5A, 0x7C, 0x00, 0x01}};

class TTestPin : public TBCSourceStream {
public:
    static constexpr LONG Width = 8;
    static constexpr LONG Height = 4;
    static constexpr REFERENCE_TIME Duration = 10000;

    explicit TTestPin(TBCSource* filter) : TBCSourceStream(L"Test", filter, L"Out") {}

    using TBCSourceStream::GetMediaType;
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override {
        if (type == nullptr) return E_POINTER;
        auto* header = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        if (header == nullptr) return E_OUTOFMEMORY;
        std::memset(header, 0, sizeof *header);
        header->AvgTimePerFrame = Duration;
        header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header->bmiHeader.biWidth = Width;
        header->bmiHeader.biHeight = Height;
        header->bmiHeader.biPlanes = 1;
        header->bmiHeader.biBitCount = 32;
        header->bmiHeader.biSizeImage = Width * Height * 4;
        *type = AM_MEDIA_TYPE{};
        type->majortype = MEDIATYPE_Video;
        type->subtype = MEDIASUBTYPE_RGB32;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = Width * Height * 4;
        type->formattype = FORMAT_VideoInfo;
        type->cbFormat = sizeof(VIDEOINFOHEADER);
        type->pbFormat = reinterpret_cast<BYTE*>(header);
        return S_OK;
    }

    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        ++DecideCalls;
        request->cBuffers = 2;
        request->cbBuffer = Width * Height * 4;
        ALLOCATOR_PROPERTIES actual{};
        const HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }

    HRESULT FillBuffer(IMediaSample* sample) override {
        const LONG n = ++Filled;
        if (n == FailAt) return FailWith;
        if (n == EndAt) return S_FALSE;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, &n, sizeof n);
        REFERENCE_TIME start = n * Duration, stop = start + Duration;
        sample->SetTime(&start, &stop);
        Sleep(2);
        return S_OK;
    }

    HRESULT OnThreadCreate() override {
        ThreadId = GetCurrentThreadId();
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        Apartment = SUCCEEDED(CoGetApartmentType(&type, &qualifier)) ? type : APTTYPE_CURRENT;
        ++ThreadsCreated;
        return S_OK;
    }
    HRESULT OnThreadDestroy() override {
        ++ThreadsDestroyed;
        return S_OK;
    }

    // Steering and observations.
    std::atomic<LONG> Filled{0};
    LONG FailAt = -1;
    HRESULT FailWith = E_FAIL;
    LONG EndAt = -1;
    std::atomic<int> DecideCalls{0};
    std::atomic<int> ThreadsCreated{0};
    std::atomic<int> ThreadsDestroyed{0};
    std::atomic<DWORD> ThreadId{0};
    std::atomic<int> Apartment{-1};
};

class TTestSource : public TBCSource {
public:
    TTestSource(const wchar_t* name, IUnknown* outer)
        : TBCSource(name, outer, CLSID_TestSource), Pin(new TTestPin(this)) {
        PinResult = Pin->ConstructionResult();
    }

    static HRESULT CreateFromFactory(TBCClassFactory* factory, IUnknown* outer, TBCUnknown** object) {
        TTestSource* filter = nullptr;
        const HRESULT hr =
            TBCBuildSource(&filter, [&] { return std::make_unique<TTestSource>(factory->Name(), outer); });
        *object = filter;
        return hr;
    }

    HRESULT PinResult = S_OK;
    TTestPin* Pin;  // owned by the base filter's pin list
};
