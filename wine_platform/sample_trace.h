// A trace of what the multiplexer does with each sample, for benchmarks: when
// the source asked for an empty sample (its capture began), when the filled
// sample reached the multiplexer, when the multiplexer let the source go and
// when the sample was in the file; and the processor time of the threads
// that carried the samples. Off unless a benchmark starts it through the
// library's exports; while off, the multiplexer records nothing.
//
// A benchmark in the same process finds the exports with GetProcAddress on
// WinePlatform.dll:
//   WinePlatformTraceStart()                 clears and starts the trace
//   WinePlatformTraceStop()                  stops recording (the data stays)
//   WinePlatformTraceSample(i, &record)      TRUE while i is a sample's index
//   WinePlatformTraceThread(i, &thread)      TRUE while i is a thread's index
#pragma once

#include <windows.h>

// Times in milliseconds since WinePlatformTraceStart; -1 when not known.
struct TWinePlatformTraceSample {
    int Stream;  // the stream's number in the file, -1 before one is known
    BOOL Video;
    BOOL Timed;           // the sample carried a start time
    LONGLONG Start;       // its start time (100 ns)
    double HandedOut;     // the source got the empty sample from the allocator
    double Received;      // the filled sample reached the multiplexer
    double Returned;      // the multiplexer returned from Receive
    double Written;       // its chunk was written to the file
    BOOL WaitedForRoom;   // Receive waited for room in the write queue
    HRESULT Result;       // what Receive answered (S_OK, or why it was refused)
    HRESULT WriteResult;  // what the write gave; S_FALSE when never written
};

// Processor time of a thread over the trace: from when it first carried a
// sample (or started writing) to the moment of the query, or to its end.
struct TWinePlatformTraceThread {
    DWORD ThreadId;
    int Role;  // 0 video streaming, 1 sound streaming, 2 the multiplexer's writer
    double KernelMs;
    double UserMs;
};

using TWinePlatformTraceStart = void(WINAPI*)();
using TWinePlatformTraceStop = void(WINAPI*)();
using TWinePlatformTraceSampleAt = BOOL(WINAPI*)(int index, TWinePlatformTraceSample* record);
using TWinePlatformTraceThreadAt = BOOL(WINAPI*)(int index, TWinePlatformTraceThread* thread);

#ifdef TAVREL_WINE_PLATFORM_INTERNAL
#include <strmif.h>

namespace sampletrace {

enum TThreadRole { VideoStreaming = 0, SoundStreaming = 1, MuxWriter = 2 };

bool Enabled();
// Milliseconds since the trace started.
double Now();
// A new record for a sample arriving now; -1 while the trace is off.
int Received(int stream, bool video, const REFERENCE_TIME* start, double handedOut);
void Returned(int index, HRESULT result, bool waitedForRoom);
void Written(int index, HRESULT result);
// Notes the calling thread's processor time from now on, once per thread.
void NoteThread(TThreadRole role);

// An allocator that notes when it hands out a sample, around the platform's
// memory allocator; made only while the trace is on.
HRESULT CreateTimingAllocator(IMemAllocator** allocator, class TTimingAllocator** timing);
double LastHandedOut(TTimingAllocator* timing);

}  // namespace sampletrace
#endif
