// Small graph utilities: publishing a graph in the running-object table,
// the mapping of linear volume and balance to hundredths of a decibel, the
// DVD time code, and freeing an object held in a variable.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <string>

// Registers Graph in the running-object table under the item name
// "FilterGraph <pointer> pid <process id>" (upper-case hexadecimal, the
// pointer with all its digits), so graph inspection tools can attach.
// Registration is written only when the table's Register is reached.
HRESULT AddGraphToRot(IUnknown* Graph, DWORD& Registration);
// The item name AddGraphToRot uses for Graph in this process.
std::wstring RotItemName(const void* Graph);
HRESULT RemoveGraphFromRot(DWORD Registration);

// 0..10000 to -10000..0 hundredths of a decibel (no clamping here).
int32_t LinearVolumeToDb(int32_t Volume);
// -10000..10000 to 10000..-10000 hundredths of a decibel.
int32_t LinearBalanceToDb(int32_t Balance);

// The unpacked DVD time code: nine bytes, each a digit or code.
struct TDVDTimeCode {
    uint8_t Hours1, Hours10, Minutes1, Minutes10, Seconds1, Seconds10, Frames1, Frames10, FrameRateCode;
};
static_assert(sizeof(TDVDTimeCode) == 9);

void UnpackDVDTimeCode(uint32_t Value, TDVDTimeCode& TimeCode);

// Takes the object out of the variable, clears the variable, then frees
// the object (nothing for null).
template <class T>
void FreeAndClear(T*& Variable) {
    T* object = Variable;
    Variable = nullptr;
    delete object;
}
