// The loopback pin in Wine's real filter graph (pin → Sample Grabber → Null
// Renderer) with fake Core Audio objects behind it: media type, allocator,
// packets turned into samples, time stamps, silence, and the time line kept
// while the endpoint is quiet.
#include "shared/media_type.h"
#include "tests/fixtures/com_test_support.h"
#include "tests/fixtures/loopback/fake_core_audio.h"
#include "tests/fixtures/loopback/loopback_graph.h"
#include "tests/loopback_filter/loopback_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using loopback_fakes::AcceptOnly;
using loopback_fakes::ExtensibleMixFormat;
using loopback_fakes::FakeEndpoint;
using loopback_fakes::FakeGap;
using loopback_fakes::FakePacket;
using loopback_fakes::LoopbackGraph;
using loopback_fakes::ReceivedSample;
using loopback_tests::ComScope;
using loopback_tests::FilterUnderTest;
using loopback_tests::StampAfter;

namespace {

constexpr DWORD Silent = AUDCLNT_BUFFERFLAGS_SILENT;

// What a run delivered, 16-bit stereo.
struct Timeline {
    uint64_t Frames = 0;
    uint64_t ZeroFrames = 0;
    // First channel of each real frame, in delivery order.
    std::vector<int16_t> Real;
};

// Checks the invariants every delivery keeps, and sorts the frames into
// real ones and silence: each sample holds whole frames, carries times
// derived from the frames before it, is a sync point, and is either all
// silence or all real audio.
Timeline Walk(const std::vector<ReceivedSample>& samples, uint32_t rate) {
    Timeline line;
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "sample " << i);
        const ReceivedSample& s = samples[i];
        EXPECT_EQ(s.Data.size() % 4, 0u);
        const uint64_t frames = s.Data.size() / 4;
        EXPECT_TRUE(s.HasTime);
        EXPECT_TRUE(s.SyncPoint);
        EXPECT_EQ(s.Start, StampAfter(line.Frames, rate));
        EXPECT_EQ(s.Stop, s.Start + StampAfter(frames, rate));
        size_t zero = 0;
        for (uint64_t f = 0; f < frames; ++f) {
            int16_t left, right;
            std::memcpy(&left, s.Data.data() + f * 4, 2);
            std::memcpy(&right, s.Data.data() + f * 4 + 2, 2);
            EXPECT_EQ(left, right);
            if (left == 0)
                ++zero;
            else
                line.Real.push_back(left);
        }
        EXPECT_TRUE(zero == 0 || zero == frames) << "silence mixed into real audio";
        line.ZeroFrames += zero;
        line.Frames += frames;
    }
    return line;
}

// Real frames arrived complete and in order: no loss, no repeat.
void ExpectRealInOrder(const Timeline& line, uint64_t expected) {
    ASSERT_EQ(line.Real.size(), expected);
    for (size_t i = 0; i < line.Real.size(); ++i) {
        if (line.Real[i] != FakeEndpoint::SampleValue(i)) {
            ADD_FAILURE() << "real frame " << i << " is " << line.Real[i];
            return;
        }
    }
}

class LoopbackStreaming : public ::testing::Test {
protected:
    // Runs the graph until `count` samples arrived (or the time ran out),
    // then stops it and answers what arrived.
    std::vector<ReceivedSample> RunFor(size_t count, DWORD timeoutMs = 5000) {
        EXPECT_TRUE(SUCCEEDED(Graph->Run()));
        EXPECT_TRUE(Graph->Sink().WaitFor(count, timeoutMs));
        EXPECT_TRUE(SUCCEEDED(Graph->Stop()));
        return Graph->Sink().Samples();
    }
    void Build() {
        Under = std::make_unique<FilterUnderTest>(Endpoint, EndpointClock);
        ASSERT_TRUE(Under->Pin()->SetupComplete());
        Graph = std::make_unique<LoopbackGraph>(Under->Base.Get());
        ASSERT_EQ(Graph->Built(), S_OK);
        ASSERT_EQ(Graph->Connect(), S_OK);
    }

