// Copying, freeing, creating and deleting AM_MEDIA_TYPE records.
//
// A record whose cbFormat is not 0 owns a format block of cbFormat bytes from
// the COM task allocator; a record whose pUnk is set holds one reference.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <memory>
#include <utility>

// Deep copy of source over target. What target held is overwritten without
// being released. A failed format allocation leaves target with cbFormat 0
// and no block.
void CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// Releases what the record owns; the record itself stays. Calling it twice
// is harmless.
void FreeMediaType(AM_MEDIA_TYPE& record);

// A new task-allocated deep copy of source, or null when the record cannot be
// allocated.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

// Frees the contents and the task-allocated record; null does nothing.
void DeleteMediaType(AM_MEDIA_TYPE* record);

// Deletes a task-allocated record with what it owns.
struct TMediaTypeDeleter {
    void operator()(AM_MEDIA_TYPE* record) const noexcept { DeleteMediaType(record); }
};

// Owns a task-allocated record: one from CreateMediaType, IEnumMediaTypes::Next,
// IAMStreamConfig::GetFormat or GetStreamCaps.
using TMediaTypePtr = std::unique_ptr<AM_MEDIA_TYPE, TMediaTypeDeleter>;

// A record held by value that frees its format block and its pUnk reference
// when it goes.
class TMediaTypeRecord {
public:
    TMediaTypeRecord() noexcept = default;
    // A deep copy of source.
    explicit TMediaTypeRecord(const AM_MEDIA_TYPE& source) { CopyMediaType(&FRecord, &source); }
    TMediaTypeRecord(const TMediaTypeRecord&) = delete;
    TMediaTypeRecord& operator=(const TMediaTypeRecord&) = delete;
    TMediaTypeRecord(TMediaTypeRecord&& other) noexcept : FRecord(std::exchange(other.FRecord, AM_MEDIA_TYPE{})) {}
    TMediaTypeRecord& operator=(TMediaTypeRecord&& other) noexcept {
        if (this != &other) {
            Reset();
            FRecord = std::exchange(other.FRecord, AM_MEDIA_TYPE{});
        }
        return *this;
    }
    ~TMediaTypeRecord() { FreeMediaType(FRecord); }

    // Replaces the contents with a deep copy of source (this record's own
    // contents are kept as they are).
    void Assign(const AM_MEDIA_TYPE& source);
    // Frees the contents and leaves an all-zero record.
    void Reset() noexcept;
    // For out parameters: frees the contents, then lends the record.
    AM_MEDIA_TYPE* Put() noexcept {
        Reset();
        return &FRecord;
    }

    AM_MEDIA_TYPE* Get() noexcept { return &FRecord; }
    const AM_MEDIA_TYPE* Get() const noexcept { return &FRecord; }
    AM_MEDIA_TYPE* operator->() noexcept { return &FRecord; }
    const AM_MEDIA_TYPE* operator->() const noexcept { return &FRecord; }
    AM_MEDIA_TYPE& operator*() noexcept { return FRecord; }
    const AM_MEDIA_TYPE& operator*() const noexcept { return FRecord; }

private:
    AM_MEDIA_TYPE FRecord{};
};
