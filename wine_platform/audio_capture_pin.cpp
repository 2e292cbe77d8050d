#include "wine_platform/audio_capture_pin.h"

#include "shared/media_type.h"
#include "wine_platform/audio_capture_filter.h"
#include "wine_platform/audio_endpoint.h"

#include <uuids.h>

#include <algorithm>
#include <cstring>

namespace {

// Samples of at most a tenth of a second, delivered once a hundredth of a
// second is waiting: the sound reaches the multiplexer as it comes, so little
// of it is left behind when the graph stops.
constexpr DWORD SamplesPerSecond = 10;
constexpr DWORD DeliveriesPerSecond = 100;
// At most this much silence fills one gap: beyond it the device's clock is
// not believed.
constexpr int64_t MaxGapSeconds = 10;
// Core Audio's own buffer: one second.
constexpr REFERENCE_TIME EndpointBufferLength = 10000000;
constexpr DWORD ConvertingFlags = AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;

DWORD FramesPerSample(const TPcmFormat& format) { return std::max<DWORD>(1, format.Rate / SamplesPerSecond); }

void FillSilence(BYTE* data, size_t bytes, WORD bits) {
    // 8-bit PCM is unsigned: its silence is the middle value.
    std::memset(data, bits == 8 ? 0x80 : 0, bytes);
}

// The performance counter in 100 ns units, as Core Audio gives packet times.
int64_t CounterNow() {
    LARGE_INTEGER frequency{}, now{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !QueryPerformanceCounter(&now)) return 0;
    const int64_t seconds = now.QuadPart / frequency.QuadPart;
    const int64_t rest = now.QuadPart % frequency.QuadPart;
    return seconds * 10000000 + rest * 10000000 / frequency.QuadPart;
}

}  // namespace

TAudioCapturePin::TAudioCapturePin(HRESULT* hr, TAudioCaptureFilter* filter)
    : TBCSourceStream(L"Audio capture pin", filter, L"Capture"), FCaptureFilter(filter) {
    if (hr != nullptr && FAILED(ConstructionResult())) *hr = ConstructionResult();
}

TAudioCapturePin::~TAudioCapturePin() = default;

HRESULT STDMETHODCALLTYPE TAudioCapturePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), object);
    return TBCSourceStream::NonDelegatingQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE TAudioCapturePin::Disconnect() {
    TBCAutoLock lock(FLock);
    if (FFilter->IsStopped()) return TBCSourceStream::Disconnect();
    if (!FConnected) return S_FALSE;
    // Nothing may be delivered to a pin we no longer hold.
    FRunning.store(false);
    EndStreaming();
    const HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    FConnected = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TAudioCapturePin::Notify(IBaseFilter*, Quality) { return E_FAIL; }

// ---- media types and allocator ----

HRESULT TAudioCapturePin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    TBCAutoLock lock(FLock);
    if (FChosen) return position == 0 ? BuildPcmMediaType(*FChosen, type) : VFW_S_NO_MORE_ITEMS;
    if (position >= OfferedCaptureFormatCount) return VFW_S_NO_MORE_ITEMS;
    return BuildPcmMediaType(OfferedCaptureFormats[position], type);
}

HRESULT TAudioCapturePin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    TPcmFormat format;
    if (!ReadPcmMediaType(type, &format)) return VFW_E_TYPE_NOT_ACCEPTED;
    TBCAutoLock lock(FLock);
    const bool offered = FChosen ? *FChosen == format : FindOfferedFormat(format) >= 0;
    return offered ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

TPcmFormat TAudioCapturePin::CurrentFormat() const {
    TPcmFormat format;
    if (IsConnected() && ReadPcmMediaType(&CurrentMediaType(), &format)) return format;
    return FChosen ? *FChosen : OfferedCaptureFormats[0];
}

