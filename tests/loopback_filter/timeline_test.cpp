// Where the loopback pin puts audio on the stream's time line: every packet
// where the engine says it was played, late packets without gaps or shifts,
// quiet and lost stretches as silence at their place. Runs on virtual time in
// Wine's real graph (pin → Sample Grabber → Null Renderer), so a loaded
// machine that holds up the streaming thread changes nothing.
#include "tests/fixtures/loopback/fake_core_audio.h"
#include "tests/fixtures/loopback/loopback_graph.h"
#include "tests/loopback_filter/loopback_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using loopback_fakes::FakeEndpoint;
using loopback_fakes::FakeGap;
using loopback_fakes::FakeHold;
using loopback_fakes::FakePacket;
using loopback_fakes::HandedPacket;
using loopback_fakes::LoopbackGraph;
using loopback_fakes::ReceivedSample;
using loopback_tests::ComScope;
using loopback_tests::FilterUnderTest;
using loopback_tests::StampAfter;

namespace {

constexpr uint32_t Rate = 48000;
constexpr int64_t FramesPerMs = Rate / 1000;
constexpr int64_t PeriodFrames = TBCAudioPin::PeriodMs * FramesPerMs;
constexpr double StepMs = 2;

// What a run put on the stream, 16-bit stereo, checked frame by frame
// against where the endpoint played each real frame.
struct Placement {
    int64_t Frames = 0;
    int64_t RealFrames = 0;
    int64_t ZeroFrames = 0;
    // Largest distance, in frames, between a real frame's place in the stream
    // and where it was played.
    int64_t WorstOffset = 0;
    // Stream frames in which zeros and real frames are mixed in one sample.
    int MixedSamples = 0;
    // Where the silence lies: first and last zero frame.
    int64_t FirstZero = -1;
    int64_t LastZero = -1;
};

Placement Place(const std::vector<ReceivedSample>& samples, const std::vector<HandedPacket>& handed) {
    Placement at;
    uint64_t nextReal = 0;
    size_t packet = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const ReceivedSample& s = samples[i];
        EXPECT_EQ(s.Data.size() % 4, 0u) << "sample " << i;
        const auto frames = static_cast<int64_t>(s.Data.size() / 4);
        // Stamps follow the frames delivered before, in whole milliseconds.
        EXPECT_EQ(s.Start, StampAfter(static_cast<uint64_t>(at.Frames), Rate)) << "sample " << i;
        EXPECT_EQ(s.Stop, s.Start + StampAfter(static_cast<uint64_t>(frames), Rate)) << "sample " << i;
        int64_t zero = 0;
        for (int64_t f = 0; f < frames; ++f, ++at.Frames) {
            int16_t left;
            std::memcpy(&left, s.Data.data() + f * 4, 2);
            if (left == 0) {
                ++zero;
                if (at.FirstZero < 0) at.FirstZero = at.Frames;
                at.LastZero = at.Frames;
                continue;
            }
            // The real frame's index: the first at or after the next expected
            // one that carries this value.
            const uint64_t residue = static_cast<uint64_t>(left - 1);
            uint64_t index = nextReal - nextReal % 30000 + residue;
            if (index < nextReal) index += 30000;
            while (packet < handed.size() && index >= handed[packet].FirstReal + handed[packet].Frames) ++packet;
            if (packet == handed.size() || index < handed[packet].FirstReal) {
                ADD_FAILURE() << "stream frame " << at.Frames << " carries no handed frame";
                return at;
            }
            const int64_t played = handed[packet].PlayedFrame + static_cast<int64_t>(index - handed[packet].FirstReal);
            at.WorstOffset = std::max(at.WorstOffset, std::abs(at.Frames - played));
            nextReal = index + 1;
            ++at.RealFrames;
        }
        if (zero != 0 && zero != frames) ++at.MixedSamples;
        at.ZeroFrames += zero;
    }
    return at;
}

// Lag of the delivered audio behind the elapsed time, in milliseconds, at
// each delivery: the largest among deliveries inside and outside the given
// stretches of elapsed time.
struct Lags {
    double Inside = 0;
    double Outside = 0;
};

Lags LagsOf(const std::vector<ReceivedSample>& samples, int64_t start, const std::vector<FakeGap>& stretches) {
    Lags lags;
    REFERENCE_TIME covered = 0;
    for (const ReceivedSample& s : samples) {
        const double elapsedMs = static_cast<double>(s.Arrival - start) / 10000.0;
        const double lag = elapsedMs - static_cast<double>(covered) / 10000.0;
        const bool inside = std::any_of(stretches.begin(), stretches.end(),
                                        [&](const FakeGap& g) { return elapsedMs >= g.FromMs && elapsedMs < g.ToMs; });
        (inside ? lags.Inside : lags.Outside) = std::max(inside ? lags.Inside : lags.Outside, lag);
        covered = s.Stop;
    }
    return lags;
}

