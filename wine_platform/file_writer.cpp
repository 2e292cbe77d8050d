#include "wine_platform/file_writer.h"

#include "shared/media_type.h"

#include <uuids.h>

#include <cstring>
#include <new>

namespace {

HRESULT LastError() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace

// ---- TFileWriterInputPin ----

TFileWriterInputPin::TFileWriterInputPin(TFileWriter* writer, TBCCritSec* lock, HRESULT*)
    : TBCBaseInputPin(L"File writer input", writer, lock, L"in"), FWriter(writer) {}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IStream || iid == IID_ISequentialStream) return GetInterface(static_cast<IStream*>(this), object);
    return TBCBaseInputPin::NonDelegatingQueryInterface(iid, object);
}

HRESULT TFileWriterInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) { return type != nullptr ? S_OK : E_POINTER; }

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Receive(IMediaSample* sample) {
    HRESULT hr = TBCBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const long length = sample->GetActualDataLength();
    REFERENCE_TIME start = 0, stop = 0;
    const bool placed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (placed && start < 0) hr = E_INVALIDARG;
    DWORD written = 0;
    if (SUCCEEDED(hr))
        hr = FWriter->WriteAt(placed ? &start : nullptr, data, length > 0 ? static_cast<DWORD>(length) : 0, &written);
    if (FAILED(hr)) {
        SetStreamError(hr);
        FWriter->WriteFailed(hr);
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::EndOfStream() {
    const HRESULT hr = TBCBaseInputPin::EndOfStream();
    if (hr == S_OK) FWriter->StreamEnded();
    return hr;
}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Read(void* data, ULONG size, ULONG* read) {
    if (data == nullptr) return STG_E_INVALIDPOINTER;
    return FWriter->ReadAt(data, size, read);
}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Write(const void* data, ULONG size, ULONG* written) {
    if (data == nullptr && size > 0) return STG_E_INVALIDPOINTER;
    DWORD done = 0;
    const HRESULT hr = FWriter->WriteAt(nullptr, static_cast<const BYTE*>(data), size, &done);
    if (written != nullptr) *written = done;
    return hr;
}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    return FWriter->SeekTo(move, origin, position);
}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::SetSize(ULARGE_INTEGER size) { return FWriter->SetFileSize(size); }

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Commit(DWORD) { return FWriter->CommitFile(); }
HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Revert() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE TFileWriterInputPin::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}
HRESULT STDMETHODCALLTYPE TFileWriterInputPin::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}
HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Stat(STATSTG* stat, DWORD flags) {
    return FWriter->FileStat(stat, flags);
}
HRESULT STDMETHODCALLTYPE TFileWriterInputPin::Clone(IStream** clone) {
    if (clone != nullptr) *clone = nullptr;
    return E_NOTIMPL;
}

// ---- TFileWriter ----

TFileWriter::TFileWriter(const wchar_t* name, IUnknown* outer, HRESULT* hr)
    : TBCBaseFilter(name, outer, &FStateLock, CLSID_FileWriter),
      FPin(std::make_unique<TFileWriterInputPin>(this, &FStateLock, hr)) {}

TFileWriter::~TFileWriter() {
    CloseFile();
    FreeMediaType(FSinkType);
}

TBCUnknown* TFileWriter::CreateFromFactory(TBCClassFactory* factory, IUnknown* outer) {
    HRESULT hr = S_OK;
    auto* writer = new (std::nothrow) TFileWriter(factory->Name(), outer, &hr);
    if (writer != nullptr && FAILED(hr)) {
        delete writer;
        return nullptr;
    }
    return writer;
}

HRESULT STDMETHODCALLTYPE TFileWriter::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), object);
    if (iid == IID_IAMFilterMiscFlags) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), object);
    return TBCBaseFilter::NonDelegatingQueryInterface(iid, object);
}

TBCBasePin* TFileWriter::GetPin(int index) { return index == 0 ? FPin.get() : nullptr; }