HRESULT TAudioCapturePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (allocator == nullptr || request == nullptr) return E_POINTER;
    TBCAutoLock lock(FLock);
    const TPcmFormat format = CurrentFormat();
    ALLOCATOR_PROPERTIES wanted = *request;
    wanted.cBuffers = std::max<long>(wanted.cBuffers, 8);
    wanted.cbBuffer = std::max<long>(wanted.cbBuffer, static_cast<long>(FramesPerSample(format) * format.BlockAlign()));
    if (wanted.cbAlign <= 0) wanted.cbAlign = 1;
    ALLOCATOR_PROPERTIES granted{};
    const HRESULT hr = allocator->SetProperties(&wanted, &granted);
    if (FAILED(hr)) return hr;
    return granted.cbBuffer < static_cast<long>(format.BlockAlign()) ? E_FAIL : S_OK;
}

HRESULT TAudioCapturePin::FillBuffer(IMediaSample*) { return E_UNEXPECTED; }

// ---- streaming ----

HRESULT TAudioCapturePin::Active() {
    FRunStart.store(CounterNow());
    FFirstRun.store(true);
    TBCAutoLock lock(FLock);
    FStreamFormat = CurrentFormat();
    FEndpointId = FCaptureFilter->Endpoint().Id;
    if (IsConnected() && FEndpointId.empty()) return VFW_E_NO_CAPTURE_HARDWARE;
    return TBCSourceStream::Active();
}

HRESULT TAudioCapturePin::Run(REFERENCE_TIME start) {
    // The first run counts from when the stream began, as the screen's
    // frames do; a run after a pause from that run.
    if (!FFirstRun.exchange(false)) FRunStart.store(CounterNow());
    FRunning.store(true);
    return TBCSourceStream::Run(start);
}

HRESULT TAudioCapturePin::Inactive() {
    FRunning.store(false);
    return TBCSourceStream::Inactive();
}

HRESULT TAudioCapturePin::OpenClient(const TPcmFormat& format) {
    ComPtr<IMMDevice> device;
    HRESULT hr = OpenCaptureEndpoint(FEndpointId, device.Put());
    if (FAILED(hr) || !device) return FAILED(hr) ? hr : VFW_E_NO_CAPTURE_HARDWARE;
    FClient = nullptr;
    hr = device->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr, FClient.PutVoid());
    if (FAILED(hr) || !FClient) return FAILED(hr) ? hr : E_NOINTERFACE;
    const WAVEFORMATEX wave = ToWaveFormat(format);
    hr = FClient->Initialize(AUDCLNT_SHAREMODE_SHARED, ConvertingFlags, EndpointBufferLength, 0, &wave, nullptr);
    if (FAILED(hr)) FClient = nullptr;
    return hr;
}

HRESULT TAudioCapturePin::OnThreadCreate() {
    FPendingBytes.clear();
    FFramesDelivered = 0;
    FAlignToRunStart = false;
    FWasRunning = false;
    FDevicePositionKnown = false;
    FCaptureBits = FStreamFormat.Bits;
    HRESULT hr = OpenClient(FStreamFormat);
    if (FAILED(hr) && FStreamFormat.Bits > 16) {
        // Deeper samples the endpoint will not give are recorded at 16 bits
        // and widened.
        TPcmFormat shallow = FStreamFormat;
        shallow.Bits = 16;
        hr = OpenClient(shallow);
        FCaptureBits = 16;
    }
    if (FAILED(hr)) return hr;
    hr = FClient->GetService(__uuidof(IAudioCaptureClient), FCapture.PutVoid());
    if (FAILED(hr) || !FCapture) return FAILED(hr) ? hr : E_NOINTERFACE;
    return FClient->Start();
}

HRESULT TAudioCapturePin::OnThreadDestroy() {
    if (FClient) FClient->Stop();
    FCapture = nullptr;
    FClient = nullptr;
    FPendingBytes.clear();
    return S_OK;
}

void TAudioCapturePin::AppendSilence(int64_t frames) {
    frames = std::min<int64_t>(frames, MaxGapSeconds * FStreamFormat.Rate);
    if (frames <= 0) return;
    const size_t at = FPendingBytes.size();
    const size_t bytes = static_cast<size_t>(frames) * FStreamFormat.BlockAlign();
    FPendingBytes.resize(at + bytes);
    FillSilence(FPendingBytes.data() + at, bytes, FStreamFormat.Bits);
}

