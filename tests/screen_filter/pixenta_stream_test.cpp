// Pixenta's filter, linked from its library and driven through IMediaFilter
// without a graph, into a receiving pin of the tests' own whose allocator marks the bytes the filter must not
// write: what the capture writes, the allocator it agrees to, and how stop
// and pause meet the streaming thread.
#include "screen_filter/push_source_desktop.h"
#include "tests/fixtures/bare_receiver.h"
#include "tests/screen_filter/pixenta_test_support.h"

#include <gtest/gtest.h>

#include <uuids.h>

#include <algorithm>
#include <thread>

using namespace pixentatest;

namespace {

constexpr BYTE Canary = 0xCD;
constexpr LONG Width = 64;
constexpr LONG Height = 48;
constexpr long ImageBytes = Width * 3 * Height;

// The platform's memory allocator, sized by `Extra` bytes more (or fewer)
// than asked for; every buffer it hands out has the canary from
// `CanaryFrom` to its end.
class CanaryAllocator final : public IMemAllocator {
public:
    CanaryAllocator() {
        CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, FReal.PutVoid());
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
            *object = static_cast<IMemAllocator*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        if (request == nullptr) return E_POINTER;
        ALLOCATOR_PROPERTIES changed = *request;
        changed.cbBuffer += Extra;
        return FReal->SetProperties(&changed, actual);
    }
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* properties) override {
        return FReal->GetProperties(properties);
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return FReal->Commit(); }
    HRESULT STDMETHODCALLTYPE Decommit() override { return FReal->Decommit(); }
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                        DWORD flags) override {
        const HRESULT hr = FReal->GetBuffer(sample, start, stop, flags);
        if (SUCCEEDED(hr) && *sample != nullptr) {
            BYTE* data = nullptr;
            const long size = (*sample)->GetSize();
            if (SUCCEEDED((*sample)->GetPointer(&data)) && data != nullptr && CanaryFrom < size)
                std::fill(data + CanaryFrom, data + size, Canary);
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override { return FReal->ReleaseBuffer(sample); }

    long Extra = 0;
    std::atomic<long> CanaryFrom{ImageBytes};

private:
    ComPtr<IMemAllocator> FReal;
};

// Offers the canary allocator and counts samples whose marked bytes changed.
class CheckingReceiver final : public graphtest::BareReceiver {
public:
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override {
        if (allocator == nullptr) return E_POINTER;
        *allocator = &Allocator;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL) override {
        Agreed = allocator;
        return S_OK;
    }

    CanaryAllocator Allocator;
    IMemAllocator* Agreed = nullptr;
    std::atomic<long> Overwritten{0};
    std::atomic<long> SmallestBuffer{LONG_MAX};

protected:
    void Inspect(IMediaSample* sample) override {
        BYTE* data = nullptr;
        const long size = sample->GetSize();
        SmallestBuffer = std::min<long>(SmallestBuffer, size);
        if (Agreed != &Allocator) return;
        if (FAILED(sample->GetPointer(&data)) || data == nullptr) return;
        const long from = Allocator.CanaryFrom;
        if (from < size && !std::all_of(data + from, data + size, [](BYTE b) { return b == Canary; })) ++Overwritten;
    }
};

struct PixentaStream : ::testing::Test {
    graphtest::ComScope Com;
    ComPtr<IBaseFilter> Filter;
    ComPtr<IVideoCaptureFilterConfig> Configuration;
    ComPtr<IPin> Out;
    CheckingReceiver Receiver;

    void SetUp() override {
        TBCPushSourceDesktop* created = nullptr;
        ASSERT_EQ(TBCPushSourceDesktop::Create(PixentaFilterName, nullptr, &created), S_OK);
        ASSERT_EQ(created->NonDelegatingQueryInterface(IID_IBaseFilter, Filter.PutVoid()), S_OK);
        Configuration = Config(Filter.Get());
        ASSERT_TRUE(Configuration);
        ASSERT_EQ(Filter->FindPin(L"Out", Out.Put()), S_OK);
        ASSERT_EQ(Filter->SetSyncSource(nullptr), S_OK);
        Configuration->SetCaptureRect(0, 0, Width, Height);
        Configuration->SetFrameRate(30);
        Configuration->SetDrawCursor(FALSE);
    }
    void TearDown() override {
        if (Filter) Filter->Stop();
        if (Out) Out->Disconnect();
        Receiver.Disconnect();
    }

    bool WaitFor(long count, DWORD timeoutMs = 10000) {
        const DWORD start = GetTickCount();
        while (Receiver.Received < count) {
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(5);
        }
        return true;
    }
};

}  // namespace

