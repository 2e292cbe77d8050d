#include "wine_platform/avi_mux.h"

#define TAVREL_WINE_PLATFORM_INTERNAL
#include "wine_platform/sample_trace.h"
#include "shared/media_type.h"

#include <uuids.h>

#include <algorithm>
#include <string>
#include <new>

namespace {

// "Input 01", "Input 02", ...
std::wstring InputPinName(size_t number) {
    std::wstring digits = std::to_wstring(number);
    if (digits.size() < 2) digits.insert(0, 1, L'0');
    return L"Input " + digits;
}

}  // namespace

// ---- TAviMuxInputPin ----

TAviMuxInputPin::TAviMuxInputPin(TAviMux* mux, TBCCritSec* lock, HRESULT*,
                                 const wchar_t* name)
    : TBCBaseInputPin(L"AVI Mux input", mux, lock, name), FMux(mux) {}

HRESULT TAviMuxInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    return TAviFileBuilder::CheckStreamType(type);
}

HRESULT TAviMuxInputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT hr = TBCBaseInputPin::CompleteConnect(receivePin);
    if (SUCCEEDED(hr)) FMux->InputConnected();
    return hr;
}

HRESULT STDMETHODCALLTYPE TAviMuxInputPin::Receive(IMediaSample* sample) {
    int trace = -1;
    if (sampletrace::Enabled() && sample != nullptr) {
        const bool video = CurrentMediaType().majortype == MEDIATYPE_Video;
        sampletrace::NoteThread(video ? sampletrace::VideoStreaming : sampletrace::SoundStreaming);
        REFERENCE_TIME start = 0, stop = 0;
        const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
        trace = sampletrace::Received(StreamNumber, video, timed ? &start : nullptr,
                                      FAllocator && FAllocator.Get() == FTimingAllocator
                                          ? sampletrace::LastHandedOut(FTiming)
                                          : -1);
    }
    bool waited = false;
    HRESULT hr = TBCBaseInputPin::Receive(sample);
    if (hr == S_OK) {
        hr = FMux->WriteSample(this, sample, trace, &waited);
        if (FAILED(hr)) SetStreamError(hr);
    }
    sampletrace::Returned(trace, hr, waited);
    return hr;
}

HRESULT STDMETHODCALLTYPE TAviMuxInputPin::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr) return E_POINTER;
    {
        TBCAutoLock lock(FLock);
        if (!FAllocator && sampletrace::Enabled()) {
            IMemAllocator* timing = nullptr;
            sampletrace::TTimingAllocator* notes = nullptr;
            if (SUCCEEDED(sampletrace::CreateTimingAllocator(&timing, &notes))) {
                FAllocator = ComPtr<IMemAllocator>::Attach(timing);
                FTiming = notes;
                FTimingAllocator = timing;
            }
        }
    }
    return TBCBaseInputPin::GetAllocator(allocator);
}

HRESULT STDMETHODCALLTYPE TAviMuxInputPin::EndOfStream() {
    const HRESULT hr = TBCBaseInputPin::EndOfStream();
    if (hr == S_OK) FMux->InputEnded();
    return hr;
}

// ---- TAviMuxOutputPin ----

TAviMuxOutputPin::TAviMuxOutputPin(TAviMux* mux, TBCCritSec* lock, HRESULT*)
    : TBCBaseOutputPin(L"AVI Mux output", mux, lock, L"AVI Out") {}

HRESULT TAviMuxOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    return type->majortype == MEDIATYPE_Stream && type->subtype == MEDIASUBTYPE_Avi
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TAviMuxOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (type == nullptr) return E_POINTER;
    *type = AM_MEDIA_TYPE{};
    type->majortype = MEDIATYPE_Stream;
    type->subtype = MEDIASUBTYPE_Avi;
    type->bFixedSizeSamples = FALSE;
    type->lSampleSize = 1;
    type->formattype = FORMAT_None;
    return S_OK;
}

HRESULT TAviMuxOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = TBCBaseOutputPin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    hr = pin->QueryInterface(IID_IStream, FStream.PutVoid());
    return FAILED(hr) ? VFW_E_NO_TRANSPORT : S_OK;
}

HRESULT TAviMuxOutputPin::BreakConnect() {
    FStream = nullptr;
    return TBCBaseOutputPin::BreakConnect();
}

HRESULT TAviMuxOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* properties) {
    // The file goes through IStream; the allocator only completes the
    // connection.
    properties->cBuffers = std::max<long>(properties->cBuffers, 1);
    properties->cbBuffer = std::max<long>(properties->cbBuffer, 16);
    if (properties->cbAlign <= 0) properties->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    return allocator->SetProperties(properties, &actual);
}

// ---- TAviMux ----

TAviMux::TAviMux(const wchar_t* name, IUnknown* outer, HRESULT* hr)
    : TBCBaseFilter(name, outer, &FStateLock, CLSID_AviDest) {
    FOutput = std::make_unique<TAviMuxOutputPin>(this, &FStateLock, hr);
    InputConnected();
}

TAviMux::~TAviMux() = default;

TBCUnknown* TAviMux::CreateFromFactory(TBCClassFactory* factory, IUnknown* outer) {
    HRESULT hr = S_OK;
    auto* mux = new (std::nothrow) TAviMux(factory->Name(), outer, &hr);
    if (mux != nullptr && FAILED(hr)) {
        delete mux;
        return nullptr;
    }
    return mux;
}

int TAviMux::GetPinCount() {
    TBCAutoLock lock(FStateLock);
    return static_cast<int>(FInputs.size()) + 1;
}

