// Little-endian byte building for RIFF chunks: four-character codes and
// 16, 32 and 64-bit fields appended to a buffer or written at a position.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

constexpr DWORD MakeFourCC(const char (&text)[5]) {
    return static_cast<DWORD>(static_cast<BYTE>(text[0])) | (static_cast<DWORD>(static_cast<BYTE>(text[1])) << 8) |
           (static_cast<DWORD>(static_cast<BYTE>(text[2])) << 16) |
           (static_cast<DWORD>(static_cast<BYTE>(text[3])) << 24);
}

class TRiffBuffer {
public:
    void Put8(BYTE value) { PutLittle(value, 1); }
    void Put16(WORD value) { PutLittle(value, 2); }
    void Put32(DWORD value) { PutLittle(value, 4); }
    void Put64(uint64_t value) { PutLittle(value, 8); }
    void PutBytes(const void* data, size_t size) {
        const auto* bytes = static_cast<const BYTE*>(data);
        FBytes.insert(FBytes.end(), bytes, bytes + size);
    }
    void PutZeros(size_t count) { FBytes.insert(FBytes.end(), count, 0); }

    // Opens a chunk (or, with a list type, a LIST or RIFF) whose size field
    // EndChunk fills in; returns the size field's position.
    size_t BeginChunk(DWORD id) {
        Put32(id);
        const size_t sizeAt = FBytes.size();
        Put32(0);
        return sizeAt;
    }
    size_t BeginList(DWORD id, DWORD listType) {
        const size_t sizeAt = BeginChunk(id);
        Put32(listType);
        return sizeAt;
    }
    // Fills the size field and pads the chunk to an even length.
    void EndChunk(size_t sizeAt) {
        const size_t size = FBytes.size() - sizeAt - 4;
        Set32(sizeAt, static_cast<DWORD>(size));
        if (size & 1) Put8(0);
    }
    void Set32(size_t at, DWORD value) {
        for (int i = 0; i < 4; ++i) FBytes[at + i] = static_cast<BYTE>(value >> (8 * i));
    }

    size_t Size() const { return FBytes.size(); }
    const BYTE* Data() const { return FBytes.data(); }
    void Clear() { FBytes.clear(); }

private:
    void PutLittle(uint64_t value, int bytes) {
        BYTE little[8];
        for (int i = 0; i < bytes; ++i) little[i] = static_cast<BYTE>(value >> (8 * i));
        FBytes.insert(FBytes.end(), little, little + bytes);
    }

    std::vector<BYTE> FBytes;
};