HRESULT TAudioCapturePin::ReadPackets(bool keep) {
    const WORD outBlock = FStreamFormat.BlockAlign();
    if (keep && !FWasRunning) FAlignToRunStart = true;
    FWasRunning = keep;
    for (;;) {
        UINT32 packet = 0;
        HRESULT hr = FCapture->GetNextPacketSize(&packet);
        if (FAILED(hr)) return hr;
        if (packet == 0) return S_OK;
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        UINT64 position = 0, counter = 0;
        hr = FCapture->GetBuffer(&data, &frames, &flags, &position, &counter);
        if (FAILED(hr)) return hr;
        if (hr != S_OK) return S_OK;  // nothing after all
        if (keep && frames > 0) {
            // The time the device gave nothing is silence: from the start of
            // the run to the first frame captured after it, and the frames
            // the device's position skipped.
            if (FAlignToRunStart) {
                FAlignToRunStart = false;
                const int64_t late = static_cast<int64_t>(counter) - FRunStart.load();
                if (counter != 0 && late > 0) AppendSilence(late * FStreamFormat.Rate / 10000000);
            } else if (FDevicePositionKnown && position > FNextDevicePosition) {
                AppendSilence(static_cast<int64_t>(position - FNextDevicePosition));
            }
            const size_t at = FPendingBytes.size();
            FPendingBytes.resize(at + static_cast<size_t>(frames) * outBlock);
            BYTE* out = FPendingBytes.data() + at;
            if ((flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0 || data == nullptr)
                FillSilence(out, static_cast<size_t>(frames) * outBlock, FStreamFormat.Bits);
            else if (FCaptureBits != FStreamFormat.Bits)
                WidenSamples(data, out, FStreamFormat.Bits, static_cast<size_t>(frames) * FStreamFormat.Channels);
            else
                std::memcpy(out, data, static_cast<size_t>(frames) * outBlock);
        }
        FNextDevicePosition = position + frames;
        FDevicePositionKnown = true;
        hr = FCapture->ReleaseBuffer(frames);
        if (FAILED(hr)) return hr;
    }
}

HRESULT TAudioCapturePin::DeliverPending(size_t bytes) {
    ComPtr<IMediaSample> sample;
    if (FAILED(GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample) return S_FALSE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || data == nullptr) return E_UNEXPECTED;
    const WORD block = FStreamFormat.BlockAlign();
    bytes = std::min<size_t>(bytes, static_cast<size_t>(sample->GetSize()));
    bytes -= bytes % block;
    if (bytes == 0) return E_UNEXPECTED;
    if (ReadInputLineEnabled(FEndpointId))
        std::memcpy(data, FPendingBytes.data(), bytes);
    else
        FillSilence(data, bytes, FStreamFormat.Bits);
    FPendingBytes.erase(FPendingBytes.begin(), FPendingBytes.begin() + static_cast<ptrdiff_t>(bytes));

    const int64_t frames = static_cast<int64_t>(bytes / block);
    REFERENCE_TIME start = FFramesDelivered * 10000000 / FStreamFormat.Rate;
    REFERENCE_TIME stop = (FFramesDelivered + frames) * 10000000 / FStreamFormat.Rate;
    sample->SetTime(&start, &stop);
    LONGLONG mediaStart = FFramesDelivered;
    LONGLONG mediaStop = FFramesDelivered + frames;
    sample->SetMediaTime(&mediaStart, &mediaStop);
    sample->SetActualDataLength(static_cast<long>(bytes));
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(FFramesDelivered == 0 ? TRUE : FALSE);
    FFramesDelivered += frames;
    return Deliver(sample.Get()) == S_OK ? S_OK : S_FALSE;
}

HRESULT TAudioCapturePin::DoBufferProcessingLoop() {
    OnThreadStartPlay();
    const size_t sampleBytes = static_cast<size_t>(FramesPerSample(FStreamFormat)) * FStreamFormat.BlockAlign();
    const size_t deliveryBytes =
        static_cast<size_t>(std::max<DWORD>(1, FStreamFormat.Rate / DeliveriesPerSecond)) * FStreamFormat.BlockAlign();
    for (;;) {
        Command command;
        if (CheckRequest(&command)) {
            if (command == CMD_STOP) return S_FALSE;
            Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : E_UNEXPECTED);
            continue;
        }
        const bool running = FRunning.load();
        HRESULT hr = ReadPackets(running);
        if (SUCCEEDED(hr) && running && FPendingBytes.size() >= deliveryBytes) {
            hr = DeliverPending(std::min(FPendingBytes.size(), sampleBytes));
            if (hr == S_OK) continue;
            if (hr == S_FALSE) {
                // No free sample (the filter is stopping) or downstream
                // refused it: go on until the next command.
                Sleep(1);
                continue;
            }
        }
        if (FAILED(hr)) {
            DeliverEndOfStream();
            FSource->NotifyEvent(EC_ERRORABORT, hr, 0);
            return hr;
        }
        Sleep(5);
    }
}

