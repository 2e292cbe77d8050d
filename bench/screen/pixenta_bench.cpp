// Streams Pixenta.dll (beside this program) for 10 seconds at 1280x720 and
// 1920x1080, 30 frames per second, into a counting sink, and prints the frames
// delivered, the frame numbers skipped and the per-frame capture cost; then
// times a bare loop of the same GDI calls at the same sizes.
//
// The capture cost is measured from the moment the sink's allocator hands the
// filter an empty sample to the moment the filled sample arrives: the filter's
// whole FillBuffer (display and memory contexts, BitBlt, GetDIBits, stamps).
//
// "--load N" runs N CPU-bound processes for the whole run (see
// bench/common/cpu_load.h). "--write-beside" has a thread of this process
// write what an uncompressed recording of the same size writes (one frame's
// bytes every frame period, through WriteFile, into a file beside this
// program) while the filter streams: what the program's own graph adds.
// "--write-beside=flush" also flushes that file to the disk every 32 MiB
// from a thread of its own, as the file writer of the Wine stand-ins does.
#include "bench/common/cpu_load.h"
#include "baseclasses/filter.h"
#include "baseclasses/pin.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"
#include "shared/unit_const_list.h"
#include "wine_platform/timing_allocator.h"

#include <windows.h>
#include <dshow.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using sampletrace::TTimingAllocator;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / frequency;  // milliseconds
}

struct Stats {
    double Median = 0, P95 = 0, Max = 0;
};

Stats Summarise(std::vector<double> values) {
    Stats s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    s.Median = values[values.size() / 2];
    s.P95 = values[std::min(values.size() - 1, values.size() * 95 / 100)];
    s.Max = values.back();
    return s;
}

class CountingSink;

// The sink's input pin: takes RGB24 video and counts what arrives.
class CountingPin final : public TBCBasePin, public IMemInputPin {
public:
    CountingPin(TBCBaseFilter* filter, TBCCritSec* lock)
        : TBCBasePin(L"Counting input", filter, lock, L"In", PINDIR_INPUT) {}

    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), object);
        return TBCBasePin::NonDelegatingQueryInterface(iid, object);
    }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        return type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_RGB24 ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override {
        if (!FAllocator) {
            ComPtr<IMemAllocator> inner;
            const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                                inner.PutVoid());
            if (FAILED(hr)) return hr;
            FAllocator = ComPtr<TTimingAllocator>::Attach(new TTimingAllocator(std::move(inner), &Now));
        }
        *allocator = FAllocator.Get();
        FAllocator->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
        const double arrived = Now();
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        std::lock_guard<std::mutex> lock(Mutex);
        Costs.push_back(arrived - FAllocator->HandedOut.load());
        const REFERENCE_TIME duration = stop - start;
        if (duration > 0) MaxNumber = std::max<LONGLONG>(MaxNumber, start / duration);
        ++Delivered;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override {
        for (*processed = 0; *processed < count; ++*processed) Receive(samples[*processed]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_FALSE; }

    std::mutex Mutex;
    std::vector<double> Costs;
    LONGLONG MaxNumber = 0;
    long Delivered = 0;

private:
    ComPtr<TTimingAllocator> FAllocator;
};

class CountingSink final : public TBCBaseFilter {
public:
    CountingSink() : TBCBaseFilter(L"Counting sink", nullptr, &FStateLock, GUID{}) {
        Pin = std::make_unique<CountingPin>(this, &FStateLock);
    }
    int GetPinCount() override { return 1; }
    TBCBasePin* GetPin(int index) override { return index == 0 ? Pin.get() : nullptr; }

    TBCCritSec FStateLock;
    std::unique_ptr<CountingPin> Pin;
};

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// Waits while processing this thread's window messages, as a program's
// GUI thread does while its graph runs.
void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

ComPtr<IBaseFilter> CreatePixenta(HMODULE library) {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<IBaseFilter> filter;
    if (get && SUCCEEDED(get(CLSID_ScreenCaptureSource, IID_IClassFactory, factory.PutVoid())))
        factory->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid());
    return filter;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    if (SUCCEEDED(filter->EnumPins(pins.Put()))) pins->Next(1, pin.Put(), nullptr);
    return pin;
}

bool gWriteBeside = false;
bool gFlushBeside = false;

// Writes one 24-bit frame of the given size every 33 ms into a file beside
// this program until stopped, flushing it every 32 MiB when asked to; the
// file is removed at the end.
class TFrameWriter {
public:
    TFrameWriter(int width, int height) : FBytes(static_cast<size_t>(width) * height * 3, 0x5a) {
        FThread = std::thread([this] { Write(); });
    }
    ~TFrameWriter() {
        FStop = true;
        FThread.join();
    }
    TFrameWriter(const TFrameWriter&) = delete;
    TFrameWriter& operator=(const TFrameWriter&) = delete;

private:
    void Write() {
        const std::wstring path = ProgramFolder() + L"write_beside.bin";
        {
            const TKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            if (!file.Valid()) return;
            if (gFlushBeside) FFlusher = std::thread([this, h = file.Get()] { Flush(h); });
            size_t unflushed = 0;
            while (!FStop) {
                DWORD written = 0;
                WriteFile(file.Get(), FBytes.data(), static_cast<DWORD>(FBytes.size()), &written, nullptr);
                unflushed += written;
                if (unflushed >= (size_t{32} << 20)) {
                    unflushed = 0;
                    FFlushWanted = true;
                    FFlushChanged.notify_all();
                }
                Sleep(33);
            }
            FFlushChanged.notify_all();
            if (FFlusher.joinable()) FFlusher.join();
        }
        DeleteFileW(path.c_str());
    }
    void Flush(HANDLE file) {
        std::unique_lock<std::mutex> lock(FFlushLock);
        for (;;) {
            FFlushChanged.wait_for(lock, std::chrono::milliseconds(50), [this] { return FFlushWanted || FStop; });
            if (FStop) return;
            if (!FFlushWanted) continue;
            FFlushWanted = false;
            lock.unlock();
            FlushFileBuffers(file);
            lock.lock();
        }
    }
    std::vector<BYTE> FBytes;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFlushWanted{false};
    std::mutex FFlushLock;
    std::condition_variable FFlushChanged;
    std::thread FThread;
    std::thread FFlusher;
};

