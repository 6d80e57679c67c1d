// The engine frame: setter marks, gain curves, the plain gain path, meters,
// the capture ring's rate and the limiter.

#include "engine/AmpEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace brimtone;

namespace {

double curvePoint(double bottomDb, double spanDb, int i)
{
    return std::pow(10.0, (spanDb * i / 29.0 + bottomDb) * 0.05);
}

// An engine on the plain gain path: Bypass, no tube, reverb, cabinet or
// oversampling, limiter off.
std::unique_ptr<AmpEngine> plainEngine(double rate = 44100.0)
{
    auto engine = std::make_unique<AmpEngine>();
    engine->setRate(rate);
    engine->setChannel(0.0);
    engine->setTubeMode(0.0);
    engine->setOversampling(0.0);
    engine->setSpeaker(0.0);
    engine->setReverbMode(0.0);
    engine->setInputGain(0.5);
    engine->setMaster(1.0);
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

TEST(AmpEngineSetters, MarkExactlyTheirGroups)
{
    auto engine = plainEngine();
    ASSERT_EQ(engine->updateMask(), 0u);

    engine->setLow(engine->settings().low);
    engine->setMid(engine->settings().mid);
    engine->setHigh(engine->settings().high);
    engine->setShape(engine->settings().shape);
    engine->setChannel(0.1); // still Bypass
    engine->setAmpMode(0.2); // still "1994"
    engine->setOversampling(0.3);
    engine->setRate(44100.0); // unchanged period
    EXPECT_EQ(engine->updateMask(), 0u) << "unchanged values mark nothing";

    engine->setGain(engine->settings().gain);
    EXPECT_EQ(engine->updateMask(), UpdateGroup::FlavorGain) << "Gain marks even when unchanged";
    engine->applyUpdates();
    EXPECT_EQ(engine->updateMask(), 0u);

    struct Case {
        void (AmpEngine::*setter)(double);
        double value;
        std::uint32_t marks;
    };
    const Case cases[] = {
        {&AmpEngine::setLevel, 0.5, 0x0e0},        {&AmpEngine::setLow, 0.7, 0x010},
        {&AmpEngine::setMid, 0.7, 0x010},          {&AmpEngine::setHigh, 0.7, 0x010},
        {&AmpEngine::setShape, 0.7, 0x080},        {&AmpEngine::setChannel, 0.3, 0x0fc},
        {&AmpEngine::setOversampling, 1.0, 0x1fe}, {&AmpEngine::setSpeaker, 0.5, 0x400},
        {&AmpEngine::setReverbMode, 0.5, 0x200},   {&AmpEngine::setAmpMode, 0.5, 0x0ee},
        {&AmpEngine::setTubeMode, 0.5, 0x000},     {&AmpEngine::setReverb, 0.7, 0x000},
        {&AmpEngine::setAmbience, 0.7, 0x000},     {&AmpEngine::setInputGain, 0.7, 0x000},
        {&AmpEngine::setMaster, 0.7, 0x000},       {&AmpEngine::setRate, 48000.0, 0x7ff},
    };
    for (const Case& c : cases) {
        (engine.get()->*c.setter)(c.value);
        EXPECT_EQ(engine->updateMask(), c.marks) << "value " << c.value;
        engine->applyUpdates();
    }
    engine->setBright(engine->settings().bright != 0);
    EXPECT_EQ(engine->updateMask(), UpdateGroup::CleanOutputFilter) << "Bright marks always";
}

TEST(AmpEngineSetters, LimitAndSelect)
{
    auto engine = plainEngine();
    engine->setGain(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(engine->settings().gain, 0.0);
    engine->setGain(7.0);
    EXPECT_EQ(engine->settings().gain, 1.0);
    engine->setChannel(0.25);
    EXPECT_EQ(engine->settings().channel, 1);
    engine->setChannel(0.2499);
    EXPECT_EQ(engine->settings().channel, 0);
    engine->setChannel(1.0);
    EXPECT_EQ(engine->settings().channel, 3);
    engine->setOversampling(0.333);
    EXPECT_EQ(engine->oversampling(), 0);
    engine->setOversampling(0.334);
    EXPECT_EQ(engine->oversampling(), 1);
    engine->setOversampling(1.0);
    EXPECT_EQ(engine->oversampling(), 2);
    engine->setAmpMode(-3.0);
    EXPECT_EQ(engine->settings().ampMode, 0);

    const double period = engine->samplePeriod();
    for (double rate : {0.0, -44100.0, 1000000.0, std::numeric_limits<double>::quiet_NaN()}) {
        engine->setRate(rate);
        EXPECT_EQ(engine->samplePeriod(), period);
    }
}

TEST(AmpEngineCurves, GainCurveLookups)
{
    auto engine = plainEngine();
    engine->setInputGain(0.5);
    const double halfway = 0.5 * (curvePoint(-12.0, 24.0, 14) + curvePoint(-12.0, 24.0, 15));
    EXPECT_NEAR(engine->settings().inputGain, halfway, 1e-15);
    EXPECT_NEAR(engine->settings().inputGain, 1.0011, 1e-4);
    engine->setInputGain(1.0);
    EXPECT_NEAR(engine->settings().inputGain, 3.981071705534972, 1e-12);
    engine->setInputGain(0.0);
    EXPECT_NEAR(engine->settings().inputGain, 0.25118864315095796, 1e-12);
    engine->setMaster(0.0);
    EXPECT_NEAR(engine->settings().masterGain, 0.01, 1e-15);
    engine->setReverb(1.0);
    EXPECT_NEAR(engine->settings().reverbGain, 1.0, 1e-15);
    // A tiny step above a point reads the point alone.
    engine->setMaster(1.0 / 29.0 + 1e-9);
    EXPECT_EQ(engine->settings().masterGain, curvePoint(-40.0, 40.0, 1));
}

TEST(AmpEngineChain, BypassIsThePlainGainPlusTheDitherOffset)
{
    auto engine = plainEngine();
    const double inputGain = engine->settings().inputGain;
    const double amp = std::pow(10.0, 12.0 / 20.0);
    for (double x : {0.5, -0.25, 1e-3, 0.0}) {
        const double out = run(*engine, x);
        const double expected = x * inputGain * amp;
        EXPECT_GE(out - expected, 0.0);
        EXPECT_LT(out - expected, 4.3e-12 * amp + 1e-15);
    }
    EXPECT_DOUBLE_EQ(AmpEngine::outputGain(0, 1), amp);
    EXPECT_NEAR(AmpEngine::outputGain(3, 1), std::pow(10.0, 92.59 / 20.0), 1e-6);
}

TEST(AmpEngineChain, DisabledAt1xPassesTheInputGainAlone)
{
    auto engine = plainEngine();
    engine->setEnabled(false);
    engine->setInputGain(1.0);
    engine->setLimiter(true);
    EXPECT_EQ(run(*engine, 0.3), 0.3 * engine->settings().inputGain);
    EXPECT_EQ(run(*engine, 2.0), 2.0 * engine->settings().inputGain) << "the limiter is skipped too";
}

TEST(AmpEngineChain, LimiterBoundsAndNonFiniteInputIsSilence)
{
    auto engine = plainEngine();
    engine->setLimiter(true);
    engine->setInputGain(0.5);
    EXPECT_EQ(run(*engine, 1.5), 0.999);
    EXPECT_EQ(run(*engine, -2.0), -0.999);
    EXPECT_NEAR(run(*engine, 0.1), 0.1 * engine->settings().inputGain * std::pow(10.0, 0.6), 2e-11);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        const double out = run(*engine, bad);
        EXPECT_TRUE(std::isfinite(out));
        EXPECT_LT(std::fabs(out), 1e-10);
    }
    EXPECT_NEAR(run(*engine, 0.1), 0.1 * engine->settings().inputGain * std::pow(10.0, 0.6), 2e-11);
}

TEST(AmpEngineMeters, PeaksAttackAtOnceAndReleaseExponentiallyPerChannel)
{
    auto engine = plainEngine();
    const double inputGain = engine->settings().inputGain;
    run(*engine, 1.0, 0);
    MeterSnapshot meters = engine->readMeterSnapshot();
    EXPECT_DOUBLE_EQ(meters.inPeak[0], inputGain);
    EXPECT_EQ(meters.inPeak[1], 0.0);
    // 0.1 s of silence at 44.1 kHz: the release is exp(-10/3 per second).
    for (int i = 0; i < 4410; ++i)
        run(*engine, 0.0, 0);
    meters = engine->readMeterSnapshot();
    EXPECT_NEAR(meters.inPeak[0], inputGain * std::exp(-1.0 / 3.0), 1e-9);
    EXPECT_NEAR(meters.outPeak[0], inputGain * std::pow(10.0, 0.6) * std::exp(-1.0 / 3.0), 1e-8);
    EXPECT_EQ(meters.outPeak[1], 0.0);

    run(*engine, -0.5, 1);
    meters = engine->readMeterSnapshot();
    EXPECT_DOUBLE_EQ(meters.inPeak[1], 0.5 * inputGain);
}

TEST(AmpEngineCapture, IntervalFollowsTheOversampledRate)
{
    auto engine = plainEngine(44100.0);
    EXPECT_NEAR(engine->transferCapture().captureInterval(), 0.033 * 44100.0 / 512.0, 1e-12);
    EXPECT_NEAR(engine->transferCapture().captureInterval(), 2.842, 1e-3);
    engine->setOversampling(1.0);
    engine->applyUpdates();
    EXPECT_NEAR(engine->transferCapture().captureInterval(), 0.033 * 44100.0 * 16.0 / 512.0, 1e-9);
    EXPECT_NEAR(engine->transferCapture().captureInterval(), 45.47, 1e-2);
}

TEST(AmpEngineCapture, TubeOffCapturesAStraightLine)
{
    auto engine = plainEngine();
    for (int i = 0; i < 4000; ++i)
        run(*engine, 0.2 * std::sin(i * 0.01), i & 1);
    TransferCapture& capture = engine->transferCapture();
    platform::ScopedLock hold(capture.lock);
    int nonZero = 0;
    for (int channel = 0; channel < 2; ++channel) {
        for (const auto& point : capture.points()[channel]) {
            EXPECT_EQ(point.in, point.out);
            nonZero += point.in != 0.0;
        }
    }
    EXPECT_GT(nonZero, 900);
}

TEST(AmpEngineCapture, HeldLockDefersThePointWithoutBackFilling)
{
    auto engine = plainEngine();
    TransferCapture& capture = engine->transferCapture();
    for (int i = 0; i < 10; ++i)
        run(*engine, 0.1);
    const double interval = capture.captureInterval();
    capture.lock.enter();
    const std::uint32_t index = capture.writeIndex();
    const double counter = capture.counter();
    for (int i = 0; i < 20; ++i)
        run(*engine, 0.1);
    EXPECT_EQ(capture.writeIndex(), index);
    EXPECT_DOUBLE_EQ(capture.counter(), counter + 20.0);
    capture.lock.leave();
    run(*engine, 0.1);
    EXPECT_EQ(capture.writeIndex(), (index + 1) & 511u);
    EXPECT_DOUBLE_EQ(capture.counter(), counter + 21.0 - interval);
}

TEST(AmpEngineChannels, BypassWithPreEqRunsNoTubeStage)
{
    auto engine = plainEngine();
    engine->setTubeMode(0.5); // Pre-EQ: the slot would sit inside the channel
    engine->applyUpdates();
    const std::uint32_t index = engine->transferCapture().writeIndex();
    const double amp = std::pow(10.0, 0.6);
    for (int i = 0; i < 100; ++i) {
        const double x = 0.3 * std::sin(i * 0.1);
        const double out = run(*engine, x);
        EXPECT_NEAR(out, x * engine->settings().inputGain * amp, 2e-11);
    }
    EXPECT_EQ(engine->transferCapture().writeIndex(), index) << "no tube slot ran, so nothing was captured";
}

TEST(AmpEngineChannels, PreampBiasDecaysWhileCleanRuns)
{
    auto engine = plainEngine();
    engine->setChannel(1.0); // Lead builds up a bias
    engine->setGain(1.0);
    engine->setOversampling(1.0);
    engine->applyUpdates();
    for (int i = 0; i < 4000; ++i)
        run(*engine, 0.5 * std::sin(i * 0.05), i & 1);
    const double built = engine->readMeterSnapshot().preampBias;
    ASSERT_NE(built, 0.0);

    engine->setChannel(0.3); // Clean
    engine->applyUpdates();
    const double k = 1.0 - std::exp(-10.0 * engine->samplePeriod() / 16.0);
    const int hostSamples = 10;
    for (int i = 0; i < hostSamples; ++i)
        run(*engine, 0.1, i & 1);
    // Every Clean sub-sample of either channel shrinks it by 1 - k.
    EXPECT_NEAR(engine->readMeterSnapshot().preampBias, built * std::pow(1.0 - k, 16 * hostSamples),
                1e-12 * std::fabs(built));
}

TEST(AmpEngineChannels, TubeSlotDrivesPowerBiasAndCapturesItsTransfer)
{
    auto engine = plainEngine();
    engine->setTubeMode(1.0); // Post-EQ
    engine->applyUpdates();
    for (int i = 0; i < 20000; ++i)
        run(*engine, 0.05 * std::sin(i * 0.03), 0);
    EXPECT_NE(engine->readMeterSnapshot().powerBias, 0.0);
    {
        TransferCapture& capture = engine->transferCapture();
        platform::ScopedLock hold(capture.lock);
        int bent = 0;
        for (const auto& point : capture.points()[0])
            bent += point.in != 0.0 && point.out != point.in;
        EXPECT_GT(bent, 500) << "the tube stage changes what it passes";
    }
    // Off again: the power bias display falls back towards 0.
    engine->setTubeMode(0.0);
    engine->applyUpdates();
    const double before = std::fabs(engine->readMeterSnapshot().powerBias);
    for (int i = 0; i < 44100; ++i)
        run(*engine, 0.0, 0);
    EXPECT_LT(std::fabs(engine->readMeterSnapshot().powerBias), before * std::exp(-9.0));
}