class LoopbackTimeline : public ::testing::Test {
protected:
    void SetUp() override {
        Endpoint->UseVirtualTime();
        Under = std::make_unique<FilterUnderTest>(Endpoint, true);
        ASSERT_TRUE(Under->Pin()->SetupComplete());
        Graph = std::make_unique<LoopbackGraph>(Under->Base.Get());
        ASSERT_EQ(Graph->Built(), S_OK);
        ASSERT_EQ(Graph->Connect(), S_OK);
        Graph->Sink().Clock = [endpoint = Endpoint] { return endpoint->Now100ns(); };
    }

    // Runs from virtual 0 to `endMs` in small steps, each time until the pin
    // has caught up, then stops the graph.
    void RunTo(double endMs) {
        ASSERT_TRUE(SUCCEEDED(Graph->Run()));
        // The client has started (and the pin read its start) before time moves.
        ASSERT_TRUE(Endpoint->WaitUntilIdle(1, 20000));
        for (double ms = StepMs; ms <= endMs; ms += StepMs) {
            Endpoint->AdvanceTo(ms);
            ASSERT_TRUE(Endpoint->WaitUntilIdle(3, 20000)) << "at " << ms << " ms";
        }
        ASSERT_TRUE(SUCCEEDED(Graph->Stop()));
        Samples = Graph->Sink().Samples();
        ASSERT_FALSE(Samples.empty());
        Covered = Samples.back().Stop;
    }

    ComScope Com;
    std::shared_ptr<FakeEndpoint> Endpoint = FakeEndpoint::Create();
    std::unique_ptr<FilterUnderTest> Under;
    std::unique_ptr<LoopbackGraph> Graph;
    std::vector<ReceivedSample> Samples;
    REFERENCE_TIME Covered = 0;
};

TEST_F(LoopbackTimeline, LatePacketsInsertNoSilenceAndShiftNothing) {
    // Hiccups of 20, 30 and 100 ms: the packets due in them arrive together
    // at the end, nothing lost.
    Endpoint->RealTime(480, {}, {FakeHold{200, 220}, FakeHold{400, 430}, FakeHold{600, 700}});
    RunTo(1000);

    const Placement at = Place(Samples, Endpoint->Handed());
    EXPECT_EQ(at.ZeroFrames, 0);
    EXPECT_EQ(at.RealFrames, static_cast<int64_t>(Endpoint->RealFramesOut));
    EXPECT_EQ(at.RealFrames, 1000 * FramesPerMs);
    // Every frame exactly where it was played: the stamps never moved.
    EXPECT_EQ(at.WorstOffset, 0);
    EXPECT_EQ(Covered, 1000 * 10000);
    // Outside the hiccups the audio follows the elapsed time within about a
    // packet.
    const Lags lags = LagsOf(Samples, Endpoint->Start100ns, {FakeGap{200, 221}, FakeGap{400, 431}, FakeGap{600, 701}});
    EXPECT_LE(lags.Outside, TBCAudioPin::PeriodMs + StepMs);
}

TEST_F(LoopbackTimeline, QuietStretchesBecomeSilenceAtTheirPlace) {
    // A short quiet stretch, well within the margin, and a long one.
    Endpoint->RealTime(480, {FakeGap{300, 340}, FakeGap{500, 900}});
    RunTo(1200);

    const Placement at = Place(Samples, Endpoint->Handed());
    EXPECT_EQ(at.RealFrames, static_cast<int64_t>(Endpoint->RealFramesOut));
    EXPECT_EQ(at.WorstOffset, 0);
    EXPECT_EQ(at.MixedSamples, 0);
    // Exactly the quiet time became silence, and the stream is as long as
    // the elapsed time.
    EXPECT_EQ(at.ZeroFrames, (40 + 400) * FramesPerMs);
    EXPECT_EQ(at.FirstZero, 300 * FramesPerMs);
    EXPECT_EQ(at.LastZero, 900 * FramesPerMs - 1);
    EXPECT_EQ(Covered, 1200 * 10000);

    // While nothing plays, the silence keeps up to within the margin and a
    // period; elsewhere the audio keeps up within a packet.
    const Lags lags = LagsOf(Samples, Endpoint->Start100ns, {FakeGap{300, 351}, FakeGap{500, 911}});
    EXPECT_LE(lags.Inside, TBCAudioPin::SilenceMarginMs + TBCAudioPin::PeriodMs + StepMs);
    EXPECT_GE(lags.Inside, TBCAudioPin::SilenceMarginMs);
    EXPECT_LE(lags.Outside, TBCAudioPin::PeriodMs + StepMs);
}

