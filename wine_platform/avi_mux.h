// The AVI multiplexer: any number of input pins (one always free), each
// taking uncompressed or compressed video with a VIDEOINFOHEADER or PCM
// audio, and one output pin of type stream/AVI that writes the file through
// IStream on the pin it is connected to.
//
// Receive copies the sample into a write queue and returns; a thread of the
// multiplexer writes the queue to the file in arrival order. A source's
// streaming thread thus never waits on the disk unless the queue is full
// (a burst the disk cannot take), and a write error reaches the graph from
// the writing thread and every later Receive.
#pragma once

#include "baseclasses/baseclasses.h"
#include "wine_platform/avi_file_builder.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sampletrace {
class TTimingAllocator;
}

class TAviMux;

class TAviMuxInputPin : public TBCBaseInputPin {
public:
    TAviMuxInputPin(TAviMux* mux, TBCCritSec* lock, HRESULT* hr, const wchar_t* name);

    // Video or audio that the file can hold; the builder decides.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    // A connected pin leaves the multiplexer without a free pin: a new one
    // appears.
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    // While a benchmark traces the samples, the allocator offered notes when
    // the source takes an empty sample.
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;

    // The pin's stream in the file being written, or -1.
    int StreamNumber = -1;

private:
    TAviMux* FMux;
    // The timing allocator while FAllocator is it.
    sampletrace::TTimingAllocator* FTiming = nullptr;
    IMemAllocator* FTimingAllocator = nullptr;
};

class TAviMuxOutputPin : public TBCBaseOutputPin {
public:
    TAviMuxOutputPin(TAviMux* mux, TBCCritSec* lock, HRESULT* hr);

    // Offers stream/AVI and accepts only that.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    // The receiving pin must answer IStream as well as IMemInputPin.
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

    // The downstream pin's IStream while connected.
    IStream* Stream() const { return FStream.Get(); }

private:
    ComPtr<IStream> FStream;
};

class TAviMux : public TBCBaseFilter {
public:
    TAviMux(const wchar_t* name, IUnknown* outer, HRESULT* hr);
    ~TAviMux() override;

    static TBCUnknown* CreateFromFactory(TBCClassFactory* factory, IUnknown* outer);

    // The output pin first, then the input pins in the order they appeared.
    int GetPinCount() override;
    TBCBasePin* GetPin(int index) override;

    // Leaving the stopped state needs a connected output pin; the file is
    // begun with the first sample. Returning to it completes the file.
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;

    // From the input pins.
    void InputConnected();
    // Queues a copy of the sample for the writing thread; waits while the
    // queue is full. traceIndex: the sample's trace record, or -1.
    HRESULT WriteSample(TAviMuxInputPin* pin, IMediaSample* sample, int traceIndex, bool* waited);
    void InputEnded();

    // Lengths written in the last run, by stream number (tests and
    // benchmarks read them through the filter object).
    const TAviFileBuilder* Builder() const { return FBuilder.get(); }

    // Most bytes and video frames waiting in the write queue (about a second
    // of uncompressed 1920x1080 at 30 frames per second; sound samples are
    // small and many, and count only by their bytes); a sample that finds it
    // full waits for room.
    static constexpr size_t QueueBytesLimit = size_t{192} << 20;
    static constexpr size_t QueueFramesLimit = 64;

private:
    struct TQueued {
        int Stream = -1;
        bool Video = false;
        bool Timed = false;
        bool KeyFrame = false;
        REFERENCE_TIME Start = 0;
        std::vector<BYTE> Data;
        int TraceIndex = -1;
    };

    // Under FWriteLock: begins the file with the connected pins' streams.
    HRESULT BeginFile();
    // Ends every stream with the error and tells the graph.
    void Fail(HRESULT error);
    // The writing thread: writes the queue until the session ends and the
    // queue is empty.
    void WriteQueue();
    void StartWriting();
    // Lets the writing thread write what is queued and end.
    void StopWriting();

    TBCCritSec FStateLock;
    TBCCritSec FWriteLock;  // the builder and the file
    std::mutex FQueueLock;  // the queue, FFailure, FSessionOpen, FEndTime
    std::condition_variable FQueueChanged;
    std::deque<std::unique_ptr<TQueued>> FQueue;
    std::vector<std::unique_ptr<TQueued>> FSpare;  // written, their buffers kept
    size_t FQueuedBytes = 0;
    size_t FQueuedFrames = 0;
    bool FWriting = false;  // the writing thread has a sample out of the queue
    bool FQueueClosed = true;
    std::thread FWriter;
    std::unique_ptr<TAviMuxOutputPin> FOutput;
    std::vector<std::unique_ptr<TAviMuxInputPin>> FInputs;
    std::unique_ptr<TAviFileBuilder> FBuilder;
    bool FSessionOpen = false;  // between leaving and returning to stopped
    HRESULT FFailure = S_OK;
    bool FEndSent = false;
    // The latest sample end of any stream: the video is padded to it.
    REFERENCE_TIME FEndTime = 0;
};
