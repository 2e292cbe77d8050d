#include "media/graph_utility.h"

#include "media/hex_text.h"
#include "shared/com_ptr.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>

namespace {

// ln(v + 1) * 1085.73, rounded half to even.
int32_t LogScale(int32_t v) {
    const double scaled = std::log(static_cast<double>(v) + 1.0) * 1085.73;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(scaled);
    std::fesetround(previous);
    return static_cast<int32_t>(rounded);
}

}  // namespace

std::wstring RotItemName(const void* Graph) {
    return L"FilterGraph " + HexText(reinterpret_cast<uintptr_t>(Graph), static_cast<int>(sizeof(void*) * 2)) +
           L" pid " + HexText(GetCurrentProcessId());
}

HRESULT AddGraphToRot(IUnknown* Graph, DWORD& Registration) {
    ComPtr<IRunningObjectTable> table;
    HRESULT hr = GetRunningObjectTable(0, table.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMoniker> moniker;
    hr = CreateItemMoniker(L"!", RotItemName(Graph).c_str(), moniker.Put());
    if (FAILED(hr)) return hr;
    return table->Register(0, Graph, moniker.Get(), &Registration);
}

HRESULT RemoveGraphFromRot(DWORD Registration) {
    ComPtr<IRunningObjectTable> table;
    const HRESULT hr = GetRunningObjectTable(0, table.Put());
    if (FAILED(hr)) return hr;
    return table->Revoke(Registration);
}

int32_t LinearVolumeToDb(int32_t Volume) { return LogScale(Volume) - 10000; }

int32_t LinearBalanceToDb(int32_t Balance) {
    const int32_t x = LogScale(std::abs(Balance));
    return Balance < 0 ? x : -x;
}

void UnpackDVDTimeCode(uint32_t Value, TDVDTimeCode& TimeCode) {
    TimeCode.Hours1 = static_cast<uint8_t>((Value >> 28) & 0xF);
    TimeCode.Hours10 = static_cast<uint8_t>((Value >> 24) & 0xF);
    TimeCode.Minutes1 = static_cast<uint8_t>((Value >> 20) & 0xF);
    TimeCode.Minutes10 = static_cast<uint8_t>((Value >> 16) & 0xF);
    TimeCode.Seconds1 = static_cast<uint8_t>((Value >> 12) & 0xF);
    TimeCode.Seconds10 = static_cast<uint8_t>((Value >> 8) & 0xF);
    TimeCode.Frames1 = static_cast<uint8_t>((Value >> 4) & 0xF);
    TimeCode.Frames10 = static_cast<uint8_t>((Value >> 2) & 0x3);
    TimeCode.FrameRateCode = static_cast<uint8_t>(Value & 0x3);
}
