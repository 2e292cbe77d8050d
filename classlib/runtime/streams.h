// Byte streams: TStream (read, write, seek, size; ReadBuffer/WriteBuffer
// raise on a short transfer), TMemoryStream (a growable block in memory),
// TFileStream (a file opened through the wide API), and TStreamAdapter, which
// shows a TStream as a COM IStream without owning it (for OleSaveToStream,
// OleLoadFromStream and other platform calls that want an IStream).
#pragma once

#include "classlib/runtime/object.h"
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
public:
    // Transfer up to count bytes; return how many were transferred.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position; EStreamError when it cannot be moved there.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t GetSize();
    virtual void SetSize(int64_t newSize) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    int64_t Size() { return GetSize(); }

    // EReadError / EWriteError unless exactly count bytes are transferred.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (count 0: all of source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }
    // New bytes are zero; the position is kept unless it lies past the end.
    void SetSize(int64_t newSize) override;

    void Clear();
    uint8_t* Memory() noexcept { return FData.data(); }
    const uint8_t* Memory() const noexcept { return FData.data(); }
    const std::vector<uint8_t>& Bytes() const noexcept { return FData; }
    // Replaces the contents with all of source (from its start); position 0.
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& dest);
    void LoadFromFile(const std::wstring& fileName);
    void SaveToFile(const std::wstring& fileName);

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// Modes for TFileStream.
enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

class TFileStream : public TStream {
public:
    // EFOpenError when the file cannot be opened or created.
    TFileStream(const std::wstring& fileName, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    const std::wstring& FileName() const noexcept { return FFileName; }

private:
    TKernelHandle FHandle;
    std::wstring FFileName;
};

// A COM IStream over a TStream that the caller keeps alive for as long as
// the adapter is used. The adapter counts its own references and frees
// itself; it never frees the stream.
class TStreamAdapter final : public IStream {
public:
    static ComPtr<IStream> Create(TStream& stream);

    TStream& Stream() noexcept { return FStream; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER newSize) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                     ULARGE_INTEGER* pcbWritten) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

private:
    explicit TStreamAdapter(TStream& stream) : FStream(stream) {}
    ~TStreamAdapter() = default;

    TStream& FStream;
    std::atomic<ULONG> FRefCount{1};
};