    ComScope Com;
    std::shared_ptr<FakeEndpoint> Endpoint = FakeEndpoint::Create();
    bool EndpointClock = false;
    std::unique_ptr<FilterUnderTest> Under;
    std::unique_ptr<LoopbackGraph> Graph;
};

// ---- the pin's type and allocator ----

TEST_F(LoopbackStreaming, OffersOnePlainPcmTypeWithA66ByteFormat) {
    // Even when the client runs an extensible format, the type is plain PCM.
    const GUID floatSub{0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    Endpoint->MixFormat = ExtensibleMixFormat(floatSub, 2, 48000, 3);
    Endpoint->Supported = AcceptOnly({{16, 44100, 2}});
    Build();

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(Under->OutputPin()->EnumMediaTypes(types.Put()), S_OK);
    AM_MEDIA_TYPE* fetched = nullptr;
    const HRESULT next = types->Next(1, &fetched, nullptr);
    const TMediaTypePtr type(fetched);
    ASSERT_EQ(next, S_OK);
    AM_MEDIA_TYPE* second = nullptr;
    EXPECT_EQ(types->Next(1, &second, nullptr), S_FALSE);
    const TMediaTypePtr secondType(second);

    EXPECT_TRUE(type->majortype == MEDIATYPE_Audio);
    EXPECT_TRUE(type->subtype == MEDIASUBTYPE_WAVE);
    EXPECT_TRUE(type->formattype == FORMAT_WaveFormatEx);
    EXPECT_TRUE(type->bFixedSizeSamples);
    EXPECT_FALSE(type->bTemporalCompression);
    EXPECT_EQ(type->lSampleSize, 1u);
    EXPECT_EQ(type->pUnk, nullptr);
    ASSERT_EQ(type->cbFormat, 66u);
    WAVEFORMATEX format;
    std::memcpy(&format, type->pbFormat, sizeof format);
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.nSamplesPerSec, 44100u);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(format.cbSize, 0);
    for (ULONG i = 18; i < 66; ++i) EXPECT_EQ(type->pbFormat[i], 0) << i;

    // The connection carries exactly that type.
    TMediaTypeRecord connected;
    ASSERT_EQ(Under->OutputPin()->ConnectionMediaType(connected.Put()), S_OK);
    EXPECT_EQ(connected->cbFormat, 66u);
    EXPECT_EQ(std::memcmp(connected->pbFormat, type->pbFormat, 66), 0);
    EXPECT_EQ(Under->OutputPin()->QueryAccept(connected.Get()), S_OK);
    // One byte of the padding off, and the type is no longer the pin's.
    connected->pbFormat[40] = 1;
    EXPECT_NE(Under->OutputPin()->QueryAccept(connected.Get()), S_OK);

    EXPECT_EQ(Under->Pin()->GetMediaType(nullptr), E_POINTER);
}

TEST_F(LoopbackStreaming, PinAnswersNoQualityMessagesAndNoStreamConfig) {
    Build();
    ComPtr<IQualityControl> quality;
    ASSERT_EQ(Under->OutputPin()->QueryInterface(IID_IQualityControl, quality.PutVoid()), S_OK);
    Quality message{};
    EXPECT_EQ(quality->Notify(Under->Base.Get(), message), E_FAIL);
    ComPtr<IUnknown> config;
    EXPECT_EQ(Under->OutputPin()->QueryInterface(IID_IAMStreamConfig, config.PutVoid()), E_NOINTERFACE);
    CLSID id{};
    ASSERT_EQ(Under->Base->GetClassID(&id), S_OK);
    EXPECT_TRUE(id == CLSID_LoopbackAudioSource);
}

