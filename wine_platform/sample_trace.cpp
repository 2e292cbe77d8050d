#define TAVREL_WINE_PLATFORM_INTERNAL
#include "wine_platform/sample_trace.h"
#include "wine_platform/timing_allocator.h"

#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <uuids.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace sampletrace {

namespace {

struct TThreadNote {
    TWinePlatformTraceThread Figures{};
    TKernelHandle Handle;
    ULONGLONG KernelAtStart = 0, UserAtStart = 0;
};

struct TTrace {
    std::mutex Lock;
    std::vector<TWinePlatformTraceSample> Samples;
    std::vector<TThreadNote> Threads;
    LARGE_INTEGER Origin{};
    double TicksPerMs = 1;
};

std::atomic<bool> gEnabled{false};

TTrace& Trace() {
    static TTrace trace;
    return trace;
}

ULONGLONG Ticks(const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

bool ThreadTimes(HANDLE thread, ULONGLONG* kernel, ULONGLONG* user) {
    FILETIME created, exited, k, u;
    if (!GetThreadTimes(thread, &created, &exited, &k, &u)) return false;
    *kernel = Ticks(k);
    *user = Ticks(u);
    return true;
}

}  // namespace

bool Enabled() { return gEnabled.load(std::memory_order_relaxed); }

double Now() {
    const TTrace& trace = Trace();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - trace.Origin.QuadPart) / trace.TicksPerMs;
}

int Received(int stream, bool video, const REFERENCE_TIME* start, double handedOut) {
    if (!Enabled()) return -1;
    TWinePlatformTraceSample record{};
    record.Stream = stream;
    record.Video = video;
    record.Timed = start != nullptr;
    record.Start = start != nullptr ? *start : 0;
    record.HandedOut = handedOut;
    record.Received = Now();
    record.Returned = -1;
    record.Written = -1;
    record.Result = S_OK;
    record.WriteResult = S_FALSE;
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    trace.Samples.push_back(record);
    return static_cast<int>(trace.Samples.size()) - 1;
}

void Returned(int index, HRESULT result, bool waitedForRoom) {
    if (index < 0) return;
    const double now = Now();
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    if (index >= static_cast<int>(trace.Samples.size())) return;
    trace.Samples[index].Returned = now;
    trace.Samples[index].Result = result;
    trace.Samples[index].WaitedForRoom = waitedForRoom;
}

void Written(int index, HRESULT result) {
    if (index < 0) return;
    const double now = Now();
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    if (index >= static_cast<int>(trace.Samples.size())) return;
    trace.Samples[index].Written = now;
    trace.Samples[index].WriteResult = result;
}

void NoteThread(TThreadRole role) {
    if (!Enabled()) return;
    const DWORD id = GetCurrentThreadId();
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    for (const TThreadNote& note : trace.Threads)
        if (note.Figures.ThreadId == id) return;
    TThreadNote note;
    note.Figures.ThreadId = id;
    note.Figures.Role = role;
    note.Handle.Reset(OpenThread(THREAD_QUERY_INFORMATION, FALSE, id));
    if (note.Handle) ThreadTimes(note.Handle.Get(), &note.KernelAtStart, &note.UserAtStart);
    trace.Threads.push_back(std::move(note));
}

HRESULT CreateTimingAllocator(IMemAllocator** allocator, TTimingAllocator** timing) {
    ComPtr<IMemAllocator> inner;
    const HRESULT hr =
        CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, inner.PutVoid());
    if (FAILED(hr)) return hr;
    auto* wrapper = new TTimingAllocator(std::move(inner), &Now);
    *allocator = wrapper;
    *timing = wrapper;
    return S_OK;
}

double LastHandedOut(TTimingAllocator* timing) { return timing != nullptr ? timing->HandedOut.load() : -1; }

}  // namespace sampletrace

using namespace sampletrace;

extern "C" {

void WINAPI WinePlatformTraceStart() {
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    trace.Samples.clear();
    trace.Threads.clear();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    trace.TicksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    QueryPerformanceCounter(&trace.Origin);
    gEnabled.store(true);
}

void WINAPI WinePlatformTraceStop() { gEnabled.store(false); }

BOOL WINAPI WinePlatformTraceSample(int index, TWinePlatformTraceSample* record) {
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    if (record == nullptr || index < 0 || index >= static_cast<int>(trace.Samples.size())) return FALSE;
    *record = trace.Samples[index];
    return TRUE;
}

BOOL WINAPI WinePlatformTraceThread(int index, TWinePlatformTraceThread* thread) {
    TTrace& trace = Trace();
    std::lock_guard<std::mutex> lock(trace.Lock);
    if (thread == nullptr || index < 0 || index >= static_cast<int>(trace.Threads.size())) return FALSE;
    TThreadNote& note = trace.Threads[index];
    *thread = note.Figures;
    ULONGLONG kernel = 0, user = 0;
    if (note.Handle && ThreadTimes(note.Handle.Get(), &kernel, &user)) {
        thread->KernelMs = static_cast<double>(kernel - note.KernelAtStart) / 10000.0;
        thread->UserMs = static_cast<double>(user - note.UserAtStart) / 10000.0;
    }
    return TRUE;
}

}  // extern "C"
