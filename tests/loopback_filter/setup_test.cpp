// The pin's Core Audio set-up on fake objects: which format it chooses, what
// it tells the debugger, how each failure ends it, and what an incomplete pin
// offers a graph.
#include "tests/fixtures/loopback/fake_core_audio.h"
#include "tests/fixtures/loopback/loopback_graph.h"
#include "tests/fixtures/loopback/task_memory_spy.h"
#include "tests/loopback_filter/loopback_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using loopback_fakes::AcceptOnly;
using loopback_fakes::ExtensibleMixFormat;
using loopback_fakes::FakeEndpoint;
using loopback_fakes::FloatMixFormat;
using loopback_fakes::LoopbackGraph;
using loopback_fakes::PcmMixFormat;
using loopback_fakes::TaskMemorySpy;
using loopback_tests::ComScope;
using loopback_tests::FilterUnderTest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr GUID SubFormatFloat{0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID SubFormatPcm{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

const char* const Success = "**** TBCAudioPin.Create Success ****";

const WAVEFORMATEX& Header(const std::vector<BYTE>& bytes) {
    return *reinterpret_cast<const WAVEFORMATEX*>(bytes.data());
}

std::vector<std::string> Repeated(const std::string& line, int times) {
    return std::vector<std::string>(static_cast<size_t>(times), line);
}

class LoopbackSetup : public ::testing::Test {
protected:
    ComScope Com;
    std::shared_ptr<FakeEndpoint> Endpoint = FakeEndpoint::Create();
};

// ---- format choice ----

TEST_F(LoopbackSetup, FirstAcceptedCandidateAfterARefusal) {
    Endpoint->Supported = AcceptOnly({{16, 44100, 2}});
    FilterUnderTest under(Endpoint);

    EXPECT_EQ(under.SetupResult, S_OK);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("fomat error3", "1 OK", "GetService1", Success));
    EXPECT_TRUE(under.Pin()->SetupComplete());
    EXPECT_EQ(under.Pin()->BitsPerSample(), 16u);
    EXPECT_EQ(under.Pin()->SampleRate(), 44100u);
    EXPECT_EQ(under.Pin()->Channels(), 2u);
    EXPECT_EQ(under.Pin()->BlockAlign(), 4u);

    // The client is initialised for shared loopback capture with one second
    // of buffer in the accepted format.
    ASSERT_EQ(Endpoint->Proposed.size(), 2u);
    EXPECT_EQ(Endpoint->InitializeCalls, 1);
    EXPECT_EQ(Endpoint->InitializeFlags, static_cast<DWORD>(AUDCLNT_STREAMFLAGS_LOOPBACK));
    EXPECT_EQ(Endpoint->InitializeDuration, 10000000);
    const WAVEFORMATEX& format = Header(Endpoint->Initialized);
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.nSamplesPerSec, 44100u);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
}

TEST_F(LoopbackSetup, CandidatesAreTriedInTheirFixedOrder) {
    Endpoint->Supported = AcceptOnly({});
    FilterUnderTest under(Endpoint);

    EXPECT_EQ(under.SetupResult, S_FALSE);
    std::vector<std::string> expected = Repeated("fomat error3", 16);
    expected.push_back("fomat error 4");
    EXPECT_THAT(under.Log->Lines(), ElementsAreArray(expected));

    const int bits[16] = {16, 16, 16, 16, 16, 16, 16, 16, 8, 8, 8, 8, 8, 8, 8, 8};
    const int rates[16] = {48000, 44100, 24000, 16000, 44100, 48000, 24000, 16000,
                           44100, 48000, 24000, 16000, 44100, 48000, 24000, 16000};
    const int channels[16] = {2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1};
    ASSERT_EQ(Endpoint->Proposed.size(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        const WAVEFORMATEX& format = Header(Endpoint->Proposed[i]);
        SCOPED_TRACE(i);
        EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(format.wBitsPerSample, bits[i]);
        EXPECT_EQ(format.nSamplesPerSec, static_cast<DWORD>(rates[i]));
        EXPECT_EQ(format.nChannels, channels[i]);
        EXPECT_EQ(format.nBlockAlign, channels[i] * bits[i] / 8);
        EXPECT_EQ(format.nAvgBytesPerSec, static_cast<DWORD>(channels[i] * bits[i] / 8 * rates[i]));
    }
    EXPECT_EQ(Endpoint->InitializeCalls, 0);
    EXPECT_FALSE(under.Pin()->SetupComplete());
    EXPECT_EQ(under.Pin()->Channels(), 0u);
    EXPECT_EQ(under.Pin()->BitsPerSample(), 0u);
    EXPECT_EQ(under.Pin()->SampleRate(), 0u);
    EXPECT_EQ(under.Pin()->BlockAlign(), 0u);
}

TEST_F(LoopbackSetup, LastCandidateIsEightBitMono16k) {
    Endpoint->Supported = AcceptOnly({{8, 16000, 1}});
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, S_OK);
    EXPECT_EQ(under.Log->CountOf("fomat error3"), 15u);
    EXPECT_EQ(under.Log->CountOf("15 OK"), 1u);
    EXPECT_EQ(under.Pin()->BlockAlign(), 1u);
}