bool StreamPixenta(HMODULE library, int width, int height, int seconds) {
    ComPtr<IBaseFilter> source = CreatePixenta(library);
    if (!source) {
        std::printf("cannot create the Pixenta filter\n");
        return false;
    }
    ComPtr<IVideoCaptureFilterConfig> config;
    source->QueryInterface(IID_IVideoCaptureFilterConfig, config.PutVoid());
    config->SetCaptureRect(0, 0, width, height);
    config->SetFrameRate(30);
    config->SetDrawCursor(FALSE);

    auto* sink = new CountingSink;
    sink->NonDelegatingAddRef();
    ComPtr<IBaseFilter> sinkRef = ComPtr<IBaseFilter>::Attach(sink);

    ComPtr<IGraphBuilder> graph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
    ComPtr<IMediaFilter> mediaFilter;
    graph->QueryInterface(IID_IMediaFilter, mediaFilter.PutVoid());
    ComPtr<IMediaControl> control;
    graph->QueryInterface(IID_IMediaControl, control.PutVoid());
    graph->AddFilter(source.Get(), L"Pixenta");
    graph->AddFilter(sinkRef.Get(), L"Sink");
    mediaFilter->SetSyncSource(nullptr);
    HRESULT hr = graph->ConnectDirect(FirstPin(source.Get()).Get(), sink->Pin.get(), nullptr);
    if (FAILED(hr)) {
        std::printf("connection failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return false;
    }
    {
        std::unique_ptr<TFrameWriter> writer;
        if (gWriteBeside) writer = std::make_unique<TFrameWriter>(width, height);
        control->Run();
        PumpMessages(static_cast<DWORD>(seconds) * 1000);
        control->Stop();
    }

    std::lock_guard<std::mutex> lock(sink->Pin->Mutex);
    const Stats cost = Summarise(sink->Pin->Costs);
    const LONGLONG numbers = sink->Pin->MaxNumber;
    std::printf(
        "Pixenta %dx%d at 30 fps for %d s: %ld frames delivered, highest frame number %lld, "
        "%lld numbers skipped; capture cost median %.2f ms, 95th percentile %.2f ms, longest %.2f ms%s\n",
        width, height, seconds, sink->Pin->Delivered, numbers, numbers - sink->Pin->Delivered, cost.Median, cost.P95,
        cost.Max, gWriteBeside ? (gFlushBeside ? " (writing and flushing beside)" : " (writing beside)") : "");
    graph->RemoveFilter(sinkRef.Get());
    graph->RemoveFilter(source.Get());
    return true;
}

void BareLoopOnThisThread(int width, int height, int iterations);

// The same GDI calls as one capture, on a thread of their own like the
// filter's streaming thread, one per frame period.
void BareLoop(int width, int height, int iterations) {
    std::thread worker([=] { BareLoopOnThisThread(width, height, iterations); });
    PumpMessages(0);
    worker.join();
}

void BareLoopOnThisThread(int width, int height, int iterations) {
    const DWORD rowBytes = ((static_cast<DWORD>(width) * 24 + 31) / 32) * 4;
    std::vector<BYTE> buffer(static_cast<size_t>(rowBytes) * height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<double> costs;
    for (int i = 0; i < iterations; ++i) {
        const double start = Now();
        {
            const TMemoryDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
            const TMemoryDC memory(CreateCompatibleDC(display.Get()));
            const TGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(display.Get(), width, height));
            HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
            BitBlt(memory.Get(), 0, 0, width, height, display.Get(), 0, 0, SRCCOPY);
            SelectObject(memory.Get(), previous);
            GetDIBits(display.Get(), bitmap.Get(), 0, static_cast<UINT>(height), buffer.data(), &info, DIB_RGB_COLORS);
        }
        costs.push_back(Now() - start);
        Sleep(33);
    }
    const Stats s = Summarise(costs);
    std::printf("Bare GDI loop %dx%d (%d captures): median %.2f ms, 95th percentile %.2f ms\n", width, height,
                iterations, s.Median, s.P95);
}

}  // namespace

int main(int argc, char** argv) {
    benchload::SpinIfAsked(argc, argv);
    const benchload::TCpuLoad load(benchload::TakeLoadOption(argc, argv));
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--write-beside" || std::string(argv[i]) == "--write-beside=flush") {
            gWriteBeside = true;
            gFlushBeside = std::string(argv[i]) == "--write-beside=flush";
        }
    const TComApartment com(COINIT_MULTITHREADED);
    const std::wstring path = ProgramFolder() + L"Pixenta.dll";
    HMODULE library = LoadLibraryW(path.c_str());
    if (library == nullptr) {
        std::printf("cannot load Pixenta.dll beside this program\n");
        return 1;
    }
    const int sizes[][2] = {{1280, 720}, {1920, 1080}};
    int failures = 0;
    // The bare loop runs before and after the filter, so a change in the
    // display's own speed during the run shows.
    for (const auto& size : sizes) {
        BareLoop(size[0], size[1], 100);
        if (!StreamPixenta(library, size[0], size[1], 10)) ++failures;
        BareLoop(size[0], size[1], 100);
    }
    return failures;
}
