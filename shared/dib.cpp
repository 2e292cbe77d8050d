#include "shared/dib.h"

#include <cguid.h>
#include <uuids.h>

#include <cstring>

uint32_t WidthBytes(uint32_t bits) { return ((bits + 31) & ~uint32_t{31}) / 8; }

uint32_t DibWidthBytes(const BITMAPINFOHEADER& header) {
    return WidthBytes(static_cast<uint32_t>(header.biBitCount) * static_cast<uint32_t>(header.biWidth));
}

int32_t DibSignedSize(const BITMAPINFOHEADER& header) {
    return static_cast<int32_t>(DibWidthBytes(header) * static_cast<uint32_t>(header.biHeight));
}

int32_t DibSize(const BITMAPINFOHEADER& header) {
    const int32_t size = DibSignedSize(header);
    return header.biHeight < 0 ? -size : size;
}

GUID GetTrueColorType(const BITMAPINFOHEADER& header) {
    if (header.biCompression == BI_RGB) return MEDIASUBTYPE_RGB555;
    // The masks follow the header directly, as in a VIDEOINFO block.
    DWORD masks[3];
    std::memcpy(masks, reinterpret_cast<const BYTE*>(&header) + sizeof(BITMAPINFOHEADER), sizeof masks);
    static constexpr DWORD rgb555[3] = {0x7C00, 0x03E0, 0x001F};
    static constexpr DWORD rgb565[3] = {0xF800, 0x07E0, 0x001F};
    if (std::memcmp(masks, rgb555, sizeof masks) == 0) return MEDIASUBTYPE_RGB555;
    if (std::memcmp(masks, rgb565, sizeof masks) == 0) return MEDIASUBTYPE_RGB565;
    return GUID_NULL;
}

GUID GetBitmapSubtype(const BITMAPINFOHEADER& header) {
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
        return FourCCSubtype(header.biCompression);
    switch (header.biBitCount) {
    case 1:
        return MEDIASUBTYPE_RGB1;
    case 4:
        return MEDIASUBTYPE_RGB4;
    case 8:
        return MEDIASUBTYPE_RGB8;
    case 16:
        return GetTrueColorType(header);
    case 24:
        return MEDIASUBTYPE_RGB24;
    case 32:
        return MEDIASUBTYPE_RGB32;
    default:
        return GUID_NULL;
    }
}

GUID FourCCSubtype(DWORD fourcc) {
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
