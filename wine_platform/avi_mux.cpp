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

TAviMuxInputPin::TAviMuxInputPin(TAviMux* mux, TBCCritSec* lock, HRESULT*, const wchar_t* name)
    : TBCBaseInputPin(L"AVI Mux input", mux, lock, name), FMux(mux) {}

HRESULT TAviMuxInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) { return TAviFileBuilder::CheckStreamType(type); }

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
        trace = sampletrace::Received(
            StreamNumber, video, timed ? &start : nullptr,
            FAllocator && FAllocator.Get() == FTimingAllocator ? sampletrace::LastHandedOut(FTiming) : -1);
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
    return type->majortype == MEDIATYPE_Stream && type->subtype == MEDIASUBTYPE_Avi ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
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

HRESULT TAviMuxOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
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

TAviMux::~TAviMux() {
    // Released without a stop: what is queued is written, the thread ends.
    if (FWriter.joinable()) StopWriting();
}

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
        hr = BeginFile();
        {
            std::lock_guard<std::mutex> queue(FQueueLock);
            FFailure = S_OK;
            FEndSent = false;
            FEndTime = 0;
            FSessionOpen = SUCCEEDED(hr);
        }
        if (FAILED(hr)) {
            FBuilder.reset();
            // Nothing more comes: the writer may let the file go when it
            // stops, as after a finished file.
            FOutput->Stream()->Commit(STGC_DEFAULT);
        }
    }
    if (FAILED(hr)) {
        TBCBaseFilter::Stop();
        return hr;
    }
    StartWriting();
    return hr;
}

