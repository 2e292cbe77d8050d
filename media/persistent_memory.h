// TPersistentMemory: a block of bytes that a component stream carries as
// the binary property "data": a 4-byte little-endian length, then the bytes.
#pragma once

#include "classlib/runtime/persistent.h"
#include "classlib/runtime/streams.h"

#include <cstdint>
#include <memory>

class TPersistentMemory : public TPersistent {
public:
    TPersistentMemory() = default;
    ~TPersistentMemory() override = default;
    TPersistentMemory(const TPersistentMemory&) = delete;
    TPersistentMemory& operator=(const TPersistentMemory&) = delete;

    // Replaces the block by a new zero-filled one of Length bytes (none for
    // 0); the old contents never survive.
    void SetDataLength(uint32_t Length);
    uint32_t DataLength() const noexcept { return FLength; }
    uint8_t* Data() noexcept { return FData.get(); }
    const uint8_t* Data() const noexcept { return FData.get(); }

    // From another TPersistentMemory (a TBaseFilter included): its bytes.
    void Assign(TPersistent* Source) override;
    // True when both hold the same non-empty bytes; two empty objects are
    // not equal.
    bool Equal(const TPersistentMemory& Other) const;

    // Stream procedures of "data". ReadData raises EReadError, and keeps the
    // object as it was, when the stream ends before the announced bytes.
    void ReadData(TStream& Stream);
    void WriteData(TStream& Stream) const;

protected:
    void AssignTo(TPersistent* Dest) override;
    void DefineProperties(TFiler& Filer) override;

private:
    std::unique_ptr<uint8_t[]> FData;
    uint32_t FLength = 0;
};