TEST_F(LoopbackSetup, PlainPcmMixFormatIsNotAdapted) {
    Endpoint->MixFormat = PcmMixFormat();
    FilterUnderTest under(Endpoint);

    EXPECT_EQ(under.SetupResult, S_FALSE);
    std::vector<std::string> expected = Repeated(" fomat error2", 16);
    expected.push_back("fomat error 4");
    EXPECT_THAT(under.Log->Lines(), ElementsAreArray(expected));
    EXPECT_TRUE(Endpoint->Proposed.empty());
    EXPECT_EQ(Endpoint->InitializeCalls, 0);
    EXPECT_EQ(under.Pin()->BlockAlign(), 0u);
}

TEST_F(LoopbackSetup, ExtensiblePcmMixFormatIsNotAdapted) {
    Endpoint->MixFormat = ExtensibleMixFormat(SubFormatPcm);
    FilterUnderTest under(Endpoint);

    EXPECT_EQ(under.SetupResult, S_FALSE);
    std::vector<std::string> expected = Repeated(" fomat error1", 16);
    expected.push_back("fomat error 4");
    EXPECT_THAT(under.Log->Lines(), ElementsAreArray(expected));
    EXPECT_EQ(Endpoint->InitializeCalls, 0);
}

TEST_F(LoopbackSetup, ExtensibleFloatMixFormatKeepsItsTagSizeAndChannelMask) {
    // A 5.1 float endpoint at 44.1 kHz.
    Endpoint->MixFormat = ExtensibleMixFormat(SubFormatFloat, 6, 44100, 0x3F);
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, S_OK);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("0 OK", "GetService1", Success));

    ASSERT_EQ(Endpoint->Initialized.size(), sizeof(WAVEFORMATEXTENSIBLE));
    WAVEFORMATEXTENSIBLE got;
    std::memcpy(&got, Endpoint->Initialized.data(), sizeof got);
    WAVEFORMATEXTENSIBLE mix;
    std::memcpy(&mix, Endpoint->MixFormat.data(), sizeof mix);

    // Kept from the mix format.
    EXPECT_EQ(got.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(got.Format.cbSize, 22);
    EXPECT_EQ(got.dwChannelMask, 0x3Fu);
    // Rewritten to the candidate.
    EXPECT_TRUE(got.SubFormat == SubFormatPcm);
    EXPECT_EQ(got.Samples.wValidBitsPerSample, 16);
    EXPECT_EQ(got.Format.wBitsPerSample, 16);
    EXPECT_EQ(got.Format.nSamplesPerSec, 48000u);
    EXPECT_EQ(got.Format.nChannels, 2);
    EXPECT_EQ(got.Format.nBlockAlign, 4);
    EXPECT_EQ(got.Format.nAvgBytesPerSec, 192000u);
    // Nothing else differs.
    mix.SubFormat = got.SubFormat;
    mix.Samples = got.Samples;
    mix.Format.wBitsPerSample = got.Format.wBitsPerSample;
    mix.Format.nSamplesPerSec = got.Format.nSamplesPerSec;
    mix.Format.nChannels = got.Format.nChannels;
    mix.Format.nBlockAlign = got.Format.nBlockAlign;
    mix.Format.nAvgBytesPerSec = got.Format.nAvgBytesPerSec;
    EXPECT_EQ(std::memcmp(&mix, &got, sizeof got), 0);
}