// ---- IAMStreamConfig ----

HRESULT STDMETHODCALLTYPE TAudioCapturePin::SetFormat(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    TPcmFormat format;
    if (!ReadPcmMediaType(type, &format) || FindOfferedFormat(format) < 0) return VFW_E_INVALIDMEDIATYPE;
    TBCAutoLock lock(FLock);
    if (!FFilter->IsStopped()) return VFW_E_NOT_STOPPED;
    if (IsConnected()) {
        TPcmFormat connected;
        if (ReadPcmMediaType(&CurrentMediaType(), &connected) && connected == format) {
            FChosen = format;
            return S_OK;
        }
        AM_MEDIA_TYPE wanted{};
        HRESULT hr = BuildPcmMediaType(format, &wanted);
        if (FAILED(hr)) return hr;
        hr = GetConnected()->QueryAccept(&wanted);
        if (hr != S_OK) {
            FreeMediaType(wanted);
            return VFW_E_INVALIDMEDIATYPE;
        }
        const std::optional<TPcmFormat> previous = FChosen;
        FChosen = format;
        ComPtr<IFilterGraph2> graph;
        if (FFilter->Graph() != nullptr) FFilter->Graph()->QueryInterface(IID_IFilterGraph2, graph.PutVoid());
        hr = graph ? graph->ReconnectEx(this, &wanted) : VFW_E_NOT_IN_GRAPH;
        FreeMediaType(wanted);
        if (FAILED(hr)) FChosen = previous;
        return hr;
    }
    FChosen = format;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TAudioCapturePin::GetFormat(AM_MEDIA_TYPE** type) {
    if (type == nullptr) return E_POINTER;
    *type = nullptr;
    TBCAutoLock lock(FLock);
    AM_MEDIA_TYPE built{};
    HRESULT hr = BuildPcmMediaType(CurrentFormat(), &built);
    if (FAILED(hr)) return hr;
    *type = CreateMediaType(&built);
    FreeMediaType(built);
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TAudioCapturePin::GetNumberOfCapabilities(int* count, int* size) {
    if (count == nullptr || size == nullptr) return E_POINTER;
    *count = OfferedCaptureFormatCount;
    *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TAudioCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* capabilities) {
    if (type == nullptr || capabilities == nullptr) return E_POINTER;
    *type = nullptr;
    if (index < 0 || index >= OfferedCaptureFormatCount) return S_FALSE;
    const TPcmFormat& format = OfferedCaptureFormats[index];
    AM_MEDIA_TYPE built{};
    HRESULT hr = BuildPcmMediaType(format, &built);
    if (FAILED(hr)) return hr;
    *type = CreateMediaType(&built);
    FreeMediaType(built);
    if (*type == nullptr) return E_OUTOFMEMORY;
    AUDIO_STREAM_CONFIG_CAPS caps{};
    caps.guid = MEDIATYPE_Audio;
    caps.MinimumChannels = caps.MaximumChannels = format.Channels;
    caps.ChannelsGranularity = 1;
    caps.MinimumBitsPerSample = caps.MaximumBitsPerSample = format.Bits;
    caps.BitsPerSampleGranularity = 8;
    caps.MinimumSampleFrequency = caps.MaximumSampleFrequency = format.Rate;
    caps.SampleFrequencyGranularity = 1;
    std::memcpy(capabilities, &caps, sizeof caps);
    return S_OK;
}
