#include "media/persistent_memory.h"

#include "classlib/runtime/exceptions.h"

#include <cstring>

void TPersistentMemory::SetDataLength(uint32_t Length) {
    FData.reset();
    FLength = 0;
    if (Length == 0) return;
    FData = std::make_unique<uint8_t[]>(Length);  // zero-filled
    FLength = Length;
}

void TPersistentMemory::Assign(TPersistent* Source) {
    if (auto* source = dynamic_cast<TPersistentMemory*>(Source)) {
        if (source == this) return;
        SetDataLength(source->FLength);
        if (FLength != 0) std::memcpy(FData.get(), source->FData.get(), FLength);
        return;
    }
    TPersistent::Assign(Source);
}

void TPersistentMemory::AssignTo(TPersistent* Dest) {
    // The target's Assign; one that knows no TPersistentMemory hands the call
    // back here through the default assignment, which then raises.
    if (!Dest) TPersistent::AssignTo(Dest);
    Dest->Assign(this);
}

bool TPersistentMemory::Equal(const TPersistentMemory& Other) const {
    return Other.FLength != 0 && Other.FLength == FLength && FData && Other.FData &&
           std::memcmp(FData.get(), Other.FData.get(), FLength) == 0;
}

void TPersistentMemory::ReadData(TStream& Stream) {
    uint32_t length = 0;
    Stream.ReadBuffer(&length, sizeof length);
    // A length beyond the stream's end is refused before anything is
    // allocated, so a damaged value cannot ask for gigabytes.
    const int64_t remaining = Stream.Size() - Stream.Position();
    if (static_cast<int64_t>(length) > remaining)
        throw EReadError(L"Stream read error: the data announces " + std::to_wstring(length) +
                         L" bytes, the stream holds " + std::to_wstring(remaining < 0 ? 0 : remaining));
    std::unique_ptr<uint8_t[]> data;
    if (length != 0) {
        data = std::make_unique<uint8_t[]>(length);
        Stream.ReadBuffer(data.get(), length);
    }
    FData = std::move(data);
    FLength = length;
}

void TPersistentMemory::WriteData(TStream& Stream) const {
    Stream.WriteBuffer(&FLength, sizeof FLength);
    if (FLength != 0) Stream.WriteBuffer(FData.get(), FLength);
}

void TPersistentMemory::DefineProperties(TFiler& Filer) {
    auto* ancestor = dynamic_cast<TPersistentMemory*>(Filer.Ancestor());
    const bool hasData = !ancestor || !Equal(*ancestor);
    Filer.DefineBinaryProperty(
        L"data", [this](TStream& stream) { ReadData(stream); }, [this](TStream& stream) { WriteData(stream); },
        hasData);
}
