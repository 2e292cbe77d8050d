// Identifiers and names that the filter libraries and the program share.
#pragma once

#include <windows.h>
#include <unknwn.h>

// Class identifiers of the two source filters.
inline constexpr CLSID CLSID_ScreenCaptureSource{
    0x286CDE4A, 0x96B1, 0x4ACE, {0x82, 0xFA, 0x78, 0x46, 0x4B, 0xD8, 0xE7, 0x82}};
inline constexpr CLSID CLSID_LoopbackAudioSource{
    0x2B507057, 0xED7E, 0x441D, {0xA9, 0x92, 0x12, 0x03, 0x1F, 0x31, 0xD5, 0x22}};

// The screen filter's configuration interface.
inline constexpr IID IID_IVideoCaptureFilterConfig{
    0x35D258F8, 0xFB94, 0x4C1F, {0xB5, 0x2A, 0x9A, 0x2B, 0x02, 0x46, 0x80, 0xDE}};

// Implemented by the screen filter and by its output pin; the filter's
// methods forward to the pin. Every method answers S_OK for valid arguments.
struct IVideoCaptureFilterConfig : public IUnknown {
    // x, y = the rectangle's top-left corner; width, height = its size.
    virtual HRESULT STDMETHODCALLTYPE GetCaptureRect(LONG* x, LONG* y, LONG* width, LONG* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCaptureRect(LONG x, LONG y, LONG width, LONG height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrameRate(LONGLONG* rate) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFrameRate(LONGLONG rate) = 0;
    // One byte: non-zero when the cursor is drawn into the frames.
    virtual HRESULT STDMETHODCALLTYPE GetDrawCursor(BYTE* draw) = 0;
    // Only the low byte of the argument counts.
    virtual HRESULT STDMETHODCALLTYPE SetDrawCursor(BOOL draw) = 0;
};
__CRT_UUID_DECL(IVideoCaptureFilterConfig, 0x35D258F8, 0xFB94, 0x4C1F, 0xB5, 0x2A, 0x9A, 0x2B, 0x02, 0x46, 0x80, 0xDE)

// Registered filter names (also the class factories' and filters' names).
inline constexpr const wchar_t* PixentaFilterName = L"Pixenta";
inline constexpr const wchar_t* AudeloFilterName = L"Audelo";

// Name of the one pin each filter registers, and of its live output pin.
inline constexpr const wchar_t* RegisteredPinName = L"Output";
inline constexpr const wchar_t* OutputPinName = L"Out";

// Names the program gives the filters in its capture graph.
inline constexpr const wchar_t* ScreenFilterGraphName = L"MorvoCapture2";
inline constexpr const wchar_t* LoopbackFilterGraphName = L"MorvoAudioFilter2";
inline constexpr const wchar_t* CompressorGraphName = L"CompressFilter";
inline constexpr const wchar_t* AudioCaptureGraphName = L"AudioCapFilter2";