// An allocator that grants what a test tells it to.
class GrantingAllocator : public testsupport::ScopedComObject<IMemAllocator> {
public:
    HRESULT Result = S_OK;
    long GrantedSize = -1;  // -1: as asked
    ALLOCATOR_PROPERTIES Asked{};

    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        Asked = *request;
        if (FAILED(Result)) return Result;
        *actual = *request;
        if (GrantedSize >= 0) actual->cbBuffer = GrantedSize;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Decommit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }
};

TEST_F(LoopbackStreaming, BuffersHoldOneSecondEach) {
    Build();
    TBCAudioPin& pin = *Under->Pin();
    GrantingAllocator allocator;
    ALLOCATOR_PROPERTIES props{};

    // No count asked for: two buffers of one second (16-bit stereo 48 kHz).
    ASSERT_EQ(pin.DecideBufferSize(&allocator, &props), S_OK);
    EXPECT_EQ(allocator.Asked.cBuffers, 2);
    EXPECT_EQ(allocator.Asked.cbBuffer, 192000);

    // A downstream count, alignment and prefix are kept.
    props.cBuffers = 3;
    props.cbAlign = 4;
    props.cbPrefix = 8;
    ASSERT_EQ(pin.DecideBufferSize(&allocator, &props), S_OK);
    EXPECT_EQ(allocator.Asked.cBuffers, 3);
    EXPECT_EQ(allocator.Asked.cbBuffer, 192000);
    EXPECT_EQ(allocator.Asked.cbAlign, 4);
    EXPECT_EQ(allocator.Asked.cbPrefix, 8);

    // Less than a second per buffer is not enough.
    allocator.GrantedSize = 191999;
    EXPECT_EQ(pin.DecideBufferSize(&allocator, &props), E_FAIL);
    // A refusal comes back unchanged.
    allocator.Result = VFW_E_ALREADY_COMMITTED;
    EXPECT_EQ(pin.DecideBufferSize(&allocator, &props), VFW_E_ALREADY_COMMITTED);

    EXPECT_EQ(pin.DecideBufferSize(nullptr, &props), E_POINTER);
    EXPECT_EQ(pin.DecideBufferSize(&allocator, nullptr), E_POINTER);
    EXPECT_EQ(pin.FillBuffer(nullptr), E_POINTER);
}

// ---- packets to samples ----

TEST_F(LoopbackStreaming, PacketsBecomeSamplesAt48k) {
    Endpoint->Script({{480}, {480}, {480}});
    Build();
    const auto samples = RunFor(3);
    ASSERT_GE(samples.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[i].Data.size(), 1920u);
        EXPECT_EQ(samples[i].Start, static_cast<REFERENCE_TIME>(i) * 100000);
        EXPECT_EQ(samples[i].Stop, static_cast<REFERENCE_TIME>(i + 1) * 100000);
    }
    const Timeline line = Walk(samples, 48000);
    ExpectRealInOrder(line, 1440);
    // Every packet was handed back whole, and the client stopped with the
    // graph.
    EXPECT_EQ(Endpoint->FramesReleased, 1440u);
    EXPECT_EQ(Endpoint->StartCalls, 1);
    EXPECT_EQ(Endpoint->StopCalls, 1);
    EXPECT_FALSE(Endpoint->Running);
}

TEST_F(LoopbackStreaming, StampsAreWholeMillisecondsAt44k) {
    Endpoint->Supported = AcceptOnly({{16, 44100, 2}});
    Endpoint->Script({{441}, {22}, {441}});
    Build();
    const auto samples = RunFor(3);
    ASSERT_GE(samples.size(), 3u);
    EXPECT_EQ(samples[0].Data.size(), 1764u);
    EXPECT_EQ(samples[0].Start, 0);
    EXPECT_EQ(samples[0].Stop, 100000);
    // 22 frames are 0.4989 ms: no length of their own.
    EXPECT_EQ(samples[1].Start, 100000);
    EXPECT_EQ(samples[1].Stop, 100000);
    // 463 frames are 10.4989 ms.
    EXPECT_EQ(samples[2].Start, 100000);
    EXPECT_EQ(samples[2].Stop, 200000);
    ExpectRealInOrder(Walk(samples, 44100), 904);
}

