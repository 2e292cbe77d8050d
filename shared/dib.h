// Sizes and media subtypes of device-independent bitmaps.
#pragma once

#include <windows.h>
#include <guiddef.h>

#include <cstdint>

// Bytes per row for the given bits per row, rounded up to a multiple of 4.
uint32_t WidthBytes(uint32_t bits);
// Bytes per row of the bitmap the header describes.
uint32_t DibWidthBytes(const BITMAPINFOHEADER& header);
// Row bytes times biHeight: negative for a top-down bitmap.
int32_t DibSignedSize(const BITMAPINFOHEADER& header);
// Image size in bytes.
int32_t DibSize(const BITMAPINFOHEADER& header);

// For a 16-bit header: RGB555, RGB565 or GUID_NULL. With BI_BITFIELDS the
// three colour masks must follow the header in memory.
GUID GetTrueColorType(const BITMAPINFOHEADER& header);
// The DirectShow video subtype the header describes.
GUID GetBitmapSubtype(const BITMAPINFOHEADER& header);
// {XXXXXXXX-0000-0010-8000-00AA00389B71} with the code as first field.
GUID FourCCSubtype(DWORD fourcc);
