// The input-line pin: IAMAudioInputMixer as one of the pin's own
// interfaces, Enable handed to the line's switch as passed, and no stream.
#include "tests/baseclasses/test_source.h"
#include "tests/fixtures/bare_receiver.h"
#include "tests/fixtures/graph_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A line whose switch is a field, with every write recorded.
class TTestLinePin : public TBCAudioInputLinePin {
public:
    TTestLinePin(TBCBaseFilter* filter, TBCCritSec* lock)
        : TBCAudioInputLinePin(L"Test line", filter, lock, L"Line In") {}

    std::vector<WINBOOL> Written;
    bool Enabled = false;
    HRESULT ReadResult = S_OK;

protected:
    HRESULT WriteEnabled(WINBOOL enable) override {
        Written.push_back(enable);
        Enabled = enable != FALSE;
        return S_OK;
    }
    HRESULT ReadEnabled(bool& enabled) override {
        if (FAILED(ReadResult)) return ReadResult;
        enabled = Enabled;
        return S_OK;
    }
};

class BaseClassesInputLine : public ::testing::Test {
protected:
    graphtest::ComScope FCom;
    ComPtr<IBaseFilter> FFilter{static_cast<IBaseFilter*>(new TTestSource(L"Device", nullptr))};
    TBCCritSec FLock;
    TTestLinePin FLine{static_cast<TTestSource*>(FFilter.Get()), &FLock};
    IPin* Pin() { return &FLine; }
    // The filter's reference count as it stands.
    ULONG FilterReferences() {
        FFilter->AddRef();
        return FFilter->Release();
    }
};

TEST_F(BaseClassesInputLine, MixerIsThePinsInterfaceWithTheFiltersLifetime) {
    const ULONG before = FilterReferences();
    ComPtr<IAMAudioInputMixer> mixer;
    ASSERT_EQ(Pin()->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid()), S_OK);
    EXPECT_EQ(FilterReferences(), before + 1) << "the mixer holds the filter";
    ComPtr<IPin> back;
    ASSERT_EQ(mixer->QueryInterface(IID_IPin, back.PutVoid()), S_OK);
    EXPECT_EQ(back.Get(), Pin());
    ComPtr<IUnknown> fromMixer, fromPin;
    mixer->QueryInterface(IID_IUnknown, fromMixer.PutVoid());
    Pin()->QueryInterface(IID_IUnknown, fromPin.PutVoid());
    EXPECT_EQ(fromMixer.Get(), fromPin.Get()) << "one COM identity";
    back.Reset();
    fromMixer.Reset();
    fromPin.Reset();
    mixer.Reset();
    EXPECT_EQ(FilterReferences(), before);
}

TEST_F(BaseClassesInputLine, EnableGoesToTheSwitchAsPassed) {
    ComPtr<IAMAudioInputMixer> mixer;
    ASSERT_EQ(Pin()->QueryInterface(IID_IAMAudioInputMixer, mixer.PutVoid()), S_OK);
    EXPECT_EQ(mixer->put_Enable(-1), S_OK);
    WINBOOL enabled = 7;
    EXPECT_EQ(mixer->get_Enable(&enabled), S_OK);
    EXPECT_EQ(enabled, TRUE) << "any non-zero value switches the line on; read back as TRUE";
    EXPECT_EQ(mixer->put_Enable(FALSE), S_OK);
    EXPECT_EQ(mixer->get_Enable(&enabled), S_OK);
    EXPECT_EQ(enabled, FALSE);
    EXPECT_EQ(FLine.Written, (std::vector<WINBOOL>{-1, FALSE}));

    EXPECT_EQ(mixer->get_Enable(nullptr), E_POINTER);
    FLine.ReadResult = VFW_E_NO_CAPTURE_HARDWARE;
    enabled = 7;
    EXPECT_EQ(mixer->get_Enable(&enabled), VFW_E_NO_CAPTURE_HARDWARE);
    EXPECT_EQ(enabled, 7) << "nothing reported on failure";
}

TEST_F(BaseClassesInputLine, CarriesNoStreamAndNoOtherMixerSetting) {
    graphtest::BareReceiver receiver;
    EXPECT_EQ(Pin()->Connect(&receiver, nullptr), E_UNEXPECTED);
    EXPECT_FALSE(FLine.IsConnected());
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    EXPECT_NE(Pin()->QueryAccept(&type), S_OK);
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    EXPECT_EQ(Pin()->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_INPUT);

    IAMAudioInputMixer& mixer = FLine;
    WINBOOL flag = 0;
    double value = 0;
    EXPECT_EQ(mixer.put_Mono(TRUE), E_NOTIMPL);
    EXPECT_EQ(mixer.get_Mono(&flag), E_NOTIMPL);
    EXPECT_EQ(mixer.put_MixLevel(1.0), E_NOTIMPL);
    EXPECT_EQ(mixer.get_MixLevel(&value), E_NOTIMPL);
    EXPECT_EQ(mixer.put_Pan(0.0), E_NOTIMPL);
    EXPECT_EQ(mixer.get_Pan(&value), E_NOTIMPL);
    EXPECT_EQ(mixer.put_Loudness(TRUE), E_NOTIMPL);
    EXPECT_EQ(mixer.get_Loudness(&flag), E_NOTIMPL);
    EXPECT_EQ(mixer.put_Treble(0.0), E_NOTIMPL);
    EXPECT_EQ(mixer.get_Treble(&value), E_NOTIMPL);
    EXPECT_EQ(mixer.get_TrebleRange(&value), E_NOTIMPL);
    EXPECT_EQ(mixer.put_Bass(0.0), E_NOTIMPL);
    EXPECT_EQ(mixer.get_Bass(&value), E_NOTIMPL);
    EXPECT_EQ(mixer.get_BassRange(&value), E_NOTIMPL);
    EXPECT_TRUE(FLine.Written.empty());
}

}  // namespace