TBCBasePin* TAviMux::GetPin(int index) {
    TBCAutoLock lock(FStateLock);
    if (index == 0) return FOutput.get();
    if (index < 0 || index > static_cast<int>(FInputs.size())) return nullptr;
    return FInputs[index - 1].get();
}

void TAviMux::InputConnected() {
    TBCAutoLock lock(FStateLock);
    for (const auto& pin : FInputs)
        if (!pin->IsConnected()) return;
    HRESULT hr = S_OK;
    const std::wstring name = InputPinName(FInputs.size() + 1);
    FInputs.push_back(std::make_unique<TAviMuxInputPin>(this, &FStateLock, &hr, name.c_str()));
}

HRESULT STDMETHODCALLTYPE TAviMux::Pause() {
    TBCAutoLock lock(FStateLock);
    if (FState != State_Stopped) return TBCBaseFilter::Pause();
    if (!FOutput->IsConnected() || FOutput->Stream() == nullptr) return VFW_E_NOT_CONNECTED;
    HRESULT hr = TBCBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    {
        // The file begins now, with the streams connected now, so that the
        // writer downstream knows it is written through IStream.
        TBCAutoLock write(FWriteLock);
        FFailure = S_OK;
        FEndSent = false;
        FEndTime = 0;
        hr = BeginFile();
        FSessionOpen = SUCCEEDED(hr);
        if (FAILED(hr)) {
            FBuilder.reset();
            // Nothing more comes: the writer may let the file go when it
            // stops, as after a finished file.
            FOutput->Stream()->Commit(STGC_DEFAULT);
        }
    }
    if (FAILED(hr)) TBCBaseFilter::Stop();
    return hr;
}

HRESULT STDMETHODCALLTYPE TAviMux::Stop() {
    TBCAutoLock lock(FStateLock);
    const bool wasActive = FState != State_Stopped;
    // Inputs refuse samples from here on; a sample being written finishes
    // first (the write lock below waits for it).
    HRESULT result = S_OK;
    for (const auto& pin : FInputs)
        if (pin->IsConnected()) pin->Inactive();
    if (wasActive) {
        HRESULT finish = S_OK;
        {
            TBCAutoLock write(FWriteLock);
            FSessionOpen = false;
            IStream* stream = FOutput->Stream();
            if (SUCCEEDED(FFailure) && FBuilder) {
                // Frames the sources skipped at the end still count: every
                // video stream lasts until the last sample of any stream.
                for (const auto& pin : FInputs) {
                    if (SUCCEEDED(finish) && pin->StreamNumber >= 0 &&
                        pin->CurrentMediaType().majortype == MEDIATYPE_Video)
                        finish = FBuilder->PadVideo(pin->StreamNumber, FEndTime);
                }
                if (SUCCEEDED(finish)) finish = FBuilder->Finish();
            }
            // The writer closes its file once the last byte is in.
            if (stream != nullptr) stream->Commit(STGC_DEFAULT);
            if (FAILED(finish)) FFailure = finish;
        }
        if (FAILED(finish)) {
            NotifyEvent(EC_ERRORABORT, finish, 0);
            result = finish;
        }
    }
    const HRESULT base = TBCBaseFilter::Stop();
    return FAILED(result) ? result : base;
}

HRESULT TAviMux::BeginFile() {
    FBuilder = std::make_unique<TAviFileBuilder>();
    for (const auto& pin : FInputs) {
        pin->StreamNumber = -1;
        if (pin->IsConnected()) pin->StreamNumber = FBuilder->AddStream(pin->CurrentMediaType());
    }
    return FBuilder->Start(FOutput->Stream());
}

HRESULT TAviMux::WriteSample(TAviMuxInputPin* pin, IMediaSample* sample, int traceIndex, bool*) {
    HRESULT hr = S_OK;
    {
        TBCAutoLock write(FWriteLock);
        if (!FSessionOpen) return VFW_E_WRONG_STATE;
        if (FAILED(FFailure)) return FFailure;
        BYTE* data = nullptr;
        if (SUCCEEDED(hr)) hr = sample->GetPointer(&data);
        if (SUCCEEDED(hr)) {
            const long length = sample->GetActualDataLength();
            const DWORD size = length > 0 ? static_cast<DWORD>(length) : 0;
            const int stream = pin->StreamNumber;
            REFERENCE_TIME start = 0, stop = 0;
            const HRESULT timed = sample->GetTime(&start, &stop);
            if (SUCCEEDED(timed)) FEndTime = std::max(FEndTime, timed == S_OK ? stop : start + 1);
            if (stream < 0) {
                hr = VFW_E_NOT_CONNECTED;
            } else if (pin->CurrentMediaType().majortype == MEDIATYPE_Video) {
                hr = FBuilder->WriteVideo(stream, SUCCEEDED(timed) ? &start : nullptr, data, size,
                                          sample->IsSyncPoint() == S_OK);
            } else {
                hr = FBuilder->WriteAudio(stream, data, size);
            }
            sampletrace::Written(traceIndex, hr);
        }
        if (SUCCEEDED(hr)) return S_OK;
        FFailure = hr;
    }
    Fail(hr);
    return hr;
}

void TAviMux::Fail(HRESULT error) {
    NotifyEvent(EC_ERRORABORT, error, 0);
}

void TAviMux::InputEnded() {
    bool allEnded = true;
    {
        TBCAutoLock lock(FStateLock);
        for (const auto& pin : FInputs)
            if (pin->IsConnected() && !pin->AtEndOfStream()) allEnded = false;
        if (allEnded && FEndSent) return;
        if (allEnded) FEndSent = true;
    }
    if (allEnded) FOutput->DeliverEndOfStream();
}
