// The host-rate frame around the amplifier: setters, gain curves, stereo runs, meters
// and the display values the amplifier feeds.
#include "engine/AmpEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace brimtone;

namespace {

const double kBypassGain = std::pow(10.0, 12.0 / 20.0);

// Bypass, no tube, reverb, cabinet or oversampling, limiter off, input gain 0 dB-ish.
std::unique_ptr<AmpEngine> plainEngine()
{
    auto engine = std::make_unique<AmpEngine>();
    engine->setChannel(0.0);
    engine->setTubeMode(0.0);
    engine->setOversampling(0.0);
    engine->setInputGain(0.5);
    engine->setMaster(1.0);
    engine->markUpdates(UpdateGroup::All);
    engine->applyUpdates();
    return engine;
}

double run(AmpEngine& engine, double in, int channel = 0)
{
    SampleFrame frame;
    frame.in = in;
    frame.channel = channel;
    engine.processSample(frame);
    return frame.out;
}

} // namespace

TEST(AmpEngineSetters, LimitSelectAndReportWhatNeedsRecomputing)
{
    auto engine = plainEngine();
    const EngineSettings& s = engine->settings();
    EXPECT_FALSE(engine->setLow(s.low)) << "an unchanged knob";
    EXPECT_TRUE(engine->setLow(0.7));
    EXPECT_TRUE(engine->setGain(s.gain)) << "Gain recomputes even when unchanged";
    EXPECT_FALSE(engine->setChannel(0.1)) << "still Bypass";
    engine->setMid(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(s.mid, 0.0);
    EXPECT_TRUE(engine->setChannel(0.25));
    EXPECT_EQ(s.channel, AmpChannel::Clean);
    engine->setChannel(1.0);
    EXPECT_EQ(s.channel, AmpChannel::Lead);
    engine->setOversampling(0.334);
    EXPECT_EQ(engine->oversampling(), 1);
    EXPECT_NEAR(s.inputGain, 1.0011, 1e-4) << "halfway between the points next to 0 dB";
    engine->setInputGain(1.0);
    EXPECT_NEAR(s.inputGain, 3.981071705534972, 1e-12);

    engine->applyUpdates();
    const double period = engine->samplePeriod();
    for (double rate : {0.0, -44100.0, 1000000.0, std::numeric_limits<double>::quiet_NaN()})
        engine->setRate(rate);
    EXPECT_EQ(engine->samplePeriod(), period);
    EXPECT_EQ(engine->updateMask(), 0u);
    engine->setRate(48000.0);
    EXPECT_EQ(engine->updateMask(), UpdateGroup::All);
}

TEST(AmpEngineChain, StereoRunsGiveEachChannelWhatItGivesAlone)
{
    auto stereo = plainEngine();
    auto alone = plainEngine();
    SampleFrame left[AmpEngine::kMaxRun], right[AmpEngine::kMaxRun], single[2][AmpEngine::kMaxRun];
    for (int i = 0; i < AmpEngine::kMaxRun; ++i) {
        left[i].in = single[0][i].in = 0.1 * (i + 1);
        right[i].in = single[1][i].in = -0.05 * (i + 1);
        right[i].channel = single[1][i].channel = 1;
    }
    stereo->processStereo(left, right, AmpEngine::kMaxRun);
    alone->processSamples(single[0], AmpEngine::kMaxRun);
    alone->processSamples(single[1], AmpEngine::kMaxRun);
    for (int i = 0; i < AmpEngine::kMaxRun; ++i) {
        EXPECT_NEAR(left[i].out, single[0][i].out, 1e-10);
        EXPECT_NEAR(right[i].out, single[1][i].out, 1e-10);
    }
    EXPECT_GT(stereo->readMeterSnapshot().inPeak[0], stereo->readMeterSnapshot().inPeak[1] * 1.9);
}

TEST(AmpEngineDisplays, MetersReleaseExponentiallyAndBypassPreEqCapturesNothing)
{
    auto engine = plainEngine();
    engine->setTubeMode(0.5); // Pre-EQ: in Bypass the tube slot does not run
    const std::uint32_t index = engine->transferCapture().writeIndex();
    const double inputGain = engine->settings().inputGain;
    run(*engine, 1.0, 0);
    EXPECT_DOUBLE_EQ(engine->readMeterSnapshot().inPeak[0], inputGain);
    // 0.1 s of silence at 44.1 kHz: the release is exp(-10/3 per second).
    for (int i = 0; i < 4410; ++i)
        run(*engine, 0.0, 0);
    const MeterSnapshot meters = engine->readMeterSnapshot();
    EXPECT_NEAR(meters.inPeak[0], inputGain * std::exp(-1.0 / 3.0), 1e-9);
    EXPECT_NEAR(meters.outPeak[0], inputGain * kBypassGain * std::exp(-1.0 / 3.0), 1e-8);
    EXPECT_EQ(meters.outPeak[1], 0.0);
    EXPECT_EQ(engine->transferCapture().writeIndex(), index);

    EXPECT_NEAR(engine->transferCapture().captureInterval(), 2.842, 1e-3);
    engine->setOversampling(1.0);
    engine->markUpdates(UpdateGroup::AmplifierPath);
    engine->applyUpdates();
    EXPECT_NEAR(engine->transferCapture().captureInterval(), 45.47, 1e-2) << "follows the oversampled rate";
}

TEST(AmpEngineDisplays, PreampBiasDecaysWhileCleanRuns)
{
    auto engine = plainEngine();
    engine->setChannel(1.0); // Lead builds up a bias
    engine->setGain(1.0);
    engine->setOversampling(1.0);
    engine->markUpdates(UpdateGroup::All);
    engine->applyUpdates();
    for (int i = 0; i < 4000; ++i)
        run(*engine, 0.5 * std::sin(i * 0.05), i & 1);
    const double built = engine->readMeterSnapshot().preampBias;
    ASSERT_NE(built, 0.0);

    engine->setChannel(0.3); // Clean
    engine->markUpdates(UpdateGroup::ChannelGroups);
    engine->applyUpdates();
    const double k = 1.0 - std::exp(-10.0 * engine->samplePeriod() / 16.0);
    for (int i = 0; i < 10; ++i)
        run(*engine, 0.1, i & 1);
    // Every Clean sub-sample of either channel shrinks it by 1 - k.
    EXPECT_NEAR(engine->readMeterSnapshot().preampBias, built * std::pow(1.0 - k, 16 * 10), 1e-12 * std::fabs(built));
}
