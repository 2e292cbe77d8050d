#include "media/media_type_object.h"

#include "classlib/runtime/exceptions.h"
#include "shared/media_type.h"
#include "shared/owner.h"

#include <cstring>
#include <memory>

namespace {

// Field offsets of the persisted 32-bit layout.
constexpr size_t OffMajor = 0, OffSub = 16, OffFixed = 32, OffTemporal = 36, OffSampleSize = 40, OffFormatType = 44,
                 OffUnk = 60, OffCbFormat = 64, OffPbFormat = 68;

template <class T>
void Put(uint8_t* bytes, size_t offset, const T& value) {
    std::memcpy(bytes + offset, &value, sizeof value);
}
template <class T>
T Get(const uint8_t* bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

uint32_t PointerBits(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace

TMediaType::TMediaType(const AM_MEDIA_TYPE* Source) : MediaTypeRecord(FRecord.Get()) {
    if (Source) FRecord.Assign(*Source);
}

void TMediaType::Assign(TPersistent* Source) {
    if (auto* source = dynamic_cast<TMediaType*>(Source)) {
        if (source == this) return;
        FRecord.Assign(*source->MediaTypeRecord);
        return;
    }
    TPersistent::Assign(Source);
}

bool TMediaType::Equal(const TMediaType& Other) const {
    const AM_MEDIA_TYPE& a = *MediaTypeRecord;
    const AM_MEDIA_TYPE& b = *Other.MediaTypeRecord;
    if (!IsEqualGUID(a.majortype, b.majortype) || !IsEqualGUID(a.subtype, b.subtype) ||
        !IsEqualGUID(a.formattype, b.formattype) || a.cbFormat != b.cbFormat)
        return false;
    if (a.cbFormat == 0) return true;
    if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

void TMediaType::ResetFormatBuffer() {
    // The block is the record's only while cbFormat counts it.
    const TTaskMem<BYTE> block(FRecord->cbFormat != 0 ? FRecord->pbFormat : nullptr);
    FRecord->cbFormat = 0;
    FRecord->pbFormat = nullptr;
}

void TMediaType::WriteData(TStream& Stream) const {
    const AM_MEDIA_TYPE& r = *MediaTypeRecord;
    uint8_t bytes[RecordSize] = {};
    Put(bytes, OffMajor, r.majortype);
    Put(bytes, OffSub, r.subtype);
    Put(bytes, OffFixed, static_cast<int32_t>(r.bFixedSizeSamples));
    Put(bytes, OffTemporal, static_cast<int32_t>(r.bTemporalCompression));
    Put(bytes, OffSampleSize, static_cast<uint32_t>(r.lSampleSize));
    Put(bytes, OffFormatType, r.formattype);
    Put(bytes, OffUnk, PointerBits(r.pUnk));
    Put(bytes, OffCbFormat, static_cast<uint32_t>(r.cbFormat));
    Put(bytes, OffPbFormat, PointerBits(r.pbFormat));
    Stream.WriteBuffer(bytes, RecordSize);
    if (r.cbFormat != 0) Stream.WriteBuffer(r.pbFormat, r.cbFormat);
}

void TMediaType::ReadData(TStream& Stream) {
    uint8_t bytes[RecordSize];
    Stream.ReadBuffer(bytes, RecordSize);
    const uint32_t cbFormat = Get<uint32_t>(bytes, OffCbFormat);
    const int64_t remaining = Stream.Size() - Stream.Position();
    if (static_cast<int64_t>(cbFormat) > remaining)
        throw EReadError(L"Stream read error: the media type announces " + std::to_wstring(cbFormat) +
                         L" format bytes, the stream holds " + std::to_wstring(remaining < 0 ? 0 : remaining));
    TTaskMem<BYTE> block;
    if (cbFormat != 0) {
        block.Reset(static_cast<BYTE*>(CoTaskMemAlloc(cbFormat)));
        if (!block) throw EReadError(L"Stream read error: no memory for the media type's format block");
        Stream.ReadBuffer(block.Get(), cbFormat);
    }
    // The stored pointers belong to the writing process: pUnk is not taken
    // over, and the record references nothing it does not own.
    AM_MEDIA_TYPE& r = *FRecord.Put();
    r.majortype = Get<GUID>(bytes, OffMajor);
    r.subtype = Get<GUID>(bytes, OffSub);
    r.bFixedSizeSamples = Get<int32_t>(bytes, OffFixed);
    r.bTemporalCompression = Get<int32_t>(bytes, OffTemporal);
    r.lSampleSize = Get<uint32_t>(bytes, OffSampleSize);
    r.formattype = Get<GUID>(bytes, OffFormatType);
    r.pUnk = nullptr;
    r.cbFormat = cbFormat;
    r.pbFormat = block.Take();
}

void TMediaType::DefineProperties(TFiler& Filer) {
    auto* ancestor = dynamic_cast<TMediaType*>(Filer.Ancestor());
    const bool hasData = !ancestor || !Equal(*ancestor);
    Filer.DefineBinaryProperty(
        L"data", [this](TStream& stream) { ReadData(stream); }, [this](TStream& stream) { WriteData(stream); },
        hasData);
}
