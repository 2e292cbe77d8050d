// The capture device's format choice: the most preferred PCM format that the
// first output pin offers is set through its stream configuration; ties go
// to the first offered; other types are passed over; nothing is set when
// nothing matches; a pin without a stream configuration is an error.
#include "tests/app/app_test_support.h"
#include "tests/app/fake_filters.h"

#include <gtest/gtest.h>

namespace {

using namespace apptest;

class ChooseAudioFormat : public ::testing::Test {
protected:
    void SetUp() override { FWindows = std::make_unique<ProgramWindows>(); }
    void TearDown() override {
        FFilter.Reset();
        FWindows.reset();
    }
    // A filter of one output pin with the types, answering the stream
    // configuration.
    TFakePin* OnePin(std::vector<TOwnedType> types, bool streamConfig = true) {
        TFakePin* pin = Filter()->AddPin(PINDIR_OUTPUT, L"Capture", std::move(types), streamConfig);
        return pin;
    }
    TFakeFilter* Filter() {
        if (!FFilter) FFilter = ComPtr<TFakeFilter>::Attach(new TFakeFilter());
        return FFilter.Get();
    }
    void Choose() { FormMain->ChooseAudioFormat(Filter()); }

    std::unique_ptr<ProgramWindows> FWindows;
    ComPtr<TFakeFilter> FFilter;
};

// Bits, rate and channels of the one format that was set.
std::string OnlyFormatSet(const TFakePin* pin) {
    if (pin->FormatsSet.size() != 1) return "SetFormat called " + std::to_string(pin->FormatsSet.size()) + " times";
    const WAVEFORMATEX* w = pin->FormatsSet[0].Wave();
    if (!w) return "no WAVEFORMATEX";
    return std::to_string(w->wBitsPerSample) + "/" + std::to_string(w->nSamplesPerSec) + "/" +
           std::to_string(w->nChannels);
}

TEST_F(ChooseAudioFormat, BestRowWinsWhereverItStandsInThePinsOrder) {
    TFakePin* pin = OnePin({PcmType(16, 44100, 2), PcmType(8, 48000, 2), PcmType(16, 48000, 2), PcmType(16, 24000, 2)});
    Choose();
    EXPECT_EQ("16/48000/2", OnlyFormatSet(pin));
    // The whole record of the offered type, format block included.
    ASSERT_EQ(1u, pin->FormatsSet.size());
    const TOwnedType expected = PcmType(16, 48000, 2);
    EXPECT_EQ(MEDIATYPE_Audio, pin->FormatsSet[0].Type.majortype);
    EXPECT_EQ(MEDIASUBTYPE_PCM, pin->FormatsSet[0].Type.subtype);
    EXPECT_EQ(FORMAT_WaveFormatEx, pin->FormatsSet[0].Type.formattype);
    EXPECT_EQ(expected.Format, pin->FormatsSet[0].Format);
}

TEST_F(ChooseAudioFormat, MonoPrefers44100Over48000) {
    TFakePin* pin = OnePin({PcmType(16, 48000, 1), PcmType(16, 44100, 1)});
    Choose();
    EXPECT_EQ("16/44100/1", OnlyFormatSet(pin));
}

TEST_F(ChooseAudioFormat, OfTwoIdenticalFormatsTheFirstIsSet) {
    TFakePin* pin = OnePin({PcmType(16, 48000, 2, 1), PcmType(16, 48000, 2, 2)});
    Choose();
    ASSERT_EQ("16/48000/2", OnlyFormatSet(pin));
    EXPECT_EQ(1, pin->FormatsSet[0].Marker());
}

TEST_F(ChooseAudioFormat, NothingPreferredLeavesTheFormatAlone) {
    TFakePin* pin =
        OnePin({PcmType(24, 48000, 2), PcmType(24, 44100, 2), PcmType(16, 96000, 2), PcmType(16, 48000, 6)});
    Choose();
    EXPECT_TRUE(pin->FormatsSet.empty());
}

TEST_F(ChooseAudioFormat, TypesThatAreNotPcmWithAWaveFormatAreSkipped) {
    // Each of the first four would be row 0 if it were read as PCM.
    TOwnedType floating = PcmType(16, 48000, 2);
    floating.Type.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    TOwnedType otherFormat = PcmType(16, 48000, 2);
    otherFormat.Type.formattype = FORMAT_None;
    TOwnedType noBlock = PcmType(16, 48000, 2);
    noBlock.Format.clear();
    noBlock.Type.cbFormat = 0;
    TOwnedType shortBlock = PcmType(16, 48000, 2);
    shortBlock.Format.resize(8);
    shortBlock.Type.cbFormat = 8;
    TFakePin* pin = OnePin({floating, otherFormat, noBlock, shortBlock, PcmType(8, 16000, 1)});
    Choose();
    EXPECT_EQ("8/16000/1", OnlyFormatSet(pin));
}

TEST_F(ChooseAudioFormat, APinWithoutStreamConfigurationIsAnInterfaceCastError) {
    OnePin({PcmType(16, 48000, 2)}, false);
    EXPECT_THROW(Choose(), EIntfCastError);
    // Without a match the configuration is never asked for.
    FFilter.Reset();
    OnePin({PcmType(24, 48000, 2)}, false);
    EXPECT_NO_THROW(Choose());
}

TEST_F(ChooseAudioFormat, OnlyTheFirstOutputPinCounts) {
    TFakePin* input = Filter()->AddPin(PINDIR_INPUT, L"Line In", {PcmType(16, 48000, 2)}, true);
    TFakePin* first = Filter()->AddPin(PINDIR_OUTPUT, L"Capture", {PcmType(16, 44100, 2)}, true);
    TFakePin* second = Filter()->AddPin(PINDIR_OUTPUT, L"Preview", {PcmType(16, 48000, 2)}, true);
    Choose();
    EXPECT_TRUE(input->FormatsSet.empty());
    EXPECT_EQ("16/44100/2", OnlyFormatSet(first));
    EXPECT_TRUE(second->FormatsSet.empty());
}

TEST_F(ChooseAudioFormat, AFilterWithoutOutputPinIsLeftAlone) {
    TFakePin* input = Filter()->AddPin(PINDIR_INPUT, L"Line In", {PcmType(16, 48000, 2)}, true);
    EXPECT_NO_THROW(Choose());
    EXPECT_TRUE(input->FormatsSet.empty());
    // No pins at all.
    FFilter.Reset();
    EXPECT_NO_THROW(Choose());
}

}  // namespace