HRESULT TFileWriter::OpenFile() {
    TBCAutoLock write(FWriteLock);
    CloseFile();
    FStreamWriting = false;
    if (FFileName.empty()) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    FFile.Reset(CreateFileW(FFileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FFile) return LastError();
    StartFlushing();
    return S_OK;
}

void TFileWriter::CloseFile() {
    TBCAutoLock write(FWriteLock);
    StopFlushing();
    if (FFile) FlushFileBuffers(FFile.Get());
    FFile.Reset();
    FStreamWriting = false;
    FUnflushed = 0;
}

void TFileWriter::StartFlushing() {
    StopFlushing();
    FFlushWanted = false;
    FFlushEnd = false;
    FFlushFailure = S_OK;
    const HANDLE file = FFile.Get();
    FFlusher = std::thread([this, file] {
        std::unique_lock<std::mutex> lock(FFlushLock);
        for (;;) {
            FFlushChanged.wait(lock, [this] { return FFlushWanted || FFlushEnd; });
            if (FFlushEnd) return;
            FFlushWanted = false;
            lock.unlock();
            const HRESULT flushed = FlushFileBuffers(file) ? S_OK : LastError();
            lock.lock();
            if (FAILED(flushed) && SUCCEEDED(FFlushFailure)) FFlushFailure = flushed;
        }
    });
}

void TFileWriter::StopFlushing() {
    if (!FFlusher.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(FFlushLock);
        FFlushEnd = true;
    }
    FFlushChanged.notify_all();
    FFlusher.join();
}

HRESULT TFileWriter::FlushFailure() {
    std::lock_guard<std::mutex> lock(FFlushLock);
    return FFlushFailure;
}

HRESULT STDMETHODCALLTYPE TFileWriter::Pause() {
    TBCAutoLock lock(FStateLock);
    if (FState == State_Stopped) {
        FEndPending = false;
        FCompleteSent = false;
        const HRESULT hr = OpenFile();
        if (FAILED(hr)) return hr;
        const HRESULT paused = TBCBaseFilter::Pause();
        if (FAILED(paused)) CloseFile();
        return paused;
    }
    return TBCBaseFilter::Pause();
}

HRESULT STDMETHODCALLTYPE TFileWriter::Stop() {
    TBCAutoLock lock(FStateLock);
    const HRESULT hr = TBCBaseFilter::Stop();
    TBCAutoLock write(FWriteLock);
    // A multiplexer writing through IStream may still complete its headers
    // after we stopped; it commits when it is done.
    if (!FStreamWriting) CloseFile();
    return hr;
}

HRESULT STDMETHODCALLTYPE TFileWriter::Run(REFERENCE_TIME start) {
    bool report = false;
    HRESULT hr;
    {
        TBCAutoLock lock(FStateLock);
        hr = TBCBaseFilter::Run(start);
        report = SUCCEEDED(hr) && FEndPending && !FCompleteSent;
        if (report) FCompleteSent = true;
    }
    if (report) ReportComplete();
    return hr;
}

HRESULT STDMETHODCALLTYPE TFileWriter::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) {
    if (fileName == nullptr) return E_POINTER;
    if (fileName[0] == L'\0') return E_INVALIDARG;
    TBCAutoLock lock(FStateLock);
    if (FState != State_Stopped) return VFW_E_WRONG_STATE;
    {
        // A file still held for a late commit is let go first.
        TBCAutoLock write(FWriteLock);
        CloseFile();
    }
    FFileName = fileName;
    FreeMediaType(FSinkType);
    if (type != nullptr) CopyMediaType(&FSinkType, type);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TFileWriter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (fileName == nullptr) return E_POINTER;
    *fileName = nullptr;
    TBCAutoLock lock(FStateLock);
    if (type != nullptr) {
        *type = AM_MEDIA_TYPE{};
        CopyMediaType(type, &FSinkType);
    }
    if (FFileName.empty()) return S_FALSE;
    const size_t bytes = (FFileName.size() + 1) * sizeof(wchar_t);
    *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (*fileName == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*fileName, FFileName.c_str(), bytes);
    return S_OK;
}

ULONG STDMETHODCALLTYPE TFileWriter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