TEST_F(LoopbackTimeline, PacketLaterThanTheMarginLosesOnlyItsOverlap) {
    // A hold-up of 300 ms: meanwhile the pin takes the oldest of that time
    // for silence; the late packets then lose only what the silence covers.
    Endpoint->RealTime(480, {}, {FakeHold{300, 600}});
    RunTo(1000);

    const Placement at = Place(Samples, Endpoint->Handed());
    EXPECT_EQ(at.WorstOffset, 0);
    EXPECT_EQ(at.Frames, 1000 * FramesPerMs);
    EXPECT_EQ(at.RealFrames + at.ZeroFrames, at.Frames);
    // The silence starts where the last packet in time ended and reaches no
    // closer to the hold's end than the margin.
    EXPECT_EQ(at.FirstZero, 290 * FramesPerMs);
    EXPECT_GT(at.ZeroFrames, 0);
    EXPECT_LE(at.LastZero, (600 - TBCAudioPin::SilenceMarginMs) * FramesPerMs);
    EXPECT_EQ(at.ZeroFrames, at.LastZero - at.FirstZero + 1);
    EXPECT_EQ(Covered, 1000 * 10000);
}

TEST_F(LoopbackTimeline, LostFramesBecomeSilenceAtTheirPlace) {
    // The engine loses 50 ms, then 300 ms; the packet after each loss says
    // so.
    Endpoint->RealTime(480, {FakeGap{400, 450, true}, FakeGap{700, 1000, true}});
    RunTo(1300);

    const auto handed = Endpoint->Handed();
    const auto flagged = std::count_if(handed.begin(), handed.end(), [](const HandedPacket& p) {
        return (p.Flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) != 0;
    });
    EXPECT_EQ(flagged, 2);
    const Placement at = Place(Samples, handed);
    EXPECT_EQ(at.RealFrames, static_cast<int64_t>(Endpoint->RealFramesOut));
    EXPECT_EQ(at.WorstOffset, 0);
    EXPECT_EQ(at.ZeroFrames, (50 + 300) * FramesPerMs);
    EXPECT_EQ(at.FirstZero, 400 * FramesPerMs);
    EXPECT_EQ(Covered, 1300 * 10000);
}

TEST_F(LoopbackTimeline, SmallHolesAreFilledOnlyWhenTheEngineReportsALoss) {
    // Packets of 10 ms, each arriving when its last frame was played: 3 ms
    // lost before the second (flagged), 3 ms unexplained before the third.
    Endpoint->Script(
        {FakePacket{480, 0, 10}, FakePacket{480, AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY, 23}, FakePacket{480, 0, 36}});
    RunTo(40);

    const auto handed = Endpoint->Handed();
    ASSERT_EQ(handed.size(), 3u);
    EXPECT_EQ(handed[1].PlayedFrame, 13 * FramesPerMs);
    EXPECT_EQ(handed[2].PlayedFrame, 26 * FramesPerMs);
    const Placement at = Place(Samples, handed);
    EXPECT_EQ(at.RealFrames, 3 * 480);
    // The reported loss became silence; the rest simply follows on, within
    // a period of where it was played.
    EXPECT_EQ(at.ZeroFrames, 3 * FramesPerMs);
    EXPECT_EQ(at.FirstZero, 10 * FramesPerMs);
    EXPECT_LE(at.WorstOffset, PeriodFrames);
    EXPECT_EQ(at.Frames, 33 * FramesPerMs);
}

TEST_F(LoopbackTimeline, PacketsWithoutPositionsFollowOnAndLoseNothing) {
    // An engine that cannot stamp its packets: quiet time still becomes
    // silence, and no real frame is dropped for it.
    Endpoint->PositionsValid = false;
    Endpoint->RealTime(480, {FakeGap{200, 500}}, {FakeHold{600, 900}});
    RunTo(1000);

    const Placement at = Place(Samples, Endpoint->Handed());
    EXPECT_EQ(at.RealFrames, static_cast<int64_t>(Endpoint->RealFramesOut));
    EXPECT_EQ(at.RealFrames, 700 * FramesPerMs);
    EXPECT_GT(at.ZeroFrames, 0);
    EXPECT_EQ(at.MixedSamples, 0);
}

}  // namespace
