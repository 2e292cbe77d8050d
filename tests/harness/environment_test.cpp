// The test environment itself: what every other test relies on.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmdeviceapi.h>

#include <cstdlib>
#include <string>

TEST(Environment, AnsiCodePageIsJapanese) {
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Environment, PrimaryDisplayIs1920x1080) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_GE(GetDeviceCaps(dc, BITSPIXEL), 24);
    ReleaseDC(nullptr, dc);
}

TEST(Environment, DefaultPlaybackDeviceExists) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    IMMDeviceEnumerator* enumerator = nullptr;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                  __uuidof(IMMDeviceEnumerator),
                                  reinterpret_cast<void**>(&enumerator));
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    IMMDevice* device = nullptr;
    hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    if (device) device->Release();
    enumerator->Release();
    CoUninitialize();
}
