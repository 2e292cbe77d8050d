// TMediaType: one owned AM_MEDIA_TYPE that a component stream carries as
// the binary property "data": the record in its 72-byte 32-bit layout,
// little-endian, then the format block when cbFormat is not 0.
#pragma once

#include "classlib/runtime/persistent.h"
#include "classlib/runtime/streams.h"
#include "shared/media_type.h"

#include <windows.h>
#include <strmif.h>

#include <cstdint>

class TMediaType : public TPersistent {
    // Owns the record, its format block and its pUnk reference; first, so
    // that it exists before the public pointer into it.
    TMediaTypeRecord FRecord;

public:
    // The persisted record's size, whatever the pointer size of the process.
    static constexpr uint32_t RecordSize = 72;

    // A deep copy of Source; an empty record when Source is null.
    explicit TMediaType(const AM_MEDIA_TYPE* Source = nullptr);
    ~TMediaType() override = default;
    TMediaType(const TMediaType&) = delete;
    TMediaType& operator=(const TMediaType&) = delete;

    // The held record, owned by this object (with its format block and
    // pUnk reference); valid as long as the object.
    AM_MEDIA_TYPE* const MediaTypeRecord;

    // From another TMediaType: its record, deep-copied.
    void Assign(TPersistent* Source) override;
    // Same major type, subtype, format type and format bytes; the flags,
    // sample size and pUnk are not compared.
    bool Equal(const TMediaType& Other) const;
    uint32_t FormatLength() const noexcept { return MediaTypeRecord->cbFormat; }
    // Drops the format block; pUnk stays.
    void ResetFormatBuffer();
    void GetSubType(GUID& Guid) const noexcept { Guid = MediaTypeRecord->subtype; }
    void GetFormatType(GUID& Guid) const noexcept { Guid = MediaTypeRecord->formattype; }

    // Stream procedures of "data". ReadData takes the record's pointers from
    // nowhere: pUnk is read as null and pbFormat holds only a block read
    // here. A stream that ends early, or announces more format bytes than it
    // holds, raises EReadError and leaves the object as it was.
    void ReadData(TStream& Stream);
    void WriteData(TStream& Stream) const;

protected:
    void DefineProperties(TFiler& Filer) override;
};