TEST_F(LoopbackStreaming, HalfMillisecondsRoundToEven) {
    Endpoint->Supported = AcceptOnly({{16, 16000, 1}});
    // 8 frames at 16 kHz are 0.5 ms, 24 frames 1.5 ms.
    Endpoint->Script({{8}, {16}, {8}});
    Build();
    const auto samples = RunFor(3);
    ASSERT_GE(samples.size(), 3u);
    EXPECT_EQ(samples[0].Start, 0);
    EXPECT_EQ(samples[0].Stop, 0);
    EXPECT_EQ(samples[1].Start, 0);
    EXPECT_EQ(samples[1].Stop, 10000);
    EXPECT_EQ(samples[2].Start, 20000);
    EXPECT_EQ(samples[2].Stop, 20000);
    EXPECT_EQ(Under->Pin()->BlockAlign(), 2u);
}

TEST_F(LoopbackStreaming, SilentPacketsAreDeliveredAsZeros) {
    Endpoint->Script({{480}, {480, Silent}, {480}});
    Build();
    const auto samples = RunFor(3);
    ASSERT_GE(samples.size(), 3u);
    ASSERT_EQ(samples[1].Data.size(), 1920u);
    EXPECT_EQ(std::count(samples[1].Data.begin(), samples[1].Data.end(), 0), 1920);
    EXPECT_EQ(samples[1].Start, 100000);
    EXPECT_EQ(samples[1].Stop, 200000);
    EXPECT_EQ(samples[2].Start, 200000);
    const Timeline line = Walk(samples, 48000);
    ExpectRealInOrder(line, 960);
}

TEST_F(LoopbackStreaming, EightBitSilenceIsTheMidValue) {
    Endpoint->Supported = AcceptOnly({{8, 44100, 2}});
    Endpoint->Script({{441}, {441, Silent}});
    Build();
    const auto samples = RunFor(2);
    ASSERT_GE(samples.size(), 2u);
    ASSERT_EQ(samples[0].Data.size(), 882u);
    EXPECT_EQ(samples[0].Data[0], FakeEndpoint::ByteValue(0));
    ASSERT_EQ(samples[1].Data.size(), 882u);
    EXPECT_EQ(std::count(samples[1].Data.begin(), samples[1].Data.end(), 0x80), 882);
    EXPECT_EQ(samples[1].Start, 100000);
}

TEST_F(LoopbackStreaming, PacketLongerThanASampleIsSplitNotLost) {
    // One and a half seconds in one packet; a sample holds one second.
    Endpoint->Script({{72000}, {480}});
    Build();
    const auto samples = RunFor(3);
    ASSERT_GE(samples.size(), 3u);
    EXPECT_EQ(samples[0].Data.size(), 192000u);
    EXPECT_EQ(samples[0].Start, 0);
    EXPECT_EQ(samples[0].Stop, 10000000);
    EXPECT_EQ(samples[1].Data.size(), 96000u);
    EXPECT_EQ(samples[1].Start, 10000000);
    EXPECT_EQ(samples[1].Stop, 15000000);
    EXPECT_EQ(samples[2].Start, 15000000);
    ExpectRealInOrder(Walk(samples, 48000), 72480);
    // The long packet was released once, whole.
    EXPECT_EQ(Endpoint->FramesReleased, 72480u);
    EXPECT_EQ(Endpoint->ReleaseCalls, 2);
}

