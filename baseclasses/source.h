// The source filter and its output pins, each with a streaming thread that
// pushes samples while the filter is paused or running.
#pragma once

#include <atomic>

#include "baseclasses/filter.h"
#include "baseclasses/pin.h"
#include "shared/com_guard.h"
#include "shared/owner.h"

#include <memory>
#include <new>
#include <vector>

class TBCSourceStream;

class TBCSource : public TBCBaseFilter {
public:
    TBCSource(const wchar_t* objectName, IUnknown* outer, REFCLSID classId);
    // Deletes any pin still in the list.
    ~TBCSource() override;

    int GetPinCount() override;
    TBCBasePin* GetPin(int index) override;

    // Pins join on construction and leave on destruction.
    HRESULT AddPin(TBCSourceStream* pin);
    HRESULT RemovePin(TBCSourceStream* pin);
    // Index of the pin, or -1.
    int FindPinNumber(IPin* pin);
    // S_OK, or the first failure among the pins' ConstructionResult.
    HRESULT PinsResult();

protected:
    // Ends every pin's streaming thread while the derived filter and its
    // pins are still whole: a filter released while it streams (a client
    // driving IMediaFilter itself) would otherwise leave the threads running
    // in pins whose members are being destroyed.
    void OnFinalRelease() override;

    // The filter's state lock: state changes, connection, media types and
    // allocator negotiation.
    TBCCritSec FStateLock;
    std::vector<TBCSourceStream*> FPins;
};

class TBCSourceStream : public TBCBaseOutputPin {
public:
    // Commands from the filter's thread to the streaming thread.
    enum Command : DWORD { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };

    // Joins the filter's pin list. Whether the thread's events could be made
    // is ConstructionResult's to tell.
    TBCSourceStream(const wchar_t* objectName, TBCSource* filter, const wchar_t* pinName);
    // Leaves the filter's pin list. Derived classes stop nothing here: a
    // filter is stopped before its last reference goes.
    ~TBCSourceStream() override;

    // Fills an empty sample: S_OK to deliver it, S_FALSE to end the stream,
    // an error to abort it.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;

    // On the streaming thread: after it started and before it ends; and once
    // when the processing loop starts.
    virtual HRESULT OnThreadCreate();
    virtual HRESULT OnThreadDestroy();
    virtual HRESULT OnThreadStartPlay();

    // Gets, fills and delivers samples until a command other than RUN or
    // PAUSE arrives. Returns S_FALSE on STOP (left unanswered for the thread
    // procedure), S_OK when downstream refused a sample or FillBuffer ended
    // the stream, the error when FillBuffer failed (after
    // DeliverEndOfStream and EC_ERRORABORT).
    virtual HRESULT DoBufferProcessingLoop();

    // The one type the pin offers. Derived pins that override this form
    // should add `using TBCSourceStream::GetMediaType;`.
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE* type);
    // Position 0 is GetMediaType(type); above it VFW_S_NO_MORE_ITEMS; below
    // it E_INVALIDARG.
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    // Accepts exactly the type GetMediaType(type) builds: same major type,
    // subtype, format type, format length and format bytes.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;

    // Leaving the stopped state commits the allocator, creates the thread
    // and sends INIT then PAUSE; Run sends RUN; returning to stopped sends
    // STOP and EXIT and waits for the thread to end.
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME start) override;

    // S_OK, or why the pin cannot run a streaming thread: what a filter's
    // creation function returns for a pin it could not complete.
    HRESULT ConstructionResult() const { return FConstructionResult; }

    bool ThreadExists() const { return static_cast<bool>(FThread); }
    // Releases a thread waiting for a sample, then stops and ends the
    // streaming thread; nothing when none runs.
    void EndStreaming();

    // On the streaming thread: true with the pending command when one waits,
    // without taking it.
    bool CheckRequest(Command* command);
    // Waits for the next command.
    Command GetRequest();
    // Answers the pending command.
    void Reply(HRESULT result);

protected:
    // From the filter's thread: sends a command and waits for the answer.
    HRESULT CallWorker(Command command);
    // The streaming thread's procedure: INIT, then RUN/PAUSE into the
    // processing loop, STOP answered, until EXIT.
    DWORD ThreadProc();

    // The step after FillBuffer in a processing loop. fill is what it
    // returned: S_OK delivers the sample, S_FALSE ends the stream, an error
    // ends it and reports EC_ERRORABORT. The sample is let go in every case,
    // before the end of stream goes out. Returns true when the loop goes on;
    // otherwise the loop returns *result: S_OK when downstream refused the
    // sample or the stream ended, the error when FillBuffer failed.
    bool DeliverFilled(HRESULT fill, ComPtr<IMediaSample> sample, HRESULT* result);
    // One pass of a processing loop: gets an empty sample (sleeping a
    // millisecond when none can be had), fills it and hands it to
    // DeliverFilled. Answers as DeliverFilled does.
    bool DeliverNext(HRESULT* result);

    TBCSource* FSource;

private:
    static DWORD WINAPI ThreadEntry(void* self);
    bool CreateWorker();
    void CloseWorker();

    TKernelHandle FThread;
    TKernelHandle FRequestEvent;  // auto-reset: a command waits
    TKernelHandle FReplyEvent;    // auto-reset: the command was answered
    HRESULT FConstructionResult = S_OK;
    TBCCritSec FCallLock;  // one caller at a time
    Command FCommand = CMD_INIT;
    HRESULT FReturn = S_OK;
    // Set while a command is sent and not yet answered: lets the polling
    // loops ask "anything pending?" without a kernel call each time.
    std::atomic<bool> FPending{false};
};

// What every source filter's creation function does around `build`, which
// makes the filter and its pins: the filter, with no references yet, goes to
// *filter only when it and every pin are complete; otherwise the failure and
// null. No exception leaves it.
template <class TFilter, class Build>
HRESULT TBCBuildSource(TFilter** filter, Build build) {
    if (filter == nullptr) return E_POINTER;
    *filter = nullptr;
    return ComGuard(E_UNEXPECTED, [&]() -> HRESULT {
        std::unique_ptr<TFilter> created = build();
        if (!created) return E_OUTOFMEMORY;
        const HRESULT hr = created->PinsResult();
        if (FAILED(hr)) return hr;
        *filter = created.release();
        return S_OK;
    });
}
