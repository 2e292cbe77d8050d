// Streams and the IStream adapter.
#include "classlib/runtime/streams.h"

#include "classlib/runtime/exceptions.h"
#include "shared/com_guard.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>

int64_t TStream::GetSize() {
    const int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0) throw EReadError(L"Stream read error");
    if (count > 0 && Read(buffer, count) != count) throw EReadError(L"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0) throw EWriteError(L"Stream write error");
    if (count > 0 && Write(buffer, count) != count) throw EWriteError(L"Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count < 0) throw EReadError(L"Stream read error");
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t result = count;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 64 * 1024)) + 1);
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return result;
}

// --- TMemoryStream -------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= GetSize()) return 0;
    const int64_t n = std::min(count, GetSize() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (count > std::numeric_limits<int64_t>::max() - FPosition) return 0;
    const int64_t end = FPosition + count;
    if (static_cast<uint64_t>(end) > FData.max_size()) return 0;
    try {
        if (end > GetSize()) FData.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning:
        base = 0;
        break;
    case TSeekOrigin::soCurrent:
        base = FPosition;
        break;
    case TSeekOrigin::soEnd:
        base = GetSize();
        break;
    }
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
        throw EStreamError(L"Invalid stream position");
    FPosition = base + offset;
    return FPosition;
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0 || static_cast<uint64_t>(newSize) > FData.max_size()) throw EStreamError(L"Invalid stream size");
    try {
        FData.resize(static_cast<size_t>(newSize));
    } catch (const std::bad_alloc&) {
        throw EStreamError(L"Out of memory while expanding memory stream");
    }
    if (FPosition > newSize) FPosition = newSize;
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const int64_t size = source.Size();
    SetSize(size);
    if (size) source.ReadBuffer(FData.data(), size);
    FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) {
    if (!FData.empty()) dest.WriteBuffer(FData.data(), GetSize());
}

void TMemoryStream::LoadFromFile(const std::wstring& fileName) {
    TFileStream f(fileName, TFileMode::fmOpenRead);
    LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::wstring& fileName) {
    TFileStream f(fileName, TFileMode::fmCreate);
    SaveToStream(f);
}

// --- TFileStream ---------------------------------------------------------

TFileStream::TFileStream(const std::wstring& fileName, TFileMode mode) : FFileName(fileName) {
    DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
    switch (mode) {
    case TFileMode::fmCreate:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        share = FILE_SHARE_READ;
        break;
    case TFileMode::fmOpenRead:
        access = GENERIC_READ;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    case TFileMode::fmOpenWrite:
        access = GENERIC_WRITE;
        break;
    case TFileMode::fmOpenReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    }
    FHandle.Reset(CreateFileW(fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle) {
        const DWORD code = GetLastError();
        throw EFOpenError((mode == TFileMode::fmCreate ? L"Cannot create file \"" : L"Cannot open file \"") + fileName +
                          L"\". (" + std::to_wstring(code) + L")");
    }
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t total = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count, 1 << 30));
        if (!ReadFile(FHandle.Get(), p, chunk, &got, nullptr) || got == 0) break;
        total += got;
        p += got;
        count -= got;
    }
    return total;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    int64_t total = 0;
    auto* p = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count, 1 << 30));
        if (!WriteFile(FHandle.Get(), p, chunk, &put, nullptr) || put == 0) break;
        total += put;
        p += put;
        count -= put;
    }
    return total;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER move, pos;
    move.QuadPart = offset;
    const DWORD how = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                      : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                         : FILE_END;
    if (!SetFilePointerEx(FHandle.Get(), move, &pos, how)) throw EStreamError(L"Invalid stream position");
    return pos.QuadPart;
}

void TFileStream::SetSize(int64_t newSize) {
    const int64_t pos = Position();
    SetPosition(newSize);
    if (!SetEndOfFile(FHandle.Get())) throw EStreamError(L"Cannot change the size of \"" + FFileName + L"\"");
    if (pos < newSize) SetPosition(pos);
}