TEST_F(LoopbackStreaming, StopThenRunContinuesTheTimeLine) {
    Endpoint->Script({{480}, {480}});
    Build();
    auto first = RunFor(2);
    ASSERT_GE(first.size(), 2u);
    const int64_t afterFirst = Under->Pin()->TotalFrames();
    EXPECT_EQ(Endpoint->StopCalls, 1);

    Endpoint->Script({{480}, {480}});
    const auto all = RunFor(first.size() + 2);
    EXPECT_EQ(Endpoint->StartCalls, 2);
    EXPECT_EQ(Endpoint->StopCalls, 2);
    ASSERT_GE(all.size(), first.size() + 2);
    // The second run starts where the first ended, never at 0 again.
    EXPECT_EQ(all[first.size()].Start, StampAfter(static_cast<uint64_t>(afterFirst), 48000));
    const Timeline line = Walk(all, 48000);
    ExpectRealInOrder(line, 1920);
    EXPECT_EQ(static_cast<int64_t>(line.Frames), Under->Pin()->TotalFrames());
}

// ---- the time line while nothing plays ----

TEST_F(LoopbackStreaming, QuietEndpointIsFilledWithSilenceInStep) {
    // 10 ms packets, nothing from 300 ms to 800 ms. Time is virtual and moves
    // in 2 ms steps once the pin has caught up, so a loaded machine that
    // holds up the streaming thread cannot blur what the pin does.
    Endpoint->UseVirtualTime();
    Endpoint->RealTime(480, {FakeGap{300, 800}});
    EndpointClock = true;
    Build();
    Graph->Sink().Clock = [endpoint = Endpoint] { return endpoint->Now100ns(); };
    ASSERT_TRUE(SUCCEEDED(Graph->Run()));
    ASSERT_TRUE(Endpoint->WaitUntilIdle(1, 20000));
    for (int ms = 2; ms <= 1200; ms += 2) {
        Endpoint->AdvanceTo(ms);
        ASSERT_TRUE(Endpoint->WaitUntilIdle(3, 20000)) << "at " << ms << " ms";
    }
    ASSERT_TRUE(SUCCEEDED(Graph->Stop()));
    const auto samples = Graph->Sink().Samples();
    ASSERT_GT(samples.size(), 100u);

    // Times follow the frames without gaps or overlaps; every real frame
    // arrived once, in order.
    const Timeline line = Walk(samples, 48000);
    ExpectRealInOrder(line, Endpoint->RealFramesOut);
    // The half second without packets came out as silence, once, in its
    // place.
    EXPECT_EQ(line.ZeroFrames, 48000u * 500 / 1000);
    REFERENCE_TIME firstZero = -1, lastZero = -1;
    for (const ReceivedSample& s : samples) {
        if (!s.Data.empty() && std::all_of(s.Data.begin(), s.Data.end(), [](BYTE b) { return b == 0; })) {
            if (firstZero < 0) firstZero = s.Start;
            lastZero = s.Stop;
        }
    }
    EXPECT_EQ(firstZero, 300 * 10000);
    EXPECT_EQ(lastZero, 800 * 10000);

    // At each delivery the audio so far covered the time since the client
    // started within a packet while playing and within the margin and a
    // period while quiet, and never ran ahead of it by more than a packet.
    double worstLag = 0;
    double worstLead = 0;
    REFERENCE_TIME covered = 0;
    for (const ReceivedSample& s : samples) {
        const double elapsedMs = static_cast<double>(s.Arrival - Endpoint->StartCounter) / 10000.0;
        worstLag = std::max(worstLag, elapsedMs - static_cast<double>(covered) / 10000.0);
        worstLead = std::max(worstLead, static_cast<double>(s.Stop) / 10000.0 - elapsedMs);
        covered = s.Stop;
    }
    EXPECT_LE(worstLag, TBCAudioPin::SilenceMarginMs + TBCAudioPin::PeriodMs + 2.0);
    EXPECT_LE(worstLead, 12.0);
    // And at the end, which was not quiet.
    EXPECT_GE(static_cast<double>(covered) / 10000.0, 1200.0 - 20.0);
}