TEST_F(PixentaStream, CaptureWritesOnlyTheConnectionImageEvenForALargerRectangle) {
    Receiver.Allocator.Extra = 4096;
    ASSERT_EQ(Out->Connect(&Receiver, nullptr), S_OK);
    ASSERT_EQ(Receiver.Agreed, &Receiver.Allocator);
    // Taller and wider than the connection type.
    ASSERT_EQ(Configuration->SetCaptureRect(0, 0, 1920, 1080), S_OK);
    ASSERT_EQ(Filter->Run(0), S_OK);
    ASSERT_TRUE(WaitFor(5));
    ASSERT_EQ(Filter->Stop(), S_OK);
    EXPECT_GE(Receiver.SmallestBuffer.load(), ImageBytes + 4096);
    EXPECT_EQ(Receiver.Overwritten.load(), 0);
}

TEST_F(PixentaStream, EmptyRectangleLeavesTheBufferUntouched) {
    ASSERT_EQ(Out->Connect(&Receiver, nullptr), S_OK);
    ASSERT_EQ(Receiver.Agreed, &Receiver.Allocator);
    Receiver.Allocator.CanaryFrom = 0;
    ASSERT_EQ(Configuration->SetCaptureRect(10, 10, 0, 0), S_OK);
    ASSERT_EQ(Filter->Run(0), S_OK);
    ASSERT_TRUE(WaitFor(5));
    ASSERT_EQ(Filter->Stop(), S_OK);
    EXPECT_EQ(Receiver.Overwritten.load(), 0);
}

TEST_F(PixentaStream, AllocatorGrantingLessThanOneImageIsNotUsed) {
    Receiver.Allocator.Extra = -1;
    ASSERT_EQ(Out->Connect(&Receiver, nullptr), S_OK);
    // The short allocator was refused; the pin's own one carries whole images.
    EXPECT_NE(Receiver.Agreed, nullptr);
    EXPECT_NE(Receiver.Agreed, &Receiver.Allocator);
    ASSERT_EQ(Filter->Run(0), S_OK);
    ASSERT_TRUE(WaitFor(3));
    ASSERT_EQ(Filter->Stop(), S_OK);
    EXPECT_GE(Receiver.SmallestBuffer.load(), ImageBytes);
}

TEST_F(PixentaStream, StopDuringADeliveryIsAnsweredAfterIt) {
    ASSERT_EQ(Out->Connect(&Receiver, nullptr), S_OK);
    Receiver.DelayAt = 4;
    Receiver.DelayMs = 700;
    ASSERT_EQ(Filter->Run(0), S_OK);
    ASSERT_TRUE(WaitFor(3));
    for (int i = 0; i < 5000 && !(Receiver.Receiving && Receiver.Received == 3); ++i) Sleep(1);
    ASSERT_TRUE(Receiver.Receiving && Receiver.Received == 3);
    // The fourth sample is in the receiver now.
    ASSERT_EQ(Filter->Stop(), S_OK);
    EXPECT_FALSE(Receiver.Receiving.load());
    EXPECT_EQ(Receiver.Received.load(), 4);
    Sleep(100);
    EXPECT_EQ(Receiver.Received.load(), 4);
}

TEST_F(PixentaStream, PauseThenRunKeepsCountingFrames) {
    ASSERT_EQ(Out->Connect(&Receiver, nullptr), S_OK);
    ASSERT_EQ(Filter->Run(0), S_OK);
    ASSERT_TRUE(WaitFor(5));
    ASSERT_EQ(Filter->Pause(), S_OK);
    const long paused = Receiver.Received;
    ASSERT_EQ(Filter->Run(0), S_OK);
    ASSERT_TRUE(WaitFor(paused + 5));
    ASSERT_EQ(Filter->Stop(), S_OK);
    const auto starts = Receiver.Starts();
    ASSERT_GE(starts.size(), 10u);
    // One rising line of frame numbers: nothing starts again at the first.
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_GT(starts[i], starts[i - 1]);
    EXPECT_EQ(std::count(starts.begin(), starts.end(), starts.front()), 1);
}