TEST_F(LoopbackSetup, SuggestedClosestMatchIsARefusalAndIsFreed) {
    ASSERT_TRUE(TaskMemorySpy::Install());
    std::vector<void*> suggestions;
    // Refuses everything but 44.1 kHz stereo and suggests exactly that.
    Endpoint->Supported = [&](const WAVEFORMATEX& proposed, WAVEFORMATEX** closest) -> HRESULT {
        if (proposed.nSamplesPerSec == 44100 && proposed.nChannels == 2) return S_OK;
        auto* suggestion = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
        *suggestion = proposed;
        suggestion->nSamplesPerSec = 44100;
        suggestion->nAvgBytesPerSec = 44100u * proposed.nBlockAlign;
        *closest = suggestion;
        suggestions.push_back(suggestion);
        return S_FALSE;
    };
    {
        FilterUnderTest under(Endpoint);
        EXPECT_EQ(under.SetupResult, S_OK);
        EXPECT_THAT(under.Log->Lines(), ElementsAre("fomat error3", "1 OK", "GetService1", Success));
        ASSERT_EQ(suggestions.size(), 1u);
        EXPECT_TRUE(TaskMemorySpy::Freed(suggestions[0]));

        // Of the two mix-format blocks only the working copy stays, until the
        // filter goes.
        ASSERT_EQ(Endpoint->MixFormatBlocks.size(), 2u);
        EXPECT_FALSE(TaskMemorySpy::Freed(Endpoint->MixFormatBlocks[0]));
        EXPECT_TRUE(TaskMemorySpy::Freed(Endpoint->MixFormatBlocks[1]));
    }
    EXPECT_TRUE(TaskMemorySpy::Freed(Endpoint->MixFormatBlocks[0]));
    EXPECT_EQ(Endpoint->LiveObjects, 0);
}

// ---- failures, each with its diagnostic ----

TEST_F(LoopbackSetup, EnumeratorNotCreated) {
    TCoreAudioSeam seam;
    seam.CreateEnumerator = [](IMMDeviceEnumerator** enumerator) {
        *enumerator = nullptr;
        return REGDB_E_CLASSNOTREG;
    };
    FilterUnderTest under(seam);
    ASSERT_EQ(under.CreateResult, S_OK);
    ASSERT_TRUE(under.Base);
    EXPECT_EQ(under.SetupResult, REGDB_E_CLASSNOTREG);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("IID_IMMDeviceEnumerator CreateInstance fail"));
    EXPECT_FALSE(under.Pin()->SetupComplete());
}

TEST_F(LoopbackSetup, NoPlaybackDevice) {
    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    Endpoint->DefaultEndpointResult = notFound;
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, notFound);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("GetDefaultAudioEndpoint fail"));
    EXPECT_FALSE(under.Pin()->SetupComplete());
    EXPECT_EQ(under.Pin()->Channels(), 0u);
    EXPECT_EQ(under.Pin()->SampleRate(), 0u);
    EXPECT_EQ(under.Pin()->BlockAlign(), 0u);
    // The filter exists all the same, with its one pin.
    ComPtr<IPin> pin = under.OutputPin();
    ASSERT_TRUE(pin);
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Out");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    if (info.pFilter) info.pFilter->Release();
}

TEST_F(LoopbackSetup, AudioClientNotActivated) {
    Endpoint->ActivateResult = E_ACCESSDENIED;
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, E_ACCESSDENIED);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("Activate IAudioClient fail"));
    EXPECT_FALSE(under.Pin()->SetupComplete());
}

TEST_F(LoopbackSetup, MixFormatUnavailable) {
    for (int failing = 1; failing <= 2; ++failing) {
        SCOPED_TRACE(failing);
        auto endpoint = FakeEndpoint::Create();
        (failing == 1 ? endpoint->FirstMixFormatResult : endpoint->SecondMixFormatResult) =
            AUDCLNT_E_DEVICE_INVALIDATED;
        FilterUnderTest under(endpoint);
        EXPECT_EQ(under.SetupResult, AUDCLNT_E_DEVICE_INVALIDATED);
        EXPECT_THAT(under.Log->Lines(), ElementsAre("GetMixFormat fail"));
        EXPECT_FALSE(under.Pin()->SetupComplete());
        EXPECT_EQ(under.Pin()->Channels(), 0u);
        EXPECT_TRUE(endpoint->Proposed.empty());
        EXPECT_EQ(endpoint->InitializeCalls, 0);
    }
}

TEST_F(LoopbackSetup, InitializeRefused) {
    Endpoint->InitializeResult = AUDCLNT_E_UNSUPPORTED_FORMAT;
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, AUDCLNT_E_UNSUPPORTED_FORMAT);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("0 OK", " Initialize FAudioClient fail"));
    EXPECT_FALSE(under.Pin()->SetupComplete());
    // The accepted format stays known; the pin is incomplete all the same.
    EXPECT_EQ(under.Pin()->BlockAlign(), 4u);
}

TEST_F(LoopbackSetup, CaptureServiceMissing) {
    Endpoint->CaptureServiceResult = E_NOINTERFACE;
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, E_NOINTERFACE);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("0 OK", "GetService1", "GetService1 fail"));
    EXPECT_FALSE(under.Pin()->SetupComplete());
}

TEST_F(LoopbackSetup, ClockServiceMissingStillCompletes) {
    Endpoint->ClockServiceResult = E_NOINTERFACE;
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, S_OK);
    EXPECT_THAT(under.Log->Lines(), ElementsAre("0 OK", "GetService1", "GetService2 fail", Success));
    EXPECT_TRUE(under.Pin()->SetupComplete());
}