TEST_F(LoopbackStreaming, SilenceIsFilledFromTheStartWhenNothingPlays) {
    Endpoint->Script({});
    Build();
    const auto samples = RunFor(10);
    ASSERT_GE(samples.size(), 10u);
    const Timeline line = Walk(samples, 48000);
    EXPECT_EQ(line.Real.size(), 0u);
    EXPECT_EQ(line.ZeroFrames, line.Frames);
    EXPECT_GT(line.Frames, 0u);
}

TEST_F(LoopbackStreaming, StampsStayRightPastTwelveAndAHalfHours) {
    // Nothing plays for 45,000 s, past the 2^31 frames (44,739 s at 48 kHz)
    // that a 32-bit count would hold; then one packet. The silence comes in
    // one-second samples on virtual time.
    Endpoint->UseVirtualTime();
    Endpoint->Script({{480, 0, 45000000}});
    EndpointClock = true;
    Build();
    Graph->Sink().KeepData = false;
    ASSERT_TRUE(SUCCEEDED(Graph->Run()));
    // The client has started, and its start was read, before time moves.
    ASSERT_TRUE(Endpoint->WaitUntilIdle(1, 20000));
    Endpoint->AdvanceTo(44999000.0);
    const DWORD begin = GetTickCount();
    // One-second samples until the silence has caught up.
    while (Graph->Sink().Count() < 44990 && GetTickCount() - begin < 90000) Sleep(10);
    Endpoint->AdvanceTo(45000100.0);
    while (Endpoint->ReleaseCalls == 0 && GetTickCount() - begin < 90000) Sleep(10);
    ASSERT_TRUE(SUCCEEDED(Graph->Stop()));
    const auto samples = Graph->Sink().Samples();
    ASSERT_GT(samples.size(), 44900u);

    uint64_t frames = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const ReceivedSample& s = samples[i];
        if (s.Start != StampAfter(frames, 48000) || s.Stop < s.Start) {
            ADD_FAILURE() << "sample " << i << " after " << frames << " frames: " << s.Start << " to " << s.Stop;
            break;
        }
        frames += static_cast<uint64_t>(s.Length) / 4;
    }
    EXPECT_GT(frames, uint64_t{1} << 31);
    // The packet came last, stamped after the 45,000 s of silence.
    EXPECT_EQ(samples.back().Length, 1920);
    EXPECT_GE(samples.back().Start, 44990LL * 10000000);
    EXPECT_EQ(static_cast<uint64_t>(Under->Pin()->TotalFrames()), frames);
}

// ---- bad input from the capture client ----

TEST_F(LoopbackStreaming, FailingGetBufferDeliversNothingItLeftBehind) {
    Endpoint->GetBufferResult = AUDCLNT_E_DEVICE_INVALIDATED;
    Endpoint->Script({{480}, {480}});
    Build();
    ASSERT_TRUE(SUCCEEDED(Graph->Run()));
    const DWORD begin = GetTickCount();
    while (Endpoint->GetBufferCalls < 20 && GetTickCount() - begin < 10000) Sleep(1);
    // Nothing came of the failing calls: their frame count and data pointer
    // were garbage.
    EXPECT_EQ(Graph->Sink().Count(), 0u);
    EXPECT_GE(Endpoint->GetBufferCalls, 20);
    EXPECT_GE(Under->Log->CountOf("GetBuffer fail"), 1u);

    Endpoint->GetBufferResult = S_OK;
    EXPECT_TRUE(Graph->Sink().WaitFor(2, 5000));
    ASSERT_TRUE(SUCCEEDED(Graph->Stop()));
    const auto samples = Graph->Sink().Samples();
    ASSERT_GE(samples.size(), 2u);
    EXPECT_EQ(samples[0].Start, 0);
    ExpectRealInOrder(Walk(samples, 48000), 960);
}

}  // namespace