HRESULT STDMETHODCALLTYPE TAviMux::Stop() {
    TBCAutoLock lock(FStateLock);
    const bool wasActive = FState != State_Stopped;
    // Inputs refuse samples from here on; what is queued is written first.
    HRESULT result = S_OK;
    for (const auto& pin : FInputs)
        if (pin->IsConnected()) pin->Inactive();
    if (wasActive) {
        StopWriting();
        HRESULT finish = S_OK;
        {
            TBCAutoLock write(FWriteLock);
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
            // The writer closes its file once the last byte is in; a file it
            // could not store whole is a failed recording.
            if (stream != nullptr) {
                const HRESULT committed = stream->Commit(STGC_DEFAULT);
                if (SUCCEEDED(finish) && SUCCEEDED(FFailure) && FAILED(committed)) finish = committed;
            }
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

void TAviMux::StartWriting() {
    {
        std::lock_guard<std::mutex> queue(FQueueLock);
        FQueueClosed = false;
    }
    FWriter = std::thread([this] { WriteQueue(); });
}

void TAviMux::StopWriting() {
    {
        std::lock_guard<std::mutex> queue(FQueueLock);
        FSessionOpen = false;
        FQueueClosed = true;
    }
    FQueueChanged.notify_all();
    if (FWriter.joinable()) FWriter.join();
    std::lock_guard<std::mutex> queue(FQueueLock);
    FSpare.clear();
}

HRESULT TAviMux::WriteSample(TAviMuxInputPin* pin, IMediaSample* sample, int traceIndex, bool* waited) {
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const long length = sample->GetActualDataLength();
    const DWORD size = length > 0 && data != nullptr ? static_cast<DWORD>(length) : 0;
    const bool video = pin->CurrentMediaType().majortype == MEDIATYPE_Video;
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);

    std::unique_ptr<TQueued> item;
    {
        std::unique_lock<std::mutex> queue(FQueueLock);
        const auto full = [&] {
            return (video && FQueuedFrames >= QueueFramesLimit) ||
                   (!FQueue.empty() && FQueuedBytes + size > QueueBytesLimit);
        };
        while (FSessionOpen && SUCCEEDED(FFailure) && full()) {
            *waited = true;
            FQueueChanged.wait(queue);
        }
        if (!FSessionOpen) return VFW_E_WRONG_STATE;
        if (FAILED(FFailure)) return FFailure;
        if (pin->StreamNumber < 0) {
            FFailure = VFW_E_NOT_CONNECTED;
            hr = FFailure;
        } else if (!FSpare.empty()) {
            item = std::move(FSpare.back());
            FSpare.pop_back();
        }
    }
    if (FAILED(hr)) {
        Fail(hr);
        return hr;
    }
    if (!item) item = std::make_unique<TQueued>();
    item->Stream = pin->StreamNumber;
    item->Video = video;
    item->Timed = SUCCEEDED(timed);
    item->Start = start;
    item->KeyFrame = sample->IsSyncPoint() == S_OK;
    item->TraceIndex = traceIndex;
    item->Data.assign(data, data + size);
    {
        std::lock_guard<std::mutex> queue(FQueueLock);
        if (!FSessionOpen) return VFW_E_WRONG_STATE;
        if (FAILED(FFailure)) return FFailure;
        if (SUCCEEDED(timed)) FEndTime = std::max(FEndTime, timed == S_OK ? stop : start + 1);
        FQueuedBytes += size;
        if (video) ++FQueuedFrames;
        FQueue.push_back(std::move(item));
    }
    FQueueChanged.notify_all();
    return S_OK;
}

void TAviMux::WriteQueue() {
    sampletrace::NoteThread(sampletrace::MuxWriter);
    for (;;) {
        std::unique_ptr<TQueued> item;
        HRESULT failure = S_OK;
        {
            std::unique_lock<std::mutex> queue(FQueueLock);
            FQueueChanged.wait(queue, [this] { return !FQueue.empty() || FQueueClosed; });
            if (FQueue.empty()) return;
            item = std::move(FQueue.front());
            FQueue.pop_front();
            FQueuedBytes -= item->Data.size();
            if (item->Video) --FQueuedFrames;
            FWriting = true;
            failure = FFailure;
        }
        FQueueChanged.notify_all();
        HRESULT hr = failure;
        if (SUCCEEDED(hr)) {
            sampletrace::NoteThread(sampletrace::MuxWriter);
            TBCAutoLock write(FWriteLock);
            const DWORD size = static_cast<DWORD>(item->Data.size());
            const BYTE* data = item->Data.data();
            hr = item->Video ? FBuilder->WriteVideo(item->Stream, item->Timed ? &item->Start : nullptr, data, size,
                                                    item->KeyFrame)
                             : FBuilder->WriteAudio(item->Stream, data, size);
        }
        // A sample queued before a failed write is not written.
        if (SUCCEEDED(failure)) sampletrace::Written(item->TraceIndex, hr);
        bool failedNow = false;
        {
            std::lock_guard<std::mutex> queue(FQueueLock);
            FWriting = false;
            if (FAILED(hr) && SUCCEEDED(FFailure)) {
                FFailure = hr;
                failedNow = true;
            }
            // A few buffers are kept for the next samples of this run.
            if (FSpare.size() < 4) FSpare.push_back(std::move(item));
        }
        FQueueChanged.notify_all();
        if (failedNow) Fail(hr);
    }
}

void TAviMux::Fail(HRESULT error) { NotifyEvent(EC_ERRORABORT, error, 0); }

void TAviMux::InputEnded() {
    bool allEnded = true;
    {
        TBCAutoLock lock(FStateLock);
        for (const auto& pin : FInputs)
            if (pin->IsConnected() && !pin->AtEndOfStream()) allEnded = false;
        if (allEnded && FEndSent) return;
        if (allEnded) FEndSent = true;
    }
    if (!allEnded) return;
    {
        // The end goes downstream once what came before it is in the file.
        std::unique_lock<std::mutex> queue(FQueueLock);
        FQueueChanged.wait(queue,
                           [this] { return (FQueue.empty() && !FWriting) || !FSessionOpen || FAILED(FFailure); });
    }
    FOutput->DeliverEndOfStream();
}
