// The file writer: an IFileSinkFilter whose one input pin writes what it is
// given to the file, either as samples whose times are byte offsets
// (IMemInputPin) or through IStream (Seek, Write) from a multiplexer.
//
// The file is opened when the filter leaves the stopped state and closed
// when it returns to it, or, when a writer upstream is still writing through
// IStream, when that writer commits: so the file is complete and closed once
// both filters have stopped, in either order.
#pragma once

#include "baseclasses/baseclasses.h"
#include "shared/owner.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <string>

class TFileWriter;

class TFileWriterInputPin : public TBCBaseInputPin, public IStream {
public:
    TFileWriterInputPin(TFileWriter* writer, TBCCritSec* lock, HRESULT* hr);

    TBC_DECLARE_PIN_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // Any type: the bytes are written as they come.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;

    // IStream over the open file. Read, Seek, Write, SetSize, Commit and
    // Stat; the rest E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override;

private:
    TFileWriter* FWriter;
};

class TFileWriter : public TBCBaseFilter, public IFileSinkFilter, public IAMFilterMiscFlags {
public:
    TFileWriter(const wchar_t* name, IUnknown* outer, HRESULT* hr);
    ~TFileWriter() override;

    static TBCUnknown* CreateFromFactory(TBCClassFactory* factory, IUnknown* outer);

    TBC_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    int GetPinCount() override { return 1; }
    TBCBasePin* GetPin(int index) override;

    // Leaving the stopped state opens (creates or empties) the file: without
    // a file name, or where it cannot be created, the state change fails and
    // no file is left open.
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    // An end of stream that came while paused is reported now.
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

    // IFileSinkFilter. The name can change only while stopped.
    HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

    // IAMFilterMiscFlags: the writer renders its stream.
    ULONG STDMETHODCALLTYPE GetMiscFlags() override;

    // From the pin, under the write lock.
    HRESULT WriteAt(const LONGLONG* offset, const BYTE* data, DWORD size, DWORD* written);
    HRESULT ReadAt(void* data, ULONG size, ULONG* read);
    HRESULT SeekTo(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position);
    HRESULT SetFileSize(ULARGE_INTEGER size);
    HRESULT FileStat(STATSTG* stat, DWORD flags);
    HRESULT CommitFile();
    // A write through IMemInputPin failed: the stream ends, the graph hears.
    void WriteFailed(HRESULT error);
    // The end of the stream: EC_COMPLETE once the graph runs, as a renderer
    // reports it.
    void StreamEnded();

private:
    HRESULT OpenFile();
    void CloseFile();
    // The thread that flushes the open file while it grows.
    void StartFlushing();
    void StopFlushing();
    HRESULT FlushFailure();
    void ReportComplete();

    TBCCritSec FStateLock;
    TBCCritSec FWriteLock;
    std::unique_ptr<TFileWriterInputPin> FPin;
    std::wstring FFileName;
    AM_MEDIA_TYPE FSinkType{};
    TKernelHandle FFile;
    // Written through IStream in this run and not yet committed: the file
    // stays open after Stop until the commit.
    bool FStreamWriting = false;
    bool FEndPending = false;
    bool FCompleteSent = false;
    // Bytes written since the last flush was asked for; the flushing thread
    // is asked every FlushEvery bytes.
    static constexpr DWORD FlushEvery = DWORD{32} << 20;
    uint64_t FUnflushed = 0;
    std::thread FFlusher;
    std::mutex FFlushLock;  // the three below
    std::condition_variable FFlushChanged;
    bool FFlushWanted = false;
    bool FFlushEnd = false;
    HRESULT FFlushFailure = S_OK;
};