// ---- bad mix formats ----

TEST_F(LoopbackSetup, MixFormatWithZeroChannelsOrOddBlockStillAdapts) {
    std::vector<BYTE> zero = FloatMixFormat(0, 48000);
    std::vector<BYTE> odd = FloatMixFormat(1, 44100);
    reinterpret_cast<WAVEFORMATEX*>(odd.data())->wBitsPerSample = 24;
    reinterpret_cast<WAVEFORMATEX*>(odd.data())->nBlockAlign = 3;
    for (const auto& mix : {zero, odd}) {
        auto endpoint = FakeEndpoint::Create();
        endpoint->MixFormat = mix;
        FilterUnderTest under(endpoint);
        EXPECT_EQ(under.SetupResult, S_OK);
        EXPECT_EQ(under.Pin()->Channels(), 2u);
        EXPECT_EQ(under.Pin()->BlockAlign(), 4u);
        EXPECT_EQ(Header(endpoint->Initialized).nBlockAlign, 4);
    }
}

TEST_F(LoopbackSetup, TruncatedExtensibleMixFormatIsNotReadPastItsEnd) {
    // Tagged extensible but carrying no extension: its subformat does not
    // exist and must be neither read nor written.
    std::vector<BYTE> bytes = FloatMixFormat();
    reinterpret_cast<WAVEFORMATEX*>(bytes.data())->wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    Endpoint->MixFormat = bytes;
    FilterUnderTest under(Endpoint);
    EXPECT_EQ(under.SetupResult, S_FALSE);
    EXPECT_EQ(under.Log->CountOf(" fomat error1"), 16u);
    EXPECT_FALSE(under.Pin()->SetupComplete());
}

// ---- what an incomplete pin offers ----

TEST_F(LoopbackSetup, IncompletePinRefusesEveryConnection) {
    struct Case {
        const char* Name;
        std::function<void(FakeEndpoint&)> Break;
    };
    const Case cases[] = {
        {"no device", [](FakeEndpoint& e) { e.DefaultEndpointResult = E_FAIL; }},
        {"no format", [](FakeEndpoint& e) { e.Supported = AcceptOnly({}); }},
        {"no initialize", [](FakeEndpoint& e) { e.InitializeResult = E_FAIL; }},
        {"no capture client", [](FakeEndpoint& e) { e.CaptureServiceResult = E_FAIL; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto endpoint = FakeEndpoint::Create();
        c.Break(*endpoint);
        FilterUnderTest under(endpoint);
        ASSERT_FALSE(under.Pin()->SetupComplete());

        // No type to offer.
        AM_MEDIA_TYPE type{};
        EXPECT_TRUE(FAILED(under.Pin()->GetMediaType(&type)));
        ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(under.OutputPin()->EnumMediaTypes(types.Put()), S_OK);
        AM_MEDIA_TYPE* first = nullptr;
        EXPECT_NE(types->Next(1, &first, nullptr), S_OK);
        EXPECT_EQ(first, nullptr);

        // A real graph cannot connect it, directly or by rendering.
        LoopbackGraph graph(under.Base.Get());
        ASSERT_EQ(graph.Built(), S_OK);
        EXPECT_TRUE(FAILED(graph.Connect()));
        EXPECT_TRUE(FAILED(graph.Graph()->Render(graph.SourcePin())));
        ComPtr<IPin> peer;
        EXPECT_EQ(graph.SourcePin()->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
        // The graph still runs and stops around it, and the absent client is
        // never called.
        EXPECT_TRUE(SUCCEEDED(graph.Run()));
        Sleep(50);
        EXPECT_TRUE(SUCCEEDED(graph.Stop()));
        EXPECT_EQ(endpoint->StartCalls, 0);
        EXPECT_EQ(graph.Sink().Count(), 0u);
    }
}

}  // namespace

namespace {

// The product path: the system's own enumerator and Wine's endpoint, which
// offers no loopback capture client.
TEST(LoopbackSetupOnWine, SystemEndpointEndsIncomplete) {
    ComScope com;
    FilterUnderTest under{TCoreAudioSeam{}};
    ASSERT_EQ(under.CreateResult, S_OK);
    ASSERT_TRUE(under.Base);
    // A format is found and the client initialised; the capture service is
    // what the endpoint lacks.
    EXPECT_FALSE(under.Pin()->SetupComplete());
    EXPECT_EQ(under.SetupResult, AUDCLNT_E_WRONG_ENDPOINT_TYPE);
    ASSERT_FALSE(under.Log->Lines().empty());
    EXPECT_EQ(under.Log->Lines().back(), "GetService1 fail");
    EXPECT_EQ(under.Log->CountOf("GetService1"), 1u);
}

}  // namespace
