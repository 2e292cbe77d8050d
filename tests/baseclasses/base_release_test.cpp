// A source filter whose last reference goes while it streams, as with a
// client that drives IMediaFilter itself: the streaming thread must be gone
// before any part of the pin it uses is destroyed.
#include "tests/baseclasses/test_source.h"
#include "tests/fixtures/bare_receiver.h"
#include "tests/fixtures/graph_test_support.h"

#include <gtest/gtest.h>

namespace {

// Fills counted after the derived pin began to be destroyed.
std::atomic<long> FillsInDestroyedPin{0};
std::atomic<bool> PinDestroyed{false};

// A pin whose destructor takes a while, as one with members to free does;
// a streaming thread still running then fills into a half-destroyed pin.
class TSlowlyDestroyedPin : public TTestPin {
public:
    using TTestPin::TTestPin;
    ~TSlowlyDestroyedPin() override {
        PinDestroyed = true;
        Sleep(100);
    }
    HRESULT FillBuffer(IMediaSample* sample) override {
        if (PinDestroyed) ++FillsInDestroyedPin;
        return TTestPin::FillBuffer(sample);
    }
};

class TSlowlyDestroyedSource : public TBCSource {
public:
    TSlowlyDestroyedSource() : TBCSource(L"Slow", nullptr, CLSID_TestSource) {
        Pin = new TSlowlyDestroyedPin(this);
        PinResult = Pin->ConstructionResult();
    }
    ~TSlowlyDestroyedSource() override { delete Pin; }
    HRESULT PinResult = S_OK;
    TSlowlyDestroyedPin* Pin;
};

}  // namespace

TEST(BaseClassesRelease, LastReleaseWhileRunningEndsTheThreadFirst) {
    graphtest::ComScope com;
    graphtest::BareReceiver receiver;
    PinDestroyed = false;
    FillsInDestroyedPin = 0;
    {
        auto* source = new TSlowlyDestroyedSource;
        ComPtr<IBaseFilter> filter(static_cast<IBaseFilter*>(source));
        ASSERT_EQ(source->PinResult, S_OK);
        ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
        ComPtr<IPin> out;
        ASSERT_EQ(filter->FindPin(L"Out", out.Put()), S_OK);
        ASSERT_EQ(out->Connect(&receiver, nullptr), S_OK);
        ASSERT_EQ(filter->Run(0), S_OK);
        for (int i = 0; i < 500 && receiver.Received < 5; ++i) Sleep(10);
        ASSERT_GE(receiver.Received.load(), 5);
        EXPECT_TRUE(source->Pin->ThreadExists());
        // The receiver holds no reference: these are the last ones.
        out = nullptr;
    }
    EXPECT_TRUE(PinDestroyed);
    EXPECT_EQ(FillsInDestroyedPin.load(), 0);
    // Nothing arrives any more.
    const long after = receiver.Received;
    Sleep(50);
    EXPECT_EQ(receiver.Received.load(), after);
}