HRESULT TFileWriter::WriteAt(const LONGLONG* offset, const BYTE* data, DWORD size, DWORD* written) {
    *written = 0;
    TBCAutoLock write(FWriteLock);
    if (!FFile) return E_UNEXPECTED;
    const HRESULT flushFailure = FlushFailure();
    if (FAILED(flushFailure)) return flushFailure;
    if (offset == nullptr) FStreamWriting = true;
    if (offset != nullptr) {
        LARGE_INTEGER to;
        to.QuadPart = *offset;
        if (!SetFilePointerEx(FFile.Get(), to, nullptr, FILE_BEGIN)) return LastError();
    }
    // WriteFile takes at most 4 GiB - 1 at once; a sample is smaller.
    if (size > 0 && !WriteFile(FFile.Get(), data, size, written, nullptr)) return LastError();
    if (*written != size) return STG_E_MEDIUMFULL;
    // The system may keep what was written in memory and report a failure
    // to store it only when the file is flushed. A thread of the writer
    // flushes as the file grows, without holding up the writes: a failure
    // is reported by the next write, and the last flush, at the end, has
    // only the last bytes to store.
    FUnflushed += size;
    if (FUnflushed >= FlushEvery) {
        FUnflushed = 0;
        {
            std::lock_guard<std::mutex> lock(FFlushLock);
            if (FAILED(FFlushFailure)) return FFlushFailure;
            FFlushWanted = true;
        }
        FFlushChanged.notify_all();
    }
    return S_OK;
}

HRESULT TFileWriter::ReadAt(void* data, ULONG size, ULONG* read) {
    TBCAutoLock write(FWriteLock);
    if (!FFile) return E_UNEXPECTED;
    DWORD done = 0;
    const BOOL ok = ReadFile(FFile.Get(), data, size, &done, nullptr);
    if (read != nullptr) *read = done;
    if (!ok) return LastError();
    return done == size ? S_OK : S_FALSE;
}

HRESULT TFileWriter::SeekTo(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    TBCAutoLock write(FWriteLock);
    if (!FFile) return E_UNEXPECTED;
    if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
    FStreamWriting = true;
    LARGE_INTEGER now{};
    if (!SetFilePointerEx(FFile.Get(), move, &now, origin)) return LastError();
    if (position != nullptr) position->QuadPart = static_cast<ULONGLONG>(now.QuadPart);
    return S_OK;
}

HRESULT TFileWriter::SetFileSize(ULARGE_INTEGER size) {
    TBCAutoLock write(FWriteLock);
    if (!FFile) return E_UNEXPECTED;
    LARGE_INTEGER now{}, zero{}, to;
    to.QuadPart = static_cast<LONGLONG>(size.QuadPart);
    if (!SetFilePointerEx(FFile.Get(), zero, &now, FILE_CURRENT)) return LastError();
    if (!SetFilePointerEx(FFile.Get(), to, nullptr, FILE_BEGIN) || !SetEndOfFile(FFile.Get())) return LastError();
    SetFilePointerEx(FFile.Get(), now, nullptr, FILE_BEGIN);
    return S_OK;
}

HRESULT TFileWriter::FileStat(STATSTG* stat, DWORD flags) {
    if (stat == nullptr) return STG_E_INVALIDPOINTER;
    TBCAutoLock write(FWriteLock);
    if (!FFile) return E_UNEXPECTED;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(FFile.Get(), &size)) return LastError();
    stat->cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
    if (!(flags & STATFLAG_NONAME)) {
        const size_t bytes = (FFileName.size() + 1) * sizeof(wchar_t);
        stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (stat->pwcsName == nullptr) return STG_E_INSUFFICIENTMEMORY;
        std::memcpy(stat->pwcsName, FFileName.c_str(), bytes);
    }
    return S_OK;
}

HRESULT TFileWriter::CommitFile() {
    TBCAutoLock write(FWriteLock);
    if (!FFile) return E_UNEXPECTED;
    FStreamWriting = false;
    // Stopped already: the writer upstream was the last to finish.
    if (IsStopped()) {
        StopFlushing();
        const HRESULT earlier = FlushFailure();
        const BOOL flushed = FlushFileBuffers(FFile.Get());
        const HRESULT result = FAILED(earlier) ? earlier : flushed ? S_OK : LastError();
        FFile.Reset();
        return result;
    }
    const HRESULT earlier = FlushFailure();
    if (FAILED(earlier)) return earlier;
    return FlushFileBuffers(FFile.Get()) ? S_OK : LastError();
}

void TFileWriter::WriteFailed(HRESULT error) { NotifyEvent(EC_ERRORABORT, error, 0); }

void TFileWriter::StreamEnded() {
    {
        TBCAutoLock lock(FStateLock);
        FEndPending = true;
        if (FState != State_Running || FCompleteSent) return;
        FCompleteSent = true;
    }
    ReportComplete();
}

void TFileWriter::ReportComplete() {
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}
