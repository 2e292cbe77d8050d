// The test environment itself: what every other test relies on.
#include "shared/com_ptr.h"
#include "shared/owner.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <mmdeviceapi.h>

#include <cstdlib>
#include <string>

TEST(Environment, AnsiCodePageIsJapanese) { EXPECT_EQ(GetACP(), 932u); }

TEST(Environment, PrimaryDisplayIs1920x1080) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_GE(GetDeviceCaps(dc, BITSPIXEL), 24);
    ReleaseDC(nullptr, dc);
}

TEST(Environment, DefaultPlaybackDeviceExists) {
    const TComApartment com(COINIT_MULTITHREADED);
    ASSERT_TRUE(SUCCEEDED(com.Result()));
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  enumerator.PutVoid());
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    ComPtr<IMMDevice> device;
    hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.Put());
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
}