// --- TStreamAdapter ------------------------------------------------------

ComPtr<IStream> TStreamAdapter::Create(TStream& stream) { return ComPtr<IStream>::Attach(new TStreamAdapter(stream)); }

HRESULT TStreamAdapter::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISequentialStream) || IsEqualGUID(iid, IID_IStream)) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TStreamAdapter::AddRef() { return ++FRefCount; }

ULONG TStreamAdapter::Release() {
    const ULONG n = --FRefCount;
    if (n == 0) delete this;
    return n;
}

HRESULT TStreamAdapter::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    return ComGuard(STG_E_READFAULT, [&]() -> HRESULT {
        const int64_t n = FStream.Read(pv, cb);
        if (pcbRead) *pcbRead = static_cast<ULONG>(n);
        return S_OK;  // a short read at the end is not an error
    });
}

HRESULT TStreamAdapter::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    return ComGuard(STG_E_CANTSAVE, [&]() -> HRESULT {
        const int64_t n = FStream.Write(pv, cb);
        if (pcbWritten) *pcbWritten = static_cast<ULONG>(n);
        return n == static_cast<int64_t>(cb) ? S_OK : STG_E_CANTSAVE;
    });
}

HRESULT TStreamAdapter::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
    if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
    return ComGuard(STG_E_INVALIDFUNCTION, [&]() -> HRESULT {
        const int64_t pos = FStream.Seek(move.QuadPart, static_cast<TSeekOrigin>(origin));
        if (newPosition) newPosition->QuadPart = static_cast<ULONGLONG>(pos);
        return S_OK;
    });
}

HRESULT TStreamAdapter::SetSize(ULARGE_INTEGER newSize) {
    if (newSize.QuadPart > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max())) return STG_E_INVALIDFUNCTION;
    return ComGuard(E_FAIL, [&]() -> HRESULT {
        FStream.SetSize(static_cast<int64_t>(newSize.QuadPart));
        return S_OK;
    });
}

HRESULT TStreamAdapter::CopyTo(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (!dest) return STG_E_INVALIDPOINTER;
    uint8_t buffer[8192];
    ULONGLONG left = cb.QuadPart, read = 0, written = 0;
    const HRESULT hr = ComGuard(E_FAIL, [&]() -> HRESULT {
        HRESULT result = S_OK;  // the last write's answer
        while (left > 0) {
            const ULONG chunk = static_cast<ULONG>(std::min<ULONGLONG>(left, sizeof buffer));
            const int64_t n = FStream.Read(buffer, chunk);
            if (n <= 0) break;
            read += static_cast<ULONGLONG>(n);
            ULONG put = 0;
            result = dest->Write(buffer, static_cast<ULONG>(n), &put);
            written += put;
            if (FAILED(result)) return result;
            if (put != static_cast<ULONG>(n)) return STG_E_MEDIUMFULL;
            left -= static_cast<ULONGLONG>(n);
        }
        return result;
    });
    if (pcbRead) pcbRead->QuadPart = read;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
}

HRESULT TStreamAdapter::Commit(DWORD) { return S_OK; }
// The stream is in direct mode: there is nothing to discard, and the
// documented answer is success (STG_E_REVERTED would tell the caller that
// the stream was invalidated).
HRESULT TStreamAdapter::Revert() { return S_OK; }
HRESULT TStreamAdapter::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }
HRESULT TStreamAdapter::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TStreamAdapter::Stat(STATSTG* stat, DWORD) {
    if (!stat) return STG_E_INVALIDPOINTER;
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    return ComGuard(E_FAIL, [&]() -> HRESULT {
        stat->cbSize.QuadPart = static_cast<ULONGLONG>(FStream.Size());
        stat->grfMode = STGM_READWRITE;
        return S_OK;
    });
}

HRESULT TStreamAdapter::Clone(IStream** ppstm) {
    if (ppstm) *ppstm = nullptr;
    return E_NOTIMPL;
}
